// Installing and removing the hooks for real, in this process and in two
// browser-like processes sharing the band stand-in's hook record; the message
// hook on the browser's threads and the browser version rule.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <thread>
#include <vector>

#include "HookEventNames.h"
#include "HookTestSupport.h"
#include "Registry.h"
#include "SystemHooks.h"

namespace {

using hooktest::Child;
using hooktest::HandshakeEvent;
using hooktest::NewWindowGetsHookLibrary;
using hooktest::TestProgram;

// The band's side: counts layout resets and the threads they came from.
std::atomic<int> g_resets{0};
std::mutex g_resetThreadsLock;
std::set<DWORD> g_resetThreads;
void CountReset() noexcept {
    ++g_resets;
    std::lock_guard<std::mutex> hold(g_resetThreadsLock);
    g_resetThreads.insert(::GetCurrentThreadId());
}
const vnl::BandHookSite kCountingSite{nullptr, nullptr, CountReset, nullptr, nullptr};

bool OwnEventExists(const char* format) {
    char name[vnl::kEventNameCapacity];
    vnl::FormatProcessEventName(name, format, ::GetCurrentProcessId());
    vnl::UniqueEvent event(::OpenEventA(SYNCHRONIZE, FALSE, name));
    return event.valid();
}

TEST(SystemHooks, InstallHoldsEveryHookAndRemovalReleasesThem) {
    vnl::SetBandHookSite(&kCountingSite);
    ASSERT_EQ(vnl::CurrentSystemHooks().installCount, 0);
    EXPECT_FALSE(NewWindowGetsHookLibrary()) << "no shell hook yet";

    vnl::RegisterHookThreads();
    EXPECT_EQ(vnl::InstallSystemHooks(), 0);
    vnl::SystemHookHandles hooks = vnl::CurrentSystemHooks();
    EXPECT_TRUE(hooks.installed);
    EXPECT_NE(hooks.ownShellHook, nullptr);
    EXPECT_EQ(hooks.shellHook, hooks.ownShellHook);
    EXPECT_NE(hooks.menuEventHook, nullptr);
    EXPECT_NE(hooks.switchEventHook, nullptr);
    EXPECT_EQ(hooks.messageHookCount, 1u);
    EXPECT_EQ(hooks.installCount, 1);
    EXPECT_EQ(vnl::ModuleHookThreadTable().GetHook(::GetCurrentThreadId()) != nullptr, true);
    // The hook library was loaded here by name and made this process's events.
    EXPECT_NE(::GetModuleHandleA("EvhookMenu.dll"), nullptr);
    EXPECT_TRUE(OwnEventExists(vnl::kMenuStartEventFormat));
    EXPECT_TRUE(OwnEventExists(vnl::kMenuEndEventFormat));

    // The system loads the shell hook's library into another GUI process, but
    // not into a debug viewer, where the library refuses to load.
    EXPECT_TRUE(NewWindowGetsHookLibrary());
    EXPECT_FALSE(NewWindowGetsHookLibrary("dbgview.exe"));

    vnl::InstallSystemHooks();  // a second install without a removal changes nothing
    EXPECT_EQ(vnl::CurrentSystemHooks().installCount, 1);
    EXPECT_EQ(vnl::CurrentSystemHooks().shellHook, hooks.shellHook);

    EXPECT_EQ(vnl::RemoveSystemHooks(), 0);
    hooks = vnl::CurrentSystemHooks();
    EXPECT_FALSE(hooks.installed);
    EXPECT_EQ(hooks.installCount, 0);
    EXPECT_EQ(hooks.shellHook, nullptr) << "the last removal clears the shared value";
    EXPECT_EQ(hooks.menuEventHook, nullptr);
    EXPECT_EQ(hooks.switchEventHook, nullptr);
    EXPECT_EQ(hooks.messageHookCount, 0u);
    EXPECT_EQ(vnl::ModuleHookThreadTable().GetHook(::GetCurrentThreadId()), nullptr);
    EXPECT_FALSE(NewWindowGetsHookLibrary());

    vnl::RemoveSystemHooks();  // a removal without an install counts nothing
    EXPECT_EQ(vnl::CurrentSystemHooks().installCount, 0);
}

TEST(SystemHooks, WithoutTheHookLibraryOnlyTheMessageHookIsInstalledAndTheWatcherEnds) {
    // A copy of the host and band stand-in in a folder without EvhookMenu.dll.
    const std::string folder = bench::TestsDir() + "\\nolib";
    Child host(bench::Quoted(folder + "\\hook_host.exe") + " install expect message-only watch-alone remove", folder);
    ASSERT_TRUE(host.started());
    EXPECT_EQ(host.ExitCode(), 0u) << "7: wrong hooks held, 8: the watcher kept running";
}

// Two browser processes share the band module's hook record: each install
// counts, the later one replaces the shell hook, and only the removal that
// brings the count to 0 takes the shell hook away.
class TwoBrowsers : public testing::TestWithParam<bool /* the later installer removes first */> {};

TEST_P(TwoBrowsers, OnlyTheLastRemovalTakesTheShellHook) {
    struct Browser {
        HandshakeEvent installed{"INSTALLED"}, remove{"REMOVE"}, removed{"REMOVED"}, quit{"QUIT"};
        std::unique_ptr<Child> process;
        void Start() {
            process = std::make_unique<Child>(TestProgram("hook_host.exe") + " install expect all signal " +
                                              installed.name() + " wait " + remove.name() + " remove signal " +
                                              removed.name() + " wait " + quit.name());
        }
    };
    Browser first, second;
    first.Start();
    ASSERT_TRUE(first.process->WaitFor(first.installed));
    const vnl::SystemHookHandles afterFirst = vnl::CurrentSystemHooks();
    EXPECT_EQ(afterFirst.installCount, 1) << "this process sees the host's install: the record is shared";
    EXPECT_NE(afterFirst.shellHook, nullptr);
    EXPECT_FALSE(afterFirst.installed) << "nothing is installed in this process itself";

    second.Start();
    ASSERT_TRUE(second.process->WaitFor(second.installed));
    const vnl::SystemHookHandles afterSecond = vnl::CurrentSystemHooks();
    EXPECT_EQ(afterSecond.installCount, 2);
    EXPECT_NE(afterSecond.shellHook, nullptr);
    EXPECT_NE(afterSecond.shellHook, afterFirst.shellHook) << "the later install replaces the shell hook";
    EXPECT_TRUE(NewWindowGetsHookLibrary());

    Browser& removesFirst = GetParam() ? second : first;
    Browser& removesLast = GetParam() ? first : second;
    removesFirst.remove.Set();
    ASSERT_TRUE(removesFirst.process->WaitFor(removesFirst.removed));
    EXPECT_EQ(vnl::CurrentSystemHooks().installCount, 1);
    EXPECT_EQ(vnl::CurrentSystemHooks().shellHook, afterSecond.shellHook);
    EXPECT_TRUE(NewWindowGetsHookLibrary()) << "the first removal leaves the shell hook working";

    removesLast.remove.Set();
    ASSERT_TRUE(removesLast.process->WaitFor(removesLast.removed));
    EXPECT_EQ(vnl::CurrentSystemHooks().installCount, 0);
    EXPECT_EQ(vnl::CurrentSystemHooks().shellHook, nullptr);
    EXPECT_FALSE(NewWindowGetsHookLibrary()) << "the last removal unhooks it, whichever process installed it";

    first.quit.Set();
    second.quit.Set();
    EXPECT_EQ(first.process->ExitCode(), 0u);
    EXPECT_EQ(second.process->ExitCode(), 0u);
}
TEST(SystemHooks, BrowsersInstallingAndRemovingAtOnceKeepTheRecordRight) {
    // Several processes change the shared count and shell hook at the same
    // time; in the end nothing may be counted and no shell hook left behind.
    HandshakeEvent go("GO");
    std::vector<std::unique_ptr<Child>> browsers;
    for (int i = 0; i < 4; ++i)
        browsers.push_back(std::make_unique<Child>(TestProgram("hook_host.exe") + " wait " + go.name() + " cycle 25"));
    go.Set();
    for (const auto& browser : browsers) EXPECT_EQ(browser->ExitCode(), 0u);
    EXPECT_EQ(vnl::CurrentSystemHooks().installCount, 0);
    EXPECT_EQ(vnl::CurrentSystemHooks().shellHook, nullptr);
    EXPECT_FALSE(NewWindowGetsHookLibrary());
}

INSTANTIATE_TEST_SUITE_P(RemovalOrder, TwoBrowsers, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("LaterInstallerFirst") : std::string("EarlierInstallerFirst");
                         });

