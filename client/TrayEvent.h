// The desktop program's tray event: signalled while that program holds
// keystroke protection on by itself. This system never creates, signals or
// resets it; it only tests it. Header-only so that the hook library, which
// links against nothing of ours, can use it too.
#pragma once

#include <windows.h>

namespace vnl {

inline constexpr const char* kTrayEventName =
    "VNLDESKTOP_TRAY_ACTIVATED_49C3FF3C-476F-4e37-8ABB-A97680560C73";

// Opens the event for synchronisation only, waits on it with a zero time-out
// and closes it. An event that cannot be opened counts as not signalled.
inline bool IsTrayEventSignalled() noexcept {
    HANDLE event = ::OpenEventA(SYNCHRONIZE, FALSE, kTrayEventName);
    if (!event) return false;
    bool signalled = ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
    ::CloseHandle(event);
    return signalled;
}

}  // namespace vnl
