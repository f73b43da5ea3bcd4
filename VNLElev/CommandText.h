// Reading the helper's command text. Free of Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vnl {

// Size of each insertion-string buffer; a string is cut to its first 250 characters.
inline constexpr size_t kEventStringSize = 260;
inline constexpr int kMaxEventStrings = 2;

// Returns the command text that follows the program path at the start of
// `commandLine`: the path ends at the first blank or tab outside double quotes
// (each double quote toggles quoting), and the blanks and tabs after it are
// skipped. Never null; empty when nothing follows the path.
const char* SkipProgramPath(const char* commandLine) noexcept;

// An e command: letter, hexadecimal identifier, count, then count strings.
struct EventCommand {
    char letter = 0;
    uint32_t eventId = 0;
    int count = 0;
    char strings[kMaxEventStrings][kEventStringSize] = {};
};

// Reads `text` as "%c %08X %d" followed by count strings of at most 250
// non-blank characters each. Returns true only when the count is 1 or 2 and
// every string it announces is present, so that no string of an accepted
// command is left unset; on false `command` may be partly filled.
bool ParseEventCommand(const char* text, EventCommand* command) noexcept;

// Builds the event viewer's parameter, /v: followed by the quoted path of the
// view file in the installation's events folder. `installDir` ends in a
// backslash. Returns false (and an empty `out`) when it does not fit in `size`.
bool BuildViewerParameter(const char* installDir, char* out, size_t size) noexcept;

}  // namespace vnl
