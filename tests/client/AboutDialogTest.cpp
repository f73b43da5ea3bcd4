// The About box, run in this process from the resource library and read from
// a watcher thread: its columns and rows, the widths, how it closes, and the
// critical-error box in its place when the library cannot be loaded.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "About.h"
#include "BenchPaths.h"
#include "Registry.h"
#include "ResourceInstance.h"
#include "VersionInfo.h"
#include "Windows.h"

namespace {

constexpr const char* kCaption = "About";

struct Row {
    std::string name, version;
    bool operator==(const Row&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Row& r) { return os << r.name << " " << r.version; }

struct AboutView {
    std::string version;
    std::vector<std::string> headings;
    std::vector<int> widths;
    std::vector<Row> rows;
};

// Reads the list view from another thread of this process.
AboutView ReadAbout(HWND dlg) {
    AboutView v;
    v.version = bench::ControlText(dlg, 207);
    HWND list = ::GetDlgItem(dlg, 1024);
    for (int column = 0; column < 2; ++column) {
        char text[64] = {};
        LVCOLUMNA info{};
        info.mask = LVCF_TEXT;
        info.pszText = text;
        info.cchTextMax = sizeof(text);
        ::SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&info));
        v.headings.push_back(text);
        v.widths.push_back(static_cast<int>(::SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0)));
    }
    int count = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        Row r;
        for (int column = 0; column < 2; ++column) {
            char text[300] = {};
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = sizeof(text);
            ::SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
            (column == 0 ? r.name : r.version) = text;
        }
        v.rows.push_back(r);
    }
    return v;
}

class AboutDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        vnl::InitModuleInstance(::GetModuleHandleA(nullptr));
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&icc);
    }
    bench::ScopedKeySnapshot machine_{HKEY_LOCAL_MACHINE, bench::kMachineKey};

    // Runs `about` from the resource library; the watcher reads it and closes it with OK.
    INT_PTR RunAndRead(vnl::CAbout& about, AboutView& view) {
        HMODULE library = ::LoadLibraryA("VNLBIN3.DLL");
        EXPECT_NE(library, nullptr);
        bench::WindowWatcher watcher(kCaption, "#32770", 10000, [&](HWND dlg) {
            view = ReadAbout(dlg);
            bench::PressButton(dlg, IDOK);
        });
        INT_PTR result = about.DoModal(library, vnl::CAbout::kTemplateId, nullptr, 0);
        EXPECT_TRUE(watcher.Wait());
        return result;
    }
};

// The product's own table: a row for each component present with a version,
// the last present one at the top; the driver's row names vnlv2.sys.
TEST_F(AboutDialog, ListsTheInstalledComponents) {
    const std::string sys = bench::System32Dir();
    char programFiles[MAX_PATH] = {};
    ::ExpandEnvironmentStringsA("%PROGRAMFILES%", programFiles, MAX_PATH);
    const struct { std::string name, path; } files[] = {
        {"VNLTB.dll", bench::InstallDir() + "VNLTB.dll"},
        {"VNLConnect.dll", std::string(programFiles) + "\\Mozilla Firefox\\components\\VNLConnect.dll"},
        {"vnlv2.sys", sys + "\\Drivers\\vnlv2.sys"},
        {"VNLBIN1.dll", sys + "\\VNLBIN1.dll"},
        {"VNLBIN3.dll", sys + "\\VNLBIN3.dll"},
    };
    std::vector<Row> expected;
    for (const auto& f : files) {
        if (auto info = bench::ReadVersionInfo(f.path)) expected.insert(expected.begin(), Row{f.name, info->fileVersion});
    }
    ASSERT_NE(std::find(expected.begin(), expected.end(), Row{"VNLBIN1.dll", "2.0.0.42"}), expected.end());
    ASSERT_NE(std::find(expected.begin(), expected.end(), Row{"vnlv2.sys", "2.0.0.17"}), expected.end());
    ASSERT_NE(std::find(expected.begin(), expected.end(), Row{"VNLBIN3.dll", "2.0.0.42"}), expected.end());

    AboutView view;
    bench::WindowWatcher watcher(kCaption, "#32770", 10000, [&](HWND dlg) {
        view = ReadAbout(dlg);
        bench::PressButton(dlg, IDOK);
    });
    EXPECT_EQ(vnl::ShowAboutDialog(), 0);
    ASSERT_TRUE(watcher.Wait());
    EXPECT_EQ(view.version, "2.0.0.42");
    EXPECT_EQ(view.headings, (std::vector<std::string>{"Files", "Version"}));
    EXPECT_EQ(view.rows, expected);
    size_t longestVersion = 0;
    for (const auto& r : expected) longestVersion = std::max(longestVersion, r.version.size());
    EXPECT_EQ(view.widths, (std::vector<int>{178, static_cast<int>(7 * longestVersion)}));
}