// A browser thread with a window and a message loop.
class BrowserThread {
public:
    BrowserThread() {
        HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, ready] {
            threadId_ = ::GetCurrentThreadId();
            window_ = CreateProbeWindow();
            ::SetEvent(ready);
            MSG msg;
            while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
            ::DestroyWindow(window_);
        });
        ::WaitForSingleObject(ready, 30000);
        ::CloseHandle(ready);
    }
    ~BrowserThread() {
        ::PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    HWND window() const { return window_; }
    DWORD threadId() const { return threadId_; }

    static HWND CreateProbeWindow() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "VnlLayoutProbe";
        ::RegisterClassA(&wc);
        return ::CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    }

private:
    std::thread thread_;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
};

// Which threads' windows report a layout change to the band.
std::set<DWORD> ThreadsThatReset(const std::vector<std::pair<HWND, DWORD>>& windows, UINT message) {
    {
        std::lock_guard<std::mutex> hold(g_resetThreadsLock);
        g_resetThreads.clear();
    }
    for (const auto& [window, threadId] : windows) ::SendMessageA(window, message, 0, 0);
    std::lock_guard<std::mutex> hold(g_resetThreadsLock);
    return g_resetThreads;
}

struct VersionCase {
    const char* version;
    bool everyThread;
};

void PrintTo(const VersionCase& c, std::ostream* os) { *os << '"' << c.version << '"'; }

