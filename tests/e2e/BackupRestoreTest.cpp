// uninstall --backup and restore on whole systems: a round trip gives back the tree exactly, a run killed
// part-way or stopped by a backup that cannot be written loses nothing, and archives that no backup writes
// change nothing inside the system and nothing outside it.

#include "tests/e2e/AuditLogLines.h"
#include "tests/e2e/TreeSnapshot.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeTools.h"
#include "tests/support/TestSystem.h"
#include "tools/make-sample-system/SampleSystem.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A POSIX access ACL giving one more user read access, as the file system stores it.
std::string aclGranting(uint32_t uid) {
    std::string acl;
    const auto put = [&acl](uint32_t value, size_t bytes) {
        for (size_t i = 0; i < bytes; ++i) {
            acl += static_cast<char>((value >> (8 * i)) & 0xff);
        }
    };
    put(2, 4); // version
    for (const auto& [tag, perm, id] : {std::tuple<uint32_t, uint32_t, uint32_t>{0x01, 6, UINT32_MAX},
                                        {0x02, 4, uid},
                                        {0x04, 4, UINT32_MAX},
                                        {0x10, 4, UINT32_MAX},
                                        {0x20, 4, UINT32_MAX}}) {
        put(tag, 2);
        put(perm, 2);
        put(id, 4);
    }
    return acl;
}

// The sample system in a folder of its own, with a log and backups beside it, outside the system.
struct Sample {
    Sample() : place(makeTemporaryFolder("/tmp/backup-test-")), system(makeSystemFolder(place)) {
        SampleSystem::write(system);
        log = place + "/audit.log";
        backup = place + "/backup.tar";
    }
    ~Sample() { fs::remove_all(place); }

    static std::string makeSystemFolder(const std::string& place) {
        fs::create_directory(place + "/system");
        return place + "/system";
    }

    ChildProcess cli(const Names& command) const {
        Names arguments = {"--root", system.root()};
        arguments.insert(arguments.end(), command.begin(), command.end());
        arguments.insert(arguments.end(), {"--log", log});
        return ChildProcess::cli(arguments);
    }

    std::string place;
    TestSystem system;
    std::string log;
    std::string backup;
};

// The usual and the unusual of what an uninstall removes: another owner, set-id and odd modes, extended
// attributes and ACLs on files and folders.
void giveItemsEverythingABackupKeeps(const TestSystem& system) {
    const std::string app = system.host("/Applications/TORVA Scan Utility.app/Contents");
    const std::string file = app + "/PkgInfo";
    const std::string acl = aclGranting(502);
    ASSERT_EQ(::setxattr(file.c_str(), "user.origin", "scan", 4, 0), 0) << std::strerror(errno);
    ASSERT_EQ(::setxattr(file.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
    ASSERT_EQ(::setxattr(app.c_str(), "user.folder", "", 0, 0), 0);
    ASSERT_EQ(::chmod(file.c_str(), 04751), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::lchown(file.c_str(), 501, 20), 0);
        ASSERT_EQ(::chmod(file.c_str(), 04751), 0); // giving it away cleared the set-id bit
        ASSERT_EQ(::lchown(app.c_str(), 501, 20), 0);
    } else {
        std::cout << "[ SKIPPED ] owners: only the super-user can give items away and take them back\n";
    }
    ASSERT_EQ(::chmod(app.c_str(), 0705), 0);
}

} // namespace

