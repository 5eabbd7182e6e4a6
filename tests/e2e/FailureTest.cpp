// An uninstall that cannot do everything says so: the exit status, the message and the log tell what
// stayed, the software stays findable, what was already gone counts as done, and a second run finishes.
// Failures are real ones where this machine allows them (immutable files as the super-user, what an
// ordinary user may not read).

#include "tests/e2e/AuditLogLines.h"
#include "tests/e2e/Canaries.h"
#include "tests/e2e/TreeSnapshot.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeTools.h"
#include "tests/support/ImmutableFile.h"
#include "tests/support/SoftwareFixture.h"
#include "tests/support/TestSystem.h"
#include "tools/make-sample-system/SampleSystem.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// The sample system with the host tools faked (nothing may run on this machine) and a log of its own.
struct Sample {
    Sample() {
        SampleSystem::write(system);
        for (const char* tool : {"su", "launchctl", "killall", "chown"}) {
            tools.add(tool);
        }
        log = tools.folder() + "/audit.log";
    }

    ChildProcess uninstall(const Names& names, const Names& options = {}) const {
        Names arguments = {"--root", system.root(), "uninstall", "--yes", "--log", log};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), names.begin(), names.end());
        return ChildProcess::cli(arguments);
    }

    Names rows() const {
        const ChildProcess list = ChildProcess::cli({"--root", system.root(), "list"});
        Names names;
        std::istringstream lines(list.out);
        for (std::string line; std::getline(lines, line);) {
            names.push_back(line.substr(0, line.find('\t')));
        }
        return names;
    }

    TestSystem system;
    FakeTools tools;
    std::string log;
};

