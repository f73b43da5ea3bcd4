// The four preference getters, each called through sdk_probe so that the
// system-version path and the writable per-user root can be chosen per run.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "Registry.h"
#include "SdkProbe.h"

namespace {

using bench::ScopedKeySnapshot;

constexpr DWORD kPreset1 = 0xA5A5A5A5;  // what sdk_probe presets its outputs to
constexpr DWORD kPreset2 = 0x5A5A5A5A;

struct GetterResult {
    long status = -1;
    DWORD first = 0;
    DWORD second = 0;
};

GetterResult CallGetter(const std::string& getter) {
    bench::RunResult run = sdktest::RunProbe("get " + getter);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    GetterResult result;
    unsigned long first = 0, second = 0;
    int fields = std::sscanf(run.out.c_str(), "%ld %lx %lx", &result.status, &first, &second);
    EXPECT_GE(fields, 2) << "probe printed: " << run.out;
    result.first = first;
    result.second = second;
    return result;
}

// A stored value: absent when `type` is 0.
struct Stored {
    DWORD type = 0;
    std::string data;
};

std::string Bytes(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof(value)); }
Stored Dword(DWORD value) { return {REG_DWORD, Bytes(value)}; }
Stored Text(const char* text) { return {REG_SZ, std::string(text, std::strlen(text) + 1)}; }
const Stored kAbsent{};

void Store(const std::string& key, const std::string& name, const Stored& value) {
    bench::DeleteValue(HKEY_CURRENT_USER, key, name);
    if (value.type)
        bench::SetRaw(HKEY_CURRENT_USER, key, name, value.type, value.data.data(),
                      static_cast<DWORD>(value.data.size()));
}

void ExpectStored(const std::string& key, const std::string& name, const Stored& expected) {
    auto value = bench::ReadValue(HKEY_CURRENT_USER, key, name);
    if (!expected.type) {
        EXPECT_FALSE(value.has_value()) << name << " should not exist";
        return;
    }
    ASSERT_TRUE(value.has_value()) << name << " is missing";
    EXPECT_EQ(value->type, expected.type) << name;
    EXPECT_EQ(std::string(value->data.begin(), value->data.end()), expected.data) << name;
}

class PreferenceGetters : public ::testing::Test {
protected:
    // Both per-user keys, and the probe's Wine settings (Windows version,
    // ieframe override), come back as they were.
    ScopedKeySnapshot oldPath_{HKEY_CURRENT_USER, bench::kUserKey};
    ScopedKeySnapshot writablePath_{HKEY_CURRENT_USER, bench::kWritableUserKey};
    bench::ScopedAppDefaults probe_{"sdk_probe.exe"};

    void SetUp() override {
        bench::DeleteKeyTree(HKEY_CURRENT_USER, bench::kUserKey);
        bench::DeleteKeyTree(HKEY_CURRENT_USER, bench::kWritableUserKey);
    }
};

struct FlagGetter {
    const char* getter;
    const char* value;
};
constexpr FlagGetter kFlagGetters[] = {
    {"AlwaysOn", "AlwaysSecure"},
    {"UnhideFrame", "UnhideFrame"},
    {"RedFrameBorder", "RedFrameBorder"},
};

TEST_F(PreferenceGetters, SingleValueGettersReadOrRepairTheirValue) {
    struct Case {
        const char* label;
        Stored stored;
        long status;
        DWORD output;
        bool rewritten;  // the value is DWORD 1 afterwards
    };
    const Case cases[] = {
        {"absent: created", kAbsent, ERROR_FILE_NOT_FOUND, 1, true},
        {"DWORD 0 read as stored", Dword(0), 0, 0, false},
        {"DWORD 7 read as stored", Dword(7), 0, 7, false},
        {"4-byte binary", {REG_BINARY, Bytes(0)}, ERROR_INVALID_DATA, 1, true},
        {"string of 3 characters", Text("yes"), ERROR_INVALID_DATA, 1, true},
        {"string longer than 3 characters", Text("true"), ERROR_MORE_DATA, 1, true},
        {"DWORD-typed but 2 bytes", {REG_DWORD, std::string("\x05\x00", 2)}, ERROR_INVALID_DATA, 1, true},
    };
    for (const auto& getter : kFlagGetters) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(getter.getter) + ": " + c.label);
            Store(bench::kWritableUserKey, getter.value, c.stored);
            GetterResult result = CallGetter(getter.getter);
            EXPECT_EQ(result.status, c.status);
            EXPECT_EQ(result.first, c.output);
            ExpectStored(bench::kWritableUserKey, getter.value, c.rewritten ? Dword(1) : c.stored);
        }
    }
}

