#include "catalogue/StoreSoftwareInformationManager.h"

#include "platform/SystemVersion.h"
#include "tests/support/PackageFixture.h"
#include "tests/support/SoftwareFixture.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

namespace {

using Paths = std::vector<std::string>;

std::string fileName(const std::string& software) {
    return SoftwareFixture::informationFileName(software);
}

// A software known from its uninstall information file, with one package of one file of `bytes` bytes.
SoftwareSpec fileSoftware(const std::string& name, size_t bytes) {
    const std::string id = "com.torva.pkg." + std::to_string(std::hash<std::string>()(name) % 100000);
    return {.name = name,
            .packages = {{.spec = {.identifier = id,
                                   .installPrefix = "Applications",
                                   .items = {PackageItem::file(name + ".app/Contents/MacOS/bin",
                                                               std::string(bytes, 'x'))}}}}};
}

void installReceipt(const TestSystem& system, const std::string& identifier, size_t bytes = 10) {
    PackageFixture::install(
        system,
        {.identifier = identifier,
         .installPrefix = "/",
         .items = {PackageItem::file("Library/Printers/TORVA/SU/" + identifier, std::string(bytes, 's'))}},
        ReceiptLayout::AppleSystemReceipts);
}

Paths names(const std::vector<DisplayRecord>& rows) {
    Paths result;
    for (const DisplayRecord& row : rows) {
        result.push_back(row.applicationName);
    }
    return result;
}

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override {
        mSystem.writeSystemVersion("10.15.7");
        mSystem.makeFolder("/Library/Preferences");
    }
    TestSystem mSystem;
    StoreSoftwareInformationManager mStore;
};

} // namespace

TEST_F(Catalogue, DecodingHappensInMemoryAndNeverFollowsLinks) {
    SoftwareFixture::install(mSystem, fileSoftware("TORVA Utility", 5));
    const Paths before = mSystem.tree("/Library/Preferences");
    std::string problem;
    const auto decoded =
        StoreSoftwareInformationManager::decodeUnInstallPList(fileName("TORVA Utility"), &problem);
    ASSERT_TRUE(decoded) << problem;
    EXPECT_NE(decoded->find("<plist"), std::string::npos);
    EXPECT_EQ(mSystem.tree("/Library/Preferences"), before);

    // Only a regular file is decoded, and each refusal says why.
    mSystem.makeLink("/Library/Preferences/" + fileName("Linked"), fileName("TORVA Utility"));
    mSystem.makeFolder("/Library/Preferences/" + fileName("Folder"));
    mSystem.writeFile("/Library/Preferences/" + fileName("Text"), "<plist> is not Base64 </plist>");
    const std::vector<std::pair<std::optional<std::string>, std::string>> refused = {
        {fileName("Linked"), "is not a regular file"}, {fileName("Folder"), "is not a regular file"},
        {fileName("Missing"), "is missing"},           {fileName("Text"), "is not Base64"},
        {"../../outside.txt", "is not a file name"},   {std::nullopt, "is not a file name"}};
    for (const auto& [name, why] : refused) {
        EXPECT_FALSE(StoreSoftwareInformationManager::decodeUnInstallPList(name, &problem)) << *name;
        EXPECT_EQ(problem, why) << name.value_or("(none)");
    }
}

