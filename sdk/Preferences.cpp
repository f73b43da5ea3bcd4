#include "Preferences.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "ColorDialog.h"
#include "ProductSite.h"
#include "SettingsStore.h"
#include "VNLSDK.h"

namespace vnl {
namespace {

constexpr const char* kColorDigits = "1234567890ABCDEFabcdef";
constexpr const char* kColorErrorText = "Incorrect color value. Value must have 6 characters.";
constexpr const char* kColorErrorCaption = "Color Error";
constexpr const char* kSampleText = "Example";
constexpr RECT kSampleRect = {1, 1, 50, 20};
constexpr int kColorTextLength = 6;

// Starting values of the stored preferences, standing when a value is absent.
constexpr DWORD kAlwaysSecureDefault = 1;
constexpr DWORD kHighlightEnabledDefault = 0;
constexpr DWORD kUnhideFrameDefault = 1;
constexpr DWORD kRedFrameBorderDefault = 1;
constexpr DWORD kCJWarnDefault = 0;
constexpr DWORD kAutoStartDefault = 0;

int HexDigit(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads a 4-byte value whatever its stored type; `value` keeps its starting
// value when the read fails (absent, or larger than 4 bytes).
void ReadStored(HKEY key, const char* name, DWORD& value) noexcept {
    if (!key) return;
    DWORD data = 0, size = sizeof(data);
    if (::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size) == ERROR_SUCCESS)
        value = data;
}

void WriteStored(HKEY key, const char* name, DWORD value) noexcept {
    ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

std::wstring Widen(const char* text) {
    int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

bool FileExists(const char* folder, const char* name) noexcept {
    char path[kPathBufferSize];
    int written = std::snprintf(path, sizeof(path), "%s%s", folder, name);
    if (written <= 0 || static_cast<size_t>(written) >= sizeof(path)) return false;
    WIN32_FIND_DATAA found{};
    UniqueFindFile search(::FindFirstFileA(path, &found));
    return search.valid();
}

void SiteAddress(const char* page, char (&address)[kPathBufferSize]) noexcept {
    std::snprintf(address, sizeof(address), "http://%s/%s", kProductSiteHost, page);
}

}  // namespace

bool IsColorTextAllowed(const char* text) noexcept {
    for (; *text; ++text)
        if (!std::strchr(kColorDigits, *text)) return false;
    return true;
}

bool ParseColorText(const char* text, COLORREF* color) noexcept {
    if (std::strlen(text) != kColorTextLength) return false;
    int bytes[3];
    for (int i = 0; i < 3; ++i) {
        int high = HexDigit(text[2 * i]), low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        bytes[i] = high * 16 + low;
    }
    *color = RGB(bytes[0], bytes[1], bytes[2]);
    return true;
}

void FormatColorText(COLORREF color, char (&text)[7]) noexcept {
    std::snprintf(text, sizeof(text), "%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
}

LRESULT CColorSample::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        LRESULT result = DefaultProc(message, wParam, lParam);
        owner_.DrawSample();
        return result;
    }
    default: return DefaultProc(message, wParam, lParam);
    }
}

INT_PTR CPreferences::HandleMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog();
    case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
    default: return FALSE;
    }
}

INT_PTR CPreferences::OnInitDialog() {
    toolbarLink_.SubclassWindow(Item(kToolbarLink));
    desktopLink_.SubclassWindow(Item(kDesktopLink));
    alwaysSecure_ = Item(kAlwaysSecure);
    chooseColor_ = Item(kChooseColor);
    highlightEnabled_ = Item(kHighlightEnabled);
    unhideFrame_ = Item(kUnhideFrame);
    redFrameBorder_ = Item(kRedFrameBorder);
    colorText_ = Item(kColorText);
    colorLabel_ = Item(kColorLabel);
    autoStartDesktop_ = Item(kAutoStartDesktop);
    warnHiddenFrames_ = Item(kWarnHiddenFrames);
    colorSample_ = Item(kColorSample);
    if (colorSample_) sample_.SubclassWindow(colorSample_);
    ::SendMessageA(colorText_, EM_LIMITTEXT, kColorTextLength, 0);

    color_ = RGB(255, 255, 255);
    acceptedText_[0] = '\0';
    settings_.reset(OpenUserSettingsKey());
    ReadStoredValues();
    ShowComponentLinks();

    char text[7];
    FormatColorText(color_, text);
    std::memcpy(acceptedText_, text, sizeof(text));
    ::SetWindowTextA(colorText_, text);
    return TRUE;
}

