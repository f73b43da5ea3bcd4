#include "ShellExecuteTrace.h"

#include <cstdlib>
#include <sstream>

#include "EventLogTrace.h"

namespace bench {
namespace {

// The string printed after `key` ("verb=" ...) at or after `*pos`, decoded;
// empty when absent. `*pos` moves past the value when it is found.
std::string Field(const std::string& line, const std::string& key, size_t* pos) {
    size_t at = line.find(" " + key, *pos);
    std::string value;
    size_t end = 0;
    if (at == std::string::npos || !DecodeWineString(line, at + 1 + key.size(), &value, &end)) return {};
    *pos = end;
    return value;
}

unsigned Number(const std::string& line, const std::string& key, size_t from) {
    size_t at = line.find(" " + key, from);
    if (at == std::string::npos) return 0;
    return static_cast<unsigned>(std::strtoul(line.c_str() + at + 1 + key.size(), nullptr, 16));
}

}  // namespace

std::vector<ShellExecution> ParseShellExecuteTrace(const std::string& trace) {
    static const std::string kRequest = ":exec:SHELL_execute mask=";
    std::vector<ShellExecution> executions;
    std::stringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        size_t at = line.find(kRequest);
        if (at == std::string::npos) continue;
        ShellExecution exec;
        exec.mask = static_cast<unsigned>(std::strtoul(line.c_str() + at + kRequest.size(), nullptr, 16));
        // Fields in the order Wine prints them; each search starts after the
        // previous value, whose text may itself contain "key=".
        size_t pos = at;
        exec.verb = Field(line, "verb=", &pos);
        exec.file = Field(line, "file=", &pos);
        exec.parameters = Field(line, "parm=", &pos);
        exec.directory = Field(line, "dir=", &pos);
        exec.show = static_cast<int>(Number(line, "show=0x", pos));
        executions.push_back(exec);
    }
    return executions;
}

}  // namespace bench
