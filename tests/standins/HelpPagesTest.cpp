// The help pages as the installation lays them out, and the product's site
// under the stand-in browser's page root: every page the system names is
// there, has a title, and every link between them leads to a page that is.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "BenchPaths.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Checks `page` in `folder` (backslash-terminated) and the relative links it holds.
void ExpectPage(const std::string& folder, const std::string& page) {
    SCOPED_TRACE(folder + page);
    const std::string text = ReadFile(folder + page);
    ASSERT_FALSE(text.empty()) << "missing or empty";
    EXPECT_TRUE(std::regex_search(text, std::regex("<title>[^<]+</title>"))) << "no title";
    const std::regex link("href=\"([^\"#:]+)(#[^\"]*)?\"");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), link); it != std::sregex_iterator(); ++it) {
        const std::string target = (*it)[1];
        EXPECT_TRUE(Exists(folder + target)) << "broken link to " << target;
    }
}

TEST(HelpPages, TheInstallationHoldsEveryPageTheSystemOpens) {
    // The toolbar's states and warning pages, and Help ("docs\index.html": the
    // file system does not tell the folder's case apart).
    for (const char* page : {"Docs\\varnel_states.html", "Docs\\faq.html", "docs\\index.html"}) {
        const std::string path = bench::InstallDir() + page;
        const size_t slash = path.find_last_of('\\');
        ExpectPage(path.substr(0, slash + 1), path.substr(slash + 1));
    }
}

TEST(HelpPages, TheProductSiteHasItsHomePageAndTheLinkedPages) {
    // http://www.varnel.example/ and the Preferences links /VnlInfo and /Desktop.
    const std::string site = bench::BinDir() + "\\pages\\www.varnel.example\\";
    for (const char* page : {"index.html", "VnlInfo", "Desktop"}) ExpectPage(site, page);
}

}  // namespace
