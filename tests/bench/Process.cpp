#include "Process.h"

#include <vector>

#include "WineTrace.h"

namespace bench {
namespace {

struct Handle {
    HANDLE h = nullptr;
    ~Handle() { if (h && h != INVALID_HANDLE_VALUE) ::CloseHandle(h); }
};

std::vector<char> BuildEnvironment(const std::map<std::string, std::string>& extra) {
    std::map<std::string, std::string> vars;
    if (char* block = ::GetEnvironmentStringsA()) {
        for (char* p = block; *p; p += strlen(p) + 1) {
            std::string entry = p;
            size_t eq = entry.find('=', 1);
            if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
        ::FreeEnvironmentStringsA(block);
    }
    for (const auto& [k, v] : extra) vars[k] = v;
    std::vector<char> out;
    for (const auto& [k, v] : vars) {
        std::string e = k + "=" + v;
        out.insert(out.end(), e.begin(), e.end());
        out.push_back('\0');
    }
    out.push_back('\0');
    return out;
}

// Reads what the pipe holds now, without blocking. Returns true if it read anything.
bool ReadAvailable(HANDLE pipe, std::string* sink) {
    bool any = false;
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) return any;
        char buf[4096];
        DWORD got = 0;
        if (!::ReadFile(pipe, buf, available < sizeof(buf) ? available : sizeof(buf), &got, nullptr) || !got)
            return any;
        sink->append(buf, got);
        any = true;
    }
}

}  // namespace

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

RunResult RunProgram(const std::string& commandLine, const RunOptions& options) {
    RunResult result;
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    Handle outRead, outWrite, errRead, errWrite, nulIn;
    ::CreatePipe(&outRead.h, &outWrite.h, &sa, 0);
    ::CreatePipe(&errRead.h, &errWrite.h, &sa, 0);
    ::SetHandleInformation(outRead.h, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead.h, HANDLE_FLAG_INHERIT, 0);
    nulIn.h = ::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);

    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nulIn.h;
    si.hStdOutput = outWrite.h;
    si.hStdError = errWrite.h;
    PROCESS_INFORMATION pi{};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    std::vector<char> env = BuildEnvironment(options.env);
    // Wine prints its debug channels past the pipes: collect them from the run's trace.
    const bool traced = options.env.count("WINEDEBUG") != 0;
    TraceCursor trace;
    BOOL ok = ::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, env.data(),
                               options.workDir.empty() ? nullptr : options.workDir.c_str(), &si, &pi);
    // Only the child keeps the write ends, so the readers see the end of the stream.
    ::CloseHandle(outWrite.h); outWrite.h = nullptr;
    ::CloseHandle(errWrite.h); errWrite.h = nullptr;
    if (!ok) return result;
    result.started = true;
    Handle process{pi.hProcess}, thread{pi.hThread};
    // The pipes are polled rather than read to their end: a process the child
    // starts (Wine's desktop process, say) may keep a write end open long after
    // the child has gone.
    const DWORD start = ::GetTickCount();
    for (;;) {
        bool any = ReadAvailable(outRead.h, &result.out);
        any |= ReadAvailable(errRead.h, &result.err);
        if (::WaitForSingleObject(pi.hProcess, any ? 0 : 5) == WAIT_OBJECT_0) break;
        if (::GetTickCount() - start >= options.timeoutMs) {
            result.timedOut = true;
            ::TerminateProcess(pi.hProcess, 259);
            ::WaitForSingleObject(pi.hProcess, INFINITE);
            break;
        }
    }
    ReadAvailable(outRead.h, &result.out);
    ReadAvailable(errRead.h, &result.err);
    ::GetExitCodeProcess(pi.hProcess, &result.exitCode);
    if (traced) result.err += trace.ReadNew();
    return result;
}

}  // namespace bench
