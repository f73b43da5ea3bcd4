#include "CommandLine.h"

namespace vnl {

InstallerAction ParseInstallerCommand(int argumentCount, const wchar_t* const* arguments) noexcept {
    if (argumentCount != 1 || arguments == nullptr || arguments[0] == nullptr) return InstallerAction::Usage;
    const wchar_t* argument = arguments[0];
    if (argument[0] != L'/' || argument[1] == 0 || argument[2] != 0) return InstallerAction::Usage;
    switch (argument[1]) {
    case L'i': case L'I': return InstallerAction::Install;
    case L'u': case L'U': return InstallerAction::Uninstall;
    case L'x': case L'X': return InstallerAction::EndBrowsers;
    case L'?': return InstallerAction::UsageAsked;
    default: return InstallerAction::Usage;
    }
}

}  // namespace vnl
