// The keyboard layout services that keystroke decoding relies on, reached
// through one replaceable table. The default table calls user32; a test (or a
// host whose system lacks a layout it needs) installs its own, for example a
// layout with dead keys.
#pragma once

#include <windows.h>

namespace vnl {

// Each entry has the contract of the user32 function it is named after. The
// state of single keys (Shift, NumLock) is read from the keyboard-state
// snapshot, which carries the same bits as the key-state call.
struct KeyboardLayoutTable {
    HKL   (WINAPI* getKeyboardLayout)(DWORD threadId);
    SHORT (WINAPI* vkKeyScanEx)(CHAR character, HKL layout);
    UINT  (WINAPI* mapVirtualKeyEx)(UINT code, UINT mapType, HKL layout);
    BOOL  (WINAPI* getKeyboardState)(BYTE* keyState);
    int   (WINAPI* toUnicodeEx)(UINT virtualKey, UINT scanCode, const BYTE* keyState,
                                WCHAR* buffer, int bufferUnits, UINT flags, HKL layout);
};

// The table that calls user32.
const KeyboardLayoutTable& SystemKeyboardLayout() noexcept;

// The table in use by this module: the system's unless another was installed.
const KeyboardLayoutTable& CurrentKeyboardLayout() noexcept;

// Makes `table` the one in use for the whole module (null puts the system's
// back) and returns the table it replaced. The table must outlive its use;
// every entry must be set.
const KeyboardLayoutTable* InstallKeyboardLayout(const KeyboardLayoutTable* table) noexcept;

// Installs a table for the lifetime of the scope and puts the previous one back.
class ScopedKeyboardLayout {
public:
    explicit ScopedKeyboardLayout(const KeyboardLayoutTable& table) noexcept
        : previous_(InstallKeyboardLayout(&table)) {}
    ~ScopedKeyboardLayout() { InstallKeyboardLayout(previous_); }
    ScopedKeyboardLayout(const ScopedKeyboardLayout&) = delete;
    ScopedKeyboardLayout& operator=(const ScopedKeyboardLayout&) = delete;

private:
    const KeyboardLayoutTable* previous_;
};

}  // namespace vnl
