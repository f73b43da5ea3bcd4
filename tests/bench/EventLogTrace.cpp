#include "EventLogTrace.h"

#include <cstdlib>
#include <map>
#include <sstream>

namespace bench {
namespace {

std::string ToAnsi(const std::wstring& wide) {
    if (wide.empty()) return {};
    int size = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string out(size, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, nullptr, nullptr);
    return out;
}

// The thread prefix of a trace line ("0024" of "0024:fixme:..."), empty if none.
std::string ThreadOf(const std::string& line) {
    size_t colon = line.find(':');
    return colon == std::string::npos ? std::string() : line.substr(0, colon);
}

// Parses "(handle,type,category,id,sid,count,size,strings,data)".
bool ParseHeader(const std::string& line, size_t open, EventLogEntry* entry) {
    size_t close = line.find(')', open);
    if (close == std::string::npos) return false;
    std::vector<std::string> fields;
    std::stringstream in(line.substr(open + 1, close - open - 1));
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    if (fields.size() < 6) return false;
    entry->type = static_cast<WORD>(std::strtoul(fields[1].c_str(), nullptr, 16));
    entry->category = static_cast<WORD>(std::strtoul(fields[2].c_str(), nullptr, 16));
    entry->eventId = static_cast<DWORD>(std::strtoul(fields[3].c_str(), nullptr, 16));
    entry->stringCount = static_cast<WORD>(std::strtoul(fields[5].c_str(), nullptr, 16));
    return true;
}

bool SameCall(const EventLogEntry& a, const EventLogEntry& b) {
    return a.type == b.type && a.category == b.category && a.eventId == b.eventId && a.stringCount == b.stringCount;
}

}  // namespace

bool DecodeWineString(const std::string& text, size_t pos, std::string* out, size_t* end, bool* truncated) {
    out->clear();
    if (text.compare(pos, 6, "(null)") == 0) {
        if (end) *end = pos + 6;
        if (truncated) *truncated = false;
        return true;
    }
    if (pos < text.size() && text[pos] == 'L') ++pos;
    if (pos >= text.size() || text[pos] != '"') return false;
    std::wstring wide;
    size_t i = pos + 1;
    for (; i < text.size() && text[i] != '"'; ++i) {
        char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            wide.push_back(static_cast<unsigned char>(c));
            continue;
        }
        char next = text[++i];
        switch (next) {
        case 'n': wide.push_back(L'\n'); break;
        case 'r': wide.push_back(L'\r'); break;
        case 't': wide.push_back(L'\t'); break;
        case '\\': wide.push_back(L'\\'); break;
        case '"': wide.push_back(L'"'); break;
        default:
            // \xxxx: four hexadecimal digits of a UTF-16 unit.
            wide.push_back(static_cast<wchar_t>(std::strtoul(text.substr(i, 4).c_str(), nullptr, 16)));
            i += 3;
            break;
        }
    }
    if (i >= text.size()) return false;
    if (end) *end = i + 1;
    if (truncated) *truncated = text.compare(i + 1, 3, "...") == 0;
    *out = ToAnsi(wide);
    return true;
}

std::vector<EventLogEntry> ParseEventLogTrace(const std::string& trace) {
    static const std::string kHeaderA = ":fixme:advapi:ReportEventA (";
    static const std::string kHeaderW = ":fixme:advapi:ReportEventW (";
    static const std::string kString = ":eventlog:ReportEventW ";
    std::vector<EventLogEntry> entries;
    // Per thread: the entry its strings belong to, and whether it came from a
    // ReportEventA header still waiting for the ReportEventW call it makes.
    struct Open { size_t index; bool awaitingWide; };
    std::map<std::string, Open> open;

    std::stringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string thread = ThreadOf(line);
        size_t at;
        if ((at = line.find(kHeaderA)) != std::string::npos || (at = line.find(kHeaderW)) != std::string::npos) {
            bool ansi = line.compare(at, kHeaderA.size(), kHeaderA) == 0;
            EventLogEntry entry;
            if (!ParseHeader(line, at + kHeaderA.size() - 1, &entry)) continue;
            auto it = open.find(thread);
            if (!ansi && it != open.end() && it->second.awaitingWide && SameCall(entries[it->second.index], entry)) {
                it->second.awaitingWide = false;
                continue;
            }
            entries.push_back(entry);
            open[thread] = Open{entries.size() - 1, ansi};
        } else if ((at = line.find(kString)) != std::string::npos) {
            auto it = open.find(thread);
            if (it == open.end()) continue;
            std::string text;
            bool cut = false;
            if (!DecodeWineString(line, at + kString.size(), &text, nullptr, &cut)) continue;
            EventLogEntry& entry = entries[it->second.index];
            entry.strings.push_back(text);
            entry.truncated = entry.truncated || cut;
        }
    }
    return entries;
}

}  // namespace bench
