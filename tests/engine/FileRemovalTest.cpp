// Deleting one software's files, links and folders: the hidden-files rule for folders, the order of
// parents and children, and the safety rules (no link on the way followed but the system's own, nothing
// protected deleted whatever the lists say, a file that became a link unlinked itself).

#include "engine/ActionReport.h"
#include "engine/FileRemover.h"
#include "tests/e2e/TreeSnapshot.h"
#include "tests/support/ProtectedCanaries.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Paths = std::vector<std::string>;

// An unprivileged owner for planted links (a user of the system being cleaned).
constexpr uid_t kUserId = 501;

bool deleteLists(const Paths& files, const Paths& folders, const Paths& links,
                 ActionReport* report = nullptr) {
    FileRemover remover;
    remover.setReport(report);
    return remover.execUnInstall(files, FileRemover::sortedByLength(folders), links);
}

std::string detailOf(const ActionReport& report, const std::string& target) {
    for (const EngineAction& action : report.actions()) {
        if (action.target == target) {
            return std::string(EngineAction::outcomeName(action.outcome)) +
                   (action.detail.empty() ? "" : ": " + action.detail);
        }
    }
    return "<not reported>";
}

} // namespace

TEST(FileRemoval, WhatAFolderHoldsDecidesWhetherItGoes) {
    struct Case {
        const char* what;
        std::function<void(const TestSystem&, const std::string&)> fill;
        bool removed;
    };
    const std::vector<Case> cases = {
        {"nothing", [](const TestSystem&, const std::string&) {}, true},
        {"only hidden files",
         [](const TestSystem& s, const std::string& f) {
             s.writeFile(f + "/.DS_Store", "x");
             s.writeFile(f + "/.localized");
         },
         true},
        {"a visible file", [](const TestSystem& s, const std::string& f) { s.writeFile(f + "/readme"); },
         false},
        {"an empty hidden folder",
         [](const TestSystem& s, const std::string& f) { s.makeFolder(f + "/.cache"); }, false},
        {"a hidden link to anywhere",
         [](const TestSystem& s, const std::string& f) { s.makeLink(f + "/.link", "/"); }, true},
        {"a visible link", [](const TestSystem& s, const std::string& f) { s.makeLink(f + "/link", ".x"); },
         false},
        {"a named pipe",
         [](const TestSystem& s, const std::string& f) { ::mkfifo(s.host(f + "/pipe").c_str(), 0600); },
         true},
        {"a socket",
         [](const TestSystem& s, const std::string& f) {
             const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             const std::string where = s.host(f + "/sock");
             where.copy(address.sun_path, sizeof address.sun_path - 1);
             ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
             ::close(fd);
         },
         true},
    };
    for (const Case& c : cases) {
        TestSystem system;
        const std::string folder = "/Library/Printers/TORVA/Case";
        system.makeFolder(folder);
        c.fill(system, folder);
        deleteLists({}, {folder}, {});
        EXPECT_EQ(!system.exists(folder), c.removed) << "a folder holding " << c.what;
        EXPECT_TRUE(system.isFolder("/Library/Printers/TORVA")) << c.what;
    }
}

TEST(FileRemoval, FoldersGoDeepestFirstAndAKeptChildKeepsItsParents) {
    TestSystem system;
    system.makeFolder("/A/B/C");
    system.writeFile("/A/B/.DS_Store");
    system.writeFile("/A/D/keep.txt", "mine");
    system.makeFolder("/E/F");
    ActionReport report;
    // Given in any order: the remover examines the longest paths first.
    EXPECT_TRUE(deleteLists({}, {"/A", "/E/F", "/A/D", "/A/B/C", "/E", "/A/B"}, {}, &report));
    EXPECT_FALSE(system.exists("/A/B"));
    EXPECT_FALSE(system.exists("/E"));
    EXPECT_EQ(system.read("/A/D/keep.txt"), "mine");
    EXPECT_EQ(detailOf(report, "/A"), "skipped: not empty");
    EXPECT_EQ(detailOf(report, "/A/D"), "skipped: not empty");
    EXPECT_EQ(detailOf(report, "/A/B/C"), "deleted");
}

