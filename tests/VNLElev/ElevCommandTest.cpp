// VNLElev as a program: each command text of a run, what reaches the event
// log (read from Wine's trace) and the viewer it opens.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "BenchPaths.h"
#include "EventLogTrace.h"
#include "Process.h"
#include "ShellExecuteTrace.h"
#include "ViewerLog.h"

namespace {

std::string HelperPath() { return bench::InstallDir() + "VNLElev.exe"; }

bench::RunResult RunHelper(const std::string& commandText, const char* winedebug) {
    bench::RunOptions options;
    options.env["WINEDEBUG"] = winedebug;
    return bench::RunProgram(bench::Quoted(HelperPath()) + " " + commandText, options);
}

using bench::SamePath;

TEST(ElevCommand, WritesOneEntryForAWellFormedCatalogueEventAndNothingElse) {
    const std::string a250(250, 'a'), b50(50, 'b');
    struct Case {
        const char* label;
        std::string commandText;
        std::vector<std::string> logged;  // empty: no entry
    };
    const Case cases[] = {
        {"one string", "e C00003E8 1 kbdhook", {"kbdhook"}},
        {"two strings", "e C00003E8 2 first second", {"first", "second"}},
        {"separated by tabs and blanks", "e\tC00003E8  1\tkbdhook", {"kbdhook"}},
        {"lower-case identifier", "e c00003e8 1 kbdhook", {"kbdhook"}},
        {"only the first word of a text", "e C00003E8 1 kbd hook", {"kbd"}},
        {"300 characters: the first 250", "e C00003E8 1 " + a250 + b50, {a250}},
        {"300 characters, two strings: the second goes on after 250", "e C00003E8 2 " + a250 + b50 + " next",
         {a250, b50}},
        {"identifier outside the mapping", "e 12345678 1 text", {}},
        {"nine hex digits: the ninth is read as the count, 0", "e C00003E80 1 text", {}},
        {"unknown letter", "x", {}},
        {"empty command text", "", {}},
        {"count 1 without a string", "e C00003E8 1", {}},
        {"count 2 with one string", "e C00003E8 2 only", {}},
        {"count 0", "e C00003E8 0 text", {}},
        {"count 3", "e C00003E8 3 a b c", {}},
        {"count not a number", "e C00003E8 x text", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        bench::RunResult run = RunHelper(c.commandText, bench::kEventLogTrace);
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitCode, 0u);
        auto entries = bench::ParseEventLogTrace(run.err);
        if (c.logged.empty()) {
            EXPECT_TRUE(entries.empty()) << run.err;
            continue;
        }
        ASSERT_EQ(entries.size(), 1u) << run.err;
        EXPECT_EQ(entries[0].type, EVENTLOG_ERROR_TYPE);
        EXPECT_EQ(entries[0].category, 2);
        EXPECT_EQ(entries[0].eventId, 0xC00003E8u);
        EXPECT_EQ(entries[0].stringCount, c.logged.size());
        EXPECT_EQ(entries[0].strings, c.logged);
    }
}

TEST(ElevCommand, ViewOpensTheEventViewerWithRunas) {
    bench::ScopedViewerLog log;
    bench::ScopedViewerHold hold;  // the viewer stays open: the helper must not wait for it
    bench::RunResult run = RunHelper("v", bench::kShellExecuteTrace);
    EXPECT_FALSE(run.timedOut) << "the helper waited for the viewer";
    EXPECT_EQ(run.exitCode, 0u);

    const std::string viewer = bench::System32Dir() + "\\eventvwr.exe";
    const std::string parameter = "/v:" + bench::Quoted(bench::InstallDir() + "events\\vnlevents.xml");
    auto executions = bench::ParseShellExecuteTrace(run.err);
    ASSERT_EQ(executions.size(), 1u) << run.err;
    EXPECT_EQ(executions[0].verb, "runas");
    EXPECT_TRUE(SamePath(executions[0].file, viewer)) << executions[0].file;
    EXPECT_EQ(executions[0].parameters, parameter);
    EXPECT_TRUE(SamePath(executions[0].directory, bench::System32Dir())) << executions[0].directory;
    EXPECT_EQ(executions[0].show, SW_SHOWNORMAL);

    auto starts = log.WaitFor(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_TRUE(SamePath(starts[0].program, viewer)) << starts[0].program;
    EXPECT_TRUE(starts[0].commandLine.ends_with(" " + parameter)) << starts[0].commandLine;
    EXPECT_GE(bench::RunningProcesses("eventvwr.exe"), 1u) << "the viewer is no longer running";
}

// The helper never gets a window, not even the hidden one a COM apartment
// would create: Wine's window trace of a run shows no window created.
TEST(ElevCommand, NeverCreatesAWindow) {
    bench::ScopedViewerLog log;
    for (const char* text : {"e C00003E8 1 kbdhook", "v"}) {
        SCOPED_TRACE(text);
        bench::RunResult run = RunHelper(text, "+win");
        EXPECT_EQ(run.exitCode, 0u);
        ASSERT_NE(run.err.find("trace:win:"), std::string::npos) << "no window trace captured";
        EXPECT_EQ(run.err.find("CreateWindowEx"), std::string::npos) << run.err;
    }
    log.WaitFor(1);  // the viewer of "v" has recorded before the log goes
}

TEST(ElevCommand, OtherCommandsStartNothing) {
    bench::ScopedViewerLog log;
    for (const char* text : {"x", "", "V", "e C00003E8 1 kbdhook"}) {
        SCOPED_TRACE(text);
        bench::RunResult run = RunHelper(text, bench::kShellExecuteTrace);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_TRUE(bench::ParseShellExecuteTrace(run.err).empty()) << run.err;
    }
    EXPECT_TRUE(log.Read().empty());
}

}  // namespace
