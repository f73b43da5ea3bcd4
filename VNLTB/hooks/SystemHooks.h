// The band module's system-event hooks, once per browser process:
//  - a message hook (WH_CALLWNDPROCRET) on the browser's user-interface
//    threads that tells the active band when a thread's input language changes;
//  - a system-wide shell hook and two in-context WinEvent hooks whose
//    procedures live in the hook library "EvhookMenu.dll" and signal named
//    events;
//  - the menu watcher thread, which waits on those events and switches the
//    driver's protection off while a system menu is open, a task switch runs
//    or another program is in front, and on again when the menu closes.
//
// The band module wires it in like this:
//
//   first band of the process, after opening the driver channel and switching
//   protection off, only when the driver status is 0 or 10:
//       SetBandHookSite(&site);          // once, before anything below
//       PrepareSystemHooks();            // version text, threads, InstallSystemHooks
//       create the stop event (auto-reset, unnamed)
//   then, whatever the driver status:
//       CreateThread(..., MenuWatcherThread, band, ...)
//
//   last band of the process closes:
//       SetEvent(stop event); RemoveSystemHooks();
//       unless the tray event is signalled, SetDriverProtection(0, toolbar)
#pragma once

#include <windows.h>

#include <cstdint>

#include "HookThreadTable.h"
#include "SharedHookState.h"

namespace vnl {

// What the hooks need from the band module. The band fills in every member
// and keeps the record alive for as long as the module is loaded (a static
// constant is the natural choice). The functions are called on browser
// user-interface threads (ResetFocusOnActiveBand, from the message hook) and
// on the menu watcher thread (the others), concurrently with the bands
// changing: each implementation takes the band registry's lock itself. A null
// member counts as "nothing there": no active band, not engaged, no stop
// event, protection calls dropped.
struct BandHookSite {
    // FindActiveBand: true with `*toolbar` set to that band's toolbar window
    // when there is an active band; false, `*toolbar` untouched, when none.
    bool (*ActiveToolbarWindow)(HWND* toolbar) noexcept;
    // BandState's engaged flag: the driver holds keystrokes for a page field.
    bool (*IsEngaged)() noexcept;
    // ResetFocusOnLayoutChange on the active band, when there is one.
    void (*ResetFocusOnActiveBand)() noexcept;
    // BandState's stop event, or null when none was created. Read afresh
    // before every wait of the watcher.
    HANDLE (*StopEvent)() noexcept;
    // SetDriverProtection of the module's driver channel (DriverChannel.h).
    int (*SetDriverProtection)(int on, std::uint32_t value) noexcept;
};

// Makes `site` the module's band interface (null: none). Copied, so the
// caller's record may go away.
void SetBandHookSite(const BandHookSite* site) noexcept;

// Reads the browser version text: value "Version" of HKEY_LOCAL_MACHINE
// "Software\Microsoft\Internet Explorer", kept to its first 23 characters.
// Returns false, leaving the text empty, when the value cannot be read as text.
bool ReadBrowserVersion() noexcept;
// The text as last read (empty before the first read). Never null.
const char* BrowserVersionText() noexcept;
// The "7" rule: with a version text that begins with '7' every thread of the
// process gets the message hook; otherwise only the thread that installs.
bool HooksEveryThread() noexcept;

// The threads that get a message hook: every thread of this process in a
// system snapshot when HooksEveryThread(), else the current thread.
HookThreadTable& ModuleHookThreadTable() noexcept;
void RegisterHookThreads() noexcept;

// Installs the message hooks, the shell hook and the two WinEvent hooks of
// this process, and counts the install in the shared record. Loads
// "EvhookMenu.dll" by name for each hook-library procedure (never unloaded).
// A hook that cannot be installed is left out silently; the install still
// counts. A second call without a removal in between does nothing. Returns 0.
int InstallSystemHooks() noexcept;

// Undoes this process's install: unhooks its message hooks and WinEvent
// hooks, and the shell hook when this removal is the last across all
// processes. Does nothing when this process has nothing installed. Returns 0.
int RemoveSystemHooks() noexcept;

// The first band's preparation: ReadBrowserVersion, RegisterHookThreads,
// InstallSystemHooks.
void PrepareSystemHooks() noexcept;

// The message hook procedure (installed per thread by InstallSystemHooks).
LRESULT CALLBACK LayoutChangeHookProc(int code, WPARAM flag, LPARAM message) noexcept;

// The watcher thread. `band` is not used. Ends, returning 0, when an event it
// needs is missing, when the stop event is signalled or the wait fails.
DWORD WINAPI MenuWatcherThread(LPVOID band) noexcept;

// What this process holds, for diagnostics and tests.
struct SystemHookHandles {
    bool installed;
    HHOOK shellHook;              // the shared record's value
    LONG installCount;            // the shared record's value
    HHOOK ownShellHook;           // the shell hook this process installed (null if it failed)
    HWINEVENTHOOK menuEventHook;
    HWINEVENTHOOK switchEventHook;
    std::uint32_t messageHookCount;
};
SystemHookHandles CurrentSystemHooks() noexcept;

// Message hooks one process installs at most: threads beyond are not hooked.
inline constexpr std::uint32_t kMaxMessageHooks = 4000;

}  // namespace vnl