// A table of the test's own: relative and environment entries, a missing
// file and one without version information (no rows), and a name longer than
// 25 characters, which widens the name column to 7 pixels a character.
TEST_F(AboutDialog, RowsAndColumnWidthsFollowTheFiles) {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "vnl_about_" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string longName = "AComponentWithAVeryLongName.dll";  // 31 characters
    const std::string source = bench::System32Dir() + "\\VNLBIN1.dll";
    ASSERT_TRUE(::CopyFileA(source.c_str(), (folder + "\\" + longName).c_str(), FALSE));
    ASSERT_TRUE(::CopyFileA(source.c_str(), (folder + "\\VNLTB.dll").c_str(), FALSE));
    HANDLE plain = ::CreateFileA((folder + "\\plain.dat").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ::CloseHandle(plain);
    bench::SetString(HKEY_LOCAL_MACHINE, bench::kMachineKey, "installpath", folder);  // no trailing backslash
    bench::SetString(HKEY_LOCAL_MACHINE, bench::kMachineKey, "Version", "9.8.7.6");
    ::SetEnvironmentVariableA("VNL_ABOUT_TEST", folder.c_str());

    const vnl::ComponentFile table[] = {
        "VNLTB.dll", "%VNL_ABOUT_TEST%\\missing.dll", "%VNL_ABOUT_TEST%\\plain.dat",
        "%VNL_ABOUT_TEST%\\AComponentWithAVeryLongName.dll", "%SYSTEMROOT%\\SYSTEM32\\Drivers\\vnlv2.sys"};
    vnl::CAbout about(table);
    AboutView view;
    EXPECT_EQ(RunAndRead(about, view), IDOK);

    for (const char* f : {"AComponentWithAVeryLongName.dll", "VNLTB.dll", "plain.dat"})
        ::DeleteFileA((folder + "\\" + f).c_str());
    ::RemoveDirectoryA(folder.c_str());

    EXPECT_EQ(view.version, "9.8.7.6");
    EXPECT_EQ(view.rows, (std::vector<Row>{{"vnlv2.sys", "2.0.0.17"}, {longName, "2.0.0.42"}, {"VNLTB.dll", "2.0.0.42"}}));
    EXPECT_EQ(view.widths, (std::vector<int>{7 * 31, 7 * 8}));
}

// The close box ends the dialog with 8, OK with 1, Escape with 2; a missing
// "Version" leaves the version text empty.
TEST_F(AboutDialog, CloseResults) {
    bench::DeleteValue(HKEY_LOCAL_MACHINE, bench::kMachineKey, "Version");
    HMODULE library = ::LoadLibraryA("VNLBIN3.DLL");
    ASSERT_NE(library, nullptr);
    struct Case { const char* label; void (*close)(HWND); INT_PTR expected; };
    const Case cases[] = {
        {"close box", [](HWND d) { ::PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, 8},
        {"OK", [](HWND d) { bench::PressButton(d, IDOK); }, 1},
        {"Escape", [](HWND d) { ::PostMessageA(::GetDlgItem(d, IDOK), WM_KEYDOWN, VK_ESCAPE, 0x00010001); }, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::string version = "unread";
        bench::WindowWatcher watcher(kCaption, "#32770", 10000, [&](HWND d) {
            version = bench::ControlText(d, 207);
            c.close(d);
        });
        vnl::CAbout about;
        EXPECT_EQ(about.DoModal(library, vnl::CAbout::kTemplateId, nullptr, 0), c.expected);
        ASSERT_TRUE(watcher.Wait());
        EXPECT_EQ(version, "");
    }
}

TEST_F(AboutDialog, MissingResourceLibraryShowsOnlyTheCriticalError) {
    bench::SetDword(HKEY_LOCAL_MACHINE, bench::kMachineKey, "ProductCode", 5);
    bool aboutSeen = false;
    bench::WindowWatcher box("VNLSDK Critical Error");
    // Were the dialog to follow the box, this closes it and says so.
    bench::WindowWatcher about(kCaption, "#32770", 3000, [&](HWND d) {
        aboutSeen = true;
        bench::PressButton(d, IDOK);
    });
    EXPECT_EQ(vnl::ShowAboutDialog(), 0);
    ASSERT_TRUE(box.Wait());
    about.Wait();
    char expected[128];
    std::snprintf(expected, sizeof(expected), "Missing VNLBINX.dll resource - error 0000007E - proc: %08lX",
                  ::GetCurrentProcessId());
    EXPECT_EQ(box.Text(), expected);
    EXPECT_FALSE(aboutSeen);
    EXPECT_EQ(vnl::ResourceInstance(), ::GetModuleHandleA(nullptr));
}

}  // namespace
