#include "WineTrace.h"

#include <windows.h>

namespace bench {
namespace {

std::string TracePath() {
    char path[MAX_PATH * 2] = {};
    DWORD length = ::GetEnvironmentVariableA("VNL_TRACE_LOG", path, sizeof(path));
    return length > 0 && length < sizeof(path) ? std::string(path) : std::string();
}

// Reads the file from `offset` to its current end.
std::string ReadFrom(const std::string& path, uint64_t offset) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (::SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) {
        char buffer[65536];
        DWORD got = 0;
        while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got) text.append(buffer, got);
    }
    ::CloseHandle(file);
    return text;
}

uint64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

TraceCursor::TraceCursor() : path_(TracePath()) {
    if (!path_.empty()) offset_ = FileSize(path_);
}

std::string TraceCursor::ReadNew(unsigned timeoutMs) {
    if (path_.empty()) return {};
    // This process's standard error is the run's Unix standard error: a mark
    // written there reaches the copy after everything printed before it.
    static LONG counter = 0;
    std::string mark = "vnl-trace-mark " + std::to_string(::GetCurrentProcessId()) + "." +
                       std::to_string(::InterlockedIncrement(&counter)) + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), mark.data(), static_cast<DWORD>(mark.size()), &written, nullptr);

    const DWORD start = ::GetTickCount();
    for (;;) {
        std::string text = ReadFrom(path_, offset_);
        size_t at = text.find(mark);
        if (at != std::string::npos || ::GetTickCount() - start >= timeoutMs) {
            if (at == std::string::npos) at = text.size();
            offset_ += at + (at < text.size() ? mark.size() : 0);
            return text.substr(0, at);
        }
        ::Sleep(10);
    }
}

}  // namespace bench
