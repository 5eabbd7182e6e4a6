#include "tests/support/ChildProcess.h"
#include "tests/support/PackageFixture.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// 2019-05-14 08:12:40 UTC as a property-list date, 1557821560 in Unix time.
constexpr double kInstallDate = 579514360;

class Pkgutil : public ::testing::Test {
protected:
    TestSystem system;
    const std::string volume = system.root();

    PackageDescription driver(const std::string& id = "com.torva.pkg.Driver") {
        return PackageDescription{.identifier = id,
                                  .version = "5.2.0",
                                  .installPrefix = "Library/Printers",
                                  .installDate = kInstallDate,
                                  .items = {PackageItem::file("TORVA/Filter/filter", "x"),
                                            PackageItem::folder("TORVA/Empty"),
                                            PackageItem::link("TORVA/Current", "Filter")}};
    }

    ChildProcess run(std::vector<std::string> arguments) {
        return ChildProcess::helper("pkgutil", arguments);
    }

    void expectNoReceipt(const ChildProcess& result, const std::string& id) {
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "No receipt for '" + id + "' found at '" + volume + "'.\n");
    }
};

} // namespace

TEST_F(Pkgutil, PkgInfoPrintsTheReceiptInMacOrder) {
    PackageFixture::install(system, driver());
    const std::string expected = "package-id: com.torva.pkg.Driver\nversion: 5.2.0\nvolume: " + volume +
                                 "\nlocation: Library/Printers\ninstall-time: 1557821560\n";
    const ChildProcess before = run({"--volume", volume, "--pkg-info", "com.torva.pkg.Driver"});
    EXPECT_EQ(before.exitStatus, 0);
    EXPECT_EQ(before.out, expected);
    EXPECT_EQ(before.err, "");
    EXPECT_EQ(run({"--pkg-info", "com.torva.pkg.Driver", "--volume=" + volume}).out, expected);
}

TEST_F(Pkgutil, PkgInfoOfBinaryReceiptsInEveryFolder) {
    PackageDescription package = driver("com.apple.pkg.TORVAPrinterDrivers");
    package.installPrefix = "/";
    package.binaryReceipt = true;
    package.groups = {"com.apple.FindSystemFiles.pkg-group", "com.apple.other"};
    for (const ReceiptLayout layout : {ReceiptLayout::SystemReceipts, ReceiptLayout::AppleSystemReceipts}) {
        TestSystem fresh;
        PackageFixture::install(fresh, package, layout);
        EXPECT_EQ(
            ChildProcess::helper("pkgutil", {"--pkg-info", package.identifier, "--volume", fresh.root()}).out,
            "package-id: com.apple.pkg.TORVAPrinterDrivers\nversion: 5.2.0\nvolume: " + fresh.root() +
                "\nlocation: /\ninstall-time: 1557821560\n"
                "groups: com.apple.FindSystemFiles.pkg-group com.apple.other\n");
    }
}

TEST_F(Pkgutil, MissingLocationAndDatePrintEmptyAndZero) {
    PackageDescription package = driver();
    package.installPrefix.reset();
    PackageFixture::install(system, package);
    PlistValue receipt = plistDictionary({{"PackageIdentifier", "com.torva.pkg.Bare"}});
    system.writePlist("/var/db/receipts/com.torva.pkg.Bare.plist", receipt);
    EXPECT_EQ(run({"--pkg-info", "com.torva.pkg.Driver", "--volume", volume}).out,
              "package-id: com.torva.pkg.Driver\nversion: 5.2.0\nvolume: " + volume +
                  "\nlocation: \ninstall-time: 1557821560\n");
    EXPECT_EQ(run({"--pkg-info", "com.torva.pkg.Bare", "--volume", volume}).out,
              "package-id: com.torva.pkg.Bare\nversion: \nvolume: " + volume +
                  "\nlocation: \ninstall-time: 0\n");
}

TEST_F(Pkgutil, FirstReceiptFolderWins) {
    PackageDescription older = driver();
    older.version = "1.0";
    PackageFixture::install(system, older, ReceiptLayout::AppleSystemReceipts);
    PackageFixture::install(system, driver(), ReceiptLayout::Database);
    EXPECT_NE(run({"--pkg-info", "com.torva.pkg.Driver", "--volume", volume}).out.find("version: 5.2.0\n"),
              std::string::npos);
}

