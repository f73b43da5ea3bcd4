#include "ComText.h"
#include "ErrorMacros.h"
#include "EventIds.h"
#include "ObjectModel.h"
#include "Text.h"

namespace vnl::browser {

namespace {

bool IsEmbedding(const Node& n) { return n.IsFrame() || n.Is(L"OBJECT") || n.Is(L"EMBED") || n.Is(L"APPLET"); }

}  // namespace

CHtmlDocument::CHtmlDocument(CWebBrowser* browser, std::shared_ptr<Page> tree, Page* page,
                             CHtmlFrameElement* frameElement)
    : browser_(browser), tree_(std::move(tree)), page_(page), frameElement_(frameElement) {
    IConnectionPointContainer* self = static_cast<IConnectionPointContainer*>(this);
    points_.Add(self, kDiidHtmlDocumentEvents2);
    points_.Add(self, kDiidHtmlDocumentEvents);
}

CHtmlDocument::~CHtmlDocument() { Detach(); }

HRESULT CHtmlDocument::FinalConstruct() noexcept try {
    for (Node* frame : page_->Frames())
        if (!ElementFor(frame)) return E_OUTOFMEMORY;
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

CHtmlElement* CHtmlDocument::ExistingElement(Node* node) const {
    auto it = elements_.find(node);
    return it == elements_.end() ? nullptr : it->second.object;
}

CHtmlElement* CHtmlDocument::ElementFor(Node* node) {
    if (!node || !page_ || !node->IsElement()) return nullptr;
    if (CHtmlElement* existing = ExistingElement(node)) return existing;
    CHtmlElement* made = nullptr;
    HRESULT hr = E_FAIL;
    if (node->Is(L"INPUT")) {
        ComObject<CHtmlInputElement>* e = nullptr;
        hr = ComObject<CHtmlInputElement>::CreateInstance(&e, this, node);
        made = e;
    } else if (node->Is(L"SCRIPT")) {
        ComObject<CHtmlScriptElement>* e = nullptr;
        hr = ComObject<CHtmlScriptElement>::CreateInstance(&e, this, node);
        made = e;
    } else if (node->IsFrame()) {
        ComObject<CHtmlFrameElement>* e = nullptr;
        hr = ComObject<CHtmlFrameElement>::CreateInstance(&e, this, node);
        made = e;
    } else {
        ComObject<CHtmlElement>* e = nullptr;
        hr = ComObject<CHtmlElement>::CreateInstance(&e, this, node);
        made = e;
    }
    if (FAILED(hr) || !made) return nullptr;
    Entry entry;
    entry.ref.attach(made->Interface());  // adopts the creation reference
    entry.object = made;
    elements_.emplace(node, std::move(entry));
    return made;
}

std::vector<CHtmlFrameElement*> CHtmlDocument::FrameElements() {
    std::vector<CHtmlFrameElement*> out;
    if (!page_) return out;
    for (Node* frame : page_->Frames())
        if (auto* e = static_cast<CHtmlFrameElement*>(ElementFor(frame))) out.push_back(e);
    return out;
}

void CHtmlDocument::Detach() noexcept {
    points_.UnadviseAll();
    auto elements = std::move(elements_);
    elements_.clear();
    for (auto& [node, entry] : elements) entry.object->Detach();
    elements.clear();
    activeNode_ = nullptr;
    browser_ = nullptr;
    frameElement_ = nullptr;
    page_ = nullptr;
    tree_.reset();
}

STDMETHODIMP CHtmlDocument::get_all(IHTMLElementCollection** p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!page_) return E_UNEXPECTED;
    std::vector<CHtmlElement*> all;
    for (Node* n : ElementsByTag(page_->document.get(), L"*"))
        if (CHtmlElement* e = ElementFor(n)) all.push_back(e);
    ComObject<CElementCollection>* collection = nullptr;
    RETURN_IF_FAILED(ComObject<CElementCollection>::CreateInstance(&collection, this, std::move(all)));
    *p = collection;
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlDocument::get_scripts(IHTMLElementCollection** p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!page_) return E_UNEXPECTED;
    std::vector<CHtmlElement*> scripts;
    for (Node* n : ElementsByTag(page_->document.get(), L"SCRIPT"))
        if (CHtmlElement* e = ElementFor(n)) scripts.push_back(e);
    ComObject<CElementCollection>* collection = nullptr;
    RETURN_IF_FAILED(ComObject<CElementCollection>::CreateInstance(&collection, this, std::move(scripts)));
    *p = collection;
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlDocument::get_body(IHTMLElement** p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!page_) return E_UNEXPECTED;
    if (CHtmlElement* body = ElementFor(page_->body)) {
        *p = body->Interface();
        (*p)->AddRef();
    }
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlDocument::get_activeElement(IHTMLElement** p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!page_) return E_UNEXPECTED;
    // Nothing focused: the body, as in the browser.
    if (CHtmlElement* active = ElementFor(activeNode_ ? activeNode_ : page_->body)) {
        *p = active->Interface();
        (*p)->AddRef();
    }
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlDocument::get_frames(IHTMLFramesCollection2** p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!page_) return E_UNEXPECTED;
    std::vector<ComPtr<IWebBrowser2>> frames;
    for (CHtmlFrameElement* f : FrameElements()) frames.emplace_back(static_cast<IWebBrowser2*>(f));
    ComObject<CFramesCollection>* collection = nullptr;
    RETURN_IF_FAILED(ComObject<CFramesCollection>::CreateInstance(&collection, std::move(frames)));
    *p = collection;
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlDocument::get_title(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!page_) return E_UNEXPECTED;
    const auto titles = ElementsByTag(page_->document.get(), L"TITLE");
    return ReturnBstr(titles.empty() ? L"" : CollapseSpace(titles[0]->TextContent()), p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlDocument::get_readyState(BSTR* p) noexcept { return ReturnBstr(L"complete", p); }

STDMETHODIMP CHtmlDocument::get_URL(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!page_) return E_UNEXPECTED;
    return ReturnBstr(page_->address, p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlDocument::get_domain(BSTR* p) noexcept try {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!page_) return E_UNEXPECTED;
    // A page without a host (file:, about:blank) has no domain: a null string.
    return page_->domain.empty() ? S_OK : ReturnBstr(page_->domain, p);
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlDocument::get_designMode(BSTR* p) noexcept {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!page_) return E_UNEXPECTED;
    return ReturnBstr(page_->designMode ? L"On" : L"Inherit", p);
}

STDMETHODIMP CHtmlDocument::put_designMode(BSTR v) noexcept try {
    if (!page_) return E_UNEXPECTED;
    const std::wstring mode = Trim(FromBstr(v));
    if (EqualsNoCase(mode, L"on")) page_->designMode = true;
    else if (EqualsNoCase(mode, L"off") || EqualsNoCase(mode, L"inherit")) page_->designMode = false;
    else return E_INVALIDARG;
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlDocument::EnumObjects(DWORD flags, IEnumUnknown** out) noexcept try {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!page_) return E_UNEXPECTED;
    std::vector<ComPtr<IUnknown>> items;
    if (flags & OLECONTF_EMBEDDINGS) {
        std::vector<Node*> embedded;
        WalkElements(page_->document.get(), [&](Node* n) {
            if (IsEmbedding(*n)) embedded.push_back(n);
            return true;
        });
        for (Node* n : embedded)
            if (CHtmlElement* e = ElementFor(n)) items.emplace_back(static_cast<IHTMLElement*>(e->Interface()));
    }
    ComObject<CEnumUnknown>* enumerator = nullptr;
    RETURN_IF_FAILED(ComObject<CEnumUnknown>::CreateInstance(&enumerator, std::move(items), size_t{0}));
    *out = enumerator;
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CHtmlDocument::FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!page_) return E_UNEXPECTED;
    return points_.Find(iid, out);
}

}  // namespace vnl::browser
