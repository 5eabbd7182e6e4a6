#include "analysis/AnalyzePathManager.h"

#include "tests/support/TestBundle.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

namespace {

using Paths = std::vector<std::string>;

// A software whose packages put these items in place, with the lists filled as the BOM step would.
class Merge : public ::testing::Test {
protected:
    void SetUp() override {
        mSystem.writeFile("/Library/Printers/TORVA/Driver/driver.bin", "12345");
        mSystem.writeFile("/Library/Printers/TORVA/Common/shared.dylib");
        mSystem.makeFolder("/Library/Printers/TORVA/Common/Sub");
        mSystem.makeLink("/Library/Printers/TORVA/Common/current", "shared.dylib");
        mSystem.writeFile("/Library/Printers/TORVA/Common Files/shared.txt");
        mSystem.writeFile("/Library/Printers/TORVA/Extra/extra.txt");
        mSystem.makeLink("/Library/Printers/TORVA/Extra/link", "extra.txt");
        mAnalysis.getMUnInstallFilePathArray() = {
            "/Library/Printers/TORVA/Driver/driver.bin", "/Library/Printers/TORVA/Common/shared.dylib",
            "/Library/Printers/TORVA/Common Files/shared.txt", "/Library/Printers/TORVA/Driver/driver.bin"};
        mAnalysis.getMUnInstallFolderPathArray() = {"/Library/Printers/TORVA",
                                                    "/Library/Printers/TORVA/Driver",
                                                    "/Library/Printers/TORVA/Common",
                                                    "/Library/Printers/TORVA/Common/Sub",
                                                    "/Library/Printers/TORVA/Common Files",
                                                    "/Library/Printers/TORVA/Driver"};
        mAnalysis.getMUnInstallLinkPathArray() = {"/Library/Printers/TORVA/Common/current"};
        // Only this test's own kept paths count.
        PlistValue info = TestBundle::shippedInfo();
        info.erase("EXRestPathList");
        mBundle.setInfo(info);
    }

    TestSystem mSystem;
    TestBundle mBundle;
    AnalyzePathManager mAnalysis;
};

} // namespace

TEST_F(Merge, AKeptFolderKeepsEverythingBelowItEachFromItsOwnList) {
    mAnalysis.mergeRemovePath(std::nullopt, Paths{"/Library/Printers/TORVA/Common"});
    EXPECT_EQ(mAnalysis.getMUnInstallFilePathArray(),
              (Paths{"/Library/Printers/TORVA/Common Files/shared.txt",
                     "/Library/Printers/TORVA/Driver/driver.bin"}));
    EXPECT_EQ(mAnalysis.getMUnInstallFolderPathArray(),
              (Paths{"/Library/Printers/TORVA", "/Library/Printers/TORVA/Common Files",
                     "/Library/Printers/TORVA/Driver"}));
    EXPECT_TRUE(mAnalysis.getMUnInstallLinkPathArray().empty());
}

TEST_F(Merge, QuotedEscapedAndWildcardRestEntriesKeepTheSameItems) {
    for (const std::string& entry : {std::string("\"/Library/Printers/TORVA/Common Files\""),
                                     std::string("/Library/Printers/TORVA/Common\\ Files"),
                                     std::string("'/Library/Printers/TORVA/Common Files'"),
                                     std::string("/Library/Printers/TORVA/Common F*")}) {
        AnalyzePathManager analysis;
        analysis.getMUnInstallFilePathArray() = mAnalysis.getMUnInstallFilePathArray();
        analysis.getMUnInstallFolderPathArray() = mAnalysis.getMUnInstallFolderPathArray();
        analysis.mergeRemovePath(std::nullopt, Paths{entry});
        EXPECT_EQ(analysis.getMUnInstallFilePathArray(), (Paths{"/Library/Printers/TORVA/Common/shared.dylib",
                                                                "/Library/Printers/TORVA/Driver/driver.bin"}))
            << entry;
        EXPECT_EQ(std::count(analysis.getMUnInstallFolderPathArray().begin(),
                             analysis.getMUnInstallFolderPathArray().end(),
                             "/Library/Printers/TORVA/Common Files"),
                  0)
            << entry;
    }
}

TEST_F(Merge, RemoveEntriesAddExistingItemsByTheirKindOnDisk) {
    mAnalysis.mergeRemovePath(Paths{"/Library/Printers/TORVA/Extra", "/Library/Printers/TORVA/Missing"},
                              std::nullopt);
    const Paths& files = mAnalysis.getMUnInstallFilePathArray();
    EXPECT_NE(std::find(files.begin(), files.end(), "/Library/Printers/TORVA/Extra/extra.txt"), files.end());
    const Paths& folders = mAnalysis.getMUnInstallFolderPathArray();
    EXPECT_NE(std::find(folders.begin(), folders.end(), "/Library/Printers/TORVA/Extra"), folders.end());
    EXPECT_EQ(mAnalysis.getMUnInstallLinkPathArray(),
              (Paths{"/Library/Printers/TORVA/Common/current", "/Library/Printers/TORVA/Extra/link"}));
    for (const Paths* list :
         {&files, &folders, static_cast<const Paths*>(&mAnalysis.getMUnInstallLinkPathArray())}) {
        EXPECT_EQ(std::count(list->begin(), list->end(), "/Library/Printers/TORVA/Missing"), 0);
    }
}

TEST_F(Merge, APathBothKeptAndRemovedIsRemoved) {
    mAnalysis.mergeRemovePath(Paths{"/Library/Printers/TORVA/Common/shared.dylib"},
                              Paths{"/Library/Printers/TORVA/Common"});
    const Paths& files = mAnalysis.getMUnInstallFilePathArray();
    EXPECT_NE(std::find(files.begin(), files.end(), "/Library/Printers/TORVA/Common/shared.dylib"),
              files.end());
}

TEST_F(Merge, TheKindOnDiskDecides) {
    // The BOM said folder; it is a file now. A rest entry takes items out of the list of their kind on
    // disk only, so the stale folder entry stays in the folder list; deleting looks at what is there.
    mSystem.writeFile("/Library/Printers/TORVA/WasFolder");
    mAnalysis.getMUnInstallFolderPathArray().push_back("/Library/Printers/TORVA/WasFolder");
    mAnalysis.mergeRemovePath(std::nullopt, Paths{"/Library/Printers/TORVA/WasFolder"});
    const Paths& folders = mAnalysis.getMUnInstallFolderPathArray();
    EXPECT_NE(std::find(folders.begin(), folders.end(), "/Library/Printers/TORVA/WasFolder"), folders.end());
}

TEST_F(Merge, SharedKeptPathsOfTheApplicationApplyToEverySoftware) {
    PlistValue info = TestBundle::shippedInfo();
    info.set("EXRestPathList", PlistValue(PlistValue::Array{PlistValue("/Library/Printers/TORVA/Common"),
                                                            PlistValue::integer(3)}));
    mBundle.setInfo(info);
    EXPECT_EQ(mAnalysis.addExtensionRestPathList(Paths{"/own"}),
              (Paths{"/own", "/Library/Printers/TORVA/Common"}));
    EXPECT_EQ(mAnalysis.addExtensionRestPathList(std::nullopt), (Paths{"/Library/Printers/TORVA/Common"}));
    EXPECT_EQ(AnalyzePathManager::addAllSoftwareRestPathList(Paths{"/b", "/a"}, Paths{"/a", "/c"}),
              (Paths{"/a", "/b", "/c"}));
    EXPECT_TRUE(AnalyzePathManager::addAllSoftwareRestPathList(std::nullopt, std::nullopt).empty());
}
