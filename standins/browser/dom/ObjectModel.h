// The browser's object model over the page model: COM objects with the
// vtables of the system headers, answering what a hosted band calls and
// E_NOTIMPL (from the generated NotImpl bases) for everything else.
//
// Ownership. A browser holds its top document. A document holds every element
// object it has handed out (so the same element always gives the same
// pointer, and advises on it last as long as the page), and a frame element
// holds its frame's document. Elements, styles and collections point back to
// their document without owning it. When the browser leaves a page it detaches
// the page's documents: every object of the page forgets its node and answers
// E_UNEXPECTED from then on, and the objects go as their last holders release them.
// All objects of one browser are used on the browser's thread only.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <ocidl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ComObject.h"
#include "ComPtr.h"
#include "NotImplBases.h"
#include "Page.h"

namespace vnl::browser {

class CHtmlDocument;
class CHtmlElement;
class CWebBrowser;

// ---- connection points ------------------------------------------------------

// One connection point, a member of its owner: its reference count is the
// owner's, so an advised sink keeps the owner alive until it unadvises.
class CConnectionPoint final : public NotImpl<IConnectionPoint> {
public:
    CConnectionPoint(IConnectionPointContainer* owner, const IID& iid) noexcept : owner_(owner), iid_(iid) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() noexcept override { return owner_->Release(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) noexcept override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) noexcept override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    STDMETHODIMP Unadvise(DWORD cookie) noexcept override;

    const IID& Iid() const noexcept { return iid_; }
    // The advised sinks, in advise order (a copy: a sink may unadvise while called).
    std::vector<ComPtr<IDispatch>> Sinks() const;
    void UnadviseAll() noexcept { sinks_.clear(); }

private:
    IConnectionPointContainer* owner_;
    IID iid_;
    DWORD nextCookie_ = 1;
    std::vector<std::pair<DWORD, ComPtr<IDispatch>>> sinks_;
};

// The points of one container object.
class ConnectionPoints {
public:
    void Add(IConnectionPointContainer* owner, const IID& iid);
    HRESULT Find(REFIID iid, IConnectionPoint** out) noexcept;
    // Every sink of every point, in point order.
    std::vector<ComPtr<IDispatch>> AllSinks() const;
    void UnadviseAll() noexcept;

private:
    std::vector<std::unique_ptr<CConnectionPoint>> points_;
};

// Calls one sink's Invoke with `args` (given first argument first; they are
// passed reversed, as DISPPARAMS wants them). Returns the Invoke result and
// leaves the sink's result in `result` when given.
HRESULT InvokeSink(IDispatch* sink, DISPID dispid, std::vector<VARIANT>& args, VARIANT* result = nullptr) noexcept;

// ---- the event object ---------------------------------------------------------

class CHtmlEventObj : public ComObjectRoot, public NotImpl<IHTMLEventObj> {
public:
    VNL_BEGIN_INTERFACE_MAP(CHtmlEventObj)
        VNL_INTERFACE_ENTRY(IHTMLEventObj)
        VNL_INTERFACE_ENTRY2(IDispatch, IHTMLEventObj)
    VNL_END_INTERFACE_MAP()

    CHtmlEventObj(std::wstring type, IHTMLElement* source, LONG keyCode) noexcept;
    ~CHtmlEventObj();

    STDMETHODIMP get_srcElement(IHTMLElement** p) noexcept override;
    STDMETHODIMP get_type(BSTR* p) noexcept override;
    STDMETHODIMP get_keyCode(LONG* p) noexcept override;
    STDMETHODIMP put_keyCode(LONG v) noexcept override;
    STDMETHODIMP get_returnValue(VARIANT* p) noexcept override;
    STDMETHODIMP put_returnValue(VARIANT v) noexcept override;
    STDMETHODIMP get_cancelBubble(VARIANT_BOOL* p) noexcept override;
    STDMETHODIMP put_cancelBubble(VARIANT_BOOL v) noexcept override;
    STDMETHODIMP get_altKey(VARIANT_BOOL* p) noexcept override;
    STDMETHODIMP get_ctrlKey(VARIANT_BOOL* p) noexcept override;
    STDMETHODIMP get_shiftKey(VARIANT_BOOL* p) noexcept override;

