#include "FilterList.h"

#include <cstring>

namespace vnl {
namespace {

wchar_t FoldAscii(wchar_t c) noexcept { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

// Reads the UTF-16 unit at `index`; the buffer's bytes carry no alignment.
wchar_t UnitAt(const FilterListBuffer& list, size_t index) noexcept {
    const uint8_t* p = list.data + index * 2;
    return static_cast<wchar_t>(p[0] | (p[1] << 8));
}

void PutUnit(uint8_t* p, wchar_t c) noexcept {
    p[0] = static_cast<uint8_t>(c & 0xFF);
    p[1] = static_cast<uint8_t>((c >> 8) & 0xFF);
}

size_t Units(const FilterListBuffer& list) noexcept {
    const size_t length = list.length <= kFilterListBufferSize ? list.length : kFilterListBufferSize;
    return length / 2;
}

size_t NameLength(const wchar_t* name) noexcept {
    size_t n = 0;
    while (name[n] != 0) ++n;
    return n;
}

// Whether the item of `itemUnits` units starting at unit `start` equals `name`.
bool ItemEquals(const FilterListBuffer& list, size_t start, size_t itemUnits, const wchar_t* name) noexcept {
    if (itemUnits != NameLength(name)) return false;
    for (size_t i = 0; i < itemUnits; ++i)
        if (FoldAscii(UnitAt(list, start + i)) != FoldAscii(name[i])) return false;
    return true;
}

// Calls `visit(start, units, terminated)` for each item of the list, in order,
// until it returns false. An item without its NUL ends at the data's end.
template <typename Visit>
void ForEachItem(const FilterListBuffer& list, Visit visit) noexcept {
    const size_t total = Units(list);
    size_t start = 0;
    while (start < total) {
        size_t end = start;
        while (end < total && UnitAt(list, end) != 0) ++end;
        if (end == start) return;  // the empty string: the list ends here
        if (!visit(start, end - start, end < total)) return;
        start = end + 1;
    }
}

}  // namespace

bool FilterListContains(const FilterListBuffer& list, const wchar_t* name) noexcept {
    bool found = false;
    ForEachItem(list, [&](size_t start, size_t units, bool) {
        found = ItemEquals(list, start, units, name);
        return !found;
    });
    return found;
}

FilterEdit AddFilterFirst(FilterListBuffer& list) noexcept {
    if (list.length > kFilterListBufferSize) return FilterEdit::TooLong;
    if (FilterListContains(list, kFilterName)) return FilterEdit::Unchanged;
    const size_t units = Units(list);
    // Terminators the old data lacks: the list must end in an empty string.
    size_t missing = 0;
    if (units == 0) missing = 1;  // the new item alone: just the final empty string
    else if (UnitAt(list, units - 1) != 0) missing = 2;
    else if (units >= 2 && UnitAt(list, units - 2) != 0) missing = 1;
    // A lone "\0" is the empty list, already proper.
    const size_t newLength = kFilterItemBytes + (units + missing) * 2;
    if (newLength > kFilterListBufferSize) return FilterEdit::TooLong;

    std::memmove(list.data + kFilterItemBytes, list.data, units * 2);
    for (size_t i = 0; i < kFilterItemBytes / 2; ++i) PutUnit(list.data + i * 2, kFilterName[i]);
    for (size_t i = 0; i < missing; ++i) PutUnit(list.data + kFilterItemBytes + (units + i) * 2, 0);
    list.length = newLength;
    return FilterEdit::Changed;
}

FilterEdit RemoveFilter(FilterListBuffer& list) noexcept {
    if (list.length > kFilterListBufferSize) return FilterEdit::TooLong;
    bool removed = false;
    for (;;) {
        size_t itemStart = 0, itemUnits = 0;
        bool terminated = false, found = false;
        ForEachItem(list, [&](size_t start, size_t units, bool hasNul) {
            if (!ItemEquals(list, start, units, kFilterName)) return true;
            itemStart = start, itemUnits = units, terminated = hasNul, found = true;
            return false;
        });
        if (!found) break;
        // The item and its NUL; an unterminated last item takes only itself.
        const size_t cut = (itemUnits + (terminated ? 1 : 0)) * 2;
        const size_t from = itemStart * 2 + cut;
        std::memmove(list.data + itemStart * 2, list.data + from, list.length - from);
        list.length -= cut;
        removed = true;
    }
    return removed ? FilterEdit::Changed : FilterEdit::Unchanged;
}

}  // namespace vnl