TEST_F(Catalogue, ValuesOfTheWrongTypeMakeTheFileInvalid) {
    auto store = [&](const std::string& name, const std::function<void(PlistValue&)>& change) {
        PlistValue root = SoftwareFixture::informationFile(fileSoftware(name, 1));
        change(root);
        SoftwareFixture::writeInformationFile(mSystem, name, root);
        return mStore.storeSoftwareInformationForPackage({fileName(name)});
    };
    EXPECT_TRUE(store("Valid", [](PlistValue&) {}));
    EXPECT_FALSE(store("NoPackageType", [](PlistValue& root) {
        PlistValue::Array& packages = root.find("PackageInfo")->asArray();
        packages.push_back(packages.front());
        packages.back().erase("PackageType");
    }));
    EXPECT_FALSE(store("NoPackageInfo", [](PlistValue& root) { root.erase("PackageInfo"); }));
    EXPECT_FALSE(store("NoName", [](PlistValue& root) { root.erase("ApplicationName"); }));
    EXPECT_FALSE(
        store("RestString", [](PlistValue& root) { root.set("RestPathList", "/Library/Printers/TORVA"); }));
    EXPECT_FALSE(store("RestMixed", [](PlistValue& root) {
        root.set("RestPathList", PlistValue(PlistValue::Array{PlistValue("/a"), PlistValue::integer(1)}));
    }));
    EXPECT_FALSE(store("ScriptArray",
                       [](PlistValue& root) { root.set("CustomScript", PlistValue::stringArray({"x"})); }));
    EXPECT_FALSE(store("NumberVersion", [](PlistValue& root) {
        root.find("PackageInfo")->asArray().front().set("PackageVersion", PlistValue::integer(2));
    }));
    EXPECT_FALSE(store("ExplanationNumber", [](PlistValue& root) {
        root.set("LocalizedExplanationList",
                 plistDictionary({{"en", "Text"}, {"ja", PlistValue::integer(1)}}));
    }));
    EXPECT_FALSE(store("ExplanationArray", [](PlistValue& root) {
        root.set("LocalizedExplanationList", PlistValue::stringArray({"en", "Text"}));
    }));
    EXPECT_TRUE(store("EmptyPackages",
                      [](PlistValue& root) { root.set("PackageInfo", PlistValue(PlistValue::Array{})); }));
    EXPECT_EQ(names(mStore.getMSoftwareInformationForDisplayArray()), (Paths{"Valid", "EmptyPackages"}));
}

TEST_F(Catalogue, VersionRules) {
    mSystem.writePlist("/Applications/Setup.app/Contents/Info.plist",
                       plistDictionary({{"CFBundleShortVersionString", "4.1.2"}}));
    auto version = [&](const std::string& name, std::optional<std::string> bundle,
                       std::optional<std::string> text) {
        SoftwareSpec spec = fileSoftware(name, 1);
        spec.versionBundle = std::move(bundle);
        spec.versionString = std::move(text);
        SoftwareFixture::install(mSystem, spec);
        EXPECT_TRUE(mStore.storeSoftwareInformationForPackage({fileName(name)}));
        return mStore.getMSoftwareInformationForDisplayArray().back().applicationVersion;
    };
    EXPECT_EQ(version("NoBundleKey", std::nullopt, "2.1"), "-");
    EXPECT_EQ(version("NoStringKey", "-", std::nullopt), "-");
    EXPECT_EQ(version("FromString", "-", "2.1"), "2.1");
    EXPECT_EQ(version("FromBundle", "/Applications/Setup.app", "9.9"), "4.1.2");
    EXPECT_EQ(version("MissingBundle", "/Applications/Gone.app", "9.9"), "-");
}

TEST_F(Catalogue, FullAndDisplayRecordsOfAFile) {
    SoftwareSpec spec = fileSoftware("TORVA Scan Utility", 1234);
    spec.versionString = "3.2.1";
    spec.removePaths = Paths{"/Library/Caches/com.torva.scan"};
    spec.restPaths = Paths{};
    spec.dockItems = Paths{"TORVA Scan Utility"};
    spec.preUninstall = Paths{"/bin/echo before"};
    spec.allSoftwareRestPaths = Paths{"/Library/Printers/TORVA/Common"};
    spec.explanations = {{"en", "Scans."}, {"ja", "スキャン"}};
    SoftwareFixture::install(mSystem, spec);
    ASSERT_TRUE(mStore.storeSoftwareInformation({fileName("TORVA Scan Utility")}));

    ASSERT_EQ(mStore.getMSoftwareInformationArray().size(), 1u);
    const SoftwareInformationRecord& full = mStore.getMSoftwareInformationArray()[0];
    EXPECT_EQ(full.applicationName, "TORVA Scan Utility");
    EXPECT_EQ(full.packageInfo.size(), 1u);
    EXPECT_EQ(full.removePathList, (Paths{"/Library/Caches/com.torva.scan"}));
    EXPECT_EQ(full.restPathList, Paths{});         // present and empty
    EXPECT_FALSE(full.removeLoginWindowsItemList); // absent
    ASSERT_TRUE(full.customScript);
    EXPECT_EQ(full.customScript->preUnInstall, (Paths{"/bin/echo before"}));
    EXPECT_FALSE(full.customScript->postUnInstall);
    EXPECT_EQ(full.encodePListPath, "/Library/Preferences/" + fileName("TORVA Scan Utility"));

    const DisplayRecord& row = mStore.getMSoftwareInformationForDisplayArray()[0];
    EXPECT_EQ(row.applicationVersion, "3.2.1");
    EXPECT_EQ(row.installFileSize, 1234);
    EXPECT_EQ(row.softInfoMap, (std::vector<int32_t>{0}));
    ASSERT_TRUE(row.localizedExplanationList);
    EXPECT_EQ(row.localizedExplanationList->at(1).second, "スキャン");
    EXPECT_EQ(mStore.getMergedAllSoftwareRestPathList(), (Paths{"/Library/Printers/TORVA/Common"}));
}

