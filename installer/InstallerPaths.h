// The installer's fixed names and the three file paths it works on, built
// once when the program starts.
#pragma once

#include <windows.h>

#include <string>

namespace vnl {

inline constexpr const wchar_t* kServiceKey = L"System\\CurrentControlSet\\Services\\VNLv2";
inline constexpr const wchar_t* kKeyboardClassKey =
    L"System\\CurrentControlSet\\Control\\Class\\{4D36E96B-E325-11CE-BFC1-08002BE10318}";
inline constexpr const wchar_t* kUpperFiltersValue = L"UpperFilters";
inline constexpr const wchar_t* kEventSourceKey = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\VNLTB";
inline constexpr const wchar_t* kMachineSettingsKeyW = L"SOFTWARE\\Quellin\\Varnel";
inline constexpr const wchar_t* kDriverFileName = L"vnlv2.sys";
inline constexpr const wchar_t* kRemovalFileName = L"vnlv2.remove";
inline constexpr size_t kMaxPathUnits = 260;  // with the terminating NUL

struct InstallerPaths {
    std::wstring source;   // \\?\<program's folder>\vnlv2.sys
    std::wstring target;   // \\?\<Windows folder>\System32\Drivers\vnlv2.sys
    std::wstring removal;  // \\?\<Windows folder>\System32\Drivers\vnlv2.remove
};

// Builds the paths. Returns 0, or ERROR_FILENAME_EXCED_RANGE when one of them
// would not fit in 260 units (the paths are then left empty), or the system's
// error when a folder cannot be had.
DWORD BuildInstallerPaths(InstallerPaths* paths) noexcept;

// The installation folder from the machine settings ("installpath", read as
// UTF-16), ending in a backslash. A missing value, one that is not a string or
// one longer than 259 characters counts as empty, giving a single backslash.
std::wstring ReadInstallPathW();

}  // namespace vnl
