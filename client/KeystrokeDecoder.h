// The Windows-free steps of keystroke decoding: which fetched records are
// queued, and the keypad table used while NumLock is on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace vnl {

// A queued keystroke: the scan code (low byte of the make code) in the low
// byte, and kQueuedExtended when the record carried the extended-key bit.
using QueuedKey = std::uint16_t;
inline constexpr QueuedKey kQueuedExtended = 0x100;

// Appends to `queue`, oldest first, every record among the first `length / 8`
// of `records` whose flag bit 0 (the key-release bit) is set; records without
// it are skipped. Returns how many were queued.
unsigned QueueReleasedKeys(const unsigned char* records, std::uint32_t length, std::deque<QueuedKey>& queue);

// The keypad virtual key of `key` while NumLock is on, or 0 when it is not a
// keypad digit or decimal point (0x4A and 0x4E among them). Extended keys
// share their base make code with the keypad (the arrows, Home, End, Insert,
// Delete, Page Up and Page Down) but are never keypad keys.
std::uint32_t KeypadVirtualKey(QueuedKey key) noexcept;

}  // namespace vnl
