// Calls VNLBIN1's exports in a process of its own, importing the library by
// name at load time as the client modules do. Tests start it so that it can
// be given a per-program Windows version or DLL override (Wine reads those at
// process start), and read what it prints.
//   sdk_probe get AlwaysOn|UnhideFrame|RedFrameBorder|CryptoColor
//       presets the outputs to A5A5A5A5 and 5A5A5A5A, calls the getter and
//       prints "<status> <output 1 hex> [<output 2 hex>]"
//   sdk_probe event <size> <id hex> <text> [<text2 fill character>]
//       reports a record whose size field is <size> and whose text holds the
//       first 260 bytes of <text> (NUL-terminated only when shorter); once the
//       call has returned prints "returned, <n> running" with the number of
//       processes this one started that are still running
//   sdk_probe show-events
//       prints the result of VNLSDKShowEvents(0)
//   sdk_probe pref
//       prints the result of VNLSDKShowPref(0), which returns once the dialog
//       has closed
//   sdk_probe warn cj|bad
//       calls VNLSDKShowCJWarn(0) or VNLSDKShowBadDWarn(0), sets the named
//       event "sdk_probe_warn_returned" (created unsignalled at start) as soon
//       as the call has returned, waits for the threads the call started to
//       end and prints "<result> <calling thread id>"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "VNLSDK.h"

#include <tlhelp32.h>

namespace {

constexpr DWORD kPreset1 = 0xA5A5A5A5;
constexpr DWORD kPreset2 = 0x5A5A5A5A;

int Get(const std::string& which) {
    DWORD first = kPreset1, second = kPreset2;
    LONG status;
    if (which == "AlwaysOn") status = VNLSDKGetAlwaysOn(&first);
    else if (which == "UnhideFrame") status = VNLSDKGetUnhideFrame(&first);
    else if (which == "RedFrameBorder") status = VNLSDKGetRedFrameBorder(&first);
    else if (which == "CryptoColor") status = VNLSDKGetCryptoColor(&first, &second);
    else return 2;
    if (which == "CryptoColor") {
        std::printf("%ld %08lX %08lX\n", status, first, second);
    } else {
        std::printf("%ld %08lX\n", status, first);
    }
    return 0;
}

// When a process was created (0 when it cannot be asked).
ULONGLONG CreationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (ULONGLONG(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Processes started by this one that have not ended yet. A process whose
// parent id matches but that is older than this one was started by an earlier
// process that had the same id: Wine hands ids out again quickly.
int RunningChildren() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    const ULONGLONG born = CreationTime(::GetCurrentProcess());
    int count = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID != ::GetCurrentProcessId()) continue;
        HANDLE child = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (child == nullptr) continue;
        if (CreationTime(child) >= born) ++count;
        ::CloseHandle(child);
    }
    ::CloseHandle(snapshot);
    return count;
}

int Event(int argc, char** argv) {
    if (argc < 5) return 2;
    // Room beyond the record, so that a wrong size field is never read past.
    static unsigned char storage[sizeof(VNLSDK_EVENT) + 16];
    auto* event = reinterpret_cast<VNLSDK_EVENT*>(storage);
    event->cbSize = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
    event->dwEventId = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 16));
    std::strncpy(event->szText, argv[4], sizeof(event->szText));
    if (argc > 5) std::memset(event->szText2, argv[5][0], sizeof(event->szText2));
    VNLSDKAddEvent(event);
    std::printf("returned, %d running\n", RunningChildren());
    return 0;
}

std::set<DWORD> OwnThreads() {
    std::set<DWORD> threads;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return threads;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) threads.insert(entry.th32ThreadID);
    }
    ::CloseHandle(snapshot);
    return threads;
}

int Warn(const std::string& which) {
    HANDLE returned = ::CreateEventA(nullptr, TRUE, FALSE, "sdk_probe_warn_returned");
    if (returned) ::ResetEvent(returned);
    const std::set<DWORD> before = OwnThreads();
    LONG result;
    if (which == "cj") result = VNLSDKShowCJWarn(0);
    else if (which == "bad") result = VNLSDKShowBadDWarn(0);
    else return 2;
    if (returned) ::SetEvent(returned);
    // The threads the call started (those that still run): wait for each.
    for (DWORD id : OwnThreads()) {
        if (before.count(id)) continue;
        HANDLE thread = ::OpenThread(SYNCHRONIZE, FALSE, id);
        if (!thread) continue;
        ::WaitForSingleObject(thread, 120000);
        ::CloseHandle(thread);
    }
    std::printf("%ld %lu\n", result, ::GetCurrentThreadId());
    if (returned) ::CloseHandle(returned);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "get") == 0) return Get(argv[2]);
    if (argc >= 2 && std::strcmp(argv[1], "event") == 0) return Event(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "show-events") == 0) {
        std::printf("%ld\n", VNLSDKShowEvents(0));
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "pref") == 0) {
        std::printf("%ld\n", VNLSDKShowPref(0));
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "warn") == 0) return Warn(argv[2]);
    std::fprintf(stderr, "usage: sdk_probe get NAME | event SIZE ID TEXT [FILL] | show-events | pref | warn cj|bad\n");
    return 2;
}
