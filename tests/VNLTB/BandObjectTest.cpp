// The band object, its toolbar and the process-wide records, with bands made in
// this process on mock sites over real rebar windows, and the stand-in driver.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "BandState.h"
#include "BandTestSupport.h"
#include "BenchPaths.h"
#include "DriverControl.h"
#include "Process.h"
#include "ComModule.h"
#include "Registry.h"
#include "TOOLBAND.h"
#include "ToolBandObj.h"
#include "TrayEvent.h"
#include "UniqueAny.h"

using namespace bandtest;

namespace {

const vnl::ClassEntry kClasses[] = {
    {&vnl::CLSID_VNLToolBandObj, &vnl::ComObject<vnl::CToolBandObj>::CreateInstance, 0},
};

// This program plays the band module: its resources and type library are the module's.
class BandEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::OleInitialize(nullptr);
        vnl::InitComModule(::GetModuleHandleW(nullptr), kClasses, &LIBID_TOOLBANDLib);
    }
    void TearDown() override { ::OleUninitialize(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new BandEnvironment);

// Runs the desktop program stand-in holding the tray event until destroyed.
class TrayHeld {
public:
    TrayHeld() {
        std::string line = "\"" + bench::BinDir() + "\\VNLD.exe\" hold";
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return;
        for (int i = 0; i < 500 && !vnl::IsTrayEventSignalled(); ++i) ::Sleep(10);
    }
    ~TrayHeld() {
        if (!pi_.hProcess) return;
        bench::RunProgram(bench::Quoted(bench::BinDir() + "\\VNLD.exe") + " quit");
        if (::WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0) ::TerminateProcess(pi_.hProcess, 1);
        ::CloseHandle(pi_.hProcess);
        ::CloseHandle(pi_.hThread);
    }

private:
    PROCESS_INFORMATION pi_{};
};


// Every test starts with always secure off (the stored default is on), in the
// settings key as this program reaches it: the browser's writable root.
class BandFixture : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* key : {bench::kWritableUserKey, bench::kUserKey})
            bench::SetDword(HKEY_CURRENT_USER, key, "AlwaysSecure", 0);
    }
    bench::ScopedKeySnapshot lowKey_{HKEY_CURRENT_USER, bench::kWritableUserKey};
    bench::ScopedKeySnapshot userKey_{HKEY_CURRENT_USER, bench::kUserKey};
};
using BandSite = BandFixture;
using BandInfo = BandFixture;
using BandToolBar = BandFixture;
using BandEvents = BandFixture;
using BandRegistry = BandFixture;
using BandSettings = BandFixture;
using BandDriver = BandFixture;

VARIANT DispatchArg(IDispatch* object) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = object;
    return v;
}

VARIANT EmptyArg() {
    VARIANT v;
    ::VariantInit(&v);
    return v;
}

