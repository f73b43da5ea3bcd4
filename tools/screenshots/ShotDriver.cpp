// Puts one dialog on the screen for a picture and keeps it there.
//   vnl_shots SHOT [READY_FILE DONE_FILE]
//   SHOT: about | preferences | color-error | hidden-frame-warning | driver-warning
// With the two files it creates READY_FILE once the dialog is drawn and closes
// everything when DONE_FILE appears; without them the dialog stays up for two
// minutes (screenshots.sh ends the session once it has the picture). The
// per-user settings the dialogs show are written by the script.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "About.h"
#include "VNLSDK.h"

namespace {

std::string g_ready, g_done;

HWND WaitForCaption(const char* caption, DWORD timeoutMs = 20000) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        HWND w = ::FindWindowA("#32770", caption);
        if (w && ::IsWindowVisible(w)) return w;
        ::Sleep(50);
    }
    return nullptr;
}

void Touch(const std::string& path) {
    if (FILE* f = std::fopen(path.c_str(), "w")) std::fclose(f);
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Marks the picture ready once the window is drawn, then waits for it to be taken.
void ReadyAndWait(HWND w) {
    ::RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (g_ready.empty()) {
        ::Sleep(120000);
        return;
    }
    ::Sleep(700);
    Touch(g_ready);
    for (int i = 0; i < 600 && !Exists(g_done); ++i) ::Sleep(100);
}

void Press(HWND dlg, int id) {
    ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dlg, id)));
}

// Shows a dialog on another thread's behalf and closes it with `button` after the picture.
void Picture(const char* caption, int button) {
    HWND w = WaitForCaption(caption);
    if (!w) return;
    ReadyAndWait(w);
    Press(w, button);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: vnl_shots SHOT [READY_FILE DONE_FILE]\n");
        return 2;
    }
    const std::string shot = argv[1];
    if (argc == 4) {
        g_ready = argv[2];
        g_done = argv[3];
    }
    std::thread driver;
    if (shot == "about") {
        driver = std::thread([] { Picture("About", IDOK); });
        vnl::ShowAboutDialog();
    } else if (shot == "preferences") {
        driver = std::thread([] { Picture("Preferences", IDCANCEL); });
        VNLSDKShowPref(0);
    } else if (shot == "color-error") {
        driver = std::thread([] {
            HWND prefs = WaitForCaption("Preferences");
            if (!prefs) return;
            ::SendMessageA(::GetDlgItem(prefs, 1028), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("ABC"));
            Press(prefs, IDOK);
            HWND box = WaitForCaption("Color Error");
            if (box) {
                ReadyAndWait(box);
                Press(box, IDOK);
                ::Sleep(300);
            }
            Press(prefs, IDCANCEL);
        });
        VNLSDKShowPref(0);
    } else if (shot == "hidden-frame-warning" || shot == "driver-warning") {
        const bool frame = shot == "hidden-frame-warning";
        frame ? VNLSDKShowCJWarn(0) : VNLSDKShowBadDWarn(0);
        Picture(frame ? "Hidden frame warning" : "Untrusted keyboard driver", IDCANCEL);
        ::Sleep(500);  // the warning thread ends
    } else {
        return 2;
    }
    if (driver.joinable()) driver.join();
    return 0;
}