TEST(FileRemoval, FilesAndLinksGoBeforeTheFoldersThatHoldThem) {
    TestSystem system;
    system.writeFile("/Library/Printers/TORVA/Fax/Fax.plugin/Info.plist", "plist");
    system.makeLink("/Library/Printers/TORVA/Fax/Current", "Fax.plugin");
    EXPECT_TRUE(deleteLists({"/Library/Printers/TORVA/Fax/Fax.plugin/Info.plist"},
                            {"/Library/Printers/TORVA/Fax", "/Library/Printers/TORVA/Fax/Fax.plugin"},
                            {"/Library/Printers/TORVA/Fax/Current"}));
    EXPECT_FALSE(system.exists("/Library/Printers/TORVA/Fax"));
}

TEST(FileRemoval, ADanglingLinkGoesOnlyFromTheLinkList) {
    TestSystem system;
    system.makeLink("/Library/Printers/TORVA/dangling", "/Library/Printers/TORVA/nothing");
    system.makeLink("/Library/Printers/TORVA/also-dangling", "nothing");
    ActionReport report;
    deleteLists({"/Library/Printers/TORVA/dangling"}, {}, {"/Library/Printers/TORVA/also-dangling"}, &report);
    EXPECT_TRUE(system.isLink("/Library/Printers/TORVA/dangling"));
    EXPECT_FALSE(system.exists("/Library/Printers/TORVA/also-dangling"));
    EXPECT_EQ(detailOf(report, "/Library/Printers/TORVA/dangling"), "already gone");
}

TEST(FileRemoval, AFileThatBecameALinkIsUnlinkedNeverItsTarget) {
    TestSystem system;
    system.writeFile("/Users/anna/Documents/thesis.txt", "years of work");
    system.makeFolder("/Library/Printers/TORVA/Fax");
    // Absolute targets are resolved inside the system being cleaned.
    system.makeLink("/Library/Printers/TORVA/Fax/settings.plist", "/Users/anna/Documents/thesis.txt");
    system.makeFolder("/Library/Printers/TORVA/Folder");
    system.makeLink("/Library/Printers/TORVA/Folder/data", "/Users/anna/Documents");
    deleteLists({"/Library/Printers/TORVA/Fax/settings.plist", "/Library/Printers/TORVA/Folder/data"}, {},
                {});
    EXPECT_FALSE(system.exists("/Library/Printers/TORVA/Fax/settings.plist"));
    EXPECT_FALSE(system.exists("/Library/Printers/TORVA/Folder/data"));
    EXPECT_EQ(system.read("/Users/anna/Documents/thesis.txt"), "years of work");
}

TEST(FileRemoval, AFolderListedAsAFolderThatBecameALinkIsLeftAlone) {
    TestSystem system;
    system.writeFile("/Users/anna/Documents/.hidden", "mine");
    system.makeLink("/Library/Printers/TORVA/Fax", "/Users/anna/Documents");
    ActionReport report;
    deleteLists({}, {"/Library/Printers/TORVA/Fax"}, {}, &report);
    EXPECT_TRUE(system.isLink("/Library/Printers/TORVA/Fax"));
    EXPECT_EQ(system.read("/Users/anna/Documents/.hidden"), "mine");
    EXPECT_EQ(detailOf(report, "/Library/Printers/TORVA/Fax"), "failed: unsafe link");
}

