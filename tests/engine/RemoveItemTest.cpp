// Clearing what a software leaves outside its files: Dock tiles, login items, launch agents, the
// uninstall information file and receipts, with property-list edits that lose nothing.

#include "engine/ActionReport.h"
#include "engine/RemoveItemManager.h"
#include "platform/PropertyList.h"
#include "platform/SystemVersion.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeTools.h"
#include "tests/support/ImmutableFile.h"
#include "tests/support/PackageFixture.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Labels = std::vector<std::string>;
using Calls = std::vector<std::vector<std::string>>;

const std::string kAnnaDock = "/Users/anna/Library/Preferences/com.apple.dock.plist";

PlistValue tile(const std::string& label, int64_t guid) {
    return plistDictionary(
        {{"GUID", PlistValue::integer(guid)},
         {"tile-data", plistDictionary({{"file-label", label},
                                        {"file-type", PlistValue::integer(41)},
                                        {"book", PlistValue::data(std::string("\0\1\2", 3))}})},
         {"tile-type", "file-tile"}});
}

// A Dock with the settings a real one carries around its tiles.
PlistValue dock(PlistValue::Array apps, std::optional<PlistValue::Array> others) {
    PlistValue root = plistDictionary({{"autohide", PlistValue::boolean(false)},
                                       {"mod-count", PlistValue::integer(57)},
                                       {"persistent-apps", PlistValue(std::move(apps))},
                                       {"preferreditemsize", PlistValue::integer(-1)},
                                       {"magnification-size", PlistValue::real(64.5)},
                                       {"last-show", PlistValue::date(600000000.25)}});
    if (others) {
        root.set("persistent-others", PlistValue(std::move(*others)));
    }
    root.set("version", PlistValue::integer(1));
    return root;
}

struct FileState {
    uid_t uid;
    gid_t gid;
    mode_t mode;
    ino_t inode;
};

FileState stateOf(const TestSystem& system, const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(system.host(path).c_str(), &st), 0) << path;
    return {st.st_uid, st.st_gid, st.st_mode & 07777, st.st_ino};
}

class RemoveItems : public ::testing::Test {
protected:
    void SetUp() override {
        system.writeSystemVersion("10.15.7");
        systemversion::forgetCachedOSVersion();
        system.addUser("anna", 501);
        system.addUser("ben", 502);
        remover.hostActions().setReport(&report);
    }

    PlistValue read(const std::string& path) const {
        return PropertyList::readFile(path).value_or(PlistValue());
    }

    TestSystem system;
    ActionReport report;
    RemoveItemManager remover;
};

} // namespace

TEST_F(RemoveItems, DockTilesGoByLabelEveryOneOnceAndNothingElseChanges) {
    system.writePlist(
        kAnnaDock,
        dock({tile("Safari", 1), tile("TORVA Utility", 2), tile("Mail", 3), tile("TORVA Utility", 4)},
             PlistValue::Array{tile("Downloads", 5), tile("TORVA Scan", 6)}),
        /*binary=*/true);
    ASSERT_EQ(::chown(system.host(kAnnaDock).c_str(), 501, 20), 0);
    ASSERT_EQ(::chmod(system.host(kAnnaDock).c_str(), 0600), 0);
    const FileState before = stateOf(system, kAnnaDock);

    EXPECT_TRUE(remover.removeDockItems(Labels{"TORVA Utility", "TORVA Utility", "TORVA Scan", "Nothing"}));

    EXPECT_EQ(read(kAnnaDock),
              dock({tile("Safari", 1), tile("Mail", 3)}, PlistValue::Array{tile("Downloads", 5)}));
    EXPECT_EQ(system.read(kAnnaDock).substr(0, 8), "bplist00");
    const FileState after = stateOf(system, kAnnaDock);
    EXPECT_EQ(after.uid, 501u);
    EXPECT_EQ(after.gid, 20u);
    EXPECT_EQ(after.mode, 0600u);
    EXPECT_NE(after.inode, before.inode) << "written through a new file";
    EXPECT_TRUE(remover.getIsRemoveDockItem());
    EXPECT_EQ(system.tree("/Users/anna/Library/Preferences").size(), 1u) << "no temporary file is left";
}

