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

TEST(Path, FolderContainmentNeedsASlashAfterTheFolder) {
    EXPECT_TRUE(path::isInFolder("/Library/Printers/TORVA", "/Library/Printers/TORVA"));
    EXPECT_TRUE(path::isInFolder("/Library/Printers/TORVA/Fax", "/Library/Printers/TORVA"));
    EXPECT_FALSE(path::isInFolder("/Library/Printers/TORVAX", "/Library/Printers/TORVA"));
}