TEST_F(BandSite, FailuresAndAdvise) {
    BrowserWindow window;
    struct Case {
        const char* name;
        MockSiteOptions options;
        HRESULT result;
        bool registered;  // listed in the registry after SetSite
        size_t advised;
    };
    MockSiteOptions noWindow, noServices, noInput, noPoint;
    noWindow.window = false;
    noServices.services = false;
    noInput.inputSite = false;
    noPoint.browser.eventsPoint = false;
    const Case cases[] = {
        {"whole site", {}, S_OK, true, 1},
        {"site without a window", noWindow, E_FAIL, false, 0},
        {"site without the browser service", noServices, E_FAIL, false, 0},
        // Asked for after the band registered: the failure takes the registration back.
        {"site without an input-object site", noInput, E_FAIL, false, 0},
        {"browser without the events point", noPoint, S_OK, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Band band = MakeBand(window, c.options);
        ASSERT_TRUE(band.object);
        EXPECT_EQ(band.setSite, c.result);
        EXPECT_EQ(vnl::RegisteredBandCount(), c.registered ? 1u : 0u);
        EXPECT_EQ(vnl::WindowBandCount(window.Frame()), c.registered ? 1 : 0);
        auto& events = *band.site.browser->events.get();
        EXPECT_EQ(events.advised.size(), c.advised);
        if (c.advised) {
            HWND toolbar = band.Toolbar();
            ASSERT_TRUE(::IsWindow(toolbar));
            EXPECT_TRUE(::IsWindowVisible(toolbar));
            HWND reported = nullptr;
            EXPECT_EQ(band->GetWindow(&reported), S_OK);
            EXPECT_EQ(reported, toolbar);
            vnl::ComPtr<IUnknown> site;
            EXPECT_EQ(band->GetSite(IID_IUnknown, site.put_void()), S_OK);
        }
        band->CloseDW(0);
        EXPECT_EQ(events.unadvised, events.advised) << "CloseDW gives back the cookie it was given";
        EXPECT_EQ(vnl::RegisteredBandCount(), 0u);
        EXPECT_EQ(band->SetSite(nullptr), S_OK);
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(band->GetSite(IID_IUnknown, &out), E_FAIL);
        EXPECT_EQ(out, nullptr);
        CloseBand(band);
    }
    EXPECT_EQ(vnl::WindowBandCount(window.Frame()), 0);
}

TEST_F(BandSite, InterfacesAndEmptyConnectionPoints) {
    BrowserWindow window;
    Band band = MakeBand(window);
    ASSERT_EQ(band.setSite, S_OK);
    const IID answered[] = {__uuidof(IToolBandObj), IID_IOleWindow, IID_IDockingWindow, IID_IObjectWithSite,
                            IID_IDeskBand, IID_IInputObject, IID_IDispatch, IID_IConnectionPointContainer};
    for (const IID& iid : answered) {
        vnl::ComPtr<IUnknown> a, b;
        EXPECT_EQ(band->QueryInterface(iid, a.put_void()), S_OK);
        band->QueryInterface(iid, b.put_void());
        EXPECT_EQ(a.get(), b.get()) << "the same pointer every time";
    }
    vnl::ComPtr<IConnectionPoint> point;
    EXPECT_EQ(band->FindConnectionPoint(IID_IDispatch, point.put()), CONNECT_E_NOCONNECTION);
    EXPECT_FALSE(point);
    EXPECT_EQ(band->FindConnectionPoint(IID_IDispatch, nullptr), E_POINTER);
    vnl::ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(band->EnumConnectionPoints(points.put()), S_OK);
    IConnectionPoint* next = nullptr;
    ULONG fetched = 7;
    EXPECT_EQ(points->Next(1, &next, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    UINT count = 0;
    EXPECT_EQ(band->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    vnl::ComPtr<ITypeInfo> info;
    EXPECT_EQ(band->GetTypeInfo(0, 0, info.put()), S_OK) << "type information from the embedded library";
    EXPECT_EQ(band->GetWindow(nullptr), E_INVALIDARG);
    EXPECT_EQ(band->ResizeBorderDW(nullptr, nullptr, FALSE), E_NOTIMPL);
    EXPECT_EQ(band->HasFocusIO(), S_FALSE);
    EXPECT_EQ(band->TranslateAcceleratorIO(nullptr), S_FALSE);
    CloseBand(band);
}

TEST_F(BandInfo, Cases) {
    BrowserWindow window;
    Band band = MakeBand(window);
    ASSERT_EQ(band.setSite, S_OK);
    LONG buttonsWidth = 0;
    for (int i = 0; i < ButtonCount(band.Toolbar()); ++i) {
        RECT r{};
        ::SendMessageW(band.Toolbar(), TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
        buttonsWidth += r.right - r.left;
    }
    ASSERT_GT(buttonsWidth, 0);

    struct Case {
        DWORD maskIn;
        DWORD maskOut;
        POINTL min, max, integral, actual;
        DWORD modeFlags;
    };
    constexpr POINTL kUntouched{-7, -7};
    const Case cases[] = {
        {DBIM_MINSIZE | DBIM_BKCOLOR | DBIM_MODEFLAGS, DBIM_MINSIZE | DBIM_MODEFLAGS, {180, 22}, kUntouched,
         kUntouched, kUntouched, 0x188},
        {DBIM_MAXSIZE | DBIM_INTEGRAL, DBIM_MAXSIZE | DBIM_INTEGRAL, kUntouched, {0, -1}, {1, 1}, kUntouched, 7},
        {DBIM_ACTUAL | DBIM_TITLE, DBIM_ACTUAL | DBIM_TITLE, kUntouched, kUntouched, kUntouched,
         {buttonsWidth, 22}, 7},
        {DBIM_BKCOLOR, 0, kUntouched, kUntouched, kUntouched, kUntouched, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maskIn);
        DESKBANDINFO info{};
        info.dwMask = c.maskIn;
        info.ptMinSize = info.ptMaxSize = info.ptIntegral = info.ptActual = kUntouched;
        info.dwModeFlags = 7;
        wcscpy(info.wszTitle, L"kept");
        EXPECT_EQ(band->GetBandInfo(3, DBIF_VIEWMODE_NORMAL, &info), S_OK);
        EXPECT_EQ(info.dwMask, c.maskOut);
        EXPECT_EQ(info.ptMinSize.x, c.min.x);
        EXPECT_EQ(info.ptMinSize.y, c.min.y);
        EXPECT_EQ(info.ptMaxSize.x, c.max.x);
        EXPECT_EQ(info.ptMaxSize.y, c.max.y);
        EXPECT_EQ(info.ptIntegral.x, c.integral.x);
        EXPECT_EQ(info.ptIntegral.y, c.integral.y);
        EXPECT_EQ(info.ptActual.x, c.actual.x);
        EXPECT_EQ(info.ptActual.y, c.actual.y);
        EXPECT_EQ(info.dwModeFlags, c.modeFlags);
        EXPECT_STREQ(info.wszTitle, L"kept");
    }
    EXPECT_EQ(band->GetBandInfo(1, 0, nullptr), S_OK);
    CloseBand(band);
}

TEST_F(BandToolBar, ButtonsTextsAndTips) {
    BrowserWindow window;
    Band band = MakeBand(window);
    ASSERT_EQ(band.setSite, S_OK);
    HWND toolbar = band.Toolbar();
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrW(toolbar, GWL_STYLE)) & ~WS_VISIBLE, 0x5601994Du & ~WS_VISIBLE);
    EXPECT_EQ(::GetDlgCtrlID(toolbar), 0xE800);
    EXPECT_EQ(::SendMessageW(toolbar, TB_GETEXTENDEDSTYLE, 0, 0) & 0xFF,
              TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_MIXEDBUTTONS);
    auto images = reinterpret_cast<HIMAGELIST>(::SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0));
    ASSERT_TRUE(images);
    EXPECT_EQ(ImageList_GetImageCount(images), 6) << "six pictures from bitmap 137";

    const std::wstring productName = ResourceLibraryString(212);
    ASSERT_FALSE(productName.empty());
    struct Expected {
        int command;
        std::wstring text;
        std::wstring tip;
        BYTE style;
    };
    const Expected expected[] = {
        {10768, productName, L"Click here to visit our site", 0x50},
        {10769, L"&Activate", L"Click here to activate", 0x50},
        {10776, L"&Manage", L"Manage your settings", 0x50 | BTNS_WHOLEDROPDOWN},
    };
    ASSERT_EQ(ButtonCount(toolbar), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const ButtonView view = ReadButton(toolbar, i);
        EXPECT_EQ(view.command, expected[i].command);
        EXPECT_EQ(view.image, i);
        EXPECT_EQ(view.text, expected[i].text);
        EXPECT_EQ(view.tip, expected[i].tip);
        EXPECT_EQ(view.style, expected[i].style);
    }
    CloseBand(band);
}

TEST_F(BandToolBar, StatusStates) {
    BrowserWindow window;
    Band band = MakeBand(window);
    ASSERT_EQ(band.setSite, S_OK);
    HWND toolbar = band.Toolbar();
    struct State {
        vnl::BandStatus status;
        const wchar_t* text;
        const wchar_t* tip;
    };
    const State states[] = {
        {vnl::kStatusOff, L"Off", L"Encryption is Off, Click here to learn why"},
        {vnl::kStatusOn, L"On", L"Encryption is protecting your keystrokes"},
        {vnl::kStatusWarn, L"Warn", L"Encryption is operating with a warning present"},
        {vnl::kStatusActivate, L"&Activate", L"Click here to activate"},
    };
    for (const State& s : states) {
        SCOPED_TRACE(s.status.command);
        band->SetStatusButton(s.status);
        ASSERT_EQ(ButtonCount(toolbar), 3);
        const ButtonView view = ReadButton(toolbar, 1);
        EXPECT_EQ(view.command, static_cast<int>(s.status.command));
        EXPECT_EQ(view.image, s.status.image);
        EXPECT_EQ(view.text, s.text);
        EXPECT_EQ(view.tip, s.tip);
        EXPECT_EQ(ReadButton(toolbar, 0).command, 10768);
        EXPECT_EQ(ReadButton(toolbar, 2).command, 10776);
    }

    // Clicking On does nothing; a size message leaves the layout alone.
    band->SetStatusButton(vnl::kStatusOn);
    ResetDriverLog();
    ClickButton(toolbar, 1);
    EXPECT_EQ(ReadButton(toolbar, 1).command, 32781);
    EXPECT_FALSE(vnl::BandArmed());
    EXPECT_TRUE(ProtectionCalls().empty());
    RECT before{}, after{};
    ::SendMessageW(toolbar, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&before));
    ::SendMessageW(toolbar, WM_SIZE, SIZE_RESTORED, MAKELPARAM(40, 10));
    ::SendMessageW(toolbar, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&after));
    EXPECT_TRUE(::EqualRect(&before, &after));
    CloseBand(band);
}

