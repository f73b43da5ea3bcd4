#include "EventWriter.h"

#include <windows.h>

#include <cstdint>

#include "CommandText.h"
#include "UniqueAny.h"

namespace vnl {
namespace {

constexpr const char* kEventSource = "VNLTB";

// How each event of the catalogue is entered in the log.
struct EventMapping {
    uint32_t eventId;
    WORD type;
    WORD category;
};

constexpr EventMapping kEventMap[] = {
    {0xC00003E8, EVENTLOG_ERROR_TYPE, 2},  // untrusted keyboard driver; string: its name
};

const EventMapping* FindEventMapping(uint32_t eventId) noexcept {
    for (const auto& mapping : kEventMap) {
        if (mapping.eventId == eventId) return &mapping;
    }
    return nullptr;
}

}  // namespace

void WriteEventFromCommand(const char* commandText) noexcept {
    try {
        UniqueEventSource source(::RegisterEventSourceA(nullptr, kEventSource));
        if (!source) return;
        EventCommand command;
        if (!ParseEventCommand(commandText, &command)) return;
        const EventMapping* mapping = FindEventMapping(command.eventId);
        if (!mapping) return;
        const char* strings[kMaxEventStrings] = {command.strings[0], command.strings[1]};
        ::ReportEventA(source.get(), mapping->type, mapping->category, command.eventId, nullptr,
                       static_cast<WORD>(command.count), 0, strings, nullptr);
    } catch (...) {
    }
}

}  // namespace vnl
