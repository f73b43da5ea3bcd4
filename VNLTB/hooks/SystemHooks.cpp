#include "SystemHooks.h"

#include <tlhelp32.h>

#include <atomic>
#include <cstring>

#include "HookSiteInternal.h"
#include "UniqueAny.h"

namespace vnl {
namespace {

constexpr const char* kHookLibrary = "EvhookMenu.dll";
constexpr const char* kBrowserKey = "Software\\Microsoft\\Internet Explorer";
constexpr std::size_t kVersionTextSize = 24;

struct SnapshotTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
using UniqueSnapshot = UniqueAny<SnapshotTraits>;

// This process's part of the hooks. Install and removal run on browser
// threads and hold the lock throughout.
struct ProcessHooks {
    SRWLOCK lock = SRWLOCK_INIT;
    bool installed = false;
    HHOOK ownShellHook = nullptr;
    HWINEVENTHOOK menuEventHook = nullptr;
    HWINEVENTHOOK switchEventHook = nullptr;
    std::uint32_t messageHookCount = 0;
    HHOOK messageHooks[kMaxMessageHooks] = {};
};

ProcessHooks g_hooks;
HookThreadTable g_threadTable;
char g_browserVersion[kVersionTextSize];

// The band's interface, copied in; `g_siteSet` publishes it.
BandHookSite g_site;
std::atomic<bool> g_siteSet{false};
SRWLOCK g_siteLock = SRWLOCK_INIT;

class HoldExclusive {
public:
    explicit HoldExclusive(SRWLOCK& lock) noexcept : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~HoldExclusive() { ::ReleaseSRWLockExclusive(&lock_); }
    HoldExclusive(const HoldExclusive&) = delete;
    HoldExclusive& operator=(const HoldExclusive&) = delete;

private:
    SRWLOCK& lock_;
};

BandHookSite CurrentSite() noexcept {
    if (!g_siteSet.load(std::memory_order_acquire)) return BandHookSite{};
    ::AcquireSRWLockShared(&g_siteLock);
    BandHookSite site = g_site;
    ::ReleaseSRWLockShared(&g_siteLock);
    return site;
}

// The module that holds this code (the band module), for the message hooks.
HMODULE ThisModule() noexcept {
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&LayoutChangeHookProc), &module);
    return module;
}

// Loads the hook library by name and takes `name` from it. The library is
// never unloaded: the system calls into it for as long as the hooks live.
FARPROC HookLibraryProcedure(const char* name, HMODULE* library) noexcept {
    *library = ::LoadLibraryA(kHookLibrary);
    return *library ? ::GetProcAddress(*library, name) : nullptr;
}

template <typename Procedure>
Procedure ProcedureAs(FARPROC procedure) noexcept {
    return reinterpret_cast<Procedure>(reinterpret_cast<void*>(procedure));
}

void AddMessageHookLocked(DWORD threadId, HMODULE module) noexcept {
    if (g_hooks.messageHookCount >= kMaxMessageHooks) return;  // beyond the list: not hooked
    HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROCRET, LayoutChangeHookProc, module, threadId);
    if (!hook) return;
    g_hooks.messageHooks[g_hooks.messageHookCount++] = hook;
    g_threadTable.SetHook(threadId, hook);
}

// Every hook goes on the list, the one of a single-thread install too, so
// that the removal unhooks them whichever thread closes the last band.
void InstallMessageHooksLocked() noexcept {
    HMODULE module = ThisModule();
    if (!HooksEveryThread()) {
        AddMessageHookLocked(::GetCurrentThreadId(), module);
        return;
    }
    UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return;
    const DWORD processId = ::GetCurrentProcessId();
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == processId) AddMessageHookLocked(entry.th32ThreadID, module);
        entry.dwSize = sizeof(entry);
    }
}

// Installs this process's shell hook and makes it the shared one. The hook it
// replaces (another process's, or a stale value) is unhooked; when the new
// one cannot be installed, the shared one stays.
void ReplaceSharedShellHookLocked() noexcept {
    HMODULE library = nullptr;
    auto procedure = ProcedureAs<HOOKPROC>(HookLibraryProcedure("ShlWndProc", &library));
    HHOOK shell = procedure ? ::SetWindowsHookExA(WH_SHELL, procedure, library, 0) : nullptr;
    g_hooks.ownShellHook = shell;
    if (!shell) return;
    SharedHookState& shared = ModuleSharedHookState();
    auto previous = static_cast<HHOOK>(
        ::InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&shared.shellHook), shell));
    if (previous && previous != shell) ::UnhookWindowsHookEx(previous);
}

HWINEVENTHOOK InstallEventHook(const char* procedureName, DWORD first, DWORD last, DWORD processId) noexcept {
    HMODULE library = nullptr;
    auto procedure = ProcedureAs<WINEVENTPROC>(HookLibraryProcedure(procedureName, &library));
    if (!procedure) return nullptr;
    return ::SetWinEventHook(first, last, library, procedure, processId, 0, WINEVENT_INCONTEXT);
}

