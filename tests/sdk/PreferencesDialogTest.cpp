// The Preferences dialog, shown by sdk_probe (VNLSDKShowPref in a process of
// its own) and driven from the test's side through its controls.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>

#include "DialogTestSupport.h"

namespace {

using sdktest::ControlView;
using sdktest::StoreDword;
using sdktest::StoredDword;

constexpr const char* kCaption = "Preferences";
enum {
    kAlwaysSecure = 1024, kHighlight = 1026, kColor = 1028, kChoose = 1030, kAutoStart = 1031, kColorLabel = 1032,
    kSample = 1033, kDesktopLink = 1070, kToolbarLink = 1071, kUnhide = 1072, kRedBorder = 1073, kWarnFrames = 1075,
};
const std::initializer_list<int> kAllControls = {kAlwaysSecure, kHighlight, kColor,       kChoose,
                                                 kAutoStart,    kColorLabel, kSample,     kDesktopLink,
                                                 kToolbarLink,  kUnhide,     kRedBorder,  kWarnFrames};

class PreferencesDialog : public ::testing::Test {
protected:
    sdktest::DialogFixtureState state_;

    // Runs the dialog with `act` driving it; false when it never appeared.
    bool Run(std::function<void(HWND)> act, const std::string& probe = sdktest::ProbePath()) {
        bench::WindowWatcher watcher(kCaption, "#32770", 20000, std::move(act));
        bench::RunResult run = bench::RunProgram(bench::Quoted(probe) + " pref");
        EXPECT_TRUE(run.started);
        EXPECT_EQ(run.out.substr(0, run.out.find_first_of("\r\n")), "0") << run.out << run.err;
        EXPECT_FALSE(run.timedOut);
        return watcher.Wait();
    }
};

// Types one character into the focused place of an edit control, as the keyboard does.
void Type(HWND edit, char c) { ::SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1); }

TEST_F(PreferencesDialog, ShowsStoredValuesAndWritesThemBackOnOk) {
    sdktest::ScopedInstallFolder install({"VNLTB.dll", "VNLD.exe"});
    StoreDword("AlwaysSecure", 0);
    StoreDword("HighlightEnabled", 1);
    StoreDword("HighlightColor", 0xCCFFCC);
    StoreDword("UnhideFrame", 0);
    StoreDword("RedFrameBorder", 1);
    StoreDword("CJWarn", 0);
    StoreDword("VNLDAutoStartup", 1);
    std::map<int, ControlView> shown;
    std::string colorAfterEdit;
    ASSERT_TRUE(Run([&](HWND dlg) {
        shown = sdktest::ViewControls(dlg, kAllControls);
        bench::SetControlText(dlg, kColor, "ff0000");
        colorAfterEdit = bench::ControlText(dlg, kColor);
        bench::SetCheckState(dlg, kAlwaysSecure, BST_CHECKED);
        bench::SetCheckState(dlg, kWarnFrames, BST_UNCHECKED);
        bench::SetCheckState(dlg, kUnhide, BST_INDETERMINATE);  // counts as ticked
        bench::SetCheckState(dlg, kAutoStart, BST_UNCHECKED);
        bench::PressButton(dlg, IDOK);
    }));
    EXPECT_EQ(shown[kColor].text, "CCFFCC");
    EXPECT_EQ(shown[kAlwaysSecure].check, BST_UNCHECKED);
    EXPECT_EQ(shown[kHighlight].check, BST_CHECKED);
    EXPECT_EQ(shown[kUnhide].check, BST_UNCHECKED);
    EXPECT_EQ(shown[kRedBorder].check, BST_CHECKED);
    EXPECT_EQ(shown[kWarnFrames].check, BST_CHECKED);
    EXPECT_EQ(shown[kAutoStart].check, BST_CHECKED);
    for (int id : {kColor, kChoose, kColorLabel}) EXPECT_TRUE(shown[id].enabled) << id;
    EXPECT_TRUE(shown[kSample].visible);
    for (int id : {kAlwaysSecure, kHighlight, kAutoStart}) EXPECT_TRUE(shown[id].visible) << id;
    EXPECT_FALSE(shown[kToolbarLink].visible);
    EXPECT_FALSE(shown[kDesktopLink].visible);
    EXPECT_TRUE(colorAfterEdit == "ff0000" || colorAfterEdit == "FF0000") << colorAfterEdit;

    EXPECT_EQ(StoredDword("HighlightColor"), 0x000000FFu) << "ff0000 is pure red, red in the low byte";
    EXPECT_EQ(StoredDword("AlwaysSecure"), 1u);
    EXPECT_EQ(StoredDword("HighlightEnabled"), 1u);
    EXPECT_EQ(StoredDword("UnhideFrame"), 1u);
    EXPECT_EQ(StoredDword("RedFrameBorder"), 1u);
    EXPECT_EQ(StoredDword("CJWarn"), 1u) << "the warning box unticked silences the warning";
    EXPECT_EQ(StoredDword("VNLDAutoStartup"), 0u);

    // The hidden-frame warning now stays away.
    std::atomic<bool> warned{false};
    bench::WindowWatcher warning("Hidden frame warning", "#32770", 3000, [&](HWND w) {
        warned = true;
        bench::PressButton(w, IDCANCEL);
    });
    bench::RunResult run = sdktest::RunProbe("warn cj");
    EXPECT_EQ(run.out.substr(0, 2), "0 ") << run.out << run.err;
    warning.Wait();
    EXPECT_FALSE(warned);
}

