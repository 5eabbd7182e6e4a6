#include "common/CommonFunctions.h"

#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

TEST(CommonFunctions, AnAbsentStringCountsAsEqualAndAsContaining) {
    EXPECT_TRUE(CommonFunctions::isEqualStringCompare(std::nullopt, "anything"));
    EXPECT_TRUE(CommonFunctions::isIncludeCheckString(std::nullopt, "x"));
    EXPECT_TRUE(CommonFunctions::isIncludeCheckString("com.apple.pkg.TORVAIJPDriver", "ijp"));
}

// How a path compares with the folders is PathRule's table; here only what has no path to compare.
TEST(CommonFunctions, NoFolderOrNoPathContainsNothing) {
    const std::vector<std::string> folders = {"/Library/Printers/TORVA"};
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
}

namespace {

// A receipt of the package database recording an install location.
void writeReceipt(const TestSystem& system, const std::string& folder, const std::string& identifier,
                  const PlistValue& location) {
    system.writePlist(folder + "/" + identifier + ".plist",
                      plistDictionary({{"PackageIdentifier", identifier}, {"InstallPrefixPath", location}}),
                      /*binary=*/true);
}

} // namespace

// The install point is what the package's receipt records, read where pkgutil would look for it (the
// folders' order and the receipt's other fields are the stand-in's tests).
TEST(CommonFunctions, InstallPointIsTheLocationTheReceiptRecords) {
    TestSystem system;
    writeReceipt(system, "/var/db/receipts", "com.torva.pkg.Driver", PlistValue("Library/Printers"));
    writeReceipt(system, "/var/db/receipts", "com.torva.pkg.Root", PlistValue(""));
    writeReceipt(system, "/var/db/receipts", "com.torva.pkg.ListLocation",
                 PlistValue::stringArray({"Library"}));
    writeReceipt(system, "/Library/Apple/System/Library/Receipts", "com.apple.pkg.TORVAPrinterDrivers",
                 PlistValue("/"));
    system.writePlist("/var/db/receipts/com.torva.pkg.Array.plist", PlistValue::stringArray({"x"}));
    system.writeFile("/var/db/receipts/com.torva.pkg.Garbage.plist", "not a property list");
    system.writeFile("/Elsewhere/com.torva.pkg.Linked.plist",
                     system.read("/var/db/receipts/com.torva.pkg.Driver.plist"));
    system.makeLink("/var/db/receipts/com.torva.pkg.Linked.plist", "/Elsewhere/com.torva.pkg.Linked.plist");
    writeReceipt(system, "/Volumes/Data/var/db/receipts", "com.torva.pkg.OnData", PlistValue("Applications"));

    const struct {
        const char* identifier;
        const char* volume;
        std::optional<std::string> installPoint;
    } cases[] = {
        {"com.torva.pkg.Driver", "/", "Library/Printers"},
        {"com.torva.pkg.Root", "/", ""},
        {"com.torva.pkg.ListLocation", "/", ""},
        {"com.apple.pkg.TORVAPrinterDrivers", "/", "/"},
        {"com.torva.pkg.OnData", "/Volumes/Data", "Applications"},
        {"com.torva.pkg.OnData", "/", std::nullopt},
        {"com.torva.pkg.Missing", "/", std::nullopt},
        {"com.torva.pkg.Array", "/", std::nullopt},
        {"com.torva.pkg.Garbage", "/", std::nullopt},
        {"com.torva.pkg.Linked", "/", std::nullopt},
        {"../receipts/com.torva.pkg.Driver", "/", std::nullopt},
        {"", "/", std::nullopt},
        {"com.torva.pkg.Driver", "", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CommonFunctions::getInstallPoint(c.identifier, c.volume), c.installPoint)
            << c.identifier << " on " << c.volume;
    }
}

TEST(CommonFunctions, ReceiptLookupsByFolder) {
    TestSystem system;
    CommonFunctions functions;
    const PackageInfoEntry maker{"com.torva.pkg.Utility", "Utility.pkg", "1.0", "Flat"};
    const PackageInfoEntry update = PackageInfoEntry::fromReceipt("com.apple.pkg.TORVAPrinterDrivers");
    writeReceipt(system, "/var/db/receipts", maker.packageIdentifier, PlistValue("Applications"));
    writeReceipt(system, "/Library/Apple/System/Library/Receipts", update.packageIdentifier,
                 PlistValue("Library/Printers"));

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
    EXPECT_EQ(functions.lookupReceipt(update, 101500, bom), "Library/Printers");
    EXPECT_EQ(bom, "/Library/Apple/System/Library/Receipts/com.apple.pkg.TORVAPrinterDrivers.bom");
    EXPECT_EQ(functions.lookupReceipt(update, 101406, bom), "Library/Printers");
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
    CommonFunctions functions;
    std::string bom = "unset";

    system.writeFile("/Library/Receipts/boms/com.torva.pkg.Flat.bom", "BOMStore");
    writeReceipt(system, "/Library/Receipts", "com.torva.pkg.Flat", PlistValue("usr/local"));
    EXPECT_EQ(functions.lookupReceipt({"com.torva.pkg.Flat", "Flat.pkg", "1", "Flat"}, 100500, bom),
              "usr/local");
    EXPECT_EQ(bom, "/Library/Receipts/boms/com.torva.pkg.Flat.bom");

    const PackageInfoEntry bundle{"com.torva.pkg.Old", "TORVA Driver.pkg", "1", "Bundle"};
    // A bundle package's location comes from the bundle, never from a receipt of its identifier.
    writeReceipt(system, "/var/db/receipts", "com.torva.pkg.Old", PlistValue("Receipt/Location"));
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
}
