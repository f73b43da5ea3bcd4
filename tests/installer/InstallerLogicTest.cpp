// The installer's command line, filter-list editing and browser names, in
// process: the cases that need no registry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "FilterList.h"
#include "ProcessNames.h"

namespace {

using vnl::FilterEdit;
using vnl::InstallerAction;

TEST(InstallerCommandLine, ExactlyOneTwoCharacterSwitch) {
    struct Case {
        std::vector<const wchar_t*> arguments;
        InstallerAction expected;
    };
    const Case cases[] = {
        {{L"/i"}, InstallerAction::Install},
        {{L"/I"}, InstallerAction::Install},
        {{L"/u"}, InstallerAction::Uninstall},
        {{L"/U"}, InstallerAction::Uninstall},
        {{L"/x"}, InstallerAction::EndBrowsers},
        {{L"/X"}, InstallerAction::EndBrowsers},
        {{L"/?"}, InstallerAction::UsageAsked},
        {{}, InstallerAction::Usage},
        {{L""}, InstallerAction::Usage},
        {{L"/"}, InstallerAction::Usage},
        {{L"/iu"}, InstallerAction::Usage},
        {{L"i"}, InstallerAction::Usage},
        {{L"-i"}, InstallerAction::Usage},
        {{L"/z"}, InstallerAction::Usage},
        {{L"/i", L"/u"}, InstallerAction::Usage},
    };
    for (const auto& c : cases) {
        std::string label;
        for (const wchar_t* a : c.arguments) label += std::string(a, a + std::wcslen(a)) + " ";
        SCOPED_TRACE("arguments: " + label);
        EXPECT_EQ(vnl::ParseInstallerCommand(static_cast<int>(c.arguments.size()), c.arguments.data()), c.expected);
    }
}

TEST(InstallerBrowserNames, PrefixWithoutRegardToCase) {
    struct Case {
        const wchar_t* name;
        bool browser;
    };
    const Case cases[] = {
        {L"iexplore.exe", true},      {L"IEXPLORE.EXE", true}, {L"FireFox.exe", true},
        {L"iexplore.exe.old", true},  // the name only has to begin with it
        {L"iexplore2.exe", false},    {L"firefox", false},     {L"firefox-bin.exe", false},
        {L"xiexplore.exe", false},    {L"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name, c.name + std::wcslen(c.name)));
        EXPECT_EQ(vnl::IsBrowserProcessName(c.name), c.browser);
    }
    EXPECT_FALSE(vnl::IsBrowserProcessName(nullptr));
}

// A list as the registry holds it: UTF-16 units, little-endian.
std::vector<uint8_t> Units(const std::u16string& text) {
    std::vector<uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
}

vnl::FilterListBuffer Buffer(const std::vector<uint8_t>& bytes) {
    vnl::FilterListBuffer list;
    std::memcpy(list.data, bytes.data(), bytes.size());
    list.length = bytes.size();
    return list;
}

std::vector<uint8_t> Bytes(const vnl::FilterListBuffer& list) {
    return std::vector<uint8_t>(list.data, list.data + list.length);
}

// A proper multi-string of one item of `chars` characters: chars + 2 units.
std::u16string LongItem(size_t chars) { return std::u16string(chars, u'f') + u'\0' + u'\0'; }

TEST(InstallerFilterList, AddPutsTheItemFirstOnceAndRemoveTakesWholeItemsOut) {
    using namespace std::string_literals;
    struct Case {
        const char* label;
        std::vector<uint8_t> before;
        FilterEdit add;
        std::vector<uint8_t> afterAdd;      // when Changed
        std::vector<uint8_t> afterRemove;   // removal applied to the list after adding
    };
    const std::vector<uint8_t> oneFilter = Units(u"kbdclass\0\0"s);
    const std::vector<uint8_t> withItem = Units(u"VNLv2\0kbdclass\0\0"s);
    std::vector<uint8_t> odd = oneFilter;
    odd.push_back(0x41);
    const Case cases[] = {
        {"one other filter", oneFilter, FilterEdit::Changed, withItem, oneFilter},
        {"present in lower case", Units(u"vnlv2\0kbdclass\0\0"s), FilterEdit::Unchanged, {}, oneFilter},
        {"present after another filter", Units(u"kbdclass\0VNLv2\0\0"s), FilterEdit::Unchanged, {}, oneFilter},
        {"present twice: both taken out", Units(u"VNLv2\0kbdclass\0vnlV2\0\0"s), FilterEdit::Unchanged, {},
         oneFilter},
        {"a longer name holding it is another filter", Units(u"VNLv2x\0kbdclass\0\0"s), FilterEdit::Changed,
         Units(u"VNLv2\0VNLv2x\0kbdclass\0\0"s), Units(u"VNLv2x\0kbdclass\0\0"s)},
        {"a shorter name is another filter", Units(u"VNLv\0\0"s), FilterEdit::Changed, Units(u"VNLv2\0VNLv\0\0"s),
         Units(u"VNLv\0\0"s)},
        {"empty list", Units(u"\0"s), FilterEdit::Changed, Units(u"VNLv2\0\0"s), Units(u"\0"s)},
        {"no data at all: the final empty string is added", {}, FilterEdit::Changed, Units(u"VNLv2\0\0"s),
         Units(u"\0"s)},
        {"no final empty string", Units(u"kbdclass\0"s), FilterEdit::Changed, withItem, oneFilter},
        {"last item without its NUL", Units(u"kbdclass"s), FilterEdit::Changed, withItem, oneFilter},
        {"odd length: the stray byte is dropped", odd, FilterEdit::Changed, withItem, oneFilter},
        {"items after the list's end are kept, not searched", Units(u"kbdclass\0\0VNLv2\0\0"s),
         FilterEdit::Changed, Units(u"VNLv2\0kbdclass\0\0VNLv2\0\0"s), Units(u"kbdclass\0\0VNLv2\0\0"s)},
        {"unterminated item at the end removed alone", Units(u"kbdclass\0VNLv2"s), FilterEdit::Unchanged, {},
         Units(u"kbdclass\0"s)},
        {"fills the buffer exactly (508 + 12 bytes)", Units(LongItem(252)), FilterEdit::Changed,
         Units(u"VNLv2\0"s + LongItem(252)), Units(LongItem(252))},
        {"two bytes too long (510 + 12)", Units(LongItem(253)), FilterEdit::TooLong, {}, Units(LongItem(253))},
        {"full buffer already holding it", Units(u"VNLv2\0"s + LongItem(252)), FilterEdit::Unchanged, {},
         Units(LongItem(252))},
        {"no terminator and no room for one", Units(std::u16string(254, u'f')), FilterEdit::TooLong, {},
         Units(std::u16string(254, u'f'))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_LE(c.before.size(), vnl::kFilterListBufferSize);
        vnl::FilterListBuffer list = Buffer(c.before);
        ASSERT_EQ(vnl::AddFilterFirst(list), c.add);
        EXPECT_EQ(Bytes(list), c.add == FilterEdit::Changed ? c.afterAdd : c.before);
        EXPECT_EQ(vnl::AddFilterFirst(list), c.add == FilterEdit::TooLong ? FilterEdit::TooLong : FilterEdit::Unchanged)
            << "a second installation changes the list again";
        const bool holds = vnl::FilterListContains(list, vnl::kFilterName);
        EXPECT_EQ(vnl::RemoveFilter(list), holds ? FilterEdit::Changed : FilterEdit::Unchanged);
        EXPECT_EQ(Bytes(list), c.afterRemove);
    }
}

TEST(InstallerFilterList, LengthBeyondTheBufferIsNeverRead) {
    vnl::FilterListBuffer list;
    list.length = vnl::kFilterListBufferSize + 2;
    EXPECT_EQ(vnl::AddFilterFirst(list), FilterEdit::TooLong);
    EXPECT_EQ(vnl::RemoveFilter(list), FilterEdit::TooLong);
    EXPECT_FALSE(vnl::FilterListContains(list, vnl::kFilterName));
}

}  // namespace
