#include "ViewerLauncher.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "CommandText.h"
#include "SettingsStore.h"

namespace vnl {

void OpenEventViewer() noexcept {
    try {
        char systemDir[kPathBufferSize];
        UINT length = ::GetSystemDirectoryA(systemDir, sizeof(systemDir));
        if (length == 0 || length >= sizeof(systemDir)) return;
        char installDir[kPathBufferSize];
        ReadInstallPath(installDir);

        // Sized for the longest folders, so that no path reaches the viewer cut short.
        char viewer[kPathBufferSize + 16];
        int written = std::snprintf(viewer, sizeof(viewer), "%s\\eventvwr.exe", systemDir);
        if (written < 0 || static_cast<size_t>(written) >= sizeof(viewer)) return;
        char parameter[kPathBufferSize + 32];
        if (!BuildViewerParameter(installDir, parameter, sizeof(parameter))) return;

        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof(info);
        // The helper exits right after the call: let the shell finish first,
        // and never let it show an error box of its own.
        info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.hwnd = nullptr;
        info.lpVerb = "runas";
        info.lpFile = viewer;
        info.lpParameters = parameter;
        info.lpDirectory = systemDir;
        info.nShow = SW_SHOWNORMAL;
        // No COM apartment is entered for the call: a single-threaded one
        // would give the helper a (hidden) window, and starting a program
        // needs no shell extension.
        ::ShellExecuteExA(&info);
    } catch (...) {
    }
}

}  // namespace vnl
