#include "ProgressDialog.h"

#include <commctrl.h>

#include "resource.h"

namespace vnl {

ProgressDialog::ProgressDialog(UINT textId) noexcept : textId_(textId) {
    window_ = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS), nullptr,
                                   DialogThunk, reinterpret_cast<LPARAM>(this));
    if (window_ == nullptr) return;
    ::ShowWindow(window_, SW_SHOWNORMAL);
    ::UpdateWindow(window_);
    PumpPending();
}

ProgressDialog::~ProgressDialog() {
    if (window_ == nullptr) return;
    ::DestroyWindow(window_);
    window_ = nullptr;
    PumpPending();
}

void ProgressDialog::Report(int position) noexcept {
    if (window_ == nullptr) return;
    ::SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    ::UpdateWindow(window_);
    PumpPending();
}

void ProgressDialog::PumpPending() noexcept {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (window_ != nullptr && ::IsDialogMessageW(window_, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

INT_PTR CALLBACK ProgressDialog::DialogThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    auto* self = reinterpret_cast<ProgressDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    if (message == WM_INITDIALOG) self->window_ = window;
    return self->OnMessage(message, wParam, lParam);
}

INT_PTR ProgressDialog::OnMessage(UINT message, WPARAM, LPARAM) noexcept {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog();
    // The run closes the window; the user cannot end an action half-way.
    case WM_CLOSE: return TRUE;
    default: return FALSE;
    }
}

BOOL ProgressDialog::OnInitDialog() noexcept {
    ::SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 100);
    ::SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
    if (textId_ != 0) {
        wchar_t text[128] = {};
        if (::LoadStringW(::GetModuleHandleW(nullptr), textId_, text, ARRAYSIZE(text)) > 0)
            ::SetDlgItemTextW(window_, IDC_PROGRESS_TEXT, text);
    }
    return TRUE;
}

}  // namespace vnl
