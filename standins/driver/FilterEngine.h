// What the stand-in keyboard filter driver does, free of Windows headers: it
// answers enciphered envelopes, holds keystrokes while protection is on and
// serves the control device. The kernel glue (DriverMain.cpp) owns the lock,
// the devices and the registry; one engine serves both devices.
//
// Not thread-safe: callers serialise every call. No allocation, no exceptions;
// every member is constant-initialised so a global engine needs no constructor.
#pragma once

#include <cstddef>
#include <cstdint>

#include "DriverControlProtocol.h"
#include "DriverProtocol.h"

namespace vnl::drv {

// Fills at most `capacity` entries with the system's keyboard filter drivers
// and returns how many it filled.
using DefaultListingSource = std::uint32_t (*)(FilterEntry* entries, std::uint32_t capacity) noexcept;

struct Caller {
    std::uint32_t processId;
    std::uint32_t threadId;
};

// How an exchange on the envelope device ends.
struct ExchangeOutcome {
    bool fail;                  // true: the request fails; nothing is returned
    std::uint32_t replyLength;  // bytes of enciphered reply written to the output (fail == false)
};

class FilterEngine {
public:
    void SetDefaultListingSource(DefaultListingSource source) noexcept { defaultListing_ = source; }

    // One exchange: `input` holds `inputLength` enciphered bytes, the reply is
    // written to `output` (`outputLength` bytes; it may be the same memory as
    // the input). A malformed envelope is answered with an error status when
    // the output can hold a 48-byte reply; otherwise the exchange fails. The
    // reply never exceeds `outputLength`.
    ExchangeOutcome Exchange(const unsigned char* input, std::uint32_t inputLength, unsigned char* output,
                             std::uint32_t outputLength, Caller caller) noexcept;

    // One keystroke from the keyboard. Returns false (nothing changes) for a
    // scan code outside 0x01 to 0x7F.
    bool PressKey(const PressKeyRequest& request, PressKeyResult& result) noexcept;

    // Replaces the listing; false (nothing changes) when `length` bytes do not
    // hold the header and `count` entries, or `count` exceeds ten.
    bool SetFilters(const unsigned char* request, std::size_t length) noexcept;

    void SetNextReply(const NextReplyRequest& request) noexcept { nextReply_ = request; }
    void FailExchanges(std::uint32_t count) noexcept { failCount_ = count; }
    DriverState State() const noexcept;
    void ReadLog(LogReply& reply) const noexcept;
    void Reset() noexcept;

private:
    struct Reply {
        std::uint32_t status;
        std::uint32_t dataLength;
    };

    Reply Apply(std::uint32_t operation, std::uint32_t callerValue, std::uint32_t callerTag,
                std::uint32_t dataRoom) noexcept;
    std::uint32_t WriteKeyRecords(std::uint32_t dataRoom) noexcept;
    std::uint32_t WriteFilterEntries(std::uint32_t dataRoom) noexcept;
    void HoldRecord(std::uint16_t makeCode, std::uint16_t flags) noexcept;
    void Log(const LogEntry& entry) noexcept;

    DefaultListingSource defaultListing_ = nullptr;

    // Protection and the last protection request.
    bool protectionOn_ = false;
    std::uint32_t callerValue_ = 0;
    std::uint32_t callerTag_ = 0;

    // Held key records, a ring: oldest at heldFirst_.
    KeyRecord held_[kHeldRecordCapacity] = {};
    std::uint32_t heldFirst_ = 0;
    std::uint32_t heldCount_ = 0;
    std::uint16_t nextPlaceholder_ = kFirstPlaceholder;

    // A listing set through the control device (used while listingSet_).
    bool listingSet_ = false;
    std::uint32_t listingCount_ = 0;
    bool listingOverride_ = false;
    std::uint32_t listingLength_ = 0;
    FilterEntry listing_[kMaxFilterEntries] = {};
    FilterEntry defaultScratch_[kMaxFilterEntries] = {};  // filled afresh for every listing

    // Injections for the coming exchanges.
    NextReplyRequest nextReply_ = {};
    std::uint32_t failCount_ = 0;

    // Counters and the log, a ring of the newest kLogCapacity entries.
    std::uint32_t validEnvelopes_ = 0;
    std::uint32_t invalidEnvelopes_ = 0;
    std::uint32_t failedExchanges_ = 0;
    std::uint32_t loggedEnvelopes_ = 0;
    LogEntry log_[kLogCapacity] = {};

    // Work space: the deciphered request and the reply being built.
    unsigned char request_[kEnvelopeCapacity] = {};
    unsigned char reply_[kEnvelopeCapacity] = {};
};

}  // namespace vnl::drv
