#include "analysis/AnalyzePathManager.h"

#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::vector<std::string> sorted(std::vector<std::string> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace

TEST(WildCard, QuotingAndEscapesAreStripped) {
    EXPECT_EQ(AnalyzePathManager::removeUnUseSignal("\"/Library/Printers/TORVA Fax\""),
              "/Library/Printers/TORVA Fax");
    EXPECT_EQ(AnalyzePathManager::removeUnUseSignal("'/Library/TORVA'"), "/Library/TORVA");
    EXPECT_EQ(AnalyzePathManager::removeUnUseSignal("/Library/Printers/TORVA\\ Fax"),
              "/Library/Printers/TORVA Fax");
    EXPECT_EQ(AnalyzePathManager::removeUnUseSignal("/Library/TORVA\\"), "/Library/TORVA");
    EXPECT_EQ(AnalyzePathManager::removeUnUseSignal("\\\"/Library/TORVA\\\""), "\"/Library/TORVA\"");
    EXPECT_EQ(AnalyzePathManager::removeUnUseSignal("/Users/anna/Anna's Files"), "/Users/anna/Anna's Files");
    EXPECT_EQ(AnalyzePathManager::removeUnUseSignal("\"/a\"b\""), "/a\"b");
    EXPECT_EQ(AnalyzePathManager::removeUnUseSignal(""), "");
    EXPECT_EQ(AnalyzePathManager::removeUnUseSignal("\""), "");
    EXPECT_FALSE(AnalyzePathManager::removeUnUseSignal(std::nullopt));
}

TEST(WildCard, SplitAtTheFirstComponentWithAStar) {
    auto users = AnalyzePathManager::apartWildCardPath("/Users/*/Library/Printers");
    ASSERT_TRUE(users);
    EXPECT_EQ(users->searchingPath, "/Users");
    EXPECT_EQ(users->wildCardPath, "*/Library/Printers");
    auto printers = AnalyzePathManager::apartWildCardPath("/Library/Printers/TORVA*");
    EXPECT_EQ(printers->searchingPath, "/Library/Printers");
    EXPECT_EQ(printers->wildCardPath, "TORVA*");
    auto top = AnalyzePathManager::apartWildCardPath("/*");
    EXPECT_EQ(top->searchingPath, "/");
    EXPECT_EQ(top->wildCardPath, "*");
    auto relative = AnalyzePathManager::apartWildCardPath("TORVA*");
    EXPECT_EQ(relative->searchingPath, "");
    EXPECT_EQ(relative->wildCardPath, "TORVA*");
    EXPECT_FALSE(AnalyzePathManager::apartWildCardPath("/Library/Printers"));
    EXPECT_FALSE(AnalyzePathManager::apartWildCardPath(std::nullopt));
}

TEST(WildCard, TailToRegularExpression) {
    EXPECT_EQ(AnalyzePathManager::convertRegularExplession("TORVA*.plist"), ".*TORVA.*\\.plist.*");
    EXPECT_EQ(AnalyzePathManager::convertRegularExplession("*/Library/Printers"), ".*.*/Library/Printers.*");
    EXPECT_EQ(AnalyzePathManager::convertRegularExplession("[ab]*"), ".*[ab].*.*");
    EXPECT_FALSE(AnalyzePathManager::convertRegularExplession(std::nullopt));
}

TEST(WildCard, PlainEntriesExpandIntoReadableItemsThenThemselves) {
    TestSystem system;
    system.writeFile("/Library/Printers/TORVA/a.txt");
    system.writeFile("/Library/Printers/TORVA/sub/b.txt");
    system.makeLink("/Library/Printers/TORVA/dangling", "nowhere");
    system.writeFile("/Library/single.txt");
    AnalyzePathManager analysis;

    EXPECT_EQ(analysis.apartPathList("/Library/Printers/TORVA"),
              (std::vector<std::string>{"/Library/Printers/TORVA/a.txt", "/Library/Printers/TORVA/sub",
                                        "/Library/Printers/TORVA/sub/b.txt", "/Library/Printers/TORVA"}));
    EXPECT_EQ(analysis.apartPathList("/Library/single.txt"),
              (std::vector<std::string>{"/Library/single.txt"}));
    EXPECT_EQ(analysis.apartPathList("/Library/missing"), (std::vector<std::string>{"/Library/missing"}));
    EXPECT_FALSE(analysis.apartPathList(std::nullopt));
}

