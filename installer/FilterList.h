// The keyboard class's upper filter list as the installer edits it: a
// multi-string held in a fixed buffer of 520 bytes. Free of Windows headers
// so that it can be built natively for fuzzing.
//
// What counts as the list: the data is read as UTF-16 units (an odd last byte
// is no character and is ignored); the items run from the start to the first
// empty string, which ends the list. Anything after that end is kept as it
// was but is not part of the list, as the system reading the value sees it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vnl {

inline constexpr size_t kFilterListBufferSize = 520;   // bytes
inline constexpr wchar_t kFilterName[] = L"VNLv2";
// The item with its terminating NUL.
inline constexpr size_t kFilterItemBytes = (sizeof(kFilterName) / sizeof(wchar_t)) * 2;  // 12 as UTF-16

// A list held in its fixed buffer: `length` bytes of `data` are in use.
struct FilterListBuffer {
    uint8_t data[kFilterListBufferSize] = {};
    size_t length = 0;
};

// True when the list holds `name` as a whole item, compared without regard to
// (ASCII) case. Never reads past `length`.
bool FilterListContains(const FilterListBuffer& list, const wchar_t* name) noexcept;

enum class FilterEdit {
    Changed,    // the buffer holds the new list
    Unchanged,  // nothing to do (item already present / absent)
    TooLong,    // the new list would not fit in the buffer; buffer untouched
};

// Puts "VNLv2" first unless the list already holds it. Everything the old
// data held follows it unchanged; a list that did not end properly (no final
// empty string, a last item without its NUL, no data at all) gets the
// terminators it lacked, and an odd last byte is dropped. On TooLong the
// buffer is left as it was.
FilterEdit AddFilterFirst(FilterListBuffer& list) noexcept;

// Takes every whole "VNLv2" item (any case) out of the list, wherever it
// stands, moving the rest over it. Parts of other items are never touched.
FilterEdit RemoveFilter(FilterListBuffer& list) noexcept;

}  // namespace vnl
