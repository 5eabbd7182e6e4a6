#include "analysis/AnalyzePathManager.h"

#include "tests/support/TestBundle.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

namespace {

using Paths = std::vector<std::string>;

PlistValue information(const Paths& individual, const Paths& individualUser, const Paths& lower,
                       const Paths& lowerUser) {
    return plistDictionary({{"CVIndividualPath", PlistValue::stringArray(individual)},
                            {"CVIndividualUserPath", PlistValue::stringArray(individualUser)},
                            {"CVLowerLayerPath", PlistValue::stringArray(lower)},
                            {"CVLowerLayerUserPath", PlistValue::stringArray(lowerUser)}});
}

} // namespace

TEST(ProtectedPaths, ListsWithPerUserEntriesForEveryAccount) {
    TestSystem system;
    system.addUser("alice", 501);
    system.addUser("bob", 502);
    TestBundle bundle;
    bundle.setInformation(information({"/Library"}, {"Library"}, {"/System"}, {"Library"}));
    AnalyzePathManager analysis;
    EXPECT_EQ(analysis.individualPathList(), (Paths{"/Library", "/Users/alice", "/Users/alice/Library",
                                                    "/Users/bob", "/Users/bob/Library"}));
    EXPECT_EQ(analysis.lowerLayerPathList(),
              (Paths{"/System", "/Users/alice/Library", "/Users/bob/Library"}));
    // Built once per instance.
    bundle.setInformation(information({}, {}, {}, {}));
    EXPECT_EQ(analysis.individualPathList().size(), 5u);
}

TEST(ProtectedPaths, IndividualPathsProtectOneFolderLowerLayerPathsATree) {
    TestSystem system;
    system.addUser("anna", 501);
    TestBundle bundle;
    bundle.setInformation(
        information({"/Library/Printers"}, {}, {"/Library/Keychains", "/Library/Receipts/"}, {"Documents"}));
    AnalyzePathManager analysis;
    analysis.getMUnInstallFolderPathArray() = {
        "/Library/Printers",    "/Library/Printers/TORVA",     "/Library/PrintersX", "/Library/Keychains",
        "/Library/Keychains/x", "/Library/KeychainsX",         "/Library/Receipts",  "/Library/Receipts/x",
        "/Users/anna",          "/Users/anna/Documents/TORVA", "/Users/anna/Library"};
    analysis.getMUnInstallFilePathArray() = {"/Library/Printers/file", "/Users/anna/Documents/TORVA/file"};
    analysis.removeSystemPath();
    // Paths compare as a Mac names them, so "/Library/Receipts/" protects that tree; files inside
    // protected folders stay listed.
    EXPECT_EQ(analysis.getMUnInstallFolderPathArray(), (Paths{"/Library/Printers/TORVA", "/Library/PrintersX",
                                                              "/Library/KeychainsX", "/Users/anna/Library"}));
    EXPECT_EQ(analysis.getMUnInstallFilePathArray().size(), 2u);
    EXPECT_TRUE(analysis.isIncludeLowerLayerPath("/Users/anna/Documents"));
    EXPECT_FALSE(analysis.isIncludeLowerLayerPath("/Users/anna"));
}

TEST(ProtectedPaths, WithoutTheResourceFileNothingIsProtected) {
    TestSystem system;
    system.addUser("anna", 501);
    TestBundle bundle;
    bundle.setInformationBytes("");
    AnalyzePathManager analysis;
    EXPECT_TRUE(analysis.individualPathList().empty());
    EXPECT_TRUE(analysis.lowerLayerPathList().empty());
}

TEST(ProtectedPaths, AnEntryOfTheWrongTypeDoesNotDropTheOthers) {
    TestSystem system;
    TestBundle bundle;
    PlistValue broken = information({"/Library"}, {}, {"/System"}, {});
    broken.find("CVIndividualPath")->asArray().push_back(PlistValue::integer(5));
    broken.set("CVLowerLayerUserPath", "Documents"); // a string, not an array
    bundle.setInformation(broken);
    AnalyzePathManager analysis;
    EXPECT_EQ(analysis.individualPathList(), (Paths{"/Library"}));
    EXPECT_EQ(analysis.lowerLayerPathList(), (Paths{"/System"}));
}

TEST(ProtectedPaths, TheShippedDataProtectsTheSystemsFolders) {
    TestSystem system;
    system.addUser("anna", 501);
    AnalyzePathManager analysis;
    analysis.getMUnInstallFolderPathArray() = {"/",
                                               "/Library",
                                               "/Library/Printers",
                                               "/Library/Printers/PPDs/Contents/Resources",
                                               "/Library/Printers/TORVA",
                                               "/System/Library/Printers",
                                               "/usr/bin",
                                               "/private/var/db/receipts",
                                               "/Users",
                                               "/Users/anna",
                                               "/Users/anna/Library/Printers",
                                               "/Users/anna/Library/Printers/TORVA",
                                               "/Users/anna/Documents/TORVA",
                                               "/Applications/TORVA Utility.app"};
    analysis.removeSystemPath();
    EXPECT_EQ(analysis.getMUnInstallFolderPathArray(),
              (Paths{"/Library/Printers/TORVA", "/Users/anna/Library/Printers/TORVA",
                     "/Applications/TORVA Utility.app"}));
}
