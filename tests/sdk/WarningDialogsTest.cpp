// The two warnings, each shown by sdk_probe from the thread the export starts,
// and the critical-error box that replaces every dialog when the resource
// library cannot be loaded.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "DialogTestSupport.h"

namespace {

using sdktest::StoreDword;
using sdktest::StoredDword;

constexpr const char* kHiddenFrameCaption = "Hidden frame warning";
constexpr const char* kDriverCaption = "Untrusted keyboard driver";
constexpr const char* kDriversKey = "Software\\VNL\\UntrustedDrivers";
enum { kHelpLink = 244, kDontWarnAgain = 1074, kMessage = 1077 };

// Everything the test's side saw of one warning.
struct SeenWarning {
    DWORD thread = 0;
    bool exportHadReturned = false;  // the export returned while this warning was open
    int openAtOnce = 0;              // warnings of this kind visible together
    std::string message;
    std::string link;
};

struct VisibleCount {
    const std::string* caption;
    int n;
};

BOOL CALLBACK CountIfVisible(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<VisibleCount*>(lp);
    if (::IsWindowVisible(w) && bench::WindowText(w) == *s->caption) ++s->n;
    return TRUE;
}

int CountVisible(const std::string& caption) {
    VisibleCount s{&caption, 0};
    ::EnumWindows(CountIfVisible, reinterpret_cast<LPARAM>(&s));
    return s.n;
}

// Handles each warning with `caption` that appears while the probe runs:
// records it, then ticks or clears the box and presses OK or Cancel as the
// next entry of `answers` says (Cancel once they run out).
class WarningHandler {
public:
    struct Answer { bool tick; int button; };
    WarningHandler(std::string caption, std::vector<Answer> answers)
        : caption_(std::move(caption)), answers_(std::move(answers)), thread_([this] { Loop(); }) {}
    ~WarningHandler() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    const std::vector<SeenWarning>& Seen() const { return seen_; }

private:
    void Loop() {
        while (!stop_) {
            HWND w = bench::WaitForWindow(caption_, "#32770", 100);
            if (!w) continue;
            SeenWarning s;
            s.thread = ::GetWindowThreadProcessId(w, nullptr);
            s.openAtOnce = CountVisible(caption_);
            s.message = bench::ControlText(w, kMessage);
            s.link = bench::ControlText(w, kHelpLink);
            HANDLE returned = ::OpenEventA(SYNCHRONIZE, FALSE, "sdk_probe_warn_returned");
            s.exportHadReturned = returned && ::WaitForSingleObject(returned, 10000) == WAIT_OBJECT_0;
            if (returned) ::CloseHandle(returned);
            Answer a = seen_.size() < answers_.size() ? answers_[seen_.size()] : Answer{false, IDCANCEL};
            seen_.push_back(s);
            bench::SetCheckState(w, kDontWarnAgain, a.tick ? BST_CHECKED : BST_UNCHECKED);
            bench::PressButton(w, a.button);
            bench::WaitForWindowGone(w, 10000);
        }
    }
    std::string caption_;
    std::vector<Answer> answers_;
    std::vector<SeenWarning> seen_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct ProbeRun {
    long result = -1;
    DWORD callerThread = 0;
};

// Runs "sdk_probe warn <which>" while `handler` answers the warnings.
ProbeRun RunWarning(const char* which, WarningHandler& handler) {
    bench::RunResult run = sdktest::RunProbe(std::string("warn ") + which);
    handler.Stop();
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    ProbeRun r;
    unsigned long thread = 0;
    EXPECT_EQ(std::sscanf(run.out.c_str(), "%ld %lu", &r.result, &thread), 2) << run.out << run.err;
    r.callerThread = thread;
    return r;
}

class WarningDialogs : public ::testing::Test {
protected:
    sdktest::DialogFixtureState state_;
    sdktest::ScopedInstallFolder install_{{"VNLTB.dll", "VNLD.exe"}};
};

// "CJWarn" absent: the warning appears on a thread of its own after the export
// returned; Cancel stores nothing and the next call shows it again; OK with
// the box ticked stores 1 and the call after that shows nothing.
TEST_F(WarningDialogs, HiddenFrameWarningUntilSilenced) {
    struct Step { const char* label; WarningHandler::Answer answer; size_t shown; std::optional<DWORD> stored; };
    const Step steps[] = {
        {"cancel", {true, IDCANCEL}, 1, std::nullopt},
        {"ok unticked", {false, IDOK}, 1, 0u},
        {"ok ticked", {true, IDOK}, 1, 1u},
        {"silenced", {false, IDCANCEL}, 0, 1u},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.label);
        WarningHandler handler(kHiddenFrameCaption, {step.answer});
        ProbeRun run = RunWarning("cj", handler);
        EXPECT_EQ(run.result, 0);
        ASSERT_EQ(handler.Seen().size(), step.shown);
        for (const auto& seen : handler.Seen()) {
            EXPECT_NE(seen.thread, run.callerThread) << "shown on the caller's thread";
            EXPECT_TRUE(seen.exportHadReturned) << "the export waited for the warning";
            EXPECT_EQ(seen.link, "More information");
        }
        EXPECT_EQ(StoredDword("CJWarn"), step.stored);
    }
}

// One warning after the other for each driver still at 0, in the order of
// the list; a ticked box silences that driver only. Names are text, never a
// format, even when they hold '%' or fill the registry's 259 characters.
TEST_F(WarningDialogs, DriverWarningsOneAfterTheOther) {
    const std::string longName(259, 'k');
    const struct { std::string name; DWORD value; } entries[] = {
        {"a", 0}, {"b", 1}, {"%s%n%x", 0}, {longName, 0}, {"c", 0},
    };
    for (const auto& e : entries) bench::SetDword(HKEY_CURRENT_USER, kDriversKey, e.name, e.value);
    // The order the system enumerates them in, as the warnings must follow it.
    std::vector<std::string> expected;
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kDriversKey, 0, KEY_READ, &key), ERROR_SUCCESS);
        for (DWORD i = 0;; ++i) {
            char name[300];
            DWORD length = sizeof(name), data = 0, size = sizeof(data);
            if (::RegEnumValueA(key, i, name, &length, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size) !=
                ERROR_SUCCESS)
                break;
            if (data == 0) expected.push_back(name);
        }
        ::RegCloseKey(key);
    }
    ASSERT_EQ(expected.size(), 4u);

    // Tick the first warning only; the rest OK with the box clear, the last cancelled.
    WarningHandler handler(kDriverCaption, {{true, IDOK}, {false, IDOK}, {false, IDOK}, {true, IDCANCEL}});
    ProbeRun run = RunWarning("bad", handler);
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(handler.Seen().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const SeenWarning& seen = handler.Seen()[i];
        std::string message =
            "Varnel has detected the following untrusted keyboard driver: " + expected[i] +
            ". More detail on the error is available in the Event Viewer under Manage in the toolbar. Varnel is "
            "operating in Warn mode with the status indicator set to orange, as shown below.";
        if (message.size() > 519) message.resize(519);
        EXPECT_EQ(seen.message, message) << i;
        EXPECT_EQ(seen.openAtOnce, 1) << "warnings open together";
        EXPECT_NE(seen.thread, run.callerThread);
        EXPECT_TRUE(seen.exportHadReturned);
    }
    for (const auto& name : expected) {
        auto value = bench::ReadDword(HKEY_CURRENT_USER, kDriversKey, name);
        EXPECT_EQ(value, name == expected[0] ? 1u : 0u) << name;
    }
    EXPECT_EQ(bench::ReadDword(HKEY_CURRENT_USER, kDriversKey, "b"), 1u);
}

