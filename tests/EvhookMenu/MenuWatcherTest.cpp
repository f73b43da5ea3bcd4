// The menu watcher thread, driven by signalling the hook library's events as
// its procedures do, with a band stand-in behind BandHookSite and the real
// driver channel: the stand-in driver shows each protection switch.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "DesktopProgram.h"
#include "DriverChannel.h"
#include "DriverControl.h"
#include "HookEventNames.h"
#include "HookTestSupport.h"
#include "SystemHooks.h"

namespace {

// The band as the watcher sees it.
struct FakeBand {
    std::atomic<bool> active{true};
    std::atomic<bool> engaged{false};
    HWND toolbar = nullptr;
    vnl::UniqueEvent stop;
    vnl::UniqueEvent protectionCalled;  // auto-reset: one per switch
    std::atomic<int> protectionCalls{0};
    std::atomic<DWORD> callingThread{0};
};
FakeBand* g_band;

bool ActiveToolbar(HWND* toolbar) noexcept {
    if (!g_band->active) return false;
    *toolbar = g_band->toolbar;
    return true;
}
bool Engaged() noexcept { return g_band->engaged; }
HANDLE Stop() noexcept { return g_band->stop.get(); }
int SwitchProtection(int on, std::uint32_t value) noexcept {
    int result = vnl::SetDriverProtection(on, value);
    g_band->callingThread = ::GetCurrentThreadId();
    ++g_band->protectionCalls;
    ::SetEvent(g_band->protectionCalled.get());
    return result;
}
const vnl::BandHookSite kSite{ActiveToolbar, Engaged, nullptr, Stop, SwitchProtection};

class MenuWatcher : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(driver_.IsOpen());
        driver_.Reset();
        ASSERT_EQ(vnl::OpenDriverChannel(1), 0);
        library_ = ::LoadLibraryA("EvhookMenu.dll");  // makes this process's events, as the install does
        ASSERT_NE(library_, nullptr);
        menuProc_ = reinterpret_cast<WINEVENTPROC>(reinterpret_cast<void*>(::GetProcAddress(library_, "VNLEvhookProc")));

        toolbarWindow_ = ::CreateWindowExA(0, "STATIC", "toolbar", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                           nullptr, nullptr);
        band_.toolbar = toolbarWindow_;
        band_.stop.reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
        band_.protectionCalled.reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
        g_band = &band_;
        vnl::SetBandHookSite(&kSite);
        DrainDeactivate();
    }
    void TearDown() override {
        if (thread_) {
            ::SetEvent(band_.stop.get());
            ::WaitForSingleObject(thread_.get(), 10000);
        }
        vnl::SetDriverProtection(0, 0);
        vnl::CloseDriverChannel();
        vnl::SetBandHookSite(nullptr);
        ::DestroyWindow(toolbarWindow_);
    }

    void StartWatcher() {
        thread_.reset(::CreateThread(nullptr, 0, vnl::MenuWatcherThread, nullptr, 0, &watcherId_));
        ASSERT_TRUE(thread_);
    }
    // As the in-context WinEvent hook does in the browser process.
    void Menu(DWORD event) { menuProc_(nullptr, event, nullptr, 0, 0, 0, 0); }
    static void DrainDeactivate() {
        vnl::UniqueEvent event(::OpenEventA(SYNCHRONIZE, FALSE, vnl::kDeactivateEventName));
        if (event) ::WaitForSingleObject(event.get(), 0);
    }
    static void SignalDeactivate() {
        vnl::UniqueEvent event(::OpenEventA(EVENT_MODIFY_STATE, FALSE, vnl::kDeactivateEventName));
        ASSERT_TRUE(event);
        ::SetEvent(event.get());
    }
    bool WaitForSwitch() { return ::WaitForSingleObject(band_.protectionCalled.get(), 10000) == WAIT_OBJECT_0; }
    // Stops the watcher after whatever was signalled before: it takes the
    // earlier events first, so afterwards nothing is still on its way.
    bool StopAndJoin() {
        ::SetEvent(band_.stop.get());
        bool ended = ::WaitForSingleObject(thread_.get(), 10000) == WAIT_OBJECT_0;
        thread_.reset();
        return ended;
    }
    void ExpectDriver(std::uint32_t protectionOn, std::uint32_t callerValue) {
        const vnl::drv::DriverState state = driver_.State();
        EXPECT_EQ(state.protectionOn, protectionOn);
        EXPECT_EQ(state.callerValue, callerValue);
        const auto log = driver_.ReadLog();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back().threadId, watcherId_) << "switched by the watcher thread";
    }
    std::uint32_t ToolbarValue() const {
        return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(band_.toolbar));
    }

    bench::DriverControl driver_;
    FakeBand band_;
    HMODULE library_ = nullptr;
    WINEVENTPROC menuProc_ = nullptr;
    HWND toolbarWindow_ = nullptr;
    vnl::UniqueHandle thread_;
    DWORD watcherId_ = 0;
};