TEST(WildCard, FindExpandsOtherWildcards) {
    TestSystem system;
    system.writeFile("/Library/Printers/TORVA/Fax/fax.plugin");
    system.writeFile("/Library/Printers/TORVA.plist");
    system.writeFile("/Library/Printers/Other/TORVAHelper");
    system.writeFile("/Library/Printers/Other/unrelated");
    system.writeFile("/Library/Preferences/TORVA.plist");
    AnalyzePathManager analysis;

    auto found = analysis.apartPathList("/Library/Printers/TORVA*");
    ASSERT_TRUE(found);
    // find's output ends with a line feed: the empty last line stays and names nothing.
    ASSERT_FALSE(found->empty());
    EXPECT_EQ(found->back(), "");
    found->pop_back();
    EXPECT_EQ(sorted(*found),
              (std::vector<std::string>{"/Library/Printers/Other/TORVAHelper", "/Library/Printers/TORVA",
                                        "/Library/Printers/TORVA.plist", "/Library/Printers/TORVA/Fax",
                                        "/Library/Printers/TORVA/Fax/fax.plugin"}));

    auto inside = analysis.apartPathList("/Library/Printers/TORVA/*");
    ASSERT_TRUE(inside);
    EXPECT_EQ(sorted(*inside),
              (std::vector<std::string>{"", "/Library/Printers/TORVA", "/Library/Printers/TORVA/Fax",
                                        "/Library/Printers/TORVA/Fax/fax.plugin"}));

    auto dotted = analysis.apartPathList("/Library/*/TORVA.plist");
    ASSERT_TRUE(dotted);
    EXPECT_EQ(sorted(*dotted), (std::vector<std::string>{"", "/Library/Preferences/TORVA.plist",
                                                         "/Library/Printers/TORVA.plist"}));
    // A dot of the tail is a dot, not any character.
    system.writeFile("/Library/Printers/TORVAxplist");
    EXPECT_EQ(analysis.apartPathList("/Library/Printers/TORVA.plist*")->size(), 2u);
}

TEST(WildCard, TheSystemRootsOwnFolderNameNeverMatchesThePattern) {
    TestSystem system; // its folder name holds "uninstaller-test"
    system.writeFile("/Library/x/file");
    AnalyzePathManager analysis;
    auto found = analysis.apartPathList("/Library/*uninstaller-test*");
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, (std::vector<std::string>{""}));
}

TEST(WildCard, RegularExpressionCharactersKeepTheirMeaning) {
    TestSystem system;
    system.writeFile("/Library/Printers/TORVAa");
    system.writeFile("/Library/Printers/TORVAb");
    system.writeFile("/Library/Printers/TORVAc");
    AnalyzePathManager analysis;
    auto found = analysis.apartPathList("/Library/Printers/TORVA[ab]*");
    ASSERT_TRUE(found);
    EXPECT_EQ(sorted(*found),
              (std::vector<std::string>{"", "/Library/Printers/TORVAa", "/Library/Printers/TORVAb"}));
}

TEST(WildCard, UsersWildcardFindsTheFolderInEveryHome) {
    TestSystem system;
    system.writeFile("/Users/anna/Library/Printers/TORVA/settings.plist");
    system.makeFolder("/Users/bob/Library/Printers");
    system.writeFile("/Users/Shared/Library/Printers/TORVA/shared.plist");
    system.writeFile("/Users/.localized");
    system.writeFile("/Users/anna/Library/Preferences/com.torva.inkjet.plist");
    system.writeFile("/Users/anna/Library/Preferences/com.torvaXinkjetXplist");
    system.writeFile("/Secret/Library/Printers/TORVA/secret");
    system.makeLink("/Users/mallory", "/Secret");
    AnalyzePathManager analysis;

    auto found = analysis.apartPathList("/Users/*/Library/Printers/TORVA");
    ASSERT_TRUE(found);
    EXPECT_EQ(sorted(*found),
              (std::vector<std::string>{"/Users/Shared/Library/Printers/TORVA",
                                        "/Users/Shared/Library/Printers/TORVA/shared.plist",
                                        "/Users/anna/Library/Printers/TORVA",
                                        "/Users/anna/Library/Printers/TORVA/settings.plist"}));
    // A dotted tail names its literal path, dots kept.
    EXPECT_EQ(analysis.apartPathList("/Users/*/Library/Preferences/com.torva.inkjet.plist"),
              (std::vector<std::string>{"/Users/anna/Library/Preferences/com.torva.inkjet.plist"}));
    EXPECT_FALSE(analysis.apartPathList("/Users/*/Library/NoSuchFolder"));
}

TEST(WildCard, AWildcardInARelativeFirstComponentSearchesNothing) {
    TestSystem system;
    AnalyzePathManager analysis;
    EXPECT_EQ(analysis.apartPathList("TORVA*"), (std::vector<std::string>{""}));
}