TEST_F(Pkgutil, UnknownIdsAreReportedForEveryCommand) {
    PackageFixture::install(system, driver());
    // A receipt elsewhere on the volume must not be reachable through a path in the id.
    system.writePlist("/Users/x.plist", plistDictionary({{"PackageIdentifier", "x"}}));
    for (const std::string id : {"com.torva.pkg.Missing", "../../../Users/x", "com.torva.pkg.Driver/"}) {
        for (const std::string command : {"--pkg-info", "--forget", "--files"}) {
            expectNoReceipt(run({command, id, "--volume", volume}), id);
        }
    }
    // A bundle receipt or a 10.5 BOM is no receipt for pkgutil.
    PackageFixture::install(system, driver("com.torva.pkg.Old"), ReceiptLayout::Bundle);
    PackageFixture::install(system, driver("com.torva.pkg.Flat"), ReceiptLayout::FlatBom);
    expectNoReceipt(run({"--pkg-info", "com.torva.pkg.Old", "--volume", volume}), "com.torva.pkg.Old");
    expectNoReceipt(run({"--pkg-info", "com.torva.pkg.Flat", "--volume", volume}), "com.torva.pkg.Flat");
}

TEST_F(Pkgutil, ForgetDeletesOnlyTheReceipt) {
    const InstalledPackage installed = PackageFixture::install(system, driver());
    PackageFixture::install(system, driver("com.torva.pkg.Other"));
    const ChildProcess result = run({"--forget", "com.torva.pkg.Driver", "--volume", volume});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, "Forgot package 'com.torva.pkg.Driver' on '" + volume + "'.\n");
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(system.exists(installed.bomPath));
    EXPECT_FALSE(system.exists(installed.receiptPath));
    EXPECT_TRUE(system.exists("/var/db/receipts/com.torva.pkg.Other.plist"));
    EXPECT_TRUE(system.exists("/var/db/receipts/com.torva.pkg.Other.bom"));
    EXPECT_TRUE(system.exists("/Library/Printers/TORVA/Filter/filter"));
    expectNoReceipt(run({"--pkg-info", "com.torva.pkg.Driver", "--volume", volume}), "com.torva.pkg.Driver");
}

TEST_F(Pkgutil, ForgetThatCannotDeleteFailsAndKeepsTheReceipt) {
    const InstalledPackage installed = PackageFixture::install(system, driver());
    // A non-empty folder in place of the BOM cannot be unlinked, whoever runs the test.
    ASSERT_EQ(::unlink(system.host(installed.bomPath).c_str()), 0);
    system.writeFile(installed.bomPath + "/keep", "x");
    const ChildProcess result = run({"--forget", "com.torva.pkg.Driver", "--volume", volume});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.err.starts_with("Unknown error Error Domain=NSCocoaErrorDomain")) << result.err;
    EXPECT_NE(result.err.find("com.torva.pkg.Driver.bom"), std::string::npos) << result.err;
    EXPECT_TRUE(system.exists(installed.receiptPath));
}

TEST_F(Pkgutil, PkgsListsEveryReceiptOnce) {
    EXPECT_EQ(run({"--pkgs", "--volume", volume}).out, "");
    PackageFixture::install(system, driver("com.torva.b"));
    PackageFixture::install(system, driver("com.torva.a"));
    PackageFixture::install(system, driver("com.torva.a"), ReceiptLayout::SystemReceipts);
    PackageFixture::install(system, driver("com.apple.pkg.c"), ReceiptLayout::AppleSystemReceipts);
    PackageFixture::install(system, driver("com.torva.old"), ReceiptLayout::Bundle);
    system.writePlist("/Library/Receipts/InstallHistory.plist", PlistValue(PlistValue::Array{}));
    system.writeFile("/var/db/receipts/notes.txt", "not a receipt");
    const ChildProcess result = run({"--volume", volume, "--packages"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, "com.torva.a\ncom.torva.b\ncom.apple.pkg.c\n");
}

TEST_F(Pkgutil, FilesListsTheBomWithoutDotPrefix) {
    PackageFixture::install(system, driver(), ReceiptLayout::UserReceipts, "/Users/anna");
    const ChildProcess result =
        run({"--files", "com.torva.pkg.Driver", "--volume", system.host("/Users/anna")});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, "TORVA\nTORVA/Current\nTORVA/Empty\nTORVA/Filter\nTORVA/Filter/filter\n");

    system.writeFile("/Users/anna/Library/Receipts/com.torva.pkg.Driver.bom", "BOMStore");
    const ChildProcess damaged =
        run({"--files", "com.torva.pkg.Driver", "--volume", system.host("/Users/anna")});
    EXPECT_EQ(damaged.exitStatus, 1);
    EXPECT_EQ(damaged.out, "");
    EXPECT_NE(damaged.err, "");
}