    LONG KeyCode() const noexcept { return keyCode_; }
    bool CancelBubble() const noexcept { return cancelBubble_; }
    // returnValue was set to the boolean false.
    bool ReturnedFalse() const noexcept;

private:
    std::wstring type_;
    ComPtr<IHTMLElement> source_;
    LONG keyCode_;
    VARIANT returnValue_;
    bool cancelBubble_ = false;
};

// ---- styles -------------------------------------------------------------------

// The inline style of one element (its "style" attribute, parsed).
class CHtmlStyle : public ComObjectRoot, public NotImpl<IHTMLStyle> {
public:
    VNL_BEGIN_INTERFACE_MAP(CHtmlStyle)
        VNL_INTERFACE_ENTRY(IHTMLStyle)
        VNL_INTERFACE_ENTRY2(IDispatch, IHTMLStyle)
    VNL_END_INTERFACE_MAP()

    explicit CHtmlStyle(CHtmlElement* element) noexcept;
    ~CHtmlStyle();

    STDMETHODIMP get_backgroundColor(VARIANT* p) noexcept override;
    STDMETHODIMP put_backgroundColor(VARIANT v) noexcept override;
    STDMETHODIMP get_backgroundImage(BSTR* p) noexcept override;
    STDMETHODIMP put_backgroundImage(BSTR v) noexcept override;
    STDMETHODIMP get_background(BSTR* p) noexcept override;
    STDMETHODIMP put_background(BSTR v) noexcept override;
    STDMETHODIMP get_border(BSTR* p) noexcept override;
    STDMETHODIMP put_border(BSTR v) noexcept override;
    STDMETHODIMP get_borderStyle(BSTR* p) noexcept override;
    STDMETHODIMP put_borderStyle(BSTR v) noexcept override;
    STDMETHODIMP get_display(BSTR* p) noexcept override;
    STDMETHODIMP put_display(BSTR v) noexcept override;
    STDMETHODIMP get_visibility(BSTR* p) noexcept override;
    STDMETHODIMP put_visibility(BSTR v) noexcept override;
    STDMETHODIMP get_filter(BSTR* p) noexcept override;
    STDMETHODIMP put_filter(BSTR v) noexcept override;
    STDMETHODIMP get_cssText(BSTR* p) noexcept override;
    STDMETHODIMP put_cssText(BSTR v) noexcept override;
    STDMETHODIMP getAttribute(BSTR name, LONG flags, VARIANT* value) noexcept override;
    STDMETHODIMP setAttribute(BSTR name, VARIANT value, LONG flags) noexcept override;

    void ForgetElement() noexcept { element_ = nullptr; }

private:
    HRESULT Get(const wchar_t* property, BSTR* p) noexcept;
    HRESULT Put(const wchar_t* property, BSTR v) noexcept;
    CHtmlElement* element_;          // held through elementRef_
    ComPtr<IHTMLElement> elementRef_;
};

// The computed style of one element: inline values, else the defaults.
class CHtmlCurrentStyle : public ComObjectRoot, public NotImpl<IHTMLCurrentStyle> {
public:
    VNL_BEGIN_INTERFACE_MAP(CHtmlCurrentStyle)
        VNL_INTERFACE_ENTRY(IHTMLCurrentStyle)
        VNL_INTERFACE_ENTRY2(IDispatch, IHTMLCurrentStyle)
    VNL_END_INTERFACE_MAP()

    explicit CHtmlCurrentStyle(CHtmlElement* element) noexcept;
    ~CHtmlCurrentStyle();

    STDMETHODIMP get_backgroundColor(VARIANT* p) noexcept override;
    STDMETHODIMP get_backgroundImage(BSTR* p) noexcept override;
    STDMETHODIMP get_display(BSTR* p) noexcept override;
    STDMETHODIMP get_visibility(BSTR* p) noexcept override;
    STDMETHODIMP get_borderStyle(BSTR* p) noexcept override;
    STDMETHODIMP get_color(VARIANT* p) noexcept override;
    STDMETHODIMP getAttribute(BSTR name, LONG flags, VARIANT* value) noexcept override;

    void ForgetElement() noexcept { element_ = nullptr; }

private:
    HRESULT Get(const wchar_t* property, BSTR* p) noexcept;
    CHtmlElement* element_;
    ComPtr<IHTMLElement> elementRef_;
};

// ---- collections ----------------------------------------------------------------

class CElementCollection : public ComObjectRoot, public NotImpl<IHTMLElementCollection> {
public:
    VNL_BEGIN_INTERFACE_MAP(CElementCollection)
        VNL_INTERFACE_ENTRY(IHTMLElementCollection)
        VNL_INTERFACE_ENTRY2(IDispatch, IHTMLElementCollection)
    VNL_END_INTERFACE_MAP()

