// Stand-in for the product's desktop program, as far as this system sees it:
// the tray event, signalled while the program holds protection on.
//
//   VNLD.exe hold [ms]   create the event signalled and keep it for ms
//                        (default 10 minutes or until a "quit" run), then exit
//   VNLD.exe create [ms] the same with the event not signalled
//   VNLD.exe release     reset the event (when it exists); holders keep running
//   VNLD.exe quit        make the running "hold" or "create" exit
//
// A named event lives only while some process holds a handle, so "hold" and
// "create" stay running; "quit" wakes them through a second event. Once the
// tray event exists it already has its state and "quit" already reaches the
// holder, so watchers may take "the tray event exists" for "started".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TrayEvent.h"
#include "UniqueAny.h"

namespace {

constexpr const char* kQuitEventName = "VNLDESKTOP_STANDIN_QUIT";

int Keep(bool signalled, DWORD ms) {
    vnl::UniqueEvent quit(::CreateEventA(nullptr, TRUE, FALSE, kQuitEventName));
    if (!quit) return 1;
    vnl::UniqueEvent tray(::CreateEventA(nullptr, TRUE, signalled ? TRUE : FALSE, vnl::kTrayEventName));
    if (!tray) return 1;
    // An event that already existed keeps its state: set it as asked.
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        if (signalled) ::SetEvent(tray.get()); else ::ResetEvent(tray.get());
    }
    std::printf("ready\n");
    std::fflush(stdout);
    ::WaitForSingleObject(quit.get(), ms);
    return 0;
}

int Release() {
    vnl::UniqueEvent tray(::OpenEventA(EVENT_MODIFY_STATE, FALSE, vnl::kTrayEventName));
    if (tray) ::ResetEvent(tray.get());
    return 0;
}

int Quit() {
    vnl::UniqueEvent quit(::OpenEventA(EVENT_MODIFY_STATE, FALSE, kQuitEventName));
    if (quit) ::SetEvent(quit.get());
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
