#include "analysis/AnalyzePathManager.h"

#include "platform/Path.h"
#include "tests/support/PackageFixture.h"
#include "tests/support/SoftwareFixture.h"
#include "tests/support/TestBundle.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Paths = std::vector<std::string>;

Paths sorted(Paths paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The items of a small utility package, relative to its install location.
std::vector<PackageItem> utilityItems() {
    return {PackageItem::file("Foo.app/Contents/Info.plist", "<plist/>"),
            PackageItem::file("Foo.app/Contents/MacOS/Foo", "binary"),
            PackageItem::link("Foo.app/Contents/Current", "MacOS")};
}

} // namespace

TEST(BomLists, InstallRootFromInstallPointAndVolume) {
    TestSystem system;
    PackageFixture::writeBom(system, "/bom/utility.bom", utilityItems());
    for (const char* root : {"/", "/Volumes/Data", "/Applications/Utilities", "/Applications"}) {
        for (const PackageItem& item : utilityItems()) {
            system.writeFile(path::join(root, item.path), "x");
        }
    }
    AnalyzePathManager analysis;
    auto files = [&](const std::optional<std::string>& point, const std::optional<std::string>& volume) {
        return sorted(
            analysis.getPathListAtBOM(std::string("/bom/utility.bom"), point, volume, PathKind::File)
                .value());
    };
    EXPECT_EQ(files("Applications/Utilities", "/"),
              (Paths{"/Applications/Utilities/Foo.app/Contents/Info.plist",
                     "/Applications/Utilities/Foo.app/Contents/MacOS/Foo"}));
    EXPECT_EQ(files("/Applications", "/")[0], "/Applications/Foo.app/Contents/Info.plist");
    EXPECT_EQ(files(std::nullopt, std::nullopt)[0], "/Foo.app/Contents/Info.plist");
    EXPECT_EQ(files(std::nullopt, "/Volumes/Data")[0], "/Volumes/Data/Foo.app/Contents/Info.plist");
    EXPECT_EQ(files("Applications", std::nullopt)[0], "/Applications/Foo.app/Contents/Info.plist");
}

TEST(BomLists, TheKindOnDiskMustMatchTheBom) {
    TestSystem system;
    system.writeFile("/Elsewhere/inside.txt", "x");
    PackageItem nowLink = PackageItem::folder("TORVA/NowLink");
    nowLink.content = "../../../Elsewhere";
    const InstalledPackage package = PackageFixture::install(
        system,
        {.identifier = "com.torva.pkg.Changed",
         .installPrefix = "Library/Printers",
         .items = {PackageItem::file("TORVA/Folder/inside.txt").onDiskAs(PackageItemKind::Folder),
                   nowLink.onDiskAs(PackageItemKind::Link), PackageItem::file("TORVA/gone.txt").notOnDisk(),
                   PackageItem::file("TORVA/kept.txt", "x")}});
    // A folder the BOM lists became a link to another folder: nothing is reached through it.
    system.makeLink("/Library/Printers/TORVA/Through", "../../../Elsewhere");
    PackageFixture::writeBom(system, package.bomPath,
                             {PackageItem::file("TORVA/Folder/inside.txt"),
                              PackageItem::folder("TORVA/NowLink"), PackageItem::file("TORVA/gone.txt"),
                              PackageItem::file("TORVA/kept.txt"),
                              PackageItem::file("TORVA/Through/inside.txt")});
    AnalyzePathManager analysis;
    analysis.getUnInstallPath(package.bomPath, std::string("Library/Printers"), std::string("/"));
    EXPECT_EQ(analysis.getMUnInstallFilePathArray(), (Paths{"/Library/Printers/TORVA/kept.txt"}));
    EXPECT_TRUE(analysis.getMUnInstallLinkPathArray().empty());
    const Paths& folders = analysis.getMUnInstallFolderPathArray();
    EXPECT_EQ(std::count(folders.begin(), folders.end(), "/Library/Printers/TORVA/NowLink"), 0);
    EXPECT_EQ(std::count(folders.begin(), folders.end(), "/Library/Printers/TORVA/Through"), 0);
}