void CPreferences::ReadStoredValues() noexcept {
    DWORD alwaysSecure = kAlwaysSecureDefault, highlightEnabled = kHighlightEnabledDefault,
          unhideFrame = kUnhideFrameDefault, redFrameBorder = kRedFrameBorderDefault, cjWarn = kCJWarnDefault,
          autoStart = kAutoStartDefault, color = color_;
    HKEY key = settings_.get();
    ReadStored(key, "AlwaysSecure", alwaysSecure);
    ReadStored(key, "HighlightEnabled", highlightEnabled);
    ReadStored(key, "UnhideFrame", unhideFrame);
    ReadStored(key, "RedFrameBorder", redFrameBorder);
    ReadStored(key, "CJWarn", cjWarn);
    ReadStored(key, "HighlightColor", color);
    ReadStored(key, "VNLDAutoStartup", autoStart);
    color_ = color & 0x00FFFFFF;  // a colour reference has no fourth byte

    Tick(alwaysSecure_, alwaysSecure != 0);
    Tick(highlightEnabled_, highlightEnabled != 0);
    EnableColorControls(highlightEnabled != 0);
    Tick(unhideFrame_, unhideFrame != 0);
    Tick(redFrameBorder_, redFrameBorder != 0);
    Tick(autoStartDesktop_, autoStart != 0);
    Tick(warnHiddenFrames_, cjWarn == 0);
}

void CPreferences::ShowComponentLinks() {
    char folder[kPathBufferSize];
    ReadInstallPath(folder);
    char address[kPathBufferSize];
    if (!FileExists(folder, "VNLTB.dll")) {
        SiteAddress("VnlInfo", address);
        toolbarLink_.SetTarget(Widen(address));
        for (HWND control : {alwaysSecure_, highlightEnabled_, chooseColor_, colorText_, colorLabel_, colorSample_})
            ::ShowWindow(control, SW_HIDE);
        ::ShowWindow(toolbarLink_.Handle(), SW_SHOW);
    }
    if (!FileExists(folder, "VNLD.exe")) {
        SiteAddress("Desktop", address);
        desktopLink_.SetTarget(Widen(address));
        ::ShowWindow(autoStartDesktop_, SW_HIDE);
        ::ShowWindow(desktopLink_.Handle(), SW_SHOW);
    }
}

INT_PTR CPreferences::OnCommand(WORD id, WORD code) {
    switch (id) {
    case IDOK: return OnOk();
    case IDCANCEL: return OnCancel();
    case kHighlightEnabled: OnHighlightToggled(); return TRUE;
    case kColorText:
        if (code != EN_UPDATE) return FALSE;
        OnColorTextUpdated();
        return TRUE;
    case kChooseColor: OnChooseColor(); return TRUE;
    default: return FALSE;
    }
}

