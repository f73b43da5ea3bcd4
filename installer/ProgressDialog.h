// The installer's progress window: caption "Varnel", a line of text and a
// progress bar (control 1001). Modeless, owned by the run: it takes no input
// that could hold the program up, is drawn whenever a position is reported,
// and closes when the action ends. When it cannot be created the action goes
// on without it.
#pragma once

#include <windows.h>

namespace vnl {

// What an action reports as it goes (0 to 100).
class ProgressSink {
public:
    virtual void Report(int position) noexcept = 0;

protected:
    ~ProgressSink() = default;
};

class ProgressDialog final : public ProgressSink {
public:
    // Shows the window with `textId` (a string resource) as its line of text,
    // or the template's own text when 0.
    explicit ProgressDialog(UINT textId = 0) noexcept;
    ~ProgressDialog();
    ProgressDialog(const ProgressDialog&) = delete;
    ProgressDialog& operator=(const ProgressDialog&) = delete;

    void Report(int position) noexcept override;
    HWND window() const noexcept { return window_; }

private:
    static INT_PTR CALLBACK DialogThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    BOOL OnInitDialog() noexcept;
    // Lets the window draw itself; never waits for a message.
    void PumpPending() noexcept;

    HWND window_ = nullptr;
    UINT textId_ = 0;
};

}  // namespace vnl
