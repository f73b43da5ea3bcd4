#include "About.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "SettingsStore.h"
#include "UniqueAny.h"

namespace vnl {
namespace {

// The driver row names the file the installer puts in the drivers folder.
constexpr ComponentFile kComponentFiles[] = {
    "VNLTB.dll",
    "%PROGRAMFILES%\\Mozilla Firefox\\components\\VNLConnect.dll",
    "%SYSTEMROOT%\\SYSTEM32\\Drivers\\vnlv2.sys",
    "%SYSTEMROOT%\\SYSTEM32\\VNLBIN1.dll",
    "%SYSTEMROOT%\\SYSTEM32\\VNLBIN3.dll",
};

constexpr const char* kFilesHeading = "Files";
constexpr const char* kVersionHeading = "Version";
constexpr int kHeadingPadding = 15;
constexpr int kInitialColumnWidth = 50;
constexpr size_t kVersionSize = 24;  // "Version" as stored, terminator included

struct ComInit {
    HRESULT hr = ::CoInitialize(nullptr);
    ~ComInit() {
        if (SUCCEEDED(hr)) ::CoUninitialize();
    }
};

// The full path of a component: environment variables expanded, or joined to
// the installation folder. False when the result does not fit in 260 bytes
// (the file then gets no row rather than a cut path).
bool ComponentPath(ComponentFile file, char (&path)[kPathBufferSize]) noexcept {
    const size_t length = std::strlen(file);
    if (std::strchr(file, '%')) {
        if (length >= sizeof(path)) return false;
        std::memcpy(path, file, length + 1);
        return HIWORD(::DoEnvironmentSubstA(path, sizeof(path))) != FALSE;
    }
    ReadInstallPath(path);
    const size_t folder = std::strlen(path);
    if (folder + length >= sizeof(path)) return false;
    std::memcpy(path + folder, file, length + 1);
    return true;
}

// "a.b.c.d" of the file's fixed version information; false when it has none.
bool FileVersionText(const char* path, std::string& text) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return false;
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoA(path, 0, size, data.data())) return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed ||
        fixedSize < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%d.%d.%d.%d", static_cast<int>(HIWORD(fixed->dwFileVersionMS)),
                  static_cast<int>(LOWORD(fixed->dwFileVersionMS)), static_cast<int>(HIWORD(fixed->dwFileVersionLS)),
                  static_cast<int>(LOWORD(fixed->dwFileVersionLS)));
    text = buffer;
    return true;
}

std::string ReadProductVersion() noexcept {
    UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMachineSettingsKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return {};
    char version[kVersionSize] = {};
    DWORD type = 0, size = sizeof(version) - 1;  // the last byte stays NUL whatever is stored
    if (::RegQueryValueExA(key.get(), "Version", nullptr, &type, reinterpret_cast<BYTE*>(version), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return version;
}

void SetColumnWidth(HWND list, int column, int width) noexcept {
    ::SendMessageA(list, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0));
}

}  // namespace

std::span<const ComponentFile> ProductComponentFiles() noexcept { return kComponentFiles; }

int ShowAboutDialog() noexcept {
    try {
        ResourceModuleScope scope;
        if (!scope.loaded()) return 0;
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&controls);
        ComInit com;
        CAbout about;
        about.DoModal(nullptr, CAbout::kTemplateId, ::GetActiveWindow(), 0);
    } catch (...) {
    }
    return 0;
}

INT_PTR CAbout::HandleMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog();
    case WM_ACTIVATE: return TRUE;
    case WM_CLOSE: return OnClose();
    case WM_COMMAND: return OnCommand(LOWORD(wParam));
    default: return FALSE;
    }
}

INT_PTR CAbout::OnInitDialog() {
    versionText_ = Item(kVersionText);
    fileList_ = Item(kFileList);
    AddColumns();
    ::SetWindowTextA(versionText_, ReadProductVersion().c_str());
    AddComponentRows();
    return TRUE;
}

INT_PTR CAbout::OnCommand(WORD id) {
    switch (id) {
    case IDOK: EndDialog(IDOK); return TRUE;
    case IDCANCEL: EndDialog(IDCANCEL); return TRUE;
    default: return FALSE;
    }
}

INT_PTR CAbout::OnClose() {
    EndDialog(kClosedByCloseBox);
    return TRUE;
}

void CAbout::AddColumns() noexcept {
    const char* headings[] = {kFilesHeading, kVersionHeading};
    for (int column = 0; column < 2; ++column) {
        LVCOLUMNA info{};
        info.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        info.fmt = LVCFMT_LEFT;
        info.pszText = const_cast<char*>(headings[column]);
        info.iSubItem = column;
        info.cx = static_cast<int>(::SendMessageA(fileList_, LVM_GETSTRINGWIDTHA, 0,
                                                  reinterpret_cast<LPARAM>(headings[column]))) +
                  kHeadingPadding;
        ::SendMessageA(fileList_, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&info));
        SetColumnWidth(fileList_, column, kInitialColumnWidth);
    }
}

void CAbout::AddComponentRows() noexcept {
    int nameWidth = kNameColumnWidth;
    int versionWidth = 0;
    SetColumnWidth(fileList_, 0, nameWidth);
    for (ComponentFile file : files_) {
        char path[kPathBufferSize];
        std::string version;
        try {
            if (!ComponentPath(file, path) || !FileVersionText(path, version)) continue;
        } catch (...) {
            continue;
        }
        const char* slash = std::strrchr(path, '\\');
        const char* name = slash ? slash + 1 : path;

        LVITEMA row{};
        row.mask = LVIF_TEXT;
        row.iItem = 0;
        row.pszText = const_cast<char*>(name);
        const int index = static_cast<int>(::SendMessageA(fileList_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)));
        if (index < 0) continue;
        LVITEMA cell{};
        cell.iSubItem = 1;
        cell.pszText = version.data();
        ::SendMessageA(fileList_, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&cell));

        const int nameNeeds = kPixelsPerCharacter * static_cast<int>(std::strlen(name));
        if (nameNeeds > nameWidth) {
            nameWidth = nameNeeds;
            SetColumnWidth(fileList_, 0, nameWidth);
        }
        const int versionNeeds = kPixelsPerCharacter * static_cast<int>(version.size());
        if (versionNeeds > versionWidth) {
            versionWidth = versionNeeds;
            SetColumnWidth(fileList_, 1, versionWidth);
        }
    }
}

}  // namespace vnl
