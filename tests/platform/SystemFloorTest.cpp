// What no data can expose to a deletion: the system's folders, and the system's and the users' own
// files below them, whatever the spelling of the path.

#include "platform/SystemFloor.h"

#include <gtest/gtest.h>

TEST(SystemFloor, HoldsTheSystemFoldersWhateverTheirCaseOrSpelling) {
    for (const char* path :
         {"/", "/System", "/Library", "/Applications", "/Users", "/usr", "/bin", "/private",
          "/Library/Printers/PPDs/Contents/Resources", "/var/db/receipts", "/Users/anna",
          "/users/ANNA/library/", "//Library//Printers/", "/Library/./Receipts",
          "/Library/Printers/TORVA/../../Preferences", "/usr/libexec/cups/filter"}) {
        EXPECT_TRUE(SystemFloor::contains(path)) << path;
    }
    for (const char* path :
         {"/Library/Printers/TORVA", "/Users/anna/Library/Printers", "/Users/anna/Documents",
          "/Library/Printers/PPDs", "/Librar", "/Users/anna/LibraryX"}) {
        EXPECT_FALSE(SystemFloor::contains(path)) << path;
    }
}

// Deleting a path takes a system folder with it only when that folder lies below it component by
// component: a name that merely begins like a folder on the way to one holds none.
TEST(SystemFloor, KnowsWhichPathsHoldASystemFolder) {
    const std::pair<const char*, bool> cases[] = {
        {"/", true},
        {"/Users", true},
        {"/Users/anna", true},
        {"/Users/anna/", true},
        {"/Library/Printers/PPDs", true},
        {"/LIBRARY/printers/ppds/Contents", true},
        {"//Library//", true},
        {"/Library/Printers/TORVA/..", true},
        {"/System/Library", true},
        {"/usr/libexec/cups", true},
        {"/Library/Apple/System", true},
        {"/var/db", true},
        {"/private/var", true},
        // Near misses: the start of a name on the way, a longer name, or the floor folder itself.
        {"/Lib", false},
        {"/LIB/", false},
        {"/Librar", false},
        {"/Library2", false},
        {"/Library/Print", false},
        {"/Library/Printers/PPD", false},
        {"/Library/Printers/PPDs/Content", false},
        {"/Library/Printers/PPDs/Contents/Resources", false},
        {"/Library/Printers/PPDs/Contents/Resources/TORVA", false},
        {"/Library/Printers/TORVA/../../Lib", false},
        {"/Library/Apple/Sys", false},
        {"/Library/Receipt", false},
        {"/System/Lib", false},
        {"/usr/lib", false},
        {"/usr/libexec/cup", false},
        {"/var/d", false},
        {"/private/va", false},
        {"/Us", false},
        {"/Users2", false},
        {"/Users/anna/Lib", false},
        {"/Users/anna/Library", false},
        {"/Library/Printers/TORVA", false},
        {"/Users/anna/Documents", false},
        {"/tmp", false},
    };
    for (const auto& [path, holds] : cases) {
        EXPECT_EQ(SystemFloor::containsBelow(path), holds) << path;
    }
}

TEST(SystemFloor, TheSystemsOwnFilesAreUntouchable) {
    for (const char* path :
         {"/System/Library/Kernels/kernel", "/system/library/coreservices/SystemVersion.plist", "/bin/sh",
          "/sbin/launchd", "/usr/lib/libSystem.B.dylib", "/usr/local", "/private/etc/passwd", "/etc/passwd",
          "/ETC/sudoers", "/private/var/db/dslocal/nodes/Default/users/anna.plist", "/var/root/.ssh",
          "/var/db/receipts", "/Library/Keychains/System.keychain", "/Library/Logs/Uninstaller.log",
          "/Library/Preferences/SystemConfiguration/preferences.plist", "/Library/Apple/usr/libexec/xprotect",
          "/Volumes/Backup/important.doc", "/dev/disk0",
          // The places a driver may use hold the system's own items too: only the maker's may go.
          "/System/Library/Extensions/AppleUSBHub.kext", "/usr/libexec/cups/filter/rastertopdf",
          "/usr/libexec/cups/backend/usb"}) {
        EXPECT_TRUE(SystemFloor::mayNotTouch(path)) << path;
    }
}

