// Starting sdk_probe (VNLBIN1 imported at load time, in a process of its own).
#pragma once

#include <string>

#include "BenchPaths.h"
#include "Process.h"

namespace sdktest {

inline std::string ProbePath() { return bench::TestsDir() + "\\sdk_probe.exe"; }

inline bench::RunResult RunProbe(const std::string& arguments, const bench::RunOptions& options = {}) {
    return bench::RunProgram(bench::Quoted(ProbePath()) + " " + arguments, options);
}

}  // namespace sdktest
