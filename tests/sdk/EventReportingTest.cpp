// VNLSDKAddEvent and VNLSDKShowEvents, called through sdk_probe. The event log
// is read from Wine's trace; the command lines from recording stand-ins.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "EventLogTrace.h"
#include "Registry.h"
#include "SdkProbe.h"
#include "ShellExecuteTrace.h"
#include "ViewerLog.h"
#include "WineTrace.h"

namespace {

constexpr const char* kUntrustedDriver = "C00003E8";
// What sdk_probe prints once VNLSDKAddEvent has returned and no process it
// started is still running.
constexpr const char* kReturnedAfterHelper = "returned, 0 running";

// Standard output without the line ends of the text mode.
std::string Printed(const bench::RunResult& run) {
    std::string text;
    for (char c : run.out) {
        if (c != '\r' && c != '\n') text.push_back(c);
    }
    return text;
}

std::string ViewFile() { return bench::InstallDir() + "events\\vnlevents.xml"; }
std::string ConsoleFile() { return bench::InstallDir() + "events\\vnlevents.msc"; }

std::string EventArguments(unsigned size, const std::string& id, const std::string& text, char fill = 0) {
    std::string arguments = "event " + std::to_string(size) + " " + id + " " + bench::Quoted(text);
    if (fill) arguments += std::string(" ") + fill;
    return arguments;
}

// The installed helper (in "C:\Program Files\Varnel\") writes the event;
// Wine's trace shows what reached the log.
TEST(EventToLog, CatalogueEventReachesTheLogBeforeTheCallReturns) {
    struct Case {
        const char* label;
        std::string text;
        std::string logged;
    };
    const Case cases[] = {
        {"driver name", "kbdhook", "kbdhook"},
        {"text with a blank: first word only", "kbd hook", "kbd"},
        {"300 characters: the record keeps 260, the log 250", std::string(300, 'k'), std::string(250, 'k')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        bench::RunOptions options;
        options.env["WINEDEBUG"] = bench::kEventLogTrace;
        bench::RunResult run = sdktest::RunProbe(EventArguments(528, kUntrustedDriver, c.text, '#'), options);
        ASSERT_EQ(run.exitCode, 0u) << run.err;
        // The call waited for the helper to end.
        EXPECT_EQ(Printed(run), kReturnedAfterHelper);
        auto entries = bench::ParseEventLogTrace(run.err);
        ASSERT_EQ(entries.size(), 1u) << run.err;
        EXPECT_EQ(entries[0].type, EVENTLOG_ERROR_TYPE);
        EXPECT_EQ(entries[0].category, 2);
        EXPECT_EQ(entries[0].eventId, 0xC00003E8u);
        ASSERT_EQ(entries[0].strings.size(), 1u);
        EXPECT_EQ(entries[0].strings[0], c.logged);
    }
}

// A recording stand-in takes the helper's place in an installation folder
// with blanks, so the exact command line VNLBIN1 builds can be read.
class EventCommandLine : public ::testing::Test {
protected:
    bench::ScopedKeySnapshot machine_{HKEY_LOCAL_MACHINE, bench::kMachineKey};
    bench::ScopedViewerLog log_;
    std::string folder_;

    void SetUp() override {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "Varnel helper " + std::to_string(::GetCurrentProcessId()) + "\\";
        ::CreateDirectoryA(folder_.c_str(), nullptr);
        ASSERT_TRUE(::CopyFileA((bench::BinDir() + "\\eventvwr.exe").c_str(), (folder_ + "VNLElev.exe").c_str(), FALSE));
        bench::SetString(HKEY_LOCAL_MACHINE, bench::kMachineKey, "installpath", folder_);
    }
    void TearDown() override {
        ::DeleteFileA((folder_ + "VNLElev.exe").c_str());
        ::RemoveDirectoryA(folder_.c_str());
    }
};

TEST_F(EventCommandLine, HelperGetsExactlyTheEventOrIsNotStarted) {
    struct Case {
        const char* label;
        unsigned size;
        const char* id;
        std::string text;
        std::optional<std::string> commandText;  // none: no helper started
    };
    const Case cases[] = {
        {"catalogue event", 528, kUntrustedDriver, "kbdhook", "e C00003E8 1 kbdhook"},
        {"size 527", 527, kUntrustedDriver, "kbdhook", std::nullopt},
        {"size 529", 529, kUntrustedDriver, "kbdhook", std::nullopt},
        {"identifier outside the catalogue", 528, "400003E8", "kbdhook", std::nullopt},
        {"same code, other severity", 528, "800003E8", "kbdhook", std::nullopt},
        {"text with a blank copied unchanged", 528, kUntrustedDriver, "kbd hook", "e C00003E8 1 kbd hook"},
        {"text filling all 260 bytes is not read past", 528, kUntrustedDriver, std::string(300, 'k'),
         "e C00003E8 1 " + std::string(260, 'k')},
    };
    size_t recorded = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        // The second text is filled, so that reading past the first would show.
        bench::RunResult run = sdktest::RunProbe(EventArguments(c.size, c.id, c.text, '#'));
        ASSERT_EQ(run.exitCode, 0u) << run.err;
        EXPECT_EQ(Printed(run), kReturnedAfterHelper);
        // The call waits for the helper, so its line is there once the probe ended.
        auto starts = log_.Read();
        if (!c.commandText) {
            EXPECT_EQ(starts.size(), recorded);
            continue;
        }
        ASSERT_EQ(starts.size(), recorded + 1);
        const auto& start = starts[recorded++];
        EXPECT_TRUE(bench::SamePath(start.program, folder_ + "VNLElev.exe")) << start.program;
        EXPECT_EQ(start.commandLine, bench::Quoted(folder_ + "VNLElev.exe") + " " + *c.commandText);
    }
}

class ShowEvents : public ::testing::Test {
protected:
    bench::ScopedKeySnapshot machine_{HKEY_LOCAL_MACHINE, bench::kMachineKey};
    bench::ScopedAppDefaults probe_{"sdk_probe.exe"};
    bench::ScopedViewerLog log_;

