// The threads of this process that get the message hook, each with the hook
// installed on it. The table keeps the most recently added thread ids: when
// it is full, adding starts again at the first entry.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace vnl {

class HookThreadTable {
public:
    static constexpr std::uint32_t kCapacity = 3000;

    HookThreadTable() noexcept = default;
    HookThreadTable(const HookThreadTable&) = delete;
    HookThreadTable& operator=(const HookThreadTable&) = delete;

    // Stores `threadId` (with no hook) at the next slot. When the next slot
    // has reached the capacity it wraps to 0 and the count becomes one less
    // than the capacity, so the count never exceeds the capacity and the
    // entry overwritten is the oldest.
    void Add(DWORD threadId) noexcept;

    // On the first entry (lowest index) that holds `threadId`. SetHook ignores
    // an id that is not in the table; GetHook yields null for it.
    void SetHook(DWORD threadId, HHOOK hook) noexcept;
    HHOOK GetHook(DWORD threadId) const noexcept;
    bool Contains(DWORD threadId) const noexcept;

    // Clears the hook of every entry that holds `hook`.
    void ForgetHook(HHOOK hook) noexcept;

    std::uint32_t Count() const noexcept;
    // Thread id at `index`, 0 beyond the count.
    DWORD ThreadIdAt(std::uint32_t index) const noexcept;

private:
    struct Entry {
        DWORD threadId;
        HHOOK hook;
    };
    // The caller holds the lock. Index of the first match, or kCapacity.
    std::uint32_t FindLocked(DWORD threadId) const noexcept;

    // Browser threads add and look up while the first band installs and the
    // last band removes; the lock keeps each operation whole.
    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    std::uint32_t count_ = 0;
    std::uint32_t nextSlot_ = 0;
    Entry entries_[kCapacity] = {};
};

}  // namespace vnl