    CElementCollection(CHtmlDocument* document, std::vector<CHtmlElement*> elements) noexcept;

    STDMETHODIMP get_length(LONG* p) noexcept override;
    STDMETHODIMP item(VARIANT name, VARIANT index, IDispatch** out) noexcept override;
    STDMETHODIMP tags(VARIANT tagName, IDispatch** out) noexcept override;

private:
    ComPtr<IHTMLDocument2> documentRef_;
    CHtmlDocument* document_;
    std::vector<ComPtr<IHTMLElement>> elements_;
};

class CFramesCollection : public ComObjectRoot, public NotImpl<IHTMLFramesCollection2> {
public:
    VNL_BEGIN_INTERFACE_MAP(CFramesCollection)
        VNL_INTERFACE_ENTRY(IHTMLFramesCollection2)
        VNL_INTERFACE_ENTRY2(IDispatch, IHTMLFramesCollection2)
    VNL_END_INTERFACE_MAP()

    explicit CFramesCollection(std::vector<ComPtr<IWebBrowser2>> frames) noexcept : frames_(std::move(frames)) {}

    STDMETHODIMP get_length(LONG* p) noexcept override;
    STDMETHODIMP item(VARIANT* index, VARIANT* result) noexcept override;

private:
    std::vector<ComPtr<IWebBrowser2>> frames_;
};

class CEnumUnknown : public ComObjectRoot, public NotImpl<IEnumUnknown> {
public:
    VNL_BEGIN_INTERFACE_MAP(CEnumUnknown)
        VNL_INTERFACE_ENTRY(IEnumUnknown)
    VNL_END_INTERFACE_MAP()

    explicit CEnumUnknown(std::vector<ComPtr<IUnknown>> items, size_t position = 0) noexcept
        : items_(std::move(items)), position_(position) {}

    STDMETHODIMP Next(ULONG count, IUnknown** out, ULONG* fetched) noexcept override;
    STDMETHODIMP Skip(ULONG count) noexcept override;
    STDMETHODIMP Reset() noexcept override;
    STDMETHODIMP Clone(IEnumUnknown** out) noexcept override;

private:
    std::vector<ComPtr<IUnknown>> items_;
    size_t position_;
};

// ---- elements -------------------------------------------------------------------

class CHtmlElement : public ComObjectRoot,
                     public NotImpl<IHTMLElement>,
                     public NotImpl<IHTMLElement2>,
                     public NotImpl<IConnectionPointContainer> {
public:
    VNL_BEGIN_INTERFACE_MAP(CHtmlElement)
        VNL_INTERFACE_ENTRY(IHTMLElement)
        VNL_INTERFACE_ENTRY2(IDispatch, IHTMLElement)
        VNL_INTERFACE_ENTRY(IHTMLElement2)
        VNL_INTERFACE_ENTRY(IConnectionPointContainer)
    VNL_END_INTERFACE_MAP()

    CHtmlElement(CHtmlDocument* document, Node* node);
    virtual ~CHtmlElement();

    // IHTMLElement
    STDMETHODIMP setAttribute(BSTR name, VARIANT value, LONG flags) noexcept override;
    STDMETHODIMP getAttribute(BSTR name, LONG flags, VARIANT* value) noexcept override;
    STDMETHODIMP removeAttribute(BSTR name, LONG flags, VARIANT_BOOL* success) noexcept override;
    STDMETHODIMP get_id(BSTR* p) noexcept override;
    STDMETHODIMP put_id(BSTR v) noexcept override;
    STDMETHODIMP get_className(BSTR* p) noexcept override;
    STDMETHODIMP get_tagName(BSTR* p) noexcept override;
    STDMETHODIMP get_parentElement(IHTMLElement** p) noexcept override;
    STDMETHODIMP get_style(IHTMLStyle** p) noexcept override;
    STDMETHODIMP get_document(IDispatch** p) noexcept override;
    STDMETHODIMP get_innerText(BSTR* p) noexcept override;
    STDMETHODIMP get_isTextEdit(VARIANT_BOOL* p) noexcept override;
    // IHTMLElement2
    STDMETHODIMP get_currentStyle(IHTMLCurrentStyle** p) noexcept override;
    STDMETHODIMP focus() noexcept override;
    STDMETHODIMP blur() noexcept override;
    // IConnectionPointContainer
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override;

    // For the document, the browser and the host.
    Node* GetNode() const noexcept { return node_; }
    CHtmlDocument* Document() const noexcept { return document_; }
    IHTMLElement* Interface() noexcept { return static_cast<IHTMLElement*>(this); }
    std::vector<ComPtr<IDispatch>> Sinks() const { return points_.AllSinks(); }
    // Forgets the node and the document (the page is gone); unadvises every sink.
    virtual void Detach() noexcept;
    void StyleGone(CHtmlStyle* style) noexcept { if (style_ == style) style_ = nullptr; }
    void CurrentStyleGone(CHtmlCurrentStyle* style) noexcept { if (currentStyle_ == style) currentStyle_ = nullptr; }

protected:
    CHtmlDocument* document_;
    Node* node_;
    ConnectionPoints points_;
    CHtmlStyle* style_ = nullptr;               // handed out, not owned: it holds us
    CHtmlCurrentStyle* currentStyle_ = nullptr;
};

class CHtmlInputElement : public CHtmlElement, public NotImpl<IHTMLInputElement> {
public:
    VNL_BEGIN_INTERFACE_MAP(CHtmlInputElement)
        VNL_INTERFACE_ENTRY(IHTMLElement)
        VNL_INTERFACE_ENTRY2(IDispatch, IHTMLElement)
        VNL_INTERFACE_ENTRY(IHTMLElement2)
        VNL_INTERFACE_ENTRY(IConnectionPointContainer)
        VNL_INTERFACE_ENTRY(IHTMLInputElement)
    VNL_END_INTERFACE_MAP()

