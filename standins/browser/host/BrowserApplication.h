// The browser application object (class {0002DF01-0000-0000-C000-000000000046})
// served by iexplore.exe started as a local server ("-Embedding"): each
// instance is a new frame window, hidden until put_Visible, whose front tab
// carries out what is asked of it (ShowBrowserBar loads and shows the named
// band there). It lives on the main thread; the tab is reached with requests.
#pragma once

#include <windows.h>
#include <exdisp.h>

#include <string>
#include <vector>

#include "ComObject.h"
#include "NotImplBases.h"

namespace vnl::browser {

class BrowserApp;

inline constexpr CLSID kClsidInternetExplorer = {0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class CBrowserApplication : public ComObjectRoot, public NotImpl<IWebBrowser2> {
public:
    VNL_BEGIN_INTERFACE_MAP(CBrowserApplication)
        VNL_INTERFACE_ENTRY(IWebBrowser2)
        VNL_INTERFACE_ENTRY2(IWebBrowserApp, IWebBrowser2)
        VNL_INTERFACE_ENTRY2(IWebBrowser, IWebBrowser2)
        VNL_INTERFACE_ENTRY2(IDispatch, IWebBrowser2)
    VNL_END_INTERFACE_MAP()

    HRESULT FinalConstruct() noexcept;
    ~CBrowserApplication();

    STDMETHODIMP Navigate(BSTR url, VARIANT* flags, VARIANT* target, VARIANT* postData, VARIANT* headers) noexcept override;
    STDMETHODIMP Navigate2(VARIANT* url, VARIANT* flags, VARIANT* target, VARIANT* postData, VARIANT* headers) noexcept override;
    STDMETHODIMP get_LocationURL(BSTR* p) noexcept override;
    STDMETHODIMP get_Busy(VARIANT_BOOL* p) noexcept override;
    STDMETHODIMP get_ReadyState(READYSTATE* p) noexcept override;
    STDMETHODIMP get_HWND(SHANDLE_PTR* p) noexcept override;
    STDMETHODIMP get_Visible(VARIANT_BOOL* p) noexcept override;
    STDMETHODIMP put_Visible(VARIANT_BOOL v) noexcept override;
    STDMETHODIMP ShowBrowserBar(VARIANT* clsid, VARIANT* show, VARIANT* size) noexcept override;
    STDMETHODIMP Quit() noexcept override;

    // The program that serves the class; set before the class object is registered.
    static void SetApp(BrowserApp* app) noexcept;
    // The class-table creator.
    static HRESULT Create(REFIID iid, void** out) noexcept;

private:
    // Runs one request on the front tab; false when the tab cannot be reached.
    bool TabRequestOk(std::vector<std::wstring> args, std::wstring* reply = nullptr);

    HWND frame_ = nullptr;
};

}  // namespace vnl::browser
