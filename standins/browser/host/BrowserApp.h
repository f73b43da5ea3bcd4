// The browser program's windows: frame windows ("IEFrame") on the main
// thread, each holding tabs that run on threads of their own, and a message
// window through which the request channel and the tabs reach them.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace vnl::browser {

struct AppOptions {
    std::wstring pageRoot;
    bool loadBands = true;
};

// Where a request goes: a tab's window, found by window and tab index.
struct TabTarget {
    int window = -1;
    int tab = -1;
    bool front = false;
    HWND tabWindow = nullptr;  // null while the tab is still being made
};

inline constexpr UINT WM_VNL_APP = WM_APP + 0x60;  // lParam: AppRequest*, run on the main thread

struct AppRequest {
    std::vector<std::wstring> args;  // verb first
    int window = -1;                 // from "@W" or "@W.T"; -1: the first window
    int tab = -1;                    // -1: the window's front tab
    bool ok = false;
    std::wstring reply;
    std::vector<TabTarget> targets;  // "resolve" and "tabs"
};

class BrowserApp {
public:
    explicit BrowserApp(AppOptions options);
    ~BrowserApp();

    // Opens a frame window with `tabs` tabs on `address`. Returns its index.
    int OpenWindow(const std::wstring& address, int tabs, bool visible = true);
    // The same, giving the frame window (null on failure).
    HWND OpenFrame(const std::wstring& address, int tabs, bool visible);
    // The front tab's window of `frame`, waiting (and answering messages) up
    // to `timeoutMs` while the tab is still being made; null when the frame
    // is gone or the tab did not come.
    HWND WaitForFrontTab(HWND frame, DWORD timeoutMs);
    // Runs the main thread's message loop until the last window closes.
    int Run();
    HWND MessageWindow() const noexcept { return messageWindow_; }
    size_t FrameCount() const noexcept { return frames_.size(); }

    struct Tab;
    struct Frame;

private:
    static LRESULT CALLBACK AppProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnFrameMessage(Frame& frame, UINT message, WPARAM wParam, LPARAM lParam);
    void RunAppRequest(AppRequest& request);
    void AddTab(Frame& frame, const std::wstring& address, bool front);
    void SelectTab(Frame& frame, int index);
    void CloseTab(Frame& frame, int index);
    void CloseFrame(Frame& frame);
    void LayoutFrame(Frame& frame);
    Frame* FrameOf(HWND window);

    AppOptions options_;
    HWND messageWindow_ = nullptr;
    DWORD mainThread_ = 0;
    std::vector<std::unique_ptr<Frame>> frames_;
    int openFrames_ = 0;
};

}  // namespace vnl::browser
