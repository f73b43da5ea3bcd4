// The menu watcher thread: one per browser process. It waits on the named
// events that the hook library signals and switches the driver's protection
// for the active band.
#include <windows.h>

#include "HookEventNames.h"
#include "HookSiteInternal.h"
#include "SystemHooks.h"
#include "TrayEvent.h"
#include "UniqueAny.h"

namespace vnl {
namespace {

UniqueEvent OpenForWaiting(const char* name) noexcept {
    return UniqueEvent(::OpenEventA(SYNCHRONIZE, FALSE, name));
}

std::uint32_t CallerValue(HWND toolbar) noexcept {
    // Window handles carry 32 significant bits on every Windows.
    return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(toolbar));
}

void SwitchProtection(const BandHookSite& site, int on, std::uint32_t value) noexcept {
    if (site.SetDriverProtection) site.SetDriverProtection(on, value);  // failures are ignored
}

}  // namespace

DWORD WINAPI MenuWatcherThread(LPVOID /*band*/) noexcept {
    char name[kEventNameCapacity] = {};
    const DWORD processId = ::GetCurrentProcessId();
    FormatProcessEventName(name, kMenuStartEventFormat, processId);
    UniqueEvent menuStart = OpenForWaiting(name);
    FormatProcessEventName(name, kMenuEndEventFormat, processId);
    UniqueEvent menuEnd = OpenForWaiting(name);
    UniqueEvent deactivate = OpenForWaiting(kDeactivateEventName);
    if (!menuStart || !menuEnd || !deactivate) return 0;  // the hook library is not loaded here
    if (!CurrentBandHookSite().StopEvent || !CurrentBandHookSite().StopEvent()) return 0;

    enum : DWORD { kMenuStart = WAIT_OBJECT_0, kMenuEnd, kDeactivate, kStop };
    for (;;) {
        const BandHookSite site = CurrentBandHookSite();
        const HANDLE waitOn[] = {menuStart.get(), menuEnd.get(), deactivate.get(),
                                 site.StopEvent ? site.StopEvent() : nullptr};
        const DWORD signalled = ::WaitForMultipleObjects(4, waitOn, FALSE, INFINITE);
        if (signalled == kStop || signalled > kStop) return 0;  // stopped, or the wait failed

        // An event that finds no band in front is not a reason to stop
        // watching: with several browser windows, another program in front
        // is exactly when no band is active. The deactivation then switches
        // protection off without a toolbar value; menu events wait for a band.
        HWND toolbar = nullptr;
        const bool haveBand = site.ActiveToolbarWindow && site.ActiveToolbarWindow(&toolbar);
        const bool engaged = site.IsEngaged && site.IsEngaged();
        switch (signalled) {
        case kMenuStart:
            if (haveBand && engaged) SwitchProtection(site, 0, CallerValue(toolbar));  // engaged stays set
            break;
        case kMenuEnd:
            if (haveBand && engaged) SwitchProtection(site, 1, CallerValue(toolbar));
            break;
        case kDeactivate:
            if (!IsTrayEventSignalled()) SwitchProtection(site, 0, haveBand ? CallerValue(toolbar) : 0);
            break;
        default:
            break;
        }
    }
}

}  // namespace vnl
