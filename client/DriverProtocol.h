// The envelope exchanged with the keyboard filter driver on "\\.\VNLV2":
// sizes, header word offsets, operation codes and the records carried as data.
// Request and reply share the layout; every header word is an unsigned 32-bit
// little-endian value. Free of Windows headers: used by the client channel,
// the stand-in driver and native builds alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vnl {

// Buffer capacity: a 48-byte header and up to 8192 bytes of data.
inline constexpr std::size_t kEnvelopeCapacity = 8240;
inline constexpr std::size_t kEnvelopeHeaderSize = 48;
inline constexpr std::size_t kEnvelopeMaxData = kEnvelopeCapacity - kEnvelopeHeaderSize;

// Byte offsets of the header words.
inline constexpr std::size_t kEnvTotalLength = 0;   // request: header plus data capacity
inline constexpr std::size_t kEnvFixedWord1 = 4;    // request: kEnvelopeFixedOne
inline constexpr std::size_t kEnvCallerTag = 8;     // request: thread id + process id, wrapping
inline constexpr std::size_t kEnvOperation = 12;    // request: one of the VNL_OP_ codes
inline constexpr std::size_t kEnvFixedWord4 = 16;   // request: kEnvelopeFixedOne
inline constexpr std::size_t kEnvZeroWord5 = 20;    // request: 0
inline constexpr std::size_t kEnvFixedWord6 = 24;   // request: kEnvelopeMagic
inline constexpr std::size_t kEnvZeroWords7 = 28;   // request: 12 zero bytes (words 7 to 9)
inline constexpr std::size_t kEnvDataLength = 40;   // request: data capacity; reply: data bytes returned
inline constexpr std::size_t kEnvStatus = 44;       // request: 0; reply: 0 or an error code
inline constexpr std::size_t kEnvData = 48;         // data (zero unless the operation says otherwise)

inline constexpr std::uint32_t kEnvelopeFixedOne = 1;
inline constexpr std::uint32_t kEnvelopeMagic = 4567;  // 0x11D7

// Operation codes carried in the header (laid out as device control codes:
// device type 0x22, functions 0x905 to 0x908, buffered, any access).
inline constexpr std::uint32_t VNL_OP_FETCH_KEYS = 0x222414;
inline constexpr std::uint32_t VNL_OP_LIST_FILTERS = 0x222418;
inline constexpr std::uint32_t VNL_OP_PROTECT_ON = 0x22241C;
inline constexpr std::uint32_t VNL_OP_PROTECT_OFF = 0x222420;

// The one device control code sent to the device (function 0x909).
inline constexpr std::uint32_t IOCTL_VNL_TRANSACT = 0x222424;

// Per-operation data capacity and total envelope length (header + capacity).
inline constexpr std::uint32_t kFetchKeysCapacity = 80;
inline constexpr std::uint32_t kFetchKeysLength = 128;
inline constexpr std::uint32_t kListFiltersCapacity = 7880;
inline constexpr std::uint32_t kListFiltersLength = 7928;
inline constexpr std::uint32_t kProtectCapacity = 8;
inline constexpr std::uint32_t kProtectLength = 56;

struct OperationLayout {
    std::uint32_t operation;
    std::uint32_t dataCapacity;
    std::uint32_t totalLength;
};

inline constexpr OperationLayout kOperationLayouts[] = {
    {VNL_OP_FETCH_KEYS, kFetchKeysCapacity, kFetchKeysLength},
    {VNL_OP_LIST_FILTERS, kListFiltersCapacity, kListFiltersLength},
    {VNL_OP_PROTECT_ON, kProtectCapacity, kProtectLength},
    {VNL_OP_PROTECT_OFF, kProtectCapacity, kProtectLength},
};

// The layout of `operation`, or null for an unknown code.
constexpr const OperationLayout* FindOperation(std::uint32_t operation) noexcept {
    for (const OperationLayout& layout : kOperationLayouts)
        if (layout.operation == operation) return &layout;
    return nullptr;
}

// One keystroke record in a fetch reply: the first four fields of the
// system's keyboard input record.
struct KeyRecord {
    std::uint16_t unitNumber;  // not read
    std::uint16_t makeCode;    // low byte: the scan code (base code for extended keys)
    std::uint16_t flags;       // kKeyBreak on release records; kKeyE0 on extended keys
    std::uint16_t unitValue;   // not used
};
static_assert(sizeof(KeyRecord) == 8);

inline constexpr std::uint16_t kKeyBreak = 0x0001;  // the key-release record
inline constexpr std::uint16_t kKeyE0 = 0x0002;     // extended key (0xE0 prefix)
inline constexpr std::size_t kMaxKeyRecords = kFetchKeysCapacity / sizeof(KeyRecord);

// One keyboard filter driver in a listing reply.
inline constexpr std::size_t kFilterNameUnits = 392;  // 391 units plus the terminator
struct FilterEntry {
    std::uint32_t inUse;                // non-zero: the entry names a driver
    char16_t name[kFilterNameUnits];   // NUL-terminated UTF-16, e.g. u"\\Driver\\kbdclass"
};
static_assert(sizeof(FilterEntry) == 788);
inline constexpr std::size_t kMaxFilterEntries = kListFiltersCapacity / sizeof(FilterEntry);
static_assert(kMaxKeyRecords == 10 && kMaxFilterEntries == 10);

// Little-endian access to the words of an envelope, whatever the host order.
constexpr std::uint32_t ReadEnvelopeWord(const unsigned char* envelope, std::size_t offset) noexcept {
    const unsigned char* p = envelope + offset;
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

constexpr void WriteEnvelopeWord(unsigned char* envelope, std::size_t offset, std::uint32_t value) noexcept {
    unsigned char* p = envelope + offset;
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    p[2] = static_cast<unsigned char>(value >> 16);
    p[3] = static_cast<unsigned char>(value >> 24);
}

constexpr std::uint16_t ReadEnvelopeHalf(const unsigned char* envelope, std::size_t offset) noexcept {
    return static_cast<std::uint16_t>(envelope[offset] | (envelope[offset + 1] << 8));
}

constexpr void WriteEnvelopeHalf(unsigned char* envelope, std::size_t offset, std::uint16_t value) noexcept {
    envelope[offset] = static_cast<unsigned char>(value);
    envelope[offset + 1] = static_cast<unsigned char>(value >> 8);
}

// Writes a complete request header for a known operation into `envelope`
// (which must hold at least kEnvelopeHeaderSize bytes) and zeroes the rest of
// its `layout.totalLength` bytes. Data words are the caller's to set afterwards.
constexpr void WriteRequestHeader(unsigned char* envelope, const OperationLayout& layout,
                                  std::uint32_t callerTag) noexcept {
    for (std::uint32_t i = 0; i < layout.totalLength; ++i) envelope[i] = 0;
    WriteEnvelopeWord(envelope, kEnvTotalLength, layout.totalLength);
    WriteEnvelopeWord(envelope, kEnvFixedWord1, kEnvelopeFixedOne);
    WriteEnvelopeWord(envelope, kEnvCallerTag, callerTag);
    WriteEnvelopeWord(envelope, kEnvOperation, layout.operation);
    WriteEnvelopeWord(envelope, kEnvFixedWord4, kEnvelopeFixedOne);
    WriteEnvelopeWord(envelope, kEnvFixedWord6, kEnvelopeMagic);
    WriteEnvelopeWord(envelope, kEnvDataLength, layout.dataCapacity);
}

}  // namespace vnl
