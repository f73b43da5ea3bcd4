#include "MockSite.h"

#include <commctrl.h>
#include <shlguid.h>

#include <algorithm>

namespace bandtest {

const IID kDiidWebBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};

STDMETHODIMP CMockEventPoint::GetConnectionInterface(IID* iid) noexcept {
    if (!iid) return E_POINTER;
    *iid = kDiidWebBrowserEvents2;
    return S_OK;
}

STDMETHODIMP CMockEventPoint::GetConnectionPointContainer(IConnectionPointContainer** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CMockEventPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    vnl::ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(IID_IDispatch, dispatch.put_void()))) return CONNECT_E_CANNOTCONNECT;
    const DWORD next = static_cast<DWORD>(advised.size() + 1) * 16;
    advised.push_back(next);
    sinks.emplace_back(next, dispatch);
    *cookie = next;
    return S_OK;
}

STDMETHODIMP CMockEventPoint::Unadvise(DWORD cookie) noexcept {
    auto it = std::find_if(sinks.begin(), sinks.end(), [&](const auto& s) { return s.first == cookie; });
    if (it == sinks.end()) return CONNECT_E_NOCONNECTION;
    unadvised.push_back(cookie);
    sinks.erase(it);
    return S_OK;
}

STDMETHODIMP CMockEventPoint::EnumConnections(IEnumConnections** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

CMockBrowser::CMockBrowser(MockBrowserOptions options) : options(options) {
    vnl::ComObject<CMockEventPoint>* point = nullptr;
    vnl::ComObject<CMockEventPoint>::CreateInstance(&point);
    events.attach(point);
}

STDMETHODIMP CMockBrowser::EnumConnectionPoints(IEnumConnectionPoints** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CMockBrowser::FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!options.eventsPoint || !::IsEqualIID(iid, kDiidWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
    events->AddRef();
    *out = events.get();
    return S_OK;
}

void CMockBrowser::Fire(DISPID id, std::vector<VARIANT> args) {
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    auto sinks = events->sinks;  // a sink may unadvise while called
    for (auto& sink : sinks) sink.second->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

CMockSite::CMockSite(HWND rebar, MockSiteOptions options) : rebar_(rebar), options_(options) {
    vnl::ComObject<CMockBrowser>* made = nullptr;
    vnl::ComObject<CMockBrowser>::CreateInstance(&made, options.browser);
    browser.attach(made);
}

STDMETHODIMP CMockSite::GetWindow(HWND* window) noexcept {
    if (!window) return E_POINTER;
    *window = options_.window ? rebar_ : nullptr;
    return options_.window ? S_OK : E_FAIL;
}

STDMETHODIMP CMockSite::QueryService(REFGUID service, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!options_.services || !::IsEqualGUID(service, SID_SWebBrowserApp)) return E_NOINTERFACE;
    return browser->QueryInterface(iid, out);
}

BrowserWindow::BrowserWindow(const wchar_t* caption) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    ::InitCommonControlsEx(&controls);
    frame_ = ::CreateWindowExW(0, L"STATIC", caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 700, 200, nullptr,
                               nullptr, nullptr, nullptr);
    rebar_ = ::CreateWindowExW(0, REBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | RBS_VARHEIGHT | CCS_NODIVIDER, 0, 0,
                               700, 40, frame_, nullptr, nullptr, nullptr);
}

BrowserWindow::~BrowserWindow() {
    if (frame_) ::DestroyWindow(frame_);
}

SiteHandle BrowserWindow::MakeSite(MockSiteOptions options) const {
    SiteHandle handle;
    if (options.inputSite) {
        vnl::ComObject<CMockSite>* site = nullptr;
        vnl::ComObject<CMockSite>::CreateInstance(&site, rebar_, options);
        handle.browser = site->browser;
        handle.site.attach(static_cast<IOleWindow*>(site));
    } else {
        vnl::ComObject<CMockSiteWithoutInput>* site = nullptr;
        vnl::ComObject<CMockSiteWithoutInput>::CreateInstance(&site, rebar_, options);
        handle.browser = site->browser;
        handle.site.attach(static_cast<IOleWindow*>(site));
    }
    return handle;
}

void BrowserWindow::AddBand(HWND child) const {
    REBARBANDINFOW band{};
    band.cbSize = REBARBANDINFOW_V6_SIZE;
    band.fMask = RBBIM_CHILD | RBBIM_STYLE | RBBIM_CHILDSIZE;
    band.fStyle = RBBS_CHILDEDGE;
    band.hwndChild = child;
    band.cxMinChild = 180;
    band.cyMinChild = 22;
    ::SendMessageW(rebar_, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
}

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace bandtest
