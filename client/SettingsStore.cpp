#include "SettingsStore.h"

#include <cstdio>
#include <cstring>

#include "ResourceInstance.h"
#include "UniqueAny.h"

namespace vnl {
namespace {

using WriteableHkcuProc = HRESULT(WINAPI*)(HKEY*);

// The browser's writable-hive call, looked up once; ieframe.dll stays loaded.
WriteableHkcuProc WriteableHkcu() noexcept {
    static const WriteableHkcuProc proc = [] {
        HMODULE ieframe = ::LoadLibraryA("ieframe.dll");
        return ieframe ? reinterpret_cast<WriteableHkcuProc>(reinterpret_cast<void*>(::GetProcAddress(ieframe, "IEGetWriteableHKCU")))
                       : nullptr;
    }();
    return proc;
}

UniqueRegKey OpenMachineSettings() noexcept {
    UniqueRegKey key;
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMachineSettingsKey, 0, KEY_QUERY_VALUE, key.put());
    return key;
}

}  // namespace

DWORD MajorSystemVersion() noexcept {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&info)) return 0;
#pragma GCC diagnostic pop
    return info.dwMajorVersion;
}

HKEY OpenUserSettingsKey() noexcept {
    HKEY key = nullptr;
    if (MajorSystemVersion() < 6) {
        if (::RegCreateKeyA(HKEY_CURRENT_USER, kUserSettingsKey, &key) != ERROR_SUCCESS) return nullptr;
        return key;
    }
    WriteableHkcuProc proc = WriteableHkcu();
    if (!proc) return nullptr;
    UniqueRegKey root;
    if (FAILED(proc(root.put())) || !root) return nullptr;
    if (::RegCreateKeyA(root.get(), kUserSettingsKey, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

void ReadInstallPath(char* buffer) noexcept {
    std::memset(buffer, 0, kPathBufferSize);
    UniqueRegKey key = OpenMachineSettings();
    DWORD type = 0, size = 0;
    if (key && ::RegQueryValueExA(key.get(), "installpath", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ && size <= kPathBufferSize) {
        if (::RegQueryValueExA(key.get(), "installpath", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ) {
            std::memset(buffer, 0, kPathBufferSize);
        }
    }
    // Stored text need not carry its terminator; the last byte always stays NUL.
    buffer[kPathBufferSize - 1] = '\0';
    size_t length = std::strlen(buffer);
    if (length > 0 && buffer[length - 1] == '\\') return;
    if (length + 2 > kPathBufferSize) length = 0;  // no room for the backslash: counts as empty
    buffer[length] = '\\';
    buffer[length + 1] = '\0';
}

const char* ResourceLibraryName(DWORD productCode) noexcept {
    switch (productCode) {
    case 0x1000: return "VNLBIN3.DLL";
    case 0x2000:
    case 0x4000: return "VNLBIN4.DLL";
    case 0x8000: return "VNLBIN5.DLL";
    case 0x9000: return "VNLBIN6.DLL";
    case 0xA000: return "VNLBIN7.DLL";
    case 0xB000: return "VNLBIN8.DLL";
    case 0xC000: return "VNLBIN9.DLL";
    case 0xD000: return "VNLBIN10.DLL";
    case 0xE000: return "VNLBIN11.DLL";
    case 0xF000: return "VNLBIN12.DLL";
    default: return nullptr;
    }
}

DWORD ReadProductCode() noexcept {
    DWORD code = kDefaultProductCode;
    UniqueRegKey key = OpenMachineSettings();
    if (!key) return code;
    DWORD value = 0, type = 0, size = sizeof(value);
    if (::RegQueryValueExA(key.get(), "ProductCode", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        size == sizeof(value) && type == REG_DWORD) {
        code = value;
    }
    return code;
}

HMODULE LoadResourceModule() noexcept {
    const char* name = ResourceLibraryName(ReadProductCode());
    if (!name) {
        ::SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return ::LoadLibraryA(name);
}

ResourceModuleScope::ResourceModuleScope() noexcept {
    library_ = LoadResourceModule();
    if (library_) {
        BeginResourceSwitch(library_);
        loaded_ = TRUE;
        return;
    }
    DWORD error = ::GetLastError();
    char text[128];
    std::snprintf(text, sizeof(text), "Missing VNLBINX.dll resource - error %08X - proc: %08X",
                  static_cast<unsigned>(error), static_cast<unsigned>(::GetCurrentProcessId()));
    ::MessageBoxA(nullptr, text, "VNLSDK Critical Error", MB_OK);
}

ResourceModuleScope::~ResourceModuleScope() {
    if (loaded_) EndResourceSwitch();
}

}  // namespace vnl
