#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "BenchPaths.h"
#include "Process.h"
#include "TrayEvent.h"

namespace {

// Starts the desktop program stand-in in a process of its own and waits until
// it has created the tray event. The destructor tells it to quit.
class DesktopProgram {
public:
    explicit DesktopProgram(const std::string& command) {
        std::string line = bench::Quoted(bench::BinDir() + "\\VNLD.exe") + " " + command;
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return;
        for (int i = 0; i < 500; ++i) {
            if (HANDLE e = ::OpenEventA(SYNCHRONIZE, FALSE, vnl::kTrayEventName)) {
                ::CloseHandle(e);
                started_ = true;
                return;
            }
            ::Sleep(10);
        }
    }
    ~DesktopProgram() {
        if (!pi_.hProcess) return;
        Run("quit");
        if (::WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0) ::TerminateProcess(pi_.hProcess, 1);
        ::CloseHandle(pi_.hProcess);
        ::CloseHandle(pi_.hThread);
    }
    bool started() const { return started_; }
    static DWORD Run(const std::string& command) {
        return bench::RunProgram(bench::Quoted(bench::BinDir() + "\\VNLD.exe") + " " + command).exitCode;
    }

private:
    PROCESS_INFORMATION pi_{};
    bool started_ = false;
};

TEST(TrayEvent, MissingCountsAsNotSignalled) {
    EXPECT_FALSE(vnl::IsTrayEventSignalled());
}

TEST(TrayEvent, FollowsTheDesktopProgram) {
    {
        DesktopProgram desktop("create");
        ASSERT_TRUE(desktop.started());
        EXPECT_FALSE(vnl::IsTrayEventSignalled()) << "present but reset";
    }
    {
        DesktopProgram desktop("hold");
        ASSERT_TRUE(desktop.started());
        EXPECT_TRUE(vnl::IsTrayEventSignalled());
        EXPECT_TRUE(vnl::IsTrayEventSignalled()) << "testing must not consume the signal";
        EXPECT_EQ(DesktopProgram::Run("release"), 0u);
        EXPECT_FALSE(vnl::IsTrayEventSignalled());
    }
    EXPECT_FALSE(vnl::IsTrayEventSignalled()) << "gone with the program";
}

}  // namespace
