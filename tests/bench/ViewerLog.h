// What the event viewer and management console stand-ins recorded: each start
// appends "<program> TAB <current directory> TAB <command line>" to the file
// named by VNL_VIEWER_LOG (else <Windows folder>\temp\viewers.log).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "UniqueAny.h"

namespace bench {

struct ViewerStart {
    std::string program;      // full path of the started stand-in
    std::string directory;    // its current directory
    std::string commandLine;  // its whole command line, program path included
};

// Gives this process, and every process it starts afterwards, a viewer log of
// its own (VNL_VIEWER_LOG in the environment) and deletes it when destroyed,
// restoring the variable as it was.
class ScopedViewerLog {
public:
    ScopedViewerLog();
    ~ScopedViewerLog();
    ScopedViewerLog(const ScopedViewerLog&) = delete;
    ScopedViewerLog& operator=(const ScopedViewerLog&) = delete;

    const std::string& Path() const { return path_; }
    // The starts recorded so far.
    std::vector<ViewerStart> Read() const;
    // Waits up to `timeoutMs` until at least `count` starts are recorded and
    // returns what is recorded then (viewers are started without waiting).
    std::vector<ViewerStart> WaitFor(size_t count, DWORD timeoutMs = 10000) const;

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// Keeps every viewer stand-in started while it lives running after it has
// recorded its start (VNL_VIEWER_HOLD names an event they wait on, up to 30 s),
// so a test can tell a caller that waits for the viewer from one that does not.
// Destroying it releases them and restores the variable.
class ScopedViewerHold {
public:
    ScopedViewerHold();
    ~ScopedViewerHold();
    ScopedViewerHold(const ScopedViewerHold&) = delete;
    ScopedViewerHold& operator=(const ScopedViewerHold&) = delete;

private:
    vnl::UniqueEvent release_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// The number of running processes whose program file is named `exeName`.
size_t RunningProcesses(const std::string& exeName);

}  // namespace bench
