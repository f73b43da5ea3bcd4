// The check a channel runs when it opens with the skip flag zero: the stand-in
// driver lists the keyboard filters this test chooses, whose files are real
// signed, altered or unsigned copies put into the system's Drivers folder.
// Untrusted drivers are reported through VNLBIN1 (events in Wine's event-log
// trace, the warning on a thread of its own) and recorded under the user's
// "UntrustedDrivers" key.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "BenchPaths.h"
#include "DriverChannel.h"
#include "DriverControl.h"
#include "EventLogTrace.h"
#include "Process.h"
#include "Registry.h"
#include "WineTrace.h"
#include "Windows.h"

namespace {

constexpr const char* kDriversKey =
    "Software\\Microsoft\\Internet Explorer\\LowRegistry\\Software\\VNL\\UntrustedDrivers";
constexpr const char* kWarningCaption = "Untrusted keyboard driver";
const wchar_t* const kFixtures[] = {L"kbdsigned.sys", L"kbdaltered.sys", L"kbdplain.sys"};

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring FixtureFolder() {
    return Widen(bench::TestsDir()) + L"\\trust\\";
}

std::wstring DriversFolder() {
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\Drivers\\";
}

vnl::FilterEntry Entry(const std::wstring& name, std::uint32_t inUse = 1) {
    return bench::MakeFilterEntry(name, inUse);
}

// Closes every untrusted-driver warning that appears within `timeoutMs` and
// returns how many there were.
int DismissWarnings(DWORD timeoutMs) {
    int seen = 0;
    while (HWND warning = bench::WaitForWindow(kWarningCaption, "", seen == 0 ? timeoutMs : 3000)) {
        ++seen;
        bench::PressButton(warning, IDCANCEL);
        bench::WaitForWindowGone(warning);
    }
    return seen;
}

class TrustCheck : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string der = bench::TestsDir() + "\\trust\\signing-cert.der";
        rootAdded_ =
            bench::RunProgram(bench::Quoted(bench::TestsDir() + "\\trust_root.exe") + " add " + bench::Quoted(der))
                .exitCode == 0;
        for (const wchar_t* file : kFixtures)
            ::CopyFileW((FixtureFolder() + file).c_str(), (DriversFolder() + file).c_str(), FALSE);
    }
    static void TearDownTestSuite() {
        const std::string der = bench::TestsDir() + "\\trust\\signing-cert.der";
        bench::RunProgram(bench::Quoted(bench::TestsDir() + "\\trust_root.exe") + " remove " + bench::Quoted(der));
        for (const wchar_t* file : kFixtures) ::DeleteFileW((DriversFolder() + file).c_str());
    }

    void SetUp() override {
        ASSERT_TRUE(rootAdded_);
        ASSERT_TRUE(control_.IsOpen());
        control_.Reset();
        // The helper VNLBIN1 starts for each event prints it on Wine's trace.
        ::SetEnvironmentVariableA("WINEDEBUG", bench::kEventLogTrace);
    }
    void TearDown() override {
        ::SetEnvironmentVariableA("WINEDEBUG", nullptr);
        control_.UseDefaultFilters();
    }

    // Opens a channel with the check; `events` receives the reported driver
    // names, `warnings` the number of warnings shown.
    int OpenWithCheck(std::vector<std::string>& events, int& warnings) {
        bench::TraceCursor trace;
        vnl::DriverChannel channel;
        const int result = channel.Open(0);
        warnings = DismissWarnings(result == 10 ? 10000 : 1500);
        events.clear();
        for (const auto& entry : bench::ParseEventLogTrace(trace.ReadNew())) {
            EXPECT_EQ(entry.eventId, 0xC00003E8u);
            events.push_back(entry.strings.empty() ? "" : entry.strings[0]);
        }
        return result;
    }

    bench::DriverControl control_;
    bench::ScopedKeySnapshot writableUser_{HKEY_CURRENT_USER, bench::kWritableUserKey};
    static inline bool rootAdded_ = false;
};