// Each list takes the entries of its kind as the BOM records them (what lsbom -f, -d and -l select),
// when the item on disk is of that kind too; devices are in none.
TEST(BomLists, EachListTakesTheEntriesTheBomRecordsAsItsKind) {
    TestSystem system;
    system.writeFile("/a", "file");
    system.makeFolder("/d");
    system.makeLink("/l", "a");
    system.writeFile("/device", "a file now");
    BomEntry device = BomEntry::file("./device", "");
    device.type = BomEntry::Type::Device;
    BomEntry modeSaysFolder = BomEntry::file("./a", "file");
    modeSaysFolder.mode = 040755;
    PackageFixture::writeRawBom(system, "/x.bom",
                                {BomEntry::directory("."), modeSaysFolder, BomEntry::directory("./d"), device,
                                 BomEntry::link("./l", "a")});
    AnalyzePathManager analysis;
    EXPECT_FALSE(analysis.getPathListAtBOM(std::nullopt, std::nullopt, std::nullopt, PathKind::File));
    EXPECT_EQ(analysis.getPathListAtBOM(std::string("/x.bom"), std::nullopt, std::nullopt, PathKind::File),
              Paths{"/a"});
    analysis.getUnInstallPath(std::string("/x.bom"), std::nullopt, std::nullopt);
    EXPECT_EQ(analysis.getMUnInstallFilePathArray(), Paths{"/a"});
    EXPECT_EQ(analysis.getMUnInstallFolderPathArray(), (Paths{"/", "/d"}));
    EXPECT_EQ(analysis.getMUnInstallLinkPathArray(), Paths{"/l"});
    EXPECT_TRUE(analysis.getMWarnings().empty());
}

// A name lsbom would print as two lines (or as a field break), or a path that climbs, names another item
// than the package installed: such entries are left out and said to be, and nothing else changes.
TEST(BomLists, EntriesWithOddNamesOrClimbingPathsAreLeftOutWithAWarning) {
    const std::vector<PackageItem> driver = {PackageItem::file("TORVA/Driver.plugin/Info.plist", "<plist/>"),
                                             PackageItem::link("TORVA/Current", "Driver.plugin")};
    const struct {
        const char* planted;
        const char* warning;
    } cases[] = {
        {"TORVA/Driver\n/Users/anna/Documents/thesis.txt", "names hold a line feed, a tab or a NUL"},
        {"TORVA/Driver\t.plugin", "names hold a line feed, a tab or a NUL"},
        {"TORVA/DriverQ\x01Q/secret", "names hold a line feed, a tab or a NUL"}, // \x01 becomes a NUL
        {"TORVA/../Users/anna/Documents/thesis.txt", "paths climb with \"..\""},
    };
    for (const auto& c : cases) {
        TestSystem system;
        system.addUser("anna", 501);
        system.writeFile("/Users/anna/Documents/thesis.txt", "precious");
        system.writeFile("/TORVA/Driver/another vendor's.txt", "theirs");
        for (const PackageItem& item : driver) {
            item.kind == PackageItemKind::Link ? system.makeLink("/" + item.path, item.content)
                                               : system.writeFile("/" + item.path, item.content);
        }
        PackageFixture::writeBom(system, "/clean.bom", driver);
        std::vector<PackageItem> planted = driver;
        planted.push_back(PackageItem::file(c.planted));
        PackageFixture::writeBom(system, "/planted.bom", planted);
        std::string bytes = system.read("/planted.bom");
        if (const size_t marker = bytes.find("Q\x01Q"); marker != std::string::npos) {
            bytes[marker + 1] = '\0';
            system.writeFile("/planted.bom", bytes);
        }

        AnalyzePathManager clean;
        clean.getUnInstallPath(std::string("/clean.bom"), std::string("/"), std::string("/"));
        AnalyzePathManager analysis;
        analysis.getUnInstallPath(std::string("/planted.bom"), std::string("/"), std::string("/"));
        EXPECT_EQ(analysis.getMUnInstallFilePathArray(), clean.getMUnInstallFilePathArray()) << c.planted;
        EXPECT_EQ(analysis.getMUnInstallFolderPathArray(), clean.getMUnInstallFolderPathArray()) << c.planted;
        EXPECT_EQ(analysis.getMUnInstallLinkPathArray(), clean.getMUnInstallLinkPathArray()) << c.planted;
        EXPECT_TRUE(clean.getMWarnings().empty());
        ASSERT_EQ(analysis.getMWarnings().size(), 1u) << c.planted;
        EXPECT_NE(analysis.getMWarnings()[0].find("of the bill of materials /planted.bom were left out"),
                  std::string::npos)
            << analysis.getMWarnings()[0];
        EXPECT_NE(analysis.getMWarnings()[0].find(c.warning), std::string::npos)
            << analysis.getMWarnings()[0];
    }
}

TEST(BomLists, AnUnreadableBomGivesOnlyTheInstallRoot) {
    TestSystem system;
    system.writeFile("/var/db/receipts/broken.bom", "BOMStore but not really");
    system.makeFolder("/Applications");
    AnalyzePathManager analysis;
    analysis.getUnInstallPath(std::string("/var/db/receipts/broken.bom"), std::string("Applications"),
                              std::string("/"));
    EXPECT_TRUE(analysis.getMUnInstallFilePathArray().empty());
    EXPECT_TRUE(analysis.getMUnInstallLinkPathArray().empty());
    EXPECT_EQ(analysis.getMUnInstallFolderPathArray(), (Paths{"/Applications"}));
    ASSERT_EQ(analysis.getMWarnings().size(), 1u);
    EXPECT_TRUE(analysis.getMWarnings()[0].starts_with(
        "cannot read the bill of materials /var/db/receipts/broken.bom: "))
        << analysis.getMWarnings()[0];
}