bool containsName(const Names& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

// One file of the Scan Utility cannot be deleted: the run fails and says how much stayed, the software
// keeps its information file and receipts so that it is still listed, and once the file can go a second
// run leaves the same items as one clean run on another copy of the sample.
TEST(Failure, AFileThatCannotGoFailsTheRunAndASecondRunFinishesIt) {
    Sample sample;
    const std::string stuck = "/Applications/TORVA Scan Utility.app/Contents/PkgInfo";
    std::optional<ImmutableFile> locked(std::in_place, sample.system.host(stuck));
    if (!locked->isSet()) {
        GTEST_SKIP() << "this file system cannot make a file immutable";
    }

    const ChildProcess first = sample.uninstall({"Scan Utility"}, {"--json"});

    EXPECT_EQ(first.exitStatus, 5) << first.err;
    EXPECT_NE(first.err.find("uninstaller-cli: 1 of "), std::string::npos) << first.err;
    EXPECT_NE(first.err.find(" items could not be removed; see " + sample.log), std::string::npos)
        << first.err;
    EXPECT_NE(first.err.find("Scan Utility is still listed"), std::string::npos) << first.err;
    const nlohmann::json report = nlohmann::json::parse(first.out);
    EXPECT_EQ(report.at("result"), "failed");
    EXPECT_EQ(report.at("counts").at("failed"), 1);
    ASSERT_EQ(report.at("software").size(), 1u);
    const nlohmann::json& software = report.at("software").at(0);
    EXPECT_EQ(software.at("result"), "failed");
    ASSERT_EQ(software.at("failures").size(), 1u);
    const nlohmann::json& failure = software.at("failures").at(0);
    EXPECT_EQ(failure.at("step"), "file");
    EXPECT_EQ(failure.at("target"), stuck);
    EXPECT_NE(auditlog::member(failure, "reason"), "");
    EXPECT_TRUE(sample.system.exists(stuck));
    EXPECT_TRUE(sample.system.exists("/Library/Preferences/com.torva.Scan Utility.UnInstallList.plist"));
    EXPECT_TRUE(sample.system.exists("/var/db/receipts/com.torva.pkg.ScanUtility.plist"));
    EXPECT_TRUE(containsName(sample.rows(), "Scan Utility"));
    const std::vector<nlohmann::json> lines = auditlog::lines(sample.log);
    ASSERT_GE(lines.size(), 3u);
    bool stuckFailed = false;
    for (const nlohmann::json& line : lines) {
        stuckFailed = stuckFailed || (auditlog::member(line, "target") == stuck &&
                                      auditlog::member(line, "outcome") == "failed");
        EXPECT_NE(auditlog::member(line, "outcome"), "forgotten") << "no receipt of a software that stays";
    }
    EXPECT_TRUE(stuckFailed);
    EXPECT_EQ(auditlog::member(lines.back(), "result"), "failed");
    EXPECT_EQ(lines.back().at("failed"), 1);

    locked.reset();
    const ChildProcess second = sample.uninstall({"Scan Utility"});
    EXPECT_EQ(second.exitStatus, 0) << second.err;
    const Sample clean;
    ASSERT_EQ(clean.uninstall({"Scan Utility"}).exitStatus, 0);
    EXPECT_EQ(sample.system.tree(), clean.system.tree());
    EXPECT_FALSE(containsName(sample.rows(), "Scan Utility"));
}

// Run as an ordinary user, what that user may not read stays, although its folder would let it go: the
// file and the folder are logged as failed, "not readable", and the run fails; the rest goes.
TEST(Failure, WhatTheUserMayNotReadStaysAndFailsTheRun) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs the super-user to drop to another user";
    }
    constexpr uid_t kNobody = 65534;
    TestSystem system;
    system.writeSystemVersion("10.15.7");
    const std::string folder = "/Library/Printers/TORVA/FaxTool";
    SoftwareFixture::install(
        system, {.name = "Fax Tool",
                 .packages = {{.spec = {.identifier = "com.torva.pkg.FaxTool",
                                        .installPrefix = "Library/Printers",
                                        .items = {PackageItem::file("TORVA/FaxTool/fax", "fax"),
                                                  PackageItem::file("TORVA/FaxTool/sealed", "sealed"),
                                                  PackageItem::folder("TORVA/FaxTool/Sealed Folder")}}}}});
    const std::string logFolder = makeTemporaryFolder("uninstaller-log");
    // Everything is the user's, the log's folder too; two items it may not read.
    for (const std::string& top : {system.root(), logFolder}) {
        ASSERT_EQ(::lchown(top.c_str(), kNobody, kNobody), 0);
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(top)) {
            ASSERT_EQ(::lchown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
        }
        fs::permissions(top, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    }
    ASSERT_EQ(::chmod(system.host(folder + "/sealed").c_str(), 0), 0);
    ASSERT_EQ(::chmod(system.host(folder + "/Sealed Folder").c_str(), 0), 0);

    const std::string log = logFolder + "/audit.log";
    const ChildProcess run = ChildProcess::run(
        "/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", ChildProcess::cliPath(),
                             "--root", system.root(), "uninstall", "--yes", "--log", log, "Fax Tool"});

    EXPECT_EQ(run.exitStatus, 5) << run.err;
    EXPECT_NE(run.err.find("uninstaller-cli: 2 of "), std::string::npos) << run.err;
    EXPECT_FALSE(system.exists(folder + "/fax"));
    EXPECT_TRUE(system.exists(folder + "/sealed"));
    EXPECT_TRUE(system.isFolder(folder + "/Sealed Folder"));
    Names notReadable;
    for (const nlohmann::json& line : auditlog::lines(log)) {
        if (auditlog::member(line, "outcome") == "failed" &&
            auditlog::member(line, "detail") == "not readable") {
            notReadable.push_back(auditlog::member(line, "step") + " " + auditlog::member(line, "target"));
        }
    }
    EXPECT_EQ(notReadable, (Names{"file " + folder + "/sealed", "folder " + folder + "/Sealed Folder"}));
    fs::remove_all(logFolder);
}

// A receipt that cannot be forgotten (its folder is immutable) is no receipt "forgotten": the run fails,
// and the information file stays with it so that the software can still be found.
TEST(Failure, AReceiptThatStaysListedIsNotForgotten) {
    Sample sample;
    const ImmutableFile locked(sample.system.host("/var/db/receipts"));
    if (!locked.isSet()) {
        GTEST_SKIP() << "this file system cannot make a folder immutable";
    }
    const ChildProcess run = sample.uninstall({"Printer Setup Utility"});
    EXPECT_EQ(run.exitStatus, 5) << run.err;
    for (const nlohmann::json& line : auditlog::lines(sample.log)) {
        EXPECT_NE(auditlog::member(line, "outcome"), "forgotten") << auditlog::member(line, "target");
    }
    const ChildProcess listed = ChildProcess::helper("pkgutil", {"--pkgs", "--volume", sample.system.root()});
    EXPECT_NE(listed.out.find("com.torva.pkg.PrinterSetupUtility\n"), std::string::npos) << listed.out;
    EXPECT_TRUE(containsName(sample.rows(), "Printer Setup Utility"));
}

