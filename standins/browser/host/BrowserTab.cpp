#include "BrowserTab.h"

#include <commctrl.h>

#include <cstdio>

#include "PagePainter.h"
#include "Text.h"

namespace vnl::browser {

namespace {

constexpr const wchar_t* kTabClass = L"TabWindowClass";
constexpr const wchar_t* kPaneClass = L"Internet Explorer_Server";

std::wstring HexWindow(HWND window) {
    wchar_t text[32];
    swprintf(text, 32, L"0x%llX", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

// The text of a field or region as the page holds it.
std::wstring ValueOf(const Node& node) {
    if (node.Is(L"INPUT") || node.Is(L"TEXTAREA")) return node.value;
    return node.TextContent();
}

}  // namespace

void RegisterTabClasses() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&icc);
    WNDCLASSW tab = {};
    tab.lpfnWndProc = BrowserTab::TabProc;
    tab.hInstance = ::GetModuleHandleW(nullptr);
    tab.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    tab.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    tab.lpszClassName = kTabClass;
    ::RegisterClassW(&tab);
    WNDCLASSW pane = {};
    pane.style = CS_DBLCLKS;
    pane.lpfnWndProc = BrowserTab::PaneProc;
    pane.hInstance = ::GetModuleHandleW(nullptr);
    pane.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32513));
    pane.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    pane.lpszClassName = kPaneClass;
    ::RegisterClassW(&pane);
}

std::unique_ptr<BrowserTab> BrowserTab::Create(TabOptions options) {
    RegisterTabClasses();
    std::unique_ptr<BrowserTab> tab(new BrowserTab(std::move(options)));
    BrowserTab* self = tab.get();
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const bool child = self->options_.parent != nullptr;
    RECT area = {0, 0, 800, 600};
    if (child) ::GetClientRect(self->options_.parent, &area);
    self->window_ = ::CreateWindowExW(WS_EX_NOPARENTNOTIFY, kTabClass, L"",
                                      (child ? WS_CHILD : WS_OVERLAPPEDWINDOW) | WS_CLIPCHILDREN, 0, 0,
                                      area.right, area.bottom, self->options_.parent, nullptr, instance, self);
    if (!self->window_) return nullptr;
    self->rebar_ = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOPARENTNOTIFY, REBARCLASSNAMEW, L"",
                                     WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                                         RBS_BANDBORDERS | CCS_NODIVIDER | CCS_TOP,
                                     0, 0, area.right, 30, self->window_, nullptr, instance, nullptr);
    self->pane_ = ::CreateWindowExW(WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY, kPaneClass, L"",
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 30, area.right, area.bottom - 30,
                                    self->window_, nullptr, instance, self);
    self->browser_ = MakeWebBrowser(PageLoader(self->options_.pageRoot, ReadPageFile), self);
    if (!self->rebar_ || !self->pane_ || !self->browser_) return nullptr;
    self->bands_ = std::make_unique<BandHost>(self->rebar_, self->browser_->Interface());
    if (self->options_.loadBands) self->bands_->LoadListedBands();
    self->front_ = self->options_.front;
    if (!self->front_) self->bands_->ShowAll(false);
    self->Layout();
    ::ShowWindow(self->window_, self->front_ ? SW_SHOW : SW_HIDE);
    self->browser_->NavigateTo(self->options_.address.empty() ? L"about:blank" : self->options_.address);
    return tab;
}

BrowserTab::~BrowserTab() { Close(); }

