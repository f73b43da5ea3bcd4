#include "CommandText.h"

#include <cstdio>

namespace vnl {

const char* SkipProgramPath(const char* commandLine) noexcept {
    if (!commandLine) return "";
    const char* p = commandLine;
    bool quoted = false;
    for (; *p; ++p) {
        if (*p == '"') {
            quoted = !quoted;
        } else if (!quoted && (*p == ' ' || *p == '\t')) {
            break;
        }
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

bool ParseEventCommand(const char* text, EventCommand* command) noexcept {
    if (!text || !command) return false;
    unsigned int eventId = 0;
    // The identifier field is at most eight hexadecimal digits.
    if (std::sscanf(text, "%c %8X %d", &command->letter, &eventId, &command->count) != 3) return false;
    command->eventId = eventId;
    int fields = 0;
    switch (command->count) {
    case 1:
        fields = std::sscanf(text, "%c %8X %d %250s", &command->letter, &eventId, &command->count,
                             command->strings[0]);
        return fields == 4;
    case 2:
        fields = std::sscanf(text, "%c %8X %d %250s %250s", &command->letter, &eventId, &command->count,
                             command->strings[0], command->strings[1]);
        return fields == 5;
    default:
        return false;
    }
}

bool BuildViewerParameter(const char* installDir, char* out, size_t size) noexcept {
    if (!out || size == 0) return false;
    int written = std::snprintf(out, size, "/v:\"%sevents\\vnlevents.xml\"", installDir ? installDir : "");
    if (written < 0 || static_cast<size_t>(written) >= size) {
        out[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace vnl
