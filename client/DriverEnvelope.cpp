#include "DriverEnvelope.h"

namespace vnl {

std::uint32_t BuildRequest(unsigned char* envelope, std::uint32_t operation, std::uint32_t callerTag,
                           std::uint32_t dataWord) noexcept {
    const OperationLayout* layout = FindOperation(operation);
    if (layout == nullptr) return 0;
    WriteRequestHeader(envelope, *layout, callerTag);
    if (operation == VNL_OP_PROTECT_ON || operation == VNL_OP_PROTECT_OFF)
        WriteEnvelopeWord(envelope, kEnvData, dataWord);
    return layout->totalLength;
}

ReplyData ReadReply(const unsigned char* reply, std::uint32_t capacity) noexcept {
    const std::uint32_t claimed = ReadEnvelopeWord(reply, kEnvDataLength);
    if (capacity > kEnvelopeMaxData) capacity = kEnvelopeMaxData;
    return {ReadEnvelopeWord(reply, kEnvStatus), claimed < capacity ? claimed : capacity, reply + kEnvData};
}

bool ReplyIsWhole(const unsigned char* reply, std::uint32_t returned, std::uint32_t capacity) noexcept {
    // A block the driver wrote only in part deciphers to noise.
    const std::uint32_t whole = returned & ~7u;
    if (whole < kEnvelopeHeaderSize) return false;
    return ReadReply(reply, capacity).length <= whole - kEnvelopeHeaderSize;
}

}  // namespace vnl
