#include "BrowserApplication.h"

#include "BrowserApp.h"
#include "BrowserTab.h"
#include "ComText.h"
#include "Text.h"

namespace vnl::browser {

namespace {

BrowserApp* g_app = nullptr;
constexpr DWORD kTabWaitMs = 30000;

}  // namespace

void CBrowserApplication::SetApp(BrowserApp* app) noexcept { g_app = app; }

HRESULT CBrowserApplication::Create(REFIID iid, void** out) noexcept {
    return ComObject<CBrowserApplication>::CreateInstance(iid, out);
}

HRESULT CBrowserApplication::FinalConstruct() noexcept try {
    if (!g_app) return E_UNEXPECTED;
    frame_ = g_app->OpenFrame(L"about:blank", 1, false);
    return frame_ ? S_OK : E_FAIL;
} catch (...) {
    return E_OUTOFMEMORY;
}

CBrowserApplication::~CBrowserApplication() {
    // An instance nobody made visible goes with its last reference.
    if (frame_ && ::IsWindow(frame_) && !::IsWindowVisible(frame_)) ::PostMessageW(frame_, WM_CLOSE, 0, 0);
}

bool CBrowserApplication::TabRequestOk(std::vector<std::wstring> args, std::wstring* reply) {
    if (!g_app || !frame_) return false;
    const HWND tab = g_app->WaitForFrontTab(frame_, kTabWaitMs);
    if (!tab) return false;
    TabRequest request;
    request.args = std::move(args);
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(tab, WM_VNL_REQUEST, 0, reinterpret_cast<LPARAM>(&request), SMTO_NORMAL, 60000, &result))
        return false;
    if (reply) *reply = request.reply;
    return request.ok;
}

STDMETHODIMP CBrowserApplication::Navigate(BSTR url, VARIANT* flags, VARIANT* target, VARIANT* postData,
                                           VARIANT* headers) noexcept {
    VARIANT address;
    ::VariantInit(&address);
    address.vt = VT_BSTR;
    address.bstrVal = url;  // borrowed
    return Navigate2(&address, flags, target, postData, headers);
}

STDMETHODIMP CBrowserApplication::Navigate2(VARIANT* url, VARIANT*, VARIANT* target, VARIANT*, VARIANT*) noexcept try {
    if (!url) return E_INVALIDARG;
    const std::wstring address = VariantText(*url);
    if (Trim(address).empty()) return E_INVALIDARG;
    if (target && EqualsNoCase(Trim(VariantText(*target)), L"_blank"))
        return g_app && g_app->OpenFrame(address, 1, true) ? S_OK : E_FAIL;
    return TabRequestOk({L"navigate", address}) ? S_OK : E_FAIL;
} catch (...) {
    return E_FAIL;
}

STDMETHODIMP CBrowserApplication::get_LocationURL(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    std::wstring address;
    if (!TabRequestOk({L"address"}, &address)) return E_FAIL;
    return ReturnBstr(address, p);
} catch (...) {
    return E_FAIL;
}

STDMETHODIMP CBrowserApplication::get_Busy(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CBrowserApplication::get_ReadyState(READYSTATE* p) noexcept {
    if (!p) return E_POINTER;
    *p = READYSTATE_COMPLETE;
    return S_OK;
}

STDMETHODIMP CBrowserApplication::get_HWND(SHANDLE_PTR* p) noexcept {
    if (!p) return E_POINTER;
    *p = reinterpret_cast<SHANDLE_PTR>(frame_);
    return frame_ ? S_OK : E_FAIL;
}

STDMETHODIMP CBrowserApplication::get_Visible(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = frame_ && ::IsWindowVisible(frame_) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CBrowserApplication::put_Visible(VARIANT_BOOL v) noexcept {
    if (!frame_ || !::IsWindow(frame_)) return E_FAIL;
    ::ShowWindow(frame_, v != VARIANT_FALSE ? SW_SHOW : SW_HIDE);
    if (v != VARIANT_FALSE) ::SetForegroundWindow(frame_);
    return S_OK;
}

STDMETHODIMP CBrowserApplication::ShowBrowserBar(VARIANT* clsid, VARIANT* show, VARIANT*) noexcept try {
    if (!clsid) return E_INVALIDARG;
    const std::wstring id = VariantText(*clsid);
    CLSID parsed;
    if (FAILED(::CLSIDFromString(id.c_str(), &parsed))) return E_INVALIDARG;
    bool visible = true;
    if (show && !VariantIsNull(*show)) {
        const VARIANT& s = Deref(*show);
        visible = s.vt == VT_BOOL ? s.boolVal != VARIANT_FALSE : VariantText(s) != L"0";
    }
    return TabRequestOk({L"showband", id, visible ? L"1" : L"0"}) ? S_OK : E_FAIL;
} catch (...) {
    return E_FAIL;
}

STDMETHODIMP CBrowserApplication::Quit() noexcept {
    if (frame_ && ::IsWindow(frame_)) ::PostMessageW(frame_, WM_CLOSE, 0, 0);
    frame_ = nullptr;
    return S_OK;
}

}  // namespace vnl::browser
