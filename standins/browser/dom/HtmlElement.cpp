#include "ComText.h"
#include "ErrorMacros.h"
#include "EventIds.h"
#include "ObjectModel.h"
#include "Text.h"
#include "WebBrowser.h"

namespace vnl::browser {

namespace {

HRESULT ReturnElement(CHtmlElement* element, IHTMLElement** out) {
    *out = element ? element->Interface() : nullptr;
    if (*out) (*out)->AddRef();
    return S_OK;
}

}  // namespace

CHtmlElement::CHtmlElement(CHtmlDocument* document, Node* node) : document_(document), node_(node) {
    IConnectionPointContainer* self = static_cast<IConnectionPointContainer*>(this);
    points_.Add(self, kDiidHtmlElementEvents2);
    points_.Add(self, kDiidHtmlElementEvents);
    if (node->Is(L"INPUT")) points_.Add(self, kDiidHtmlInputTextElementEvents2);
    if (node->Is(L"TEXTAREA") || node->Is(L"BODY")) points_.Add(self, kDiidHtmlTextContainerEvents2);
}

CHtmlElement::~CHtmlElement() = default;

void CHtmlElement::Detach() noexcept {
    points_.UnadviseAll();
    node_ = nullptr;
    document_ = nullptr;
}

STDMETHODIMP CHtmlElement::setAttribute(BSTR name, VARIANT value, LONG) noexcept try {
    if (!node_) return E_UNEXPECTED;
    const std::wstring n = FromBstr(name);
    if (n.empty()) return E_INVALIDARG;
    // A null value removes what the attribute held (an inline handler, say).
    if (VariantIsNull(value)) node_->RemoveAttribute(n);
    else node_->SetAttribute(n, VariantText(value));
    if (EqualsNoCase(n, L"value") && node_->Is(L"TEXTAREA")) node_->value = VariantText(value);
    if (document_ && document_->Browser()) document_->Browser()->PageChanged();
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlElement::getAttribute(BSTR name, LONG, VARIANT* value) noexcept try {
    if (!value) return E_POINTER;
    ::VariantInit(value);
    if (!node_) return E_UNEXPECTED;
    const std::wstring n = FromBstr(name);
    // The style attribute gives the element's style object, as the browser does.
    if (EqualsNoCase(n, L"style")) {
        IHTMLStyle* style = nullptr;
        RETURN_IF_FAILED(get_style(&style));
        value->vt = VT_DISPATCH;
        value->pdispVal = style;
        return S_OK;
    }
    if (EqualsNoCase(n, L"value") && (node_->Is(L"INPUT") || node_->Is(L"TEXTAREA"))) {
        value->vt = VT_BSTR;
        return ReturnBstr(node_->value, &value->bstrVal);
    }
    const auto attribute = node_->GetAttribute(n);
    if (!attribute) {
        value->vt = VT_NULL;
        return S_OK;
    }
    value->vt = VT_BSTR;
    return ReturnBstr(*attribute, &value->bstrVal);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlElement::removeAttribute(BSTR name, LONG, VARIANT_BOOL* success) noexcept try {
    if (success) *success = VARIANT_FALSE;
    if (!node_) return E_UNEXPECTED;
    const bool removed = node_->RemoveAttribute(FromBstr(name));
    if (success) *success = removed ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlElement::get_id(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    const auto id = node_->GetAttribute(L"id");
    return id ? ReturnBstr(*id, p) : S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlElement::put_id(BSTR v) noexcept try {
    if (!node_) return E_UNEXPECTED;
    node_->SetAttribute(L"id", FromBstr(v));
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlElement::get_className(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    const auto c = node_->GetAttribute(L"class");
    return c ? ReturnBstr(*c, p) : S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlElement::get_tagName(BSTR* p) noexcept {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    return ReturnBstr(node_->tag, p);
}

STDMETHODIMP CHtmlElement::get_parentElement(IHTMLElement** p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_ || !document_) return E_UNEXPECTED;
    Node* parent = node_->parent;
    if (!parent || !parent->IsElement()) return S_OK;
    return ReturnElement(document_->ElementFor(parent), p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlElement::get_style(IHTMLStyle** p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    if (style_) {
        *p = style_;
        style_->AddRef();
        return S_OK;
    }
    ComObject<CHtmlStyle>* style = nullptr;
    RETURN_IF_FAILED(ComObject<CHtmlStyle>::CreateInstance(&style, this));
    style_ = style;
    *p = style;
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlElement::get_currentStyle(IHTMLCurrentStyle** p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    if (currentStyle_) {
        *p = currentStyle_;
        currentStyle_->AddRef();
        return S_OK;
    }
    ComObject<CHtmlCurrentStyle>* style = nullptr;
    RETURN_IF_FAILED(ComObject<CHtmlCurrentStyle>::CreateInstance(&style, this));
    currentStyle_ = style;
    *p = style;
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlElement::get_document(IDispatch** p) noexcept {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!document_) return E_UNEXPECTED;
    *p = document_->Dispatch();
    (*p)->AddRef();
    return S_OK;
}

STDMETHODIMP CHtmlElement::get_innerText(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    return ReturnBstr(node_->TextContent(), p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlElement::get_isTextEdit(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = node_ && IsTextField(*node_) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CHtmlElement::focus() noexcept try {
    if (!node_ || !document_ || !document_->Browser()) return E_UNEXPECTED;
    document_->Browser()->FocusElement(this);
    return S_OK;
} catch (...) {
    return E_FAIL;
}

STDMETHODIMP CHtmlElement::blur() noexcept try {
    if (!node_ || !document_ || !document_->Browser()) return E_UNEXPECTED;
    CWebBrowser* browser = document_->Browser();
    if (browser->FocusedElement() == this) browser->FocusElement(document_->ElementFor(document_->GetPage()->body));
    return S_OK;
} catch (...) {
    return E_FAIL;
}

STDMETHODIMP CHtmlElement::FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!node_) return E_UNEXPECTED;
    return points_.Find(iid, out);
}

// ---- INPUT -----------------------------------------------------------------------------

STDMETHODIMP CHtmlInputElement::get_type(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    return ReturnBstr(InputType(*node_), p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlInputElement::put_type(BSTR v) noexcept try {
    if (!node_) return E_UNEXPECTED;
    node_->SetAttribute(L"type", FromBstr(v));
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlInputElement::get_value(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    return ReturnBstr(node_->value, p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlInputElement::put_value(BSTR v) noexcept try {
    if (!node_) return E_UNEXPECTED;
    node_->value = FromBstr(v);
    if (document_ && document_->Browser()) document_->Browser()->PageChanged();
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlInputElement::get_name(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    const auto n = node_->GetAttribute(L"name");
    return n ? ReturnBstr(*n, p) : S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlInputElement::get_disabled(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = node_ && node_->GetAttribute(L"disabled") ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CHtmlInputElement::get_readOnly(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = node_ && node_->GetAttribute(L"readonly") ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// ---- SCRIPT ----------------------------------------------------------------------------

STDMETHODIMP CHtmlScriptElement::get_src(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    return ReturnBstr(node_->GetAttribute(L"src").value_or(L""), p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlScriptElement::get_text(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    return ReturnBstr(node_->TextContent(), p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlScriptElement::get_type(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    return ReturnBstr(node_->GetAttribute(L"type").value_or(L""), p);
} catch (...) {
    return E_OUTOFMEMORY;
}

// ---- IFRAME and FRAME -------------------------------------------------------------------

CHtmlFrameElement::CHtmlFrameElement(CHtmlDocument* document, Node* node) : CHtmlElement(document, node) {}

HRESULT CHtmlFrameElement::FinalConstruct() noexcept try {
    if (!node_->framePage) return S_OK;  // a frame the loader never reached shows nothing
    ComObject<CHtmlDocument>* frameDocument = nullptr;
    RETURN_IF_FAILED(ComObject<CHtmlDocument>::CreateInstance(&frameDocument, document_->Browser(),
                                                              document_->Tree(), node_->framePage.get(), this));
    frameDocumentRef_.attach(static_cast<IHTMLDocument2*>(frameDocument));
    frameDocument_ = frameDocument;
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

void CHtmlFrameElement::Detach() noexcept {
    if (frameDocument_) frameDocument_->Detach();
    frameDocument_ = nullptr;
    frameDocumentRef_.reset();
    CHtmlElement::Detach();
}

STDMETHODIMP CHtmlFrameElement::get_Document(IDispatch** p) noexcept {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    if (!frameDocument_) return S_OK;
    *p = frameDocument_->Dispatch();
    (*p)->AddRef();
    return S_OK;
}

STDMETHODIMP CHtmlFrameElement::get_LocationURL(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    return ReturnBstr(node_->framePage ? node_->framePage->address : L"", p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlFrameElement::get_LocationName(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_) return E_UNEXPECTED;
    return ReturnBstr(node_->GetAttribute(L"name").value_or(node_->framePage ? node_->framePage->address : L""), p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlFrameElement::get_Busy(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CHtmlFrameElement::get_ReadyState(READYSTATE* p) noexcept {
    if (!p) return E_POINTER;
    *p = READYSTATE_COMPLETE;
    return S_OK;
}

STDMETHODIMP CHtmlFrameElement::get_TopLevelContainer(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CHtmlFrameElement::get_Type(BSTR* p) noexcept { return ReturnBstr(L"HTML Document", p); }

}  // namespace vnl::browser