    using CHtmlElement::CHtmlElement;

    STDMETHODIMP get_type(BSTR* p) noexcept override;
    STDMETHODIMP put_type(BSTR v) noexcept override;
    STDMETHODIMP get_value(BSTR* p) noexcept override;
    STDMETHODIMP put_value(BSTR v) noexcept override;
    STDMETHODIMP get_name(BSTR* p) noexcept override;
    STDMETHODIMP get_disabled(VARIANT_BOOL* p) noexcept override;
    STDMETHODIMP get_readOnly(VARIANT_BOOL* p) noexcept override;
};

class CHtmlScriptElement : public CHtmlElement, public NotImpl<IHTMLScriptElement> {
public:
    VNL_BEGIN_INTERFACE_MAP(CHtmlScriptElement)
        VNL_INTERFACE_ENTRY(IHTMLElement)
        VNL_INTERFACE_ENTRY2(IDispatch, IHTMLElement)
        VNL_INTERFACE_ENTRY(IHTMLElement2)
        VNL_INTERFACE_ENTRY(IConnectionPointContainer)
        VNL_INTERFACE_ENTRY(IHTMLScriptElement)
    VNL_END_INTERFACE_MAP()

    using CHtmlElement::CHtmlElement;

    STDMETHODIMP get_src(BSTR* p) noexcept override;
    STDMETHODIMP get_text(BSTR* p) noexcept override;
    STDMETHODIMP get_type(BSTR* p) noexcept override;
};

// An IFRAME or FRAME: the element in its parent document and, as the browser
// does it, the web browser of the frame in one object.
class CHtmlFrameElement : public CHtmlElement, public NotImpl<IWebBrowser2> {
public:
    VNL_BEGIN_INTERFACE_MAP(CHtmlFrameElement)
        VNL_INTERFACE_ENTRY(IHTMLElement)
        VNL_INTERFACE_ENTRY2(IDispatch, IHTMLElement)
        VNL_INTERFACE_ENTRY(IHTMLElement2)
        VNL_INTERFACE_ENTRY(IConnectionPointContainer)
        VNL_INTERFACE_ENTRY(IWebBrowser2)
        VNL_INTERFACE_ENTRY2(IWebBrowserApp, IWebBrowser2)
        VNL_INTERFACE_ENTRY2(IWebBrowser, IWebBrowser2)
    VNL_END_INTERFACE_MAP()

    CHtmlFrameElement(CHtmlDocument* document, Node* node);
    HRESULT FinalConstruct() noexcept;

    STDMETHODIMP get_Document(IDispatch** p) noexcept override;
    STDMETHODIMP get_LocationURL(BSTR* p) noexcept override;
    STDMETHODIMP get_LocationName(BSTR* p) noexcept override;
    STDMETHODIMP get_Busy(VARIANT_BOOL* p) noexcept override;
    STDMETHODIMP get_ReadyState(READYSTATE* p) noexcept override;
    STDMETHODIMP get_TopLevelContainer(VARIANT_BOOL* p) noexcept override;
    STDMETHODIMP get_Type(BSTR* p) noexcept override;

