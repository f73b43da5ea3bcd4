#include "ToolBandObj.h"

#include <commctrl.h>
#include <shlguid.h>

#include <atomic>
#include <mutex>
#include <utility>

#include "ActivationContext.h"
#include "BandResources.h"
#include "ComModule.h"
#include "DriverChannel.h"
#include "ErrorMacros.h"
#include "TrayEvent.h"

namespace vnl {
namespace {

// DWebBrowserEvents2.
constexpr IID kDiidWebBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};

constexpr int kMinWidth = 180;
constexpr int kHeight = 22;
constexpr DWORD kModeFlags = DBIMF_VARIABLEHEIGHT | DBIMF_USECHEVRON | DBIMF_BREAK;  // 0x188

std::atomic<bool> g_warningShown{false};

// Serialises the first band's preparation between browser threads, so that
// two tabs starting together open the driver channel once. Not the state lock:
// it is held across the driver calls.
std::mutex& StartupLock() {
    static std::mutex lock;
    return lock;
}

// The empty enumeration of connection points.
class CEmptyConnectionPoints : public ComObjectRoot, public IEnumConnectionPoints {
public:
    VNL_BEGIN_INTERFACE_MAP(CEmptyConnectionPoints)
        VNL_INTERFACE_ENTRY(IEnumConnectionPoints)
    VNL_END_INTERFACE_MAP()

    STDMETHODIMP Next(ULONG count, IConnectionPoint** points, ULONG* fetched) noexcept override {
        if (fetched) *fetched = 0;
        if (!points && count) return E_POINTER;
        return count == 0 ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) noexcept override { return count == 0 ? S_OK : S_FALSE; }
    STDMETHODIMP Reset() noexcept override { return S_OK; }
    STDMETHODIMP Clone(IEnumConnectionPoints** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        ComObject<CEmptyConnectionPoints>* clone = nullptr;
        RETURN_IF_FAILED(ComObject<CEmptyConnectionPoints>::CreateInstance(&clone));
        *out = clone;
        return S_OK;
    }
};

ComPtr<IUnknown> Identity(IUnknown* object) noexcept {
    ComPtr<IUnknown> identity;
    if (object) object->QueryInterface(IID_IUnknown, identity.put_void());
    return identity;
}

// The frame object of a browser event: its first declared argument, which
// comes last in the array. Null when the event does not carry one.
IDispatch* EventFrame(const DISPPARAMS* params) noexcept {
    if (!params || params->cArgs < 2 || !params->rgvarg) return nullptr;
    const VARIANT& frame = params->rgvarg[params->cArgs - 1];
    if (V_VT(&frame) == VT_DISPATCH) return V_DISPATCH(&frame);
    if (V_VT(&frame) == (VT_DISPATCH | VT_BYREF) && V_DISPATCHREF(&frame)) return *V_DISPATCHREF(&frame);
    return nullptr;
}

void ProtectionOffUnlessTrayHolds(HWND toolbar) noexcept {
    if (!IsTrayEventSignalled())
        SetDriverProtection(0, static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(toolbar)));
}

}  // namespace

const CLSID CLSID_VNLToolBandObj = {0xCB7DC2DA, 0xD8C9, 0x4004, {0x85, 0x48, 0x1E, 0x24, 0xAA, 0x7D, 0x46, 0xDE}};

const ActivationContext& BandActivationContext() noexcept {
    static ActivationContext context;
    static std::once_flag once;
    try {
        std::call_once(once, [] { context.Create(ModuleInstance()); });
    } catch (...) {
    }
    return context;
}

void ClearWarningShown() noexcept { g_warningShown = false; }

bool CheckActiveField(bool) noexcept { return false; }
void EngageOnActiveBand() noexcept {}
void PrepareBandHooks() noexcept {}
void StartMenuWatcher(CToolBandObj*) noexcept {}
void RemoveBandHooks() noexcept {}

CToolBandObj::~CToolBandObj() {
    validationContainerIds_.clear();
    documentSinks_.clear();
    elementSink_.Reset();
}

// IOleWindow, IDockingWindow, IDeskBand

STDMETHODIMP CToolBandObj::GetWindow(HWND* window) noexcept {
    if (!window) return E_INVALIDARG;
    *window = toolbar_.Handle();
    return S_OK;
}

STDMETHODIMP CToolBandObj::ContextSensitiveHelp(BOOL enterMode) noexcept {
    contextHelp_ = enterMode;
    return S_OK;
}

STDMETHODIMP CToolBandObj::ShowDW(BOOL show) noexcept {
    HWND toolbar = toolbar_.Handle();
    if (siteWindow_ && toolbar) {
        const int count = static_cast<int>(::SendMessageW(siteWindow_, RB_GETBANDCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            REBARBANDINFOW band{};
            band.cbSize = REBARBANDINFOW_V6_SIZE;
            band.fMask = RBBIM_STYLE | RBBIM_CHILD;
            if (!::SendMessageW(siteWindow_, RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&band))) continue;
            if (band.hwndChild != toolbar) continue;
            band.fMask = RBBIM_STYLE;
            band.fStyle = RBBS_USECHEVRON;
            ::SendMessageW(siteWindow_, RB_SETBANDINFOW, i, reinterpret_cast<LPARAM>(&band));
            break;
        }
    }
    shown_ = show;
    if (toolbar) ::ShowWindow(toolbar, show ? SW_SHOW : SW_HIDE);
    return S_OK;
}

