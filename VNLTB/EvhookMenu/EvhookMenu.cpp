// EvhookMenu.dll: hook procedures that turn system events into signals on
// named events. The band module installs them (a system-wide shell hook and
// two in-context WinEvent hooks), so the system loads this library into the
// browser and into other programs' processes and calls the procedures there.
// The library keeps no state shared between processes: everything crosses
// process boundaries through the named events.
#include <windows.h>

#include <cstring>

#include "HookEventNames.h"
#include "TrayEvent.h"
#include "UniqueAny.h"

namespace {

// Per-process data, written once at process attach.
char g_hostPath[MAX_PATH];                             // main executable, upper-cased
char g_menuStartName[vnl::kEventNameCapacity];
char g_menuEndName[vnl::kEventNameCapacity];
char g_deactivateName[vnl::kEventNameCapacity];

// Held for as long as the library stays loaded, so that the events exist
// whenever the hooks can fire in this process. They close when the library
// is unloaded (the system unloads it from other processes as it sees fit, and
// a later load creates them again).
vnl::UniqueEvent g_menuStartEvent;
vnl::UniqueEvent g_menuEndEvent;
vnl::UniqueEvent g_deactivateEvent;

// A debugging viewer must not have hook libraries forced into it.
constexpr const char* kRefusedHost = "DBGVIEW.EXE";
// Activations inside the browser itself are not a change of program.
constexpr const char* kBrowserHost = "IEXPLORE.EXE";

bool HostPathContains(const char* part) noexcept {
    return std::strstr(g_hostPath, part) != nullptr;
}

// Opens the event by name, sets it and closes it. A missing event is ignored.
void SignalNamedEvent(const char* name) noexcept {
    vnl::UniqueEvent event(::OpenEventA(EVENT_ALL_ACCESS, FALSE, name));
    if (event) ::SetEvent(event.get());
}

// Returns false when this process must not keep the library.
bool PrepareProcess() noexcept {
    DWORD length = ::GetModuleFileNameA(nullptr, g_hostPath, MAX_PATH);
    if (length >= MAX_PATH) length = MAX_PATH - 1;  // truncated: keep it terminated
    g_hostPath[length] = '\0';
    ::CharUpperBuffA(g_hostPath, length);
    if (HostPathContains(kRefusedHost)) return false;

    const DWORD processId = ::GetCurrentProcessId();
    vnl::FormatProcessEventName(g_menuStartName, vnl::kMenuStartEventFormat, processId);
    vnl::FormatProcessEventName(g_menuEndName, vnl::kMenuEndEventFormat, processId);
    std::strncpy(g_deactivateName, vnl::kDeactivateEventName, sizeof(g_deactivateName) - 1);

    // Creation opens an event that already exists under the name. Failures are
    // dropped: later signals to a missing event do nothing.
    g_menuStartEvent.reset(::CreateEventA(nullptr, FALSE, FALSE, g_menuStartName));
    g_menuEndEvent.reset(::CreateEventA(nullptr, FALSE, FALSE, g_menuEndName));
    g_deactivateEvent.reset(::CreateEventA(nullptr, FALSE, FALSE, g_deactivateName));
    return true;
}

}  // namespace

extern "C" {

// In-context WinEvent procedure for system menu start and end in the browser
// process: signals that process's menu-start or menu-end event.
void CALLBACK VNLEvhookProc(HWINEVENTHOOK, DWORD event, HWND, LONG, LONG, DWORD, DWORD) noexcept {
    switch (event) {
    case EVENT_SYSTEM_MENUSTART: SignalNamedEvent(g_menuStartName); break;
    case EVENT_SYSTEM_MENUEND: SignalNamedEvent(g_menuEndName); break;
    default: break;
    }
}

// In-context WinEvent procedure for task-switch start in every process: a
// switch is treated like a menu opening in the process where it starts,
// unless the desktop program holds protection.
void CALLBACK VNLEvhookProcSwitch(HWINEVENTHOOK, DWORD event, HWND, LONG, LONG, DWORD, DWORD) noexcept {
    if (vnl::IsTrayEventSignalled()) return;
    if (event == EVENT_SYSTEM_SWITCHSTART) SignalNamedEvent(g_menuStartName);
}

// System-wide shell hook: a top-level window of another program was
// activated, so the browser is losing the front; unless the desktop program
// holds protection. Every call is passed on unchanged.
LRESULT CALLBACK ShlWndProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (!vnl::IsTrayEventSignalled() && code == HSHELL_WINDOWACTIVATED && !HostPathContains(kBrowserHost))
        SignalNamedEvent(g_deactivateName);
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) noexcept {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    if (!PrepareProcess()) return FALSE;
    ::DisableThreadLibraryCalls(module);
    return TRUE;
}

}  // extern "C"
