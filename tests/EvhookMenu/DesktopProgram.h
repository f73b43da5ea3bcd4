// The desktop program stand-in in a process of its own, holding the tray
// event signalled ("hold") or present but reset ("create"). The destructor
// tells it to quit. Tests that use it take the tray_event lock.
#pragma once

#include <windows.h>

#include <string>

#include "BenchPaths.h"
#include "Process.h"
#include "TrayEvent.h"

namespace hooktest {

class DesktopProgram {
public:
    explicit DesktopProgram(const std::string& command) {
        std::string line = bench::Quoted(bench::BinDir() + "\\VNLD.exe") + " " + command;
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return;
        for (int i = 0; i < 500 && !started_; ++i) {
            if (HANDLE e = ::OpenEventA(SYNCHRONIZE, FALSE, vnl::kTrayEventName)) {
                ::CloseHandle(e);
                started_ = true;
            } else {
                ::Sleep(10);
            }
        }
    }
    ~DesktopProgram() {
        if (!pi_.hProcess) return;
        bench::RunProgram(bench::Quoted(bench::BinDir() + "\\VNLD.exe") + " quit");
        if (::WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0) ::TerminateProcess(pi_.hProcess, 1);
        ::CloseHandle(pi_.hProcess);
        ::CloseHandle(pi_.hThread);
    }
    DesktopProgram(const DesktopProgram&) = delete;
    DesktopProgram& operator=(const DesktopProgram&) = delete;
    bool started() const { return started_; }

private:
    PROCESS_INFORMATION pi_{};
    bool started_ = false;
};

}  // namespace hooktest
