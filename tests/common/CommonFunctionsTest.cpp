#include "common/CommonFunctions.h"

#include "tests/support/FakeTools.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

TEST(CommonFunctions, AnAbsentStringCountsAsEqualAndAsContaining) {
    EXPECT_TRUE(CommonFunctions::isEqualStringCompare(std::nullopt, "anything"));
    EXPECT_TRUE(CommonFunctions::isIncludeCheckString(std::nullopt, "x"));
    EXPECT_TRUE(CommonFunctions::isIncludeCheckString("com.apple.pkg.TORVAIJPDriver", "ijp"));
}

TEST(CommonFunctions, FolderContainment) {
    const std::vector<std::string> folders = {"/Library/Printers/TORVA"};
    EXPECT_TRUE(CommonFunctions::isIncludeFolderPathArray(folders, "/Library/Printers/TORVA/Fax"));
    EXPECT_TRUE(CommonFunctions::isIncludeFolderPathArray(folders, "/Library/Printers/TORVA"));
    EXPECT_FALSE(CommonFunctions::isIncludeFolderPathArray(folders, "/Library/Printers/TORVAX"));
    EXPECT_FALSE(CommonFunctions::isIncludeFolderPathArray(folders, "/Library/Printers"));
    EXPECT_FALSE(CommonFunctions::isIncludeFolderPathArray({}, "/Library"));
    EXPECT_FALSE(CommonFunctions::isIncludeFolderPathArray(folders, std::nullopt));
}

TEST(CommonFunctions, RemoveBackArrayObjectRemovesOnceForADoubledLabel) {
    std::vector<std::string> tiles = {"A", "B", "C"};
    EXPECT_TRUE(CommonFunctions::removeBackArrayObject(tiles, "B", 1, {"B", "B"}));
    EXPECT_EQ(tiles, (std::vector<std::string>{"A", "C"}));
    EXPECT_FALSE(CommonFunctions::removeBackArrayObject(tiles, "Z", 0, {"B"}));
    EXPECT_FALSE(CommonFunctions::removeBackArrayObject(tiles, "A", 0, {}));
    EXPECT_EQ(tiles.size(), 2u);
}

TEST(CommonFunctions, SoftwareNamesAreRenamedFromTheApplicationsInfo) {
    CommonFunctions functions;
    EXPECT_EQ(functions.convertSoftwareName("Page Printer Driver"), "Page Printer Driver & PS Driver");
    EXPECT_EQ(functions.convertSoftwareName("PC-FAX Driver"), "PC-FAX Driver");
    EXPECT_EQ(functions.convertSoftwareName("page printer driver"), "page printer driver");
    ASSERT_TRUE(functions.getCorvaneInfoRootDict());
    EXPECT_TRUE(functions.getCorvaneInfoRootDict()->find("CVIndividualPath")->asStringArray());
}

TEST(CommonFunctions, InstallPointIsTheLocationLineOfPkgutil) {
    TestSystem system;
    FakeTools tools;
    CommonFunctions functions;
    tools.add("pkgutil", "package-id: com.torva.pkg.Driver\nversion: 1.0\nlocation: Library/Printers\n"
                         "location: second\ninstall-time: 1\n");
    EXPECT_EQ(functions.getInstallPoint("com.torva.pkg.Driver", "/"), "Library/Printers");
    const auto calls = tools.calls("pkgutil");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0],
              (std::vector<std::string>{"--pkg-info", "com.torva.pkg.Driver", "--volume", system.root()}));

    tools.add("pkgutil", "package-id: x\nlocation: \ninstall-time: 1\n");
    EXPECT_EQ(functions.getInstallPoint("x", "/"), "");
    tools.add("pkgutil", "package-id: x\nlocation:\n");
    EXPECT_EQ(functions.getInstallPoint("x", "/"), "");
    tools.add("pkgutil", "package-id: x\n Location: /Applications\nlocations: y\n");
    EXPECT_FALSE(functions.getInstallPoint("x", "/"));
    tools.add("pkgutil", "", 1);
    EXPECT_FALSE(functions.getInstallPoint("x", "/"));
    EXPECT_FALSE(functions.getInstallPoint("", "/"));
}

