#include "Windows.h"

#include <vector>

namespace bench {
namespace {

struct Search {
    const std::string* caption;
    const std::string* className;
    HWND found;
};

BOOL CALLBACK Match(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    if (!::IsWindowVisible(hwnd)) return TRUE;
    if (!s->caption->empty() && WindowText(hwnd) != *s->caption) return TRUE;
    if (!s->className->empty()) {
        char cls[256] = {};
        ::GetClassNameA(hwnd, cls, sizeof(cls));
        if (*s->className != cls) return TRUE;
    }
    s->found = hwnd;
    return FALSE;
}

}  // namespace

HWND WaitForWindow(const std::string& caption, const std::string& className, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        Search s{&caption, &className, nullptr};
        ::EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        if (::GetTickCount() - start >= timeoutMs) return nullptr;
        ::Sleep(20);
    }
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (::IsWindow(hwnd)) {
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(20);
    }
    return true;
}

std::string WindowText(HWND hwnd) {
    // WM_GETTEXT through SendMessageTimeout works across threads and processes.
    char buf[4096] = {};
    DWORD_PTR len = 0;
    ::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof(buf), reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, &len);
    return buf;
}

std::string ControlText(HWND dialog, int id) { return WindowText(::GetDlgItem(dialog, id)); }

void SetControlText(HWND dialog, int id, const std::string& text) {
    ::SendMessageA(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int CheckState(HWND dialog, int id) {
    return static_cast<int>(::SendMessageA(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}

void SetCheckState(HWND dialog, int id, int state) {
    ::SendMessageA(::GetDlgItem(dialog, id), BM_SETCHECK, state, 0);
}

bool ControlVisible(HWND dialog, int id) {
    HWND c = ::GetDlgItem(dialog, id);
    return c && (::GetWindowLongA(c, GWL_STYLE) & WS_VISIBLE);
}

bool ControlEnabled(HWND dialog, int id) {
    HWND c = ::GetDlgItem(dialog, id);
    return c && !(::GetWindowLongA(c, GWL_STYLE) & WS_DISABLED);
}

void PressButton(HWND dialog, int id) {
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

std::string MessageBoxText(HWND box) { return ControlText(box, 0xFFFF); }

WindowWatcher::WindowWatcher(std::string caption, std::string className, DWORD timeoutMs,
                             std::function<void(HWND)> act)
    : caption_(std::move(caption)), className_(std::move(className)), timeoutMs_(timeoutMs), act_(std::move(act)) {
    thread_ = std::thread([this] {
        HWND w = WaitForWindow(caption_, className_, timeoutMs_);
        if (!w) return;
        seen_ = true;
        text_ = MessageBoxText(w);
        if (act_) {
            act_(w);
        } else {
            PressButton(w, IDOK);
            if (!WaitForWindowGone(w, 2000)) PressButton(w, 2);
        }
    });
}

WindowWatcher::~WindowWatcher() {
    if (thread_.joinable()) thread_.join();
}

bool WindowWatcher::Wait() {
    if (thread_.joinable()) thread_.join();
    return seen_;
}

}  // namespace bench