TEST_F(Catalogue, PrinterDriversShareOneRowWhereTheFirstStood) {
    SoftwareFixture::install(mSystem, fileSoftware("A Tool", 1));
    SoftwareFixture::install(mSystem, fileSoftware("Inkjet Printer Driver", 300));
    SoftwareFixture::install(mSystem, fileSoftware("Page Printer Driver", 200)); // shown renamed
    SoftwareFixture::install(mSystem, fileSoftware("Z Tool", 1));
    ASSERT_TRUE(mStore.storeSoftwareInformation({fileName("A Tool"), fileName("Inkjet Printer Driver"),
                                                 fileName("Page Printer Driver"), fileName("Z Tool")}));
    const auto& rows = mStore.getMSoftwareInformationForDisplayArray();
    EXPECT_EQ(names(rows), (Paths{"A Tool", "Printer Driver", "Z Tool"}));
    EXPECT_EQ(rows[1].installFileSize, 500);
    EXPECT_EQ(rows[1].softInfoMap, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(rows[2].softInfoMap, (std::vector<int32_t>{3}));
}

// A file that gives no record is passed over and reported; it hides none of the files after it.
TEST_F(Catalogue, AFileWithoutARecordIsReportedAndTheOthersStillCount) {
    SoftwareFixture::install(mSystem, fileSoftware("First", 1));
    mSystem.writeFile("/Library/Preferences/" + fileName("Second"), "not base64 at all");
    SoftwareFixture::install(mSystem, fileSoftware("Third", 1));
    ASSERT_EQ(::mkfifo(mSystem.host("/Library/Preferences/" + fileName("Zz Fifo")).c_str(), 0644), 0);
    EXPECT_TRUE(mStore.storeSoftwareInformation(
        {fileName("First"), fileName("Second"), fileName("Third"), fileName("Zz Fifo")}));
    EXPECT_EQ(names(mStore.getMSoftwareInformationForDisplayArray()), (Paths{"First", "Third"}));
    EXPECT_EQ(mStore.getMWarnings(),
              (Paths{"/Library/Preferences/" + fileName("Second") + " is not Base64; it was passed over",
                     "/Library/Preferences/" + fileName("Zz Fifo") +
                         " is not a regular file; it was passed over"}));

    StoreSoftwareInformationManager nothing;
    EXPECT_FALSE(nothing.storeSoftwareInformation({fileName("Second"), fileName("Zz Fifo")}));
}

TEST_F(Catalogue, GroupsNoFileCoversAreStoredFromReceipts) {
    mSystem.makeFolder("/Library/Printers/TORVA/Fax");
    installReceipt(mSystem, "com.apple.pkg.TORVAPCFaxDriver", 50);
    mSystem.writeFile("/Library/Preferences/" + fileName("Broken"), "garbage");
    EXPECT_TRUE(mStore.storeSoftwareInformation({fileName("Broken")}));
    EXPECT_EQ(names(mStore.getMSoftwareInformationForDisplayArray()), (Paths{"PC-FAX Driver"}));
    const SoftwareInformationRecord& full = mStore.getMSoftwareInformationArray()[0];
    EXPECT_EQ(full.source, RecordSource::Receipts);
    EXPECT_EQ(full.packageInfo, (std::vector<PackageInfoEntry>{
                                    PackageInfoEntry::fromReceipt("com.apple.pkg.TORVAPCFaxDriver")}));
    EXPECT_EQ(full.encodePListPath, "");
    EXPECT_EQ(full.restPathList, Paths{});
    const DisplayRecord& row = mStore.getMSoftwareInformationForDisplayArray()[0];
    EXPECT_EQ(row.applicationVersion, "-");
    EXPECT_EQ(row.installFileSize, 50);
}

TEST_F(Catalogue, AFileOfASoftwareUpdateGroupIsMergedWithItsReceiptsFirst) {
    mSystem.makeFolder("/Library/Printers/TORVA/InkjetPrinter2");
    installReceipt(mSystem, "com.apple.pkg.TORVAPrinterDrivers", 40);
    installReceipt(mSystem, "com.apple.pkg.TORVA_Libraries", 2);
    SoftwareSpec inkjet = fileSoftware("Inkjet Printer Driver", 100);
    inkjet.versionString = "5.0";
    SoftwareFixture::install(mSystem, inkjet);
    ASSERT_TRUE(mStore.storeSoftwareInformation({fileName("Inkjet Printer Driver")}));
    ASSERT_EQ(mStore.getMSoftwareInformationArray().size(), 1u); // the group is not stored again
    const SoftwareInformationRecord& full = mStore.getMSoftwareInformationArray()[0];
    EXPECT_EQ(full.source, RecordSource::Merged);
    ASSERT_EQ(full.packageInfo.size(), 3u);
    EXPECT_EQ(full.packageInfo[0], PackageInfoEntry::fromReceipt("com.apple.pkg.TORVAPrinterDrivers"));
    EXPECT_EQ(full.packageInfo[1], PackageInfoEntry::fromReceipt("com.apple.pkg.TORVA_Libraries"));
    EXPECT_EQ(full.packageInfo[2].packageType, "Flat");
    const DisplayRecord& row = mStore.getMSoftwareInformationForDisplayArray()[0];
    EXPECT_EQ(row.applicationName, "Printer Driver");
    EXPECT_EQ(row.applicationVersion, "-");
    EXPECT_EQ(row.installFileSize, 142);
}

TEST_F(Catalogue, OnExactly106EveryFileIsReadAlone) {
    mSystem.writeSystemVersion("10.6");
    mSystem.makeFolder("/Library/Printers/TORVA/InkjetPrinter2");
    PackageFixture::install(
        mSystem, {.identifier = "com.apple.pkg.TORVAPrinterDrivers", .installPrefix = "/", .items = {}});
    SoftwareFixture::install(mSystem, fileSoftware("Inkjet Printer Driver", 1));
    ASSERT_TRUE(mStore.storeSoftwareInformation({fileName("Inkjet Printer Driver")}));
    ASSERT_EQ(mStore.getMSoftwareInformationArray().size(), 1u);
    EXPECT_EQ(mStore.getMSoftwareInformationArray()[0].source, RecordSource::UninstallFile);
}

TEST_F(Catalogue, SoftwareUpdateGroupsByFolderAndIdentifier) {
    mSystem.makeFolder("/Library/Printers/TORVA/LaserPrinter");
    installReceipt(mSystem, "com.apple.pkg.TORVAPagePrinterA");
    installReceipt(mSystem, "com.apple.pkg.TORVAPrinterDrivers");
    installReceipt(mSystem, "com.apple.pkg.TORVAPCFax"); // no fax folder: no fax group
    auto groups = mStore.searchSoftwareUpdateAppName("File Exist Code");
    ASSERT_TRUE(groups);
    ASSERT_EQ(groups->size(), 2u);
    EXPECT_EQ((*groups)[0].name, "Page Printer Driver");
    EXPECT_EQ((*groups)[0].identifiers, (Paths{"com.apple.pkg.TORVAPagePrinterA"}));
    EXPECT_EQ((*groups)[1].name, "Inkjet Printer Driver");
    EXPECT_EQ((*groups)[1].identifiers, (Paths{"com.apple.pkg.TORVAPrinterDrivers"}));

    auto page = mStore.searchSoftwareUpdateAppName("Page Printer Driver");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->size(), 1u);
    EXPECT_FALSE(mStore.searchSoftwareUpdateAppName("PC-FAX Driver"));
    EXPECT_FALSE(mStore.searchSoftwareUpdateAppName("Something Else"));
}

