#include "HookThreadTable.h"

namespace vnl {
namespace {

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& lock_;
};

class SharedLock {
public:
    explicit SharedLock(SRWLOCK& lock) noexcept : lock_(lock) { ::AcquireSRWLockShared(&lock_); }
    ~SharedLock() { ::ReleaseSRWLockShared(&lock_); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

private:
    SRWLOCK& lock_;
};

}  // namespace

void HookThreadTable::Add(DWORD threadId) noexcept {
    ExclusiveLock hold(lock_);
    if (nextSlot_ >= kCapacity) {
        nextSlot_ = 0;
        count_ = kCapacity - 1;
    }
    entries_[nextSlot_] = Entry{threadId, nullptr};
    ++nextSlot_;
    if (count_ < kCapacity) ++count_;
}

std::uint32_t HookThreadTable::FindLocked(DWORD threadId) const noexcept {
    for (std::uint32_t i = 0; i < count_; ++i)
        if (entries_[i].threadId == threadId) return i;
    return kCapacity;
}

void HookThreadTable::SetHook(DWORD threadId, HHOOK hook) noexcept {
    ExclusiveLock hold(lock_);
    std::uint32_t index = FindLocked(threadId);
    if (index < kCapacity) entries_[index].hook = hook;
}

HHOOK HookThreadTable::GetHook(DWORD threadId) const noexcept {
    SharedLock hold(lock_);
    std::uint32_t index = FindLocked(threadId);
    return index < kCapacity ? entries_[index].hook : nullptr;
}

bool HookThreadTable::Contains(DWORD threadId) const noexcept {
    SharedLock hold(lock_);
    return FindLocked(threadId) < kCapacity;
}

void HookThreadTable::ForgetHook(HHOOK hook) noexcept {
    if (!hook) return;
    ExclusiveLock hold(lock_);
    for (std::uint32_t i = 0; i < count_; ++i)
        if (entries_[i].hook == hook) entries_[i].hook = nullptr;
}

std::uint32_t HookThreadTable::Count() const noexcept {
    SharedLock hold(lock_);
    return count_;
}

DWORD HookThreadTable::ThreadIdAt(std::uint32_t index) const noexcept {
    SharedLock hold(lock_);
    return index < count_ ? entries_[index].threadId : 0;
}

}  // namespace vnl