INT_PTR CPreferences::OnOk() {
    char text[7] = {};
    ::GetWindowTextA(colorText_, text, sizeof(text));
    COLORREF color = 0;
    // Only six digits reach here through the field; a text that still does not
    // parse is refused the same way rather than stored as some other colour.
    if (std::strlen(text) < kColorTextLength || !ParseColorText(text, &color)) {
        ::MessageBoxA(hwnd_, kColorErrorText, kColorErrorCaption, MB_OK);
        return TRUE;
    }
    if (HKEY key = settings_.get()) {
        WriteStored(key, "AlwaysSecure", IsTicked(alwaysSecure_) ? 1 : 0);
        WriteStored(key, "HighlightEnabled", IsTicked(highlightEnabled_) ? 1 : 0);
        WriteStored(key, "VNLDAutoStartup", IsTicked(autoStartDesktop_) ? 1 : 0);
        if (unhideFrame_) WriteStored(key, "UnhideFrame", IsTicked(unhideFrame_) ? 1 : 0);
        if (redFrameBorder_) WriteStored(key, "RedFrameBorder", IsTicked(redFrameBorder_) ? 1 : 0);
        if (warnHiddenFrames_) WriteStored(key, "CJWarn", IsTicked(warnHiddenFrames_) ? 0 : 1);
    }
    color_ = color;
    if (HKEY key = settings_.get()) WriteStored(key, "HighlightColor", color_);
    settings_.reset();
    EndDialog(IDOK);
    return TRUE;
}

INT_PTR CPreferences::OnCancel() {
    settings_.reset();
    EndDialog(IDCANCEL);
    return TRUE;
}

void CPreferences::OnHighlightToggled() noexcept { EnableColorControls(IsTicked(highlightEnabled_)); }

void CPreferences::EnableColorControls(bool enabled) noexcept {
    for (HWND control : {chooseColor_, colorText_, colorLabel_}) ::EnableWindow(control, enabled);
    ::ShowWindow(colorSample_, enabled ? SW_SHOW : SW_HIDE);
}

void CPreferences::OnColorTextUpdated() noexcept {
    char text[7] = {};
    ::GetWindowTextA(colorText_, text, sizeof(text));
    DWORD start = 0, end = 0;
    ::SendMessageA(colorText_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (!IsColorTextAllowed(text)) {
        // Back to the last accepted text, the caret before the refused
        // character; at the start of the field it stays at the start (one
        // place back from 0 would select the whole text).
        ::SetWindowTextA(colorText_, acceptedText_);
        const DWORD newStart = start > 0 ? start - 1 : 0;
        const DWORD newEnd = end > 0 ? end - 1 : 0;
        ::SendMessageA(colorText_, EM_SETSEL, newStart, newEnd);
        ::SendMessageA(colorText_, EM_SCROLLCARET, 0, 0);
        return;
    }
    std::memcpy(acceptedText_, text, sizeof(text));
    COLORREF color = 0;
    if (ParseColorText(text, &color)) SetColor(color);
}

void CPreferences::OnChooseColor() noexcept {
    ColorDialog chooser(color_);
    if (chooser.DoModal(::GetActiveWindow()) != IDOK) return;
    char text[7];
    FormatColorText(chooser.Color(), text);
    ::SetWindowTextA(colorText_, text);  // accepted by the field's own check, which draws the sample
    SetColor(chooser.Color());
}

void CPreferences::SetColor(COLORREF color) noexcept {
    color_ = color;
    DrawSample();
}

void CPreferences::DrawSample() noexcept {
    if (!colorSample_) return;
    HDC dc = ::GetDC(colorSample_);
    if (!dc) return;
    ::SetBkColor(dc, color_);
    HGDIOBJ oldFont = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    RECT rect = kSampleRect;
    ::DrawTextA(dc, kSampleText, 7, &rect, 0);
    ::SelectObject(dc, oldFont);
    ::ReleaseDC(colorSample_, dc);
}

bool CPreferences::IsTicked(HWND box) const noexcept {
    return box && ::SendMessageA(box, BM_GETCHECK, 0, 0) != BST_UNCHECKED;
}

void CPreferences::Tick(HWND box, bool ticked) noexcept {
    if (box) ::SendMessageA(box, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace vnl

extern "C" LONG WINAPI VNLSDKShowPref(LONG /*reserved*/) noexcept {
    try {
        vnl::ResourceModuleScope scope;
        if (!scope.loaded()) return 0;
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&controls);
        vnl::CPreferences preferences;
        preferences.DoModal(nullptr, vnl::CPreferences::kTemplateId, ::GetActiveWindow(), 0);
    } catch (...) {
    }
    return 0;
}
