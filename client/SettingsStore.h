// Where the client modules find their settings and their resource library.
//
// Machine settings: HKEY_LOCAL_MACHINE "SOFTWARE\Quellin\Varnel" (written by
// setup, only read here). Per-user settings: "Software\VNL\" under the current
// user, reached through the browser's writable-hive call from Windows 6 on.
// Nothing is cached: every call reads the registry afresh.
#pragma once

#include <windows.h>

namespace vnl {

inline constexpr const char* kMachineSettingsKey = "SOFTWARE\\Quellin\\Varnel";
inline constexpr const char* kUserSettingsKey = "Software\\VNL\\";
inline constexpr DWORD kDefaultProductCode = 0x1000;
inline constexpr size_t kPathBufferSize = 260;

// The system's major version as GetVersionEx reports it (0 if it cannot tell).
DWORD MajorSystemVersion() noexcept;

// Opens (creating if missing) the per-user settings key. Below Windows 6 it
// lies directly under HKEY_CURRENT_USER; from 6 on under the writable root
// that ieframe.dll's "IEGetWriteableHKCU" gives. Returns null when there is no
// such root. The caller closes the key.
HKEY OpenUserSettingsKey() noexcept;

// Fills `buffer` (260 bytes) with the installation folder ending in a
// backslash. A missing "installpath", one that is not a string, or one that
// cannot be returned with its backslash within 260 bytes counts as empty, so
// the result is then the single backslash.
void ReadInstallPath(char* buffer) noexcept;

// The resource library's file name for a product code, or null when the code
// names none.
const char* ResourceLibraryName(DWORD productCode) noexcept;

// The product code as stored; a missing value, or one that is not a 4-byte
// number, counts as 0x1000.
DWORD ReadProductCode() noexcept;

// Loads the resource library that "ProductCode" selects (adding a reference on
// every call). Returns null when the code names no library or it cannot be
// loaded; the thread's last error then says why (ERROR_MOD_NOT_FOUND for a
// code outside the table).
HMODULE LoadResourceModule() noexcept;

// Makes the resource library the module's resource source for its lifetime.
// When the library cannot be loaded it shows the "VNLSDK Critical Error" box
// and stays inactive: callers check loaded() and skip their dialog. Scopes
// nest and overlap, on one thread or several: the library is the source while
// any scope is open, and the last to close restores the instance the first
// found. The library itself is never released.
class ResourceModuleScope {
public:
    ResourceModuleScope() noexcept;
    ~ResourceModuleScope();
    ResourceModuleScope(const ResourceModuleScope&) = delete;
    ResourceModuleScope& operator=(const ResourceModuleScope&) = delete;

    bool loaded() const noexcept { return loaded_ != FALSE; }
    HMODULE library() const noexcept { return library_; }

private:
    BOOL loaded_ = FALSE;
    HMODULE library_ = nullptr;
};

}  // namespace vnl
