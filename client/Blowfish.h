// The block cipher of the driver envelope: 64-bit blocks, 16 rounds, keys of
// 1 to 56 bytes. Free of Windows headers, exceptions and allocation so that the
// kernel driver, the client modules and native fuzzing builds share one source.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vnl {

// A computed key schedule: 18 round subkeys and four substitution boxes.
struct BlowfishKey {
    std::uint32_t p[18];
    std::uint32_t s[4][256];
};

// The key of every envelope exchanged with the keyboard filter driver.
inline constexpr unsigned char kEnvelopeKey[8] = {'T', 'O', 'L', 'W', 'E', 'K', 'U', 'S'};

// Computes the schedule for `length` key bytes (taken cyclically, most
// significant byte of each subkey first). A `length` of 0 is treated as the
// single key byte 0 rather than dividing by zero.
void BlowfishSetKey(BlowfishKey& key, const unsigned char* bytes, std::size_t length) noexcept;

// Enciphers or deciphers one block given as its left and right halves, in place.
void BlowfishEncrypt(const BlowfishKey& key, std::uint32_t& left, std::uint32_t& right) noexcept;
void BlowfishDecrypt(const BlowfishKey& key, std::uint32_t& left, std::uint32_t& right) noexcept;

// ECB over whole 8-byte blocks: each block is two little-endian 32-bit words,
// the lower-addressed one the left half; results stored back in place.
// `length` is rounded down to whole blocks (callers pad); trailing bytes are
// left untouched.
void EncipherBlocks(const BlowfishKey& key, unsigned char* data, std::size_t length) noexcept;
void DecipherBlocks(const BlowfishKey& key, unsigned char* data, std::size_t length) noexcept;

// The schedule for kEnvelopeKey, computed at compile time (no constructor
// runs, so it is usable from the driver and from any thread).
const BlowfishKey& EnvelopeKey() noexcept;

}  // namespace vnl