// What is already gone when its turn comes is done: an information file that the software's own remove
// paths named, and launch agents to look for on a system without user accounts.
TEST(Failure, WhatIsAlreadyGoneIsDone) {
    TestSystem system;
    system.writeSystemVersion("10.15.7");
    const std::string information =
        "/Library/Preferences/" + SoftwareFixture::informationFileName("Fax Tool");
    SoftwareFixture::install(
        system, {.name = "Fax Tool",
                 .packages = {{.spec = {.identifier = "com.torva.pkg.FaxTool",
                                        .installPrefix = "Library/Printers",
                                        .items = {PackageItem::file("TORVA/FaxTool/fax", "fax")}}}},
                 .removePaths = Names{information},
                 .launchAgents = Names{"com.torva.faxtool"}});
    FakeTools tools;
    const ChildProcess run = ChildProcess::cli(
        {"--root", system.root(), "uninstall", "--yes", "--log", tools.folder() + "/log", "Fax Tool"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_FALSE(system.exists(information));
    EXPECT_FALSE(system.exists("/Library/Printers/TORVA/FaxTool"));
    Names outcomes;
    for (const nlohmann::json& line : auditlog::lines(tools.folder() + "/log")) {
        if (auditlog::member(line, "step") == "launch agent" ||
            auditlog::member(line, "step") == "information file") {
            outcomes.push_back(auditlog::member(line, "step") + ": " + auditlog::member(line, "outcome"));
        }
    }
    EXPECT_NE(std::find(outcomes.begin(), outcomes.end(), "launch agent: nothing to do"), outcomes.end());
}

// A log named on the command line that cannot be opened stops the run before anything changes.
TEST(Failure, ALogThatCannotBeOpenedStopsTheRunFirst) {
    Sample sample;
    const TreeSnapshot before = TreeSnapshot::take(sample.system.root());
    const ChildProcess run = ChildProcess::cli({"--root", sample.system.root(), "uninstall", "--yes",
                                                "--json", "--log", "/nonexistent/dir/x.log", "Scan Utility"});
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_NE(run.err.find("/nonexistent/dir/x.log"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("nothing was changed"), std::string::npos) << run.err;
    EXPECT_EQ(before.differences(TreeSnapshot::take(sample.system.root())), "");
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report.at("result"), "refused");
    EXPECT_EQ(report.at("run"), nullptr);
    EXPECT_EQ(report.at("auditLog"), "/nonexistent/dir/x.log");
    EXPECT_NE(auditlog::member(report, "auditLogProblem").find("/nonexistent/dir/x.log"), std::string::npos);
}

// The system's own log that is a hard link to a file outside the root, or a FIFO, is no log: the run
// goes on, says so at its start and its end, writes nothing outside, and never waits on the FIFO.
TEST(Failure, ALogThatIsNotAPlainFileOfItsOwnIsNotWritten) {
    for (const bool fifo : {false, true}) {
        SCOPED_TRACE(fifo ? "FIFO" : "hard link");
        Sample sample;
        const std::string logPath = sample.system.host("/Library/Logs/Uninstaller.log");
        fs::create_directories(fs::path(logPath).parent_path());
        const std::string outside = sample.tools.folder() + "/outside.txt";
        std::ofstream(outside) << "outside\n";
        if (fifo) {
            ASSERT_EQ(::mkfifo(logPath.c_str(), 0644), 0);
        } else {
            ASSERT_EQ(::link(outside.c_str(), logPath.c_str()), 0);
        }
        const ChildProcess run =
            ChildProcess::cli({"--root", sample.system.root(), "uninstall", "--yes", "Scan Utility"});
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_NE(run.err.find("the uninstall goes on without it"), std::string::npos) << run.err;
        EXPECT_NE(run.err.rfind("uninstaller-cli: the audit log /Library/Logs/Uninstaller.log"),
                  run.err.find("uninstaller-cli: the audit log /Library/Logs/Uninstaller.log"))
            << "told at the start and the end";
        std::ifstream in(outside);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text, "outside\n");
    }
}

// While one uninstall holds the system, another waits a little, then stops without changing anything.
TEST(Failure, ASecondUninstallOfTheSameSystemIsRefused) {
    Sample sample;
    const TreeSnapshot before = TreeSnapshot::take(sample.system.root());
    const int root = ::open(sample.system.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(root, 0);
    ASSERT_EQ(::flock(root, LOCK_EX), 0);
    const ChildProcess run = sample.uninstall({"Scan Utility"}, {"--json"});
    ::close(root);
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_NE(run.err.find("another uninstall is working on this system"), std::string::npos) << run.err;
    EXPECT_EQ(before.differences(TreeSnapshot::take(sample.system.root())), "");
    const std::vector<nlohmann::json> lines = auditlog::lines(sample.log);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(auditlog::member(lines.back(), "result"), "refused");
    // The report names the run the log refused.
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report.at("result"), "refused");
    EXPECT_EQ(report.at("run"), lines.back().at("run"));
    EXPECT_EQ(report.at("software"), nlohmann::json::array());
}

// A folder that is no macOS system at all is said to be none, by list and by uninstall alike.
TEST(Failure, AFolderThatIsNoMacSystemIsNamedAsSuch) {
    TestSystem empty;
    for (const Names& command :
         std::vector<Names>{{"list"}, {"list", "--json"}, {"uninstall", "--yes", "x"}}) {
        Names arguments = {"--root", empty.root()};
        arguments.insert(arguments.end(), command.begin(), command.end());
        const ChildProcess run = ChildProcess::cli(arguments);
        EXPECT_EQ(run.exitStatus, 1) << command.front();
        EXPECT_NE(run.err.find("is not a macOS system"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

// Killed outright half-way through a large software, then run again: the tree ends as one clean run
// leaves it.
TEST(Failure, ARunKilledHalfWayIsFinishedByTheNext) {
    TestSystem system;
    system.writeSystemVersion("10.15.7");
    system.addUser("anna", 501);
    SoftwareSpec spec{.name = "Large Driver"};
    for (int package = 0; package < 2; ++package) {
        std::vector<PackageItem> items;
        items.reserve(10000);
        for (int i = 0; i < 10000; ++i) {
            items.push_back(PackageItem::file("TORVA/Large/p" + std::to_string(package) + "/d" +
                                                  std::to_string(i % 100) + "/f" + std::to_string(i),
                                              "x"));
        }
        spec.packages.push_back({.spec = {.identifier = "com.torva.pkg.Large" + std::to_string(package),
                                          .installPrefix = "Library/Printers",
                                          .items = std::move(items)}});
    }
    SoftwareFixture::install(system, spec);
    const Canaries canaries(system);
    FakeTools tools;
    const std::string log = tools.folder() + "/log";
    const std::vector<std::string> arguments = {
        ChildProcess::cliPath(), "--root", system.root(), "uninstall", "--yes", "--log", log, "Large Driver"};
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    // Killed once the deletion is under way.
    const std::string first = "/Library/Printers/TORVA/Large/p0/d0/f0";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (system.exists(first) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it could be killed";

    const ChildProcess again =
        ChildProcess::cli({"--root", system.root(), "uninstall", "--yes", "--log", log, "Large Driver"});
    EXPECT_EQ(again.exitStatus, 0) << again.err;
    EXPECT_FALSE(system.exists("/Library/Printers/TORVA/Large"));
    EXPECT_FALSE(
        system.exists("/Library/Preferences/" + SoftwareFixture::informationFileName("Large Driver")));
    for (const char* receipt :
         {"/var/db/receipts/com.torva.pkg.Large0.plist", "/var/db/receipts/com.torva.pkg.Large1.bom"}) {
        EXPECT_FALSE(system.exists(receipt)) << receipt;
    }
    canaries.expectIntact();
}
