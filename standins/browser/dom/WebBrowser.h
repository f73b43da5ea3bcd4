// The top-level web browser object of one window or tab: navigation with the
// browser's events, the focused element, keypresses, and the few calls that
// reach the window around it (through BrowserHost).
#pragma once

#include <windows.h>
#include <exdisp.h>

#include <memory>
#include <string>

#include "ObjectModel.h"

namespace vnl::browser {

// What the browser object asks of the window that shows it. Called on the
// browser's thread.
class BrowserHost {
public:
    virtual HWND FrameWindow() = 0;
    // Navigations asked for through Navigate2: the host runs them from its
    // message loop, after the caller has returned, as the browser does.
    virtual void QueueNavigate(const std::wstring& address) = 0;
    virtual void OpenNewWindow(const std::wstring& address) = 0;
    // The band of class `clsid`: shown (loaded first when it is not) or hidden.
    virtual HRESULT ShowBand(const CLSID& clsid, bool show) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool Visible() = 0;
    virtual void Quit() = 0;
    // The page, the focus or a field's value changed: repaint.
    virtual void PageChanged() = 0;

protected:
    ~BrowserHost() = default;
};

class CWebBrowser : public ComObjectRoot, public NotImpl<IWebBrowser2>, public NotImpl<IConnectionPointContainer> {
public:
    VNL_BEGIN_INTERFACE_MAP(CWebBrowser)
        VNL_INTERFACE_ENTRY(IWebBrowser2)
        VNL_INTERFACE_ENTRY2(IWebBrowserApp, IWebBrowser2)
        VNL_INTERFACE_ENTRY2(IWebBrowser, IWebBrowser2)
        VNL_INTERFACE_ENTRY2(IDispatch, IWebBrowser2)
        VNL_INTERFACE_ENTRY(IConnectionPointContainer)
    VNL_END_INTERFACE_MAP()

    // `host` may be null (a browser driven directly, in-process): then
    // Navigate2 navigates at once and the window calls do nothing.
    CWebBrowser(PageLoader loader, BrowserHost* host);
    ~CWebBrowser();

    // IWebBrowser2
    STDMETHODIMP Navigate(BSTR url, VARIANT* flags, VARIANT* target, VARIANT* postData, VARIANT* headers) noexcept override;
    STDMETHODIMP Navigate2(VARIANT* url, VARIANT* flags, VARIANT* target, VARIANT* postData, VARIANT* headers) noexcept override;
    STDMETHODIMP Refresh() noexcept override;
    STDMETHODIMP Stop() noexcept override;
    STDMETHODIMP get_Document(IDispatch** p) noexcept override;
    STDMETHODIMP get_LocationURL(BSTR* p) noexcept override;
    STDMETHODIMP get_LocationName(BSTR* p) noexcept override;
    STDMETHODIMP get_Busy(VARIANT_BOOL* p) noexcept override;
    STDMETHODIMP get_ReadyState(READYSTATE* p) noexcept override;
    STDMETHODIMP get_TopLevelContainer(VARIANT_BOOL* p) noexcept override;
    STDMETHODIMP get_Type(BSTR* p) noexcept override;
    STDMETHODIMP get_HWND(SHANDLE_PTR* p) noexcept override;
    STDMETHODIMP get_Visible(VARIANT_BOOL* p) noexcept override;
    STDMETHODIMP put_Visible(VARIANT_BOOL v) noexcept override;
    STDMETHODIMP ShowBrowserBar(VARIANT* clsid, VARIANT* show, VARIANT* size) noexcept override;
    STDMETHODIMP Quit() noexcept override;
    // IConnectionPointContainer
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override;

    IDispatch* Dispatch() noexcept { return static_cast<IWebBrowser2*>(this); }
    IWebBrowser2* Interface() noexcept { return static_cast<IWebBrowser2*>(this); }

    // Loads `address` and fires BeforeNavigate2 (a sink may cancel),
    // NavigateComplete2 for the top frame and then each frame in document
    // order, and DocumentComplete for each frame (innermost first) and the top
    // frame last. Returns false when a sink cancelled.
    bool NavigateTo(const std::wstring& address);
    CHtmlDocument* Document() const noexcept { return document_; }
    Page* TopPage() const noexcept { return document_ ? document_->GetPage() : nullptr; }

    // The element with this id: the top document first, then every frame's
    // document in document order. Null when there is none.
    CHtmlElement* FindElement(const std::wstring& id);
    // Moves the focus: focusout on the element that had it, then focusin on
    // `element`; each goes to the element's sinks (and its ancestors') first,
    // then to its document's sinks. Null takes the focus away.
    void FocusElement(CHtmlElement* element);
    CHtmlElement* FocusedElement() const noexcept { return focused_; }
    // A character typed while the page has the keyboard: a keypress on the
    // focused field whose keyCode is the character. Element sinks (the field,
    // then its ancestors) are called first, then the document's unless
    // cancelBubble was set. Cancelled when a sink's Invoke result is the
    // boolean false or returnValue is false; otherwise the event's key code
    // (possibly changed by a sink) goes into the field. Returns whether a
    // character was inserted.
    bool KeyPress(wchar_t character);
    // Backspace in the focused field: the last character goes (no keypress, as in the browser).
    bool DeleteBackward();
    // Leaves the page: detaches its documents, nothing is fired.
    void Close() noexcept;
    void ForgetHost() noexcept { host_ = nullptr; }
    // Tells the host to repaint (a field's value or the focus changed).
    void PageChanged() noexcept;

private:
    // Event firing.
    void FireBrowserEvent(DISPID dispid, std::vector<VARIANT>& args);
    // Fires an HTML event on `element` with the bubbling rules; returns the event object.
    ComPtr<ComObject<CHtmlEventObj>> FireElementEvent(CHtmlElement* element, DISPID dispid, const wchar_t* type, LONG keyCode,
                                           bool* cancelledByResult);
    void NavigateFrames(CHtmlDocument* document, bool complete);

    PageLoader loader_;
    BrowserHost* host_;
    ConnectionPoints points_;
    ComPtr<IHTMLDocument2> documentRef_;
    CHtmlDocument* document_ = nullptr;
    CHtmlElement* focused_ = nullptr;        // kept alive by its document
    ComPtr<IHTMLElement> focusedRef_;
    bool visible_ = true;
};

// Makes a browser object; null on failure.
ComPtr<ComObject<CWebBrowser>> MakeWebBrowser(PageLoader loader, BrowserHost* host);

// A file reader for PageLoader over the Win32 file calls.
bool ReadPageFile(const std::wstring& path, std::size_t maxBytes, std::string& bytes, std::wstring& error);

}  // namespace vnl::browser
