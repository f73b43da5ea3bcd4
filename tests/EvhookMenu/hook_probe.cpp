// A process in which the tests run the hook library's procedures, as the
// system would in a process it loaded the library into. Copies of it run as
// "dbgview.exe" and "iexplore.exe". Commands, in order:
//   load              load EvhookMenu.dll (exit 3 when it refuses or is missing)
//   menu CODE         VNLEvhookProc with event CODE
//   switch CODE       VNLEvhookProcSwitch with event CODE
//   shell CODE        ShlWndProc with code CODE
//   signal NAME       set the named event NAME (the test made it)
//   wait NAME         wait until the named event NAME is set (exit 4 after 60 s)
//   window            create a top-level window, let the system run its shell
//                     hooks, and exit 5 unless EvhookMenu.dll got loaded here
// Exit 0 when every command ran.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

HMODULE g_library;

template <typename Procedure>
Procedure Export(const char* name) {
    if (!g_library) g_library = ::GetModuleHandleA("EvhookMenu.dll");
    FARPROC procedure = g_library ? ::GetProcAddress(g_library, name) : nullptr;
    if (!procedure) ::ExitProcess(6);
    return reinterpret_cast<Procedure>(reinterpret_cast<void*>(procedure));
}

bool WaitNamed(const char* name) {
    HANDLE event = ::OpenEventA(SYNCHRONIZE, FALSE, name);
    if (!event) return false;
    bool set = ::WaitForSingleObject(event, 60000) == WAIT_OBJECT_0;
    ::CloseHandle(event);
    return set;
}

void SignalNamed(const char* name) {
    if (HANDLE event = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, name)) {
        ::SetEvent(event);
        ::CloseHandle(event);
    }
}

bool WindowLoadsHookLibrary() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "VnlHookProbe";
    ::RegisterClassA(&wc);
    HWND window = ::CreateWindowExA(0, wc.lpszClassName, "hook probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                    100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    for (int i = 0; i < 20 && !::GetModuleHandleA("EvhookMenu.dll"); ++i) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
        ::Sleep(25);
    }
    bool loaded = ::GetModuleHandleA("EvhookMenu.dll") != nullptr;
    ::DestroyWindow(window);
    return loaded;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* command = argv[i];
        const char* argument = i + 1 < argc ? argv[i + 1] : "";
        const auto code = static_cast<DWORD>(std::strtoul(argument, nullptr, 0));
        if (!std::strcmp(command, "load")) {
            g_library = ::LoadLibraryA("EvhookMenu.dll");
            if (!g_library) return 3;
            continue;
        }
        if (!std::strcmp(command, "window")) {
            if (!WindowLoadsHookLibrary()) return 5;
            continue;
        }
        ++i;  // the rest take an argument
        if (!std::strcmp(command, "menu")) {
            Export<WINEVENTPROC>("VNLEvhookProc")(nullptr, code, nullptr, 0, 0, 0, 0);
        } else if (!std::strcmp(command, "switch")) {
            Export<WINEVENTPROC>("VNLEvhookProcSwitch")(nullptr, code, nullptr, 0, 0, 0, 0);
        } else if (!std::strcmp(command, "shell")) {
            Export<HOOKPROC>("ShlWndProc")(static_cast<int>(code), 0, 0);
        } else if (!std::strcmp(command, "signal")) {
            SignalNamed(argument);
        } else if (!std::strcmp(command, "wait")) {
            if (!WaitNamed(argument)) return 4;
        } else {
            return 2;
        }
    }
    return 0;
}
