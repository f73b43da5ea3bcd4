// A second browser process, as far as the hooks go: it loads hooks_band.dll
// (the band module stand-in) and runs commands in order:
//   install           InstallSystemHooks
//   remove            RemoveSystemHooks
//   cycle N           N times install then remove
//   expect WHAT       exit 7 unless this process holds WHAT: "all" (shell hook,
//                     both WinEvent hooks, one message hook) or "message-only"
//                     (the hook library could not be had: only the message hook)
//   watch-alone       start the menu watcher without the hook library loaded
//                     here and exit 8 unless it ends by itself
//   signal NAME       set the named event NAME (made by the test)
//   wait NAME         wait for the named event NAME (exit 4 after 60 s)
// Exit 0 when every command ran.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "SystemHooks.h"
#include "UniqueAny.h"

namespace {

HANDLE g_stopEvent;
HANDLE StopEvent() noexcept { return g_stopEvent; }
bool NoBand(HWND*) noexcept { return false; }
bool NotEngaged() noexcept { return false; }
void NoReset() noexcept {}
int NoDriver(int, std::uint32_t) noexcept { return -1; }

bool HoldsExpected(const char* what) {
    vnl::SystemHookHandles hooks = vnl::CurrentSystemHooks();
    if (!std::strcmp(what, "all"))
        return hooks.installed && hooks.ownShellHook && hooks.menuEventHook && hooks.switchEventHook &&
               hooks.messageHookCount == 1;
    if (!std::strcmp(what, "message-only"))
        return hooks.installed && !hooks.ownShellHook && !hooks.menuEventHook && !hooks.switchEventHook &&
               hooks.messageHookCount == 1 && !::GetModuleHandleA("EvhookMenu.dll");
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    vnl::UniqueEvent stop(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    g_stopEvent = stop.get();
    const vnl::BandHookSite site{NoBand, NotEngaged, NoReset, StopEvent, NoDriver};
    vnl::SetBandHookSite(&site);

    for (int i = 1; i < argc; ++i) {
        const char* command = argv[i];
        const char* argument = i + 1 < argc ? argv[i + 1] : "";
        if (!std::strcmp(command, "install")) {
            vnl::ReadBrowserVersion();
            vnl::RegisterHookThreads();
            vnl::InstallSystemHooks();
        } else if (!std::strcmp(command, "remove")) {
            vnl::RemoveSystemHooks();
        } else if (!std::strcmp(command, "cycle")) {
            ++i;
            for (long n = std::strtol(argument, nullptr, 10); n > 0; --n) {
                vnl::InstallSystemHooks();
                vnl::RemoveSystemHooks();
            }
        } else if (!std::strcmp(command, "watch-alone")) {
            vnl::UniqueHandle thread(::CreateThread(nullptr, 0, vnl::MenuWatcherThread, nullptr, 0, nullptr));
            if (::WaitForSingleObject(thread.get(), 10000) != WAIT_OBJECT_0) return 8;
        } else if (!std::strcmp(command, "expect")) {
            ++i;
            if (!HoldsExpected(argument)) return 7;
        } else if (!std::strcmp(command, "signal")) {
            ++i;
            vnl::UniqueEvent event(::OpenEventA(EVENT_MODIFY_STATE, FALSE, argument));
            if (event) ::SetEvent(event.get());
        } else if (!std::strcmp(command, "wait")) {
            ++i;
            vnl::UniqueEvent event(::OpenEventA(SYNCHRONIZE, FALSE, argument));
            if (!event || ::WaitForSingleObject(event.get(), 60000) != WAIT_OBJECT_0) return 4;
        } else {
            return 2;
        }
    }
    return 0;
}
