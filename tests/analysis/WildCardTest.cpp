#include "analysis/AnalyzePathManager.h"

#include "platform/CTaskController.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::vector<std::string> sorted(std::vector<std::string> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
}

// What find(1) itself matches for a wildcard path below a folder of the system, as system paths.
std::vector<std::string> foundByFind(const TestSystem& system, const std::string& folder,
                                     const std::string& tail) {
    std::string hostRoot;
    for (const char c : system.root()) {
        if (std::string_view(".*[]^$\\+?").find(c) != std::string_view::npos) {
            hostRoot += '\\';
        }
        hostRoot += c;
    }
    const auto run = CTaskController::run(
        "/usr/bin/find", {system.host(folder), "-regex",
                          hostRoot + AnalyzePathManager::convertRegularExplession(tail).value(), "-print0"});
    std::vector<std::string> paths;
    for (size_t start = 0, end; run && (end = run->output.find('\0', start)) != std::string::npos;
         start = end + 1) {
        paths.push_back(run->output.substr(start + system.root().size(), end - start - system.root().size()));
    }
    return sorted(paths);
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

// Tails with characters an expression reads specially match in the process exactly what find matches,
// names that are no text or hold a line feed included.
TEST(WildCard, OtherTailsMatchWhatFindMatches) {
    TestSystem system;
    for (const char* name :
         {"TORVA",         "TORVAA",      "TORVA+", "TORVA?",      "TORVx",       "a\nb",        "TORVA\tx",
          "\xff\xfeTORVA", "x{2}",        "xx",     "x(y)",        "p|q",         "c^d",         "e$f",
          "back\\slash",   "caf\xc3\xa9", "ab]",    "TORVA.plist", "TORVAxplist", "word TORVA_1"}) {
        system.writeFile(std::string("/Library/Printers/") + name + "/file");
    }
    const char* tails[] = {"TORVA+*",         "TORVA?*",        "*x{2}*",     "*x\\{2\\}*",
                           "*x(y)*",          "*p|q*",          "*c^d*",      "*e$f*",
                           "*k\\\\s*",        "*[^x]b*",        "*a[^x]b",    "*\\(TORVA\\|caf\\)*",
                           "*caf[\xc3\xa9]*", "*[[:alpha:]]x*", "TORVA\\w*",  "*[z-a]*",
                           "*[]]*",           "*A+?*",          "*\\<TORVA*", "*\\(x\\)\\1*"};
    AnalyzePathManager analysis;
    for (const char* tail : tails) {
        std::vector<std::string> expanded =
            analysis.apartPathList(std::string("/Library/Printers/") + tail).value();
        EXPECT_EQ(expanded.back(), "") << tail;
        expanded.pop_back();
        EXPECT_EQ(sorted(expanded), foundByFind(system, "/Library/Printers", tail)) << tail;
    }
    EXPECT_TRUE(analysis.getMWarnings().empty());

    // An expression find refuses expands to nothing, and says why.
    EXPECT_EQ(analysis.apartPathList("/Library/Printers/TORVA[*"), std::vector<std::string>{""});
    ASSERT_EQ(analysis.getMWarnings().size(), 1u);
    EXPECT_TRUE(analysis.getMWarnings()[0].starts_with("cannot expand /Library/Printers/TORVA[*: "))
        << analysis.getMWarnings()[0];
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
