#include "platform/UserAccountManager.h"

#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

TEST(UserAccountManager, LocalDirectoryAccountsUnderUsersInUidOrder) {
    TestSystem system;
    system.addUser("bob", 502);
    system.addUser("anna", 501);
    system.addUser("root", 0, "/var/root");
    system.addUser("_daemon", 1, "/var/empty");
    system.addUser("carl", 502);
    system.addUser("shared", 600, "/Users"); // the folder itself counts
    system.addUser("odd", 700, "/Usersx/odd");
    EXPECT_EQ(UserAccountManager().getAllUserName(),
              (std::vector<std::string>{"anna", "bob", "carl", "shared", "odd"}));
}

TEST(UserAccountManager, BrokenRecordsAndUnusableNamesAreLeftOut) {
    TestSystem system;
    system.addUser("anna", 501);
    system.writeFile("/var/db/dslocal/nodes/Default/users/broken.plist", "garbage");
    system.writePlist("/var/db/dslocal/nodes/Default/users/nohome.plist",
                      plistDictionary({{"name", PlistValue::stringArray({"nohome"})}}));
    system.writePlist("/var/db/dslocal/nodes/Default/users/bad.plist",
                      plistDictionary({{"name", PlistValue::stringArray({std::string("b\xFF")})},
                                       {"home", PlistValue::stringArray({"/Users/b"})}}));
    system.writePlist("/var/db/dslocal/nodes/Default/users/climb.plist",
                      plistDictionary({{"name", PlistValue::stringArray({".."})},
                                       {"home", PlistValue::stringArray({"/Users/.."})}}));
    system.writeFile("/var/db/dslocal/nodes/Default/users/readme.txt", "not a record");
    EXPECT_EQ(UserAccountManager().getAllUserName(), (std::vector<std::string>{"anna"}));
}

TEST(UserAccountManager, NoLocalDirectoryGivesNoAccounts) {
    TestSystem system;
    EXPECT_TRUE(UserAccountManager().getAllUserName().empty());
}
