#include "KeystrokeDecoder.h"

#include "DriverChannel.h"
#include "DriverProtocol.h"
#include "KeyboardLayout.h"

namespace vnl {
namespace {

struct KeypadEntry { std::uint8_t scanCode; std::uint8_t virtualKey; };
// Scan codes of the keypad digits and decimal point. The keypad minus (0x4A)
// and plus (0x4E) are absent: they mean the same with NumLock on or off.
constexpr KeypadEntry kKeypad[] = {
    {0x47, 0x67}, {0x48, 0x68}, {0x49, 0x69}, {0x4B, 0x64}, {0x4C, 0x65}, {0x4D, 0x66},
    {0x4F, 0x61}, {0x50, 0x62}, {0x51, 0x63}, {0x52, 0x60}, {0x53, 0x6E},
};

constexpr UINT kScanCodeToVirtualKey = 1;   // MAPVK_VSC_TO_VK
constexpr int kTranslationRoom = 3;        // UTF-16 units the layout may produce

}  // namespace

unsigned QueueReleasedKeys(const unsigned char* records, std::uint32_t length, std::deque<QueuedKey>& queue) {
    unsigned queued = 0;
    for (std::uint32_t offset = 0; offset + sizeof(KeyRecord) <= length; offset += sizeof(KeyRecord)) {
        const std::uint16_t flags = ReadEnvelopeHalf(records, offset + offsetof(KeyRecord, flags));
        if ((flags & kKeyBreak) == 0) continue;
        const auto scanCode = static_cast<std::uint8_t>(ReadEnvelopeHalf(records, offset + offsetof(KeyRecord, makeCode)));
        queue.push_back(static_cast<QueuedKey>(scanCode | ((flags & kKeyE0) != 0 ? kQueuedExtended : 0)));
        ++queued;
    }
    return queued;
}

std::uint32_t KeypadVirtualKey(QueuedKey key) noexcept {
    if ((key & kQueuedExtended) != 0) return 0;
    for (const KeypadEntry& entry : kKeypad)
        if (entry.scanCode == key) return entry.virtualKey;
    return 0;
}

DriverChannel::HeldKey DriverChannel::NextHeldKeyLocked(const BYTE* keyState) noexcept {
    unsigned char records[kFetchKeysCapacity] = {};
    std::uint32_t length = 0;
    // A failed fetch leaves `length` 0, and a driver error status still
    // delivers the records it carried: either way only the records count.
    (void)RequestDataLocked(VNL_OP_FETCH_KEYS, kFetchKeysCapacity, records, &length);
    try {
        QueueReleasedKeys(records, length, pendingKeys_);
    } catch (...) {
        // Out of memory for the queue: the records of this fetch are lost,
        // but what was queued before is still good.
    }
    // No new keystroke: the placeholder repeats the previous one.
    if (pendingKeys_.empty()) return {lastVirtualKey_, lastScanCode_};

    const QueuedKey queued = pendingKeys_.front();
    pendingKeys_.pop_front();
    const auto scanCode = static_cast<std::uint8_t>(queued & 0xFF);
    const KeyboardLayoutTable& layout = CurrentKeyboardLayout();
    std::uint32_t virtualKey = 0;
    // NumLock toggled on or held down.
    if ((keyState[VK_NUMLOCK] & 0x81) != 0) virtualKey = KeypadVirtualKey(queued);
    if (virtualKey == 0)
        virtualKey = layout.mapVirtualKeyEx(scanCode, kScanCodeToVirtualKey, layout.getKeyboardLayout(0));
    lastVirtualKey_ = virtualKey;
    lastScanCode_ = scanCode;
    return {virtualKey, scanCode};
}

int DriverChannel::DecodeProtectedKey(int* character, int* virtualKey, int* count) noexcept {
    if (character == nullptr || virtualKey == nullptr || count == nullptr) return -1;
    const KeyboardLayoutTable& layout = CurrentKeyboardLayout();
    HKL keyboardLayout = layout.getKeyboardLayout(0);
    const auto placeholderKey =
        static_cast<std::uint8_t>(layout.vkKeyScanEx(static_cast<CHAR>(*character & 0xFF), keyboardLayout));

    Lock guard(*this);
    if (protectionOn_ == 0) return -1;
    if (placeholderKey < '0' || placeholderKey > '9') return -1;

    // One snapshot of this thread's keyboard state serves the translation and
    // the NumLock and Shift reads: it holds what the key-state call would
    // give for each key, and every call for it is a round trip to the system.
    BYTE keyState[256] = {};
    layout.getKeyboardState(keyState);
    const HeldKey key = NextHeldKeyLocked(keyState);
    if (deadKeyPending_ != 0) {
        // Put the dead key back into the layout's state (the placeholder's own
        // translation has cleared it), with Shift as it was when the dead key
        // was struck.
        const BYTE shiftNow = keyState[VK_SHIFT];
        keyState[VK_SHIFT] = shiftAtDeadKey_ != 0 ? 0x80 : 0;
        WCHAR ignored[kTranslationRoom + 1] = {};
        layout.toUnicodeEx(deadKeyVirtualKey_, deadKeyScanCode_, keyState, ignored, kTranslationRoom, 0,
                           keyboardLayout);
        keyState[VK_SHIFT] = shiftNow;
    }

    WCHAR units[kTranslationRoom + 1] = {};
    const int produced =
        layout.toUnicodeEx(key.virtualKey, key.scanCode, keyState, units, kTranslationRoom, 0, keyboardLayout);
    *count = produced;
    if (produced < 0) {
        *character = 0;
        *virtualKey = 0;
        deadKeyVirtualKey_ = key.virtualKey;
        deadKeyScanCode_ = key.scanCode;
        // Only the dead key's own Shift counts for its replay: a key without a
        // character struck before the letter must not change it.
        shiftAtDeadKey_ = (keyState[VK_SHIFT] & 0x80) != 0 ? 1 : 0;
        deadKeyPending_ = 1;
        return -2;
    }
    if (produced == 0) {
        // No character: the caller injects the key itself. A pending dead key
        // stays pending for the next translation.
        *character = 0;
        *virtualKey = static_cast<int>(key.virtualKey);
        return 0;
    }
    // One unit is the character (composed with a pending dead key); two or
    // more mean the dead key could not be composed, and the second unit is the
    // keystroke's own character.
    *character = produced == 1 ? units[0] : units[1];
    *virtualKey = 0;
    deadKeyPending_ = 0;
    return 0;
}

}  // namespace vnl
