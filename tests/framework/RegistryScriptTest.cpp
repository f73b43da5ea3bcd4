// The registry-script parser on good and bad text. No Windows headers: this
// file also builds natively with the parser.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "RegistryScript.h"

namespace {

using namespace vnl::regscript;

Script Parse(const std::string& text, std::vector<Replacement> replacements = {}) {
    Script script;
    ParseError error;
    EXPECT_TRUE(ParseRegistryScript(text, replacements, script, &error))
        << "line " << error.line << ": " << error.message << "\n" << text;
    return script;
}

TEST(RegistryScript, ParsesTheNestedFormWithMarksValuesAndReplacements) {
    const std::string text =
        "HKCR\n"
        "{\n"
        "    Widget.Widget.1 = s 'Widget'\n"
        "    NoRemove CLSID\n"
        "    {\n"
        "        ForceRemove {1234} = s 'Widget Class'\n"
        "        {\n"
        "            InprocServer32 = s '%MODULE%'\n"
        "            {\n"
        "                val ThreadingModel = s 'Apartment'\n"
        "            }\n"
        "        }\n"
        "    }\n"
        "}\n"
        "HKEY_LOCAL_MACHINE { noremove 'Soft ware' { Delete Old  val Flag = b '00ff'  val N = d '0x2A' } }\n";
    Script script = Parse(text, {{"module", "C:\\it's {odd}\\w.dll"}});
    ASSERT_EQ(script.roots.size(), 2u);

    const RootBlock& hkcr = script.roots[0];
    EXPECT_EQ(hkcr.root, Root::ClassesRoot);
    ASSERT_EQ(hkcr.keys.size(), 2u);
    EXPECT_EQ(hkcr.keys[0].name, "Widget.Widget.1");
    EXPECT_EQ(hkcr.keys[0].mark, KeyMark::None);
    ASSERT_EQ(hkcr.keys[0].values.size(), 1u);
    EXPECT_EQ(hkcr.keys[0].values[0].name, "");
    EXPECT_EQ(hkcr.keys[0].values[0].text, "Widget");

    const Key& clsid = hkcr.keys[1];
    EXPECT_EQ(clsid.name, "CLSID");
    EXPECT_EQ(clsid.mark, KeyMark::NoRemove);
    ASSERT_EQ(clsid.keys.size(), 1u);
    const Key& cls = clsid.keys[0];
    EXPECT_EQ(cls.name, "{1234}");
    EXPECT_EQ(cls.mark, KeyMark::ForceRemove);
    ASSERT_EQ(cls.keys.size(), 1u);
    const Key& server = cls.keys[0];
    ASSERT_EQ(server.values.size(), 2u);
    EXPECT_EQ(server.values[0].name, "");
    EXPECT_EQ(server.values[0].text, "C:\\it's {odd}\\w.dll") << "a replacement is taken literally";
    EXPECT_EQ(server.values[1].name, "ThreadingModel");
    EXPECT_EQ(server.values[1].text, "Apartment");
    EXPECT_TRUE(clsid.HoldsNoRemove());
    EXPECT_FALSE(cls.HoldsNoRemove());

    const RootBlock& hklm = script.roots[1];
    EXPECT_EQ(hklm.root, Root::LocalMachine);
    ASSERT_EQ(hklm.keys.size(), 1u);
    const Key& soft = hklm.keys[0];
    EXPECT_EQ(soft.name, "Soft ware");
    EXPECT_EQ(soft.mark, KeyMark::NoRemove);
    ASSERT_EQ(soft.keys.size(), 1u);
    EXPECT_EQ(soft.keys[0].name, "Old");
    EXPECT_EQ(soft.keys[0].mark, KeyMark::Delete);
    ASSERT_EQ(soft.values.size(), 2u);
    EXPECT_EQ(soft.values[0].type, ValueType::Binary);
    EXPECT_EQ(soft.values[0].bytes, (std::vector<std::uint8_t>{0x00, 0xFF}));
    EXPECT_EQ(soft.values[1].type, ValueType::Dword);
    EXPECT_EQ(soft.values[1].number, 42u);
}

TEST(RegistryScript, ValueForms) {
    struct Case {
        const char* value;  // what follows "val V = "
        ValueType type;
        std::string text;
        std::uint32_t number;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"s 'it''s'", ValueType::String, "it's", 0, {}},
        {"s ''", ValueType::String, "", 0, {}},
        {"s {CB7DC2DA-D8C9}", ValueType::String, "{CB7DC2DA-D8C9}", 0, {}},
        {"S bare", ValueType::String, "bare", 0, {}},
        {"s '100%%'", ValueType::String, "100%", 0, {}},
        {"s 'two\nlines'", ValueType::String, "two\nlines", 0, {}},
        {"e '%%SystemRoot%%\\x'", ValueType::ExpandString, "%SystemRoot%\\x", 0, {}},
        {"d '0'", ValueType::Dword, "", 0, {}},
        {"d 4294967295", ValueType::Dword, "", 4294967295u, {}},
        {"d '0xFFFFFFFF'", ValueType::Dword, "", 0xFFFFFFFFu, {}},
        {"d '0X1f'", ValueType::Dword, "", 31, {}},
        {"b 'DEADbeef'", ValueType::Binary, "", 0, {0xDE, 0xAD, 0xBE, 0xEF}},
        {"b ''", ValueType::Binary, "", 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Script script = Parse(std::string("HKCU { K { val V = ") + c.value + " } }");
        ASSERT_EQ(script.roots.size(), 1u);
        ASSERT_EQ(script.roots[0].keys.size(), 1u);
        ASSERT_EQ(script.roots[0].keys[0].values.size(), 1u);
        const Value& v = script.roots[0].keys[0].values[0];
        EXPECT_EQ(v.name, "V");
        EXPECT_EQ(v.type, c.type);
        EXPECT_EQ(v.text, c.text);
        EXPECT_EQ(v.number, c.number);
        EXPECT_EQ(v.bytes, c.bytes);
    }
    // Key words are key names in quotes; every root has its short and long name.
    Script quoted = Parse("hkcu { 'NoRemove' { 'val' } } HKU { } HKEY_CURRENT_USER { } HKEY_USERS { } HKEY_CLASSES_ROOT { }");
    ASSERT_EQ(quoted.roots.size(), 5u);
    EXPECT_EQ(quoted.roots[0].keys[0].name, "NoRemove");
    EXPECT_EQ(quoted.roots[0].keys[0].mark, KeyMark::None);
    EXPECT_EQ(quoted.roots[0].keys[0].keys[0].name, "val");
    EXPECT_EQ(quoted.roots[1].root, Root::Users);
    EXPECT_EQ(quoted.roots[4].root, Root::ClassesRoot);
    EXPECT_TRUE(Parse("  \r\n\t ").roots.empty());
}

TEST(RegistryScript, BadTextFailsWithTheLineAndLeavesNothing) {
    struct Case {
        const char* label;
        std::string text;
        std::size_t line;
    };
    const std::string longName(256, 'k');
    std::string deep = "HKCR {";
    for (int i = 0; i < 40; ++i) deep += " k {";
    const Case cases[] = {
        {"unknown root", "HKXX { }", 1},
        {"no root", "Foo = s 'x'", 1},
        {"stray brace", "}", 1},
        {"root without block", "HKCR\nHKLM { }", 2},
        {"unclosed root", "HKCR {\n Foo\n", 3},
        {"unclosed key", "HKCR {\n Foo {\n", 3},
        {"unterminated quote", "HKCR {\n 'Foo }\n", 2},
        {"quote inside a bare word", "HKCR { Fo'o' }", 1},
        {"value under a root", "HKCR { val V = s 'x' }", 1},
        {"value without name", "HKCR { K { val = s 'x' } }", 1},
        {"value without equals", "HKCR { K { val V s 'x' } }", 1},
        {"key without name", "HKCR { = s 'x' }", 1},
        {"mark without key", "HKCR { NoRemove }", 1},
        {"bare key word as a name", "HKCR { K { Delete val } }", 1},
        {"unknown type", "HKCR { K = x 'a' }", 1},
        {"quoted type", "HKCR { K = 's' 'a' }", 1},
        {"type without data", "HKCR { K = s }", 1},
        {"not a number", "HKCR { K = d 'abc' }", 1},
        {"empty number", "HKCR { K = d '' }", 1},
        {"number too big", "HKCR { K = d '4294967296' }", 1},
        {"hexadecimal too big", "HKCR { K = d '0x100000000' }", 1},
        {"negative number", "HKCR { K = d '-1' }", 1},
        {"odd binary", "HKCR { K = b 'ABC' }", 1},
        {"binary not hexadecimal", "HKCR { K = b 'ZZ' }", 1},
        {"unknown replacement", "HKCR {\n K = s '%NOPE%' }", 2},
        {"lone percent", "HKCR { K = s '50% }", 1},
        {"backslash in a key name", "HKCR { 'A\\B' }", 1},
        {"empty key name", "HKCR { '' }", 1},
        {"key name too long", "HKCR { " + longName + " }", 1},
        {"nested too deep", deep, 1},
        {"NUL character", std::string("HKCR { K = s 'a") + '\0' + "b' }", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Script script;
        script.roots.resize(1);  // must be emptied
        ParseError error;
        EXPECT_FALSE(ParseRegistryScript(c.text, {}, script, &error));
        EXPECT_TRUE(script.roots.empty());
        EXPECT_EQ(error.line, c.line) << error.message;
        EXPECT_FALSE(error.message.empty());
    }
}

TEST(RegistryScript, ArbitraryTextNeverCrashes) {
    const std::string alphabet = "HKCR{}='%dbsv NoRemove\n\\0x1A";
    const Replacement replacement{"M", "x"};
    std::mt19937 random(7);
    for (int i = 0; i < 3000; ++i) {
        std::string text;
        size_t length = random() % 80;
        for (size_t j = 0; j < length; ++j) {
            text += (random() % 8 == 0) ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
        }
        Script script;
        ParseError error;
        bool ok = ParseRegistryScript(text, {&replacement, 1}, script, &error);
        if (!ok) {
            EXPECT_TRUE(script.roots.empty());
            EXPECT_GT(error.line, 0u);
        }
    }
}

}  // namespace
