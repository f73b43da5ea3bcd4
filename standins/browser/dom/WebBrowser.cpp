#include "WebBrowser.h"

#include "ComText.h"
#include "ErrorMacros.h"
#include "EventIds.h"
#include "Text.h"
#include "UniqueAny.h"

namespace vnl::browser {

namespace {

// A VARIANT argument that points at another VARIANT (VT_BYREF | VT_VARIANT), as
// the browser passes the address and most other event arguments.
struct ByRefText {
    VARIANT value;
    explicit ByRefText(std::wstring_view text) {
        ::VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    ~ByRefText() { ::VariantClear(&value); }
    VARIANT Arg() {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_BYREF | VT_VARIANT;
        v.pvarVal = &value;
        return v;
    }
};

VARIANT DispatchArg(IDispatch* dispatch) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = dispatch;
    return v;
}

}  // namespace

ComPtr<ComObject<CWebBrowser>> MakeWebBrowser(PageLoader loader, BrowserHost* host) {
    ComObject<CWebBrowser>* browser = nullptr;
    ComPtr<ComObject<CWebBrowser>> out;
    if (SUCCEEDED(ComObject<CWebBrowser>::CreateInstance(&browser, std::move(loader), host))) out.attach(browser);
    return out;
}

CWebBrowser::CWebBrowser(PageLoader loader, BrowserHost* host) : loader_(std::move(loader)), host_(host) {
    points_.Add(static_cast<IConnectionPointContainer*>(this), kDiidDWebBrowserEvents2);
}

CWebBrowser::~CWebBrowser() { Close(); }

void CWebBrowser::Close() noexcept {
    focused_ = nullptr;
    focusedRef_.reset();
    if (document_) document_->Detach();
    document_ = nullptr;
    documentRef_.reset();
}

void CWebBrowser::PageChanged() noexcept {
    if (host_) host_->PageChanged();
}

void CWebBrowser::FireBrowserEvent(DISPID dispid, std::vector<VARIANT>& args) {
    for (auto& sink : points_.AllSinks()) InvokeSink(sink.get(), dispid, args);
}

bool CWebBrowser::NavigateTo(const std::wstring& address) {
    // BeforeNavigate2 (frame, URL, flags, target frame name, post data, headers, cancel).
    {
        ByRefText url(address), target(L""), headers(L"");
        VARIANT flagsValue, postValue;
        ::VariantInit(&flagsValue);
        flagsValue.vt = VT_I4;
        flagsValue.lVal = 0;
        ::VariantInit(&postValue);
        VARIANT flags, post, cancel;
        ::VariantInit(&flags);
        flags.vt = VT_BYREF | VT_VARIANT;
        flags.pvarVal = &flagsValue;
        ::VariantInit(&post);
        post.vt = VT_BYREF | VT_VARIANT;
        post.pvarVal = &postValue;
        VARIANT_BOOL cancelled = VARIANT_FALSE;
        ::VariantInit(&cancel);
        cancel.vt = VT_BYREF | VT_BOOL;
        cancel.pboolVal = &cancelled;
        std::vector<VARIANT> args = {DispatchArg(Dispatch()), url.Arg(), flags, target.Arg(), post, headers.Arg(), cancel};
        FireBrowserEvent(kDispidBeforeNavigate2, args);
        if (cancelled != VARIANT_FALSE) return false;
    }

    Close();
    std::shared_ptr<Page> tree = loader_.Load(address);
    ComObject<CHtmlDocument>* document = nullptr;
    if (FAILED(ComObject<CHtmlDocument>::CreateInstance(&document, this, tree, tree.get(), nullptr))) return false;
    documentRef_.attach(static_cast<IHTMLDocument2*>(document));
    document_ = document;
    PageChanged();

    // A sink may navigate again while it is called: the walk stops when the
    // page it walks is no longer the browser's.
    ComPtr<IHTMLDocument2> keep = documentRef_;
    {
        ByRefText url(tree->address);
        std::vector<VARIANT> args = {DispatchArg(Dispatch()), url.Arg()};
        FireBrowserEvent(kDispidNavigateComplete2, args);
    }
    if (document_ == document) NavigateFrames(document, false);
    if (document_ == document) NavigateFrames(document, true);
    if (document_ == document) {
        ByRefText url(tree->address);
        std::vector<VARIANT> args = {DispatchArg(Dispatch()), url.Arg()};
        FireBrowserEvent(kDispidDocumentComplete, args);
    }
    return true;
}

// NavigateComplete2 in document order (a frame before the frames inside it),
// or DocumentComplete with the frames inside a frame before the frame itself.
void CWebBrowser::NavigateFrames(CHtmlDocument* document, bool complete) {
    const CHtmlDocument* top = document_;
    for (CHtmlFrameElement* frame : document->FrameElements()) {
        if (document_ != top) return;
        ComPtr<IWebBrowser2> keep(static_cast<IWebBrowser2*>(frame));
        CHtmlDocument* inner = frame->FrameDocument();
        const std::wstring address = inner && inner->GetPage() ? inner->GetPage()->address : L"";
        ByRefText url(address);
        std::vector<VARIANT> args = {DispatchArg(frame->BrowserDispatch()), url.Arg()};
        if (!complete) FireBrowserEvent(kDispidNavigateComplete2, args);
        if (inner && document_ == top) NavigateFrames(inner, complete);
        if (complete && document_ == top) FireBrowserEvent(kDispidDocumentComplete, args);
    }
}

CHtmlElement* CWebBrowser::FindElement(const std::wstring& id) {
    if (!document_) return nullptr;
    std::vector<CHtmlDocument*> pending = {document_};
    while (!pending.empty()) {
        CHtmlDocument* doc = pending.front();
        pending.erase(pending.begin());
        if (!doc->GetPage()) continue;
        if (Node* n = FindById(doc->GetPage()->document.get(), id)) return doc->ElementFor(n);
        for (CHtmlFrameElement* f : doc->FrameElements())
            if (f->FrameDocument()) pending.push_back(f->FrameDocument());
    }
    return nullptr;
}

ComPtr<ComObject<CHtmlEventObj>> CWebBrowser::FireElementEvent(CHtmlElement* element, DISPID dispid,
                                                               const wchar_t* type, LONG keyCode,
                                                               bool* cancelledByResult) {
    ComPtr<ComObject<CHtmlEventObj>> event;
    ComObject<CHtmlEventObj>* made = nullptr;
    if (FAILED(ComObject<CHtmlEventObj>::CreateInstance(&made, std::wstring(type), element->Interface(), keyCode)))
        return event;
    event.attach(made);
    bool cancelled = false;
    auto callSinks = [&](const std::vector<ComPtr<IDispatch>>& sinks) {
        for (const auto& sink : sinks) {
            std::vector<VARIANT> args = {DispatchArg(static_cast<IHTMLEventObj*>(made))};
            UniqueVariant result;
            InvokeSink(sink.get(), dispid, args, result.get());
            if ((*result).vt == VT_BOOL && (*result).boolVal == VARIANT_FALSE) cancelled = true;
        }
    };
    CHtmlDocument* document = element->Document();
    // The element and its ancestors, then the document, unless a sink cancels the bubbling.
    for (Node* n = element->GetNode(); n && n->IsElement() && document && document->GetPage(); n = n->parent) {
        if (CHtmlElement* e = document->ExistingElement(n)) callSinks(e->Sinks());
        if (made->CancelBubble()) break;
    }
    if (!made->CancelBubble() && document && document->GetPage()) callSinks(document->Sinks());
    if (cancelledByResult) *cancelledByResult = cancelled;
    return event;
}

void CWebBrowser::FocusElement(CHtmlElement* element) {
    if (element == focused_) return;
    ComPtr<IHTMLElement> keepNew(element ? element->Interface() : nullptr);
    ComPtr<IHTMLElement> old = focusedRef_;
    CHtmlElement* oldElement = focused_;
    if (oldElement && oldElement->GetNode()) FireElementEvent(oldElement, kDispidFocusOut, L"focusout", 0, nullptr);
    if (oldElement && oldElement->Document()) oldElement->Document()->SetActiveNode(nullptr);
    focused_ = element && element->GetNode() ? element : nullptr;
    focusedRef_ = focused_ ? ComPtr<IHTMLElement>(focused_->Interface()) : ComPtr<IHTMLElement>();
    if (focused_) {
        // The active element of each document up the frame chain.
        CHtmlDocument* doc = focused_->Document();
        Node* active = focused_->GetNode();
        while (doc) {
            doc->SetActiveNode(active);
            CHtmlFrameElement* frame = doc->FrameElement();
            if (!frame) break;
            active = frame->GetNode();
            doc = frame->Document();
        }
        FireElementEvent(focused_, kDispidFocusIn, L"focusin", 0, nullptr);
    }
    PageChanged();
}

namespace {

bool IsEditable(const Node& node, const Page* page) {
    if (IsTextField(node)) return !node.GetAttribute(L"readonly") && !node.GetAttribute(L"disabled");
    for (const Node* n = &node; n && n->IsElement(); n = n->parent)
        if (EqualsNoCase(Trim(n->GetAttribute(L"contenteditable").value_or(L"")), L"true")) return true;
    return page && page->designMode && (node.Is(L"BODY") || node.Is(L"HTML"));
}

}  // namespace

bool CWebBrowser::KeyPress(wchar_t character) {
    CHtmlElement* target = focused_;
    if (!target || !target->GetNode()) return false;
    ComPtr<IHTMLElement> keep(target->Interface());
    bool cancelled = false;
    auto event = FireElementEvent(target, kDispidKeyPress, L"keypress", static_cast<LONG>(character), &cancelled);
    if (!event || cancelled || event->ReturnedFalse()) return false;
    Node* node = target->GetNode();
    CHtmlDocument* document = target->Document();
    if (!node || !document || !IsEditable(*node, document->GetPage())) return false;
    const LONG code = event->KeyCode();
    if (code <= 0 || code > 0xFFFF) return false;
    std::wstring text;
    if (code == 13) {
        if (!node->Is(L"TEXTAREA") && IsTextField(*node)) return false;  // Enter submits, it types nothing
        text = L"\r\n";
    } else if (code < 32) {
        return false;
    } else {
        text.push_back(static_cast<wchar_t>(code));
    }
    if (IsTextField(*node)) {
        node->value += text;
    } else if (!node->children.empty() && node->children.back()->kind == NodeKind::Text) {
        node->children.back()->text += text;
    } else {
        node->AppendChild(MakeText(text));
    }
    PageChanged();
    return true;
}

bool CWebBrowser::DeleteBackward() {
    CHtmlElement* target = focused_;
    Node* node = target ? target->GetNode() : nullptr;
    if (!node || !IsTextField(*node) || node->value.empty()) return false;
    node->value.pop_back();
    PageChanged();
    return true;
}

// ---- IWebBrowser2 -------------------------------------------------------------------------

STDMETHODIMP CWebBrowser::Navigate(BSTR url, VARIANT* flags, VARIANT* target, VARIANT* postData,
                                   VARIANT* headers) noexcept {
    VARIANT address;
    ::VariantInit(&address);
    address.vt = VT_BSTR;
    address.bstrVal = url;  // borrowed
    return Navigate2(&address, flags, target, postData, headers);
}

STDMETHODIMP CWebBrowser::Navigate2(VARIANT* url, VARIANT*, VARIANT* target, VARIANT*, VARIANT*) noexcept try {
    if (!url) return E_INVALIDARG;
    const std::wstring address = VariantText(*url);
    if (Trim(address).empty()) return E_INVALIDARG;
    const std::wstring targetName = target ? Trim(VariantText(*target)) : L"";
    if (EqualsNoCase(targetName, L"_blank")) {
        if (!host_) return E_FAIL;
        host_->OpenNewWindow(address);
        return S_OK;
    }
    if (host_) host_->QueueNavigate(address);
    else NavigateTo(address);
    return S_OK;
} catch (...) {
    return E_FAIL;
}

STDMETHODIMP CWebBrowser::Refresh() noexcept try {
    if (Page* page = TopPage()) {
        const std::wstring address = page->address;
        if (host_) host_->QueueNavigate(address);
        else NavigateTo(address);
    }
    return S_OK;
} catch (...) {
    return E_FAIL;
}

STDMETHODIMP CWebBrowser::Stop() noexcept { return S_OK; }

STDMETHODIMP CWebBrowser::get_Document(IDispatch** p) noexcept {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!document_) return S_OK;
    *p = document_->Dispatch();
    (*p)->AddRef();
    return S_OK;
}

