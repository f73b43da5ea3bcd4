// A hyperlink over a static control of a dialog template: drawn as a link
// (underlined, in the link colour, a hand cursor), with a tooltip showing its
// target, opening the target with the shell's "open" verb on a click, on
// Enter or on the space bar while it has the focus.
//
// Usage, in WM_INITDIALOG:
//   link_.SetTarget(L"C:\\Program Files\\Varnel\\Docs\\faq.html");  // optional
//   link_.SubclassWindow(Item(IDC_HELP_LINK));
//
// The control's own text is the link text; it is also the target unless a
// target was set (before or after subclassing). The control becomes a tab stop
// and gets SS_NOTIFY so that it receives the mouse.
#pragma once

#include <windows.h>

#include <string>

#include "UniqueAny.h"
#include "WindowImpl.h"

namespace vnl {

class HyperLink : public WindowImpl<HyperLink> {
public:
    HyperLink() = default;
    ~HyperLink();

    // Takes over `control`; false when it is not a window or already taken.
    bool SubclassWindow(HWND control) noexcept;

    // The target opened on activation. An empty target means the link text.
    void SetTarget(const std::wstring& target);
    const std::wstring& Target() const noexcept { return target_.empty() ? text_ : target_; }
    const std::wstring& LinkText() const noexcept { return text_; }

    // Opens the target with the "open" verb in a normal window; true when the
    // shell reported success.
    bool Navigate() noexcept;

    // The link's colours: before and after it was followed.
    static constexpr COLORREF kLinkColor = RGB(0, 0, 255);
    static constexpr COLORREF kVisitedColor = RGB(128, 0, 128);

    // True once the link was followed (it is then drawn in the visited colour).
    bool Visited() const noexcept { return visited_; }

    // The tooltip window (null until subclassed).
    HWND ToolTip() const noexcept { return tooltip_; }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT OnPaint();
    LRESULT OnPrintClient(HDC dc);
    void Paint(HDC dc);
    LRESULT OnSetCursor();
    LRESULT OnLButtonDown();
    LRESULT OnLButtonUp(LPARAM lParam);
    LRESULT OnKeyDown(WPARAM key, LPARAM lParam);
    LRESULT OnGetDlgCode(LPARAM lParam);
    LRESULT OnFocusChange(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetFont(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcDestroy(WPARAM wParam, LPARAM lParam);

    void CreateToolTip() noexcept;
    void UpdateToolTip() noexcept;
    void MakeLinkFont() noexcept;

    std::wstring text_;
    std::wstring target_;
    HWND tooltip_ = nullptr;
    UniqueGdiObject linkFont_;
    bool visited_ = false;
    bool pressed_ = false;
};

}  // namespace vnl