TEST_F(BandToolBar, ArmCommandTurnsEveryBandOff) {
    BrowserWindow window;
    Band first = MakeBand(window);
    Band second = MakeBand(window);
    ASSERT_EQ(first.setSite, S_OK);
    ASSERT_EQ(second.setSite, S_OK);
    ASSERT_EQ(ReadButton(first.Toolbar(), 1).command, 10769);
    ASSERT_TRUE(ResetDriverLog());

    ClickButton(second.Toolbar(), 1);

    EXPECT_TRUE(vnl::BandArmed());
    EXPECT_FALSE(vnl::BandEngaged()) << "no protectable field has the focus";
    for (const Band* band : {&first, &second}) {
        const ButtonView view = ReadButton(band->Toolbar(), 1);
        EXPECT_EQ(view.command, 32780);
        EXPECT_EQ(view.text, L"Off");
    }
    for (const ProtectionCall& call : ProtectionCalls()) EXPECT_FALSE(call.on) << "protection was switched on";

    // Armed stays: a top-level navigation no longer brings Activate back.
    IDispatch* top = static_cast<IWebBrowser2*>(first.site.browser.get());
    first.site.browser->Fire(vnl::kDispNavigateComplete2, {DispatchArg(top), EmptyArg()});
    first.site.browser->Fire(vnl::kDispNavigateComplete2, {DispatchArg(top), EmptyArg()});
    EXPECT_EQ(ReadButton(first.Toolbar(), 1).command, 32780);
    CloseBand(first);
    CloseBand(second);
}

