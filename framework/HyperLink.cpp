#include "HyperLink.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

namespace vnl {
namespace {

std::wstring WindowTextOf(HWND hwnd) {
    int length = ::GetWindowTextLengthW(hwnd);
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    int copied = ::GetWindowTextW(hwnd, buffer.data(), length + 1);
    return std::wstring(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

}  // namespace

HyperLink::~HyperLink() {
    if (tooltip_) ::DestroyWindow(tooltip_);
}

bool HyperLink::SubclassWindow(HWND control) noexcept try {
    std::wstring text = WindowTextOf(control);
    if (!WindowImpl::SubclassWindow(control)) return false;
    text_ = std::move(text);
    LONG_PTR style = ::GetWindowLongPtrW(control, GWL_STYLE);
    ::SetWindowLongPtrW(control, GWL_STYLE, style | SS_NOTIFY | WS_TABSTOP);
    MakeLinkFont();
    CreateToolTip();
    ::InvalidateRect(control, nullptr, TRUE);
    return true;
} catch (...) {
    return false;
}

void HyperLink::SetTarget(const std::wstring& target) {
    target_ = target;
    UpdateToolTip();
}

bool HyperLink::Navigate() noexcept {
    const std::wstring& target = Target();
    if (target.empty()) return false;
    HWND owner = hwnd_ ? ::GetParent(hwnd_) : nullptr;
    auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr,
                                                            SW_SHOWNORMAL));
    if (result <= 32) return false;
    visited_ = true;
    if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
    return true;
}

LRESULT HyperLink::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: return OnPaint();
    case WM_PRINTCLIENT: return OnPrintClient(reinterpret_cast<HDC>(wParam));
    case WM_ERASEBKGND: return 1;  // OnPaint fills the background
    case WM_SETCURSOR: return OnSetCursor();
    case WM_LBUTTONDOWN: return OnLButtonDown();
    case WM_LBUTTONUP: return OnLButtonUp(lParam);
    case WM_KEYDOWN: return OnKeyDown(wParam, lParam);
    case WM_CHAR: return (wParam == VK_RETURN || wParam == L' ') ? 0 : DefaultProc(message, wParam, lParam);
    case WM_GETDLGCODE: return OnGetDlgCode(lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS: return OnFocusChange(message, wParam, lParam);
    case WM_SETTEXT: return OnSetText(wParam, lParam);
    case WM_SETFONT: return OnSetFont(wParam, lParam);
    case WM_ENABLE: ::InvalidateRect(hwnd_, nullptr, TRUE); return DefaultProc(message, wParam, lParam);
    case WM_NCDESTROY: return OnNcDestroy(wParam, lParam);
    default: return DefaultProc(message, wParam, lParam);
    }
}

LRESULT HyperLink::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(hwnd_, &paint);
    if (!dc) return 0;
    Paint(dc);
    ::EndPaint(hwnd_, &paint);
    return 0;
}

LRESULT HyperLink::OnPrintClient(HDC dc) {
    if (dc) Paint(dc);
    return 0;
}

void HyperLink::Paint(HDC dc) {
    RECT client;
    ::GetClientRect(hwnd_, &client);
    // The background the dialog gives its static controls.
    HWND parent = ::GetParent(hwnd_);
    auto brush = reinterpret_cast<HBRUSH>(
        ::SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd_)));
    ::FillRect(dc, &client, brush ? brush : ::GetSysColorBrush(COLOR_BTNFACE));

    HGDIOBJ oldFont = linkFont_ ? ::SelectObject(dc, linkFont_.get()) : nullptr;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, !::IsWindowEnabled(hwnd_) ? ::GetSysColor(COLOR_GRAYTEXT)
                                                   : (visited_ ? kVisitedColor : kLinkColor));
    RECT textRect = client;
    ::DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &textRect,
                DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    ::DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &textRect,
                DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    if (::GetFocus() == hwnd_) ::DrawFocusRect(dc, &textRect);
    if (oldFont) ::SelectObject(dc, oldFont);
}

LRESULT HyperLink::OnSetCursor() {
    ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
    return TRUE;
}

LRESULT HyperLink::OnLButtonDown() {
    ::SetFocus(hwnd_);
    ::SetCapture(hwnd_);
    pressed_ = true;
    return 0;
}

LRESULT HyperLink::OnLButtonUp(LPARAM lParam) {
    bool wasPressed = pressed_;
    pressed_ = false;
    if (::GetCapture() == hwnd_) ::ReleaseCapture();
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    RECT client;
    ::GetClientRect(hwnd_, &client);
    // A click: pressed and released over the link.
    if (wasPressed && ::PtInRect(&client, point)) Navigate();
    return 0;
}

LRESULT HyperLink::OnKeyDown(WPARAM key, LPARAM lParam) {
    if (key == VK_RETURN || key == VK_SPACE) {
        Navigate();
        return 0;
    }
    return DefaultProc(WM_KEYDOWN, key, lParam);
}

LRESULT HyperLink::OnGetDlgCode(LPARAM lParam) {
    // Enter must reach the link rather than press the dialog's default button.
    // Not DLGC_STATIC: the link takes the focus like a button does.
    LRESULT code = DLGC_WANTCHARS;
    auto* message = reinterpret_cast<const MSG*>(lParam);
    if (message && message->message == WM_KEYDOWN && message->wParam == VK_RETURN) code |= DLGC_WANTALLKEYS;
    return code;
}

LRESULT HyperLink::OnFocusChange(UINT message, WPARAM wParam, LPARAM lParam) {
    ::InvalidateRect(hwnd_, nullptr, TRUE);
    return DefaultProc(message, wParam, lParam);
}

LRESULT HyperLink::OnSetText(WPARAM wParam, LPARAM lParam) {
    LRESULT result = DefaultProc(WM_SETTEXT, wParam, lParam);
    text_ = lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"";
    UpdateToolTip();
    ::InvalidateRect(hwnd_, nullptr, TRUE);
    return result;
}

LRESULT HyperLink::OnSetFont(WPARAM wParam, LPARAM lParam) {
    LRESULT result = DefaultProc(WM_SETFONT, wParam, lParam);
    MakeLinkFont();
    return result;
}

LRESULT HyperLink::OnNcDestroy(WPARAM wParam, LPARAM lParam) {
    if (tooltip_) {
        ::DestroyWindow(tooltip_);
        tooltip_ = nullptr;
    }
    return DefaultProc(WM_NCDESTROY, wParam, lParam);
}

void HyperLink::MakeLinkFont() noexcept {
    auto font = reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    LOGFONTW logFont{};
    if (!::GetObjectW(font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT), sizeof logFont,
                      &logFont)) {
        return;
    }
    logFont.lfUnderline = TRUE;
    linkFont_.reset(::CreateFontIndirectW(&logFont));
}

void HyperLink::CreateToolTip() noexcept {
    if (tooltip_) return;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&controls);
    tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                 ModuleInstance(), nullptr);
    if (!tooltip_) return;
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every common-controls version
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = ::GetParent(hwnd_);
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    tool.lpszText = const_cast<wchar_t*>(Target().c_str());
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void HyperLink::UpdateToolTip() noexcept {
    if (!tooltip_ || !hwnd_) return;
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every common-controls version
    tool.hwnd = ::GetParent(hwnd_);
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    tool.lpszText = const_cast<wchar_t*>(Target().c_str());
    ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace vnl
