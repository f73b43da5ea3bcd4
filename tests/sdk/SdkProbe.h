// Starting sdk_probe (VNLBIN1 imported at load time, in a process of its own).
#pragma once

#include <cctype>
#include <string>

#include "BenchPaths.h"
#include "Process.h"

namespace sdktest {

inline std::string ProbePath() { return bench::TestsDir() + "\\sdk_probe.exe"; }

inline bench::RunResult RunProbe(const std::string& arguments, const bench::RunOptions& options = {}) {
    return bench::RunProgram(bench::Quoted(ProbePath()) + " " + arguments, options);
}

// Case-insensitive comparison of Windows paths.
inline bool SamePath(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace sdktest