void BrowserTab::Close() {
    if (closed_) return;
    closed_ = true;
    if (bands_) bands_->CloseAll();
    if (browser_) {
        browser_->Close();
        browser_->ForgetHost();
    }
    bands_.reset();
    browser_.reset();
    if (window_ && ::IsWindow(window_)) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::SetWindowLongPtrW(pane_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
    window_ = pane_ = rebar_ = nullptr;
}

std::wstring BrowserTab::Address() const {
    Page* page = browser_ ? browser_->TopPage() : nullptr;
    return page ? page->address : L"";
}

void BrowserTab::SetFront(bool front) {
    if (front_ == front || closed_) return;
    front_ = front;
    // Only the front tab's bands are visible, as in the browser.
    if (bands_) bands_->ShowAll(front);
    ::ShowWindow(window_, front ? SW_SHOW : SW_HIDE);
    if (front) Layout();
}

void BrowserTab::Layout() {
    if (!window_) return;
    RECT area;
    ::GetClientRect(window_, &area);
    ::SendMessageW(rebar_, WM_SIZE, 0, 0);
    int rebarHeight = bands_ ? bands_->Height() : 0;
    ::MoveWindow(rebar_, 0, 0, area.right, rebarHeight, TRUE);
    ::ShowWindow(rebar_, rebarHeight > 0 ? SW_SHOW : SW_HIDE);
    ::MoveWindow(pane_, 0, rebarHeight, area.right, area.bottom - rebarHeight, TRUE);
}

HWND BrowserTab::FrameWindow() {
    HWND root = window_ ? ::GetAncestor(window_, GA_ROOT) : nullptr;
    return root ? root : window_;
}

void BrowserTab::QueueNavigate(const std::wstring& address) {
    if (window_) ::PostMessageW(window_, WM_VNL_NAVIGATE, 0, reinterpret_cast<LPARAM>(new std::wstring(address)));
}

void BrowserTab::OpenNewWindow(const std::wstring& address) {
    if (options_.openWindow) options_.openWindow(address);
}

HRESULT BrowserTab::ShowBand(const CLSID& clsid, bool show) {
    if (!bands_) return E_FAIL;
    const HRESULT hr = bands_->Show(clsid, show);
    Layout();
    return hr;
}

void BrowserTab::SetVisible(bool visible) { ::ShowWindow(FrameWindow(), visible ? SW_SHOW : SW_HIDE); }

bool BrowserTab::Visible() { return ::IsWindowVisible(FrameWindow()) != FALSE; }

void BrowserTab::Quit() {
    if (options_.quit) options_.quit();
}

void BrowserTab::PageChanged() {
    if (pane_) ::InvalidateRect(pane_, nullptr, TRUE);
}

bool BrowserTab::FocusPane() {
    // The frame to the front, then the keyboard focus into the pane, as a
    // click into the page does. Another window of the session may take the
    // front meanwhile: tried a few times.
    HWND frame = FrameWindow();
    for (int attempt = 0; attempt < 20; ++attempt) {
        ::SetForegroundWindow(frame);
        ::SetFocus(pane_);
        if (::GetForegroundWindow() == frame && ::GetFocus() == pane_) return true;
        ::Sleep(25);
    }
    return false;
}

void BrowserTab::ClickPane(int x, int y) {
    if (!browser_ || !browser_->Document()) return;
    HDC dc = ::GetDC(pane_);
    RECT area;
    ::GetClientRect(pane_, &area);
    const auto boxes = LayoutPage(dc, browser_->Document(), area, nullptr, false);
    ::ReleaseDC(pane_, dc);
    ::SetFocus(pane_);
    for (auto it = boxes.rbegin(); it != boxes.rend(); ++it) {
        const POINT p = {x, y};
        if (!::PtInRect(&it->rect, p) || it->node->IsFrame()) continue;
        if (CHtmlElement* e = it->document->ElementFor(it->node)) browser_->FocusElement(e);
        return;
    }
}

void BrowserTab::PaintPane() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(pane_, &ps);
    RECT area;
    ::GetClientRect(pane_, &area);
    HGDIOBJ font = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    if (browser_ && browser_->Document()) {
        CHtmlElement* focused = browser_->FocusedElement();
        LayoutPage(dc, browser_->Document(), area, focused ? focused->GetNode() : nullptr, true);
    }
    ::SelectObject(dc, font);
    ::EndPaint(pane_, &ps);
}

