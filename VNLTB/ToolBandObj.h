// CToolBandObj: the band the browser creates for its toolbar area. It docks
// through the desk-band protocol, takes the browser from its site, owns the
// toolbar and its reflector, and is the one event sink of the browser and the
// page through its dispatch interface IToolBandObj.
//
// Every call on one band comes on the browser thread that created it. Teardown
// happens in one place: CloseDW unadvises, unregisters the band and switches
// protection off when the last band of a window or of the process closes; the
// windows go with the object.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <ocidl.h>
#include <shobjidl.h>

#include <map>
#include <string>
#include <vector>

#include "BandState.h"
#include "BandToolBar.h"
#include "ComObject.h"
#include "ComPtr.h"
#include "DispatchImpl.h"
#include "SinkConnection.h"
#include "TOOLBAND.h"

namespace vnl {

// The DISPIDs the dispatcher acts on.
inline constexpr DISPID kDispNavigateComplete2 = 252;
inline constexpr DISPID kDispDocumentComplete = 259;
inline constexpr DISPID kDispFocusIn = 1048;
inline constexpr DISPID kDispFocusOut = 1049;
inline constexpr DISPID kDispKeyPress = -603;

class CToolBandObj : public ComObjectRoot,
                     public DispatchImpl<IToolBandObj>,
                     public IDeskBand,
                     public IObjectWithSite,
                     public IInputObject,
                     public IConnectionPointContainer {
public:
    VNL_BEGIN_INTERFACE_MAP(CToolBandObj)
        VNL_INTERFACE_ENTRY(IToolBandObj)
        VNL_INTERFACE_ENTRY2(IOleWindow, IDeskBand)
        VNL_INTERFACE_ENTRY2(IDockingWindow, IDeskBand)
        VNL_INTERFACE_ENTRY(IObjectWithSite)
        VNL_INTERFACE_ENTRY(IDeskBand)
        VNL_INTERFACE_ENTRY(IInputObject)
        VNL_INTERFACE_ENTRY2(IDispatch, IToolBandObj)
        VNL_INTERFACE_ENTRY(IConnectionPointContainer)
    VNL_END_INTERFACE_MAP()

    CToolBandObj() noexcept = default;
    ~CToolBandObj();

    // IOleWindow, IDockingWindow, IDeskBand
    STDMETHODIMP GetWindow(HWND* window) noexcept override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) noexcept override;
    STDMETHODIMP ShowDW(BOOL show) noexcept override;
    STDMETHODIMP CloseDW(DWORD reserved) noexcept override;
    STDMETHODIMP ResizeBorderDW(LPCRECT border, IUnknown* site, BOOL reserved) noexcept override;
    STDMETHODIMP GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info) noexcept override;

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) noexcept override;
    STDMETHODIMP GetSite(REFIID iid, void** out) noexcept override;

    // IInputObject
    STDMETHODIMP UIActivateIO(BOOL activate, MSG* message) noexcept override;
    STDMETHODIMP HasFocusIO() noexcept override;
    STDMETHODIMP TranslateAcceleratorIO(MSG* message) noexcept override;

    // IConnectionPointContainer: the band offers no connection points.
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override;

    // IToolBandObj: the event dispatcher. Always S_OK once it has parameters.
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) noexcept override;

    // The toolbar window, or null.
    HWND ToolbarWindow() const noexcept { return toolbar_.Handle(); }
    // The root ancestor of the site window the band was registered under.
    HWND TopLevelWindow() const noexcept { return topLevel_; }
    // The status indicator of this band's toolbar.
    void SetStatusButton(BandStatus status) noexcept { toolbar_.SetStatusButton(status); }
    IDeskBand* AsDeskBand() noexcept { return static_cast<IDeskBand*>(this); }
    const char* PageDomain() const noexcept { return pageDomain_.c_str(); }

private:
    // Creates the reflector and the toolbar over the site window; the first
    // band of the process (and every band while the driver stays unavailable)
    // opens the driver channel first. Returns whether the toolbar window exists.
    bool CreateBandWindows() noexcept;
    void OnNavigateComplete2(IDispatch* frame) noexcept;
    void OnDocumentComplete(IDispatch* frame) noexcept;
    bool IsTopFrame(IDispatch* frame) const noexcept;

    // Page handlers: the field scanner and the protection controller come in
    // their own change and do nothing yet.
    void AttachDocumentSink(IHTMLDocument2* document) noexcept;
    void WalkFrames(IHTMLDocument2* document, int depth) noexcept;
    void ScanValidationScripts(IDispatch* document) noexcept;
    void OnFocusIn(DISPPARAMS* params) noexcept;
    void OnFocusOut(DISPPARAMS* params) noexcept;
    void OnKeyPress(DISPPARAMS* params, VARIANT* result) noexcept;

    ComPtr<IConnectionPointContainer> browserPoints_;
    DWORD browserCookie_ = 0;
    DWORD bandId_ = 0;
    DWORD viewMode_ = 0;
    BOOL shown_ = FALSE;
    BOOL contextHelp_ = FALSE;
    ComPtr<IInputObjectSite> inputSite_;
    ComPtr<IWebBrowser2> browser_;
    ComPtr<IUnknown> topFrameIdentity_;  // identity of the first NavigateComplete2's frame
    CBandToolBarReflectorCtrl reflector_;
    CBandToolBarCtrl toolbar_;
    HWND siteWindow_ = nullptr;
    HWND topLevel_ = nullptr;
    bool registered_ = false;
    int lastKeyCode_ = 0;
    bool deadKeyPending_ = false;
    bool injectionPending_ = false;
    std::string pageDomain_;
    std::vector<SinkConnection> documentSinks_;
    SinkConnection elementSink_;
    std::map<std::string, int> validationContainerIds_;
};

// The band's class id.
extern const CLSID CLSID_VNLToolBandObj;

// Process-wide flags of the page Parts, kept beside BandState.
void ClearWarningShown() noexcept;

// Protection controller entry points the toolbar uses; the controller comes in
// its own change. CheckActiveField answers whether the active band's focused
// element is a protectable field (none yet: false).
bool CheckActiveField(bool highlight) noexcept;
void EngageOnActiveBand() noexcept;

// Call sites of the system-event hooks and the menu watcher thread, which come
// in their own change: each does nothing yet.
// First band, driver usable: browser version, hooked threads, install.
void PrepareBandHooks() noexcept;
// First band, whatever the driver status: start the menu watcher thread.
void StartMenuWatcher(CToolBandObj* band) noexcept;
// Last band of the process, after the stop event was signalled.
void RemoveBandHooks() noexcept;

// The activation context of the band module's manifest, built on first use.
const class ActivationContext& BandActivationContext() noexcept;

}  // namespace vnl
