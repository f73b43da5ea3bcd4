// The band's toolbar: CBandToolBarCtrl (home page, status indicator, Manage
// drop-down) inside CBandToolBarReflectorCtrl, whose only job is to send every
// notification of its child back to the child, so that the toolbar handles its
// own clicks. Both superclass the common controls' "ToolbarWindow32".
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>

#include "BandState.h"
#include "UniqueAny.h"
#include "WindowImpl.h"

namespace vnl {

struct ImageListTraits {
    using Type = HIMAGELIST;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::ImageList_Destroy(h); }
};
using UniqueImageList = UniqueAny<ImageListTraits>;

// Window style and control id the band gives its toolbar.
inline constexpr DWORD kBandToolBarStyle = 0x5601994D;
inline constexpr UINT kBandToolBarId = 0xE800;
inline constexpr DWORD kBandToolBarExStyle = TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_MIXEDBUTTONS;
// The status indicator is always the button at this position.
inline constexpr int kStatusButtonIndex = 1;

class CBandToolBarReflectorCtrl : public WindowImpl<CBandToolBarReflectorCtrl> {
public:
    static WindowClass GetWindowClass() noexcept {
        return WindowClass::Superclass(L"VnlBandToolBarReflector", L"ToolbarWindow32");
    }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT OnReflect(UINT message, WPARAM wParam, LPARAM lParam);
};

class CBandToolBarCtrl : public WindowImpl<CBandToolBarCtrl> {
public:
    static WindowClass GetWindowClass() noexcept {
        return WindowClass::Superclass(L"VnlBandToolBar", L"ToolbarWindow32");
    }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Creates the toolbar from toolbar resource `resourceId` of the band
    // module, as a child of `parent`: three buttons (home page, status
    // indicator in the Activate state, Manage as a whole drop-down), pictures
    // from bitmap 137 and the product name from string 212 of the resource
    // library, tips from its strings 213 to 218. Shows Off instead when always
    // secure is set (arming the process) or the driver is unavailable.
    // Returns the window, or null when the resource cannot be found or loaded
    // or the window cannot be created.
    HWND CreateBandToolBar(HWND parent, UINT resourceId, DWORD style, DWORD exStyle, UINT id) noexcept;

    // Replaces the status button (position 1) with `status`'s picture, text
    // and command, and sets the tips again. Nothing without a window.
    void SetStatusButton(BandStatus status) noexcept;

    // The browser used to open pages; not owned.
    void SetBrowser(IWebBrowser2* browser) noexcept { browser_ = browser; }

    // The toolbar translates no accelerators: always S_FALSE.
    HRESULT TranslateAccelerator(MSG* message) noexcept;

private:
    void SetTips() noexcept;

    // Reflected commands and notifications, and the menu's commands.
    LRESULT OnReflectedCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnReflectedNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    // Arms protection for the process (the Activate button).
    void OnArm() noexcept;
    // Page and menu commands, and the drop-down: they come with the menu and
    // help commands and do nothing yet.
    void OnHomePage() noexcept;
    void OnStatesPage() noexcept;
    void OnWarningPage() noexcept;
    LRESULT OnDropDown(const NMTOOLBARW* info) noexcept;
    void OnShowEvents() noexcept;
    void OnPreferences() noexcept;
    void OnHelp() noexcept;
    void OnAbout() noexcept;

    IWebBrowser2* browser_ = nullptr;
    UINT resourceId_ = 0;
    UniqueImageList images_;
};

// Reads the preferences into BandState unless they were read already and
// `force` is clear. A getter that leaves its value unwritten keeps the field as
// it was; the highlight colour becomes "#RRGGBB" from the stored 0x00BBGGRR.
void ReloadBandSettings(bool force) noexcept;

// "#RRGGBB" of a colour reference (red in the low byte).
std::string FormatHighlightColor(DWORD colorRef);

}  // namespace vnl