TEST_F(Pkgutil, UsageErrorsAndHelp) {
    const ChildProcess help = run({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_TRUE(help.out.starts_with("usage: pkgutil")) << help.out;
    // Each usage error names what was wrong, then shows the usage.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, ""},
        {{"--volume", volume}, "pkgutil: no command given\n"},
        {{"--pkg-info"}, "pkgutil: --pkg-info needs a package id\n"},
        {{"--pkgs", "--forget", "x"}, "pkgutil: only one command at a time: --forget\n"},
        {{"--frobnicate"}, "pkgutil: unknown option --frobnicate\n"},
        {{"--pkgs", "--volume"}, "pkgutil: --volume needs a folder\n"},
    };
    for (const auto& [arguments, problem] : cases) {
        const ChildProcess result = run(arguments);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.starts_with(problem + "usage: pkgutil")) << result.err;
    }
    // A volume that is not there is named, whatever the command.
    for (const std::vector<std::string>& command : {std::vector<std::string>{"--pkgs"}, {"--forget", "x"}}) {
        std::vector<std::string> arguments = command;
        arguments.insert(arguments.end(), {"--volume", volume + "/nonexistent"});
        const ChildProcess missing = run(arguments);
        EXPECT_EQ(missing.exitStatus, 1);
        EXPECT_EQ(missing.err, "pkgutil: " + volume + "/nonexistent: no such volume\n");
    }
}

TEST_F(Pkgutil, LinksNeverLeadOutOfTheVolume) {
    // Receipts of another system, outside the volume, that a link inside it points at.
    TestSystem host;
    const InstalledPackage outside = PackageFixture::install(host, driver("com.other.pkg.App"));
    const std::string hostReceipts = host.host("/var/db/receipts");
    system.makeFolder("/var/db");
    system.makeLink("/var/db/receipts", hostReceipts);
    system.makeFolder("/Library/Apple/System/Library");
    system.makeLink("/Library/Apple/System/Library/Receipts", "../../../../../../../.." + hostReceipts);

    EXPECT_EQ(run({"--pkgs", "--volume", volume}).out, "");
    expectNoReceipt(run({"--pkg-info", "com.other.pkg.App", "--volume", volume}), "com.other.pkg.App");
    expectNoReceipt(run({"--files", "com.other.pkg.App", "--volume", volume}), "com.other.pkg.App");
    expectNoReceipt(run({"--forget", "com.other.pkg.App", "--volume", volume}), "com.other.pkg.App");
    EXPECT_TRUE(host.exists(outside.receiptPath));
    EXPECT_TRUE(host.exists(outside.bomPath));
}

// A receipts folder that is a link to someone's files inside the volume: --forget deletes nothing there.
TEST_F(Pkgutil, ForgetFollowsNoLinkInsideTheVolume) {
    PackageFixture::install(system, driver());
    system.makeFolder("/Users/anna");
    ASSERT_EQ(::rename(system.host("/var/db/receipts").c_str(), system.host("/Users/anna/Documents").c_str()),
              0);
    system.makeLink("/var/db/receipts", "../../Users/anna/Documents");
    run({"--forget", "com.torva.pkg.Driver", "--volume", volume});
    EXPECT_TRUE(system.exists("/Users/anna/Documents/com.torva.pkg.Driver.bom"));
    EXPECT_TRUE(system.exists("/Users/anna/Documents/com.torva.pkg.Driver.plist"));
}
