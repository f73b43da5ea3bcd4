// One browser tab: its window ("TabWindowClass") holding the band rebar
// ("ReBarWindow32") and the page pane ("Internet Explorer_Server"), its
// browser object and its bands. Everything of a tab lives on the thread that
// made it; other threads reach it with SendMessage (requests) and
// PostMessage (navigations, front and back).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BandHost.h"
#include "WebBrowser.h"

namespace vnl::browser {

struct TabOptions {
    std::wstring pageRoot;
    std::wstring address;            // first page; empty: about:blank
    HWND parent = nullptr;           // the frame window; null makes the tab a top-level window
    bool loadBands = true;
    bool front = true;
    // Called on the tab's thread: a page asked for a new window, or to quit.
    std::function<void(const std::wstring& address)> openWindow;
    std::function<void()> quit;
};

// A request from the request channel, run on the tab's thread.
struct TabRequest {
    std::vector<std::wstring> args;  // the verb first
    bool ok = false;
    std::wstring reply;
};

inline constexpr UINT WM_VNL_REQUEST = WM_APP + 0x40;    // lParam: TabRequest*
inline constexpr UINT WM_VNL_NAVIGATE = WM_APP + 0x41;   // lParam: new std::wstring, taken over
inline constexpr UINT WM_VNL_SET_FRONT = WM_APP + 0x42;  // wParam: front or not
inline constexpr UINT WM_VNL_CLOSE = WM_APP + 0x43;      // the tab closes; its thread's loop ends

class BrowserTab final : public BrowserHost {
public:
    // Makes the windows, the browser and the bands on the calling thread
    // (which needs a single-threaded COM apartment) and opens the first page.
    static std::unique_ptr<BrowserTab> Create(TabOptions options);
    ~BrowserTab();

    HWND Window() const noexcept { return window_; }
    HWND Pane() const noexcept { return pane_; }
    HWND Rebar() const noexcept { return rebar_; }
    CWebBrowser* Browser() const noexcept { return browser_.get(); }
    BandHost* Bands() const noexcept { return bands_.get(); }
    std::wstring Address() const;

    void SetFront(bool front);
    // Bands closed (CloseDW, SetSite(nullptr), Release), page left, window destroyed.
    void Close();
    void RunRequest(TabRequest& request);

    // BrowserHost
    HWND FrameWindow() override;
    void QueueNavigate(const std::wstring& address) override;
    void OpenNewWindow(const std::wstring& address) override;
    HRESULT ShowBand(const CLSID& clsid, bool show) override;
    void SetVisible(bool visible) override;
    bool Visible() override;
    void Quit() override;
    void PageChanged() override;

private:
    explicit BrowserTab(TabOptions options) : options_(std::move(options)) {}
    friend void RegisterTabClasses();
    static LRESULT CALLBACK TabProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK PaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnTabMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnPaneMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Layout();
    void PaintPane();
    void ClickPane(int x, int y);
    bool FocusPane();

    TabOptions options_;
    HWND window_ = nullptr;
    HWND rebar_ = nullptr;
    HWND pane_ = nullptr;
    ComPtr<ComObject<CWebBrowser>> browser_;
    std::unique_ptr<BandHost> bands_;
    bool front_ = true;
    bool closed_ = false;
};

// Registers the tab's and the pane's window classes (once per process).
void RegisterTabClasses();

}  // namespace vnl::browser
