// Running programs from tests: exit code, standard output and standard error
// (where Wine's debug channels print, the event-log trace among them).
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace bench {

struct RunOptions {
    // Environment variables set (or replaced) for the child; the rest is inherited.
    std::map<std::string, std::string> env;
    DWORD timeoutMs = 60000;
    std::string workDir;  // empty: the caller's
};

struct RunResult {
    DWORD exitCode = 0;
    bool timedOut = false;
    bool started = false;
    std::string out;
    // What the child wrote on its standard error; when the options give it a
    // WINEDEBUG, followed by Wine's debug output of the run while the child
    // ran (the child's and that of the processes it waited for; see WineTrace.h).
    std::string err;
};

// Starts `commandLine` as a new process, waits for it to end (killing it after
// the time-out) and returns what it printed.
RunResult RunProgram(const std::string& commandLine, const RunOptions& options = {});

// `WINEDEBUG` value that makes Wine print every ReportEvent call on stderr.
inline constexpr const char* kEventLogTrace = "fixme+advapi,+eventlog";

// Quotes a path for a command line.
std::string Quoted(const std::string& path);

}  // namespace bench
