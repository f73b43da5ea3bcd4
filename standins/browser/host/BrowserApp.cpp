#include "BrowserApp.h"

#include <commctrl.h>
#include <objbase.h>

#include "BrowserTab.h"
#include "Text.h"
#include "UniqueAny.h"

namespace vnl::browser {

namespace {

constexpr const wchar_t* kFrameClass = L"IEFrame";
constexpr const wchar_t* kAppClass = L"VarnelBrowserApp";
constexpr UINT WM_VNL_TAB_READY = WM_APP + 0x61;   // wParam: tab serial, lParam: tab window (0: failed)
constexpr UINT WM_VNL_NEW_WINDOW = WM_APP + 0x62;  // lParam: new std::wstring
constexpr int kStripHeight = 26;

int g_nextSerial = 1;

}  // namespace

struct BrowserApp::Tab {
    int serial = 0;
    HWND window = nullptr;
    UniqueHandle thread;
    bool failed = false;
};

struct BrowserApp::Frame {
    HWND window = nullptr;
    HWND strip = nullptr;
    std::vector<Tab> tabs;
    int front = 0;
};

namespace {

struct TabStart {
    TabOptions options;
    HWND frame;
    HWND app;
    int serial;
    DWORD mainThread;
};

DWORD WINAPI TabThread(void* parameter) noexcept try {
    std::unique_ptr<TabStart> start(static_cast<TabStart*>(parameter));
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // One input state with the frame's thread: the pane takes the keyboard
    // focus while the frame is the foreground window.
    ::AttachThreadInput(::GetCurrentThreadId(), start->mainThread, TRUE);
    const HWND frame = start->frame;
    const HWND app = start->app;
    start->options.openWindow = [app](const std::wstring& address) {
        ::PostMessageW(app, WM_VNL_NEW_WINDOW, 0, reinterpret_cast<LPARAM>(new std::wstring(address)));
    };
    start->options.quit = [frame] { ::PostMessageW(frame, WM_CLOSE, 0, 0); };
    // The tab reports itself before its first page loads, so that the frame
    // knows it even while the bands are busy with that page.
    auto tab = BrowserTab::Create(start->options);
    ::PostMessageW(frame, WM_VNL_TAB_READY, static_cast<WPARAM>(start->serial),
                   reinterpret_cast<LPARAM>(tab ? tab->Window() : nullptr));
    if (tab) {
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        tab.reset();
    }
    ::CoUninitialize();
    return 0;
} catch (...) {
    return 1;
}

// Waits for a thread while the calling thread goes on answering messages
// sent to its windows (the tab's windows are children of ours).
void WaitPumping(HANDLE thread) {
    for (;;) {
        const DWORD r = ::MsgWaitForMultipleObjects(1, &thread, FALSE, 10000, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) return;  // ended, or gave up after the time-out
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

BrowserApp::BrowserApp(AppOptions options) : options_(std::move(options)), mainThread_(::GetCurrentThreadId()) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&icc);
    RegisterTabClasses();
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW app = {};
    app.lpfnWndProc = AppProc;
    app.hInstance = instance;
    app.lpszClassName = kAppClass;
    ::RegisterClassW(&app);
    WNDCLASSW frame = {};
    frame.lpfnWndProc = FrameProc;
    frame.hInstance = instance;
    frame.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    frame.hIcon = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    frame.lpszClassName = kFrameClass;
    ::RegisterClassW(&frame);
    messageWindow_ = ::CreateWindowExW(0, kAppClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
}

BrowserApp::~BrowserApp() {
    while (!frames_.empty()) CloseFrame(*frames_.front());
    if (messageWindow_) ::DestroyWindow(messageWindow_);
}

int BrowserApp::OpenWindow(const std::wstring& address, int tabs, bool visible) {
    auto frame = std::make_unique<Frame>();
    frame->window = ::CreateWindowExW(0, kFrameClass, L"Varnel stand-in browser", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                      40 + 30 * static_cast<int>(frames_.size()), 40 + 30 * static_cast<int>(frames_.size()),
                                      720, 520, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    if (!frame->window) return -1;
    frame->strip = ::CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 780,
                                     kStripHeight, frame->window, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(frame->strip, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    Frame& f = *frame;
    frames_.push_back(std::move(frame));
    ++openFrames_;
    for (int i = 0; i < std::max(1, tabs); ++i) AddTab(f, address, i == 0);
    if (visible) {
        ::ShowWindow(f.window, SW_SHOW);
        ::SetForegroundWindow(f.window);
    }
    return static_cast<int>(frames_.size()) - 1;
}

void BrowserApp::AddTab(Frame& frame, const std::wstring& address, bool front) {
    Tab tab;
    tab.serial = g_nextSerial++;
    auto* start = new TabStart{};
    start->options.pageRoot = options_.pageRoot;
    start->options.address = address;
    start->options.parent = frame.window;
    start->options.loadBands = options_.loadBands;
    start->options.front = front;
    start->frame = frame.window;
    start->app = messageWindow_;
    start->serial = tab.serial;
    start->mainThread = mainThread_;
    tab.thread.reset(::CreateThread(nullptr, 0, TabThread, start, 0, nullptr));
    if (!tab.thread) {
        delete start;
        return;
    }
    const int index = static_cast<int>(frame.tabs.size());
    std::wstring label = L"Tab " + std::to_wstring(index + 1);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = label.data();
    ::SendMessageW(frame.strip, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    frame.tabs.push_back(std::move(tab));
    if (front) {
        for (size_t i = 0; i + 1 < frame.tabs.size(); ++i)
            if (frame.tabs[i].window) ::PostMessageW(frame.tabs[i].window, WM_VNL_SET_FRONT, 0, 0);
        frame.front = index;
        ::SendMessageW(frame.strip, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

void BrowserApp::SelectTab(Frame& frame, int index) {
    if (index < 0 || index >= static_cast<int>(frame.tabs.size())) return;
    for (int i = 0; i < static_cast<int>(frame.tabs.size()); ++i)
        if (frame.tabs[i].window && i != index) ::SendMessageW(frame.tabs[i].window, WM_VNL_SET_FRONT, 0, 0);
    if (frame.tabs[index].window) ::SendMessageW(frame.tabs[index].window, WM_VNL_SET_FRONT, 1, 0);
    frame.front = index;
    ::SendMessageW(frame.strip, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    LayoutFrame(frame);
}

void BrowserApp::CloseTab(Frame& frame, int index) {
    if (index < 0 || index >= static_cast<int>(frame.tabs.size())) return;
    Tab tab = std::move(frame.tabs[index]);
    frame.tabs.erase(frame.tabs.begin() + index);
    ::SendMessageW(frame.strip, TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
    if (tab.window) ::SendMessageW(tab.window, WM_VNL_CLOSE, 0, 0);
    else if (tab.thread) ::PostThreadMessageW(::GetThreadId(tab.thread.get()), WM_QUIT, 0, 0);
    if (tab.thread) WaitPumping(tab.thread.get());
    if (frame.tabs.empty()) {
        ::PostMessageW(frame.window, WM_CLOSE, 0, 0);
        return;
    }
    SelectTab(frame, std::min(index, static_cast<int>(frame.tabs.size()) - 1));
}

void BrowserApp::CloseFrame(Frame& frame) {
    while (!frame.tabs.empty()) {
        Tab tab = std::move(frame.tabs.back());
        frame.tabs.pop_back();
        if (tab.window) ::SendMessageW(tab.window, WM_VNL_CLOSE, 0, 0);
        if (tab.thread) WaitPumping(tab.thread.get());
    }
    const HWND window = frame.window;
    frame.window = nullptr;
    for (auto it = frames_.begin(); it != frames_.end(); ++it) {
        if (it->get() == &frame) {
            frames_.erase(it);
            break;
        }
    }
    if (window && ::IsWindow(window)) ::DestroyWindow(window);
    if (--openFrames_ <= 0) ::PostQuitMessage(0);
}

void BrowserApp::LayoutFrame(Frame& frame) {
    RECT area;
    ::GetClientRect(frame.window, &area);
    ::MoveWindow(frame.strip, 0, 0, area.right, kStripHeight, TRUE);
    for (const Tab& tab : frame.tabs)
        if (tab.window) ::SetWindowPos(tab.window, nullptr, 0, kStripHeight, area.right, area.bottom - kStripHeight,
                                       SWP_NOZORDER | SWP_NOACTIVATE);
}

BrowserApp::Frame* BrowserApp::FrameOf(HWND window) {
    for (auto& f : frames_)
        if (f->window == window) return f.get();
    return nullptr;
}

HWND BrowserApp::OpenFrame(const std::wstring& address, int tabs, bool visible) {
    const int index = OpenWindow(address, tabs, visible);
    return index < 0 ? nullptr : frames_[static_cast<size_t>(index)]->window;
}

HWND BrowserApp::WaitForFrontTab(HWND frameWindow, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        Frame* frame = FrameOf(frameWindow);
        if (!frame || frame->tabs.empty()) return nullptr;
        const Tab& tab = frame->tabs[static_cast<size_t>(frame->front)];
        if (tab.window || tab.failed) return tab.window;
        if (::GetTickCount() - start > timeoutMs) return nullptr;
        // The tab reports itself with a posted message: keep the loop going.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(message.wParam));
                return nullptr;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

int BrowserApp::Run() {
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

void BrowserApp::RunAppRequest(AppRequest& request) {
    const std::wstring verb = request.args.empty() ? L"" : ToLower(request.args[0]);
    auto fail = [&](std::wstring why) { request.ok = false; request.reply = std::move(why); };
    auto done = [&](std::wstring text) { request.ok = true; request.reply = std::move(text); };
    if (verb == L"newwindow") {
        const int index = OpenWindow(request.args.size() > 1 ? request.args[1] : L"about:blank", 1);
        return index < 0 ? fail(L"the window cannot be made") : done(std::to_wstring(index) + L".0");
    }
    if (verb == L"tabs") {
        for (size_t w = 0; w < frames_.size(); ++w)
            for (size_t t = 0; t < frames_[w]->tabs.size(); ++t)
                request.targets.push_back({static_cast<int>(w), static_cast<int>(t),
                                           static_cast<int>(t) == frames_[w]->front, frames_[w]->tabs[t].window});
        return done(L"");
    }
    if (verb == L"quit") {
        while (!frames_.empty()) CloseFrame(*frames_.front());
        return done(L"");
    }
    const int w = request.window < 0 ? 0 : request.window;
    if (w >= static_cast<int>(frames_.size())) return fail(L"no window " + std::to_wstring(w));
    Frame& frame = *frames_[w];
    if (verb == L"newtab") {
        AddTab(frame, request.args.size() > 1 ? request.args[1] : L"about:blank", true);
        LayoutFrame(frame);
        return done(std::to_wstring(w) + L"." + std::to_wstring(frame.tabs.size() - 1));
    }
    if (verb == L"closewindow") {
        CloseFrame(frame);
        return done(L"");
    }
    if (verb == L"frame") {
        wchar_t text[32];
        swprintf(text, 32, L"0x%llX", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(frame.window)));
        return done(text);
    }
    const int t = request.tab < 0 ? frame.front : request.tab;
    if (t >= static_cast<int>(frame.tabs.size())) return fail(L"no tab " + std::to_wstring(t));
    if (verb == L"selecttab") {
        SelectTab(frame, t);
        return done(L"");
    }
    if (verb == L"closetab") {
        CloseTab(frame, t);
        return done(L"");
    }
    if (verb == L"resolve") {
        request.targets.push_back({w, t, t == frame.front, frame.tabs[t].window});
        return done(L"");
    }
    fail(L"unknown request: " + verb);
}

LRESULT CALLBACK BrowserApp::AppProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<BrowserApp*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_VNL_APP:
        if (self) self->RunAppRequest(*reinterpret_cast<AppRequest*>(lParam));
        return 1;
    case WM_VNL_NEW_WINDOW: {
        std::unique_ptr<std::wstring> address(reinterpret_cast<std::wstring*>(lParam));
        if (self) self->OpenWindow(*address, 1);
        return 0;
    }
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
} catch (...) {
    return 0;
}

LRESULT CALLBACK BrowserApp::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<BrowserApp*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    Frame* frame = self ? self->FrameOf(window) : nullptr;
    if (!frame) return ::DefWindowProcW(window, message, wParam, lParam);
    return self->OnFrameMessage(*frame, message, wParam, lParam);
} catch (...) {
    return 0;
}

LRESULT BrowserApp::OnFrameMessage(Frame& frame, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        LayoutFrame(frame);
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->hwndFrom == frame.strip && header->code == TCN_SELCHANGE)
            SelectTab(frame, static_cast<int>(::SendMessageW(frame.strip, TCM_GETCURSEL, 0, 0)));
        return 0;
    }
    case WM_VNL_TAB_READY:
        for (size_t i = 0; i < frame.tabs.size(); ++i) {
            Tab& tab = frame.tabs[i];
            if (tab.serial != static_cast<int>(wParam)) continue;
            tab.window = reinterpret_cast<HWND>(lParam);
            tab.failed = tab.window == nullptr;
            if (tab.window && static_cast<int>(i) != frame.front)
                ::PostMessageW(tab.window, WM_VNL_SET_FRONT, 0, 0);
        }
        LayoutFrame(frame);
        return 0;
    case WM_CLOSE:
        CloseFrame(frame);
        return 0;
    default:
        return ::DefWindowProcW(frame.window, message, wParam, lParam);
    }
}

}  // namespace vnl::browser
