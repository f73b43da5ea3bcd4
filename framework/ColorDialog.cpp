#include "ColorDialog.h"

#include <array>

namespace vnl {

COLORREF* CustomColors() noexcept {
    static std::array<COLORREF, 16> colors = [] {
        std::array<COLORREF, 16> white;
        white.fill(RGB(255, 255, 255));
        return white;
    }();
    return colors.data();
}

ColorDialog::ColorDialog(COLORREF initial, DWORD flags) noexcept {
    choose_.lStructSize = sizeof choose_;
    choose_.rgbResult = initial;
    choose_.lpCustColors = CustomColors();
    choose_.Flags = flags;
    choose_.lpfnHook = &ColorDialog::Hook;
    choose_.lCustData = reinterpret_cast<LPARAM>(this);
}

INT_PTR ColorDialog::DoModal(HWND owner) noexcept {
    const COLORREF initial = choose_.rgbResult;
    choose_.hwndOwner = owner;
    BOOL chosen = ::ChooseColorW(&choose_);
    hwnd_ = nullptr;
    if (!chosen) {
        choose_.rgbResult = initial;
        return IDCANCEL;
    }
    return IDOK;
}

UINT_PTR CALLBACK ColorDialog::Hook(HWND hwnd, UINT message, WPARAM, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG && lParam) {
        const auto* choose = reinterpret_cast<const CHOOSECOLORW*>(lParam);
        if (auto* self = reinterpret_cast<ColorDialog*>(choose->lCustData)) self->hwnd_ = hwnd;
    }
    return 0;  // the chooser's own handling
}

}  // namespace vnl
