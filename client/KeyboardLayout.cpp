#include "KeyboardLayout.h"

#include <atomic>

namespace vnl {
namespace {

const KeyboardLayoutTable kSystemLayout = {
    &::GetKeyboardLayout,
    &::VkKeyScanExA,
    &::MapVirtualKeyExW,
    &::GetKeyboardState,
    &::ToUnicodeEx,
};

std::atomic<const KeyboardLayoutTable*> g_layout{&kSystemLayout};

}  // namespace

const KeyboardLayoutTable& SystemKeyboardLayout() noexcept { return kSystemLayout; }

const KeyboardLayoutTable& CurrentKeyboardLayout() noexcept { return *g_layout.load(); }

const KeyboardLayoutTable* InstallKeyboardLayout(const KeyboardLayoutTable* table) noexcept {
    return g_layout.exchange(table != nullptr ? table : &kSystemLayout);
}

}  // namespace vnl
