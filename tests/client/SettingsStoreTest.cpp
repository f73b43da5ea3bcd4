#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "BenchPaths.h"
#include "Process.h"
#include "Registry.h"
#include "ResourceInstance.h"
#include "SettingsStore.h"
#include "UniqueAny.h"
#include "Windows.h"

namespace {

using bench::kMachineKey;

std::string ModuleFileName(HMODULE module) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(module, path, MAX_PATH);
    std::string s = path;
    return s.substr(s.find_last_of('\\') + 1);
}

std::string ExpectedCriticalError(DWORD error) {
    char text[128];
    std::snprintf(text, sizeof(text), "Missing VNLBINX.dll resource - error %08X - proc: %08X",
                  static_cast<unsigned>(error), static_cast<unsigned>(::GetCurrentProcessId()));
    return text;
}

class MachineSettings : public ::testing::Test {
protected:
    bench::ScopedKeySnapshot machine_{HKEY_LOCAL_MACHINE, kMachineKey};
};

struct ProductCase {
    const char* label;
    DWORD type;        // 0: value absent
    std::string data;  // raw bytes of the value
    const char* library;  // null: none
};

std::string Dword(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), sizeof(v)); }

TEST_F(MachineSettings, ProductCodeSelectsResourceLibrary) {
    const ProductCase cases[] = {
        {"absent", 0, "", "VNLBIN3.DLL"},
        {"4096", REG_DWORD, Dword(0x1000), "VNLBIN3.DLL"},
        {"8192", REG_DWORD, Dword(0x2000), "VNLBIN4.DLL"},
        {"16384", REG_DWORD, Dword(0x4000), "VNLBIN4.DLL"},
        {"32768", REG_DWORD, Dword(0x8000), "VNLBIN5.DLL"},
        {"36864", REG_DWORD, Dword(0x9000), "VNLBIN6.DLL"},
        {"40960", REG_DWORD, Dword(0xA000), "VNLBIN7.DLL"},
        {"45056", REG_DWORD, Dword(0xB000), "VNLBIN8.DLL"},
        {"49152", REG_DWORD, Dword(0xC000), "VNLBIN9.DLL"},
        {"53248", REG_DWORD, Dword(0xD000), "VNLBIN10.DLL"},
        {"57344", REG_DWORD, Dword(0xE000), "VNLBIN11.DLL"},
        {"61440", REG_DWORD, Dword(0xF000), "VNLBIN12.DLL"},
        {"string counts as absent", REG_SZ, std::string("8192\0", 5), "VNLBIN3.DLL"},
        {"two bytes count as absent", REG_BINARY, std::string("\x00\x20", 2), "VNLBIN3.DLL"},
        {"eight bytes count as absent", REG_QWORD, Dword(0x2000) + Dword(0), "VNLBIN3.DLL"},
        {"4097 names none", REG_DWORD, Dword(0x1001), nullptr},
        {"0 names none", REG_DWORD, Dword(0), nullptr},
    };
    std::string lastProductName;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        bench::DeleteValue(HKEY_LOCAL_MACHINE, kMachineKey, "ProductCode");
        if (c.type)
            bench::SetRaw(HKEY_LOCAL_MACHINE, kMachineKey, "ProductCode", c.type, c.data.data(),
                          static_cast<DWORD>(c.data.size()));
        ::SetLastError(0);
        HMODULE library = vnl::LoadResourceModule();
        if (!c.library) {
            EXPECT_EQ(library, nullptr);
            EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
            continue;
        }
        ASSERT_NE(library, nullptr);
        EXPECT_STRCASEEQ(ModuleFileName(library).c_str(), c.library);
        char name[260] = {};
        EXPECT_GT(::LoadStringA(library, 212, name, sizeof(name)), 0);
        ::FreeLibrary(library);
    }
}

