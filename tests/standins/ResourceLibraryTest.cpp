#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <set>
#include <string>

namespace {

const char* const kLibraries[] = {"VNLBIN3.DLL", "VNLBIN4.DLL", "VNLBIN5.DLL", "VNLBIN6.DLL", "VNLBIN7.DLL",
                                  "VNLBIN8.DLL", "VNLBIN9.DLL", "VNLBIN10.DLL", "VNLBIN11.DLL", "VNLBIN12.DLL"};

struct Control { int id; const char* cls; };  // the control's window class

INT_PTR CALLBACK NoDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::string ClassOf(HWND w) {
    char cls[64] = {};
    ::GetClassNameA(w, cls, sizeof(cls));
    return cls;
}

class ResourceLibrary : public ::testing::TestWithParam<const char*> {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
    }
    void SetUp() override {
        // Loaded by file name alone, through the search order, as the modules do.
        image_ = ::LoadLibraryA(GetParam());
        ASSERT_NE(image_, nullptr) << GetParam();
    }
    void TearDown() override {
        if (image_) ::FreeLibrary(image_);
    }
    std::string String(UINT id) {
        char text[1024] = {};
        ::LoadStringA(image_, id, text, sizeof(text));
        return text;
    }
    // Creates the dialog hidden and checks every control's kind.
    void ExpectDialog(int templateId, std::initializer_list<Control> controls, std::initializer_list<int> hidden) {
        SCOPED_TRACE(templateId);
        HWND dlg = ::CreateDialogParamA(image_, MAKEINTRESOURCEA(templateId), nullptr, NoDialogProc, 0);
        ASSERT_NE(dlg, nullptr);
        for (const auto& c : controls) {
            HWND w = ::GetDlgItem(dlg, c.id);
            ASSERT_NE(w, nullptr) << "control " << c.id;
            EXPECT_STRCASEEQ(ClassOf(w).c_str(), c.cls) << "control " << c.id;
        }
        for (int id : hidden) EXPECT_FALSE(::GetWindowLongA(::GetDlgItem(dlg, id), GWL_STYLE) & WS_VISIBLE) << id;
        ::DestroyWindow(dlg);
    }
    bool IsCheckBox(HWND dlg, int id) {
        LONG type = ::GetWindowLongA(::GetDlgItem(dlg, id), GWL_STYLE) & BS_TYPEMASK;
        return type == BS_AUTOCHECKBOX || type == BS_CHECKBOX || type == BS_AUTO3STATE || type == BS_3STATE;
    }
    HMODULE image_ = nullptr;
};

TEST_P(ResourceLibrary, CarriesEveryDialogOfTheContract) {
    ExpectDialog(108,
                 {{1, "Button"}, {2, "Button"}, {1024, "Button"}, {1026, "Button"}, {1028, "Edit"},
                  {1030, "Button"}, {1031, "Button"}, {1032, "Static"}, {1033, "Static"}, {1070, "Static"},
                  {1071, "Static"}, {1072, "Button"}, {1073, "Button"}, {1075, "Button"}},
                 {1070, 1071});
    ExpectDialog(221, {{207, "Static"}, {1024, "SysListView32"}, {1, "Button"}}, {});
    ExpectDialog(242, {{1, "Button"}, {2, "Button"}, {244, "Static"}, {1074, "Button"}}, {});
    ExpectDialog(243, {{1, "Button"}, {2, "Button"}, {244, "Static"}, {1074, "Button"}, {1077, "Static"}}, {});

    HWND prefs = ::CreateDialogParamA(image_, MAKEINTRESOURCEA(108), nullptr, NoDialogProc, 0);
    ASSERT_NE(prefs, nullptr);
    for (int id : {1024, 1026, 1031, 1072, 1073, 1075}) EXPECT_TRUE(IsCheckBox(prefs, id)) << id;
    ::DestroyWindow(prefs);
    HWND about = ::CreateDialogParamA(image_, MAKEINTRESOURCEA(221), nullptr, NoDialogProc, 0);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(::GetWindowLongA(::GetDlgItem(about, 1024), GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
    ::DestroyWindow(about);
    for (int dlgId : {242, 243}) {
        HWND w = ::CreateDialogParamA(image_, MAKEINTRESOURCEA(dlgId), nullptr, NoDialogProc, 0);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(IsCheckBox(w, 1074)) << dlgId;
        ::DestroyWindow(w);
    }
}

TEST_P(ResourceLibrary, CarriesTheQuotedStrings) {
    EXPECT_EQ(String(131),
              "%s has detected the following untrusted keyboard driver: %s. More detail on the error is available in "
              "the Event Viewer under Manage in the toolbar. %s is operating in Warn mode with the status indicator "
              "set to orange, as shown below.");
    EXPECT_FALSE(String(212).empty());
    EXPECT_EQ(String(213), "Click here to visit our site");
    EXPECT_EQ(String(214), "Click here to activate");
    EXPECT_EQ(String(215), "Manage your settings");
    EXPECT_EQ(String(216), "Encryption is protecting your keystrokes");
    EXPECT_EQ(String(217), "Encryption is Off, Click here to learn why");
    EXPECT_EQ(String(218), "Encryption is operating with a warning present");
}

// Six 16 by 16 pictures side by side; the Warn picture (index 5) is orange.
TEST_P(ResourceLibrary, CarriesTheToolbarStrip) {
    HBITMAP strip = static_cast<HBITMAP>(::LoadImageA(image_, MAKEINTRESOURCEA(137), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(strip, nullptr);
    BITMAP bm{};
    ::GetObjectA(strip, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 6 * 16);
    EXPECT_EQ(bm.bmHeight, 16);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, strip);
    COLORREF warn = ::GetPixel(dc, 5 * 16 + 8, 8);
    COLORREF on = ::GetPixel(dc, 4 * 16 + 8, 8);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(strip);
    EXPECT_GT(GetRValue(warn), 200);
    EXPECT_GT(GetGValue(warn), 100);
    EXPECT_LT(GetGValue(warn), 180);
    EXPECT_LT(GetBValue(warn), 60);
    EXPECT_GT(GetGValue(on), GetRValue(on)) << "On is green";
}

INSTANTIATE_TEST_SUITE_P(AllTen, ResourceLibrary, ::testing::ValuesIn(kLibraries),
                         [](const auto& info) {
                             std::string n = info.param;
                             return n.substr(0, n.find('.'));
                         });

TEST(ResourceLibraries, EachNamesItsOwnProduct) {
    std::set<std::string> names;
    for (const char* lib : kLibraries) {
        HMODULE m = ::LoadLibraryA(lib);
        ASSERT_NE(m, nullptr) << lib;
        char text[260] = {};
        ::LoadStringA(m, 212, text, sizeof(text));
        names.insert(text);
        ::FreeLibrary(m);
    }
    EXPECT_EQ(names.size(), std::size(kLibraries));
}

}  // namespace
