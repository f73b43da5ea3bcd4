#include "DriverChannel.h"

#include <cstring>
#include <new>

#include "Blowfish.h"
#include "DriverEnvelope.h"
#include "TrustCheck.h"

namespace vnl {
namespace {

constexpr const char* kDevicePath = "\\\\.\\VNLV2";

constexpr bool EveryEnvelopeIsWholeBlocks() {
    for (const OperationLayout& layout : kOperationLayouts)
        if (layout.totalLength % 8 != 0 || layout.totalLength > kEnvelopeCapacity) return false;
    return true;
}
// The cipher works on whole 8-byte blocks; no envelope needs padding.
static_assert(EveryEnvelopeIsWholeBlocks());

std::uint32_t CallerTag() noexcept {
    // Unsigned 32-bit sum: wraps around by design.
    return static_cast<std::uint32_t>(::GetCurrentThreadId()) + static_cast<std::uint32_t>(::GetCurrentProcessId());
}

unsigned char* NewZeroedEnvelope() noexcept {
    return new (std::nothrow) unsigned char[kEnvelopeCapacity]();
}

}  // namespace

DriverChannel::DriverChannel() noexcept
    : requestBuffer_(NewZeroedEnvelope()), replyBuffer_(NewZeroedEnvelope()) {
    ::InitializeCriticalSection(&lock_);
}

DriverChannel::~DriverChannel() {
    ::DeleteCriticalSection(&lock_);
}

int DriverChannel::Open(int skipCheck) noexcept {
    try {
        {
            Lock guard(*this);
            device_.reset();
            HANDLE device = ::CreateFileA(kDevicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                          nullptr);
            if (device == INVALID_HANDLE_VALUE) return static_cast<int>(::GetLastError());
            device_.reset(device);
        }
        // The check lists the filters through this channel, so it runs
        // outside the lock.
        if (skipCheck != 0) return 0;
        return CheckKeyboardFilterTrust(*this);
    } catch (...) {
        return 6;
    }
}

int DriverChannel::Close() noexcept {
    Lock guard(*this);
    if (!device_.valid()) return 0;
    // Closed by hand, not through the owner, because the caller wants the
    // system's answer; the handle is released either way.
    if (!::CloseHandle(device_.release())) return static_cast<int>(::GetLastError());
    return 0;
}

int DriverChannel::SetProtection(int on, std::uint32_t value) noexcept {
    Lock guard(*this);
    protectionOn_ = on;
    pendingKeys_.clear();
    return ExchangeLocked(on != 0 ? VNL_OP_PROTECT_ON : VNL_OP_PROTECT_OFF, value);
}

int DriverChannel::FetchKeystrokes(void* destination, std::uint32_t* length) noexcept {
    Lock guard(*this);
    return RequestDataLocked(VNL_OP_FETCH_KEYS, kFetchKeysCapacity, destination, length);
}

int DriverChannel::ListKeyboardFilters(void* destination, std::uint32_t* length) noexcept {
    Lock guard(*this);
    return RequestDataLocked(VNL_OP_LIST_FILTERS, kListFiltersCapacity, destination, length);
}

bool DriverChannel::IsOpen() const noexcept {
    Lock guard(*this);
    return device_.valid();
}

bool DriverChannel::ProtectionOn() const noexcept {
    Lock guard(*this);
    return protectionOn_ != 0;
}

int DriverChannel::RequestDataLocked(std::uint32_t operation, std::uint32_t capacity, void* destination,
                                     std::uint32_t* length) noexcept {
    if (destination == nullptr || length == nullptr) return -1;
    if (ExchangeLocked(operation, 0) != 0) return -1;
    const ReplyData reply = ReadReply(replyBuffer_.get(), capacity);
    std::memcpy(destination, reply.data, reply.length);
    *length = reply.length;
    return static_cast<int>(reply.status);
}

int DriverChannel::ExchangeLocked(std::uint32_t operation, std::uint32_t dataWord) noexcept {
    if (!requestBuffer_ || !replyBuffer_) return -1;
    const std::uint32_t total = BuildRequest(requestBuffer_.get(), operation, CallerTag(), dataWord);
    if (total == 0) return -1;
    requestSize_ = total;
    replySize_ = total;
    return Transact(true, true);
}

int DriverChannel::Transact(bool encipherRequest, bool cipherReply) noexcept {
    // The key is a constant, so its schedule is computed once, at compile
    // time, instead of for every exchange.
    const BlowfishKey& key = EnvelopeKey();
    // The output block: only the request reaches the driver (buffered
    // method), and the reply buffer is written only once the call succeeded.
    // It starts zeroed: the driver writes only the bytes it returns.
    alignas(8) unsigned char block[kEnvelopeCapacity] = {};
    if (replySize_ > sizeof block || requestSize_ > kEnvelopeCapacity) return -1;
    // What the reply may carry, read before the request is enciphered in place.
    const std::uint32_t dataCapacity = ReadEnvelopeWord(requestBuffer_.get(), kEnvDataLength);

    if (encipherRequest) EncipherBlocks(key, requestBuffer_.get(), requestSize_);
    if (!device_.valid()) return -1;

    DWORD returned = 0;
    if (!::DeviceIoControl(device_.get(), IOCTL_VNL_TRANSACT, requestBuffer_.get(), requestSize_, block,
                           replySize_, &returned, nullptr))
        return -1;
    // The system need not cut the count to the output size.
    const std::uint32_t written = returned < replySize_ ? returned : replySize_;
    if (cipherReply) DecipherBlocks(key, block, replySize_);
    // A reply shorter than its header, or than the data it claims, is a
    // failed exchange: the rest of the block holds nothing the driver said.
    if (!ReplyIsWhole(block, written, dataCapacity)) return -1;
    std::memcpy(replyBuffer_.get(), block, replySize_);
    return 0;
}

// ---- the module's channel ---------------------------------------------------

namespace {
// Constructed when the module loads, destroyed (closing the handle) when it unloads.
DriverChannel g_moduleChannel;
}  // namespace

DriverChannel& ModuleDriverChannel() noexcept { return g_moduleChannel; }

int OpenDriverChannel(int skipCheck) noexcept { return g_moduleChannel.Open(skipCheck); }
int CloseDriverChannel() noexcept { return g_moduleChannel.Close(); }
int SetDriverProtection(int on, std::uint32_t value) noexcept { return g_moduleChannel.SetProtection(on, value); }
int DecodeProtectedKey(int* character, int* virtualKey, int* count) noexcept {
    return g_moduleChannel.DecodeProtectedKey(character, virtualKey, count);
}
int FetchKeystrokes(void* destination, std::uint32_t* length) noexcept {
    return g_moduleChannel.FetchKeystrokes(destination, length);
}
int ListKeyboardFilters(void* destination, std::uint32_t* length) noexcept {
    return g_moduleChannel.ListKeyboardFilters(destination, length);
}

}  // namespace vnl
