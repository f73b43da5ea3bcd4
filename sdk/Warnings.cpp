#include "Warnings.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <string>

#include "ResourceInstance.h"
#include "SettingsStore.h"
#include "VNLSDK.h"
#include "WarningText.h"

namespace vnl {
namespace {

constexpr const char* kUntrustedDriversKey = "UntrustedDrivers";
constexpr UINT kProductNameString = 212;
constexpr UINT kDriverWarningString = 131;

bool IsTicked(HWND box) noexcept { return box && ::SendMessageA(box, BM_GETCHECK, 0, 0) != BST_UNCHECKED; }

// The help link's target: "Docs\faq.html" in the installation folder.
std::wstring HelpPage() {
    char folder[kPathBufferSize];
    ReadInstallPath(folder);
    char page[kPathBufferSize];
    int written = std::snprintf(page, sizeof(page), "%sDocs\\faq.html", folder);
    if (written <= 0 || static_cast<size_t>(written) >= sizeof(page)) return {};
    wchar_t wide[kPathBufferSize];
    if (::MultiByteToWideChar(CP_ACP, 0, page, -1, wide, kPathBufferSize) <= 0) return {};
    return wide;
}

// The "UntrustedDrivers" subkey of the per-user settings key, created if
// missing; null when either cannot be opened.
UniqueRegKey OpenUntrustedDrivers() noexcept {
    UniqueRegKey settings(OpenUserSettingsKey());
    UniqueRegKey drivers;
    if (settings)
        ::RegCreateKeyExA(settings.get(), kUntrustedDriversKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, drivers.put(),
                          nullptr);
    return drivers;
}

// What each warning thread does around its dialogs: COM for the shell's
// "open" verb, the common controls for the link's tooltip.
struct WarningThreadScope {
    HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    WarningThreadScope() noexcept {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
    ~WarningThreadScope() {
        if (SUCCEEDED(com)) ::CoUninitialize();
    }
};

void ShowClickjackWarning() noexcept {
    DWORD silenced = 0;
    {
        UniqueRegKey settings(OpenUserSettingsKey());
        DWORD data = 0, size = sizeof(data);
        if (settings &&
            ::RegQueryValueExA(settings.get(), "CJWarn", nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size) ==
                ERROR_SUCCESS) {
            silenced = data;
        }
    }
    ResourceModuleScope scope;
    if (!scope.loaded() || silenced != 0) return;
    WarningThreadScope thread;
    CClickjackWarn warning;
    warning.DoModal(nullptr, CClickjackWarn::kTemplateId, ::GetActiveWindow(), 0);
}

void ShowDriverWarnings() noexcept {
    ResourceModuleScope scope;
    if (!scope.loaded()) return;
    UniqueRegKey drivers = OpenUntrustedDrivers();
    if (!drivers) return;
    WarningThreadScope thread;
    for (DWORD index = 0;; ++index) {
        char name[kPathBufferSize];
        DWORD nameLength = sizeof(name);
        DWORD data = 0, size = sizeof(data), type = 0;
        LONG rc = ::RegEnumValueA(drivers.get(), index, name, &nameLength, nullptr, &type,
                                  reinterpret_cast<BYTE*>(&data), &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        // A name or data too large for its buffer is not an entry of ours:
        // skip it and go on with the next rather than end the pass.
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        if (size != sizeof(data) || data != 0) continue;
        CBadDWarn warning(name);
        warning.DoModal(nullptr, CBadDWarn::kTemplateId, ::GetActiveWindow(), 0);
    }
}

// Each warning thread holds a reference on this library, taken by the export
// before the thread starts, so that the library cannot be unloaded under an
// open warning; the thread gives it back as it ends.
template <void (*Show)()>
DWORD WINAPI WarningThread(void*) noexcept {
    try {
        Show();
    } catch (...) {
    }
    ::FreeLibraryAndExitThread(ModuleInstance(), 0);
    return 0;
}

template <void (*Show)()>
void StartWarningThread() noexcept {
    HMODULE self = nullptr;
    if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<const char*>(&WarningThread<Show>), &self)) {
        return;
    }
    UniqueHandle thread(::CreateThread(nullptr, 0, &WarningThread<Show>, nullptr, 0, nullptr));
    if (!thread) ::FreeLibrary(self);
}

}  // namespace

INT_PTR CClickjackWarn::HandleMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog();
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: return OnOk();
        case IDCANCEL: return OnCancel();
        default: return FALSE;
        }
    default: return FALSE;
    }
}

INT_PTR CClickjackWarn::OnInitDialog() {
    helpLink_.SubclassWindow(Item(kWarningHelpLink));
    dontWarnAgain_ = Item(kWarningDontWarnAgain);
    settings_.reset(OpenUserSettingsKey());
    helpLink_.SetTarget(HelpPage());
    return FALSE;  // the dialog manager sets no initial focus
}

INT_PTR CClickjackWarn::OnOk() {
    if (settings_) {
        DWORD silenced = IsTicked(dontWarnAgain_) ? 1 : 0;
        ::RegSetValueExA(settings_.get(), "CJWarn", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&silenced),
                         sizeof(silenced));
    }
    settings_.reset();
    EndDialog(IDOK);
    return TRUE;
}

INT_PTR CClickjackWarn::OnCancel() {
    settings_.reset();
    EndDialog(IDCANCEL);
    return TRUE;
}

INT_PTR CBadDWarn::HandleMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog();
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: return OnOk();
        case IDCANCEL: EndDialog(IDCANCEL); return TRUE;
        default: return FALSE;
        }
    default: return FALSE;
    }
}

INT_PTR CBadDWarn::OnInitDialog() {
    helpLink_.SubclassWindow(Item(kWarningHelpLink));
    messageText_ = Item(kWarningText);
    dontWarnAgain_ = Item(kWarningDontWarnAgain);
    char format[kWarningStringSize] = {};
    char product[kWarningStringSize] = {};
    ::LoadStringA(ResourceInstance(), kDriverWarningString, format, sizeof(format));
    ::LoadStringA(ResourceInstance(), kProductNameString, product, sizeof(product));
    const char* args[] = {product, driverName_ ? driverName_ : "", product};
    char message[kWarningMessageSize];
    FormatWarningText(format, args, 3, message, sizeof(message));
    ::SetWindowTextA(messageText_, message);
    helpLink_.SetTarget(HelpPage());
    return FALSE;
}

INT_PTR CBadDWarn::OnOk() {
    if (IsTicked(dontWarnAgain_) && driverName_) {
        UniqueRegKey drivers = OpenUntrustedDrivers();
        DWORD silenced = 1;
        if (drivers)
            ::RegSetValueExA(drivers.get(), driverName_, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&silenced),
                             sizeof(silenced));
    }
    EndDialog(IDOK);
    return TRUE;
}

}  // namespace vnl

extern "C" LONG WINAPI VNLSDKShowCJWarn(LONG /*reserved*/) noexcept {
    vnl::StartWarningThread<vnl::ShowClickjackWarning>();
    return 0;
}

extern "C" LONG WINAPI VNLSDKShowBadDWarn(LONG /*reserved*/) noexcept {
    vnl::StartWarningThread<vnl::ShowDriverWarnings>();
    return 0;
}
