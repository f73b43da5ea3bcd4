// Where things are in the bench, as Windows paths seen from inside the prefix.
#pragma once

#include <string>

namespace bench {

std::string TestsDir();      // folder of the running test executable, no trailing backslash
std::string BinDir();        // the build tree's bin folder (deliverables and stand-ins)
std::string System32Dir();   // the prefix's system folder
std::string InstallDir();    // the installation folder as setup wrote it, backslash-terminated

// Windows paths compare without regard to case.
bool SamePath(const std::string& a, const std::string& b);

}  // namespace bench
