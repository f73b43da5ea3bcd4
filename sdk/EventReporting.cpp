// Event reporting: each event is handed to the helper program, which writes
// it to the event log; the view of the log is opened without waiting.
#include <cstdio>
#include <cstring>

#include "SettingsStore.h"
#include "UniqueAny.h"
#include "VNLSDK.h"

namespace {

// Room for the quoted helper path, the command and one 260-byte text.
constexpr size_t kCommandLineSize = 1040;
constexpr const char* kHelperName = "VNLElev.exe";

// Starts `commandLine` (modified in place by the system) with nothing
// inherited, the caller's environment and current directory. Returns the
// process, or no handle when it cannot be started.
vnl::UniqueProcess StartProcess(char* commandLine) noexcept {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                          &startup, &info)) {
        return {};
    }
    vnl::UniqueHandle thread(info.hThread);
    return vnl::UniqueProcess(info.hProcess);
}

// Formats into a command-line buffer; false when the text would not fit whole
// (a cut command line would start the wrong program or pass a wrong path).
template <typename... Args>
bool FormatCommandLine(char (&buffer)[kCommandLineSize], const char* format, Args... args) noexcept {
    int written = std::snprintf(buffer, sizeof(buffer), format, args...);
    return written > 0 && static_cast<size_t>(written) < sizeof(buffer);
}

}  // namespace

extern "C" void WINAPI VNLSDKAddEvent(const VNLSDK_EVENT* event) noexcept {
    try {
        if (!event || event->cbSize != sizeof(VNLSDK_EVENT)) return;
        if (event->dwEventId != VNLSDK_EVENT_UNTRUSTED_DRIVER) return;  // outside the catalogue

        char installDir[vnl::kPathBufferSize];
        vnl::ReadInstallPath(installDir);
        // The caller's text need not be terminated within its 260 bytes.
        char text[VNLSDK_EVENT_TEXT + 1];
        size_t length = ::strnlen(event->szText, VNLSDK_EVENT_TEXT);
        std::memcpy(text, event->szText, length);
        text[length] = '\0';

        char commandLine[kCommandLineSize];
        if (!FormatCommandLine(commandLine, "\"%s%s\" e %X %d %s", installDir, kHelperName,
                               static_cast<unsigned>(event->dwEventId), 1, text)) {
            return;
        }
        vnl::UniqueProcess helper = StartProcess(commandLine);
        if (helper) ::WaitForSingleObject(helper.get(), INFINITE);
    } catch (...) {
    }
}

extern "C" LONG WINAPI VNLSDKShowEvents(LONG /*reserved*/) noexcept {
    try {
        char installDir[vnl::kPathBufferSize];
        vnl::ReadInstallPath(installDir);
        char commandLine[kCommandLineSize];
        bool built = false;
        if (vnl::MajorSystemVersion() > 5) {
            built = FormatCommandLine(commandLine, "\"%s%s\" v", installDir, kHelperName);
        } else {
            char systemDir[vnl::kPathBufferSize];
            UINT length = ::GetSystemDirectoryA(systemDir, sizeof(systemDir));
            // The console's path is quoted too, so that a system folder with
            // blanks cannot make the system start some other program.
            built = length > 0 && length < sizeof(systemDir) &&
                    FormatCommandLine(commandLine, "\"%s\\mmc.exe\" \"%sevents\\vnlevents.msc\"", systemDir,
                                      installDir);
        }
        if (built) StartProcess(commandLine);
    } catch (...) {
    }
    return 0;
}
