#include "catalogue/SearchSoftwareInformationManager.h"

#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

TEST(SoftwareSearch, UninstallInformationFilesByExactNamePattern) {
    TestSystem system;
    system.writeFile("/Library/Preferences/com.torva.Sample.UnInstallList.plist");
    system.writeFile("/Library/Preferences/com.torva.readme.txt");
    system.writeFile("/Library/Preferences/Com.torva.Sample.UnInstallList.plist");
    system.writeFile("/Library/Preferences/com.torva.Sample.uninstalllist.plist");
    system.makeFolder("/Library/Preferences/com.torva.Folder.UnInstallList.plist");
    system.writeFile("/Library/Preferences/com.torva.Another.UnInstallList.plist");

    SearchSoftwareInformationManager search;
    EXPECT_TRUE(search.searchUnInstallPList("/Library/Preferences/"));
    // Names only are tested; the folder with a matching name is listed too (reading it fails later).
    const std::vector<std::string> found = {"com.torva.Another.UnInstallList.plist",
                                            "com.torva.Folder.UnInstallList.plist",
                                            "com.torva.Sample.UnInstallList.plist"};
    EXPECT_EQ(search.getMUnInstallSoftwarePListArray(), found);

    // A second call appends again.
    EXPECT_TRUE(search.searchUnInstallPList("/Library/Preferences/"));
    EXPECT_EQ(search.getMUnInstallSoftwarePListArray().size(), 6u);
}

TEST(SoftwareSearch, NothingFoundOrNoFolder) {
    TestSystem system;
    system.writeFile("/Library/Preferences/com.apple.dock.plist");
    SearchSoftwareInformationManager search;
    EXPECT_FALSE(search.searchUnInstallPList("/Library/Preferences/"));
    EXPECT_FALSE(search.searchUnInstallPList("/No/Such/Folder/"));
    EXPECT_FALSE(search.searchUnInstallPList(std::nullopt));
    EXPECT_TRUE(search.getMUnInstallSoftwarePListArray().empty());
}

TEST(SoftwareSearch, ReceiptsGiveEntriesWithTheirOwnIdentifiers) {
    TestSystem system;
    const std::string folder = "/Library/Apple/System/Library/Receipts/";
    system.writePlist(folder + "com.apple.pkg.TORVAPrinterDrivers.plist",
                      plistDictionary({{"PackageIdentifier", "com.apple.pkg.TORVAPrinterDrivers"}}), true);
    system.writePlist(folder + "com.apple.pkg.TORVAPagePrinterA.plist",
                      plistDictionary({{"PackageIdentifier", "com.apple.pkg.TORVAPagePrinterA.real"}}));
    system.writeFile(folder + "com.apple.pkg.TORVAPrinterDrivers.bom", "BOMStore");
    system.writeFile(folder + "com.apple.pkg.TORVABroken.plist", "garbage");
    system.writePlist(folder + "com.apple.pkg.TORVANoId.plist", plistDictionary({{"PackageVersion", "1"}}));
    system.writePlist(folder + "com.apple.pkg.TORVABadType.plist",
                      plistDictionary({{"PackageIdentifier", PlistValue::integer(7)}}));
    system.writePlist(folder + "com.apple.pkg.Other.plist",
                      plistDictionary({{"PackageIdentifier", "com.apple.pkg.Other"}}));

    SearchSoftwareInformationManager search;
    EXPECT_TRUE(search.searchSoftwareUpdateReciepts(folder));
    const std::vector<PackageInfoEntry> expected = {
        {"com.apple.pkg.TORVAPagePrinterA.real", "-", "-", "Bundle"},
        {"com.apple.pkg.TORVAPrinterDrivers", "-", "-", "Bundle"}};
    EXPECT_EQ(search.getMSoftwareUpdateBomArray(), expected);

    // A later search that finds nothing empties the list; an absent folder leaves it alone.
    EXPECT_TRUE(search.searchSoftwareUpdateReciepts(folder));
    EXPECT_EQ(search.getMSoftwareUpdateBomArray().size(), 2u);
    EXPECT_FALSE(search.searchSoftwareUpdateReciepts(std::nullopt));
    EXPECT_EQ(search.getMSoftwareUpdateBomArray().size(), 2u);
    EXPECT_FALSE(search.searchSoftwareUpdateReciepts("/var/db/receipts/"));
    EXPECT_TRUE(search.getMSoftwareUpdateBomArray().empty());
}
