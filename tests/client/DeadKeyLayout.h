// A keyboard layout of the tests' own, installed through the replaceable
// layout table: Wine offers no layout with dead keys. It knows the letters,
// the digits, Space, the arrows and F1, and two dead-key keys:
//   scan 0x28 (virtual key 0xDE): acute, with Shift diaeresis;
//   scan 0x29 (virtual key 0xC0): grave, with Shift circumflex.
// A dead key followed by a letter it accents composes to one unit; followed
// by anything else with a character, it gives the accent and that character.
// Shift, NumLock and the dead-key state are the layout's own, set by the test.
#pragma once

#include "KeyboardLayout.h"

namespace testlayout {

struct State {
    bool shiftDown = false;
    bool numLockOn = false;
    wchar_t pendingAccent = 0;  // spacing accent of the dead key held in the layout
};

// The layout's state; reset by every DeadKeyLayoutScope.
State& Current();

// What the system does when the placeholder digit itself is translated: a dead
// key held in the layout is used up.
void PlaceholderTranslated();

const vnl::KeyboardLayoutTable& Table();

// Installs the layout, with a fresh state, for the scope.
class DeadKeyLayoutScope {
public:
    DeadKeyLayoutScope() { Current() = State{}; }

private:
    vnl::ScopedKeyboardLayout scope_{Table()};
};

}  // namespace testlayout