// Everything an uninstall of every row removes or edits comes back exactly: paths, kinds, link targets,
// modes, owners, times (folders' too) and extended attributes. An item that came back in between is left
// alone, and --force puts the backup's in its place. The restore has its own run in the log.
TEST(BackupRestore, UninstallWithBackupThenRestoreGivesBackTheSameTree) {
    Sample sample;
    giveItemsEverythingABackupKeeps(sample.system);
    const TreeSnapshot before = TreeSnapshot::take(sample.system.root(), TreeSnapshot::FolderTimes::Compare);

    const ChildProcess uninstall =
        sample.cli({"-v", "uninstall", "--yes", "--all", "--backup", sample.backup});
    ASSERT_EQ(uninstall.exitStatus, 0) << uninstall.err;
    EXPECT_TRUE(contains(uninstall.out, "The backup " + sample.backup + " holds ")) << uninstall.out;
    const TreeSnapshot uninstalled = TreeSnapshot::take(sample.system.root());
    ASSERT_LT(uninstalled.size() + 200, before.size()) << "the uninstall removed too little to test";
    const std::string uninstallRun = auditlog::member(auditlog::lines(sample.log).front(), "run");

    const ChildProcess listing = sample.cli({"restore", "--list", sample.backup});
    EXPECT_EQ(listing.exitStatus, 0) << listing.err;
    EXPECT_TRUE(contains(listing.out, "manifest: run " + uninstallRun + " of uninstaller-cli"))
        << listing.out;
    EXPECT_TRUE(
        contains(listing.out, "rows: Printer Driver, PC-FAX Driver, Printer Setup Utility, Scan Utility"))
        << listing.out;
    EXPECT_TRUE(contains(listing.out, "/Applications/TORVA Scan Utility.app/Contents/PkgInfo ["))
        << listing.out;

    const std::string cameBack = "/Library/Preferences/com.torva.printerdriver.plist";
    ASSERT_FALSE(sample.system.exists(cameBack));
    sample.system.writeFile(cameBack, "came back");
    const size_t logged = auditlog::lines(sample.log).size();

    const ChildProcess restore = sample.cli({"-v", "restore", sample.backup});
    EXPECT_EQ(restore.exitStatus, 0) << restore.err;
    EXPECT_TRUE(contains(restore.out, "left alone: " + cameBack + " (it exists now)")) << restore.out;
    EXPECT_EQ(sample.system.read(cameBack), "came back");
    TreeSnapshot restored = TreeSnapshot::take(sample.system.root(), TreeSnapshot::FolderTimes::Compare);
    TreeSnapshot expected = before;
    restored.forget(cameBack.substr(1));
    expected.forget(cameBack.substr(1));
    EXPECT_EQ(restored, expected) << expected.differences(restored);

    const std::vector<nlohmann::json> lines = auditlog::lines(sample.log);
    ASSERT_GT(lines.size(), logged + 2);
    EXPECT_EQ(auditlog::member(lines[logged], "step"), "restore");
    EXPECT_EQ(auditlog::member(lines[logged], "target"), sample.backup);
    EXPECT_NE(auditlog::member(lines[logged], "run"), uninstallRun);
    EXPECT_EQ(auditlog::member(lines.back(), "result"), "done");
    EXPECT_GT(lines.back().value("restored", 0), 200);
    EXPECT_EQ(lines.back().value("skipped", 0), 1);

    const ChildProcess forced = sample.cli({"restore", "--force", sample.backup});
    EXPECT_EQ(forced.exitStatus, 0) << forced.err;
    const TreeSnapshot after = TreeSnapshot::take(sample.system.root(), TreeSnapshot::FolderTimes::Compare);
    EXPECT_EQ(after, before) << before.differences(after);
}

// An uninstall killed (SIGKILL) after it removed part of a software leaves a backup without a manifest
// that still holds every item removed: a restore gives them back, and --force the preferences it edited.
TEST(BackupRestore, ARunKilledPartWayIsRestoredFromWhatItWrote) {
    Sample sample;
    const TreeSnapshot before = TreeSnapshot::take(sample.system.root());
    FakeTools tools;
    // Receipts are forgotten once the software's files, folders, preferences and agents went.
    tools.addScript("pkgutil", "case \" $* \" in *\" --forget \"*) kill -9 $PPID; sleep 10;; esac\nexec '" +
                                   ChildProcess::helperPath("pkgutil") + "' \"$@\"\n");

    const ChildProcess killed = sample.cli({"uninstall", "--yes", "--all", "--backup", sample.backup});
    ASSERT_EQ(killed.exitStatus, 128 + SIGKILL) << killed.err;
    const TreeSnapshot halfway = TreeSnapshot::take(sample.system.root());
    ASSERT_NE(halfway, before) << "the run was killed before it removed anything";

    const ChildProcess listing = sample.cli({"restore", "--list", sample.backup});
    EXPECT_EQ(listing.exitStatus, 0) << listing.err;
    EXPECT_TRUE(contains(listing.out, "no manifest: the uninstall that wrote this backup did not end"))
        << listing.out;

    const ChildProcess restore = sample.cli({"-v", "restore", sample.backup});
    EXPECT_EQ(restore.exitStatus, 0) << restore.err;
    EXPECT_TRUE(contains(restore.err, "the backup has no manifest")) << restore.err;
    EXPECT_TRUE(contains(restore.out, "left alone: /Library/Preferences/loginwindow.plist (it exists now)"))
        << restore.out;

    const ChildProcess forced = sample.cli({"restore", "--force", sample.backup});
    EXPECT_EQ(forced.exitStatus, 0) << forced.err;
    // Folders that stayed keep the times the removals gave them: only the manifest holds the old ones.
    const TreeSnapshot after = TreeSnapshot::take(sample.system.root());
    EXPECT_EQ(after, before) << before.differences(after);
}