TEST_F(BandEvents, NavigateComplete2OfTheTopFrameShowsActivate) {
    BrowserWindow window;
    Band band = MakeBand(window);
    ASSERT_EQ(band.setSite, S_OK);
    auto& browser = *band.site.browser.get();
    IDispatch* top = static_cast<IWebBrowser2*>(band.site.browser.get());
    BrowserWindow other(L"Other");
    Band subFrameSource = MakeBand(other);  // any other object stands for a sub-frame
    IDispatch* subFrame = static_cast<IWebBrowser2*>(subFrameSource.site.browser.get());

    band->SetStatusButton(vnl::kStatusOff);
    browser.Fire(vnl::kDispNavigateComplete2, {DispatchArg(top), EmptyArg()});
    EXPECT_EQ(ReadButton(band.Toolbar(), 1).command, 32780) << "the first event only names the top frame";
    browser.Fire(vnl::kDispNavigateComplete2, {DispatchArg(subFrame), EmptyArg()});
    EXPECT_EQ(ReadButton(band.Toolbar(), 1).command, 32780) << "a sub-frame leaves the status alone";
    browser.Fire(vnl::kDispNavigateComplete2, {DispatchArg(top), EmptyArg()});
    EXPECT_EQ(ReadButton(band.Toolbar(), 1).command, 10769);

    // The dispatcher answers S_OK to anything it is given, E_INVALIDARG without parameters.
    EXPECT_EQ(band->Invoke(252, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
    VARIANT odd[3];
    for (VARIANT& v : odd) {
        ::VariantInit(&v);
        V_VT(&v) = VT_I4;
    }
    for (DISPID id : {252, 259, 1048, 1049, -603, -600, 12345}) {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        DISPPARAMS wrong{odd, nullptr, 3, 0};
        EXPECT_EQ(band->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK) << id;
        EXPECT_EQ(band->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &wrong, nullptr, nullptr, nullptr), S_OK) << id;
    }
    CloseBand(band);
    CloseBand(subFrameSource);
}

TEST_F(BandRegistry, TwoBandsInOneWindow) {
    BrowserWindow window;
    BrowserWindow otherWindow(L"Other window");
    Band first = MakeBand(window);
    Band second = MakeBand(window);
    Band other = MakeBand(otherWindow);
    ASSERT_EQ(second.setSite, S_OK);
    EXPECT_EQ(vnl::WindowBandCount(window.Frame()), 2);
    EXPECT_EQ(vnl::WindowBandCount(otherWindow.Frame()), 1);
    EXPECT_EQ(vnl::RegisteredBandCount(), 3u);
    ASSERT_TRUE(ResetDriverLog());

    const HWND firstToolbar = first.Toolbar();
    CloseBand(first);
    EXPECT_EQ(vnl::WindowBandCount(window.Frame()), 1);
    EXPECT_TRUE(ProtectionCalls().empty()) << "the window still has a band";

    const HWND otherToolbar = other.Toolbar();
    CloseBand(other);
    EXPECT_EQ(vnl::WindowBandCount(otherWindow.Frame()), 0);
    auto calls = ProtectionCalls();
    ASSERT_EQ(calls.size(), 1u) << "the last band of a window";
    EXPECT_FALSE(calls[0].on);
    EXPECT_EQ(calls[0].value, CallerValue(otherToolbar));
    EXPECT_NE(calls[0].value, CallerValue(firstToolbar));

    ASSERT_TRUE(ResetDriverLog());
    const HWND secondToolbar = second.Toolbar();
    CloseBand(second);
    EXPECT_EQ(vnl::RegisteredBandCount(), 0u);
    calls = ProtectionCalls();
    ASSERT_EQ(calls.size(), 2u) << "the last band of the window and of the process";
    for (const ProtectionCall& call : calls) {
        EXPECT_FALSE(call.on);
        EXPECT_EQ(call.value, CallerValue(secondToolbar));
    }
    EXPECT_EQ(::WaitForSingleObject(vnl::BandStopEvent(), 0), WAIT_OBJECT_0) << "the watcher is told to stop";
}

TEST_F(BandRegistry, TrayEventHoldsProtection) {
    BrowserWindow window;
    Band first = MakeBand(window);
    Band second = MakeBand(window);
    ASSERT_EQ(second.setSite, S_OK);
    TrayHeld tray;
    ASSERT_TRUE(vnl::IsTrayEventSignalled());
    ASSERT_TRUE(ResetDriverLog());
    CloseBand(first);
    CloseBand(second);
    EXPECT_EQ(vnl::RegisteredBandCount(), 0u);
    EXPECT_EQ(vnl::WindowBandCount(window.Frame()), 0);
    EXPECT_TRUE(ProtectionCalls().empty());
}

TEST_F(BandRegistry, FindActiveBandCases) {
    EXPECT_FALSE(vnl::FindActiveBand()) << "no band registered";

    BrowserWindow front(L"Front window");
    BrowserWindow back(L"Back window");
    BrowserWindow neither(L"Neither");
    Band backBand = MakeBand(back);
    ASSERT_EQ(backBand.setSite, S_OK);
    ::SetForegroundWindow(front.Frame());
    ASSERT_EQ(::GetForegroundWindow(), front.Frame());
    EXPECT_EQ(vnl::FindActiveBand().get(), backBand.object.get()) << "the only band, whatever is in front";

    // Two tabs in front: the one whose toolbar is visible, though listed second.
    Band hiddenTab = MakeBand(front);
    Band shownTab = MakeBand(front);
    hiddenTab->ShowDW(FALSE);
    EXPECT_EQ(vnl::FindActiveBand().get(), shownTab.object.get());

    // One band in the window in front: that one, shown or not.
    ::SetForegroundWindow(back.Frame());
    backBand->ShowDW(FALSE);
    EXPECT_EQ(vnl::FindActiveBand().get(), backBand.object.get());

    ::SetForegroundWindow(neither.Frame());
    EXPECT_FALSE(vnl::FindActiveBand()) << "no band in the window in front";

    CloseBand(hiddenTab);
    CloseBand(shownTab);
    CloseBand(backBand);
}

TEST_F(BandSettings, AlwaysSecureAndHighlightColour) {
    for (const char* key : {bench::kWritableUserKey, bench::kUserKey}) {
        bench::SetDword(HKEY_CURRENT_USER, key, "AlwaysSecure", 1);
        bench::SetDword(HKEY_CURRENT_USER, key, "HighlightEnabled", 1);
        bench::SetDword(HKEY_CURRENT_USER, key, "HighlightColor", 0x00563412);
    }
    BrowserWindow window;
    Band band = MakeBand(window);
    ASSERT_EQ(band.setSite, S_OK);
    EXPECT_TRUE(vnl::BandArmed());
    const ButtonView view = ReadButton(band.Toolbar(), 1);
    EXPECT_EQ(view.command, 32780);
    EXPECT_EQ(view.text, L"Off");
    const vnl::BandSettings settings = vnl::CurrentBandSettings();
    EXPECT_EQ(settings.alwaysSecure, 1u);
    EXPECT_EQ(settings.highlightColor, "#123456");
    CloseBand(band);
}

TEST_F(BandDriver, UnavailableDriverShowsOffAndListensToNothing) {
    BrowserWindow window;
    {
        bench::ScopedDriverStopped stopped;
        ASSERT_TRUE(stopped.stopped());
        Band band = MakeBand(window);
        EXPECT_EQ(band.setSite, S_OK);
        ASSERT_TRUE(::IsWindow(band.Toolbar()));
        EXPECT_TRUE(::IsWindowVisible(band.Toolbar()));
        EXPECT_EQ(ReadButton(band.Toolbar(), 1).text, L"Off");
        EXPECT_TRUE(band.site.browser->events->advised.empty()) << "nothing advised";
        EXPECT_EQ(vnl::RegisteredBandCount(), 0u);
        EXPECT_FALSE(vnl::BandSettingsLoaded());
        CloseBand(band);
        EXPECT_EQ(vnl::WindowBandCount(window.Frame()), 0);
    }
    // The next band tries the driver again.
    Band band = MakeBand(window);
    EXPECT_EQ(band.setSite, S_OK);
    EXPECT_TRUE(vnl::DriverUsable(vnl::BandDriverStatus())) << vnl::BandDriverStatus();
    EXPECT_EQ(vnl::RegisteredBandCount(), 1u);
    EXPECT_EQ(band.site.browser->events->advised.size(), 1u);
    EXPECT_EQ(ReadButton(band.Toolbar(), 1).text, L"&Activate");
    CloseBand(band);
}

}  // namespace