// The last removal across processes takes the shell hook out of the shared
// record and unhooks it. An install that has counted itself meanwhile keeps
// the hook: it is put back unless that install has already stored its own.
void ReleaseSharedShellHook() noexcept {
    SharedHookState& shared = ModuleSharedHookState();
    auto slot = reinterpret_cast<PVOID volatile*>(&shared.shellHook);
    auto hook = static_cast<HHOOK>(::InterlockedExchangePointer(slot, nullptr));
    if (!hook) return;
    if (::InterlockedCompareExchange(&shared.installCount, 0, 0) > 0 &&
        ::InterlockedCompareExchangePointer(slot, hook, nullptr) == nullptr)
        return;
    ::UnhookWindowsHookEx(hook);
}

}  // namespace

void SetBandHookSite(const BandHookSite* site) noexcept {
    HoldExclusive hold(g_siteLock);
    g_site = site ? *site : BandHookSite{};
    g_siteSet.store(site != nullptr, std::memory_order_release);
}

bool ReadBrowserVersion() noexcept {
    std::memset(g_browserVersion, 0, sizeof(g_browserVersion));
    char text[256] = {};
    DWORD size = sizeof(text);
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, kBrowserKey, "Version", RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return false;
    std::memcpy(g_browserVersion, text, ::strnlen(text, sizeof(g_browserVersion) - 1));
    return true;
}

const char* BrowserVersionText() noexcept { return g_browserVersion; }

bool HooksEveryThread() noexcept { return g_browserVersion[0] == '7'; }

HookThreadTable& ModuleHookThreadTable() noexcept { return g_threadTable; }

void RegisterHookThreads() noexcept {
    if (!HooksEveryThread()) {
        g_threadTable.Add(::GetCurrentThreadId());
        return;
    }
    UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return;
    const DWORD processId = ::GetCurrentProcessId();
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == processId) g_threadTable.Add(entry.th32ThreadID);
        entry.dwSize = sizeof(entry);
    }
}

int InstallSystemHooks() noexcept {
    HoldExclusive hold(g_hooks.lock);
    if (g_hooks.installed) return 0;
    g_hooks.installed = true;
    // Counted first: a last removal running in another process at the same
    // time then sees this install and leaves the shell hook in place.
    ::InterlockedIncrement(&ModuleSharedHookState().installCount);

    InstallMessageHooksLocked();
    ReplaceSharedShellHookLocked();
    if (g_hooks.menuEventHook) ::UnhookWinEvent(g_hooks.menuEventHook);
    g_hooks.menuEventHook =
        InstallEventHook("VNLEvhookProc", EVENT_SYSTEM_MENUSTART, EVENT_SYSTEM_MENUEND, ::GetCurrentProcessId());
    if (g_hooks.switchEventHook) ::UnhookWinEvent(g_hooks.switchEventHook);
    g_hooks.switchEventHook = InstallEventHook("VNLEvhookProcSwitch", EVENT_SYSTEM_SWITCHSTART,
                                               EVENT_SYSTEM_SWITCHSTART, 0);
    return 0;
}

int RemoveSystemHooks() noexcept {
    HoldExclusive hold(g_hooks.lock);
    if (!g_hooks.installed) return 0;
    g_hooks.installed = false;

    for (std::uint32_t i = 0; i < g_hooks.messageHookCount; ++i) {
        ::UnhookWindowsHookEx(g_hooks.messageHooks[i]);
        g_threadTable.ForgetHook(g_hooks.messageHooks[i]);
        g_hooks.messageHooks[i] = nullptr;
    }
    g_hooks.messageHookCount = 0;

    // The WinEvent hooks serve only this process's watcher, which has stopped.
    if (g_hooks.menuEventHook) ::UnhookWinEvent(g_hooks.menuEventHook);
    if (g_hooks.switchEventHook) ::UnhookWinEvent(g_hooks.switchEventHook);
    g_hooks.menuEventHook = nullptr;
    g_hooks.switchEventHook = nullptr;
    g_hooks.ownShellHook = nullptr;

    if (::InterlockedDecrement(&ModuleSharedHookState().installCount) == 0) ReleaseSharedShellHook();
    return 0;
}

void PrepareSystemHooks() noexcept {
    ReadBrowserVersion();
    RegisterHookThreads();
    InstallSystemHooks();
}

LRESULT CALLBACK LayoutChangeHookProc(int code, WPARAM flag, LPARAM message) noexcept {
    if (code >= 0 && message) {
        const auto* record = reinterpret_cast<const CWPRETSTRUCT*>(message);
        if (record->message == WM_INPUTLANGCHANGE || record->message == WM_INPUTLANGCHANGEREQUEST) {
            BandHookSite site = CurrentSite();
            if (site.ResetFocusOnActiveBand) site.ResetFocusOnActiveBand();
        }
    }
    return ::CallNextHookEx(nullptr, code, flag, message);
}

SystemHookHandles CurrentSystemHooks() noexcept {
    HoldExclusive hold(g_hooks.lock);
    SharedHookState& shared = ModuleSharedHookState();
    SystemHookHandles handles{};
    handles.installed = g_hooks.installed;
    handles.shellHook = static_cast<HHOOK>(
        ::InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&shared.shellHook), nullptr, nullptr));
    handles.installCount = ::InterlockedCompareExchange(&shared.installCount, 0, 0);
    handles.ownShellHook = g_hooks.ownShellHook;
    handles.menuEventHook = g_hooks.menuEventHook;
    handles.switchEventHook = g_hooks.switchEventHook;
    handles.messageHookCount = g_hooks.messageHookCount;
    return handles;
}

BandHookSite CurrentBandHookSite() noexcept { return CurrentSite(); }

}  // namespace vnl
