// The installer's command line. Free of Windows headers.
#pragma once

namespace vnl {

enum class InstallerAction {
    Install,      // /i
    Uninstall,    // /u
    EndBrowsers,  // /x
    Usage,        // anything else: the usage box, exit code 0
    UsageAsked,   // /? : the usage box, exit code 1
};

// Reads the arguments after the program name: exactly one argument of exactly
// two characters, a slash and a letter (either case) or a question mark.
// Anything else, no argument included, is Usage.
InstallerAction ParseInstallerCommand(int argumentCount, const wchar_t* const* arguments) noexcept;

}  // namespace vnl