void BrowserTab::RunRequest(TabRequest& request) {
    const auto& a = request.args;
    const std::wstring verb = a.empty() ? L"" : ToLower(a[0]);
    auto fail = [&](std::wstring why) { request.ok = false; request.reply = std::move(why); };
    auto done = [&](std::wstring text) { request.ok = true; request.reply = std::move(text); };
    if (!browser_) return fail(L"the tab is closed");
    auto element = [&](size_t index) -> CHtmlElement* {
        return a.size() > index ? browser_->FindElement(a[index]) : nullptr;
    };
    if (verb == L"navigate" && a.size() >= 2) {
        if (!browser_->NavigateTo(a[1])) return fail(L"the navigation was cancelled");
        Page* page = browser_->TopPage();
        return done(page && !page->error.empty() ? L"error-page " + page->error : page ? page->address : L"");
    }
    if (verb == L"focus" && a.size() >= 2) {
        CHtmlElement* e = element(1);
        if (!e) return fail(L"no element with id " + a[1]);
        const bool paneFocused = FocusPane();
        browser_->FocusElement(e);
        return done(paneFocused ? L"focused" : L"focused (the pane could not take the keyboard)");
    }
    if ((verb == L"value" || verb == L"attribute" || verb == L"style" || verb == L"currentstyle") && a.size() >= 2) {
        CHtmlElement* e = element(1);
        if (!e || !e->GetNode()) return fail(L"no element with id " + a[1]);
        Node* node = e->GetNode();
        if (verb == L"value") return done(ValueOf(*node));
        if (a.size() < 3) return fail(L"which " + verb + L"?");
        if (verb == L"attribute") {
            auto value = node->GetAttribute(a[2]);
            return value ? done(*value) : fail(L"no attribute " + a[2]);
        }
        if (verb == L"style") return done(node->style.Get(a[2]));
        return done(ComputedStyleValue(node->tag, node->style, a[2]));
    }
    if (verb == L"active") {
        CHtmlElement* e = browser_->FocusedElement();
        return done(e && e->GetNode() ? e->GetNode()->Id() : L"");
    }
    if (verb == L"domain") {
        Page* page = browser_->TopPage();
        return done(page ? page->domain : L"");
    }
    if (verb == L"error") {
        Page* page = browser_->TopPage();
        return done(page ? page->error : L"");
    }
    if (verb == L"text") {
        Page* page = browser_->TopPage();
        return done(page && page->body ? CollapseSpace(page->body->TextContent()) : L"");
    }
    if (verb == L"address") return done(Address());
    if (verb == L"pane") return done(HexWindow(pane_));
    if (verb == L"bands") {
        std::wstring out;
        for (const auto& b : bands_->Bands()) {
            if (!out.empty()) out += L' ';
            out += ClsidText(b.clsid) + (b.shown ? L":shown" : L":hidden") +
                   (b.window && ::IsWindowVisible(b.window) ? L":visible" : L":invisible");
        }
        return done(out);
    }
    if (verb == L"showband" && a.size() >= 2) {
        CLSID clsid;
        if (FAILED(::CLSIDFromString(a[1].c_str(), &clsid))) return fail(L"not a class id: " + a[1]);
        const bool show = a.size() < 3 || a[2] != L"0";
        const HRESULT hr = ShowBand(clsid, show);
        return SUCCEEDED(hr) ? done(L"") : fail(L"the band cannot be shown (" + std::to_wstring(hr) + L")");
    }
    fail(L"unknown request: " + (a.empty() ? std::wstring() : a[0]));
}

LRESULT CALLBACK BrowserTab::TabProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<BrowserTab*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || self->window_ != window) {
        if (message == WM_VNL_NAVIGATE) delete reinterpret_cast<std::wstring*>(lParam);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnTabMessage(message, wParam, lParam);
} catch (...) {
    return 0;
}

LRESULT BrowserTab::OnTabMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->code == RBN_HEIGHTCHANGE) Layout();
        return 0;
    case WM_VNL_REQUEST:
        RunRequest(*reinterpret_cast<TabRequest*>(lParam));
        return 1;
    case WM_VNL_NAVIGATE: {
        std::unique_ptr<std::wstring> address(reinterpret_cast<std::wstring*>(lParam));
        if (browser_) browser_->NavigateTo(*address);
        return 0;
    }
    case WM_VNL_SET_FRONT:
        SetFront(wParam != 0);
        return 0;
    case WM_VNL_CLOSE:
        Close();
        ::PostQuitMessage(0);
        return 0;
    case WM_CLOSE:
        // A tab that is a top-level window of its own (no frame) closes like a frame.
        if (options_.quit) options_.quit();
        else Close();
        return 0;
    default:
        return ::DefWindowProcW(window_, message, wParam, lParam);
    }
}

LRESULT CALLBACK BrowserTab::PaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<BrowserTab*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || (self->pane_ && self->pane_ != window)) return ::DefWindowProcW(window, message, wParam, lParam);
    if (!self->pane_) self->pane_ = window;
    return self->OnPaneMessage(message, wParam, lParam);
} catch (...) {
    return 0;
}

LRESULT BrowserTab::OnPaneMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        PaintPane();
        return 0;
    case WM_LBUTTONDOWN:
        ClickPane(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_CHAR:
        // A typed character becomes a keypress on the focused field.
        // Backspace is an editing key, not a keypress (WM_KEYDOWN handles it).
        if (browser_ && wParam != VK_BACK) browser_->KeyPress(static_cast<wchar_t>(wParam));
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_BACK && browser_) browser_->DeleteBackward();
        return 0;
    default:
        return ::DefWindowProcW(pane_, message, wParam, lParam);
    }
}

}  // namespace vnl::browser