// Nothing stored: the starting values; Cancel and the close box write nothing.
TEST_F(PreferencesDialog, StartingValuesAndNothingWrittenWithoutOk) {
    sdktest::ScopedInstallFolder install({"VNLTB.dll", "VNLD.exe"});
    struct Case { const char* label; std::function<void(HWND)> close; };
    const Case cases[] = {
        {"Cancel", [](HWND dlg) { bench::PressButton(dlg, IDCANCEL); }},
        {"close box", [](HWND dlg) { ::PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        bench::DeleteKeyTree(HKEY_CURRENT_USER, bench::kUserKey);
        std::map<int, ControlView> shown;
        ASSERT_TRUE(Run([&](HWND dlg) {
            shown = sdktest::ViewControls(dlg, kAllControls);
            bench::SetCheckState(dlg, kHighlight, BST_CHECKED);
            bench::SetControlText(dlg, kColor, "123456");
            c.close(dlg);
        }));
        EXPECT_EQ(shown[kColor].text, "FFFFFF");
        EXPECT_EQ(shown[kAlwaysSecure].check, BST_CHECKED);
        EXPECT_EQ(shown[kHighlight].check, BST_UNCHECKED);
        EXPECT_EQ(shown[kUnhide].check, BST_CHECKED);
        EXPECT_EQ(shown[kRedBorder].check, BST_CHECKED);
        EXPECT_EQ(shown[kWarnFrames].check, BST_CHECKED);
        EXPECT_EQ(shown[kAutoStart].check, BST_UNCHECKED);
        for (int id : {kColor, kChoose, kColorLabel}) EXPECT_FALSE(shown[id].enabled) << id;
        EXPECT_FALSE(shown[kSample].visible);
        for (const char* name : {"AlwaysSecure", "HighlightEnabled", "HighlightColor", "UnhideFrame",
                                 "RedFrameBorder", "CJWarn", "VNLDAutoStartup"}) {
            EXPECT_FALSE(StoredDword(name).has_value()) << name;
        }
    }
}

// The colouring box enables the colour controls and shows the sample.
TEST_F(PreferencesDialog, HighlightBoxEnablesTheColourControls) {
    sdktest::ScopedInstallFolder install({"VNLTB.dll", "VNLD.exe"});
    std::map<int, ControlView> on, off;
    ASSERT_TRUE(Run([&](HWND dlg) {
        HWND box = ::GetDlgItem(dlg, kHighlight);
        ::SendMessageA(box, BM_CLICK, 0, 0);
        on = sdktest::ViewControls(dlg, {kColor, kChoose, kColorLabel, kSample});
        ::SendMessageA(box, BM_CLICK, 0, 0);
        off = sdktest::ViewControls(dlg, {kColor, kChoose, kColorLabel, kSample});
        bench::PressButton(dlg, IDCANCEL);
    }));
    for (int id : {kColor, kChoose, kColorLabel}) {
        EXPECT_TRUE(on[id].enabled) << id;
        EXPECT_FALSE(off[id].enabled) << id;
    }
    EXPECT_TRUE(on[kSample].visible);
    EXPECT_FALSE(off[kSample].visible);
}

// A character that is no hexadecimal digit is refused at once: the field
// shows the last accepted text and the caret goes back before the refused
// character; at the start of the field it stays at the start.
TEST_F(PreferencesDialog, ColourFieldRefusesWhatIsNoHexDigit) {
    sdktest::ScopedInstallFolder install({"VNLTB.dll", "VNLD.exe"});
    StoreDword("HighlightEnabled", 1);
    StoreDword("HighlightColor", 0xCCFFCC);
    struct Seen { std::string text; std::pair<DWORD, DWORD> sel; };
    Seen typedMiddle, typedStart, replacedWhole, pasted;
    ASSERT_TRUE(Run([&](HWND dlg) {
        HWND edit = ::GetDlgItem(dlg, kColor);
        bench::SetControlText(dlg, kColor, "C0F");
        ::SendMessageA(edit, EM_SETSEL, 3, 3);
        Type(edit, 'g');
        typedMiddle = {bench::ControlText(dlg, kColor), sdktest::Selection(edit)};
        ::SendMessageA(edit, EM_SETSEL, 0, 0);
        Type(edit, 'x');
        typedStart = {bench::ControlText(dlg, kColor), sdktest::Selection(edit)};
        // Text set as a whole (the selection then lies at the start).
        bench::SetControlText(dlg, kColor, "12 456");
        replacedWhole = {bench::ControlText(dlg, kColor), sdktest::Selection(edit)};
        ::SendMessageA(edit, EM_SETSEL, 1, 2);
        ::SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("#"));
        pasted = {bench::ControlText(dlg, kColor), sdktest::Selection(edit)};
        bench::PressButton(dlg, IDCANCEL);
    }));
    EXPECT_EQ(typedMiddle.text, "C0F");
    EXPECT_EQ(typedMiddle.sel, std::make_pair(DWORD{3}, DWORD{3}));
    EXPECT_EQ(typedStart.text, "C0F");
    EXPECT_EQ(typedStart.sel, std::make_pair(DWORD{0}, DWORD{0}));
    EXPECT_EQ(replacedWhole.text, "C0F");
    EXPECT_EQ(replacedWhole.sel, std::make_pair(DWORD{0}, DWORD{0})) << "never one place before the start";
    EXPECT_EQ(pasted.text, "C0F");
    EXPECT_EQ(pasted.sel, std::make_pair(DWORD{1}, DWORD{1}));
    EXPECT_EQ(StoredDword("HighlightColor"), 0xCCFFCCu) << "nothing written without OK";
}

// Fewer than six digits at OK: the "Color Error" box, the dialog stays open
// and nothing is written; six digits then go through.
TEST_F(PreferencesDialog, ShortColourAtOkShowsColorErrorAndKeepsTheDialog) {
    sdktest::ScopedInstallFolder install({"VNLTB.dll", "VNLD.exe"});
    StoreDword("HighlightColor", 0x123456);
    std::string boxText, boxCaption;
    bool stillOpen = false;
    std::optional<DWORD> storedWhileOpen;
    ASSERT_TRUE(Run([&](HWND dlg) {
        bench::SetControlText(dlg, kColor, "ABC");
        bench::PressButton(dlg, IDOK);
        HWND box = bench::WaitForWindow("Color Error", "#32770", 10000);
        if (!box) return;
        boxCaption = bench::WindowText(box);
        boxText = bench::MessageBoxText(box);
        stillOpen = ::GetWindow(box, GW_OWNER) == dlg;
        bench::PressButton(box, IDOK);
        bench::WaitForWindowGone(box, 5000);
        stillOpen = stillOpen && ::IsWindow(dlg);
        storedWhileOpen = StoredDword("HighlightColor");
        bench::SetControlText(dlg, kColor, "00FF00");
        bench::PressButton(dlg, IDOK);
    }));
    EXPECT_EQ(boxCaption, "Color Error");
    EXPECT_EQ(boxText, "Incorrect color value. Value must have 6 characters.");
    EXPECT_TRUE(stillOpen) << "the box is owned by the dialog, which stays open";
    EXPECT_EQ(storedWhileOpen, 0x123456u);
    EXPECT_EQ(StoredDword("HighlightColor"), 0x0000FF00u);
}

// The system colour chooser: pure blue chosen there shows as 0000FF and is
// stored as 0x00FF0000; cancelling the chooser changes nothing.
TEST_F(PreferencesDialog, ColourChooserSetsTheField) {
    sdktest::ScopedInstallFolder install({"VNLTB.dll", "VNLD.exe"});
    StoreDword("HighlightEnabled", 1);
    StoreDword("HighlightColor", 0xCCFFCC);
    std::string afterCancel, afterBlue;
    bool chooserSeen = false;
    ASSERT_TRUE(Run([&](HWND dlg) {
        // Wine's chooser: edit fields 706, 707, 708 for red, green and blue.
        auto choose = [&](bool confirm) {
            bench::PressButton(dlg, kChoose);
            HWND chooser = bench::WaitForWindow("Color", "#32770", 10000);
            if (!chooser) return;
            chooserSeen = true;
            bench::SetControlText(chooser, 706, "0");
            bench::SetControlText(chooser, 707, "0");
            bench::SetControlText(chooser, 708, "255");
            bench::PressButton(chooser, confirm ? IDOK : IDCANCEL);
            bench::WaitForWindowGone(chooser, 5000);
        };
        choose(false);
        afterCancel = bench::ControlText(dlg, kColor);
        choose(true);
        afterBlue = bench::ControlText(dlg, kColor);
        bench::PressButton(dlg, IDOK);
    }));
    ASSERT_TRUE(chooserSeen);
    EXPECT_EQ(afterCancel, "CCFFCC");
    EXPECT_EQ(afterBlue, "0000FF");
    EXPECT_EQ(StoredDword("HighlightColor"), 0x00FF0000u);
}

// A component missing from the installation folder: its controls give way to
// a link to the product's site, and OK still writes every value (a hidden
// box writes back what was read).
TEST_F(PreferencesDialog, MissingComponentsAreReplacedByLinks) {
    struct Case { const char* label; std::vector<std::string> files; bool toolbar; bool desktop; };
    const Case cases[] = {
        {"toolbar missing", {"VNLD.exe"}, false, true},
        {"desktop program missing", {"VNLTB.dll"}, true, false},
        {"both missing", {}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        bench::DeleteKeyTree(HKEY_CURRENT_USER, bench::kUserKey);
        StoreDword("AlwaysSecure", 0);
        StoreDword("HighlightEnabled", 1);
        StoreDword("VNLDAutoStartup", 1);
        sdktest::ScopedInstallFolder install(c.files);
        std::map<int, ControlView> shown;
        ASSERT_TRUE(Run([&](HWND dlg) {
            shown = sdktest::ViewControls(dlg, kAllControls);
            bench::PressButton(dlg, IDOK);
        }));
        for (int id : {kAlwaysSecure, kHighlight, kChoose, kColor, kColorLabel, kSample})
            EXPECT_EQ(shown[id].visible, c.toolbar) << id;
        EXPECT_EQ(shown[kToolbarLink].visible, !c.toolbar);
        EXPECT_EQ(shown[kAutoStart].visible, c.desktop);
        EXPECT_EQ(shown[kDesktopLink].visible, !c.desktop);
        for (int id : {kUnhide, kRedBorder, kWarnFrames}) EXPECT_TRUE(shown[id].visible) << id;
        EXPECT_EQ(StoredDword("AlwaysSecure"), 0u);
        EXPECT_EQ(StoredDword("HighlightEnabled"), 1u);
        EXPECT_EQ(StoredDword("VNLDAutoStartup"), 1u);
        EXPECT_EQ(StoredDword("HighlightColor"), 0xFFFFFFu);
        EXPECT_EQ(StoredDword("UnhideFrame"), 1u);
    }
}

// A resource library whose template has none of the optional boxes: the
// dialog works and OK leaves their values alone.
TEST_F(PreferencesDialog, TemplateWithoutOptionalBoxes) {
    sdktest::ScopedInstallFolder install({"VNLTB.dll", "VNLD.exe"});
    bench::SetDword(HKEY_LOCAL_MACHINE, bench::kMachineKey, "ProductCode", 0xF000);
    StoreDword("UnhideFrame", 0);
    StoreDword("RedFrameBorder", 7);
    StoreDword("CJWarn", 5);
    std::map<int, ControlView> shown;
    // The probe's copy beside the test library: found first by the search order.
    ASSERT_TRUE(Run(
        [&](HWND dlg) {
            shown = sdktest::ViewControls(dlg, kAllControls);
            bench::SetCheckState(dlg, kAlwaysSecure, BST_UNCHECKED);
            bench::PressButton(dlg, IDOK);
        },
        bench::TestsDir() + "\\reduced\\sdk_probe.exe"));
    for (int id : {kUnhide, kRedBorder, kWarnFrames}) EXPECT_FALSE(shown[id].present) << id;
    EXPECT_TRUE(shown[kAlwaysSecure].present);
    EXPECT_EQ(StoredDword("AlwaysSecure"), 0u);
    EXPECT_EQ(StoredDword("HighlightColor"), 0xFFFFFFu);
    EXPECT_EQ(StoredDword("UnhideFrame"), 0u);
    EXPECT_EQ(StoredDword("RedFrameBorder"), 7u);
    EXPECT_EQ(StoredDword("CJWarn"), 5u);
}

// Without a writable per-user root the dialog shows its starting values and
// OK closes it without writing anything.
TEST_F(PreferencesDialog, NoSettingsKeyShowsStartingValuesAndWritesNothing) {
    sdktest::ScopedInstallFolder install({"VNLTB.dll", "VNLD.exe"});
    state_.probe.SetWindowsVersion("win7");
    state_.probe.RemoveDllOverride("ieframe");  // Wine's own: no writable root
    std::map<int, ControlView> shown;
    ASSERT_TRUE(Run([&](HWND dlg) {
        shown = sdktest::ViewControls(dlg, {kAlwaysSecure, kColor});
        bench::PressButton(dlg, IDOK);
    }));
    EXPECT_EQ(shown[kAlwaysSecure].check, BST_CHECKED);
    EXPECT_EQ(shown[kColor].text, "FFFFFF");
    EXPECT_FALSE(bench::KeyExists(HKEY_CURRENT_USER, bench::kUserKey));
    EXPECT_FALSE(bench::KeyExists(HKEY_CURRENT_USER, bench::kWritableUserKey));
}

}  // namespace
