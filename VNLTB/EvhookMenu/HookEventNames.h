// Names of the named events through which the hook library reports system
// events to the band module's watcher thread. The hook library creates them;
// the watcher opens them. Header-only: both modules share it and the hook
// library links against nothing of ours.
#pragma once

#include <cstdint>
#include <cstdio>

namespace vnl {

// A system menu started, or a task switch started, in the process whose id
// ends the name (eight upper-case hexadecimal digits).
inline constexpr const char* kMenuStartEventFormat = "VNL_WIN_EVENT_SYSTEM_MENUSTART_%08X";
// A system menu ended in the process whose id ends the name.
inline constexpr const char* kMenuEndEventFormat = "VNL_WIN_EVENT_SYSTEM_MENUEND_%08X";
// A top-level window of a program other than the browser was activated; one
// event for all processes.
inline constexpr const char* kDeactivateEventName = "VNL_WIN_EVENT_DEACTIVATE_WINDOW";

// Room for a name, terminator included, as the kernel object calls take it.
inline constexpr std::size_t kEventNameCapacity = 260;

// Writes the per-process name for `processId` into `buffer`, which holds
// kEventNameCapacity characters. Always terminated.
inline void FormatProcessEventName(char (&buffer)[kEventNameCapacity], const char* format,
                                   std::uint32_t processId) noexcept {
    std::snprintf(buffer, kEventNameCapacity, format, static_cast<unsigned>(processId));
}

}  // namespace vnl
