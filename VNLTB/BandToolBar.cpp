#include "BandToolBar.h"

#include <cstdio>

#include "ActivationContext.h"
#include "BandResources.h"
#include "DriverChannel.h"
#include "Reflection.h"
#include "ResourceInstance.h"
#include "SettingsStore.h"
#include "ToolBandObj.h"
#include "VNLSDK.h"

namespace vnl {
namespace {

constexpr BYTE kButtonStyle = BTNS_AUTOSIZE | BTNS_SHOWTEXT;  // 0x50
constexpr int kButtonCount = 3;

// The toolbar resource: 16-bit words.
struct ToolbarResource {
    WORD version;
    WORD width;
    WORD height;
    WORD itemCount;
    WORD items[1];
};

// The six commands with a tip, in the order of the tip strings 213..218.
struct TipEntry {
    UINT command;
    UINT stringId;
};
constexpr TipEntry kTips[] = {
    {ID_BAND_HOMEPAGE, 213}, {ID_BAND_ACTIVATE, 214}, {ID_BAND_MANAGE, 215},
    {ID_BAND_STATUS_ON, 216}, {ID_BAND_STATUS_OFF, 217}, {ID_BAND_STATUS_WARN, 218},
};

TBBUTTON MakeButton(int image, UINT command) noexcept {
    TBBUTTON button{};
    button.iBitmap = image;
    button.idCommand = static_cast<int>(command);
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = kButtonStyle;
    button.iString = image;
    return button;
}

// Adds `text` as one string of the toolbar's list (terminated by two NULs).
void AddToolbarString(HWND toolbar, const wchar_t* text) noexcept {
    wchar_t buffer[262] = {};
    ::lstrcpynW(buffer, text, 260);
    ::SendMessageW(toolbar, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(buffer));
}

}  // namespace

std::string FormatHighlightColor(DWORD colorRef) {
    char text[8];
    std::snprintf(text, sizeof(text), "#%02X%02X%02X", static_cast<unsigned>(GetRValue(colorRef)),
                  static_cast<unsigned>(GetGValue(colorRef)), static_cast<unsigned>(GetBValue(colorRef)));
    return text;
}

void ReloadBandSettings(bool force) noexcept {
    try {
        if (BandSettingsLoaded() && !force) return;
        MarkBandSettingsLoaded();
        BandSettings settings = CurrentBandSettings();
        // A getter that cannot open the settings key leaves its output as it
        // was: the colour then keeps the text it had.
        constexpr DWORD kUnwritten = 0xFFFFFFFF;
        DWORD color = kUnwritten;
        ::VNLSDKGetAlwaysOn(&settings.alwaysSecure);
        ::VNLSDKGetCryptoColor(&settings.highlightEnabled, &color);
        ::VNLSDKGetUnhideFrame(&settings.unhideFrame);
        ::VNLSDKGetRedFrameBorder(&settings.redFrameBorder);
        if (color != kUnwritten) {
            std::string formatted = FormatHighlightColor(color);
            settings.highlightColor.swap(formatted);
        }
        StoreBandSettings(settings);
    } catch (...) {
    }
}

LRESULT CBandToolBarReflectorCtrl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    VNL_REFLECTABLE_MESSAGE_CASES
        return OnReflect(message, wParam, lParam);
    default:
        return DefaultProc(message, wParam, lParam);
    }
}

LRESULT CBandToolBarReflectorCtrl::OnReflect(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ReflectNotification(Handle(), message, wParam, lParam, result)) return result;
    return DefaultProc(message, wParam, lParam);
}

LRESULT CBandToolBarCtrl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kReflectedCommand:
        return OnReflectedCommand(wParam, lParam);
    case kReflectedNotify:
        return OnReflectedNotify(wParam, lParam);
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_SIZE:
        // The band sizes the toolbar itself: the control's own layout on a
        // size change would undo it.
        return 0;
    default:
        if (IsReflected(message)) return ::DefWindowProcW(Handle(), message - kReflectBase, wParam, lParam);
        return DefaultProc(message, wParam, lParam);
    }
}

LRESULT CBandToolBarCtrl::OnReflectedCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case ID_BAND_ACTIVATE: OnArm(); return 0;
    case ID_BAND_HOMEPAGE: OnHomePage(); return 0;
    case ID_BAND_STATUS_OFF: OnStatesPage(); return 0;
    case ID_BAND_STATUS_WARN: OnWarningPage(); return 0;
    default: return ::DefWindowProcW(Handle(), WM_COMMAND, wParam, lParam);
    }
}

LRESULT CBandToolBarCtrl::OnReflectedNotify(WPARAM wParam, LPARAM lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->code == static_cast<UINT>(TBN_DROPDOWN))
        return OnDropDown(reinterpret_cast<const NMTOOLBARW*>(lParam));
    return ::DefWindowProcW(Handle(), WM_NOTIFY, wParam, lParam);
}

LRESULT CBandToolBarCtrl::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case ID_MENU_EVENT_VIEWER: OnShowEvents(); return 0;
    case ID_MENU_PREFERENCES: OnPreferences(); return 0;
    case ID_MENU_HELP: OnHelp(); return 0;
    case ID_MENU_ABOUT: OnAbout(); return 0;
    default: return DefaultProc(WM_COMMAND, wParam, lParam);
    }
}

