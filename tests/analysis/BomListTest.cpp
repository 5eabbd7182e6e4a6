#include "analysis/AnalyzePathManager.h"

#include "platform/Path.h"
#include "tests/support/FakeTools.h"
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
    auto files = [&](std::optional<std::string> point, std::optional<std::string> volume) {
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

TEST(BomLists, EachKindFromItsOwnRunAndTheInstallRootAsAFolder) {
    TestSystem system;
    const InstalledPackage package = PackageFixture::install(
        system,
        {.identifier = "com.torva.pkg.Utility", .installPrefix = "Applications", .items = utilityItems()});
    AnalyzePathManager analysis;
    analysis.getUnInstallPath(package.bomPath, std::string("Applications"), std::string("/"));
    EXPECT_EQ(
        sorted(analysis.getMUnInstallFilePathArray()),
        (Paths{"/Applications/Foo.app/Contents/Info.plist", "/Applications/Foo.app/Contents/MacOS/Foo"}));
    // "." and the empty last line both name the install root: listed once.
    EXPECT_EQ(sorted(analysis.getMUnInstallFolderPathArray()),
              (Paths{"/Applications", "/Applications/Foo.app", "/Applications/Foo.app/Contents",
                     "/Applications/Foo.app/Contents/MacOS"}));
    EXPECT_EQ(analysis.getMUnInstallLinkPathArray(), (Paths{"/Applications/Foo.app/Contents/Current"}));
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

// One lsbom run per BOM gives the three lists: the kind of each line comes from its mode.
TEST(BomLists, OneListingGivesAllThreeKinds) {
    TestSystem system;
    FakeTools tools;
    system.writeFile("/x.bom", "stands for a BOM");
    system.writeFile("/a", "file");
    system.makeFolder("/d");
    system.makeLink("/l", "a");
    tools.add("lsbom", "-rw-r--r--\t./a\ndrwxr-xr-x\t./d\nlrwxr-xr-x\t./l\n-rw-r--r--\t./d\nbogus line\n");
    AnalyzePathManager analysis;
    EXPECT_FALSE(analysis.getPathListAtBOM(std::nullopt, std::nullopt, std::nullopt, PathKind::File));
    EXPECT_TRUE(tools.calls("lsbom").empty());
    EXPECT_EQ(analysis.getPathListAtBOM(std::string("/x.bom"), std::nullopt, std::nullopt, PathKind::File),
              Paths{"/a"});
    ASSERT_EQ(tools.calls("lsbom").size(), 1u);
    EXPECT_EQ(tools.calls("lsbom")[0], (Paths{"-fdl", "-p", "Mf", "/dev/fd/3"}));
    analysis.getUnInstallPath(std::string("/x.bom"), std::nullopt, std::nullopt);
    EXPECT_EQ(tools.calls("lsbom").size(), 2u);
    EXPECT_EQ(analysis.getMUnInstallFilePathArray(), Paths{"/a"});
    // The empty last line names the install root, here a folder.
    EXPECT_EQ(analysis.getMUnInstallFolderPathArray(), (Paths{"/", "/d"}));
    EXPECT_EQ(analysis.getMUnInstallLinkPathArray(), Paths{"/l"});
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
