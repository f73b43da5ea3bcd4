// The registrar applying a script to the registry in both modes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Registrar.h"
#include "Registry.h"

namespace {

using vnl::regscript::Replacement;

constexpr const char* kTestKey = "Software\\VnlRegistrarTest";

TEST(Registrar, AppliesAScriptInBothModes) {
    bench::ScopedKeySnapshot snapshot(HKEY_CURRENT_USER, kTestKey);
    bench::DeleteKeyTree(HKEY_CURRENT_USER, kTestKey);
    // What was there before: a stale subkey under a ForceRemove key, a key the
    // script deletes, and a value in a key the script keeps.
    bench::SetDword(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Forced\\Stale", "Old", 1);
    bench::SetDword(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Obsolete", "Old", 1);
    bench::SetString(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Kept", "Theirs", "keep me");

    const std::string script =
        "HKCU { NoRemove Software { VnlRegistrarTest {\n"
        "  ForceRemove Forced = s 'fresh' { val Path = e '%ROOT%\\x' }\n"
        "  Delete Obsolete\n"
        "  NoRemove Kept { val Ours = d '5'  Inner { val V = b '01' } }\n"
        "} } }\n";
    const Replacement root{"ROOT", "%SystemRoot%"};
    ASSERT_EQ(vnl::ApplyRegistryScriptText(script, vnl::RegistryScriptMode::Register, {&root, 1}), S_OK);

    const std::string base = kTestKey;
    EXPECT_FALSE(bench::KeyExists(HKEY_CURRENT_USER, base + "\\Forced\\Stale"));
    auto forced = bench::ReadValue(HKEY_CURRENT_USER, base + "\\Forced", "");
    ASSERT_TRUE(forced);
    EXPECT_EQ(forced->type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(reinterpret_cast<const char*>(forced->data.data()), "fresh");
    auto path = bench::ReadValue(HKEY_CURRENT_USER, base + "\\Forced", "Path");
    ASSERT_TRUE(path);
    EXPECT_EQ(path->type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_STREQ(reinterpret_cast<const char*>(path->data.data()), "%SystemRoot%\\x");
    EXPECT_FALSE(bench::KeyExists(HKEY_CURRENT_USER, base + "\\Obsolete"));
    EXPECT_EQ(bench::ReadDword(HKEY_CURRENT_USER, base + "\\Kept", "Ours"), 5u);
    EXPECT_TRUE(bench::ReadValue(HKEY_CURRENT_USER, base + "\\Kept\\Inner", "V"));

    ASSERT_EQ(vnl::ApplyRegistryScriptText(script, vnl::RegistryScriptMode::Unregister, {&root, 1}), S_OK);
    EXPECT_FALSE(bench::KeyExists(HKEY_CURRENT_USER, base + "\\Forced"));
    EXPECT_FALSE(bench::KeyExists(HKEY_CURRENT_USER, base + "\\Kept\\Inner"));
    EXPECT_FALSE(bench::ReadValue(HKEY_CURRENT_USER, base + "\\Kept", "Ours"));
    EXPECT_TRUE(bench::ReadValue(HKEY_CURRENT_USER, base + "\\Kept", "Theirs"));
    // Not marked, but it holds a kept key that is not empty: it stays.
    EXPECT_TRUE(bench::KeyExists(HKEY_CURRENT_USER, base));

    // With nothing of the kept key's left, the unmarked key around it goes.
    bench::DeleteValue(HKEY_CURRENT_USER, base + "\\Kept", "Theirs");
    bench::DeleteKeyTree(HKEY_CURRENT_USER, base + "\\Kept");
    ASSERT_EQ(vnl::ApplyRegistryScriptText(script, vnl::RegistryScriptMode::Unregister, {&root, 1}), S_OK);
    EXPECT_FALSE(bench::KeyExists(HKEY_CURRENT_USER, base));
    EXPECT_TRUE(bench::KeyExists(HKEY_CURRENT_USER, "Software"));
}

TEST(Registrar, BadScriptWritesNothingAndMissingResourceFails) {
    bench::ScopedKeySnapshot snapshot(HKEY_CURRENT_USER, kTestKey);
    bench::DeleteKeyTree(HKEY_CURRENT_USER, kTestKey);
    const std::string script = "HKCU { NoRemove Software { VnlRegistrarTest { val V = d '1' } } }\nHKLM { K = q 'x' }";
    EXPECT_EQ(vnl::ApplyRegistryScriptText(script, vnl::RegistryScriptMode::Register), vnl::VNL_E_REGISTRY_SCRIPT_SYNTAX);
    EXPECT_FALSE(bench::KeyExists(HKEY_CURRENT_USER, kTestKey));

    EXPECT_EQ(vnl::ApplyRegistryScript(::GetModuleHandleW(nullptr), 4242, vnl::RegistryScriptMode::Register),
              HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND));
}

}  // namespace