STDMETHODIMP CWebBrowser::get_LocationURL(BSTR* p) noexcept {
    if (!p) return E_POINTER;
    *p = nullptr;
    return ReturnBstr(TopPage() ? TopPage()->address : L"", p);
}

STDMETHODIMP CWebBrowser::get_LocationName(BSTR* p) noexcept {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!document_) return ReturnBstr(L"", p);
    return document_->get_title(p);
}

STDMETHODIMP CWebBrowser::get_Busy(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CWebBrowser::get_ReadyState(READYSTATE* p) noexcept {
    if (!p) return E_POINTER;
    *p = document_ ? READYSTATE_COMPLETE : READYSTATE_UNINITIALIZED;
    return S_OK;
}

STDMETHODIMP CWebBrowser::get_TopLevelContainer(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CWebBrowser::get_Type(BSTR* p) noexcept { return ReturnBstr(L"HTML Document", p); }

STDMETHODIMP CWebBrowser::get_HWND(SHANDLE_PTR* p) noexcept {
    if (!p) return E_POINTER;
    *p = host_ ? reinterpret_cast<SHANDLE_PTR>(host_->FrameWindow()) : 0;
    return host_ ? S_OK : E_FAIL;
}

STDMETHODIMP CWebBrowser::get_Visible(VARIANT_BOOL* p) noexcept {
    if (!p) return E_POINTER;
    *p = (host_ ? host_->Visible() : visible_) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CWebBrowser::put_Visible(VARIANT_BOOL v) noexcept try {
    visible_ = v != VARIANT_FALSE;
    if (host_) host_->SetVisible(visible_);
    return S_OK;
} catch (...) {
    return E_FAIL;
}

STDMETHODIMP CWebBrowser::ShowBrowserBar(VARIANT* clsid, VARIANT* show, VARIANT*) noexcept try {
    if (!clsid) return E_INVALIDARG;
    std::wstring text = VariantText(*clsid);
    CLSID id;
    if (FAILED(::CLSIDFromString(text.c_str(), &id))) return E_INVALIDARG;
    bool visible = true;
    if (show && !VariantIsNull(*show)) {
        const VARIANT& s = Deref(*show);
        if (s.vt == VT_BOOL) visible = s.boolVal != VARIANT_FALSE;
        else visible = !EqualsNoCase(VariantText(s), L"0") && !EqualsNoCase(VariantText(s), L"false");
    }
    if (!host_) return E_FAIL;
    return host_->ShowBand(id, visible);
} catch (...) {
    return E_FAIL;
}

STDMETHODIMP CWebBrowser::Quit() noexcept try {
    if (host_) host_->Quit();
    return S_OK;
} catch (...) {
    return E_FAIL;
}

STDMETHODIMP CWebBrowser::FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept {
    return points_.Find(iid, out);
}

// ---- page files -----------------------------------------------------------------------------

bool ReadPageFile(const std::wstring& path, std::size_t maxBytes, std::string& bytes, std::wstring& error) {
    std::wstring native = path;
    for (auto& c : native) if (c == L'/') c = L'\\';
    UniqueFileHandle file(::CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD e = ::GetLastError();
        error = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? L"the file does not exist"
                                                                     : L"the file cannot be opened (error " +
                                                                           std::to_wstring(e) + L")";
        return false;
    }
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.get(), &size)) {
        error = L"the file size cannot be read";
        return false;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        error = L"the page is too large (" + std::to_wstring(size.QuadPart) + L" bytes, at most " +
                std::to_wstring(maxBytes) + L")";
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!::ReadFile(file.get(), bytes.data() + done, chunk, &read, nullptr) || read == 0) {
            error = L"the file cannot be read";
            return false;
        }
        done += read;
    }
    return true;
}

}  // namespace vnl::browser