// A folder of the lists replaced by a link into a system folder, by a user or by the super-user: nothing
// is deleted through it, whoever owns it.
TEST(FileRemoval, NothingIsDeletedThroughALinkWhoeverOwnsIt) {
    TestSystem system;
    const std::string home = "/Users/anna/Library/Printers/TORVA";
    for (const std::string& folder : {std::string("/Library/Printers/TORVA"), home + "-real"}) {
        system.writeFile(folder + "/Fax/fax.bin", "fax");
        system.writeFile(folder + "/Fax/.DS_Store", "ds");
        system.makeFolder(folder + "/Fax/Empty");
    }
    system.makeLink(home, "/Library/Printers/TORVA");
    // The same planted in the middle of a path deeper down, by a user where the machine allows it.
    system.makeFolder("/Users/anna/Library/Caches");
    system.makeLink("/Users/anna/Library/Caches/TORVA", "/Library/Printers");
    ::lchown(system.host("/Users/anna/Library/Caches/TORVA").c_str(), kUserId, 20);
    const TreeSnapshot before = TreeSnapshot::take(system.root());

    ActionReport report;
    deleteLists({home + "/Fax/fax.bin", "/Users/anna/Library/Caches/TORVA/TORVA/Fax/fax.bin"},
                {home, home + "/Fax", home + "/Fax/Empty", "/Users/anna/Library/Caches/TORVA/TORVA/Fax"},
                {home + "/Fax/.DS_Store"}, &report);

    EXPECT_EQ(before.differences(TreeSnapshot::take(system.root())), "");
    EXPECT_EQ(detailOf(report, home + "/Fax/fax.bin"), "failed: unsafe link");
    EXPECT_EQ(detailOf(report, home), "failed: unsafe link");
    EXPECT_EQ(detailOf(report, "/Users/anna/Library/Caches/TORVA/TORVA/Fax"), "failed: unsafe link");
}

// /etc, /tmp and /var lead to their folders in /private, as on every Mac; nothing else does, not even
// these names pointing anywhere else.
TEST(FileRemoval, OnlyTheSystemsOwnLinksAreFollowed) {
    struct Case {
        const char* link;
        const char* target;
        bool followed;
    };
    for (const Case& c : std::vector<Case>{{"/tmp", "private/tmp", true},
                                           {"/tmp", "/private/tmp", true},
                                           {"/tmp", "private/tmp/", false},
                                           {"/tmp", "private/var", false},
                                           {"/Temp", "private/tmp", false},
                                           {"/Library/tmp", "../private/tmp", false}}) {
        TestSystem system;
        system.writeFile("/private/tmp/torva/state.db", "state");
        system.makeLink(c.link, c.target);
        const std::string file = std::string(c.link) + "/torva/state.db";
        deleteLists({file}, {std::string(c.link) + "/torva"}, {});
        EXPECT_EQ(!system.exists("/private/tmp/torva"), c.followed) << c.link << " -> " << c.target;
        EXPECT_TRUE(system.isLink(c.link));
    }
}

TEST(FileRemoval, NearMissNamesBesideDeletedItemsStay) {
    TestSystem system;
    const Paths files = {"/Library/Printers/TORVA/Fax/fax.bin",
                         "/Library/Application Support/TORVA/fax.plist"};
    const Paths folders = {"/Library/Printers/TORVA/Fax", "/Library/Application Support/TORVA"};
    for (const std::string& file : files) {
        system.writeFile(file, "delete me");
    }
    // Beside every deleted item: another letter case, a suffix, a trailing blank, a hidden twin.
    const Paths canaries = {"/Library/Printers/torva/Fax/fax.bin",
                            "/Library/Printers/TORVA/fax/fax.bin",
                            "/Library/Printers/TORVA/Fax-old/fax.bin",
                            "/Library/Printers/TORVA/Fax /fax.bin",
                            "/Library/Printers/TORVA/.Fax/fax.bin",
                            "/Library/Printers/TORVA/fax.bin",
                            "/Library/Printers/TORVA/Fax.bin",
                            "/Library/Application Support/TORVA2/fax.plist",
                            "/Library/Application Support/torva/fax.plist",
                            "/Library/Application Support/TORVA.plist",
                            "/Library/Application Support/fax.plist"};
    for (const std::string& canary : canaries) {
        system.writeFile(canary, "canary " + canary);
    }
    const TreeSnapshot before = TreeSnapshot::take(system.root());
    deleteLists(files, folders, {});
    EXPECT_FALSE(system.exists("/Library/Printers/TORVA/Fax"));
    EXPECT_FALSE(system.exists("/Library/Application Support/TORVA"));
    for (const std::string& canary : canaries) {
        EXPECT_EQ(system.read(canary), "canary " + canary);
    }
    // Nothing else changed: the differences are exactly the deleted items.
    std::istringstream differences(before.differences(TreeSnapshot::take(system.root())));
    Paths gone;
    for (std::string line; std::getline(differences, line);) {
        gone.push_back(line.substr(0, line.find(" (")));
    }
    EXPECT_EQ(gone,
              (Paths{"- Library/Application Support/TORVA", "- Library/Application Support/TORVA/fax.plist",
                     "- Library/Printers/TORVA/Fax", "- Library/Printers/TORVA/Fax/fax.bin"}));
}

