// The Preferences dialog (template 108 of the resource library): the stored
// preferences of the per-user settings key, edited and written back on OK.
#pragma once

#include <windows.h>

#include "DialogImpl.h"
#include "HyperLink.h"
#include "UniqueAny.h"
#include "WindowImpl.h"

namespace vnl {

// The colour field's text: exactly six characters of "0123456789ABCDEFabcdef",
// red, green, blue. True and the colour (0x00BBGGRR) when it is one.
bool ParseColorText(const char* text, COLORREF* color) noexcept;
// Writes "RRGGBB" in uppercase into `text` (7 bytes).
void FormatColorText(COLORREF color, char (&text)[7]) noexcept;
// True when every character of `text` may appear in a colour text.
bool IsColorTextAllowed(const char* text) noexcept;

class CPreferences;

// The sample area (control 1033): after painting itself it has the dialog
// draw the word "Example" on the current colour over it, so the control's
// own background never covers the sample.
class CColorSample : public WindowImpl<CColorSample> {
public:
    explicit CColorSample(CPreferences& owner) noexcept : owner_(owner) {}
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    CPreferences& owner_;
};

class CPreferences : public DialogImpl<CPreferences> {
public:
    static constexpr UINT kTemplateId = 108;

    enum Control : int {
        kAlwaysSecure = 1024,
        kHighlightEnabled = 1026,
        kColorText = 1028,
        kChooseColor = 1030,
        kAutoStartDesktop = 1031,
        kColorLabel = 1032,
        kColorSample = 1033,
        kDesktopLink = 1070,
        kToolbarLink = 1071,
        kUnhideFrame = 1072,        // optional
        kRedFrameBorder = 1073,     // optional
        kWarnHiddenFrames = 1075,   // optional
    };

    CPreferences() noexcept : sample_(*this) {}

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Draws "Example" on the current colour into the sample control.
    void DrawSample() noexcept;

private:
    INT_PTR OnInitDialog();
    INT_PTR OnCommand(WORD id, WORD code);
    INT_PTR OnOk();
    INT_PTR OnCancel();
    void OnHighlightToggled() noexcept;
    void OnColorTextUpdated() noexcept;
    void OnChooseColor() noexcept;

    void ReadStoredValues() noexcept;
    void ShowComponentLinks();
    void EnableColorControls(bool enabled) noexcept;
    void SetColor(COLORREF color) noexcept;
    bool IsTicked(HWND box) const noexcept;
    void Tick(HWND box, bool ticked) noexcept;

    UniqueRegKey settings_;
    HWND alwaysSecure_ = nullptr;
    HWND chooseColor_ = nullptr;
    HWND highlightEnabled_ = nullptr;
    HWND unhideFrame_ = nullptr;
    HWND redFrameBorder_ = nullptr;
    HWND colorText_ = nullptr;
    HWND colorLabel_ = nullptr;
    HWND autoStartDesktop_ = nullptr;
    HWND warnHiddenFrames_ = nullptr;
    HWND colorSample_ = nullptr;
    HyperLink toolbarLink_;
    HyperLink desktopLink_;
    CColorSample sample_;
    COLORREF color_ = RGB(255, 255, 255);
    char acceptedText_[7] = {};
};

}  // namespace vnl
