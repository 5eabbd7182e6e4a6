#include "platform/ConfinedFile.h"

#include "platform/RealPath.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <unistd.h>

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
