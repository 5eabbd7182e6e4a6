// What the removal lists never hold, whatever a software's data says: a software whose remove paths
// ask for the system or a user's own files is refused whole (near misses are not); the system's and
// users' items its packages list, and other software's information files and receipts, are left out
// one by one.

#include "analysis/AnalyzePathManager.h"

#include "platform/SystemVersion.h"
#include "tests/support/PackageFixture.h"
#include "tests/support/ProtectedCanaries.h"
#include "tests/support/TestBundle.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Paths = std::vector<std::string>;

Paths allListed(const AnalyzePathManager& analysis) {
    Paths all = analysis.getMUnInstallFilePathArray();
    all.insert(all.end(), analysis.getMUnInstallFolderPathArray().begin(),
               analysis.getMUnInstallFolderPathArray().end());
    all.insert(all.end(), analysis.getMUnInstallLinkPathArray().begin(),
               analysis.getMUnInstallLinkPathArray().end());
    std::sort(all.begin(), all.end());
    return all;
}

std::string reasonFor(const AnalyzePathManager& analysis, const std::string& path) {
    for (const ProtectedItem& item : analysis.getMProtectedItems()) {
        if (item.path == path) {
            return item.reason;
        }
    }
    return "<not left out>";
}

class ProtectedItems : public ::testing::Test {
protected:
    void SetUp() override {
        system.writeSystemVersion("10.15.7");
        systemversion::forgetCachedOSVersion();
        system.addUser("anna", 501);
        system.writeFile("/Library/Printers/TORVA/Fax/fax.bin", "fax");
    }

    TestSystem system;
    ProtectedCanaries canaries{system};
    AnalyzePathManager analysis;
};

} // namespace

TEST_F(ProtectedItems, RemovePathsThatAskForTheFloorRefuseTheSoftwareWhole) {
    struct Case {
        const char* entry;
        bool refused;
    };
    const std::vector<Case> cases = {
        {"/", true},
        {"/*", true},
        {"\"/Users/anna/Documents/../../anna/.ssh\"", true},
        {"/SYSTEM/Library/Kernels/no-such-kernel", true},
        {"/Library/Printers/TORVA/../../Keychains", true},
        {"/Library/Printers/TORVA", false},
        {"/Library/Printers/TORV*", false},
        {"/Users/*/Library/Preferences/com.torva.Fax.plist", false},
        {"/Library/Keychain", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        analysis.buildRemovalLists(
            {}, {std::string("Fax"), Paths{"/Library/Printers/TORVA/Fax", c.entry}, {}}, std::nullopt);
        if (!c.refused) {
            EXPECT_TRUE(analysis.getMRefusedEntries().empty());
            EXPECT_FALSE(analysis.getMUnInstallFilePathArray().empty());
            continue;
        }
        ASSERT_EQ(analysis.getMRefusedEntries().size(), 1u);
        EXPECT_EQ(analysis.getMRefusedEntries().front().entry, c.entry);
        EXPECT_FALSE(analysis.getMRefusedEntries().front().reason.empty());
        EXPECT_EQ(allListed(analysis), Paths{}) << "nothing of a refused software is listed";
    }
}

// Whatever the information resource file protects: here nothing.
TEST_F(ProtectedItems, APackageInstalledAtTheTopLosesOnlyWhatIsNotItsToLose) {
    const TestBundle bundle;
    bundle.setInformation(plistDictionary({}));
    PackageFixture::install(
        system,
        {.identifier = "com.torva.pkg.Everything",
         .items = {PackageItem::file("Library/Printers/TORVA/Fax/fax.bin", "fax"),
                   PackageItem::file("usr/libexec/cups/filter/pdftotorvafax", "filter"),
                   PackageItem::file("System/Library/Kernels/kernel").notOnDisk(),
                   PackageItem::file("usr/libexec/cups/filter/rastertopdf").notOnDisk(),
                   PackageItem::file("private/etc/passwd").notOnDisk(),
                   PackageItem::file("etc/passwd").notOnDisk(),
                   PackageItem::file("Users/anna/Documents/thesis.txt").notOnDisk(),
                   PackageItem::file("Library/Logs/Uninstaller.log").notOnDisk(),
                   PackageItem::file("Library/Preferences/com.torva.Other Software.UnInstallList.plist")
                       .notOnDisk(),
                   PackageItem::file("var/db/receipts/com.other.pkg.Thing.bom").notOnDisk()}});
    analysis.buildRemovalLists({{"com.torva.pkg.Everything", "-", "1.0", "Flat"}},
                               {std::string("Everything"), {}, {}}, std::nullopt);

    EXPECT_EQ(analysis.getMUnInstallFilePathArray(),
              (Paths{"/Library/Printers/TORVA/Fax/fax.bin", "/usr/libexec/cups/filter/pdftotorvafax"}));
    EXPECT_EQ(reasonFor(analysis, "/System/Library/Kernels/kernel"), "the system's own files");
    EXPECT_EQ(reasonFor(analysis, "/usr/libexec/cups/filter/rastertopdf"), "the system's own files");
    EXPECT_EQ(reasonFor(analysis, "/private/etc/passwd"), "the system's configuration");
    EXPECT_EQ(reasonFor(analysis, "/Users/anna/Documents/thesis.txt"), "a user's own files");
    EXPECT_EQ(reasonFor(analysis, "/Library/Logs/Uninstaller.log"), "the uninstall log");
    EXPECT_EQ(reasonFor(analysis, "/Library/Preferences/com.torva.Other Software.UnInstallList.plist"),
              "an uninstall information file");
    EXPECT_EQ(reasonFor(analysis, "/var/db/receipts/com.other.pkg.Thing.bom"), "a receipt");
    // Folders the system keeps anyway are parents of every package: left out without a word.
    EXPECT_EQ(reasonFor(analysis, "/System/Library"), "<not left out>");
    EXPECT_EQ(reasonFor(analysis, "/System/Library/Kernels"), "the system's own files");
    EXPECT_EQ(reasonFor(analysis, "/Users/anna/Documents"), "a user's own files");
    EXPECT_EQ(allListed(analysis),
              (Paths{"/Library/Printers/TORVA", "/Library/Printers/TORVA/Fax",
                     "/Library/Printers/TORVA/Fax/fax.bin", "/usr/libexec/cups/filter/pdftotorvafax"}));
}
