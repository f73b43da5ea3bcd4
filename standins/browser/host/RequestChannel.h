// The browser's request channel: a named pipe ("\\.\pipe\NAME") through which
// tests and the demo drive a running browser. One request per line (UTF-8,
// arguments separated by tabs, or by spaces when the line has no tab), one
// reply line: "ok" or "error", a tab, then the text (backslash, newline and
// carriage return escaped as \\, \n and \r). A first argument "@W" or "@W.T"
// picks window W (and tab T); without it the first window's front tab.
//
//   navigate URL        -> the address shown, or "error-page REASON"
//   focus ID            -> the frame to the front, the pane focused, focusin
//   value ID            -> a field's value (or an element's text)
//   attribute ID NAME   -> the attribute's text
//   style ID PROPERTY   -> the inline style's value ("background-color"...)
//   currentstyle ID PROPERTY
//   active | domain | address | error | text | pane | bands
//   showband {CLSID} [0]
//   newtab URL -> "W.T" | selecttab | closetab | newwindow URL -> "W.0" | closewindow
//   frame               -> the frame window's handle
//   list                -> one "W.T:front|back:ready|loading:ADDRESS" per tab, tab-separated
//   quit
#pragma once

#include <windows.h>

#include <string>
#include <thread>

namespace vnl::browser {

class RequestChannel {
public:
    // Serves `pipeName` on a thread of its own; requests go to `appWindow`
    // (BrowserApp's message window) and through it to the tabs.
    RequestChannel(std::wstring pipeName, HWND appWindow);
    ~RequestChannel();

    static std::wstring DefaultName();  // "VarnelBrowser.<process id>"

private:
    void Serve();
    std::string Handle(const std::string& line);

    std::wstring pipeName_;
    HWND appWindow_;
    HANDLE stop_;
    std::thread thread_;
};

}  // namespace vnl::browser