STDMETHODIMP CToolBandObj::CloseDW(DWORD) noexcept {
    try {
        documentSinks_.clear();
        if (browser_) {
            browserPoints_.reset();
            if (SUCCEEDED(browser_.query_to(browserPoints_))) {
                ComPtr<IConnectionPoint> point;
                if (SUCCEEDED(browserPoints_->FindConnectionPoint(kDiidWebBrowserEvents2, point.put())) &&
                    browserCookie_) {
                    point->Unadvise(browserCookie_);
                }
            }
            browserCookie_ = 0;
        }
        // Only a band that was counted is counted down: a band that never
        // registered (driver unavailable) has no share in the window's count,
        // in the hooks or in protection.
        if (!std::exchange(registered_, false)) return S_OK;
        HWND toolbar = toolbar_.Handle();
        UnregisterBand(this);
        if (ReleaseWindowCount(topLevel_)) ProtectionOffUnlessTrayHolds(toolbar);
        if (RegisteredBandCount() == 0) {
            SignalBandStopEvent();
            RemoveBandHooks();
            ProtectionOffUnlessTrayHolds(toolbar);
        }
    } catch (...) {
    }
    return S_OK;
}

STDMETHODIMP CToolBandObj::ResizeBorderDW(LPCRECT, IUnknown*, BOOL) noexcept { return E_NOTIMPL; }

STDMETHODIMP CToolBandObj::GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info) noexcept {
    bandId_ = bandId;
    viewMode_ = viewMode;
    if (!info) return S_OK;
    if (info->dwMask & DBIM_MINSIZE) info->ptMinSize = {kMinWidth, kHeight};
    if (info->dwMask & DBIM_MAXSIZE) info->ptMaxSize = {0, -1};
    if (info->dwMask & DBIM_INTEGRAL) info->ptIntegral = {1, 1};
    if (info->dwMask & DBIM_ACTUAL) {
        LONG width = 0;
        if (HWND toolbar = toolbar_.Handle()) {
            const int count = static_cast<int>(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                RECT rect{};
                if (::SendMessageW(toolbar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rect)))
                    width += rect.right - rect.left;
            }
        }
        info->ptActual = {width, kHeight};
    }
    info->dwMask &= ~static_cast<DWORD>(DBIM_BKCOLOR);
    if (info->dwMask & DBIM_MODEFLAGS) info->dwModeFlags = kModeFlags;
    return S_OK;
}

// IObjectWithSite

STDMETHODIMP CToolBandObj::SetSite(IUnknown* site) noexcept {
    try {
        inputSite_.reset();
        if (!site) return S_OK;

        siteWindow_ = nullptr;
        ComPtr<IOleWindow> oleWindow;
        if (SUCCEEDED(site->QueryInterface(IID_IOleWindow, oleWindow.put_void()))) oleWindow->GetWindow(&siteWindow_);
        if (!siteWindow_ || !::IsWindow(siteWindow_)) return E_FAIL;

        ComPtr<IServiceProvider> services;
        browser_.reset();
        if (FAILED(site->QueryInterface(IID_IServiceProvider, services.put_void()))) return E_FAIL;
        if (FAILED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser_.put_void())) || !browser_)
            return E_FAIL;

        if (!CreateBandWindows()) return E_FAIL;
        if (!DriverUsable(BandDriverStatus())) return S_OK;

        if (FAILED(site->QueryInterface(IID_IInputObjectSite, inputSite_.put_void()))) {
            // The host gives up on a band whose SetSite fails and never closes
            // it: it must not stay listed, counted or held by the registry.
            if (std::exchange(registered_, false)) {
                UnregisterBand(this);
                ReleaseWindowCount(topLevel_);
            }
            return E_FAIL;
        }

        browserPoints_.reset();
        if (FAILED(browser_.query_to(browserPoints_))) return S_OK;
        ComPtr<IConnectionPoint> point;
        if (FAILED(browserPoints_->FindConnectionPoint(kDiidWebBrowserEvents2, point.put()))) return S_OK;
        DWORD cookie = 0;
        if (SUCCEEDED(point->Advise(static_cast<IToolBandObj*>(this), &cookie))) browserCookie_ = cookie;
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP CToolBandObj::GetSite(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!inputSite_) return E_FAIL;
    return inputSite_->QueryInterface(iid, out);
}

