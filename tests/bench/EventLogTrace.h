// Reading the event log through Wine's trace. Wine keeps no event log, but
// with WINEDEBUG=fixme+advapi,+eventlog (kEventLogTrace) every ReportEvent
// call prints its header on the fixme:advapi channel and each of its strings
// on the eventlog channel (err, warn or trace by entry type), for example:
//   0024:fixme:advapi:ReportEventW (CAFE4242,0x0001,0x0002,0xc00003e8,00000000,0x0001,0x00000000,00146A48,00000000): stub
//   0024:err:eventlog:ReportEventW L"kbdhook"
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace bench {

struct EventLogEntry {
    WORD type = 0;         // EVENTLOG_ERROR_TYPE, ...
    WORD category = 0;
    DWORD eventId = 0;
    WORD stringCount = 0;  // as passed to ReportEvent
    // The strings as Wine printed them, back in the ANSI code page. Wine cuts
    // a printed string after about 300 characters; `truncated` says so.
    std::vector<std::string> strings;
    bool truncated = false;
};

// Every ReportEvent call found in `trace` (stderr of one or more processes),
// in order. A ReportEventA call and the ReportEventW call it makes count once.
std::vector<EventLogEntry> ParseEventLogTrace(const std::string& trace);

// Decodes one string as Wine's debug channels print it (L"..." or "..." with
// \\ \" \n \r \t and \xxxx escapes; "(null)" for none) into the ANSI code
// page. `end` receives the position after the closing quote; `truncated` is
// set when Wine cut the string ("..." after the quote). Returns false when
// `text` at `pos` holds no such string.
bool DecodeWineString(const std::string& text, size_t pos, std::string* out, size_t* end = nullptr,
                      bool* truncated = nullptr);

}  // namespace bench