TEST_F(Catalogue, AnIdentifierMeetingTwoInkjetRulesIsListedTwice) {
    mSystem.makeFolder("/Library/Printers/TORVA/InkjetPrinter2");
    installReceipt(mSystem, "com.apple.pkg.TORVAPrinterDriversIJP");
    auto groups = mStore.searchSoftwareUpdateAppName("File Exist Code");
    ASSERT_TRUE(groups);
    EXPECT_EQ(groups->at(0).identifiers,
              (Paths{"com.apple.pkg.TORVAPrinterDriversIJP", "com.apple.pkg.TORVAPrinterDriversIJP"}));
}

TEST_F(Catalogue, FolderOnlyGroupsNeedSomeReceiptToBeStored) {
    mSystem.makeFolder("/Library/Printers/TORVA/Fax");
    auto groups = mStore.searchSoftwareUpdateAppName("File Exist Code");
    ASSERT_TRUE(groups);
    EXPECT_TRUE(groups->at(0).folderOnly);
    EXPECT_EQ(groups->at(0).name, "PC-FAX Driver");
    // Without any TORVA receipt nothing is stored for it.
    EXPECT_TRUE(mStore.storeSoftwareInformationForSoftwareUpdate(groups));
    EXPECT_TRUE(mStore.getMSoftwareInformationArray().empty());
    // With a TORVA receipt that names no group, the fax driver gets a record with no packages.
    installReceipt(mSystem, "com.apple.pkg.TORVAUnrelated");
    EXPECT_TRUE(mStore.storeSoftwareInformationForSoftwareUpdate(
        mStore.searchSoftwareUpdateAppName("File Exist Code")));
    ASSERT_EQ(mStore.getMSoftwareInformationArray().size(), 1u);
    EXPECT_TRUE(mStore.getMSoftwareInformationArray()[0].packageInfo.empty());
    EXPECT_FALSE(mStore.storeSoftwareInformationForSoftwareUpdate(std::nullopt));
}