TEST_F(MenuWatcher, MenuSwitchesProtectionOffAndOnWhileEngaged) {
    band_.engaged = true;
    ASSERT_EQ(vnl::SetDriverProtection(1, ToolbarValue()), 0);  // the band engaged a field
    StartWatcher();

    Menu(EVENT_SYSTEM_MENUSTART);
    ASSERT_TRUE(WaitForSwitch());
    ExpectDriver(0, ToolbarValue());
    EXPECT_TRUE(band_.engaged) << "engaged stays set while the menu is open";

    Menu(EVENT_SYSTEM_MENUEND);
    ASSERT_TRUE(WaitForSwitch());
    ExpectDriver(1, ToolbarValue());
    EXPECT_TRUE(StopAndJoin());
    EXPECT_EQ(band_.protectionCalls, 2);
}

TEST_F(MenuWatcher, MenusLeaveProtectionAloneWhenNotEngaged) {
    StartWatcher();
    Menu(EVENT_SYSTEM_MENUSTART);
    Menu(EVENT_SYSTEM_MENUEND);
    ASSERT_TRUE(StopAndJoin());
    EXPECT_EQ(band_.protectionCalls, 0);
}

TEST_F(MenuWatcher, AnotherProgramInFrontSwitchesProtectionOff) {
    // Whether or not a field is engaged: the driver must not hold keys meant
    // for the other program.
    ASSERT_EQ(vnl::SetDriverProtection(1, ToolbarValue()), 0);
    StartWatcher();
    // The shell hook runs in the other program's process.
    EXPECT_EQ(bench::RunProgram(hooktest::TestProgram("hook_probe.exe") + " load shell 4").exitCode, 0u);
    ASSERT_TRUE(WaitForSwitch());
    ExpectDriver(0, ToolbarValue());
}

TEST_F(MenuWatcher, DesktopProgramHoldingProtectionKeepsItOnDeactivation) {
    hooktest::DesktopProgram desktop("hold");
    ASSERT_TRUE(desktop.started());
    ASSERT_EQ(vnl::SetDriverProtection(1, ToolbarValue()), 0);
    StartWatcher();
    SignalDeactivate();  // as if signalled just before the tray event was set
    ASSERT_TRUE(StopAndJoin());
    EXPECT_EQ(band_.protectionCalls, 0);
    EXPECT_EQ(driver_.State().protectionOn, 1u);
}

TEST_F(MenuWatcher, StopEventEndsTheThread) {
    StartWatcher();
    EXPECT_EQ(::WaitForSingleObject(thread_.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "waits for events";
    ASSERT_TRUE(StopAndJoin());
}

TEST_F(MenuWatcher, NoBandInFrontDoesNotEndTheWatch) {
    // Two browser windows and another program in front: no band is active.
    band_.active = false;
    band_.engaged = true;
    ASSERT_EQ(vnl::SetDriverProtection(1, ToolbarValue()), 0);
    StartWatcher();
    Menu(EVENT_SYSTEM_MENUSTART);  // needs a band: ignored
    SignalDeactivate();            // protection still goes off
    ASSERT_TRUE(WaitForSwitch());
    ExpectDriver(0, 0);
    EXPECT_EQ(band_.protectionCalls, 1);

    band_.active = true;  // the watch went on
    Menu(EVENT_SYSTEM_MENUEND);
    ASSERT_TRUE(WaitForSwitch());
    ExpectDriver(1, ToolbarValue());
}

TEST_F(MenuWatcher, EndsAtOnceWithoutAStopEvent) {
    band_.stop.reset();
    StartWatcher();
    EXPECT_EQ(::WaitForSingleObject(thread_.get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 1;
    ::GetExitCodeThread(thread_.get(), &code);
    EXPECT_EQ(code, 0u);
    thread_.reset();
}

}  // namespace
