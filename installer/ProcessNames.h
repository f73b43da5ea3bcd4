// Which running programs the installer ends before it installs. Free of
// Windows headers.
#pragma once

namespace vnl {

// True when an executable file name begins with "iexplore.exe" or
// "firefox.exe", compared without regard to (ASCII) case.
bool IsBrowserProcessName(const wchar_t* exeName) noexcept;

}  // namespace vnl
