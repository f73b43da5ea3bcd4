// The stand-in keyboard filter driver's second device, "\\.\VNLV2CTL", through
// which the bench and the demonstration act as the keyboard hardware and look
// inside the driver. The system itself never opens it.
//
// Every request is a plain (unenciphered) METHOD_BUFFERED device control call
// with the structures below as input and output (native little-endian layout,
// no padding). Also here: the status words the driver puts in replies on
// "\\.\VNLV2" when an envelope is malformed. Free of Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "DriverProtocol.h"

namespace vnl::drv {

// Device type 0x22, buffered, any access; functions 0x980 to 0x986.
constexpr std::uint32_t ControlCode(std::uint32_t function) noexcept { return (0x22u << 16) | (function << 2); }

// In PressKeyRequest, out PressKeyResult: one keystroke (press and release)
// arrives from the keyboard. While protection is on, the driver holds a press
// and a release record and passes a placeholder digit key up instead.
inline constexpr std::uint32_t IOCTL_VNLCTL_PRESS_KEY = ControlCode(0x980);
// In SetFiltersRequest (header plus `count` entries): replaces the listing.
inline constexpr std::uint32_t IOCTL_VNLCTL_SET_FILTERS = ControlCode(0x981);
// In NextReplyRequest: overrides words of the next well-formed reply, or cuts it short.
inline constexpr std::uint32_t IOCTL_VNLCTL_SET_NEXT_REPLY = ControlCode(0x982);
// In FailExchangesRequest: the next `count` exchanges on "\\.\VNLV2" fail.
inline constexpr std::uint32_t IOCTL_VNLCTL_FAIL_EXCHANGES = ControlCode(0x983);
// Out DriverState: protection, the last caller, held records, counters.
inline constexpr std::uint32_t IOCTL_VNLCTL_QUERY_STATE = ControlCode(0x984);
// Out LogReply: the most recent decoded envelopes, oldest first.
inline constexpr std::uint32_t IOCTL_VNLCTL_READ_LOG = ControlCode(0x985);
// No input or output: back to the state the driver started in.
inline constexpr std::uint32_t IOCTL_VNLCTL_RESET = ControlCode(0x986);

// Reply status words on "\\.\VNLV2" for envelopes the driver refuses.
inline constexpr std::uint32_t kReplyBadLength = 24;         // input length not a whole envelope
inline constexpr std::uint32_t kReplyBadHeader = 13;         // fixed words or sizes do not match the operation
inline constexpr std::uint32_t kReplyUnknownOperation = 1;   // operation code not one of the four

// Scan codes the driver passes up in place of held keystrokes, in turn: the
// digit keys 1, 2, ..., 9, 0.
inline constexpr std::uint16_t kFirstPlaceholder = 0x02;
inline constexpr std::uint16_t kLastPlaceholder = 0x0B;

// Keystrokes the driver can hold at once; a keystroke beyond is swallowed
// (neither held nor passed up) so that it never reaches the ordinary input
// path while protection is on.
inline constexpr std::uint32_t kHeldRecordCapacity = 256;

struct PressKeyRequest {
    std::uint16_t scanCode;   // 0x01 to 0x7F; without the extended prefix
    std::uint16_t extended;   // non-zero: the key carries the 0xE0 prefix
};

enum PressOutcome : std::uint32_t {
    kPassedThrough = 0,  // protection off: the key itself went up
    kHeld = 1,           // held; the placeholder went up
    kSwallowed = 2,      // hold capacity reached: nothing went up
};

struct PressKeyResult {
    std::uint16_t makeCode;   // what went up the ordinary input path (0 when swallowed)
    std::uint16_t flags;      // kKeyE0 when what went up is an extended key
    std::uint32_t outcome;    // PressOutcome
};

struct SetFiltersRequest {
    std::uint32_t useDefault;       // non-zero: list the registry's keyboard filters again (rest ignored)
    std::uint32_t count;            // entries that follow, 0 to kMaxFilterEntries
    std::uint32_t overrideLength;   // non-zero: replies carry `dataLength` as their data length
    std::uint32_t dataLength;
    FilterEntry entries[kMaxFilterEntries];  // only the first `count` need be sent
};
inline constexpr std::size_t kSetFiltersHeaderSize = offsetof(SetFiltersRequest, entries);

struct NextReplyRequest {
    std::uint32_t setStatus;        // non-zero: the next reply's status word is `status`
    std::uint32_t status;
    std::uint32_t setDataLength;    // non-zero: its data length word is `dataLength` (data unchanged)
    std::uint32_t dataLength;
    std::uint32_t setReplyLength;   // non-zero: only the first `replyLength` bytes of it are returned
    std::uint32_t replyLength;
};

struct FailExchangesRequest {
    std::uint32_t count;            // 0 cancels a pending failure
};

struct DriverState {
    std::uint32_t protectionOn;
    std::uint32_t callerValue;      // of the last protection request
    std::uint32_t callerTag;        // of the last protection request
    std::uint32_t heldRecords;
    std::uint32_t validEnvelopes;
    std::uint32_t invalidEnvelopes;
    std::uint32_t failedExchanges;  // exchanges failed on request
    std::uint32_t loggedEnvelopes;  // every envelope ever logged, including ones dropped from the log
};

struct LogEntry {
    std::uint32_t operation;        // header word at byte 12 (whatever it held)
    std::uint32_t callerValue;      // first data word (byte 48), 0 when the envelope is shorter
    std::uint32_t callerTag;        // header word at byte 8
    std::uint32_t envelopeSize;     // input length in bytes
    std::uint32_t headerValid;      // 1: accepted; 0: refused
    std::uint32_t reservedClear;    // 1: every word the request leaves 0 was 0
    std::uint32_t replyStatus;      // status word answered (before any override)
    std::uint32_t processId;        // of the caller, as the driver saw it
    std::uint32_t threadId;
};

inline constexpr std::uint32_t kLogCapacity = 64;
struct LogReply {
    std::uint32_t count;            // valid entries below
    std::uint32_t reserved;
    LogEntry entries[kLogCapacity];
};

static_assert(sizeof(PressKeyRequest) == 4 && sizeof(PressKeyResult) == 8);
static_assert(sizeof(SetFiltersRequest) == 16 + 10 * 788);
static_assert(sizeof(NextReplyRequest) == 24 && sizeof(DriverState) == 32);
static_assert(sizeof(LogEntry) == 36 && sizeof(LogReply) == 8 + 64 * 36);

}  // namespace vnl::drv