    // Calls the export in the probe with the shell traced, then waits for the
    // viewer's line. The viewer stays open until the test ends: the call must
    // have returned while it still runs (nothing waits for the helper or the
    // viewer). Returns the recorded starts; `traced` receives the shell's
    // trace of the run.
    std::vector<bench::ViewerStart> ShowAndWait(std::string& traced, const char* viewerExe) {
        bench::TraceCursor trace;
        bench::RunOptions options;
        options.env["WINEDEBUG"] = bench::kShellExecuteTrace;
        options.timeoutMs = 15000;
        bench::RunResult run = sdktest::RunProbe("show-events", options);
        EXPECT_FALSE(run.timedOut) << "the call waited for the viewer";
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(Printed(run), "0");
        auto starts = log_.WaitFor(1);
        EXPECT_GE(bench::RunningProcesses(viewerExe), 1u) << "the viewer is no longer running";
        traced = trace.ReadNew();
        return starts;
    }
    bench::ScopedViewerHold hold_;
};

TEST_F(ShowEvents, FromVersion6TheHelperOpensTheViewerWithRunas) {
    std::string traced;
    auto starts = ShowAndWait(traced, "eventvwr.exe");
    ASSERT_EQ(starts.size(), 1u);
    std::string viewer = bench::System32Dir() + "\\eventvwr.exe";
    EXPECT_TRUE(bench::SamePath(starts[0].program, viewer)) << starts[0].program;
    std::string parameter = "/v:" + bench::Quoted(ViewFile());
    EXPECT_TRUE(starts[0].commandLine.ends_with(" " + parameter)) << starts[0].commandLine;
    EXPECT_TRUE(bench::SamePath(starts[0].directory, bench::System32Dir())) << starts[0].directory;

    // The verb shows only in the shell's trace of the helper.
    auto executions = bench::ParseShellExecuteTrace(traced);
    ASSERT_EQ(executions.size(), 1u) << traced;
    EXPECT_EQ(executions[0].verb, "runas");
    EXPECT_TRUE(bench::SamePath(executions[0].file, viewer)) << executions[0].file;
    EXPECT_EQ(executions[0].parameters, parameter);
}

TEST_F(ShowEvents, BelowVersion6TheConsoleOpensTheConsoleFile) {
    probe_.SetWindowsVersion("winxp");
    std::string traced;
    auto starts = ShowAndWait(traced, "mmc.exe");
    ASSERT_EQ(starts.size(), 1u);
    std::string console = bench::System32Dir() + "\\mmc.exe";
    EXPECT_TRUE(bench::SamePath(starts[0].program, console)) << starts[0].program;
    EXPECT_EQ(starts[0].commandLine, bench::Quoted(console) + " " + bench::Quoted(ConsoleFile()));
    // Started directly: no helper, no shell.
    EXPECT_TRUE(bench::ParseShellExecuteTrace(traced).empty()) << traced;
    EXPECT_EQ(log_.Read().size(), 1u);
}

}  // namespace