// The last line of defence holds on its own: lists that name the system's folders and files and the
// users' own, in any spelling, delete none of them, while the maker's items in the same folders go.
TEST(FileRemoval, NothingProtectedIsDeletedWhateverTheListsSay) {
    TestSystem system;
    const ProtectedCanaries canaries(system);
    for (const char* folder : {"/Library/Printers", "/Library/Receipts", "/private", "/Users/anna"}) {
        system.makeFolder(folder);
    }
    const Paths makers = {"/System/Library/Extensions/TORVAUSB.kext/Contents/Info.plist",
                          "/usr/libexec/cups/filter/pdftotorvafax"};
    for (const std::string& file : makers) {
        system.writeFile(file, "the maker's");
    }
    Paths files = makers;
    Paths folders = {"/Library",
                     "/Library/Printers",
                     "/Users/anna",
                     "/Users/anna/Library",
                     "/Library/Receipts",
                     "/private",
                     "/library/printers",
                     "/Library/Printers/TORVA/../../Library/",
                     "/System/Library/Extensions/TORVAUSB.kext/Contents",
                     "/System/Library/Extensions/TORVAUSB.kext"};
    for (const std::string& place : canaries.places()) {
        folders.push_back(place);
        // Every way of spelling the same item.
        for (std::string spelling : {place + "/", "/" + place, place + "/x/.."}) {
            folders.push_back(spelling);
        }
    }
    for (const char* file :
         {"/System/Library/Kernels/kernel", "/ETC/passwd", "/etc/passwd",
          "/Users/anna/Documents/../.ssh/id_rsa", "//Users//anna//Desktop//notes.txt",
          "/Library/Logs/Uninstaller.log", "/Users/ANNA/library/keychains/login.keychain-db"}) {
        files.push_back(file);
    }
    ActionReport report;
    EXPECT_TRUE(deleteLists(files, folders, {"/private", "/Volumes/Backup/important.doc"}, &report));

    EXPECT_EQ(canaries.differences(), "");
    for (const char* folder : {"/Library/Printers", "/Library/Receipts", "/private", "/Users/anna"}) {
        EXPECT_TRUE(system.isFolder(folder)) << folder;
        EXPECT_EQ(detailOf(report, folder), "skipped: protected") << folder;
    }
    EXPECT_EQ(detailOf(report, "/System/Library/Kernels/kernel"), "skipped: protected");
    EXPECT_FALSE(system.exists("/System/Library/Extensions/TORVAUSB.kext"));
    EXPECT_FALSE(system.exists("/usr/libexec/cups/filter/pdftotorvafax"));
    EXPECT_TRUE(system.isFolder("/usr/libexec/cups/filter"));
}

TEST(FileRemoval, LengthsAreCountedInUtf16Units) {
    EXPECT_EQ(FileRemover::lengthSort("/a", "/ab"), -1);
    EXPECT_EQ(FileRemover::lengthSort("/abc", "/ab"), 1);
    EXPECT_EQ(FileRemover::lengthSort("/ab", "/cd"), 0);
    // "é" is one unit like "e"; a character beyond the Basic Multilingual Plane is two.
    EXPECT_EQ(FileRemover::lengthSort("/caf\xc3\xa9", "/cafe"), 0);
    EXPECT_EQ(FileRemover::lengthSort("/\xf0\x9f\x96\xa8", "/ab"), 0);
    EXPECT_EQ(FileRemover::sortedByLength({"/a/bb", "/a", "/a/b", "/b"}),
              (Paths{"/a", "/b", "/a/b", "/a/bb"}));
}
