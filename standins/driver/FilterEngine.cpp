#include "FilterEngine.h"

#include "Blowfish.h"

namespace vnl::drv {
namespace {

constexpr std::uint32_t Min(std::uint32_t a, std::uint32_t b) noexcept { return a < b ? a : b; }

void Zero(void* memory, std::size_t length) noexcept {
    auto* bytes = static_cast<unsigned char*>(memory);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = 0;
}

void Copy(unsigned char* to, const unsigned char* from, std::size_t length) noexcept {
    for (std::size_t i = 0; i < length; ++i) to[i] = from[i];
}

bool IsProtection(std::uint32_t operation) noexcept {
    return operation == VNL_OP_PROTECT_ON || operation == VNL_OP_PROTECT_OFF;
}

// The status a request earns from its length and header alone (0: accepted).
std::uint32_t CheckRequest(const unsigned char* request, std::uint32_t length) noexcept {
    if (length < kEnvelopeHeaderSize || length > kEnvelopeCapacity || length % 8 != 0) return kReplyBadLength;
    if (ReadEnvelopeWord(request, kEnvFixedWord1) != kEnvelopeFixedOne ||
        ReadEnvelopeWord(request, kEnvFixedWord4) != kEnvelopeFixedOne ||
        ReadEnvelopeWord(request, kEnvFixedWord6) != kEnvelopeMagic)
        return kReplyBadHeader;
    const OperationLayout* layout = FindOperation(ReadEnvelopeWord(request, kEnvOperation));
    if (layout == nullptr) return kReplyUnknownOperation;
    if (ReadEnvelopeWord(request, kEnvTotalLength) != length || length != layout->totalLength ||
        ReadEnvelopeWord(request, kEnvDataLength) != layout->dataCapacity)
        return kReplyBadHeader;
    return 0;
}

// Whether every byte the request leaves zero is zero: header words 5, 7 to 9
// and 11, and the data after the caller value (protection) or all of it.
bool ReservedClear(const unsigned char* request, std::uint32_t length) noexcept {
    if (length < kEnvelopeHeaderSize || length > kEnvelopeCapacity) return false;
    for (std::size_t at = kEnvZeroWord5; at < kEnvZeroWord5 + 4; ++at)
        if (request[at] != 0) return false;
    for (std::size_t at = kEnvZeroWords7; at < kEnvDataLength; ++at)
        if (request[at] != 0) return false;
    for (std::size_t at = kEnvStatus; at < kEnvData; ++at)
        if (request[at] != 0) return false;
    const std::size_t dataFrom = IsProtection(ReadEnvelopeWord(request, kEnvOperation)) ? kEnvData + 4 : kEnvData;
    for (std::size_t at = dataFrom; at < length; ++at)
        if (request[at] != 0) return false;
    return true;
}

void WriteFilterEntry(unsigned char* to, const FilterEntry& entry) noexcept {
    WriteEnvelopeWord(to, 0, entry.inUse);
    for (std::size_t i = 0; i < kFilterNameUnits; ++i)
        WriteEnvelopeHalf(to, 4 + 2 * i, static_cast<std::uint16_t>(entry.name[i]));
}

}  // namespace

ExchangeOutcome FilterEngine::Exchange(const unsigned char* input, std::uint32_t inputLength, unsigned char* output,
                                       std::uint32_t outputLength, Caller caller) noexcept {
    // Take the whole request out first: the output may be the input's memory.
    const std::uint32_t blocks = input == nullptr ? 0 : Min(inputLength, kEnvelopeCapacity) & ~7u;
    Zero(request_, sizeof request_);
    Copy(request_, input, blocks);
    DecipherBlocks(EnvelopeKey(), request_, blocks);

    LogEntry entry = {};
    entry.envelopeSize = inputLength;
    entry.processId = caller.processId;
    entry.threadId = caller.threadId;
    if (blocks >= kEnvOperation + 4) {
        entry.operation = ReadEnvelopeWord(request_, kEnvOperation);
        entry.callerTag = ReadEnvelopeWord(request_, kEnvCallerTag);
    }
    if (blocks >= kEnvData + 8) entry.callerValue = ReadEnvelopeWord(request_, kEnvData);
    const std::uint32_t status = CheckRequest(request_, inputLength);
    const bool valid = status == 0;
    entry.headerValid = valid ? 1 : 0;
    entry.reservedClear = valid && ReservedClear(request_, inputLength) ? 1 : 0;
    entry.replyStatus = status;
    ++(valid ? validEnvelopes_ : invalidEnvelopes_);

    // A requested failure, or no room for a reply: the request fails and the
    // operation is not carried out (no held keystroke is lost).
    const std::uint32_t room = Min(outputLength, kEnvelopeCapacity) & ~7u;
    if (failCount_ > 0 || output == nullptr || room < kEnvelopeHeaderSize) {
        if (failCount_ > 0) {
            --failCount_;
            ++failedExchanges_;
        }
        Log(entry);
        return {true, 0};
    }

    const std::uint32_t replyLength = valid ? Min(inputLength, room) : room;
    std::uint32_t returned = replyLength;
    Zero(reply_, replyLength);
    Reply reply = {status, 0};
    if (valid) {
        reply = Apply(entry.operation, entry.callerValue, entry.callerTag, replyLength - kEnvelopeHeaderSize);
        entry.replyStatus = reply.status;
        if (nextReply_.setStatus != 0) reply.status = nextReply_.status;
        if (nextReply_.setDataLength != 0) reply.dataLength = nextReply_.dataLength;
        if (nextReply_.setReplyLength != 0) returned = Min(nextReply_.replyLength, replyLength);
        nextReply_ = {};
    }
    WriteEnvelopeWord(reply_, kEnvDataLength, reply.dataLength);
    WriteEnvelopeWord(reply_, kEnvStatus, reply.status);
    EncipherBlocks(EnvelopeKey(), reply_, replyLength);
    Copy(output, reply_, returned);
    Log(entry);
    return {false, returned};
}

FilterEngine::Reply FilterEngine::Apply(std::uint32_t operation, std::uint32_t callerValue, std::uint32_t callerTag,
                                        std::uint32_t dataRoom) noexcept {
    switch (operation) {
    case VNL_OP_PROTECT_ON:
        protectionOn_ = true;
        callerValue_ = callerValue;
        callerTag_ = callerTag;
        return {0, 0};
    case VNL_OP_PROTECT_OFF:
        protectionOn_ = false;
        callerValue_ = callerValue;
        callerTag_ = callerTag;
        heldFirst_ = heldCount_ = 0;  // switching off drops what is held
        return {0, 0};
    case VNL_OP_FETCH_KEYS:
        return {0, WriteKeyRecords(Min(dataRoom, kFetchKeysCapacity))};
    case VNL_OP_LIST_FILTERS:
        return {0, WriteFilterEntries(Min(dataRoom, kListFiltersCapacity))};
    default:
        return {kReplyUnknownOperation, 0};
    }
}

std::uint32_t FilterEngine::WriteKeyRecords(std::uint32_t dataRoom) noexcept {
    const std::uint32_t count = Min(heldCount_, dataRoom / sizeof(KeyRecord));
    for (std::uint32_t i = 0; i < count; ++i) {
        const KeyRecord& record = held_[heldFirst_];
        unsigned char* to = reply_ + kEnvData + i * sizeof(KeyRecord);
        WriteEnvelopeHalf(to, 0, record.unitNumber);
        WriteEnvelopeHalf(to, 2, record.makeCode);
        WriteEnvelopeHalf(to, 4, record.flags);
        WriteEnvelopeHalf(to, 6, record.unitValue);
        heldFirst_ = (heldFirst_ + 1) % kHeldRecordCapacity;
        --heldCount_;
    }
    return count * sizeof(KeyRecord);
}

std::uint32_t FilterEngine::WriteFilterEntries(std::uint32_t dataRoom) noexcept {
    const FilterEntry* entries = listing_;
    std::uint32_t count = listingCount_;
    if (!listingSet_) {
        entries = defaultScratch_;
        count = defaultListing_ != nullptr ? Min(defaultListing_(defaultScratch_, kMaxFilterEntries), kMaxFilterEntries) : 0;
    }
    count = Min(count, dataRoom / sizeof(FilterEntry));
    for (std::uint32_t i = 0; i < count; ++i)
        WriteFilterEntry(reply_ + kEnvData + i * sizeof(FilterEntry), entries[i]);
    return listingSet_ && listingOverride_ ? listingLength_ : count * sizeof(FilterEntry);
}

bool FilterEngine::PressKey(const PressKeyRequest& request, PressKeyResult& result) noexcept {
    if (request.scanCode == 0 || request.scanCode > 0x7F) return false;
    const std::uint16_t flags = request.extended != 0 ? kKeyE0 : 0;
    if (!protectionOn_) {
        result = {request.scanCode, flags, kPassedThrough};
        return true;
    }
    if (heldCount_ + 2 > kHeldRecordCapacity) {
        result = {0, 0, kSwallowed};
        return true;
    }
    // What a keyboard stack reports for one keystroke: a press record, then a
    // release record marked with the break flag; extended keys keep their
    // base make code and carry the E0 flag on both.
    HoldRecord(request.scanCode, flags);
    HoldRecord(request.scanCode, static_cast<std::uint16_t>(flags | kKeyBreak));
    result = {nextPlaceholder_, 0, kHeld};
    nextPlaceholder_ = nextPlaceholder_ == kLastPlaceholder ? kFirstPlaceholder : nextPlaceholder_ + 1;
    return true;
}

void FilterEngine::HoldRecord(std::uint16_t makeCode, std::uint16_t flags) noexcept {
    held_[(heldFirst_ + heldCount_) % kHeldRecordCapacity] = {0, makeCode, flags, 0};
    ++heldCount_;
}

bool FilterEngine::SetFilters(const unsigned char* request, std::size_t length) noexcept {
    if (request == nullptr || length < kSetFiltersHeaderSize) return false;
    const std::uint32_t useDefault = ReadEnvelopeWord(request, 0);
    const std::uint32_t count = ReadEnvelopeWord(request, 4);
    if (useDefault != 0) {
        listingSet_ = false;
        return true;
    }
    if (count > kMaxFilterEntries || length < kSetFiltersHeaderSize + count * sizeof(FilterEntry)) return false;
    listingSet_ = true;
    listingCount_ = count;
    listingOverride_ = ReadEnvelopeWord(request, 8) != 0;
    listingLength_ = ReadEnvelopeWord(request, 12);
    Zero(listing_, sizeof listing_);
    for (std::uint32_t i = 0; i < count; ++i) {
        const unsigned char* from = request + kSetFiltersHeaderSize + i * sizeof(FilterEntry);
        listing_[i].inUse = ReadEnvelopeWord(from, 0);
        for (std::size_t u = 0; u < kFilterNameUnits; ++u)
            listing_[i].name[u] = static_cast<char16_t>(ReadEnvelopeHalf(from, 4 + 2 * u));
    }
    return true;
}

DriverState FilterEngine::State() const noexcept {
    return {protectionOn_ ? 1u : 0u, callerValue_,       callerTag_,       heldCount_,
            validEnvelopes_,         invalidEnvelopes_, failedExchanges_, loggedEnvelopes_};
}

void FilterEngine::Log(const LogEntry& entry) noexcept {
    log_[loggedEnvelopes_ % kLogCapacity] = entry;
    ++loggedEnvelopes_;
}

void FilterEngine::ReadLog(LogReply& reply) const noexcept {
    Zero(&reply, sizeof reply);
    reply.count = Min(loggedEnvelopes_, kLogCapacity);
    const std::uint32_t first = loggedEnvelopes_ - reply.count;
    for (std::uint32_t i = 0; i < reply.count; ++i) reply.entries[i] = log_[(first + i) % kLogCapacity];
}

void FilterEngine::Reset() noexcept {
    protectionOn_ = false;
    callerValue_ = callerTag_ = 0;
    heldFirst_ = heldCount_ = 0;
    nextPlaceholder_ = kFirstPlaceholder;
    listingSet_ = listingOverride_ = false;
    listingCount_ = listingLength_ = 0;
    nextReply_ = {};
    failCount_ = 0;
    validEnvelopes_ = invalidEnvelopes_ = failedExchanges_ = loggedEnvelopes_ = 0;
    Zero(log_, sizeof log_);
}

}  // namespace vnl::drv