    // The frame's browser as the events carry it.
    IDispatch* BrowserDispatch() noexcept { return static_cast<IWebBrowser2*>(this); }
    CHtmlDocument* FrameDocument() const noexcept { return frameDocument_; }
    void Detach() noexcept override;

private:
    ComPtr<IHTMLDocument2> frameDocumentRef_;
    CHtmlDocument* frameDocument_ = nullptr;
};

// ---- documents ---------------------------------------------------------------------

class CHtmlDocument : public ComObjectRoot,
                      public NotImpl<IHTMLDocument2>,
                      public NotImpl<IOleContainer>,
                      public NotImpl<IConnectionPointContainer> {
public:
    VNL_BEGIN_INTERFACE_MAP(CHtmlDocument)
        VNL_INTERFACE_ENTRY(IHTMLDocument2)
        VNL_INTERFACE_ENTRY2(IHTMLDocument, IHTMLDocument2)
        VNL_INTERFACE_ENTRY2(IDispatch, IHTMLDocument2)
        VNL_INTERFACE_ENTRY(IOleContainer)
        VNL_INTERFACE_ENTRY2(IParseDisplayName, IOleContainer)
        VNL_INTERFACE_ENTRY(IConnectionPointContainer)
    VNL_END_INTERFACE_MAP()

    // `tree` keeps every page of the navigation alive; `page` is this document's.
    CHtmlDocument(CWebBrowser* browser, std::shared_ptr<Page> tree, Page* page, CHtmlFrameElement* frameElement);
    ~CHtmlDocument();
    // Makes the element objects of the frames (and so their documents) at once.
    HRESULT FinalConstruct() noexcept;

    // IHTMLDocument2
    STDMETHODIMP get_all(IHTMLElementCollection** p) noexcept override;
    STDMETHODIMP get_body(IHTMLElement** p) noexcept override;
    STDMETHODIMP get_activeElement(IHTMLElement** p) noexcept override;
    STDMETHODIMP get_scripts(IHTMLElementCollection** p) noexcept override;
    STDMETHODIMP get_frames(IHTMLFramesCollection2** p) noexcept override;
    STDMETHODIMP get_title(BSTR* p) noexcept override;
    STDMETHODIMP get_readyState(BSTR* p) noexcept override;
    STDMETHODIMP get_URL(BSTR* p) noexcept override;
    STDMETHODIMP get_domain(BSTR* p) noexcept override;
    STDMETHODIMP get_designMode(BSTR* p) noexcept override;
    STDMETHODIMP put_designMode(BSTR v) noexcept override;
    // IOleContainer
    STDMETHODIMP EnumObjects(DWORD flags, IEnumUnknown** out) noexcept override;
    // IConnectionPointContainer
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override;

    // For the browser and the host.
    Page* GetPage() const noexcept { return page_; }
    CWebBrowser* Browser() const noexcept { return browser_; }
    CHtmlFrameElement* FrameElement() const noexcept { return frameElement_; }
    IDispatch* Dispatch() noexcept { return static_cast<IHTMLDocument2*>(this); }
    // The element object of `node` (a node of this document), made on first use.
    CHtmlElement* ElementFor(Node* node);
    // The element object of `node` if one was handed out, else null.
    CHtmlElement* ExistingElement(Node* node) const;
    const std::shared_ptr<Page>& Tree() const noexcept { return tree_; }
    // The frame elements of this document, in document order.
    std::vector<CHtmlFrameElement*> FrameElements();
    std::vector<ComPtr<IDispatch>> Sinks() const { return points_.AllSinks(); }
    Node* ActiveNode() const noexcept { return activeNode_; }
    void SetActiveNode(Node* node) noexcept { activeNode_ = node; }
    // Forgets the page and the browser, unadvises every sink, and detaches
    // every element handed out (and through the frames their documents).
    void Detach() noexcept;

private:
    CWebBrowser* browser_;
    std::shared_ptr<Page> tree_;
    Page* page_;
    CHtmlFrameElement* frameElement_;  // the frame showing this document; null for the top
    ConnectionPoints points_;
    struct Entry { ComPtr<IHTMLElement> ref; CHtmlElement* object; };
    std::map<Node*, Entry> elements_;
    Node* activeNode_ = nullptr;
    bool designModeOverride_ = false;
};

}  // namespace vnl::browser
