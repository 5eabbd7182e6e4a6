#include "platform/Path.h"

#include <gtest/gtest.h>

TEST(Path, StandardizeCollapsesSlashesDotsAndTrailingSlash) {
    EXPECT_EQ(path::standardize("//Library///Printers/./TORVA/"), "/Library/Printers/TORVA");
    EXPECT_EQ(path::standardize("/Library/Printers/../Preferences"), "/Library/Preferences");
    EXPECT_EQ(path::standardize("/../../etc"), "/etc");
    EXPECT_EQ(path::standardize("/"), "/");
    EXPECT_EQ(path::standardize("/."), "/");
    EXPECT_EQ(path::standardize("a/../../b"), "../b");
    EXPECT_EQ(path::standardize(""), "");
}

TEST(Path, JoinPutsExactlyOneSlashBetweenParts) {
    EXPECT_EQ(path::join("/", "/Applications"), "/Applications");
    EXPECT_EQ(path::join("/Volumes/Data/", "Applications"), "/Volumes/Data/Applications");
    EXPECT_EQ(path::join("/Users", "anna"), "/Users/anna");
    EXPECT_EQ(path::join("", "x"), "x");
    EXPECT_EQ(path::join("/a", ""), "/a");
}

TEST(Path, ComponentsRoundTrip) {
    EXPECT_EQ(path::lastComponent("/a/b/"), "b");
    EXPECT_EQ(path::lastComponent("/"), "/");
    EXPECT_EQ(path::deletingLastComponent("/a/b"), "/a");
    EXPECT_EQ(path::deletingLastComponent("/a"), "/");
    EXPECT_EQ(path::deletingLastComponent("TORVA*"), "");
    const std::vector<std::string> parts = {"/", "Users", "*", "Library"};
    EXPECT_EQ(path::components("/Users//*/Library"), parts);
    EXPECT_EQ(path::fromComponents(parts), "/Users/*/Library");
    EXPECT_EQ(path::fromComponents({"*", "Library"}), "*/Library");
}

TEST(Path, FolderContainmentNeedsASlashAfterTheFolderAndTheRootHoldsEveryAbsolutePath) {
    EXPECT_TRUE(path::isInFolder("/Library/Printers/TORVA", "/Library/Printers/TORVA"));
    EXPECT_TRUE(path::isInFolder("/Library/Printers/TORVA/Fax", "/Library/Printers/TORVA"));
    EXPECT_FALSE(path::isInFolder("/Library/Printers/TORVAX", "/Library/Printers/TORVA"));
    EXPECT_TRUE(path::isInFolder("/", "/"));
    EXPECT_FALSE(path::isInFolder("x", "/"));
}

// The spellings a Mac's default volume takes for one item: letter case, composed and decomposed
// Unicode, repeated and trailing slashes, "." and "..".
TEST(Path, ComparisonFollowsTheDefaultMacVolume) {
    const std::string composed = "/Users/Ren\xC3\xA9"
                                 "e"; // é as one code point
    const std::string decomposed = "/users/RENE\xCC\x81"
                                   "E"; // E + combining acute, upper case
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    const Case cases[] = {
        {"/LIBRARY", "/library", true},
        {"/library/printers/", "/Library/Printers", true},
        {"//Library//Printers", "/Library/Printers", true},
        {"/Library/../Users/anna", "/Users/anna", true},
        {"Library/Printers", "/Library/Printers", true},
        {"/Library/Printer", "/Library/Printers", false},
        {"/Stra\xC3\x9F"
         "e",
         "/STRASSE", true}, // full case folding
    };
    for (const Case& c : cases) {
        EXPECT_EQ(path::isSameItem(c.a, c.b), c.same) << c.a << " / " << c.b;
    }
    EXPECT_TRUE(path::isSameItem(composed, decomposed));
    EXPECT_TRUE(path::isWithin(decomposed + "/Documents/x", composed));
    EXPECT_TRUE(path::isWithin("/anything/at/all", "/"));
    EXPECT_TRUE(path::isWithin("/Library", "/"));
    EXPECT_FALSE(path::isWithin("/Lib", "/Library"));
    EXPECT_FALSE(path::isWithin("/LibraryX", "/Library"));
    EXPECT_TRUE(path::isStrictlyWithin("/library/PRINTERS", "/Library"));
    EXPECT_FALSE(path::isStrictlyWithin("/LIBRARY/", "/Library"));
    // Bytes that are not UTF-8 still compare, with their ASCII letters folded.
    EXPECT_TRUE(path::isSameItem("/A\xFF", "/a\xFF"));
}
