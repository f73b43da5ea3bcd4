// The hook library's procedures, run inside probe processes as the system runs
// them in the processes it loads the library into; the named events they
// signal are watched from here.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <optional>
#include <set>
#include <string>

#include "BenchPaths.h"
#include "DesktopProgram.h"
#include "HookEventNames.h"
#include "Process.h"
#include "UniqueAny.h"

namespace {

using vnl::UniqueEvent;

std::string ProbePath(const std::string& exe) { return bench::TestsDir() + "\\" + exe; }

std::string ProcessEventName(const char* format, DWORD processId) {
    char name[vnl::kEventNameCapacity];
    vnl::FormatProcessEventName(name, format, processId);
    return name;
}

struct UniqueProcessHandles {
    PROCESS_INFORMATION pi;
    ~UniqueProcessHandles() {
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
};

struct ProbeOutcome {
    DWORD exitCode = 0xFFFFFFFF;
    bool eventsExisted = false;  // all three events could be opened while the probe ran
    bool menuStart = false;
    bool menuEnd = false;
    bool deactivate = false;
};

// Runs `exe` with: load the library, hand-shake, `commands`, hand-shake, and
// reports which of that process's events the commands signalled.
ProbeOutcome RunProcedures(const std::string& exe, const std::string& commands) {
    static int serial = 0;
    const std::string tag = std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(++serial);
    const std::string ready = "VNL_TEST_READY_" + tag, go = "VNL_TEST_GO_" + tag;
    const std::string done = "VNL_TEST_DONE_" + tag, quit = "VNL_TEST_QUIT_" + tag;
    UniqueEvent readyEvent(::CreateEventA(nullptr, TRUE, FALSE, ready.c_str()));
    UniqueEvent goEvent(::CreateEventA(nullptr, TRUE, FALSE, go.c_str()));
    UniqueEvent doneEvent(::CreateEventA(nullptr, TRUE, FALSE, done.c_str()));
    UniqueEvent quitEvent(::CreateEventA(nullptr, TRUE, FALSE, quit.c_str()));

    std::string line = bench::Quoted(ProbePath(exe)) + " load signal " + ready + " wait " + go + " " + commands +
                       " signal " + done + " wait " + quit;
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ProbeOutcome outcome;
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return outcome;
    UniqueProcessHandles owned{pi};

    HANDLE started[] = {readyEvent.get(), pi.hProcess};
    if (::WaitForMultipleObjects(2, started, FALSE, 30000) == WAIT_OBJECT_0) {
        UniqueEvent start(::OpenEventA(SYNCHRONIZE, FALSE, ProcessEventName(vnl::kMenuStartEventFormat, pi.dwProcessId).c_str()));
        UniqueEvent end(::OpenEventA(SYNCHRONIZE, FALSE, ProcessEventName(vnl::kMenuEndEventFormat, pi.dwProcessId).c_str()));
        UniqueEvent deactivate(::OpenEventA(SYNCHRONIZE, FALSE, vnl::kDeactivateEventName));
        outcome.eventsExisted = start && end && deactivate;
        if (deactivate) ::WaitForSingleObject(deactivate.get(), 0);  // drop a signal left from before
        ::SetEvent(goEvent.get());
        HANDLE finished[] = {doneEvent.get(), pi.hProcess};
        if (::WaitForMultipleObjects(2, finished, FALSE, 30000) == WAIT_OBJECT_0) {
            outcome.menuStart = start && ::WaitForSingleObject(start.get(), 0) == WAIT_OBJECT_0;
            outcome.menuEnd = end && ::WaitForSingleObject(end.get(), 0) == WAIT_OBJECT_0;
            outcome.deactivate = deactivate && ::WaitForSingleObject(deactivate.get(), 0) == WAIT_OBJECT_0;
        }
    }
    ::SetEvent(quitEvent.get());
    if (::WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) ::TerminateProcess(pi.hProcess, 99);
    ::GetExitCodeProcess(pi.hProcess, &outcome.exitCode);
    return outcome;
}

TEST(EvhookMenu, ExportsExactlyTheThreeProcedures) {
    vnl::UniqueModule library(::LoadLibraryExA((bench::BinDir() + "\\EvhookMenu.dll").c_str(), nullptr,
                                               DONT_RESOLVE_DLL_REFERENCES));
    ASSERT_TRUE(library);
    auto base = reinterpret_cast<const BYTE*>(library.get());
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(directory.VirtualAddress, 0u);
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    auto names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::set<std::string> found;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) found.insert(reinterpret_cast<const char*>(base + names[i]));
    EXPECT_EQ(exports->NumberOfFunctions, 3u);
    EXPECT_EQ(found, (std::set<std::string>{"ShlWndProc", "VNLEvhookProc", "VNLEvhookProcSwitch"}));
}

TEST(EvhookMenu, LoadingCreatesThisProcessEventsAndHoldsThem) {
    const std::string start = ProcessEventName(vnl::kMenuStartEventFormat, ::GetCurrentProcessId());
    const std::string end = ProcessEventName(vnl::kMenuEndEventFormat, ::GetCurrentProcessId());
    ASSERT_EQ(start, "VNL_WIN_EVENT_SYSTEM_MENUSTART_" + [] {
        char hex[16];
        std::snprintf(hex, sizeof(hex), "%08X", static_cast<unsigned>(::GetCurrentProcessId()));
        return std::string(hex);
    }());
    EXPECT_EQ(::OpenEventA(SYNCHRONIZE, FALSE, start.c_str()), nullptr) << "exists before the library loads";

    HMODULE library = ::LoadLibraryA("EvhookMenu.dll");
    ASSERT_NE(library, nullptr);
    for (const std::string& name : {start, end, std::string(vnl::kDeactivateEventName)}) {
        UniqueEvent event(::OpenEventA(SYNCHRONIZE, FALSE, name.c_str()));
        ASSERT_TRUE(event) << name;
        EXPECT_EQ(::WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << name << " starts reset";
    }
    // Signalled events are auto-reset: one waiter takes the signal.
    reinterpret_cast<WINEVENTPROC>(reinterpret_cast<void*>(::GetProcAddress(library, "VNLEvhookProc")))(
        nullptr, EVENT_SYSTEM_MENUSTART, nullptr, 0, 0, 0, 0);
    UniqueEvent event(::OpenEventA(SYNCHRONIZE, FALSE, start.c_str()));
    EXPECT_EQ(::WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(::WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

struct ProcedureCase {
    const char* exe;
    const char* commands;
    bool trayHeld;
    bool menuStart, menuEnd, deactivate;
};

TEST(EvhookMenu, ProceduresSignalTheirEventsInTheCallingProcess) {
    const ProcedureCase cases[] = {
        {"hook_probe.exe", "menu 4", false, true, false, false},
        {"hook_probe.exe", "menu 5", false, false, true, false},
        {"hook_probe.exe", "menu 6 menu 0x14 menu 0x8000", false, false, false, false},
        {"hook_probe.exe", "switch 0x14", false, true, false, false},
        {"hook_probe.exe", "switch 4 switch 5", false, false, false, false},
        {"hook_probe.exe", "shell 4", false, false, false, true},
        {"hook_probe.exe", "shell 1 shell 2 shell 0x8004 shell -1", false, false, false, false},
        {"iexplore.exe", "shell 4", false, false, false, false},   // the browser's own activation
        {"iexplore.exe", "menu 4 switch 0x14", false, true, false, false},
        // The desktop program holds protection: switches and activations say nothing,
        // menus still do.
        {"hook_probe.exe", "switch 0x14 shell 4", true, false, false, false},
        {"hook_probe.exe", "menu 4 menu 5", true, true, true, false},
    };
    for (const ProcedureCase& c : cases) {
        SCOPED_TRACE(std::string(c.exe) + ": " + c.commands + (c.trayHeld ? " (tray held)" : ""));
        std::optional<hooktest::DesktopProgram> desktop;
        if (c.trayHeld) {
            desktop.emplace("hold");
            ASSERT_TRUE(desktop->started());
        }
        ProbeOutcome outcome = RunProcedures(c.exe, c.commands);
        EXPECT_EQ(outcome.exitCode, 0u);
        EXPECT_TRUE(outcome.eventsExisted);
        EXPECT_EQ(outcome.menuStart, c.menuStart);
        EXPECT_EQ(outcome.menuEnd, c.menuEnd);
        EXPECT_EQ(outcome.deactivate, c.deactivate);
    }
}

TEST(EvhookMenu, TwoProcessesGetEventsOfTheirOwn) {
    // A menu start in one process never reaches the other's event.
    ProbeOutcome first = RunProcedures("hook_probe.exe", "menu 4");
    ProbeOutcome second = RunProcedures("hook_probe.exe", "menu 5");
    EXPECT_TRUE(first.menuStart);
    EXPECT_FALSE(first.menuEnd);
    EXPECT_FALSE(second.menuStart);
    EXPECT_TRUE(second.menuEnd);
}

TEST(EvhookMenu, RefusesToLoadIntoADebugViewer) {
    EXPECT_EQ(bench::RunProgram(bench::Quoted(ProbePath("dbgview.exe")) + " load").exitCode, 3u)
        << "dbgview.exe: the path is compared upper-cased";
    EXPECT_EQ(bench::RunProgram(bench::Quoted(ProbePath("hook_probe.exe")) + " load").exitCode, 0u);
}

// A shell hook after ours on this thread, recording what reaches it.
int g_recordedCode = -1;
WPARAM g_recordedWindow = 0;
LRESULT CALLBACK RecordingShellHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HSHELL_WINDOWCREATED) {
        g_recordedCode = code;
        g_recordedWindow = wParam;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(EvhookMenu, ShellProcedurePassesCallsOn) {
    HMODULE library = ::LoadLibraryA("EvhookMenu.dll");
    ASSERT_NE(library, nullptr);
    auto procedure = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(::GetProcAddress(library, "ShlWndProc")));
    // Hooks run newest first: ours, then the recorder.
    HHOOK recorder = ::SetWindowsHookExA(WH_SHELL, RecordingShellHook, nullptr, ::GetCurrentThreadId());
    HHOOK ours = ::SetWindowsHookExA(WH_SHELL, procedure, library, ::GetCurrentThreadId());
    ASSERT_NE(recorder, nullptr);
    ASSERT_NE(ours, nullptr);

    WNDCLASSA wc{};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "VnlShellPassOn";
    ::RegisterClassA(&wc);
    HWND window = ::CreateWindowExA(0, wc.lpszClassName, "pass on", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 50, 50,
                                    nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
    EXPECT_EQ(g_recordedCode, HSHELL_WINDOWCREATED);
    EXPECT_EQ(g_recordedWindow, reinterpret_cast<WPARAM>(window));
    ::DestroyWindow(window);
    ::UnhookWindowsHookEx(ours);
    ::UnhookWindowsHookEx(recorder);
}

}  // namespace
