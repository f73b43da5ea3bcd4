// The window classes: a superclassed toolbar that handles its own click
// through a reflector, a dialog from a template driven from another thread,
// the hyperlink's "open" seen in Wine's shell trace, and the activation context.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cctype>
#include <string>
#include <vector>

#include "ActivationContext.h"
#include "BenchPaths.h"
#include "ColorDialog.h"
#include "DialogImpl.h"
#include "HyperLink.h"
#include "FrameworkTestResources.h"
#include "Process.h"
#include "Reflection.h"
#include "ShellExecuteTrace.h"
#include "ViewerLog.h"
#include "WindowImpl.h"
#include "Windows.h"

namespace {

constexpr int kButtonId = 100;
constexpr int kDropDownId = 101;

// A top-level window of a class of its own, to hold the controls.
class TestFrame : public vnl::WindowImpl<TestFrame> {
public:
    static vnl::WindowClass GetWindowClass() noexcept { return {L"VnlTestFrame"}; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_COMMAND: return OnCommand(wParam, lParam);
        default: return DefaultProc(message, wParam, lParam);
        }
    }
    int commands = 0;

private:
    LRESULT OnCommand(WPARAM, LPARAM) {
        ++commands;
        return 0;
    }
};

// Sends every notification of its child back to the child.
class TestReflector : public vnl::WindowImpl<TestReflector> {
public:
    static vnl::WindowClass GetWindowClass() noexcept {
        return vnl::WindowClass::Superclass(L"VnlTestReflector", L"ToolbarWindow32");
    }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        VNL_REFLECTABLE_MESSAGE_CASES
            return OnReflect(message, wParam, lParam);
        default:
            return DefaultProc(message, wParam, lParam);
        }
    }
    int unreflected = 0;

private:
    LRESULT OnReflect(UINT message, WPARAM wParam, LPARAM lParam) {
        LRESULT result = 0;
        if (vnl::ReflectNotification(Handle(), message, wParam, lParam, result)) return result;
        ++unreflected;
        return DefaultProc(message, wParam, lParam);
    }
};

// A toolbar that handles its own button through the reflected command.
class TestToolBar : public vnl::WindowImpl<TestToolBar> {
public:
    static vnl::WindowClass GetWindowClass() noexcept {
        return vnl::WindowClass::Superclass(L"VnlTestToolBar", L"ToolbarWindow32");
    }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case vnl::kReflectedCommand: return OnReflectedCommand(wParam, lParam);
        case vnl::kReflectedNotify: return OnReflectedNotify(lParam);
        case WM_COMMAND: return OnCommand(wParam);
        default: return DefaultProc(message, wParam, lParam);
        }
    }
    std::vector<int> reflectedIds;
    HWND reflectedFrom = nullptr;
    int plainCommands = 0;
    std::vector<int> dropDowns;

private:
    LRESULT OnReflectedNotify(LPARAM lParam) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code != TBN_DROPDOWN) return DefaultProc(vnl::kReflectedNotify, 0, lParam);
        dropDowns.push_back(reinterpret_cast<const NMTOOLBARW*>(lParam)->iItem);
        return TBDDRET_DEFAULT;
    }
    LRESULT OnReflectedCommand(WPARAM wParam, LPARAM lParam) {
        reflectedIds.push_back(LOWORD(wParam));
        reflectedFrom = reinterpret_cast<HWND>(lParam);
        return 0;
    }
    LRESULT OnCommand(WPARAM) {
        ++plainCommands;
        return 0;
    }
};

std::string ClassName(HWND hwnd) {
    char name[256] = {};
    ::GetClassNameA(hwnd, name, sizeof name);
    return name;
}

