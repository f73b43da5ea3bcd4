#include "VersionInfo.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace bench {
namespace {

std::string Dotted(DWORD high, DWORD low) {
    char text[64];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", unsigned{HIWORD(high)}, unsigned{LOWORD(high)}, unsigned{HIWORD(low)},
                  unsigned{LOWORD(low)});
    return text;
}

std::vector<BYTE> Load(const std::string& path) {
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::vector<BYTE> data(size);
    if (size == 0 || !::GetFileVersionInfoA(path.c_str(), 0, size, data.data())) data.clear();
    return data;
}

}  // namespace

std::string VersionInfo::String(const std::string& name) const {
    if (data.empty()) return {};
    char* value = nullptr;
    UINT length = 0;
    std::string query = "\\StringFileInfo\\" + block + "\\" + name;
    if (!::VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return {};
    return std::string(value, length > 0 && value[length - 1] == '\0' ? length - 1 : length);
}

std::optional<VersionInfo> ReadVersionInfo(const std::string& path) {
    std::vector<BYTE> data = Load(path);
    if (data.empty()) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) return std::nullopt;
    VersionInfo info;
    info.fileVersion = Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    info.productVersion = Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    struct Translation { WORD language, codePage; }* translations = nullptr;
    if (::VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length) &&
        translations && length >= sizeof(Translation)) {
        char block[16];
        std::snprintf(block, sizeof(block), "%04x%04x", translations->language, translations->codePage);
        info.block = block;
    }
    info.data = std::move(data);
    return info;
}

}  // namespace bench
