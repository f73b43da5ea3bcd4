// Stand-in for the product's desktop program, as far as this system sees it:
// the tray event, signalled while the program holds protection on.
//
//   VNLD.exe hold [ms]   create the event, signal it, keep it for ms (default
//                        until a "release" run or 10 minutes), then exit
//   VNLD.exe release     reset the event (when it exists)
//   VNLD.exe create      create the event, not signalled, and keep it like hold
//
// A named event lives only while some process holds a handle, so "hold" and
// "create" stay running; "release" wakes them through a second event.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TrayEvent.h"

namespace {

constexpr const char* kQuitEventName = "VNLDESKTOP_STANDIN_QUIT";

int Keep(bool signalled, DWORD ms) {
    HANDLE tray = ::CreateEventA(nullptr, TRUE, FALSE, vnl::kTrayEventName);
    if (!tray) return 1;
    if (signalled) ::SetEvent(tray); else ::ResetEvent(tray);
    HANDLE quit = ::CreateEventA(nullptr, TRUE, FALSE, kQuitEventName);
    std::printf("ready\n");
    std::fflush(stdout);
    ::WaitForSingleObject(quit, ms);
    ::CloseHandle(quit);
    ::CloseHandle(tray);
    return 0;
}

int Release() {
    HANDLE tray = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, vnl::kTrayEventName);
    if (tray) {
        ::ResetEvent(tray);
        ::CloseHandle(tray);
    }
    return 0;
}

int Quit() {
    if (HANDLE quit = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, kQuitEventName)) {
        ::SetEvent(quit);
        ::CloseHandle(quit);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: VNLD.exe hold [ms] | create [ms] | release | quit\n");
        return 2;
    }
    DWORD ms = argc > 2 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 600000;
    if (!std::strcmp(argv[1], "hold")) return Keep(true, ms);
    if (!std::strcmp(argv[1], "create")) return Keep(false, ms);
    if (!std::strcmp(argv[1], "release")) return Release();
    if (!std::strcmp(argv[1], "quit")) return Quit();
    std::fprintf(stderr, "VNLD.exe: unknown command %s\n", argv[1]);
    return 2;
}
