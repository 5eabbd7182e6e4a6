#include "tests/support/PackageFixture.h"

#include "platform/PropertyList.h"
#include "receipts/BomReader.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> bomListing(const TestSystem& system, const std::string& bomPath) {
    std::string error;
    const std::optional<std::vector<BomEntry>> entries = BomReader::readFile(system.host(bomPath), error);
    EXPECT_TRUE(entries) << error;
    std::vector<std::string> lines;
    for (const BomEntry& entry : entries.value_or(std::vector<BomEntry>{})) {
        lines.push_back(entry.path + (entry.type == BomEntry::Type::Directory ? "/" : ""));
    }
    return lines;
}

PackageDescription described() {
    return PackageDescription{
        .identifier = "com.torva.pkg.Fax",
        .installPrefix = "Library/Printers",
        .items = {PackageItem::file("TORVA/Fax.plugin/Contents/Info.plist", "<plist/>"),
                  PackageItem::link("TORVA/Current", "Fax.plugin"),
                  PackageItem::file("TORVA/Gone.txt").notOnDisk(),
                  PackageItem::folder("TORVA/Now a file").onDiskAs(PackageItemKind::File),
                  PackageItem::file("../../etc/canary", "keep me")}};
}

} // namespace

TEST(PackageFixture, BomNamesEveryFolderOnTheWayAndTheDiskFollowsTheItems) {
    TestSystem system;
    const InstalledPackage installed = PackageFixture::install(system, described());
    EXPECT_EQ(installed.installFolder, "/Library/Printers");
    EXPECT_EQ(installed.bomPath, "/var/db/receipts/com.torva.pkg.Fax.bom");
    EXPECT_EQ(bomListing(system, installed.bomPath),
              (std::vector<std::string>{
                  "./", "./../", "./../../", "./../../etc/", "./../../etc/canary", "./TORVA/",
                  "./TORVA/Current", "./TORVA/Fax.plugin/", "./TORVA/Fax.plugin/Contents/",
                  "./TORVA/Fax.plugin/Contents/Info.plist", "./TORVA/Gone.txt", "./TORVA/Now a file/"}));
    EXPECT_EQ(system.read("/Library/Printers/TORVA/Fax.plugin/Contents/Info.plist"), "<plist/>");
    EXPECT_TRUE(system.isLink("/Library/Printers/TORVA/Current"));
    EXPECT_FALSE(system.exists("/Library/Printers/TORVA/Gone.txt"));
    EXPECT_TRUE(system.exists("/Library/Printers/TORVA/Now a file"));
    EXPECT_FALSE(system.isFolder("/Library/Printers/TORVA/Now a file"));
    EXPECT_EQ(system.read("/etc/canary"), "keep me");

    const std::optional<PlistValue> receipt = PropertyList::readHostFile(system.host(installed.receiptPath));
    ASSERT_TRUE(receipt);
    EXPECT_EQ(receipt->stringForKey("PackageIdentifier"), "com.torva.pkg.Fax");
    EXPECT_EQ(receipt->stringForKey("InstallPrefixPath"), "Library/Printers");
}