TEST_F(MachineSettings, NestedScopesRestoreTheModulesOwnInstance) {
    vnl::InitModuleInstance(::GetModuleHandleA(nullptr));
    const HINSTANCE own = vnl::ResourceInstance();
    ASSERT_EQ(own, ::GetModuleHandleA(nullptr));
    {
        vnl::ResourceModuleScope outer;
        ASSERT_TRUE(outer.loaded());
        EXPECT_EQ(vnl::ResourceInstance(), outer.library());
        char text[260] = {};
        EXPECT_GT(::LoadStringA(vnl::ResourceInstance(), 216, text, sizeof(text)), 0);
        EXPECT_STREQ(text, "Encryption is protecting your keystrokes");
        {
            vnl::ResourceModuleScope inner;
            ASSERT_TRUE(inner.loaded());
            EXPECT_EQ(vnl::ResourceInstance(), inner.library());
        }
        EXPECT_EQ(vnl::ResourceInstance(), outer.library());
    }
    EXPECT_EQ(vnl::ResourceInstance(), own);
}

// Scopes on two threads that overlap without nesting: A opens, B opens, A
// closes while B's dialog would still be loading, then B closes.
TEST_F(MachineSettings, OverlappingScopesOnTwoThreadsKeepTheLibraryUntilTheLastCloses) {
    vnl::InitModuleInstance(::GetModuleHandleA(nullptr));
    const HINSTANCE own = vnl::ResourceInstance();
    vnl::UniqueEvent aOpen(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    vnl::UniqueEvent aMayClose(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    vnl::UniqueEvent aClosed(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    HINSTANCE library = nullptr;
    std::thread a([&] {
        {
            vnl::ResourceModuleScope scope;
            library = scope.library();
            ::SetEvent(aOpen.get());
            ::WaitForSingleObject(aMayClose.get(), 10000);
        }
        ::SetEvent(aClosed.get());
    });
    ASSERT_EQ(::WaitForSingleObject(aOpen.get(), 10000), WAIT_OBJECT_0);
    ASSERT_NE(library, nullptr);
    {
        vnl::ResourceModuleScope scope;
        ASSERT_TRUE(scope.loaded());
        ::SetEvent(aMayClose.get());
        ASSERT_EQ(::WaitForSingleObject(aClosed.get(), 10000), WAIT_OBJECT_0);
        EXPECT_EQ(vnl::ResourceInstance(), library) << "the first scope to close restored under an open one";
    }
    a.join();
    EXPECT_EQ(vnl::ResourceInstance(), own) << "the last scope to close left the library as the source";
}

// A code outside the table, and a library that is not there: the scope shows
// the critical error box (read from the real box) and leaves the instance alone.
TEST_F(MachineSettings, ScopeReportsMissingLibraryInCriticalErrorBox) {
    const std::string hidden = bench::System32Dir() + "\\VNLBIN5.DLL";
    const std::string aside = hidden + ".aside";
    struct Case { const char* label; DWORD code; bool hideLibrary; };
    const Case cases[] = {{"code outside the table", 4097, false}, {"library file missing", 0x8000, true}};
    vnl::InitModuleInstance(::GetModuleHandleA(nullptr));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        bench::SetDword(HKEY_LOCAL_MACHINE, kMachineKey, "ProductCode", c.code);
        if (c.hideLibrary) {
            ASSERT_TRUE(::MoveFileA(hidden.c_str(), aside.c_str()));
        }
        bench::WindowWatcher box("VNLSDK Critical Error");
        const HINSTANCE before = vnl::ResourceInstance();
        bool loaded;
        {
            vnl::ResourceModuleScope scope;  // blocks in the box until the watcher presses OK
            loaded = scope.loaded();
            EXPECT_EQ(vnl::ResourceInstance(), before);
        }
        if (c.hideLibrary) ::MoveFileA(aside.c_str(), hidden.c_str());
        EXPECT_FALSE(loaded);
        ASSERT_TRUE(box.Wait());
        EXPECT_EQ(box.Text(), ExpectedCriticalError(ERROR_MOD_NOT_FOUND));
        EXPECT_EQ(vnl::ResourceInstance(), before);
    }
}

TEST_F(MachineSettings, InstallPathEndsInOneBackslash) {
    struct Case { const char* label; DWORD type; std::string data; std::string expected; };
    const std::string longest(258, 'a');  // 258 characters + backslash + NUL fill 260 bytes
    const std::string tooLong(259, 'b');  // no room left for the backslash
    const std::string oversize(300, 'c');
    const Case cases[] = {
        {"absent", 0, "", "\\"},
        {"empty", REG_SZ, std::string(1, '\0'), "\\"},
        {"without backslash", REG_SZ, std::string("C:\\Program Files\\Varnel\0", 24), "C:\\Program Files\\Varnel\\"},
        {"with backslash", REG_SZ, std::string("C:\\Varnel\\\0", 11), "C:\\Varnel\\"},
        {"longest that fits", REG_SZ, longest + '\0', longest + "\\"},
        {"no room for the backslash", REG_SZ, tooLong + '\0', "\\"},
        {"longer than the buffer", REG_SZ, oversize + '\0', "\\"},
        {"stored without terminator", REG_SZ, std::string(260, 'd'), "\\"},
        {"number instead of text", REG_DWORD, Dword(7), "\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        bench::DeleteValue(HKEY_LOCAL_MACHINE, kMachineKey, "installpath");
        if (c.type)
            bench::SetRaw(HKEY_LOCAL_MACHINE, kMachineKey, "installpath", c.type, c.data.data(),
                          static_cast<DWORD>(c.data.size()));
        char guard[300];
        memset(guard, 0x5A, sizeof(guard));
        vnl::ReadInstallPath(guard);
        EXPECT_EQ(std::string(guard), c.expected);
        for (size_t i = vnl::kPathBufferSize; i < sizeof(guard); ++i) {
            ASSERT_EQ(guard[i], 0x5A) << "wrote past 260 bytes";
        }
    }
}

// The per-user key's two roads: below version 6 straight under HKCU; from 6 on
// under the browser's writable root, and nowhere when the browser offers none.
TEST(UserSettingsKey, FollowsSystemVersionAndWritableRoot) {
    bench::ScopedKeySnapshot direct(HKEY_CURRENT_USER, bench::kUserKey);
    bench::ScopedKeySnapshot writable(HKEY_CURRENT_USER, bench::kWritableUserKey);
    struct Case { const char* label; const char* version; bool override; const char* out; const char* where; };
    const Case cases[] = {
        {"XP, direct", "winxp", false, "key", bench::kUserKey},
        {"XP ignores the browser", "winxp", true, "key", bench::kUserKey},
        {"7 through the writable root", "win7", true, "key", bench::kWritableUserKey},
        {"7 without a writable root", "win7", false, "no-key", nullptr},
    };
    const std::string probe = bench::Quoted(bench::TestsDir() + "\\settings_probe.exe") + " user-key";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        bench::DeleteValue(HKEY_CURRENT_USER, bench::kUserKey, "ProbeMarker");
        bench::DeleteValue(HKEY_CURRENT_USER, bench::kWritableUserKey, "ProbeMarker");
        bench::ScopedAppDefaults app("settings_probe.exe");
        app.SetWindowsVersion(c.version);
        if (c.override) app.SetDllOverride("ieframe", "native"); else app.RemoveDllOverride("ieframe");
        bench::RunResult r = bench::RunProgram(probe);
        ASSERT_TRUE(r.started);
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(r.out, std::string(c.out) + "\r\n");
        for (const char* key : {bench::kUserKey, bench::kWritableUserKey}) {
            bool expected = c.where && std::string(c.where) == key;
            EXPECT_EQ(bench::ReadDword(HKEY_CURRENT_USER, key, "ProbeMarker").has_value(), expected) << key;
        }
    }
}

}  // namespace