TEST(SystemFloor, TheUsersOwnFilesAreUntouchable) {
    const std::string renee = "/Users/Ren\u00e9e";     // composed é
    const std::string reneeNfd = "/USERS/rene\u0301e"; // decomposed, other case
    for (const std::string& path :
         {std::string("/Users/anna/Documents/thesis.txt"), std::string("/Users/anna/.ssh/id_rsa"),
          std::string("/Users/anna/Desktop"), std::string("/Users/Shared/shared.txt"),
          std::string("/Users/anna/Library/Keychains/login.keychain-db"),
          std::string("/users/anna/library/MAIL/V2"), std::string("/Users/anna/Library/Messages/chat.db"),
          std::string("/Users/anna/Library/Application Support/AddressBook/AddressBook-v22.abcddb"),
          renee + "/Documents/x", reneeNfd + "/Library/Keychains"}) {
        EXPECT_TRUE(SystemFloor::mayNotTouch(path)) << path;
    }
}

TEST(SystemFloor, TheMakersPlacesMayBeEmptied) {
    for (const char* path :
         {"/Library/Printers/TORVA/Fax/fax.bin", "/Applications/TORVA Scan Utility.app",
          "/System/Library/Extensions/TORVAUSBScanner.kext/Contents/Info.plist",
          "/usr/libexec/cups/filter/pdftotorvafax", "/usr/libexec/cups/backend/torvanet",
          "/usr/local/bin/torva-tool", "/var/db/receipts/com.torva.pkg.Fax.bom",
          "/System/Library/Receipts/com.apple.pkg.TORVAPrinterDrivers.plist",
          "/Users/anna/Library/Preferences/com.torva.ScanUtility.plist",
          "/Users/anna/Library/Application Support/TORVA/Scan Utility", "/Users/anna/Library/Mailbox",
          "/Users/anna/Library/Keychains2", "/Library/Logs/Uninstaller.log.old",
          "/Library/Preferences/x.plist", "/tmp/torva", "/Library/Keychain"}) {
        EXPECT_FALSE(SystemFloor::mayNotTouch(path)) << path;
    }
}

// The lists and the remover skip looking at each item below a folder that holds nothing untouchable, so
// every folder on the way to an untouchable item must say that it holds one.
TEST(SystemFloor, EveryFolderAboveSomethingUntouchableHoldsIt) {
    for (const std::string untouchable :
         {"/System/Library/Kernels/kernel", "/usr/lib/libSystem.B.dylib",
          "/usr/libexec/cups/filter/rastertopdf", "/private/var/db/dslocal/nodes/Default/users/anna.plist",
          "/Library/Apple/usr/libexec/xprotect", "/Library/Preferences/SystemConfiguration/preferences.plist",
          "/Library/Logs/Uninstaller.log", "/Volumes/Backup/important.doc",
          "/Users/anna/Documents/thesis.txt",
          "/Users/anna/Library/Application Support/AddressBook/AddressBook-v22.abcddb",
          "/Users/anna/Library/Containers/com.apple.mail/Data", "/Library/Printers/PPDs/Contents/Resources",
          "/USERS/rene\u0301e/Library/Keychains/login.keychain-db"}) {
        ASSERT_TRUE(SystemFloor::mayNotTouch(untouchable)) << untouchable;
        for (std::string folder = untouchable; folder != "/";) {
            EXPECT_TRUE(SystemFloor::holdsUntouchable(folder)) << folder << " above " << untouchable;
            const size_t slash = folder.rfind('/');
            folder = slash == 0 ? "/" : folder.substr(0, slash);
        }
    }
}

TEST(SystemFloor, KnowsWhatHoldsSomethingUntouchable) {
    for (const char* path : {"/Library/Logs", "/Users/anna/Library/Application Support", "/System/Library",
                             "/private/var/db", "/Users/anna/Documents"}) {
        EXPECT_TRUE(SystemFloor::holdsUntouchable(path)) << path;
    }
    for (const char* path : {"/Library/Printers/TORVA", "/Library/Receipts/TORVA Fax.pkg",
                             "/Users/anna/Library/Application Support/TORVA",
                             "/usr/libexec/cups/filter/pdftotorvafax", "/Library/Log"}) {
        EXPECT_FALSE(SystemFloor::holdsUntouchable(path)) << path;
    }
}