TEST_F(TrustCheck, TrustedOrUnusedEntriesGiveZeroAndClearTheList) {
    bench::SetDword(HKEY_CURRENT_USER, kDriversKey, "\\Driver\\old", 1);
    ASSERT_TRUE(control_.SetFilters({Entry(L"\\Driver\\kbdsigned"), Entry(L"\\Driver\\kbdplain", 0)}));
    std::vector<std::string> events;
    int warnings = 0;
    EXPECT_EQ(OpenWithCheck(events, warnings), 0);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(warnings, 0);
    EXPECT_FALSE(bench::KeyExists(HKEY_CURRENT_USER, kDriversKey)) << "the list of untrusted drivers stayed";
}

TEST_F(TrustCheck, EachUntrustedDriverIsReportedRecordedAndWarnedAbout) {
    ASSERT_TRUE(control_.SetFilters({Entry(L"\\Driver\\kbdplain"), Entry(L"\\Driver\\kbdsigned"),
                                     Entry(L"\\Driver\\kbdaltered"), Entry(L"kbdnobackslash")}));
    std::vector<std::string> events;
    int warnings = 0;
    EXPECT_EQ(OpenWithCheck(events, warnings), 10);
    EXPECT_EQ(events, (std::vector<std::string>{"\\Driver\\kbdplain", "\\Driver\\kbdaltered", "kbdnobackslash"}));
    EXPECT_GE(warnings, 1);
    for (const char* name : {"\\Driver\\kbdplain", "\\Driver\\kbdaltered", "kbdnobackslash"})
        EXPECT_EQ(bench::ReadDword(HKEY_CURRENT_USER, kDriversKey, name), 0u) << name;
    EXPECT_FALSE(bench::ReadDword(HKEY_CURRENT_USER, kDriversKey, "\\Driver\\kbdsigned").has_value());

    // Checked again with the user's "do not warn again" on one of them: the
    // values stay as they are, and every untrusted driver is reported again.
    bench::SetDword(HKEY_CURRENT_USER, kDriversKey, "\\Driver\\kbdplain", 1);
    EXPECT_EQ(OpenWithCheck(events, warnings), 10);
    EXPECT_EQ(events.size(), 3u);
    EXPECT_EQ(bench::ReadDword(HKEY_CURRENT_USER, kDriversKey, "\\Driver\\kbdplain"), 1u);
    EXPECT_EQ(bench::ReadDword(HKEY_CURRENT_USER, kDriversKey, "\\Driver\\kbdaltered"), 0u);
}

// The entries examined follow the length the driver returns, rounded up to
// whole entries; a name that fills its entry without a terminator is read
// only within it.
TEST_F(TrustCheck, ReturnedLengthDecidesTheEntriesExamined) {
    struct Case { const char* label; std::uint32_t length; size_t events; };
    const Case cases[] = {
        {"one byte short of two entries: both", 2 * 788 - 1, 2}, {"788 bytes: one", 788, 1}, {"0 bytes: none", 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(control_.SetFilters({Entry(L"\\Driver\\kbdplain"), Entry(L"\\Driver\\kbdaltered")}, c.length));
        std::vector<std::string> events;
        int warnings = 0;
        EXPECT_EQ(OpenWithCheck(events, warnings), c.events == 0 ? 0 : 10);
        EXPECT_EQ(events.size(), c.events);
    }

    vnl::FilterEntry unterminated = Entry(L"");
    const std::wstring filler = L"\\Driver\\" + std::wstring(vnl::kFilterNameUnits, L'k');
    for (size_t i = 0; i < vnl::kFilterNameUnits; ++i) unterminated.name[i] = static_cast<char16_t>(filler[i]);
    ASSERT_TRUE(control_.SetFilters({unterminated}));
    std::vector<std::string> events;
    int warnings = 0;
    EXPECT_EQ(OpenWithCheck(events, warnings), 10) << "a path too long for 260 units is not trusted";
    EXPECT_EQ(events.size(), 1u);
}

}  // namespace
