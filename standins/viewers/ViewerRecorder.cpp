// Stand-in for the system event viewer ("eventvwr.exe") and the management
// console ("mmc.exe"), which Wine lacks. It shows nothing: it appends one line
// telling how it was started and exits with 0.
//
// Line: <own full path> TAB <current directory> TAB <full command line> CR LF
// File: %VNL_VIEWER_LOG% when set (tests point it at a file of their own;
// it is inherited through every process in between), otherwise
// <Windows folder>\temp\viewers.log.
//
// With VNL_VIEWER_HOLD naming an event, it stays running after recording until
// that event is set (30 s at most), as a real viewer stays open: tests tell a
// caller that waits for the viewer from one that does not.
//
// The shell verb ("runas" or "open") cannot be seen from inside the started
// process under Wine (every process already runs with a full token); tests
// read it from Wine's exec trace of the starting process instead.
#include <windows.h>

#include <string>

#include "UniqueAny.h"

namespace {

std::string LogPath() {
    char path[MAX_PATH * 2] = {};
    DWORD length = ::GetEnvironmentVariableA("VNL_VIEWER_LOG", path, sizeof(path));
    if (length > 0 && length < sizeof(path)) return path;
    UINT windows = ::GetWindowsDirectoryA(path, MAX_PATH);
    if (windows == 0 || windows >= MAX_PATH) return "C:\\windows\\temp\\viewers.log";
    return std::string(path) + "\\temp\\viewers.log";
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        char self[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, self, MAX_PATH);
        char directory[MAX_PATH] = {};
        ::GetCurrentDirectoryA(MAX_PATH, directory);
        std::string line = std::string(self) + "\t" + directory + "\t" + ::GetCommandLineA() + "\r\n";

        // Several viewers may start at once: retry while another one holds the file.
        for (int attempt = 0; attempt < 50; ++attempt) {
            vnl::UniqueFileHandle file(::CreateFileA(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file) {
                DWORD written = 0;
                ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
                break;
            }
            if (::GetLastError() != ERROR_SHARING_VIOLATION) break;
            ::Sleep(20);
        }
        char hold[MAX_PATH] = {};
        DWORD length = ::GetEnvironmentVariableA("VNL_VIEWER_HOLD", hold, sizeof(hold));
        if (length > 0 && length < sizeof(hold)) {
            vnl::UniqueEvent release(::OpenEventA(SYNCHRONIZE, FALSE, hold));
            if (release) ::WaitForSingleObject(release.get(), 30000);
        }
    } catch (...) {
    }
    return 0;
}