TEST(WindowFramework, SuperclassedToolbarHandlesItsClickReflectedByItsParent) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    ASSERT_TRUE(::InitCommonControlsEx(&controls));

    TestFrame frame;
    ASSERT_TRUE(frame.Create(nullptr, RECT{0, 0, 400, 200}, L"Framework toolbar test", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    TestReflector reflector;
    ASSERT_TRUE(reflector.Create(frame.Handle(), RECT{0, 0, 400, 40}, L"",
                                 WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NODIVIDER | CCS_NOPARENTALIGN));
    TestToolBar toolbar;
    ASSERT_TRUE(toolbar.Create(reflector.Handle(), RECT{0, 0, 300, 30}, L"",
                               WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | CCS_NORESIZE | CCS_NODIVIDER |
                                   CCS_NOPARENTALIGN,
                               0, 0xE800));
    EXPECT_EQ(ClassName(toolbar.Handle()), "VnlTestToolBar");
    EXPECT_EQ(ClassName(reflector.Handle()), "VnlTestReflector");
    EXPECT_EQ(vnl::WindowBase::FromHandle(toolbar.Handle()), &toolbar);

    // The system toolbar's procedure does all the class itself does not handle.
    HWND tb = toolbar.Handle();
    ::SendMessageW(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(tb, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    TBBUTTON buttons[2] = {};
    buttons[0].iBitmap = I_IMAGENONE;
    buttons[0].idCommand = kButtonId;
    buttons[0].fsState = TBSTATE_ENABLED;
    buttons[0].fsStyle = BTNS_BUTTON | BTNS_SHOWTEXT | BTNS_AUTOSIZE;
    buttons[0].iString = reinterpret_cast<INT_PTR>(L"Press");
    buttons[1] = buttons[0];
    buttons[1].idCommand = kDropDownId;
    buttons[1].fsStyle = BTNS_WHOLEDROPDOWN | BTNS_SHOWTEXT | BTNS_AUTOSIZE;
    buttons[1].iString = reinterpret_cast<INT_PTR>(L"More");
    ASSERT_TRUE(::SendMessageW(tb, TB_ADDBUTTONSW, 2, reinterpret_cast<LPARAM>(buttons)));
    EXPECT_EQ(::SendMessageW(tb, TB_BUTTONCOUNT, 0, 0), 2);

    // A real click on the button: the toolbar tells its parent, the parent
    // reflects, and the toolbar's own map gets the command.
    RECT item{};
    ASSERT_TRUE(::SendMessageW(tb, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item)));
    LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    ::SendMessageW(tb, WM_MOUSEMOVE, 0, at);
    ::SendMessageW(tb, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(tb, WM_LBUTTONUP, 0, at);
    EXPECT_EQ(toolbar.reflectedIds, std::vector<int>{kButtonId});
    EXPECT_EQ(toolbar.reflectedFrom, tb);
    EXPECT_EQ(toolbar.plainCommands, 0);
    EXPECT_EQ(reflector.unreflected, 0);
    EXPECT_EQ(frame.commands, 0) << "the notification goes to the control, not up the chain";

    // The drop-down button notifies (WM_NOTIFY, TBN_DROPDOWN): reflected too.
    ASSERT_TRUE(::SendMessageW(tb, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item)));
    at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    ::SendMessageW(tb, WM_MOUSEMOVE, 0, at);
    ::SendMessageW(tb, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(tb, WM_LBUTTONUP, 0, at);
    EXPECT_EQ(toolbar.dropDowns, std::vector<int>{kDropDownId});
    EXPECT_EQ(toolbar.reflectedIds, std::vector<int>{kButtonId}) << "a drop-down is no command";

    // A command from no control (a menu) is not reflected.
    ::SendMessageW(reflector.Handle(), WM_COMMAND, MAKEWPARAM(32785, 0), 0);
    EXPECT_EQ(reflector.unreflected, 1);
    EXPECT_EQ(toolbar.reflectedIds.size(), 1u);

    // Destroying the objects destroys their windows.
    HWND frameWindow = frame.Handle();
    EXPECT_TRUE(frame.DestroyWindow());
    EXPECT_FALSE(::IsWindow(frameWindow));
    EXPECT_EQ(toolbar.Handle(), nullptr);
    EXPECT_EQ(reflector.Handle(), nullptr);
}

class TestDialog : public vnl::DialogImpl<TestDialog> {
public:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_INITDIALOG: return OnInitDialog(lParam);
        case WM_COMMAND: return OnCommand(LOWORD(wParam));
        default: return FALSE;
        }
    }
    std::string initialText;
    std::string text;

private:
    INT_PTR OnInitDialog(LPARAM init) {
        initialText = reinterpret_cast<const char*>(init);
        ::SetDlgItemTextA(Handle(), IDC_TEST_EDIT, initialText.c_str());
        return TRUE;
    }
    INT_PTR OnCommand(UINT id) {
        if (id == IDOK) {
            char buffer[256] = {};
            ::GetDlgItemTextA(Handle(), IDC_TEST_EDIT, buffer, sizeof buffer);
            text = buffer;
            EndDialog(7);
            return TRUE;
        }
        if (id == IDCANCEL) {
            EndDialog(2);
            return TRUE;
        }
        return FALSE;
    }
};

TEST(WindowFramework, ModalDialogFromATemplateIsDrivenFromAnotherThread) {
    std::string seenText;
    bench::WindowWatcher watcher("Framework Test Dialog", "#32770", 10000, [&seenText](HWND dialog) {
        seenText = bench::ControlText(dialog, IDC_TEST_EDIT);
        bench::SetControlText(dialog, IDC_TEST_EDIT, "typed elsewhere");
        bench::PressButton(dialog, IDOK);
    });
    TestDialog dialog;
    const char* init = "from the caller";
    INT_PTR result = dialog.DoModal(::GetModuleHandleW(nullptr), IDD_FRAMEWORK_TEST, nullptr,
                                    reinterpret_cast<LPARAM>(init));
    ASSERT_TRUE(watcher.Wait());
    EXPECT_EQ(result, 7);
    EXPECT_EQ(dialog.initialText, "from the caller");
    EXPECT_EQ(seenText, "from the caller");
    EXPECT_EQ(dialog.text, "typed elsewhere");
    EXPECT_EQ(dialog.Handle(), nullptr) << "unbound once the dialog is gone";

    // A template the module does not have: -1, no dialog.
    TestDialog missing;
    EXPECT_EQ(missing.DoModal(::GetModuleHandleW(nullptr), 999, nullptr, reinterpret_cast<LPARAM>(init)), -1);
}

struct LinkRun {
    bench::RunResult run;
    std::vector<bench::ShellExecution> executions;
};

// Runs the probe's link dialog and, from here, clicks the link, presses Enter
// and Space on it, and cancels.
LinkRun RunLinkProbe(const std::string& arguments) {
    bench::WindowWatcher watcher("Framework Link Test", "#32770", 20000, [](HWND dialog) {
        HWND link = ::GetDlgItem(dialog, IDC_TEST_LINK);
        ::PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        ::PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        ::PostMessageW(link, WM_KEYDOWN, VK_RETURN, 1);
        ::PostMessageW(link, WM_KEYDOWN, VK_SPACE, 1);
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    bench::RunOptions options;
    options.env["WINEDEBUG"] = bench::kShellExecuteTrace;
    LinkRun result;
    result.run = bench::RunProgram(bench::Quoted(bench::TestsDir() + "\\framework_probe.exe") + " " + arguments, options);
    EXPECT_TRUE(watcher.Wait());
    result.executions = bench::ParseShellExecuteTrace(result.run.err);
    std::erase(result.run.out, '\r');
    return result;
}

TEST(WindowFramework, HyperLinkOpensItsTargetOnClickEnterAndSpace) {
    bench::ScopedViewerLog viewers;
    const std::string target = bench::System32Dir() + "\\eventvwr.exe";

    struct Case {
        const char* label;
        std::string arguments;
        std::string text;
    };
    const Case cases[] = {
        {"a target of its own", "--target " + bench::Quoted(target), "Varnel help"},
        {"the link text as the target", "--text " + bench::Quoted(target), target},
    };
    size_t started = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        LinkRun probe = RunLinkProbe(c.arguments);
        ASSERT_TRUE(probe.run.started);
        EXPECT_EQ(probe.run.exitCode, static_cast<DWORD>(IDCANCEL));
        EXPECT_NE(probe.run.out.find("text=" + c.text + "\n"), std::string::npos) << probe.run.out;
        EXPECT_NE(probe.run.out.find("target=" + target + "\n"), std::string::npos) << probe.run.out;
        EXPECT_NE(probe.run.out.find("tip=" + target + "\n"), std::string::npos) << probe.run.out;
        EXPECT_NE(probe.run.out.find("visited=1"), std::string::npos) << probe.run.out;

        // Click, Enter and Space: three "open" requests for the target.
        ASSERT_EQ(probe.executions.size(), 3u) << probe.run.err;
        for (const bench::ShellExecution& e : probe.executions) {
            EXPECT_EQ(e.verb, "open");
            EXPECT_TRUE(bench::SamePath(e.file, target)) << e.file;
            EXPECT_EQ(e.show, SW_SHOWNORMAL);
        }
        started += 3;
        EXPECT_EQ(viewers.WaitFor(started).size(), started) << "the target really was started";
    }
}

// The longest run of `color` pixels in one row of `bitmap` (32 bits, top-down).
int LongestRun(const std::vector<DWORD>& pixels, int width, int height, COLORREF color) {
    const DWORD wanted = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    int longest = 0;
    for (int y = 0; y < height; ++y) {
        int run = 0;
        for (int x = 0; x < width; ++x) {
            run = ((pixels[y * width + x] & 0xFFFFFF) == wanted) ? run + 1 : 0;
            if (run > longest) longest = run;
        }
    }
    return longest;
}

TEST(WindowFramework, HyperLinkTakesOverAStaticAndDrawsAnUnderlinedLink) {
    TestFrame frame;
    ASSERT_TRUE(frame.Create(nullptr, RECT{0, 0, 300, 100}, L"Framework link drawing", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    HWND control = ::CreateWindowW(L"Static", L"Varnel help", WS_CHILD | WS_VISIBLE | SS_LEFT, 5, 5, 200, 20,
                                   frame.Handle(), reinterpret_cast<HMENU>(IDC_TEST_LINK), nullptr, nullptr);
    ASSERT_TRUE(control);
    vnl::HyperLink link;
    ASSERT_TRUE(link.SubclassWindow(control));
    EXPECT_FALSE(vnl::HyperLink().SubclassWindow(control)) << "a window is taken over once";
    EXPECT_EQ(link.LinkText(), L"Varnel help");
    EXPECT_EQ(link.Target(), L"Varnel help") << "without a target of its own, the text";
    link.SetTarget(L"C:\\Docs\\faq.html");
    EXPECT_EQ(link.Target(), L"C:\\Docs\\faq.html");
    const LONG_PTR style = ::GetWindowLongPtrW(control, GWL_STYLE);
    EXPECT_TRUE(style & SS_NOTIFY) << "it receives the mouse";
    EXPECT_TRUE(style & WS_TABSTOP) << "and the focus from the keyboard";
    EXPECT_TRUE(link.ToolTip());
    // Enter reaches the link rather than the dialog's default button.
    MSG enter{control, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_TRUE(::SendMessageW(control, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) & DLGC_WANTALLKEYS);

    // Drawn in the link colour with an underline: one long unbroken row of it.
    const int width = 200, height = 20;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_TRUE(bitmap && bits);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    ::SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    ::GdiFlush();
    std::vector<DWORD> pixels(static_cast<const DWORD*>(bits), static_cast<const DWORD*>(bits) + width * height);
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    EXPECT_GE(LongestRun(pixels, width, height, vnl::HyperLink::kLinkColor), 30);

    // Destroyed with its window: the object lets go, the tooltip goes too.
    HWND tip = link.ToolTip();
    frame.DestroyWindow();
    EXPECT_EQ(link.Handle(), nullptr);
    EXPECT_FALSE(::IsWindow(tip));
}

TEST(WindowFramework, ColorChooserSharesTheProcessWideCustomColors) {
    COLORREF* custom = vnl::CustomColors();
    ASSERT_EQ(custom, vnl::CustomColors());
    for (int i = 0; i < 16; ++i) EXPECT_EQ(custom[i], RGB(255, 255, 255)) << i;

    // Add the initial colour to the custom colours, then confirm.
    constexpr int kAddToCustomColors = 712;
    const COLORREF initial = RGB(0x12, 0x34, 0x56);
    bench::WindowWatcher confirm("Color", "#32770", 10000, [](HWND dialog) {
        ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kAddToCustomColors, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, kAddToCustomColors)));
        bench::PressButton(dialog, IDOK);
    });
    vnl::ColorDialog chooser(initial);
    EXPECT_EQ(chooser.DoModal(), IDOK);
    ASSERT_TRUE(confirm.Wait());
    EXPECT_EQ(chooser.Color(), initial);
    EXPECT_EQ(custom[0], initial) << "the chooser changed the process-wide table";
    EXPECT_EQ(custom[1], RGB(255, 255, 255));

    // Cancelled: the colour stays the initial one; the table keeps what it had.
    bench::WindowWatcher cancel("Color", "#32770", 10000, [](HWND dialog) { bench::PressButton(dialog, IDCANCEL); });
    vnl::ColorDialog second(RGB(1, 2, 3));
    EXPECT_EQ(second.DoModal(), IDCANCEL);
    ASSERT_TRUE(cancel.Wait());
    EXPECT_EQ(second.Color(), RGB(1, 2, 3));
    EXPECT_EQ(custom[0], initial);
}

TEST(ComTrace, AQueryInterfaceMissIsTracedOnlyWhenSwitchedOn) {
    const std::string probe = bench::Quoted(bench::TestsDir() + "\\framework_probe.exe") + " --query-miss";
    const std::string line = "ProbeObject::QueryInterface: no {00000114-0000-0000-C000-000000000046}";
    bench::RunOptions on;
    on.env["WINEDEBUG"] = "+debugstr";
    on.env["VNL_COM_TRACE"] = "1";
    bench::RunResult traced = bench::RunProgram(probe, on);
    EXPECT_EQ(traced.exitCode, 0u);
    EXPECT_NE(traced.err.find(line), std::string::npos) << traced.err;

    bench::RunOptions off;
    off.env["WINEDEBUG"] = "+debugstr";
    off.env["VNL_COM_TRACE"] = "0";
    bench::RunResult quiet = bench::RunProgram(probe, off);
    EXPECT_EQ(quiet.exitCode, 0u);
    EXPECT_EQ(quiet.err.find("QueryInterface"), std::string::npos) << quiet.err;
}

// The module whose code handles the windows of a system class created now:
// user32 for the plain controls, comctl32 for the version-6 ones.
std::string ModuleOfClassProcedure(const wchar_t* className) {
    HWND window = ::CreateWindowW(className, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (!window) return "no window";
    auto procedure = reinterpret_cast<LPCWSTR>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         procedure, &module);
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(module, path, MAX_PATH);
    ::DestroyWindow(window);
    std::string name = path;
    name = name.substr(name.find_last_of('\\') + 1);
    for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return name;
}

TEST(WindowFramework, ActivationContextFromAModuleManifestBringsCommonControls6) {
    HMODULE server = ::LoadLibraryW(L"FrameworkTestServer.dll");
    ASSERT_TRUE(server);
    vnl::ActivationContext context;
    ASSERT_EQ(context.Create(server), S_OK);

    EXPECT_EQ(ModuleOfClassProcedure(L"Button"), "user32.dll");
    {
        vnl::ActivationScope scope(context);
        EXPECT_TRUE(scope.Active());
        // The manifest's common controls 6 take over the standard controls.
        EXPECT_EQ(ModuleOfClassProcedure(L"Button"), "comctl32.dll");
    }
    EXPECT_EQ(ModuleOfClassProcedure(L"Button"), "user32.dll") << "the scope's end restores the plain controls";

    // A module without that manifest: a failure, and a scope that does nothing.
    vnl::ActivationContext none;
    EXPECT_TRUE(FAILED(none.Create(::GetModuleHandleW(nullptr))));
    vnl::ActivationScope scope(none);
    EXPECT_FALSE(scope.Active());
    ::FreeLibrary(server);
}

}  // namespace
