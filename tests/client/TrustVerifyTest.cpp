// Verifying keyboard filter driver files with the system's trust services:
// real signatures made by the build (see make-trust-fixtures.sh), real
// WinVerifyTrust. The test certificate is trusted only while a test puts it
// among the machine's trusted roots.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "BenchPaths.h"
#include "Process.h"
#include "TrustCheck.h"

namespace {

std::wstring FixturePath(const wchar_t* file) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"trust\\" + file;
}

// The build's test certificate is among the machine's trusted roots while
// the suite runs (put there by a process of its own: a process keeps the roots
// it saw when it first built a chain).
class DriverFileTrust : public ::testing::Test {
protected:
    static void SetUpTestSuite() { rootAdded_ = TrustRoot("add") == 0; }
    static void TearDownTestSuite() { TrustRoot("remove"); }
    static DWORD TrustRoot(const char* verb) {
        const std::wstring der = FixturePath(L"signing-cert.der");
        const std::string path(der.begin(), der.end());
        return bench::RunProgram(bench::Quoted(bench::TestsDir() + "\\trust_root.exe") + " " + verb + " " +
                                 bench::Quoted(path))
            .exitCode;
    }
    static inline bool rootAdded_ = false;
};

TEST_F(DriverFileTrust, OnlyAnIntactSignatureFromATrustedRootIsTrusted) {
    ASSERT_TRUE(rootAdded_) << "the test certificate could not be made a trusted root";
    struct Case { const wchar_t* file; int trusted; };
    const Case cases[] = {
        {L"kbdsigned.sys", 1},
        {L"kbdstranger.sys", 0},  // well-formed, but signed by nobody the machine trusts
        {L"kbdaltered.sys", 0},   // signed, then changed: the digest fails
        {L"kbdplain.sys", 0},     // no signature, and no catalogue holds it
        {L"kbdmissing.sys", 0},   // no file at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.file);
        EXPECT_EQ(vnl::VerifyDriverFile(FixturePath(c.file).c_str()), c.trusted);
    }
    EXPECT_EQ(vnl::VerifyDriverFile(nullptr), 0);
}

TEST(DriverFilePath, IsTheDriversFolderAndTheNamesLastPart) {
    struct Case { const char* label; std::u16string name; bool built; std::wstring path; };
    const std::u16string longName = u"\\Driver\\" + std::u16string(240, u'k');
    const Case cases[] = {
        {"driver object name", u"\\Driver\\kbdfilt", true, L"C:\\windows\\system32\\Drivers\\kbdfilt.sys"},
        {"last part only", u"\\FileSystem\\Filters\\kbdlog", true, L"C:\\windows\\system32\\Drivers\\kbdlog.sys"},
        {"no backslash names no file", u"kbdfilt", false, L""},
        {"empty name", u"", false, L""},
        {"path of 260 units", u"\\" + std::u16string(228, u'k'), false, L""},
        {"longer still", longName, false, L""},
        {"path of 259 units, the most that fits", u"\\" + std::u16string(227, u'k'), true,
         L"C:\\windows\\system32\\Drivers\\" + std::wstring(227, L'k') + L".sys"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        wchar_t path[MAX_PATH];
        EXPECT_EQ(vnl::BuildDriverFilePath(L"C:\\windows\\system32", c.name.c_str(), c.name.size() + 1, path),
                  c.built);
        EXPECT_EQ(std::wstring(path), c.path);
    }
    // A name with no terminator is read only within its units.
    const char16_t unterminated[] = {u'\\', u'k', u'b', u'd', u'X'};
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(vnl::BuildDriverFilePath(L"C:\\sys", unterminated, 4, path));
    EXPECT_EQ(std::wstring(path), L"C:\\sys\\Drivers\\kbd.sys");
}

}  // namespace
