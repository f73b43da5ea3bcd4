// The user-mode end of the protocol with the keyboard filter driver on
// "\\.\VNLV2". Every exchange is one synchronous device control call carrying
// an enciphered envelope; the operation code travels inside the envelope.
//
// Each module that carries the client library has one process-wide channel,
// constructed when the module loads and destroyed (closing its handle) when it
// unloads, reached through the plain functions at the end of this header. The
// channel also holds the keystroke-decoding state, because decoding consumes
// the records that the channel fetches.
//
// Results are 32-bit integers: 0 success, -1 exchange failed or channel
// closed, -2 dead key held (decoding), 6 exception while opening, otherwise a
// system error code or the driver's status word.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>

#include "UniqueAny.h"

namespace vnl {

class DriverChannel {
public:
    // Both envelope buffers allocated and zeroed, handle invalid, protection
    // off, no dead key, queue empty, last key 0.
    DriverChannel() noexcept;
    ~DriverChannel();
    DriverChannel(const DriverChannel&) = delete;
    DriverChannel& operator=(const DriverChannel&) = delete;

    // Opens the device for reading and writing, unshared, existing only. Any
    // handle already held is closed first. Returns the system's error code
    // when the device cannot be opened (the channel is then closed) and 6 when
    // an exception escaped. Once open: with `skipCheck` non-zero 0; with
    // `skipCheck` zero the result of the signature check of the keyboard
    // filter drivers (TrustCheck.h): 0, or 10 when an untrusted one is listed.
    int Open(int skipCheck) noexcept;

    // Closes the handle if one is held; the channel is closed afterwards in
    // every case. Returns 0, or the system's error code when closing failed.
    int Close() noexcept;

    // Sends protection on (`on` non-zero) or off with `value` as the caller
    // value. Records `on` as the protection flag and empties the pending key
    // queue whatever the outcome. Returns 0, or -1 when the channel is closed
    // or the exchange failed; the driver's status word is not consulted.
    int SetProtection(int on, std::uint32_t value) noexcept;

    // Decodes the placeholder character `*character` (low byte) into the
    // keystroke the driver held. Returns -1 with all three arguments untouched
    // when protection is off, the character is not a digit placeholder or an
    // argument is null; -2 when a dead key was held (character and virtual key
    // 0, count the layout's negative result); otherwise 0 with either a
    // character to insert (virtual key 0) or character 0 and the virtual key
    // to inject. `*count` is the number of UTF-16 units the layout produced.
    int DecodeProtectedKey(int* character, int* virtualKey, int* count) noexcept;

    // Library-internal requests. `destination` must hold the operation's data
    // capacity (80 and 7880 bytes). On a completed exchange: copies the reply's
    // data, at most that capacity, stores the copied length in `*length` and
    // returns the driver's status word (data and length are delivered whatever
    // the status). On a failed exchange (a short reply included), a closed
    // channel or a null argument: returns -1 and leaves `*length` unwritten.
    int FetchKeystrokes(void* destination, std::uint32_t* length) noexcept;
    int ListKeyboardFilters(void* destination, std::uint32_t* length) noexcept;

    bool IsOpen() const noexcept;
    bool ProtectionOn() const noexcept;

private:
    // Holds the channel's lock for its scope.
    class Lock {
    public:
        explicit Lock(const DriverChannel& channel) noexcept : section_(&channel.lock_) {
            ::EnterCriticalSection(section_);
        }
        ~Lock() { ::LeaveCriticalSection(section_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        CRITICAL_SECTION* section_;
    };
    struct HeldKey { std::uint32_t virtualKey; std::uint8_t scanCode; };

    // Builds the request for `operation` in the request buffer and runs the
    // exchange. The caller holds the lock.
    int ExchangeLocked(std::uint32_t operation, std::uint32_t dataWord) noexcept;
    // Enciphers the request, makes the device call and deciphers the reply
    // into the reply buffer. The caller holds the lock. Returns 0 or -1; a
    // reply shorter than its header, or than header plus the data it claims,
    // is a failure. On failure the reply buffer keeps what it held.
    int Transact(bool encipherRequest, bool cipherReply) noexcept;
    int RequestDataLocked(std::uint32_t operation, std::uint32_t capacity, void* destination,
                          std::uint32_t* length) noexcept;
    // Takes the next held keystroke (fetching first) and maps it with NumLock
    // as `keyState` has it; with nothing held, repeats the last one.
    HeldKey NextHeldKeyLocked(const BYTE* keyState) noexcept;

    // Fields in the order of the channel's record.
    std::unique_ptr<unsigned char[]> requestBuffer_;
    std::unique_ptr<unsigned char[]> replyBuffer_;
    UniqueFileHandle device_;
    std::uint32_t requestSize_ = 0;
    std::uint32_t replySize_ = 0;
    int protectionOn_ = 0;
    std::uint32_t deadKeyVirtualKey_ = 0;
    std::uint32_t deadKeyScanCode_ = 0;
    int deadKeyPending_ = 0;
    int shiftAtDeadKey_ = 0;
    std::deque<std::uint16_t> pendingKeys_;  // QueuedKey: scan code and extended bit
    std::uint32_t lastVirtualKey_ = 0;
    std::uint8_t lastScanCode_ = 0;

    // One lock held for the whole of each exchange, including the copy-out of
    // the reply, and over the decoding state: the user-interface thread and
    // the menu watcher thread share the buffers.
    mutable CRITICAL_SECTION lock_;
};

// The module's channel and its operations.
DriverChannel& ModuleDriverChannel() noexcept;
int OpenDriverChannel(int skipCheck) noexcept;
int CloseDriverChannel() noexcept;
int SetDriverProtection(int on, std::uint32_t value) noexcept;
int DecodeProtectedKey(int* character, int* virtualKey, int* count) noexcept;
int FetchKeystrokes(void* destination, std::uint32_t* length) noexcept;
int ListKeyboardFilters(void* destination, std::uint32_t* length) noexcept;

}  // namespace vnl
