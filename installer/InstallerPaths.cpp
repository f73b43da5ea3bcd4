#include "InstallerPaths.h"

#include "UniqueAny.h"

namespace vnl {
namespace {

// Formats "\\?\<folder>\<name>"; false when the result would not fit.
bool FormatPath(const std::wstring& folder, const wchar_t* name, std::wstring* out) {
    std::wstring path = L"\\\\?\\" + folder + L"\\" + name;
    if (path.size() + 1 > kMaxPathUnits) return false;
    *out = std::move(path);
    return true;
}

}  // namespace

DWORD BuildInstallerPaths(InstallerPaths* paths) noexcept try {
    *paths = {};
    wchar_t module[kMaxPathUnits] = {};
    const DWORD moduleLength = ::GetModuleFileNameW(nullptr, module, kMaxPathUnits);
    if (moduleLength == 0) return ::GetLastError();
    if (moduleLength >= kMaxPathUnits) return ERROR_FILENAME_EXCED_RANGE;  // truncated
    std::wstring programFolder(module, moduleLength);
    const size_t lastSeparator = programFolder.find_last_of(L"\\/");
    programFolder.resize(lastSeparator == std::wstring::npos ? 0 : lastSeparator);

    wchar_t windows[kMaxPathUnits] = {};
    const UINT windowsLength = ::GetWindowsDirectoryW(windows, kMaxPathUnits);
    if (windowsLength == 0) return ::GetLastError();
    if (windowsLength >= kMaxPathUnits) return ERROR_FILENAME_EXCED_RANGE;
    std::wstring drivers(windows, windowsLength);
    if (!drivers.empty() && drivers.back() == L'\\') drivers.pop_back();
    drivers += L"\\System32\\Drivers";

    InstallerPaths built;
    if (!FormatPath(programFolder, kDriverFileName, &built.source) ||
        !FormatPath(drivers, kDriverFileName, &built.target) ||
        !FormatPath(drivers, kRemovalFileName, &built.removal))
        return ERROR_FILENAME_EXCED_RANGE;
    *paths = std::move(built);
    return ERROR_SUCCESS;
} catch (...) {
    return ERROR_OUTOFMEMORY;
}

std::wstring ReadInstallPathW() {
    std::wstring folder;
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMachineSettingsKeyW, 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS) {
        wchar_t buffer[kMaxPathUnits + 1] = {};  // one spare unit keeps an unterminated value terminated
        DWORD type = 0, size = kMaxPathUnits * sizeof(wchar_t);
        if (::RegQueryValueExW(key.get(), L"installpath", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
                ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            buffer[size / sizeof(wchar_t)] = 0;
            folder = buffer;
        }
    }
    // The text with its backslash and terminating NUL must fit in 260 units.
    const bool endsInBackslash = !folder.empty() && folder.back() == L'\\';
    if (folder.size() + (endsInBackslash ? 0 : 1) + 1 > kMaxPathUnits) folder.clear();
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder;
}

}  // namespace vnl
