// A software whose remove paths ask for the system or a user's own files, in any spelling, is refused
// whole and lists nothing; near misses are not refused.

#include "analysis/AnalyzePathManager.h"

#include "tests/support/ProtectedCanaries.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

TEST(RemovePathRefusal, PathsThatAskForTheFloorRefuseTheSoftwareWhole) {
    TestSystem system;
    system.addUser("anna", 501);
    system.writeFile("/Library/Printers/TORVA/Fax/fax.bin", "fax");
    const ProtectedCanaries canaries(system);
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
    AnalyzePathManager analysis;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        analysis.buildRemovalLists(
            {}, {std::string("Fax"), std::vector<std::string>{"/Library/Printers/TORVA/Fax", c.entry}, {}},
            std::nullopt);
        if (!c.refused) {
            EXPECT_TRUE(analysis.getMRefusedEntries().empty());
            EXPECT_FALSE(analysis.getMUnInstallFilePathArray().empty());
            continue;
        }
        ASSERT_EQ(analysis.getMRefusedEntries().size(), 1u);
        EXPECT_EQ(analysis.getMRefusedEntries().front().entry, c.entry);
        EXPECT_FALSE(analysis.getMRefusedEntries().front().reason.empty());
        EXPECT_TRUE(analysis.getMUnInstallFilePathArray().empty() &&
                    analysis.getMUnInstallFolderPathArray().empty() &&
                    analysis.getMUnInstallLinkPathArray().empty())
            << "nothing of a refused software is listed";
    }
}
