#include "ResourceInstance.h"

namespace vnl {
namespace {
HINSTANCE g_module = nullptr;
// Null means "the module itself" until InitModuleInstance has run.
HINSTANCE volatile g_resource = nullptr;

// The open switches and the instance the first of them replaced. The count
// and the exchange change together under the lock, so a switch that ends
// while another begins can never restore over a library still in use; the
// instance itself is still read without it.
SRWLOCK g_switchLock = SRWLOCK_INIT;
LONG g_openSwitches = 0;
HINSTANCE g_beforeSwitches = nullptr;
}  // namespace

void InitModuleInstance(HINSTANCE module) noexcept {
    g_module = module;
    ::InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&g_resource), module, nullptr);
}

HINSTANCE ModuleInstance() noexcept {
    return g_module ? g_module : ::GetModuleHandleW(nullptr);
}

HINSTANCE ResourceInstance() noexcept {
    HINSTANCE current = static_cast<HINSTANCE>(::InterlockedCompareExchangePointer(
        reinterpret_cast<PVOID volatile*>(&g_resource), nullptr, nullptr));
    return current ? current : ModuleInstance();
}

HINSTANCE ExchangeResourceInstance(HINSTANCE next) noexcept {
    HINSTANCE previous = static_cast<HINSTANCE>(
        ::InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_resource), next));
    return previous ? previous : ModuleInstance();
}

void BeginResourceSwitch(HINSTANCE library) noexcept {
    ::AcquireSRWLockExclusive(&g_switchLock);
    const HINSTANCE replaced = ExchangeResourceInstance(library);
    if (g_openSwitches++ == 0) g_beforeSwitches = replaced;
    ::ReleaseSRWLockExclusive(&g_switchLock);
}

void EndResourceSwitch() noexcept {
    ::AcquireSRWLockExclusive(&g_switchLock);
    if (g_openSwitches > 0 && --g_openSwitches == 0) {
        ExchangeResourceInstance(g_beforeSwitches);
        g_beforeSwitches = nullptr;
    }
    ::ReleaseSRWLockExclusive(&g_switchLock);
}

}  // namespace vnl
