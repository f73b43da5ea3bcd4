// Shows the band's toolbar in one status state for a picture: a frame window
// with a rebar, one band on a site over it (the band code linked in, so that
// the state can be set directly), the mouse resting on the status button, and
// below it the button's tip as the toolbar's tool-tip control holds it. Runs
// its message loop for a while, then exits.
//
//   band_shots.exe Activate|Off|On|Warn [ms]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "BandState.h"
#include "ComModule.h"
#include "MockSite.h"
#include "TOOLBAND.h"
#include "ToolBandObj.h"

namespace {

const vnl::ClassEntry kClasses[] = {
    {&vnl::CLSID_VNLToolBandObj, &vnl::ComObject<vnl::CToolBandObj>::CreateInstance, 0},
};

struct NamedState {
    const char* name;
    vnl::BandStatus status;
};
constexpr NamedState kStates[] = {
    {"Activate", vnl::kStatusActivate}, {"Off", vnl::kStatusOff}, {"On", vnl::kStatusOn}, {"Warn", vnl::kStatusWarn},
};

void RunMessages(DWORD ms) {
    const DWORD end = ::GetTickCount() + ms;
    while (static_cast<LONG>(end - ::GetTickCount()) > 0) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const NamedState* state = nullptr;
    for (const NamedState& s : kStates) {
        if (argc > 1 && !std::strcmp(argv[1], s.name)) state = &s;
    }
    if (!state) {
        std::fprintf(stderr, "usage: band_shots.exe Activate|Off|On|Warn [ms]\n");
        return 2;
    }
    const DWORD ms = argc > 2 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 4000;
    ::OleInitialize(nullptr);
    vnl::InitComModule(::GetModuleHandleW(nullptr), kClasses, &LIBID_TOOLBANDLib);

    wchar_t caption[64];
    std::swprintf(caption, 64, L"Varnel toolbar: %hs", state->name);
    bandtest::BrowserWindow window(caption);
    ::MoveWindow(window.Frame(), 20, 20, 420, 140, TRUE);
    bandtest::SiteHandle site = window.MakeSite();
    vnl::ComObject<vnl::CToolBandObj>* band = nullptr;
    if (FAILED(vnl::ComObject<vnl::CToolBandObj>::CreateInstance(&band))) return 3;
    if (FAILED(band->SetSite(site.site.get()))) return 4;
    HWND toolbar = band->ToolbarWindow();
    window.AddBand(toolbar);
    band->ShowDW(TRUE);
    band->SetStatusButton(state->status);
    ::SetForegroundWindow(window.Frame());
    RunMessages(300);

    // Bring the status button under the mouse, where the pointer rests (a
    // virtual desktop cannot always move it), so that it shows hot as when the
    // user points at it.
    RECT button{};
    ::SendMessageW(toolbar, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&button));
    POINT point{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    ::ClientToScreen(toolbar, &point);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    RECT frame{};
    ::GetWindowRect(window.Frame(), &frame);
    ::SetWindowPos(window.Frame(), nullptr, frame.left + cursor.x - point.x, frame.top + cursor.y - point.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
    ::SetCursorPos(cursor.x + 1, cursor.y);
    ::SetCursorPos(cursor.x, cursor.y);
    // The tip as the toolbar's tool-tip control holds it, shown in a label
    // under the toolbar: tip windows come out black in pictures of a Wine
    // virtual desktop under Xvfb, so the popup itself is kept off.
    HWND tips = reinterpret_cast<HWND>(::SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
    wchar_t tip[1024] = L"";
    if (tips) {
        ::SendMessageW(tips, TTM_ACTIVATE, FALSE, 0);
        TOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = toolbar;
        tool.uId = state->status.command;
        tool.lpszText = tip;
        ::SendMessageW(tips, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
    }
    wchar_t label[1100];
    std::swprintf(label, 1100, L"Tip: \"%ls\"", tip);
    RECT client{};
    ::GetClientRect(window.Frame(), &client);
    ::CreateWindowExW(0, L"STATIC", label, WS_CHILD | WS_VISIBLE, 12, 70, client.right - 24, 20, window.Frame(),
                      nullptr, nullptr, nullptr);
    RunMessages(1200);
    std::fprintf(stderr, "band_shots %s: tip \"%ls\"\n", state->name, tip);
    std::fflush(stdout);
    RunMessages(ms);

    band->CloseDW(0);
    band->SetSite(nullptr);
    band->Release();
    return 0;
}
