// Building request envelopes and reading reply envelopes of the driver
// channel. Free of Windows headers.
#pragma once

#include <cstdint>

#include "DriverProtocol.h"

namespace vnl {

// Writes the complete request for `operation` into `envelope` (at least
// kEnvelopeCapacity bytes): the header, zero data, and for the protection
// operations `dataWord` as the first data word. Returns the total length, or
// 0 (nothing written) for an unknown operation.
std::uint32_t BuildRequest(unsigned char* envelope, std::uint32_t operation, std::uint32_t callerTag,
                           std::uint32_t dataWord) noexcept;

// What a deciphered reply carries. `length` is the reply's data length cut to
// the capacity the caller asked for, so a driver that claims more data than
// the operation allows can never make the caller read past its buffer.
struct ReplyData {
    std::uint32_t status;
    std::uint32_t length;
    const unsigned char* data;
};
ReplyData ReadReply(const unsigned char* reply, std::uint32_t capacity) noexcept;

// Whether a deciphered reply of which the driver wrote `returned` bytes is
// whole: the header and the data it claims (cut to `capacity`, as ReadReply
// does) lie within whole cipher blocks the driver wrote. Anything else would
// read memory the driver never filled as status, length and records.
bool ReplyIsWhole(const unsigned char* reply, std::uint32_t returned, std::uint32_t capacity) noexcept;

}  // namespace vnl
