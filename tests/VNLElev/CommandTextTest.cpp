// Reading the helper's command text, in-process.
#include <gtest/gtest.h>

#include <string>

#include "CommandText.h"

namespace {

TEST(CommandText, ProgramPathEndsAtTheFirstBlankOutsideQuotes) {
    const struct {
        const char* commandLine;
        const char* commandText;
    } cases[] = {
        {"\"C:\\Program Files\\Varnel\\VNLElev.exe\" e C00003E8 1 kbdhook", "e C00003E8 1 kbdhook"},
        {"C:\\Varnel\\VNLElev.exe v", "v"},
        {"C:\\Varnel\\VNLElev.exe\t \tv", "v"},
        {"C:\\Program\" \"Files\\VNLElev.exe v", "v"},  // quotes toggle anywhere in the path
        {"\"C:\\Program Files\\VNLElev.exe\"v", ""},     // a closing quote does not end the path
        {"\"C:\\Program Files\\VNLElev.exe\"", ""},
        {"\"C:\\Program Files\\VNLElev.exe v", ""},      // quote never closed: all of it is the path
        {"VNLElev.exe   ", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(vnl::SkipProgramPath(c.commandLine), c.commandText) << c.commandLine;
    }
    EXPECT_STREQ(vnl::SkipProgramPath(nullptr), "");
}

TEST(CommandText, ViewerParameterIsNeverCutShort) {
    char parameter[300];
    ASSERT_TRUE(vnl::BuildViewerParameter("C:\\Program Files\\Varnel\\", parameter, sizeof(parameter)));
    EXPECT_STREQ(parameter, "/v:\"C:\\Program Files\\Varnel\\events\\vnlevents.xml\"");

    // The longest folder a 260-byte path buffer holds still yields the whole path.
    std::string longest = "C:\\" + std::string(255, 'd') + "\\";
    ASSERT_EQ(longest.size(), 259u);
    ASSERT_TRUE(vnl::BuildViewerParameter(longest.c_str(), parameter, sizeof(parameter)));
    EXPECT_EQ(std::string(parameter), "/v:\"" + longest + "events\\vnlevents.xml\"");

    // A buffer too small gets nothing rather than a cut path.
    char small[20];
    EXPECT_FALSE(vnl::BuildViewerParameter("C:\\Program Files\\Varnel\\", small, sizeof(small)));
    EXPECT_STREQ(small, "");
}

}  // namespace