TEST_F(RemoveItems, ADockWithoutAListedTileIsNotWritten) {
    system.writePlist(kAnnaDock, dock({tile("Safari", 1)}, std::nullopt));
    const std::string bytes = system.read(kAnnaDock);
    const FileState before = stateOf(system, kAnnaDock);
    EXPECT_TRUE(remover.removeDockItems(Labels{"TORVA Utility"}));
    EXPECT_EQ(system.read(kAnnaDock), bytes);
    EXPECT_EQ(stateOf(system, kAnnaDock).inode, before.inode);
    EXPECT_FALSE(remover.getIsRemoveDockItem());
}

TEST_F(RemoveItems, ADockThatIsALinkOrNoPropertyListIsLeftAlone) {
    system.writePlist("/Users/anna/Documents/dock.plist", dock({tile("TORVA Utility", 1)}, std::nullopt));
    system.makeLink(kAnnaDock, "/Users/anna/Documents/dock.plist");
    const std::string benDock = "/Users/ben/Library/Preferences/com.apple.dock.plist";
    system.writeFile(benDock, "<plist><dict><key>persistent-apps</key><array><dict>broken");
    const std::string target = system.read("/Users/anna/Documents/dock.plist");

    EXPECT_TRUE(remover.removeDockItems(Labels{"TORVA Utility"}));

    EXPECT_TRUE(system.isLink(kAnnaDock));
    EXPECT_EQ(system.read("/Users/anna/Documents/dock.plist"), target);
    EXPECT_EQ(system.read(benDock), "<plist><dict><key>persistent-apps</key><array><dict>broken");
    EXPECT_FALSE(remover.getIsRemoveDockItem());
    const std::vector<EngineAction> skipped = report.actionsWith(EngineAction::Outcome::Skipped);
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[0].detail, "a symbolic link");
    EXPECT_EQ(skipped[1].detail, "not a property list");
}

TEST_F(RemoveItems, LoginItemsOfTheSystemAndEveryUser) {
    FakeTools tools;
    tools.add("chown");
    remover.hostActions().setAccess(HostAccess::Live);
    const auto items = [](const std::vector<std::string>& paths) {
        PlistValue::Array array;
        for (const std::string& path : paths) {
            array.push_back(plistDictionary({{"Hide", PlistValue::boolean(false)}, {"Path", path}}));
        }
        return plistDictionary({{"AutoLaunchedApplicationDictionary", PlistValue(std::move(array))},
                                {"GuestEnabled", PlistValue::boolean(false)}});
    };
    system.writePlist("/Library/Preferences/loginwindow.plist", items({"/A.app", "/B.app", "/C.app"}));
    system.writePlist("/Users/anna/Library/Preferences/loginwindow.plist", items({"/B.app"}),
                      /*binary=*/true);
    system.writePlist("/Users/ben/Library/Preferences/loginwindow.plist", items({"/C.app"}));

    EXPECT_TRUE(remover.removeLoginWindows(Labels{"/A.app", "/B.app"}));

    EXPECT_EQ(read("/Library/Preferences/loginwindow.plist"), items({"/C.app"}));
    EXPECT_EQ(read("/Users/anna/Library/Preferences/loginwindow.plist"), items({}));
    EXPECT_EQ(read("/Users/ben/Library/Preferences/loginwindow.plist"), items({"/C.app"}));
    // Only the changed user's file goes back to its user by name; the system's file has no user.
    EXPECT_EQ(tools.calls("chown"),
              (Calls{{"anna", system.host("/Users/anna/Library/Preferences/loginwindow.plist")}}));
    EXPECT_TRUE(remover.removeLoginWindows(std::nullopt));
}