TEST_F(WarningDialogs, NoDriverListCreatesItAndShowsNothing) {
    ASSERT_FALSE(bench::KeyExists(HKEY_CURRENT_USER, kDriversKey));
    WarningHandler handler(kDriverCaption, {});
    ProbeRun run = RunWarning("bad", handler);
    EXPECT_EQ(run.result, 0);
    EXPECT_TRUE(handler.Seen().empty());
    EXPECT_TRUE(bench::KeyExists(HKEY_CURRENT_USER, kDriversKey));
}

// A product code that names no resource library: each dialog operation shows
// the critical-error box (on the thread that would have shown the dialog),
// no dialog, and returns 0.
TEST_F(WarningDialogs, MissingResourceLibraryGivesCriticalErrorInsteadOfEachDialog) {
    bench::SetDword(HKEY_LOCAL_MACHINE, bench::kMachineKey, "ProductCode", 5);
    bench::SetDword(HKEY_CURRENT_USER, kDriversKey, "kbdhook", 0);
    struct Case { const char* arguments; const char* caption; };
    const Case cases[] = {
        {"pref", "Preferences"}, {"warn cj", kHiddenFrameCaption}, {"warn bad", kDriverCaption}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        WarningHandler dialog(c.caption, {});
        DWORD boxProcess = 0;
        bench::WindowWatcher box("VNLSDK Critical Error", "#32770", 20000, [&](HWND w) {
            ::GetWindowThreadProcessId(w, &boxProcess);
            bench::PressButton(w, IDOK);
        });
        bench::RunResult run = sdktest::RunProbe(c.arguments);
        dialog.Stop();
        EXPECT_EQ(run.out.substr(0, 1), "0") << run.out << run.err;
        ASSERT_TRUE(box.Wait());
        char expected[128];
        std::snprintf(expected, sizeof(expected), "Missing VNLBINX.dll resource - error 0000007E - proc: %08lX",
                      boxProcess);
        EXPECT_EQ(box.Text(), expected);
        EXPECT_TRUE(dialog.Seen().empty());
    }
    EXPECT_EQ(bench::ReadDword(HKEY_CURRENT_USER, kDriversKey, "kbdhook"), 0u);
}

}  // namespace
