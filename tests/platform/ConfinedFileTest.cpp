#include "platform/ConfinedFile.h"

#include "platform/RealPath.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

TEST(ConfinedFile, ReplacingKeepsOwnerAndModeAndLeavesNoTemporaryFile) {
    TestSystem system;
    system.writeFile("/Users/anna/Library/Preferences/x.plist", "old", 0640);
    ASSERT_EQ(::chown(system.host("/Users/anna/Library/Preferences/x.plist").c_str(), 501, 20), 0);
    ConfinedFile::Contents contents;
    ASSERT_EQ(ConfinedFile::read("/Users/anna/Library/Preferences/x.plist", contents),
              ConfinedFile::Status::Read);
    EXPECT_EQ(contents.bytes, "old");
    EXPECT_TRUE(ConfinedFile::replace("/Users/anna/Library/Preferences/x.plist", contents, "new"));
    struct stat st {};
    ASSERT_EQ(::stat(system.host("/Users/anna/Library/Preferences/x.plist").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 501u);
    EXPECT_EQ(st.st_gid, 20u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(system.read("/Users/anna/Library/Preferences/x.plist"), "new");
    EXPECT_EQ(system.tree("/Users/anna/Library/Preferences").size(), 1u);
}

TEST(ConfinedFile, AFileReplacedSinceItWasReadIsNotOverwritten) {
    TestSystem system;
    system.writeFile("/Library/Preferences/x.plist", "old");
    ConfinedFile::Contents contents;
    ASSERT_EQ(ConfinedFile::read("/Library/Preferences/x.plist", contents), ConfinedFile::Status::Read);
    ::unlink(system.host("/Library/Preferences/x.plist").c_str());
    system.writeFile("/Library/Preferences/x.plist", "someone else's");
    EXPECT_FALSE(ConfinedFile::replace("/Library/Preferences/x.plist", contents, "new"));
    EXPECT_EQ(system.read("/Library/Preferences/x.plist"), "someone else's");
}

TEST(ConfinedFile, ProtectedFilesAreNeverReplaced) {
    TestSystem system;
    system.writeFile("/private/etc/hosts", "old");
    ConfinedFile::Contents contents;
    ASSERT_EQ(ConfinedFile::read("/private/etc/hosts", contents), ConfinedFile::Status::Read);
    EXPECT_FALSE(ConfinedFile::replace("/private/etc/hosts", contents, "new"));
    EXPECT_EQ(system.read("/private/etc/hosts"), "old");
}

TEST(ConfinedFile, LinksAreNotRead) {
    TestSystem system;
    system.writeFile("/Library/Preferences/real.plist", "real");
    system.makeLink("/Library/Preferences/link.plist", "real.plist");
    ConfinedFile::Contents contents;
    EXPECT_EQ(ConfinedFile::read("/Library/Preferences/link.plist", contents), ConfinedFile::Status::IsLink);
    EXPECT_EQ(ConfinedFile::read("/Library/Preferences/none.plist", contents), ConfinedFile::Status::Missing);
    EXPECT_EQ(ConfinedFile::read("/Library/Preferences", contents), ConfinedFile::Status::NotRegular);
}

TEST(RealPath, LinksOnTheWayAreResolvedInsideTheRoot) {
    TestSystem system;
    system.makeFolder("/System/Library");
    system.makeLink("/Library/Printers/TORVA/up", "../../..");
    system.makeLink("/Library/Printers/TORVA/system", "/System");
    EXPECT_EQ(RealPath::resolve("/Library/Printers/TORVA/system/Library/new/file"),
              "/System/Library/new/file");
    EXPECT_EQ(RealPath::resolve("/Library/Printers/TORVA/up/System"), "/System");
    EXPECT_EQ(RealPath::resolve("/Library/Printers/TORVA/up/up/../x"), "/x");
    EXPECT_EQ(RealPath::resolve("/Nothing/here"), "/Nothing/here");
}