// A backup that cannot be created refuses the run before anything changes; one that cannot be written on
// (the file grows past what it may) stops it before the next removal. Either way the status is 5 and the
// system is as it was; what the broken backup holds restores as far as it goes.
TEST(BackupRestore, ABackupThatCannotBeWrittenStopsTheRunWithNothingMoreRemoved) {
    struct Case {
        const char* name;
        std::string backup;  // relative to the sample's place
        std::string prepare; // a shell line run there first
        std::string limit;   // "ulimit -f" for the uninstall, in KiB; "" for none
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"exists", "taken.tar", "echo mine > taken.tar", "", "exists already"},
        {"link", "link.tar", "ln -s outside.tar link.tar", "", "exists already"},
        {"no folder", "missing/backup.tar", "", "", "No such file or directory"},
        {"disk full", "full.tar", "", "1024", "could not be written (it cannot be written: File too large)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sample sample;
        const TreeSnapshot before = TreeSnapshot::take(sample.system.root());
        const std::string backup = sample.place + "/" + c.backup;
        ASSERT_EQ(
            std::system(("cd '" + sample.place + "' && " + (c.prepare.empty() ? "true" : c.prepare)).c_str()),
            0);
        Names run = {"/bin/bash",
                     "-c",
                     "trap '' XFSZ; " + (c.limit.empty() ? "" : "ulimit -f " + c.limit + "; ") +
                         "exec \"$0\" \"$@\"",
                     ChildProcess::cliPath(),
                     "--root",
                     sample.system.root(),
                     "uninstall",
                     "--yes",
                     "--all",
                     "--backup",
                     backup,
                     "--log",
                     sample.log};
        const ChildProcess uninstall = ChildProcess::run(run[0], Names(run.begin() + 1, run.end()));

        EXPECT_EQ(uninstall.exitStatus, 5) << uninstall.err;
        EXPECT_TRUE(contains(uninstall.err, c.reason)) << uninstall.err;
        EXPECT_EQ(TreeSnapshot::take(sample.system.root()), before)
            << before.differences(TreeSnapshot::take(sample.system.root()));
        EXPECT_FALSE(fs::exists(sample.place + "/outside.tar"));
        if (fs::is_regular_file(sample.place + "/taken.tar")) {
            EXPECT_EQ(fs::file_size(sample.place + "/taken.tar"), 5u);
        }
        const std::vector<nlohmann::json> lines = auditlog::lines(sample.log);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(auditlog::member(lines.back(), "result"), c.limit.empty() ? "refused" : "failed");
        EXPECT_TRUE(contains(auditlog::member(lines.back(), "reason"), c.reason))
            << auditlog::member(lines.back(), "reason");
        if (!c.limit.empty()) {
            const ChildProcess restore = sample.cli({"restore", backup});
            EXPECT_EQ(restore.exitStatus, 5) << restore.err;
            EXPECT_TRUE(contains(restore.err, "the backup stops early")) << restore.err;
            EXPECT_EQ(TreeSnapshot::take(sample.system.root()), before);
        }
    }
}