TEST_F(PreferenceGetters, CryptoColorReadsRepairsOrLeavesThePair) {
    struct Case {
        const char* label;
        Stored enabled, color;
        long status;
        DWORD outEnabled, outColor;
        Stored enabledAfter, colorAfter;
    };
    const Case cases[] = {
        {"first run: both created", kAbsent, kAbsent, ERROR_FILE_NOT_FOUND, 1, 0xCCFFCC, Dword(1), Dword(0xCCFFCC)},
        {"both DWORDs: pure red", Dword(0), Dword(0x0000FF), 0, 0, 0x0000FF, Dword(0), Dword(0x0000FF)},
        {"enabled 0 without colour: nothing written or returned", Dword(0), kAbsent, ERROR_FILE_NOT_FOUND, kPreset1,
         kPreset2, Dword(0), kAbsent},
        {"enabled wrongly typed: both reset", Text("on"), Dword(0x0000FF), ERROR_INVALID_DATA, 1, 0xCCFFCC, Dword(1),
         Dword(0xCCFFCC)},
        {"enabled too large: both reset", Text("enabled"), kAbsent, ERROR_MORE_DATA, 1, 0xCCFFCC, Dword(1),
         Dword(0xCCFFCC)},
        {"colour wrongly typed: left alone", Dword(1), {REG_BINARY, Bytes(0xFF)}, ERROR_INVALID_DATA, kPreset1,
         kPreset2, Dword(1), {REG_BINARY, Bytes(0xFF)}},
        {"colour too large: left alone", Dword(1), Text("#FF0000"), ERROR_MORE_DATA, kPreset1, kPreset2, Dword(1),
         Text("#FF0000")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Store(bench::kWritableUserKey, "HighlightEnabled", c.enabled);
        Store(bench::kWritableUserKey, "HighlightColor", c.color);
        GetterResult result = CallGetter("CryptoColor");
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.first, c.outEnabled);
        EXPECT_EQ(result.second, c.outColor);
        ExpectStored(bench::kWritableUserKey, "HighlightEnabled", c.enabledAfter);
        ExpectStored(bench::kWritableUserKey, "HighlightColor", c.colorAfter);
    }
}

TEST_F(PreferenceGetters, BelowVersion6TheKeyLiesDirectlyUnderTheUser) {
    probe_.SetWindowsVersion("winxp");
    GetterResult flag = CallGetter("AlwaysOn");
    EXPECT_EQ(flag.status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(flag.first, 1u);
    GetterResult color = CallGetter("CryptoColor");
    EXPECT_EQ(color.status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(color.second, 0xCCFFCCu);
    ExpectStored(bench::kUserKey, "AlwaysSecure", Dword(1));
    ExpectStored(bench::kUserKey, "HighlightColor", Dword(0xCCFFCC));
    EXPECT_FALSE(bench::KeyExists(HKEY_CURRENT_USER, bench::kWritableUserKey));

    // A stored value is read from there too.
    Store(bench::kUserKey, "AlwaysSecure", Dword(0));
    EXPECT_EQ(CallGetter("AlwaysOn").first, 0u);
}

TEST_F(PreferenceGetters, WithoutAWritableRootNothingIsReadOrWritten) {
    // Wine's own ieframe.dll has the call but gives no root.
    probe_.RemoveDllOverride("ieframe");
    for (const auto& getter : kFlagGetters) {
        SCOPED_TRACE(getter.getter);
        GetterResult result = CallGetter(getter.getter);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.first, kPreset1);
    }
    GetterResult color = CallGetter("CryptoColor");
    EXPECT_EQ(color.status, 0);
    EXPECT_EQ(color.first, kPreset1);
    EXPECT_EQ(color.second, kPreset2);
    EXPECT_FALSE(bench::KeyExists(HKEY_CURRENT_USER, bench::kWritableUserKey));
    EXPECT_FALSE(bench::KeyExists(HKEY_CURRENT_USER, bench::kUserKey));
}

}  // namespace
