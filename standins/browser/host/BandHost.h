// The bands of one browser tab: each class listed under the browser's
// "Toolbar" key created through COM activation and docked into the tab's
// rebar with the desk-band protocol, in the browser's order: SetSite,
// GetBandInfo, a rebar band whose child is the band's window, ShowDW; at
// close CloseDW, SetSite(nullptr), Release.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <servprov.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "ComObject.h"
#include "ComPtr.h"

namespace vnl::browser {

// The site a band gets: the rebar as its window, the browser through
// SID_SWebBrowserApp, and the input-object site.
class CBandSite : public ComObjectRoot, public IOleWindow, public IServiceProvider, public IInputObjectSite {
public:
    VNL_BEGIN_INTERFACE_MAP(CBandSite)
        VNL_INTERFACE_ENTRY(IOleWindow)
        VNL_INTERFACE_ENTRY(IServiceProvider)
        VNL_INTERFACE_ENTRY(IInputObjectSite)
    VNL_END_INTERFACE_MAP()

    CBandSite(HWND rebar, IWebBrowser2* browser) noexcept : rebar_(rebar), browser_(browser) {}

    STDMETHODIMP GetWindow(HWND* window) noexcept override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) noexcept override;
    STDMETHODIMP OnFocusChangeIS(IUnknown*, BOOL) noexcept override { return S_OK; }

    void ForgetBrowser() noexcept { browser_.reset(); }

private:
    HWND rebar_;
    ComPtr<IWebBrowser2> browser_;
};

// The subkey of HKEY_LOCAL_MACHINE whose value names are the bands' class ids.
inline constexpr const wchar_t* kToolbarKey = L"Software\\Microsoft\\Internet Explorer\\Toolbar";

class BandHost {
public:
    BandHost(HWND rebar, IWebBrowser2* browser);
    ~BandHost();
    BandHost(const BandHost&) = delete;
    BandHost& operator=(const BandHost&) = delete;

    // Loads every band listed under kToolbarKey; a band that cannot be made or
    // refuses its site is left out (and reported on the debugger output).
    void LoadListedBands();
    // Loads one band (S_FALSE when it is already loaded).
    HRESULT Load(const CLSID& clsid);
    // ShowDW and the rebar band's visibility; loads the band first when it is not.
    HRESULT Show(const CLSID& clsid, bool show);
    // Every band at once (the tab comes to the front or goes behind).
    void ShowAll(bool show);
    // CloseDW, SetSite(nullptr) and Release for every band, last loaded first.
    void CloseAll() noexcept;

    struct Band {
        CLSID clsid;
        ComPtr<IUnknown> object;
        ComPtr<IDeskBand> deskBand;
        HWND window = nullptr;
        UINT bandId = 0;
        bool shown = false;
    };
    const std::vector<Band>& Bands() const noexcept { return bands_; }
    // The rebar's height with its bands (0 without any).
    int Height() const;

private:
    HWND rebar_;
    ComPtr<ComObject<CBandSite>> site_;
    std::vector<Band> bands_;
    UINT nextBandId_ = 1;
};

std::wstring ClsidText(const CLSID& clsid);

}  // namespace vnl::browser