HWND CBandToolBarCtrl::CreateBandToolBar(HWND parent, UINT resourceId, DWORD style, DWORD exStyle,
                                         UINT id) noexcept {
    resourceId_ = resourceId;
    HINSTANCE module = ModuleInstance();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(RT_BAND_TOOLBAR));
    if (!found) return nullptr;
    HGLOBAL loaded = ::LoadResource(module, found);
    if (!loaded) return nullptr;
    const auto* layout = static_cast<const ToolbarResource*>(::LockResource(loaded));
    const DWORD size = ::SizeofResource(module, found);
    if (!layout || size < sizeof(WORD) * 4 || layout->itemCount < kButtonCount ||
        size < sizeof(WORD) * (4u + layout->itemCount)) {
        return nullptr;
    }

    TBBUTTON buttons[kButtonCount];
    for (int i = 0; i < kButtonCount; ++i) buttons[i] = MakeButton(i, layout->items[i]);

    const RECT rect{0, 0, 100, 100};
    if (!Create(parent, rect, L"", style, exStyle, id)) return nullptr;
    HWND hwnd = Handle();

    ::SendMessageW(hwnd, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    HMODULE library = LoadResourceModule();
    if (library) {
        images_.reset(::ImageList_LoadImageW(library, MAKEINTRESOURCEW(IDB_BAND_TOOLBAR_IMAGES), 16, 0,
                                             CLR_DEFAULT, IMAGE_BITMAP, LR_CREATEDIBSECTION));
    }
    ::SendMessageW(hwnd, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_.get()));
    ::SendMessageW(hwnd, TB_ADDBUTTONSW, kButtonCount, reinterpret_cast<LPARAM>(buttons));

    ::SendMessageW(hwnd, TB_SETBITMAPSIZE, 0, MAKELPARAM(layout->width, layout->height));
    ::SendMessageW(hwnd, TB_SETBUTTONSIZE, 0, MAKELPARAM(layout->width + 30, layout->height + 7));
    ::SendMessageW(hwnd, TB_SETBUTTONSIZE, 0, MAKELPARAM(200, 16));

    wchar_t productName[260] = {};
    if (library) ::LoadStringW(library, IDS_BAND_PRODUCT_NAME, productName, 259);
    AddToolbarString(hwnd, productName);
    for (const wchar_t* text : {L"&Activate", L"&Manage", L"Off", L"On", L"Warn"}) AddToolbarString(hwnd, text);

    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_STYLE;
    info.fsStyle = kButtonStyle | BTNS_WHOLEDROPDOWN;
    ::SendMessageW(hwnd, TB_SETBUTTONINFOW, ID_BAND_MANAGE, reinterpret_cast<LPARAM>(&info));

    if (CurrentBandSettings().alwaysSecure) {
        SetBandArmed(true);
        SetStatusButton(kStatusOff);
    }
    if (!DriverUsable(BandDriverStatus())) SetStatusButton(kStatusOff);

    SetTips();
    return hwnd;
}

void CBandToolBarCtrl::SetTips() noexcept {
    HWND tips = reinterpret_cast<HWND>(::SendMessageW(Handle(), TB_GETTOOLTIPS, 0, 0));
    ResourceModuleScope scope;
    for (const TipEntry& tip : kTips) {
        wchar_t text[1024] = {};
        ::LoadStringW(ResourceInstance(), tip.stringId, text, 1024);
        if (!tips) continue;
        TOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = Handle();
        tool.uId = tip.command;
        tool.hinst = nullptr;
        tool.lpszText = text;
        ::SendMessageW(tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void CBandToolBarCtrl::SetStatusButton(BandStatus status) noexcept {
    if (!IsWindow()) return;
    HWND hwnd = Handle();
    TBBUTTON button = MakeButton(status.image, status.command);
    ::SendMessageW(hwnd, TB_DELETEBUTTON, kStatusButtonIndex, 0);
    ::SendMessageW(hwnd, TB_INSERTBUTTONW, kStatusButtonIndex, reinterpret_cast<LPARAM>(&button));
    SetTips();
}

HRESULT CBandToolBarCtrl::TranslateAccelerator(MSG*) noexcept { return S_FALSE; }

void CBandToolBarCtrl::OnArm() noexcept {
    SetBandArmed(true);
    SetStatusOnAllBands(kStatusOff);
    if (!CheckActiveField(false)) return;
    SetStatusButton(BandDriverStatus() == 10 ? kStatusWarn : kStatusOn);
    SetDriverProtection(1, static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(Handle())));
    SetBandEngaged(true);
    CheckActiveField(true);
    EngageOnActiveBand();
}

void CBandToolBarCtrl::OnHomePage() noexcept {}
void CBandToolBarCtrl::OnStatesPage() noexcept {}
void CBandToolBarCtrl::OnWarningPage() noexcept {}
LRESULT CBandToolBarCtrl::OnDropDown(const NMTOOLBARW*) noexcept { return TBDDRET_DEFAULT; }
void CBandToolBarCtrl::OnShowEvents() noexcept {}
void CBandToolBarCtrl::OnPreferences() noexcept {}
void CBandToolBarCtrl::OnHelp() noexcept {}
void CBandToolBarCtrl::OnAbout() noexcept {}

}  // namespace vnl