class BrowserVersion : public testing::TestWithParam<VersionCase> {};

TEST_P(BrowserVersion, DecidesWhichThreadsGetTheMessageHook) {
    const char* kKey = "Software\\Microsoft\\Internet Explorer";
    bench::ScopedKeySnapshot restore(HKEY_LOCAL_MACHINE, kKey);
    bench::SetString(HKEY_LOCAL_MACHINE, kKey, "Version", GetParam().version);
    vnl::SetBandHookSite(&kCountingSite);

    HWND mainWindow = BrowserThread::CreateProbeWindow();
    BrowserThread tabs[3];
    std::vector<std::pair<HWND, DWORD>> windows{{mainWindow, ::GetCurrentThreadId()}};
    for (const BrowserThread& tab : tabs) windows.emplace_back(tab.window(), tab.threadId());

    vnl::PrepareSystemHooks();
    EXPECT_STREQ(vnl::BrowserVersionText(), std::string(GetParam().version).substr(0, 23).c_str());
    std::set<DWORD> expected{::GetCurrentThreadId()};
    if (GetParam().everyThread)
        for (const BrowserThread& tab : tabs) expected.insert(tab.threadId());
    for (const auto& [window, threadId] : windows)
        EXPECT_EQ(vnl::ModuleHookThreadTable().GetHook(threadId) != nullptr, expected.count(threadId) == 1);

    EXPECT_EQ(ThreadsThatReset(windows, WM_INPUTLANGCHANGE), expected);
    EXPECT_EQ(ThreadsThatReset(windows, WM_INPUTLANGCHANGEREQUEST), expected);
    EXPECT_TRUE(ThreadsThatReset(windows, WM_SETTEXT).empty()) << "other messages only pass on";

    vnl::RemoveSystemHooks();  // on this thread, the tabs' hooks included
    EXPECT_TRUE(ThreadsThatReset(windows, WM_INPUTLANGCHANGE).empty());
    ::DestroyWindow(mainWindow);
}
INSTANTIATE_TEST_SUITE_P(Versions, BrowserVersion,
                         testing::Values(VersionCase{"7.0.5730.13", true}, VersionCase{"8.0.6001.18702", false},
                                         VersionCase{"6.0.2900.2180", false},
                                         VersionCase{"7.0.6000.16386.with-a-long-build-suffix", true}),
                         [](const testing::TestParamInfo<VersionCase>& info) {
                             return "Version" + std::to_string(info.index);
                         });

}  // namespace