TEST_F(RemoveItems, LaunchAgentsAtAnyDepthGoByLabel) {
    system.writePlist("/Library/LaunchAgents/com.torva.a.plist", plistDictionary({{"Label", "com.torva.a"}}));
    system.writePlist("/Users/ben/Library/LaunchAgents/sub/x/agent.plist",
                      plistDictionary({{"Label", "com.torva.b"}}));
    system.writePlist("/Users/ben/Library/LaunchAgents/other.plist",
                      plistDictionary({{"Label", "com.other"}}));
    system.writeFile("/Users/ben/Library/LaunchAgents/notes.txt", "not a property list");
    // The system's own agents stay whatever label the data names; the step goes on.
    system.writePlist("/System/Library/LaunchAgents/com.apple.Finder.plist",
                      plistDictionary({{"Label", "com.torva.a"}}));

    EXPECT_TRUE(remover.removeLaunchAgents(Labels{"com.torva.a", "com.torva.b"}));

    EXPECT_TRUE(system.exists("/System/Library/LaunchAgents/com.apple.Finder.plist"));
    EXPECT_FALSE(system.exists("/Library/LaunchAgents/com.torva.a.plist"));
    EXPECT_FALSE(system.exists("/Users/ben/Library/LaunchAgents/sub/x/agent.plist"));
    EXPECT_TRUE(system.exists("/Users/ben/Library/LaunchAgents/other.plist"));
    EXPECT_TRUE(system.exists("/Users/ben/Library/LaunchAgents/notes.txt"));
    EXPECT_TRUE(remover.removeLaunchAgents(Labels{}));
}

TEST_F(RemoveItems, AMatchingLaunchAgentThatCannotBeDeletedFailsTheStepAndTheOthersStillGo) {
    const std::string agent = "/Library/LaunchAgents/com.torva.a.plist";
    system.writePlist(agent, plistDictionary({{"Label", "com.torva.a"}}));
    system.writePlist("/Users/anna/Library/LaunchAgents/com.torva.a.plist",
                      plistDictionary({{"Label", "com.torva.a"}}));
    const ImmutableFile locked(system.host(agent));
    if (!locked.isSet()) {
        GTEST_SKIP() << "this file system cannot make a file immutable";
    }
    EXPECT_FALSE(remover.removeLaunchAgents(Labels{"com.torva.a"}));
    EXPECT_FALSE(system.exists("/Users/anna/Library/LaunchAgents/com.torva.a.plist"));
    EXPECT_EQ(report.actionsWith(EngineAction::Outcome::Failed).size(), 1u);
}

TEST_F(RemoveItems, TheInformationFileIsDeletedAndAMissingOneIsAlreadyGone) {
    const std::string file = "/Library/Preferences/com.torva.Fax.UnInstallList.plist";
    system.writeFile(file, "encoded");
    EXPECT_TRUE(remover.removeUnInstallPList(file));
    EXPECT_FALSE(system.exists(file));
    EXPECT_TRUE(remover.removeUnInstallPList(file));
    EXPECT_EQ(report.actionsWith(EngineAction::Outcome::AlreadyGone).size(), 1u);
    EXPECT_FALSE(remover.removeUnInstallPList(std::nullopt));
    // Only an uninstall information file is one.
    system.writeFile("/Library/Preferences/com.apple.loginwindow.plist", "theirs");
    EXPECT_FALSE(remover.removeUnInstallPList("/Library/Preferences/com.apple.loginwindow.plist"));
    EXPECT_TRUE(system.exists("/Library/Preferences/com.apple.loginwindow.plist"));
}

TEST_F(RemoveItems, ReceiptsAreForgottenWithPkgutilOnTenSixAndLater) {
    PackageFixture::install(system,
                            {.identifier = "com.torva.pkg.Fax", .items = {PackageItem::file("x/y", "1")}});
    PackageFixture::install(system,
                            {.identifier = "com.torva.pkg.Keep", .items = {PackageItem::file("x/z", "2")}});
    // A package carried over from an older Mac has only its bundle receipt.
    PackageFixture::install(system,
                            {.identifier = "com.torva.pkg.Old",
                             .items = {PackageItem::file("x/o", "3")},
                             .bundleName = "Old.pkg"},
                            ReceiptLayout::Bundle);

    EXPECT_TRUE(remover.removeReceipts(std::vector<PackageInfoEntry>{
        {"com.torva.pkg.Fax", "-", "1.0", "Flat"}, {"com.torva.pkg.Old", "Old.pkg", "1.0", "Bundle"}}));

    const ChildProcess pkgs = ChildProcess::helper("pkgutil", {"--pkgs", "--volume", system.root()});
    EXPECT_EQ(pkgs.out, "com.torva.pkg.Keep\n");
    EXPECT_FALSE(system.exists("/Library/Receipts/Old.pkg"));
    EXPECT_TRUE(system.exists("/x/y")) << "forgetting leaves the installed files";
    EXPECT_FALSE(remover.removeReceipts(std::nullopt));
}

