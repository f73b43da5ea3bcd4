// VNLBIN1 as a file: its export table, version and string table, and how its
// exports treat null arguments.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
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

// The names in the module's export directory, as the loader sees them.
std::set<std::string> ExportedNames(HMODULE module) {
    auto* base = reinterpret_cast<const BYTE*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::set<std::string> names;
    if (!dir.VirtualAddress) return names;
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.insert(reinterpret_cast<const char*>(base + nameRvas[i]));
    return names;
}

TEST(SdkLibrary, ExportsExactlyTheNineFunctionsByPlainName) {
    Library library;
    ASSERT_NE(library.module, nullptr);
    const std::set<std::string> expected = {
        "VNLSDKGetAlwaysOn", "VNLSDKGetUnhideFrame", "VNLSDKGetRedFrameBorder", "VNLSDKGetCryptoColor",
        "VNLSDKShowPref",    "VNLSDKShowCJWarn",     "VNLSDKShowBadDWarn",      "VNLSDKAddEvent",
        "VNLSDKShowEvents"};
    EXPECT_EQ(ExportedNames(library.module), expected);
    for (const auto& name : expected) EXPECT_NE(::GetProcAddress(library.module, name.c_str()), nullptr) << name;
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