namespace {

// A tar member written by hand, header and data, the way an archive no backup wrote may hold it.
std::string tarMember(const std::string& name, char type, const std::string& data,
                      const std::string& target = {}, uint64_t size = UINT64_MAX) {
    char header[512] = {};
    std::memcpy(header, name.data(), std::min<size_t>(name.size(), 100));
    std::snprintf(header + 100, 8, "%07o", 0644);
    std::snprintf(header + 108, 8, "%07o", 0);
    std::snprintf(header + 116, 8, "%07o", 0);
    std::snprintf(header + 124, 12, "%011llo",
                  static_cast<unsigned long long>(size == UINT64_MAX ? data.size() : size));
    std::snprintf(header + 136, 12, "%011o", 1600000000);
    std::memset(header + 148, ' ', 8);
    header[156] = type;
    std::memcpy(header + 157, target.data(), std::min<size_t>(target.size(), 100));
    std::memcpy(header + 257,
                "ustar\0"
                "00",
                8);
    unsigned sum = 0;
    for (const char byte : header) {
        sum += static_cast<unsigned char>(byte);
    }
    std::snprintf(header + 148, 8, "%06o", sum);
    std::string bytes(header, sizeof header);
    bytes += data;
    bytes.append((512 - data.size() % 512) % 512, '\0');
    return bytes;
}

const std::string kEnd(1024, '\0');

} // namespace

// Archives that no backup writes: names that climb out or are absolute, links that point out of the
// system, members through or over a link, members into the system's or a user's own places, a device, a
// member larger than the archive, an archive cut short. Nothing is written outside the system, nothing
// where the member is refused, and the status is 5 with the reason.
TEST(BackupRestore, HostileArchivesChangeNothingOutsideTheSystemAndFailWithTheReason) {
    struct Case {
        const char* name;
        std::string archive;
        bool force;
        const char* reason;
        bool refusedWhole = true; // false: the archive is sound, its member is refused where it would go
    };
    const std::string printers = "Library/Printers/TORVA/";
    const std::vector<Case> cases = {
        {"climbs", tarMember(printers + "../../../../outside/x", '0', "x") + kEnd, false,
         "climbs out of the system"},
        {"absolute", tarMember("/outside/x", '0', "x") + kEnd, false, "its name is an absolute path"},
        {"link out", tarMember(printers + "out", '2', "", "../../../../outside") + kEnd, false,
         "its target climbs out of the system", false},
        {"through a link", tarMember(printers + "via/x", '0', "x") + kEnd, false,
         "a folder on the way to it is a symbolic link", false},
        {"over a link", tarMember(printers + "via", '0', "x") + kEnd, true,
         "a symbolic link stands there now", false},
        {"system", tarMember("bin/evil", '0', "x") + kEnd, false, "no uninstall removes anything there",
         false},
        {"keychain", tarMember("Users/ben/Library/Keychains/login.keychain", '0', "x") + kEnd, false,
         "no uninstall removes anything there", false},
        {"device", tarMember(printers + "dev", '3', "") + kEnd, false,
         "neither a file, a folder nor a symbolic link"},
        {"huge", tarMember(printers + "huge", '0', "", {}, (uint64_t{1} << 33) - 1) + kEnd, false,
         "Truncated tar archive"},
        {"cut short", (tarMember(printers + "a", '0', std::string(3000, 'a')) + kEnd).substr(0, 1536), false,
         "Truncated tar archive"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sample sample;
        const std::string outside = sample.place + "/outside";
        fs::create_directory(outside);
        sample.system.makeLink("/" + printers + "via", outside);
        std::ofstream(sample.backup, std::ios::binary) << c.archive;
        const TreeSnapshot before =
            TreeSnapshot::take(sample.system.root(), TreeSnapshot::FolderTimes::Compare);

        const ChildProcess restore = sample.cli(c.force ? Names{"restore", "--force", sample.backup}
                                                        : Names{"restore", sample.backup});

        EXPECT_EQ(restore.exitStatus, 5) << restore.out << restore.err;
        EXPECT_TRUE(contains(restore.err, c.reason)) << restore.err;
        EXPECT_TRUE(fs::is_empty(outside));
        const TreeSnapshot after =
            TreeSnapshot::take(sample.system.root(), TreeSnapshot::FolderTimes::Compare);
        EXPECT_EQ(after, before) << before.differences(after);
        const ChildProcess listing = sample.cli({"restore", "--list", sample.backup});
        EXPECT_EQ(listing.exitStatus, c.refusedWhole ? 5 : 0) << listing.out << listing.err;
    }
}
