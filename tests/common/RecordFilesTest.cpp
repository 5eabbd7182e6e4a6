// The files only a software's own information-file and receipt steps may remove, in any spelling.

#include "common/RecordFiles.h"

#include <gtest/gtest.h>

TEST(RecordFiles, KnowsInformationFilesAndReceiptsAsAMacNamesThem) {
    for (const char* path : {"/Library/Preferences/com.torva.Scan Utility.UnInstallList.plist",
                             "/library/preferences/COM.TORVA.x.uninstalllist.plist",
                             "/Library/Printers/../Preferences/com.torva.x.UnInstallList.plist"}) {
        EXPECT_TRUE(RecordFiles::isInformationFile(path)) << path;
    }
    for (const char* path : {"/Library/Preferences/com.torva.UnInstallList.plist",
                             "/Library/Preferences/sub/com.torva.x.UnInstallList.plist",
                             "/Library/Preferences/com.torva.x.UnInstallList.plist.bak"}) {
        EXPECT_FALSE(RecordFiles::isInformationFile(path)) << path;
    }
    for (const char* path :
         {"/Library/Receipts/Fax.pkg/Contents/Archive.bom", "/var/db/receipts/x.bom",
          "/private/var/db/receipts/x.plist", "/System/Library/Receipts/x.bom",
          "/Library/Apple/System/Library/Receipts/x.plist", "/Users/anna/Library/Receipts/x.plist",
          "/USERS/anna/library/receipts/boms/x.bom"}) {
        EXPECT_TRUE(RecordFiles::isInReceiptsFolder(path)) << path;
    }
    for (const char* path : {"/Library/Receipts", "/Users/anna/Library/Receipts", "/Library/ReceiptsX/x",
                             "/Users/Library/Receipts/x", "/var/db/receipt/x"}) {
        EXPECT_FALSE(RecordFiles::isInReceiptsFolder(path)) << path;
    }
}
