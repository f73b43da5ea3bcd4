// Reading shell executions through Wine's trace. With WINEDEBUG=+exec
// (kShellExecuteTrace) every ShellExecute(Ex) call prints its request:
//   0024:trace:exec:SHELL_execute mask=0x00000500 hwnd=00000000 verb=L"runas"
//     file=L"C:\\windows\\system32\\eventvwr.exe" parm=L"/v:\"...\"" dir=L"C:\\windows\\system32"
//     show=0x00000001 class=not used
// The verb is visible only here: the started program cannot see it.
#pragma once

#include <string>
#include <vector>

namespace bench {

inline constexpr const char* kShellExecuteTrace = "+exec";

struct ShellExecution {
    std::string verb;        // empty when none was given
    std::string file;
    std::string parameters;
    std::string directory;
    unsigned mask = 0;
    int show = 0;
};

// Every shell execution request found in `trace`, in order.
std::vector<ShellExecution> ParseShellExecuteTrace(const std::string& trace);

}  // namespace bench
