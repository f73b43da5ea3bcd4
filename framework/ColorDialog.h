// The system colour chooser with the process-wide table of 16 custom colours.
//
// Usage:
//   vnl::ColorDialog chooser(current);
//   if (chooser.DoModal(owner) == IDOK) current = chooser.Color();
//
// The custom colours start white; what the user changes in the chooser stays
// for the life of the process (every ColorDialog shares the table) and is
// never stored.
#pragma once

#include <windows.h>
#include <commdlg.h>

namespace vnl {

// The process-wide table of 16 custom colours (each module that links the
// framework has its own).
COLORREF* CustomColors() noexcept;

class ColorDialog {
public:
    // Flags for the initial colour, the fully opened dialog and the hook
    // (0x13): CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK.
    static constexpr DWORD kDefaultFlags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;

    explicit ColorDialog(COLORREF initial = 0, DWORD flags = kDefaultFlags) noexcept;

    // Runs the chooser. IDOK when the user confirmed a colour (Color() has
    // it), IDCANCEL when the user cancelled or the chooser failed (Color()
    // keeps the initial colour).
    INT_PTR DoModal(HWND owner = nullptr) noexcept;

    COLORREF Color() const noexcept { return choose_.rgbResult; }

    // The chooser's window while it is up (from its hook), else null.
    HWND Handle() const noexcept { return hwnd_; }

private:
    static UINT_PTR CALLBACK Hook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    CHOOSECOLORW choose_{};
    HWND hwnd_ = nullptr;
};

}  // namespace vnl