TEST(BomLists, TwoPackagesSharingFilesAreListedTwiceUntilTheMerge) {
    TestSystem system;
    const std::vector<PackageItem> shared = {PackageItem::file("TORVA/Common/lib.dylib", "lib")};
    const auto first = PackageFixture::install(
        system, {.identifier = "com.torva.pkg.A", .installPrefix = "Library/Printers", .items = shared});
    const auto second = PackageFixture::install(
        system, {.identifier = "com.torva.pkg.B", .installPrefix = "Library/Printers", .items = shared});
    AnalyzePathManager analysis;
    analysis.getUnInstallPath(first.bomPath, std::string("Library/Printers"), std::string("/"));
    analysis.getUnInstallPath(second.bomPath, std::string("Library/Printers"), std::string("/"));
    EXPECT_EQ(analysis.getMUnInstallFilePathArray().size(), 2u);
    EXPECT_EQ(analysis.getMUnInstallFolderPathArray().size(), 6u);
    analysis.mergeRemovePath(std::nullopt, std::nullopt);
    EXPECT_EQ(analysis.getMUnInstallFilePathArray(), (Paths{"/Library/Printers/TORVA/Common/lib.dylib"}));
    EXPECT_EQ(analysis.getMUnInstallFolderPathArray().size(), 3u);
}

// No path outside the install roots, the remove entries and the PPD folder enters a list, whatever
// the BOM names.
TEST(BomLists, ABomThatClimbsOutOfItsInstallRootAddsNothingOutside) {
    TestSystem system;
    system.addUser("anna", 501);
    system.writeFile("/Users/anna/Documents/thesis.txt", "precious");
    system.writeFile("/Library/Printers/Other/driver.bin", "other vendor");
    system.writeFile("/etc/hosts", "system");
    system.makeLink("/Library/Printers/TORVA/Escape", "/Users/anna/Documents");
    const std::vector<PackageItem> climbing = {
        PackageItem::file("driver.bin", "ours"),
        PackageItem::file("../../../Users/anna/Documents/thesis.txt").notOnDisk(),
        PackageItem::file("sub/../../../../etc/hosts").notOnDisk(),
        PackageItem::file("../Other/driver.bin").notOnDisk(),
        PackageItem::file("Escape/thesis.txt").notOnDisk(),
        PackageItem::folder("../../../Users/anna/Documents").notOnDisk(),
        PackageItem::folder("..").notOnDisk(),
    };
    const InstalledPackage package = PackageFixture::install(
        system,
        {.identifier = "com.torva.pkg.Climb", .installPrefix = "Library/Printers/TORVA", .items = {}});
    PackageFixture::writeBom(system, package.bomPath, climbing);
    system.writeFile("/Library/Printers/TORVA/driver.bin", "ours");
    SoftwareFixture::writePpd(system, "TORVA IJ.ppd.gz", "application/vnd.cups-raster 0 rastertotorvaij",
                              true);
    system.writeFile("/Library/Caches/com.torva.extra/cache.db", "cache");

    AnalyzePathManager analysis;
    analysis.getUnInstallPath(package.bomPath, std::string("Library/Printers/TORVA"), std::string("/"));
    analysis.mergeExtenstionPath(
        {std::string("Inkjet Printer Driver"), Paths{"/Library/Caches/com.torva.extra"}, std::nullopt});

    const Paths allowed = {"/Library/Printers/TORVA", "/Library/Caches/com.torva.extra",
                           "/Library/Printers/PPDs/Contents/Resources"};
    for (const Paths* list :
         {&analysis.getMUnInstallFilePathArray(), &analysis.getMUnInstallFolderPathArray(),
          &analysis.getMUnInstallLinkPathArray()}) {
        for (const std::string& item : *list) {
            EXPECT_TRUE(std::any_of(allowed.begin(), allowed.end(), [&](const std::string& folder) {
                return path::isInFolder(item, folder);
            })) << item;
        }
    }
    const Paths& files = analysis.getMUnInstallFilePathArray();
    EXPECT_NE(std::find(files.begin(), files.end(), "/Library/Printers/TORVA/driver.bin"), files.end());
    EXPECT_NE(std::find(files.begin(), files.end(), "/Library/Caches/com.torva.extra/cache.db"), files.end());
    EXPECT_NE(
        std::find(files.begin(), files.end(), "/Library/Printers/PPDs/Contents/Resources/TORVA IJ.ppd.gz"),
        files.end());
}
