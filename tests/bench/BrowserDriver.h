// Driving the stand-in browser (iexplore.exe) from tests and the demo: starts
// it on a page root with a request channel of its own, sends requests and
// reads replies (the protocol is in standins/browser/host/RequestChannel.h),
// and types the real way: the stand-in driver's control device plays the
// keyboard and what the driver passes up is sent with SendInput into the
// focused pane. Tests that type take the `driver` and `input` locks.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "UniqueAny.h"

namespace bench {

class DriverControl;

struct BrowserOptions {
    std::string pageRoot;                     // Windows path of the page root
    std::string address = "about:blank";
    int tabs = 1;
    bool bands = true;
    std::map<std::string, std::string> env;   // set for the browser process (and so its bands)
    DWORD readyTimeoutMs = 30000;
};

struct BrowserReply {
    bool ok = false;
    std::string text;  // unescaped
};

class BrowserDriver {
public:
    BrowserDriver() = default;
    ~BrowserDriver();  // asks the browser to quit, then ends it if it does not
    BrowserDriver(const BrowserDriver&) = delete;
    BrowserDriver& operator=(const BrowserDriver&) = delete;

    // Starts build/bin/iexplore.exe and waits until every tab is ready.
    bool Start(const BrowserOptions& options);
    // One request; the arguments are joined with tabs.
    BrowserReply Request(const std::vector<std::string>& args);
    // Shorthands.
    bool Navigate(const std::string& address) { return Request({"navigate", address}).ok; }
    bool Focus(const std::string& id) { return Request({"focus", id}).ok; }
    std::string Value(const std::string& id) { return Request({"value", id}).text; }
    // Polls the value until it equals `expected`; false on time-out.
    bool WaitForValue(const std::string& id, const std::string& expected, DWORD timeoutMs = 10000);
    // Polls "list" until every tab is ready.
    bool WaitForTabs(DWORD timeoutMs = 30000);
    HWND Pane();

    // Types `text` into the focused pane: each character's scan code is pressed
    // on the stand-in keyboard and what the driver lets up is sent with
    // SendInput (Shift as itself). False when the keyboard refused a key.
    bool Type(DriverControl& keyboard, const std::string& text);

    // Ends the browser with "quit" and waits for the process; its exit code.
    bool Quit(DWORD timeoutMs = 20000);
    DWORD ExitCode() const { return exitCode_; }
    DWORD ProcessId() const { return processId_; }
    bool Running() const;

private:
    bool Connect(DWORD timeoutMs);

    vnl::UniqueHandle process_;
    vnl::UniqueFileHandle pipe_;
    std::string pipeName_;
    DWORD processId_ = 0;
    DWORD exitCode_ = STILL_ACTIVE;
};

// The browser's band list key under HKEY_LOCAL_MACHINE.
inline constexpr const char* kToolbarKey = "Software\\Microsoft\\Internet Explorer\\Toolbar";

}  // namespace bench