TEST(CommonFunctions, ReceiptLookupsByFolder) {
    TestSystem system;
    FakeTools tools;
    tools.add("pkgutil", "location: Applications\n");
    CommonFunctions functions;
    const PackageInfoEntry maker{"com.torva.pkg.Utility", "Utility.pkg", "1.0", "Flat"};
    const PackageInfoEntry update = PackageInfoEntry::fromReceipt("com.apple.pkg.TORVAPrinterDrivers");

    std::string bom;
    EXPECT_FALSE(functions.getRelocatedPathFor106(maker, bom));
    EXPECT_EQ(bom, "/var/db/receipts/com.torva.pkg.Utility.bom"); // written before the test
    system.writeFile("/var/db/receipts/com.torva.pkg.Utility.bom", "BOMStore");
    system.writeFile("/Library/Apple/System/Library/Receipts/com.apple.pkg.TORVAPrinterDrivers.bom",
                     "BOMStore");
    system.writeFile("/System/Library/Receipts/com.apple.pkg.TORVAPrinterDrivers.bom", "BOMStore");

    // The maker's own packages are in /var/db/receipts whatever the version.
    bom.clear();
    EXPECT_EQ(functions.lookupReceipt(maker, 101500, bom), "Applications");
    EXPECT_EQ(bom, "/var/db/receipts/com.torva.pkg.Utility.bom");
    EXPECT_EQ(functions.lookupReceipt(update, 101500, bom), "Applications");
    EXPECT_EQ(bom, "/Library/Apple/System/Library/Receipts/com.apple.pkg.TORVAPrinterDrivers.bom");
    EXPECT_EQ(functions.lookupReceipt(update, 101406, bom), "Applications");
    EXPECT_EQ(bom, "/System/Library/Receipts/com.apple.pkg.TORVAPrinterDrivers.bom");
    // 10.10 looks in /var/db/receipts, where there is none, then in the old places: nothing.
    EXPECT_FALSE(functions.lookupReceipt(update, 101005, bom));
    EXPECT_FALSE(functions.lookupReceipt(maker, 100200, bom));

    // An identifier that is not a plain file name names no receipt.
    system.writeFile("/var/db/x.bom", "BOMStore");
    EXPECT_FALSE(functions.lookupReceipt({"../x", "-", "-", "Flat"}, 101500, bom));
}

TEST(CommonFunctions, OldReceiptsFlatAndBundle) {
    TestSystem system;
    FakeTools tools;
    tools.add("pkgutil", "location: usr/local\n");
    CommonFunctions functions;
    std::string bom = "unset";

    system.writeFile("/Library/Receipts/boms/com.torva.pkg.Flat.bom", "BOMStore");
    EXPECT_EQ(functions.lookupReceipt({"com.torva.pkg.Flat", "Flat.pkg", "1", "Flat"}, 100500, bom),
              "usr/local");
    EXPECT_EQ(bom, "/Library/Receipts/boms/com.torva.pkg.Flat.bom");

    const PackageInfoEntry bundle{"com.torva.pkg.Old", "TORVA Driver.pkg", "1", "Bundle"};
    bom = "unset";
    EXPECT_FALSE(functions.getRelocatedPathFor103Between105(bundle, bom));
    EXPECT_EQ(bom, "unset"); // written only once the BOM exists

    system.writeFile("/Library/Receipts/TORVA Driver.pkg/Contents/Archive.bom", "BOMStore");
    EXPECT_EQ(functions.getRelocatedPathFor103Between105(bundle, bom), "/"); // no Info.plist
    EXPECT_EQ(bom, "/Library/Receipts/TORVA Driver.pkg/Contents/Archive.bom");

    system.writePlist("/Library/Receipts/TORVA Driver.pkg/Contents/Info.plist",
                      plistDictionary({{"CFBundleIdentifier", "com.torva.pkg.Old"}}));
    EXPECT_EQ(functions.getRelocatedPathFor103Between105(bundle, bom), "/");
    system.writePlist("/Library/Receipts/TORVA Driver.pkg/Contents/Info.plist",
                      plistDictionary({{"IFPkgReceiptLocation", "/Library"}}));
    EXPECT_EQ(functions.getRelocatedPathFor103Between105(bundle, bom), "/Library");
    system.writePlist(
        "/Library/Receipts/TORVA Driver.pkg/Contents/Info.plist",
        plistDictionary({{"IFPkgReceiptLocation", "/Library"}, {"IFPkgRelocatedPath", "./Applications"}}));
    EXPECT_EQ(functions.lookupReceipt(bundle, 100400, bom), "./Applications");
    EXPECT_TRUE(tools.calls("pkgutil").size() == 1u); // bundle receipts never ask pkgutil
}
