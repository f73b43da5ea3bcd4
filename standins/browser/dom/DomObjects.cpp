// The event object, the style objects, the collections and the enumerator.
#include "ComText.h"
#include "ErrorMacros.h"
#include "ObjectModel.h"
#include "Text.h"

namespace vnl::browser {

// ---- CHtmlEventObj ----------------------------------------------------------------

CHtmlEventObj::CHtmlEventObj(std::wstring type, IHTMLElement* source, LONG keyCode) noexcept
    : type_(std::move(type)), source_(source), keyCode_(keyCode) {
    ::VariantInit(&returnValue_);
}

CHtmlEventObj::~CHtmlEventObj() { ::VariantClear(&returnValue_); }

STDMETHODIMP CHtmlEventObj::get_srcElement(IHTMLElement** p) noexcept {
    if (!p) return E_POINTER;
    *p = source_.get();
    if (*p) (*p)->AddRef();
    return S_OK;
}

STDMETHODIMP CHtmlEventObj::get_type(BSTR* p) noexcept { return ReturnBstr(type_, p); }

STDMETHODIMP CHtmlEventObj::get_keyCode(LONG* p) noexcept {
    if (!p) return E_POINTER;
    *p = keyCode_;
    return S_OK;
}

STDMETHODIMP CHtmlEventObj::put_keyCode(LONG v) noexcept {
    keyCode_ = v;
    return S_OK;
}

STDMETHODIMP CHtmlEventObj::get_returnValue(VARIANT* p) noexcept {
    if (!p) return E_POINTER;
    ::VariantInit(p);
    return ::VariantCopy(p, &returnValue_);
}

STDMETHODIMP CHtmlEventObj::put_returnValue(VARIANT v) noexcept { return ::VariantCopy(&returnValue_, &v); }

STDMETHODIMP CHtmlEventObj::get_cancelBubble(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = cancelBubble_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CHtmlEventObj::put_cancelBubble(VARIANT_BOOL v) noexcept {
    cancelBubble_ = v != VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CHtmlEventObj::get_altKey(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = (::GetKeyState(VK_MENU) & 0x8000) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CHtmlEventObj::get_ctrlKey(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = (::GetKeyState(VK_CONTROL) & 0x8000) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CHtmlEventObj::get_shiftKey(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = (::GetKeyState(VK_SHIFT) & 0x8000) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

bool CHtmlEventObj::ReturnedFalse() const noexcept {
    return returnValue_.vt == VT_BOOL && returnValue_.boolVal == VARIANT_FALSE;
}

// ---- CHtmlStyle ------------------------------------------------------------------------

namespace {

// Maps a style object's attribute name ("backgroundColor", "BORDER") to its property ("background-color").
std::wstring CssName(std::wstring_view name) {
    std::wstring out;
    for (size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = name[i];
        if (c >= L'A' && c <= L'Z' && i > 0 && name[i - 1] >= L'a' && name[i - 1] <= L'z') out.push_back(L'-');
        out.push_back(AsciiLower(c));
    }
    static const struct { const wchar_t* joined; const wchar_t* css; } kJoined[] = {
        {L"backgroundcolor", L"background-color"}, {L"backgroundimage", L"background-image"},
        {L"borderstyle", L"border-style"}, {L"borderwidth", L"border-width"}, {L"bordercolor", L"border-color"}};
    for (const auto& j : kJoined)
        if (out == j.joined) return j.css;
    return out;
}

HRESULT ReturnVariantText(std::wstring_view text, VARIANT* p) {
    if (!p) return E_POINTER;
    ::VariantInit(p);
    p->vt = VT_BSTR;
    return ReturnBstr(text, &p->bstrVal);
}

}  // namespace

CHtmlStyle::CHtmlStyle(CHtmlElement* element) noexcept : element_(element), elementRef_(element->Interface()) {}

CHtmlStyle::~CHtmlStyle() {
    if (element_) element_->StyleGone(this);
}

HRESULT CHtmlStyle::Get(const wchar_t* property, BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    Node* node = element_ ? element_->GetNode() : nullptr;
    if (!node) return E_UNEXPECTED;
    const std::wstring value = node->style.Get(property);
    // An unset property reads as a null string, as the browser gives it.
    return value.empty() ? S_OK : ReturnBstr(value, p);
} catch (...) {
    return E_OUTOFMEMORY;
}

HRESULT CHtmlStyle::Put(const wchar_t* property, BSTR v) noexcept try {
    Node* node = element_ ? element_->GetNode() : nullptr;
    if (!node) return E_UNEXPECTED;
    node->style.Set(property, FromBstr(v));
    // The attribute follows the style, as it reads back in the browser.
    bool found = false;
    for (auto& a : node->attributes)
        if (EqualsNoCase(a.name, L"style")) { a.value = node->style.CssText(); found = true; }
    if (!found) node->attributes.push_back({L"style", node->style.CssText()});
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlStyle::get_backgroundColor(VARIANT* p) noexcept try {
    if (!p) return E_POINTER;
    ::VariantInit(p);
    Node* node = element_ ? element_->GetNode() : nullptr;
    if (!node) return E_UNEXPECTED;
    const std::wstring value = node->style.Get(L"background-color");
    if (value.empty()) { p->vt = VT_BSTR; p->bstrVal = nullptr; return S_OK; }
    return ReturnVariantText(value, p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlStyle::put_backgroundColor(VARIANT v) noexcept try {
    const std::wstring text = VariantText(v);
    BSTR b = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    const HRESULT hr = Put(L"background-color", b);
    ::SysFreeString(b);
    return hr;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlStyle::get_backgroundImage(BSTR* p) noexcept { return Get(L"background-image", p); }
STDMETHODIMP CHtmlStyle::put_backgroundImage(BSTR v) noexcept { return Put(L"background-image", v); }
STDMETHODIMP CHtmlStyle::get_background(BSTR* p) noexcept { return Get(L"background", p); }
STDMETHODIMP CHtmlStyle::put_background(BSTR v) noexcept { return Put(L"background", v); }
STDMETHODIMP CHtmlStyle::get_border(BSTR* p) noexcept { return Get(L"border", p); }
STDMETHODIMP CHtmlStyle::put_border(BSTR v) noexcept { return Put(L"border", v); }
STDMETHODIMP CHtmlStyle::get_borderStyle(BSTR* p) noexcept { return Get(L"border-style", p); }
STDMETHODIMP CHtmlStyle::put_borderStyle(BSTR v) noexcept { return Put(L"border-style", v); }
STDMETHODIMP CHtmlStyle::get_display(BSTR* p) noexcept { return Get(L"display", p); }
STDMETHODIMP CHtmlStyle::put_display(BSTR v) noexcept { return Put(L"display", v); }
STDMETHODIMP CHtmlStyle::get_visibility(BSTR* p) noexcept { return Get(L"visibility", p); }
STDMETHODIMP CHtmlStyle::put_visibility(BSTR v) noexcept { return Put(L"visibility", v); }
STDMETHODIMP CHtmlStyle::get_filter(BSTR* p) noexcept { return Get(L"filter", p); }
STDMETHODIMP CHtmlStyle::put_filter(BSTR v) noexcept { return Put(L"filter", v); }

STDMETHODIMP CHtmlStyle::get_cssText(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    Node* node = element_ ? element_->GetNode() : nullptr;
    if (!node) return E_UNEXPECTED;
    const std::wstring text = node->style.CssText();
    return text.empty() ? S_OK : ReturnBstr(text, p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlStyle::put_cssText(BSTR v) noexcept try {
    Node* node = element_ ? element_->GetNode() : nullptr;
    if (!node) return E_UNEXPECTED;
    node->SetAttribute(L"style", FromBstr(v));
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlStyle::getAttribute(BSTR name, LONG, VARIANT* value) noexcept try {
    if (!value) return E_POINTER;
    ::VariantInit(value);
    Node* node = element_ ? element_->GetNode() : nullptr;
    if (!node) return E_UNEXPECTED;
    const std::wstring v = node->style.Get(CssName(FromBstr(name)));
    if (v.empty()) { value->vt = VT_NULL; return S_OK; }
    return ReturnVariantText(v, value);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlStyle::setAttribute(BSTR name, VARIANT value, LONG) noexcept try {
    const std::wstring text = VariantText(value);
    BSTR b = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    const std::wstring property = CssName(FromBstr(name));
    const HRESULT hr = Put(property.c_str(), b);
    ::SysFreeString(b);
    return hr;
} catch (...) {
    return E_OUTOFMEMORY;
}

// ---- CHtmlCurrentStyle ------------------------------------------------------------------

CHtmlCurrentStyle::CHtmlCurrentStyle(CHtmlElement* element) noexcept
    : element_(element), elementRef_(element->Interface()) {}

CHtmlCurrentStyle::~CHtmlCurrentStyle() {
    if (element_) element_->CurrentStyleGone(this);
}

HRESULT CHtmlCurrentStyle::Get(const wchar_t* property, BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    Node* node = element_ ? element_->GetNode() : nullptr;
    if (!node) return E_UNEXPECTED;
    return ReturnBstr(ComputedStyleValue(node->tag, node->style, property), p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlCurrentStyle::get_backgroundColor(VARIANT* p) noexcept {
    if (!p) return E_POINTER;
    ::VariantInit(p);
    BSTR text = nullptr;
    const HRESULT hr = Get(L"background-color", &text);
    if (FAILED(hr)) return hr;
    p->vt = VT_BSTR;
    p->bstrVal = text;
    return S_OK;
}

STDMETHODIMP CHtmlCurrentStyle::get_color(VARIANT* p) noexcept {
    if (!p) return E_POINTER;
    ::VariantInit(p);
    BSTR text = nullptr;
    const HRESULT hr = Get(L"color", &text);
    if (FAILED(hr)) return hr;
    p->vt = VT_BSTR;
    p->bstrVal = text;
    return S_OK;
}

STDMETHODIMP CHtmlCurrentStyle::get_backgroundImage(BSTR* p) noexcept { return Get(L"background-image", p); }
STDMETHODIMP CHtmlCurrentStyle::get_display(BSTR* p) noexcept { return Get(L"display", p); }
STDMETHODIMP CHtmlCurrentStyle::get_visibility(BSTR* p) noexcept { return Get(L"visibility", p); }
STDMETHODIMP CHtmlCurrentStyle::get_borderStyle(BSTR* p) noexcept { return Get(L"border-style", p); }

STDMETHODIMP CHtmlCurrentStyle::getAttribute(BSTR name, LONG, VARIANT* value) noexcept try {
    if (!value) return E_POINTER;
    ::VariantInit(value);
    const std::wstring property = CssName(FromBstr(name));
    BSTR text = nullptr;
    const HRESULT hr = Get(property.c_str(), &text);
    if (FAILED(hr)) return hr;
    value->vt = VT_BSTR;
    value->bstrVal = text;
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

// ---- collections ------------------------------------------------------------------------

CElementCollection::CElementCollection(CHtmlDocument* document, std::vector<CHtmlElement*> elements) noexcept
    : documentRef_(static_cast<IHTMLDocument2*>(document)), document_(document) {
    for (CHtmlElement* e : elements) elements_.emplace_back(e->Interface());
}

STDMETHODIMP CElementCollection::get_length(LONG* p) noexcept {
    if (!p) return E_POINTER;
    *p = static_cast<LONG>(elements_.size());
    return S_OK;
}

STDMETHODIMP CElementCollection::item(VARIANT name, VARIANT index, IDispatch** out) noexcept try {
    if (!out) return E_POINTER;
    *out = nullptr;
    const VARIANT& n = Deref(name);
    IHTMLElement* found = nullptr;
    if (n.vt == VT_BSTR) {
        // By id or name; the index picks among several.
        const std::wstring wanted = FromBstr(n.bstrVal);
        LONG which = 0;
        const VARIANT& i = Deref(index);
        if (i.vt == VT_I4) which = i.lVal;
        else if (i.vt == VT_I2) which = i.iVal;
        LONG seen = 0;
        for (auto& e : elements_) {
            BSTR id = nullptr;
            e->get_id(&id);
            const bool match = FromBstr(id) == wanted;
            ::SysFreeString(id);
            if (match && seen++ == which) { found = e.get(); break; }
        }
    } else {
        VARIANT converted;
        ::VariantInit(&converted);
        if (FAILED(::VariantChangeType(&converted, const_cast<VARIANT*>(&n), 0, VT_I4))) return E_INVALIDARG;
        const LONG i = converted.lVal;
        if (i >= 0 && static_cast<size_t>(i) < elements_.size()) found = elements_[static_cast<size_t>(i)].get();
    }
    if (!found) return S_OK;  // the browser answers success with no item
    return found->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CElementCollection::tags(VARIANT tagName, IDispatch** out) noexcept try {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!document_ || !document_->GetPage()) return E_UNEXPECTED;
    const std::wstring tag = ToUpper(VariantText(tagName));
    std::vector<CHtmlElement*> picked;
    for (auto& e : elements_) {
        BSTR t = nullptr;
        e->get_tagName(&t);
        const bool match = FromBstr(t) == tag;
        ::SysFreeString(t);
        if (match) picked.push_back(static_cast<CHtmlElement*>(e.get()));
    }
    ComObject<CElementCollection>* collection = nullptr;
    RETURN_IF_FAILED(ComObject<CElementCollection>::CreateInstance(&collection, document_, std::move(picked)));
    *out = static_cast<IHTMLElementCollection*>(collection);
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CFramesCollection::get_length(LONG* p) noexcept {
    if (!p) return E_POINTER;
    *p = static_cast<LONG>(frames_.size());
    return S_OK;
}

STDMETHODIMP CFramesCollection::item(VARIANT* index, VARIANT* result) noexcept {
    if (!index || !result) return E_POINTER;
    ::VariantInit(result);
    VARIANT converted;
    ::VariantInit(&converted);
    if (FAILED(::VariantChangeType(&converted, const_cast<VARIANT*>(&Deref(*index)), 0, VT_I4))) return E_INVALIDARG;
    const LONG i = converted.lVal;
    if (i < 0 || static_cast<size_t>(i) >= frames_.size()) return E_INVALIDARG;
    result->vt = VT_DISPATCH;
    result->pdispVal = frames_[static_cast<size_t>(i)].get();
    result->pdispVal->AddRef();
    return S_OK;
}

// ---- CEnumUnknown ---------------------------------------------------------------------------

STDMETHODIMP CEnumUnknown::Next(ULONG count, IUnknown** out, ULONG* fetched) noexcept {
    if (!out) return E_POINTER;
    if (count > 1 && !fetched) return E_INVALIDARG;
    ULONG n = 0;
    while (n < count && position_ < items_.size()) {
        out[n] = items_[position_++].get();
        out[n]->AddRef();
        ++n;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumUnknown::Skip(ULONG count) noexcept {
    const size_t left = items_.size() - position_;
    if (count > left) {
        position_ = items_.size();
        return S_FALSE;
    }
    position_ += count;
    return S_OK;
}

STDMETHODIMP CEnumUnknown::Reset() noexcept {
    position_ = 0;
    return S_OK;
}

STDMETHODIMP CEnumUnknown::Clone(IEnumUnknown** out) noexcept try {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComObject<CEnumUnknown>* copy = nullptr;
    RETURN_IF_FAILED(ComObject<CEnumUnknown>::CreateInstance(&copy, items_, position_));
    *out = copy;
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

}  // namespace vnl::browser
