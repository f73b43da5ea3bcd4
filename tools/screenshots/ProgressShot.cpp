// Shows VNLI.exe's progress window from the program's own template, stopped at
// a position, for a screenshot: an installation is over too quickly to be
// caught on the screen. Usage: progress_shot.exe PATH_TO_VNLI POSITION
// Runs until the window is closed (or the session ends).
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>

namespace {
// The window only has to stand there: nothing is handled.
INT_PTR CALLBACK IgnoreEverything(HWND, UINT, WPARAM, LPARAM) noexcept { return FALSE; }
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (arguments == nullptr || count < 3) return 2;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    HMODULE installer = ::LoadLibraryExW(arguments[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (installer == nullptr) return 3;
    HWND dialog = ::CreateDialogParamW(installer, MAKEINTRESOURCEW(100), nullptr, IgnoreEverything, 0);
    if (dialog == nullptr) return 4;
    ::SendDlgItemMessageW(dialog, 1001, PBM_SETPOS, static_cast<WPARAM>(std::wcstol(arguments[2], nullptr, 10)), 0);
    ::ShowWindow(dialog, SW_SHOWNORMAL);
    ::LocalFree(arguments);
    MSG message;
    while (::IsWindow(dialog) && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
