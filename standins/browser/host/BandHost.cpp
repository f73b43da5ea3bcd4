#include "BandHost.h"

#include <commctrl.h>
#include <shlguid.h>

#include "ErrorMacros.h"
#include "UniqueAny.h"

namespace vnl::browser {

namespace {

void Report(const wchar_t* what, const CLSID& clsid, HRESULT hr) {
    wchar_t line[160];
    swprintf(line, 160, L"vnl-browser: band %ls: %ls failed (0x%08lX)\n", ClsidText(clsid).c_str(), what,
             static_cast<unsigned long>(hr));
    ::OutputDebugStringW(line);
}

}  // namespace

std::wstring ClsidText(const CLSID& clsid) {
    wchar_t text[64] = {};
    ::StringFromGUID2(clsid, text, 64);
    return text;
}

STDMETHODIMP CBandSite::GetWindow(HWND* window) noexcept {
    if (!window) return E_INVALIDARG;
    *window = rebar_;
    return S_OK;
}

STDMETHODIMP CBandSite::QueryService(REFGUID service, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!browser_) return E_FAIL;
    if (service == SID_SWebBrowserApp || service == IID_IWebBrowser2 || service == SID_SInternetExplorer ||
        service == SID_STopLevelBrowser)
        return browser_->QueryInterface(iid, out);
    return E_NOINTERFACE;
}

BandHost::BandHost(HWND rebar, IWebBrowser2* browser) : rebar_(rebar) {
    ComObject<CBandSite>* site = nullptr;
    if (SUCCEEDED(ComObject<CBandSite>::CreateInstance(&site, rebar, browser))) site_.attach(site);
}

BandHost::~BandHost() { CloseAll(); }

void BandHost::LoadListedBands() {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kToolbarKey, 0, KEY_READ, &raw) != ERROR_SUCCESS) return;
    UniqueRegKey key(raw);
    std::vector<CLSID> listed;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        const LONG rc = ::RegEnumValueW(key.get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) continue;
        CLSID clsid;
        if (SUCCEEDED(::CLSIDFromString(name, &clsid))) listed.push_back(clsid);
    }
    for (const CLSID& clsid : listed) Load(clsid);
}

HRESULT BandHost::Load(const CLSID& clsid) {
    for (const Band& b : bands_)
        if (b.clsid == clsid) return S_FALSE;
    if (!site_) return E_OUTOFMEMORY;
    Band band;
    band.clsid = clsid;
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, band.object.put_void());
    if (FAILED(hr)) { Report(L"CoCreateInstance", clsid, hr); return hr; }
    ComPtr<IObjectWithSite> withSite;
    hr = band.object.query_to(withSite);
    if (FAILED(hr)) { Report(L"IObjectWithSite", clsid, hr); return hr; }
    hr = withSite->SetSite(static_cast<IOleWindow*>(site_.get()));
    if (FAILED(hr)) {
        Report(L"SetSite", clsid, hr);
        withSite->SetSite(nullptr);
        return hr;
    }
    hr = band.object.query_to(band.deskBand);
    if (FAILED(hr)) {
        Report(L"IDeskBand", clsid, hr);
        withSite->SetSite(nullptr);
        return hr;
    }
    band.bandId = nextBandId_++;
    DESKBANDINFO info = {};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS | DBIM_BKCOLOR;
    if (FAILED(band.deskBand->GetBandInfo(band.bandId, DBIF_VIEWMODE_NORMAL, &info))) info = {};
    band.deskBand->GetWindow(&band.window);

    REBARBANDINFOW rb = {};
    rb.cbSize = sizeof rb;
    rb.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_ID | RBBIM_SIZE;
    rb.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS;
    if (info.dwModeFlags & DBIMF_BREAK) rb.fStyle |= RBBS_BREAK;
    if (info.dwModeFlags & DBIMF_USECHEVRON) rb.fStyle |= RBBS_USECHEVRON;
    rb.hwndChild = band.window;
    rb.cxMinChild = info.ptMinSize.x > 0 ? static_cast<UINT>(info.ptMinSize.x) : 100;
    rb.cyMinChild = info.ptMinSize.y > 0 ? static_cast<UINT>(info.ptMinSize.y) : 22;
    rb.cx = info.ptActual.x > 0 ? static_cast<UINT>(info.ptActual.x) : 400;
    rb.wID = band.bandId;
    if (band.window) ::SendMessageW(rebar_, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&rb));
    band.deskBand->ShowDW(TRUE);
    band.shown = true;
    bands_.push_back(std::move(band));
    return S_OK;
}

HRESULT BandHost::Show(const CLSID& clsid, bool show) {
    RETURN_IF_FAILED(Load(clsid));
    for (Band& b : bands_) {
        if (b.clsid != clsid) continue;
        const int index = static_cast<int>(::SendMessageW(rebar_, RB_IDTOINDEX, b.bandId, 0));
        if (index >= 0) ::SendMessageW(rebar_, RB_SHOWBAND, static_cast<WPARAM>(index), show ? TRUE : FALSE);
        b.deskBand->ShowDW(show ? TRUE : FALSE);
        b.shown = show;
        return S_OK;
    }
    return E_FAIL;
}

void BandHost::ShowAll(bool show) {
    for (Band& b : bands_) {
        b.deskBand->ShowDW(show ? TRUE : FALSE);
        b.shown = show;
    }
}

void BandHost::CloseAll() noexcept {
    while (!bands_.empty()) {
        Band band = std::move(bands_.back());
        bands_.pop_back();
        band.deskBand->CloseDW(0);
        const int index = static_cast<int>(::SendMessageW(rebar_, RB_IDTOINDEX, band.bandId, 0));
        if (index >= 0) ::SendMessageW(rebar_, RB_DELETEBAND, static_cast<WPARAM>(index), 0);
        ComPtr<IObjectWithSite> withSite;
        if (SUCCEEDED(band.object.query_to(withSite))) withSite->SetSite(nullptr);
        withSite.reset();
        band.deskBand.reset();
        band.object.reset();  // the band's last reference, unless it keeps one itself
    }
}

int BandHost::Height() const {
    if (bands_.empty()) return 0;
    return static_cast<int>(::SendMessageW(rebar_, RB_GETBARHEIGHT, 0, 0));
}

}  // namespace vnl::browser
