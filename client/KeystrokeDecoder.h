// The Windows-free steps of keystroke decoding: which fetched records are
// queued, and the keypad table used while NumLock is on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace vnl {

// Appends to `queue`, oldest first, the scan code (low byte of the make code)
// of every record among the first `length / 8` of `records` whose flag bit 0
// (the key-release bit) is set. Other records, extended-key bit included, are
// ignored. Returns how many were queued.
unsigned QueueReleasedKeys(const unsigned char* records, std::uint32_t length, std::deque<std::uint8_t>& queue);

// The keypad virtual key of `scanCode` while NumLock is on, or 0 when the scan
// code is not a keypad digit or decimal point (0x4A and 0x4E among them).
std::uint32_t KeypadVirtualKey(std::uint8_t scanCode) noexcept;

}  // namespace vnl
