// Shared by the hook machinery's tests: named events for hand-shakes with
// child processes, starting those children, and asking whether a new GUI
// process gets the hook library loaded by the system.
#pragma once

#include <windows.h>

#include <string>

#include "BenchPaths.h"
#include "Process.h"
#include "UniqueAny.h"

namespace hooktest {

// A manual-reset named event with a name unique to this test process.
class HandshakeEvent {
public:
    explicit HandshakeEvent(const std::string& purpose) {
        static int serial = 0;
        name_ = "VNL_TEST_" + purpose + "_" + std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(++serial);
        event_.reset(::CreateEventA(nullptr, TRUE, FALSE, name_.c_str()));
    }
    const std::string& name() const { return name_; }
    HANDLE get() const { return event_.get(); }
    void Set() const { ::SetEvent(event_.get()); }

private:
    std::string name_;
    vnl::UniqueEvent event_;
};

// A child process started with `commandLine`; killed if still running at the end.
class Child {
public:
    explicit Child(std::string commandLine, const std::string& workDir = "") {
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        if (::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             workDir.empty() ? nullptr : workDir.c_str(), &si, &pi_))
            ::CloseHandle(pi_.hThread);
    }
    ~Child() {
        if (!pi_.hProcess) return;
        if (::WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) ::TerminateProcess(pi_.hProcess, 99);
        ::CloseHandle(pi_.hProcess);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pi_.hProcess != nullptr; }
    DWORD id() const { return pi_.dwProcessId; }
    // Waits for `event`; false when the child ended first or 30 s passed.
    bool WaitFor(const HandshakeEvent& event) const {
        HANDLE handles[] = {event.get(), pi_.hProcess};
        return pi_.hProcess && ::WaitForMultipleObjects(2, handles, FALSE, 30000) == WAIT_OBJECT_0;
    }
    // Exit code once ended (0xFFFFFFFF after 30 s without an end).
    DWORD ExitCode() const {
        DWORD code = 0xFFFFFFFF;
        if (pi_.hProcess && ::WaitForSingleObject(pi_.hProcess, 30000) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION pi_{};
};

inline std::string TestProgram(const std::string& name) { return bench::Quoted(bench::TestsDir() + "\\" + name); }

// Starts a GUI process (a copy of the probe named `exe`) that creates a
// top-level window: true when the system loaded the hook library into it
// through the shell hook.
inline bool NewWindowGetsHookLibrary(const std::string& exe = "hook_probe.exe") {
    return bench::RunProgram(TestProgram(exe) + " window").exitCode == 0;
}

}  // namespace hooktest