bool CToolBandObj::CreateBandWindows() noexcept {
    RECT client{};
    ::GetClientRect(siteWindow_, &client);
    ActivationScope scope(BandActivationContext());

    {
        std::lock_guard<std::mutex> startup(StartupLock());
        if (!BandSettingsLoaded()) {
            INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
            ::InitCommonControlsEx(&controls);
            const int status = OpenDriverChannel(0);
            SetBandDriverStatus(status);
            SetDriverProtection(0, 0);
            if (DriverUsable(status)) {
                PrepareBandHooks();
                CreateBandStopEvent();
            }
            StartMenuWatcher(this);
        }
        if (DriverUsable(BandDriverStatus())) ReloadBandSettings(false);
    }

    if (!reflector_.Create(siteWindow_, client, L"", WS_CHILD)) return false;
    if (toolbar_.CreateBandToolBar(reflector_.Handle(), IDR_BAND_TOOLBAR, kBandToolBarStyle, 0, kBandToolBarId))
        ::SendMessageW(toolbar_.Handle(), TB_SETEXTENDEDSTYLE, 0, kBandToolBarExStyle);
    if (browser_) toolbar_.SetBrowser(browser_.get());

    if (DriverUsable(BandDriverStatus())) {
        topLevel_ = ::GetAncestor(siteWindow_, GA_ROOT);
        registered_ = RegisterBand(this, topLevel_) || registered_;
    }
    return toolbar_.IsWindow();
}

// IInputObject

STDMETHODIMP CToolBandObj::UIActivateIO(BOOL, MSG*) noexcept { return S_OK; }

STDMETHODIMP CToolBandObj::HasFocusIO() noexcept {
    HWND toolbar = toolbar_.Handle();
    HWND focus = ::GetFocus();
    if (!toolbar || !focus) return S_FALSE;
    for (HWND child = ::GetWindow(toolbar, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (child == focus || ::GetWindow(child, GW_CHILD) == focus) return S_OK;
    }
    return S_FALSE;
}

STDMETHODIMP CToolBandObj::TranslateAcceleratorIO(MSG* message) noexcept {
    return toolbar_.TranslateAccelerator(message);
}

// IConnectionPointContainer

STDMETHODIMP CToolBandObj::EnumConnectionPoints(IEnumConnectionPoints** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComObject<CEmptyConnectionPoints>* points = nullptr;
    RETURN_IF_FAILED(ComObject<CEmptyConnectionPoints>::CreateInstance(&points));
    *out = points;
    return S_OK;
}

STDMETHODIMP CToolBandObj::FindConnectionPoint(REFIID, IConnectionPoint** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    return CONNECT_E_NOCONNECTION;
}

// IToolBandObj: the event dispatcher

STDMETHODIMP CToolBandObj::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                  UINT*) noexcept {
    if (!params) return E_INVALIDARG;
    try {
        switch (id) {
        case kDispNavigateComplete2: OnNavigateComplete2(EventFrame(params)); break;
        case kDispDocumentComplete: OnDocumentComplete(EventFrame(params)); break;
        case kDispFocusIn: OnFocusIn(params); break;
        case kDispFocusOut: OnFocusOut(params); break;
        case kDispKeyPress: OnKeyPress(params, result); break;
        default: break;
        }
    } catch (...) {
    }
    return S_OK;
}

bool CToolBandObj::IsTopFrame(IDispatch* frame) const noexcept {
    if (!topFrameIdentity_ || !frame) return false;
    return Identity(frame).get() == topFrameIdentity_.get();
}

void CToolBandObj::OnNavigateComplete2(IDispatch* frame) noexcept {
    if (IsTopFrame(frame)) {
        ClearWarningShown();
        if (!BandArmed()) toolbar_.SetStatusButton(kStatusActivate);
    }
    ComPtr<IDispatch> documentDispatch;
    ComPtr<IHTMLDocument2> document;
    if (browser_ && SUCCEEDED(browser_->get_Document(documentDispatch.put())) && documentDispatch &&
        SUCCEEDED(documentDispatch.query_to(document))) {
        BSTR domain = nullptr;
        pageDomain_.clear();
        if (SUCCEEDED(document->get_domain(&domain)) && domain) {
            char text[260] = {};
            ::WideCharToMultiByte(CP_ACP, 0, domain, -1, text, 259, nullptr, nullptr);
            text[259] = '\0';
            pageDomain_ = text;
        }
        ::SysFreeString(domain);
        documentSinks_.clear();
        AttachDocumentSink(document.get());
        WalkFrames(document.get(), 0);
    }
    if (!topFrameIdentity_ && frame) topFrameIdentity_ = Identity(frame);
}

void CToolBandObj::OnDocumentComplete(IDispatch* frame) noexcept {
    if (!IsTopFrame(frame) || !browser_) return;
    ComPtr<IDispatch> document;
    if (SUCCEEDED(browser_->get_Document(document.put())) && document) ScanValidationScripts(document.get());
}

void CToolBandObj::AttachDocumentSink(IHTMLDocument2*) noexcept {}
void CToolBandObj::WalkFrames(IHTMLDocument2*, int) noexcept {}
void CToolBandObj::ScanValidationScripts(IDispatch*) noexcept {}
void CToolBandObj::OnFocusIn(DISPPARAMS*) noexcept {}
void CToolBandObj::OnFocusOut(DISPPARAMS*) noexcept {}
void CToolBandObj::OnKeyPress(DISPPARAMS*, VARIANT*) noexcept {}

}  // namespace vnl
