#include "ViewerLog.h"

#include <tlhelp32.h>

#include <fstream>
#include <sstream>

#include "UniqueAny.h"

namespace bench {
namespace {
constexpr const char* kVariable = "VNL_VIEWER_LOG";
constexpr const char* kHoldVariable = "VNL_VIEWER_HOLD";

// Sets `name` for this process and its children; remembers what it held.
void ReplaceVariable(const char* name, const char* value, std::string& previous, bool& hadPrevious) {
    char text[MAX_PATH * 2] = {};
    DWORD length = ::GetEnvironmentVariableA(name, text, sizeof(text));
    hadPrevious = length > 0 && length < sizeof(text);
    if (hadPrevious) previous = text;
    ::SetEnvironmentVariableA(name, value);
}
}  // namespace

ScopedViewerLog::ScopedViewerLog() {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    static LONG counter = 0;
    path_ = std::string(temp) + "vnl-viewers-" + std::to_string(::GetCurrentProcessId()) + "-" +
            std::to_string(::InterlockedIncrement(&counter)) + ".log";
    ::DeleteFileA(path_.c_str());
    ReplaceVariable(kVariable, path_.c_str(), previous_, hadPrevious_);
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

ScopedViewerHold::ScopedViewerHold() {
    static LONG counter = 0;
    const std::string name = "VNL_VIEWER_HOLD_" + std::to_string(::GetCurrentProcessId()) + "_" +
                             std::to_string(::InterlockedIncrement(&counter));
    release_.reset(::CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
    ReplaceVariable(kHoldVariable, name.c_str(), previous_, hadPrevious_);
}

ScopedViewerHold::~ScopedViewerHold() {
    ::SetEnvironmentVariableA(kHoldVariable, hadPrevious_ ? previous_.c_str() : nullptr);
    if (release_) ::SetEvent(release_.get());
}

size_t RunningProcesses(const std::string& exeName) {
    vnl::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    size_t count = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry))
        if (::lstrcmpiA(entry.szExeFile, exeName.c_str()) == 0) ++count;
    return count;
}

}  // namespace bench
