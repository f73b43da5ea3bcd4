// Mock objects of the browser as a band sees it, for tests that drive bands in
// their own process: a top-level window with a rebar (the band site's window),
// a site answering IOleWindow, IServiceProvider (SID_SWebBrowserApp) and
// IInputObjectSite, and a browser whose DWebBrowserEvents2 point records the
// advises it receives.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <servprov.h>
#include <shobjidl.h>

#include <vector>

#include "ComObject.h"
#include "ComPtr.h"
#include "NotImplBases.h"

namespace bandtest {

using vnl::browser::NotImpl;

// DWebBrowserEvents2.
extern const IID kDiidWebBrowserEvents2;

// One event point that records Advise and Unadvise and holds the sinks.
class CMockEventPoint : public vnl::ComObjectRoot, public IConnectionPoint {
public:
    VNL_BEGIN_INTERFACE_MAP(CMockEventPoint)
        VNL_INTERFACE_ENTRY(IConnectionPoint)
    VNL_END_INTERFACE_MAP()

    STDMETHODIMP GetConnectionInterface(IID* iid) noexcept override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) noexcept override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    STDMETHODIMP Unadvise(DWORD cookie) noexcept override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) noexcept override;

    std::vector<DWORD> advised;     // cookies handed out
    std::vector<DWORD> unadvised;   // cookies taken back
    // The live sinks by cookie (a sink's reference is dropped at Unadvise).
    std::vector<std::pair<DWORD, vnl::ComPtr<IDispatch>>> sinks;
};

struct MockBrowserOptions {
    bool eventsPoint = true;
};

class CMockBrowser : public vnl::ComObjectRoot, public NotImpl<IWebBrowser2>, public IConnectionPointContainer {
public:
    VNL_BEGIN_INTERFACE_MAP(CMockBrowser)
        VNL_INTERFACE_ENTRY(IWebBrowser2)
        VNL_INTERFACE_ENTRY2(IWebBrowserApp, IWebBrowser2)
        VNL_INTERFACE_ENTRY2(IWebBrowser, IWebBrowser2)
        VNL_INTERFACE_ENTRY2(IDispatch, IWebBrowser2)
        VNL_INTERFACE_ENTRY(IConnectionPointContainer)
    VNL_END_INTERFACE_MAP()

    explicit CMockBrowser(MockBrowserOptions options = {});

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override;

    // Calls Invoke on every advised sink with `id` and `args` (in the order the
    // event declares them; reversed for the call).
    void Fire(DISPID id, std::vector<VARIANT> args);

    MockBrowserOptions options;
    vnl::ComPtr<vnl::ComObject<CMockEventPoint>> events;
};

struct MockSiteOptions {
    bool window = true;
    bool services = true;
    bool inputSite = true;
    MockBrowserOptions browser;
};

class CMockSite : public vnl::ComObjectRoot, public IOleWindow, public IServiceProvider, public IInputObjectSite {
public:
    VNL_BEGIN_INTERFACE_MAP(CMockSite)
        VNL_INTERFACE_ENTRY(IOleWindow)
        VNL_INTERFACE_ENTRY(IServiceProvider)
        VNL_INTERFACE_ENTRY(IInputObjectSite)
    VNL_END_INTERFACE_MAP()

    CMockSite(HWND rebar, MockSiteOptions options);

    STDMETHODIMP GetWindow(HWND* window) noexcept override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) noexcept override;
    STDMETHODIMP OnFocusChangeIS(IUnknown*, BOOL) noexcept override { return S_OK; }

    vnl::ComPtr<vnl::ComObject<CMockBrowser>> browser;

protected:
    HWND rebar_;
    MockSiteOptions options_;
};

// A site without IInputObjectSite.
class CMockSiteWithoutInput : public CMockSite {
public:
    VNL_BEGIN_INTERFACE_MAP(CMockSiteWithoutInput)
        VNL_INTERFACE_ENTRY(IOleWindow)
        VNL_INTERFACE_ENTRY(IServiceProvider)
    VNL_END_INTERFACE_MAP()
    using CMockSite::CMockSite;
};

// A site as the band receives it, and its browser.
struct SiteHandle {
    vnl::ComPtr<IUnknown> site;
    vnl::ComPtr<vnl::ComObject<CMockBrowser>> browser;
};

// A top-level frame window with a rebar child, on the calling thread.
class BrowserWindow {
public:
    explicit BrowserWindow(const wchar_t* caption = L"Band test browser");
    ~BrowserWindow();
    BrowserWindow(const BrowserWindow&) = delete;
    BrowserWindow& operator=(const BrowserWindow&) = delete;
    HWND Frame() const { return frame_; }
    HWND Rebar() const { return rebar_; }
    // Makes a site on this window's rebar.
    SiteHandle MakeSite(MockSiteOptions options = {}) const;
    // Adds a rebar band whose child is `child`, as the browser does after SetSite.
    void AddBand(HWND child) const;

private:
    HWND frame_ = nullptr;
    HWND rebar_ = nullptr;
};

// Runs the thread's pending messages.
void PumpMessages();

}  // namespace bandtest
