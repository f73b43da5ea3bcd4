#include "ViewerLog.h"

#include <fstream>
#include <sstream>

namespace bench {
namespace {
constexpr const char* kVariable = "VNL_VIEWER_LOG";
}

ScopedViewerLog::ScopedViewerLog() {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    static LONG counter = 0;
    path_ = std::string(temp) + "vnl-viewers-" + std::to_string(::GetCurrentProcessId()) + "-" +
            std::to_string(::InterlockedIncrement(&counter)) + ".log";
    ::DeleteFileA(path_.c_str());
    char previous[MAX_PATH * 2] = {};
    DWORD length = ::GetEnvironmentVariableA(kVariable, previous, sizeof(previous));
    hadPrevious_ = length > 0 && length < sizeof(previous);
    if (hadPrevious_) previous_ = previous;
    ::SetEnvironmentVariableA(kVariable, path_.c_str());
}

ScopedViewerLog::~ScopedViewerLog() {
    ::SetEnvironmentVariableA(kVariable, hadPrevious_ ? previous_.c_str() : nullptr);
    ::DeleteFileA(path_.c_str());
}

std::vector<ViewerStart> ScopedViewerLog::Read() const {
    std::vector<ViewerStart> starts;
    std::ifstream in(path_, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        // Only whole lines: the stand-in ends each one with CR LF.
        if (line.empty() || line.back() != '\r') continue;
        line.pop_back();
        size_t first = line.find('\t');
        size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
        if (second == std::string::npos) continue;
        starts.push_back({line.substr(0, first), line.substr(first + 1, second - first - 1), line.substr(second + 1)});
    }
    return starts;
}

std::vector<ViewerStart> ScopedViewerLog::WaitFor(size_t count, DWORD timeoutMs) const {
    DWORD start = ::GetTickCount();
    for (;;) {
        std::vector<ViewerStart> starts = Read();
        if (starts.size() >= count || ::GetTickCount() - start >= timeoutMs) return starts;
        ::Sleep(50);
    }
}

}  // namespace bench
