// VNLI: installs (/i) or removes (/u) the keyboard filter driver, or only ends
// the browsers (/x). Windowless but for the usage box and the progress window;
// the exit code is the action's result.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "CommandLine.h"
#include "DriverSetup.h"
#include "InstallerPaths.h"
#include "ProgressDialog.h"
#include "UniqueAny.h"
#include "resource.h"

namespace {

constexpr const wchar_t* kUsageText =
    L"Varnel Driver Installer\n"
    L"\n"
    L"Usage:vnli [/u] [/i]\n"
    L"/i\tInstall Varnel Driver\n"
    L"/u\tUninstall Varnel Driver";

vnl::InstallerAction ReadCommand() noexcept {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (arguments == nullptr) return vnl::InstallerAction::Usage;
    vnl::UniqueLocalMem owner(reinterpret_cast<HLOCAL>(arguments));
    return vnl::ParseInstallerCommand(count - 1, arguments + 1);
}

DWORD Install(const vnl::InstallerPaths& paths, DWORD pathsResult) noexcept {
    vnl::EndBrowserProcesses();
    DWORD result = pathsResult;
    if (result == ERROR_SUCCESS) {
        vnl::ProgressDialog progress;
        result = vnl::InstallDriver(paths, progress);
    }
    // The source is registered whatever became of the driver.
    vnl::RegisterProductEventSource();
    return result;
}

DWORD Uninstall(const vnl::InstallerPaths& paths, DWORD pathsResult) noexcept {
    if (pathsResult != ERROR_SUCCESS) return pathsResult;
    vnl::ProgressDialog progress(IDS_REMOVING);
    return vnl::UninstallDriver(paths, progress);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&controls);
        vnl::InstallerPaths paths;
        const DWORD pathsResult = vnl::BuildInstallerPaths(&paths);

        switch (ReadCommand()) {
        case vnl::InstallerAction::Install: return static_cast<int>(Install(paths, pathsResult));
        case vnl::InstallerAction::Uninstall: return static_cast<int>(Uninstall(paths, pathsResult));
        case vnl::InstallerAction::EndBrowsers: return static_cast<int>(vnl::EndBrowserProcesses());
        case vnl::InstallerAction::UsageAsked:
            ::MessageBoxW(nullptr, kUsageText, L"VNLI Usage", MB_OK);
            return 1;
        case vnl::InstallerAction::Usage:
            ::MessageBoxW(nullptr, kUsageText, L"VNLI Usage", MB_OK);
            return 0;
        }
    } catch (...) {
        return ERROR_OUTOFMEMORY;
    }
    return 0;
}