TEST_F(RemoveItems, ReceiptBundlesAreDeletedOnTenFive) {
    system.writeSystemVersion("10.5.8");
    systemversion::forgetCachedOSVersion();
    FakeTools tools;
    tools.add("pkgutil", "", 1);
    PackageFixture::install(system,
                            {.identifier = "com.torva.pkg.Fax",
                             .items = {PackageItem::file("x/y", "1")},
                             .bundleName = "TORVA Fax.pkg"},
                            ReceiptLayout::Bundle);
    PackageFixture::install(system,
                            {.identifier = "com.torva.pkg.Flat", .items = {PackageItem::file("x/z", "1")}},
                            ReceiptLayout::FlatBom);

    EXPECT_TRUE(remover.removeReceipts(
        std::vector<PackageInfoEntry>{{"com.torva.pkg.Fax", "TORVA Fax.pkg", "1.0", "Bundle"},
                                      {"com.torva.pkg.Flat", "-", "1.0", "Flat"}}));

    EXPECT_FALSE(system.exists("/Library/Receipts/TORVA Fax.pkg"));
    EXPECT_TRUE(system.exists("/Library/Receipts/boms/com.torva.pkg.Flat.bom"))
        << "flat receipts stay on 10.5";
    EXPECT_TRUE(tools.calls("pkgutil").empty());
}

TEST_F(RemoveItems, AReceiptNameThatIsNotAPlainNameDeletesNothing) {
    system.writeSystemVersion("10.5.8");
    systemversion::forgetCachedOSVersion();
    system.writeFile("/Library/Printers/keep.txt", "keep");
    EXPECT_TRUE(remover.removeReceipts(
        std::vector<PackageInfoEntry>{{"x", "../Printers", "1.0", "Bundle"}, {"y", "-", "1.0", "Bundle"}}));
    EXPECT_EQ(system.read("/Library/Printers/keep.txt"), "keep");
}

// Offline the edited files keep their owner and no chown runs; the report says what would have run.
TEST_F(RemoveItems, OfflineChownIsSkippedAndReported) {
    FakeTools tools;
    tools.add("chown");
    system.writePlist(kAnnaDock, dock({tile("TORVA Utility", 1)}, std::nullopt), /*binary=*/true);
    ASSERT_EQ(::chown(system.host(kAnnaDock).c_str(), 501, 20), 0);

    EXPECT_TRUE(remover.removeDockItems(Labels{"TORVA Utility"}));

    EXPECT_TRUE(tools.calls("chown").empty());
    EXPECT_EQ(stateOf(system, kAnnaDock).uid, 501u);
    const std::vector<EngineAction> skipped = report.actionsWith(EngineAction::Outcome::SkippedOffline);
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(HostActions::offlineStepText(skipped[0]), "chown anna " + kAnnaDock);
    EXPECT_EQ(report.actionsWith(EngineAction::Outcome::Edited).size(), 1u);
}

TEST_F(RemoveItems, ADryRunChangesNothingAndReportsTheSameSkippedSteps) {
    system.writePlist(kAnnaDock, dock({tile("TORVA Utility", 1)}, std::nullopt), /*binary=*/true);
    system.writePlist("/Library/LaunchAgents/com.torva.a.plist", plistDictionary({{"Label", "com.torva.a"}}));
    system.writeFile("/Library/Preferences/com.torva.Fax.UnInstallList.plist", "encoded");
    const std::string bytes = system.read(kAnnaDock);
    remover.hostActions().setMode(ActionMode::DryRun);

    EXPECT_TRUE(remover.removeDockItems(Labels{"TORVA Utility"}));
    EXPECT_TRUE(remover.removeLaunchAgents(Labels{"com.torva.a"}));
    EXPECT_TRUE(
        remover.removeUnInstallPList(std::string("/Library/Preferences/com.torva.Fax.UnInstallList.plist")));

    EXPECT_EQ(system.read(kAnnaDock), bytes);
    EXPECT_TRUE(system.exists("/Library/LaunchAgents/com.torva.a.plist"));
    EXPECT_TRUE(system.exists("/Library/Preferences/com.torva.Fax.UnInstallList.plist"));
    ASSERT_EQ(report.actions().size(), 1u);
    EXPECT_EQ(HostActions::offlineStepText(report.actions()[0]), "chown anna " + kAnnaDock);
}
