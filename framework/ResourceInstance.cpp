#include "ResourceInstance.h"

namespace vnl {
namespace {
HINSTANCE g_module = nullptr;
// Null means "the module itself" until InitModuleInstance has run.
HINSTANCE volatile g_resource = nullptr;
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

}  // namespace vnl
