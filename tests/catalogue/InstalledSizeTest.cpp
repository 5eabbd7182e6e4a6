#include "catalogue/StoreSoftwareInformationManager.h"

#include "tests/support/PackageFixture.h"
#include "tests/support/SoftwareFixture.h"
#include "tests/support/TestBundle.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

namespace {

using Paths = std::vector<std::string>;

PackageDescription package(const std::string& identifier, const std::string& prefix,
                           std::vector<PackageItem> items) {
    return {.identifier = identifier, .installPrefix = prefix, .items = std::move(items)};
}

PackageInfoEntry flat(const std::string& identifier) {
    return {identifier, "-", "1.0", "Flat"};
}

class InstalledSize : public ::testing::Test {
protected:
    void SetUp() override {
        mSystem.writeSystemVersion("10.15.7");
        // Only the sizes this test plants count.
        PlistValue info = TestBundle::shippedInfo();
        info.erase("EXRestPathList");
        mBundle.setInfo(info);
    }
    int64_t size(const std::optional<std::vector<PackageInfoEntry>>& packages,
                 const SoftwarePaths& paths = {}) {
        return mStore.getApplicationSize(packages, paths);
    }

    TestSystem mSystem;
    TestBundle mBundle;
    StoreSoftwareInformationManager mStore;
};

} // namespace

TEST_F(InstalledSize, ReceiptsAreLookedUpWhereTheSystemVersionKeepsThem) {
    PackageFixture::install(
        mSystem, package("com.torva.pkg.Utility", "Applications",
                         {PackageItem::file("Utility.app/Contents/MacOS/Utility", std::string(1000, 'u')),
                          PackageItem::link("Utility.app/Contents/Current", "MacOS")}));
    PackageFixture::install(
        mSystem,
        package("com.apple.pkg.TORVAPrinterDrivers", "/",
                {PackageItem::file("Library/Printers/TORVA/InkjetPrinter2/driver", std::string(300, 'd'))}),
        ReceiptLayout::AppleSystemReceipts);
    // The same identifier in the 10.14 folder is not looked at on 10.15.
    PackageFixture::install(mSystem,
                            package("com.apple.pkg.TORVAOld", "/",
                                    {PackageItem::file("Library/Old/file", std::string(5000, 'o'))}),
                            ReceiptLayout::SystemReceipts);
    EXPECT_EQ(
        size(std::vector<PackageInfoEntry>{flat("com.torva.pkg.Utility"),
                                           PackageInfoEntry::fromReceipt("com.apple.pkg.TORVAPrinterDrivers"),
                                           PackageInfoEntry::fromReceipt("com.apple.pkg.TORVAOld")}),
        1300);
}

TEST_F(InstalledSize, AMissingReceiptDropsOnlyItsOwnPackage) {
    PackageFixture::install(
        mSystem, package("com.torva.pkg.B", "Library", {PackageItem::file("B/b.bin", std::string(70, 'b'))}));
    EXPECT_EQ(size(std::vector<PackageInfoEntry>{flat("com.torva.pkg.Missing"), flat("com.torva.pkg.B")}),
              70);
    EXPECT_EQ(size(std::nullopt), 0);
}

TEST_F(InstalledSize, APackageListedTwiceOrSharedIsCountedOnce) {
    const std::vector<PackageItem> shared = {
        PackageItem::file("TORVA/Common/lib.dylib", std::string(400, 'l'))};
    PackageFixture::install(mSystem, package("com.torva.pkg.A", "Library/Printers", shared));
    PackageFixture::install(mSystem, package("com.torva.pkg.B", "Library/Printers", shared));
    EXPECT_EQ(size(std::vector<PackageInfoEntry>{flat("com.torva.pkg.A"), flat("com.torva.pkg.A"),
                                                 flat("com.torva.pkg.B")}),
              400);
}

TEST_F(InstalledSize, RestPathsRemovePathsAndExtensionPaths) {
    PackageFixture::install(mSystem,
                            package("com.torva.pkg.Fax", "Library/Printers",
                                    {PackageItem::file("TORVA/Fax/fax.bin", std::string(100, 'f')),
                                     PackageItem::file("TORVA/Common/common.bin", std::string(20, 'c'))}));
    mSystem.writeFile("/Library/Caches/com.torva.fax/cache", std::string(7, 'x'));
    // Added for "PC-FAX Driver" by the shipped information resource file.
    mSystem.writeFile("/Library/Modem Scripts/TORVA Fax", std::string(3000, 'm'));
    const SoftwarePaths fax{std::string("PC-FAX Driver"), Paths{"/Library/Caches/com.torva.f*"},
                            Paths{"/Library/Printers/TORVA/Common"}};
    EXPECT_EQ(size(std::vector<PackageInfoEntry>{flat("com.torva.pkg.Fax")}, fax), 100 + 7 + 3000);
    // An empty package list still counts the remove and extension paths; the fax driver's folder is
    // one of its extension paths.
    EXPECT_EQ(size(std::vector<PackageInfoEntry>{}, fax), 100 + 7 + 3000);
    EXPECT_EQ(size(std::vector<PackageInfoEntry>{}, {std::string("Unknown"), {}, {}}), 0);
}

TEST_F(InstalledSize, PpdFilesCountOnceEvenWhenAPackageListsThem) {
    const std::string filter = "application/vnd.cups-raster 0 rastertotorvaij";
    PackageFixture::install(
        mSystem, package("com.torva.pkg.PPD", "Library/Printers/PPDs/Contents/Resources",
                         {PackageItem::file("TORVA IJ-1.ppd",
                                            "*PPD-Adobe: \"4.3\"\n*cupsFilter: \"" + filter + "\"\n")}));
    SoftwareFixture::writePpd(mSystem, "TORVA IJ-2.ppd.gz", filter, true);
    SoftwareFixture::writePpd(mSystem, "TORVA Other.ppd", "application/vnd.cups-raster 0 other", false);
    const int64_t plain =
        static_cast<int64_t>(mSystem.read("/Library/Printers/PPDs/Contents/Resources/TORVA IJ-1.ppd").size());
    const int64_t zipped = static_cast<int64_t>(
        mSystem.read("/Library/Printers/PPDs/Contents/Resources/TORVA IJ-2.ppd.gz").size());
    EXPECT_EQ(size(std::vector<PackageInfoEntry>{flat("com.torva.pkg.PPD")},
                   {std::string("Inkjet Printer Driver"), {}, {}}),
              plain + zipped);
    // Another software's PPDs are not its own.
    EXPECT_EQ(size(std::vector<PackageInfoEntry>{flat("com.torva.pkg.PPD")},
                   {std::string("TORVA Utility"), {}, {}}),
              plain);
}