TEST_F(Catalogue, ReceiptsBelow106AreOnlyThoseAnEarlierSearchLeft) {
    mSystem.makeFolder("/Library/Printers/TORVA/InkjetPrinter2");
    PackageFixture::install(mSystem,
                            {.identifier = "com.apple.pkg.TORVAPrinterDrivers", .installPrefix = "/"});
    mSystem.writeSystemVersion("10.5");
    systemversion::forgetCachedOSVersion();
    // No search below 10.6: only the driver folder speaks.
    EXPECT_TRUE(mStore.searchSoftwareUpdateAppName("File Exist Code")->at(0).folderOnly);

    mSystem.writeSystemVersion("10.6.8");
    systemversion::forgetCachedOSVersion();
    EXPECT_FALSE(mStore.searchSoftwareUpdateAppName("File Exist Code")->at(0).folderOnly);
    mSystem.writeSystemVersion("10.5");
    systemversion::forgetCachedOSVersion();
    auto groups = mStore.searchSoftwareUpdateAppName("File Exist Code");
    EXPECT_EQ(groups->at(0).identifiers, (Paths{"com.apple.pkg.TORVAPrinterDrivers"}));
}

TEST_F(Catalogue, RowsFollowTheFilesThenTheReceiptGroups) {
    mSystem.makeFolder("/Library/Printers/TORVA/Fax");
    installReceipt(mSystem, "com.apple.pkg.TORVAPCFax");
    SoftwareFixture::install(mSystem, fileSoftware("TORVA Utility", 1));
    SoftwareFixture::install(mSystem, fileSoftware("Page Printer Driver", 1));
    SoftwareFixture::install(mSystem, fileSoftware("Another", 1));
    SoftwareSpec shared = fileSoftware("Another", 1);
    shared.allSoftwareRestPaths = Paths{"/Library/Printers/TORVA/Common", "/b"};
    SoftwareFixture::install(mSystem, shared);
    SoftwareSpec second = fileSoftware("TORVA Utility", 1);
    second.allSoftwareRestPaths = Paths{"/Library/Printers/TORVA/Common"};
    SoftwareFixture::install(mSystem, second);
    ASSERT_TRUE(mStore.storeSoftwareInformation(
        {fileName("TORVA Utility"), fileName("Page Printer Driver"), fileName("Another")}));
    EXPECT_EQ(names(mStore.getMSoftwareInformationForDisplayArray()),
              (Paths{"TORVA Utility", "Printer Driver", "Another", "PC-FAX Driver"}));
    EXPECT_EQ(mStore.getMergedAllSoftwareRestPathList(), (Paths{"/Library/Printers/TORVA/Common", "/b"}));
}

TEST(CatalogueNames, SoftwareNameInsideAFileName) {
    EXPECT_EQ(StoreSoftwareInformationManager::getApplicationName(
                  "com.torva.Inkjet Printer Driver.UnInstallList.plist"),
              "Inkjet Printer Driver");
    EXPECT_FALSE(StoreSoftwareInformationManager::getApplicationName("com.torva.Sample.plist"));
    EXPECT_FALSE(StoreSoftwareInformationManager::getApplicationName("Com.torva.Sample.UnInstallList.plist"));
}
