// VNLBIN1 as a file: its export table, version and string table, and how its
// exports treat null arguments.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "BenchPaths.h"
#include "VNLSDK.h"
#include "VersionInfo.h"

namespace {

std::string LibraryPath() { return bench::BinDir() + "\\VNLBIN1.dll"; }

struct Library {
    HMODULE module = nullptr;
    explicit Library(DWORD flags = 0) { module = ::LoadLibraryExA(LibraryPath().c_str(), nullptr, flags); }
    ~Library() { if (module) ::FreeLibrary(module); }
};

TEST(SdkLibrary, ExportsTheSixFunctionsByPlainName) {
    Library library;
    ASSERT_NE(library.module, nullptr);
    for (const char* name : {"VNLSDKGetAlwaysOn", "VNLSDKGetUnhideFrame", "VNLSDKGetRedFrameBorder",
                             "VNLSDKGetCryptoColor", "VNLSDKAddEvent", "VNLSDKShowEvents"}) {
        EXPECT_NE(::GetProcAddress(library.module, name), nullptr) << name;
    }
    // Not yet built: no stub may stand in for them.
    for (const char* name : {"VNLSDKShowPref", "VNLSDKShowCJWarn", "VNLSDKShowBadDWarn"}) {
        EXPECT_EQ(::GetProcAddress(library.module, name), nullptr) << name;
    }
    EXPECT_EQ(::GetProcAddress(library.module, "VNLSDKGetAlwaysOn@4"), nullptr);
}

TEST(SdkLibrary, CarriesItsVersionAndStrings) {
    auto version = bench::ReadVersionInfo(LibraryPath());
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->fileVersion, "2.0.0.42");
    EXPECT_EQ(version->productVersion, "2.0.0.0");
    EXPECT_EQ(version->String("InternalName"), "VNLSDKEx");

    Library library(LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(library.module, nullptr);
    const struct { UINT id; const char* text; } strings[] = {
        {131, "%s has detected the following untrusted keyboard driver: %s. More detail on the error is available in "
              "the Event Viewer under Manage in the toolbar. %s is operating in Warn mode with the status indicator "
              "set to orange, as shown below."},
        {215, "Manage your settings"},
        {216, "Encryption is protecting your keystrokes"},
        {217, "Encryption is Off, Click here to learn why"},
        {218, "Encryption is operating with a warning present"},
        {10001, "Information"},
        {10002, "Warning"},
        {10003, "Critical"},
        {20001, "VNL Toolbar"},
        {20002, "VNL Service"},
        {20003, "VNL Monitoring"},
        {20004, "VNL SDK Application"},
        {30001, "Unknown event"},
        {30002, "Discrepancy detected in kernel level"},
        {30003, "Attempted fix in kernel level discrepancy"},
        {30004, "Kernel level discrepancy overwritten successfully"},
        {30005, "Unable to overwrite kernel level discrepancy (3 attempts made)"},
    };
    for (const auto& s : strings) {
        char text[1024] = {};
        ::LoadStringA(library.module, s.id, text, sizeof(text));
        EXPECT_STREQ(text, s.text) << "string " << s.id;
    }
}

TEST(SdkLibrary, NullArgumentsAreRefusedWithoutACrash) {
    Library library;
    ASSERT_NE(library.module, nullptr);
    using Flag = LONG(WINAPI*)(DWORD*);
    using Pair = LONG(WINAPI*)(DWORD*, DWORD*);
    using AddEvent = void(WINAPI*)(const VNLSDK_EVENT*);
    for (const char* name : {"VNLSDKGetAlwaysOn", "VNLSDKGetUnhideFrame", "VNLSDKGetRedFrameBorder"}) {
        auto get = reinterpret_cast<Flag>(reinterpret_cast<void*>(::GetProcAddress(library.module, name)));
        ASSERT_NE(get, nullptr);
        EXPECT_EQ(get(nullptr), ERROR_INVALID_PARAMETER) << name;
    }
    auto pair = reinterpret_cast<Pair>(reinterpret_cast<void*>(::GetProcAddress(library.module, "VNLSDKGetCryptoColor")));
    ASSERT_NE(pair, nullptr);
    DWORD value = 7;
    EXPECT_EQ(pair(nullptr, &value), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(pair(&value, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(value, 7u);
    auto add = reinterpret_cast<AddEvent>(reinterpret_cast<void*>(::GetProcAddress(library.module, "VNLSDKAddEvent")));
    ASSERT_NE(add, nullptr);
    add(nullptr);  // returns at once
}

}  // namespace
