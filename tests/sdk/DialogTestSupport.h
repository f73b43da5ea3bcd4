// What the dialog suites share: the probe's Windows version and the settings
// keys restored after each test, a private installation folder whose
// component files a test chooses, and reading a dialog's controls from the
// test's side.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Registry.h"
#include "SdkProbe.h"
#include "Windows.h"

namespace sdktest {

// Restores both per-user key paths, the machine key and the probe's Wine
// settings; the probe runs as Windows XP, so its per-user key is
// HKCU\Software\VNL.
struct DialogFixtureState {
    bench::ScopedKeySnapshot user{HKEY_CURRENT_USER, bench::kUserKey};
    bench::ScopedKeySnapshot writable{HKEY_CURRENT_USER, bench::kWritableUserKey};
    bench::ScopedKeySnapshot machine{HKEY_LOCAL_MACHINE, bench::kMachineKey};
    bench::ScopedAppDefaults probe{"sdk_probe.exe"};
    DialogFixtureState() {
        bench::DeleteKeyTree(HKEY_CURRENT_USER, bench::kUserKey);
        bench::DeleteKeyTree(HKEY_CURRENT_USER, bench::kWritableUserKey);
        probe.SetWindowsVersion("winxp");
    }
};

inline void StoreDword(const std::string& name, DWORD value) {
    bench::SetDword(HKEY_CURRENT_USER, bench::kUserKey, name, value);
}
inline std::optional<DWORD> StoredDword(const std::string& name) {
    return bench::ReadDword(HKEY_CURRENT_USER, bench::kUserKey, name);
}

// An installation folder of the test's own, named in "installpath", holding
// empty files under the names given (the dialogs only look for them).
class ScopedInstallFolder {
public:
    explicit ScopedInstallFolder(const std::vector<std::string>& files) {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "vnl_install_" + std::to_string(::GetCurrentProcessId()) + "\\";
        ::CreateDirectoryA(folder_.c_str(), nullptr);
        for (const auto& f : files) Add(f);
        bench::SetString(HKEY_LOCAL_MACHINE, bench::kMachineKey, "installpath", folder_);
    }
    ~ScopedInstallFolder() {
        for (const auto& f : files_) ::DeleteFileA((folder_ + f).c_str());
        ::RemoveDirectoryA(folder_.c_str());
    }
    void Add(const std::string& file) {
        HANDLE h = ::CreateFileA((folder_ + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
        files_.push_back(file);
    }
    const std::string& Path() const { return folder_; }

private:
    std::string folder_;
    std::vector<std::string> files_;
};

// A snapshot of a dialog's controls, taken from the watcher's thread and
// checked on the test's own thread afterwards.
struct ControlView {
    bool present = false;
    bool visible = false;
    bool enabled = false;
    int check = -1;
    std::string text;
};

inline ControlView ViewControl(HWND dialog, int id) {
    ControlView v;
    HWND c = ::GetDlgItem(dialog, id);
    if (!c) return v;
    v.present = true;
    v.visible = bench::ControlVisible(dialog, id);
    v.enabled = bench::ControlEnabled(dialog, id);
    v.check = bench::CheckState(dialog, id);
    v.text = bench::ControlText(dialog, id);
    return v;
}

inline std::map<int, ControlView> ViewControls(HWND dialog, std::initializer_list<int> ids) {
    std::map<int, ControlView> view;
    for (int id : ids) view[id] = ViewControl(dialog, id);
    return view;
}

// The selection of an edit control (start, end).
inline std::pair<DWORD, DWORD> Selection(HWND edit) {
    DWORD_PTR packed = 0;
    ::SendMessageTimeoutA(edit, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &packed);
    return {LOWORD(packed), HIWORD(packed)};
}

}  // namespace sdktest
