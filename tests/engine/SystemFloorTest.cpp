// The compiled-in system folders that no data can expose to a deletion.

#include "engine/SystemFloor.h"

#include <gtest/gtest.h>

TEST(SystemFloor, HoldsTheSystemFoldersWhateverTheirCaseOrSpelling) {
    for (const char* path : {"/",
                             "/System",
                             "/Library",
                             "/Applications",
                             "/Users",
                             "/usr",
                             "/bin",
                             "/sbin",
                             "/etc",
                             "/var",
                             "/private",
                             "/Library/Printers",
                             "/Library/Preferences",
                             "/Library/LaunchAgents",
                             "/Library/Receipts",
                             "/Library/Printers/PPDs/Contents/Resources",
                             "/Users/anna",
                             "/Users/anna/Library",
                             "/users/ANNA/library/",
                             "//Library//Printers/",
                             "/Library/./Receipts",
                             "/Library/Printers/TORVA/../../Preferences"}) {
        EXPECT_TRUE(SystemFloor::contains(path)) << path;
    }
    for (const char* path :
         {"/Library/Printers/TORVA", "/Users/anna/Library/Printers", "/Users/anna/Documents",
          "/Library/Printers/PPDs", "/usr/local", "/Librar", "/Users/anna/LibraryX"}) {
        EXPECT_FALSE(SystemFloor::contains(path)) << path;
    }
}

TEST(SystemFloor, KnowsWhichPathsHoldASystemFolder) {
    for (const char* path :
         {"/", "/Users", "/Users/anna", "/Library/Printers/PPDs", "/LIBRARY/printers/ppds/Contents"}) {
        EXPECT_TRUE(SystemFloor::containsBelow(path)) << path;
    }
    for (const char* path : {"/Library/Printers/TORVA", "/Users/anna/Library", "/System/Library", "/tmp"}) {
        EXPECT_FALSE(SystemFloor::containsBelow(path)) << path;
    }
}
