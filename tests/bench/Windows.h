// Finding and driving top-level windows, dialogs and message boxes, from a
// thread other than the one (or a process other than the one) that shows them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace bench {

// Waits up to `timeoutMs` for a visible top-level window whose caption equals
// `caption` (any caption when empty) and whose class equals `className` (any
// when empty). Returns null on time-out.
HWND WaitForWindow(const std::string& caption, const std::string& className = "", DWORD timeoutMs = 10000);

// Waits until `hwnd` is no longer a window.
bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs = 10000);

std::string WindowText(HWND hwnd);
std::string ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::string& text);
int CheckState(HWND dialog, int id);          // BST_CHECKED, BST_UNCHECKED, BST_INDETERMINATE
void SetCheckState(HWND dialog, int id, int state);
bool ControlVisible(HWND dialog, int id);
bool ControlEnabled(HWND dialog, int id);
// Presses a button the way a click does: the dialog receives WM_COMMAND/BN_CLICKED.
void PressButton(HWND dialog, int id);

// The text of a message box (its static control 0xFFFF).
std::string MessageBoxText(HWND box);

// Watches, on a thread of its own, for a window with the given caption and
// class, records its text (for a message box the message) and then runs
// `act` on it (by default presses the first button, OK).
class WindowWatcher {
public:
    WindowWatcher(std::string caption, std::string className = "#32770", DWORD timeoutMs = 10000,
                  std::function<void(HWND)> act = {});
    ~WindowWatcher();
    // Waits for the watcher thread; true when the window was seen.
    bool Wait();
    const std::string& Text() const { return text_; }
    const std::string& Caption() const { return caption_; }

private:
    std::string caption_;
    std::string className_;
    DWORD timeoutMs_;
    std::function<void(HWND)> act_;
    std::string text_;
    bool seen_ = false;
    std::thread thread_;
};

}  // namespace bench
