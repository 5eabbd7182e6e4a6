// uninstaller-cli uninstall and plan on whole systems: every row of the sample system alone and all
// together, the printer drivers forcing the other drivers, a failure and a cancel half-way, an
// application that will not quit, a 10.5 system, and the plan against what the uninstall then did.
// Every case compares the whole tree afterwards with the tree it expects, canaries included.

#include "platform/PropertyList.h"
#include "platform/SystemVersion.h"
#include "tests/e2e/AuditLogLines.h"
#include "tests/e2e/Canaries.h"
#include "tests/e2e/ExpectedRemoval.h"
#include "tests/e2e/TreeSnapshot.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeTools.h"
#include "tests/support/ImmutableFile.h"
#include "tests/support/TestBundle.h"
#include "tools/make-sample-system/SampleSystem.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

// The host tools that must never run on a system that is not the running one.
const Names kHostTools = {"su", "launchctl", "killall", "chown"};

const SampleSoftware& uninstallSample(const std::string& name) {
    for (const SampleSoftware& software : SampleSystem::software()) {
        if (software.spec.name == name) {
            return software;
        }
    }
    throw std::runtime_error("no sample software " + name);
}

std::vector<const SampleSoftware*> samples(const Names& names) {
    std::vector<const SampleSoftware*> found;
    for (const std::string& name : names) {
        found.push_back(&uninstallSample(name));
    }
    return found;
}

// The software a row stands for, in the order the uninstall takes them ("Printer Driver" ticks both
// drivers, which go one after the other, and, holding the Software Update drivers, forces the fax
// driver).
std::vector<const SampleSoftware*> softwareOfRow(const std::string& row) {
    if (row == "Printer Driver") {
        return samples({"Inkjet Printer Driver", "Page Printer Driver", "PC-FAX Driver"});
    }
    return samples({row});
}

// What a careless uninstall would reach: files of another vendor and near-miss names beside the
// maker's, files the rest lists keep, and a user's file in a shared folder.
class UninstallCanaries {
public:
    explicit UninstallCanaries(const TestSystem& system) : mSystem(system), mBasic(system) {
        mPaths = {"/Library/Printers/TORVB/Filter/rastertotorvb",
                  "/Library/Printers/TORVA/InkjetPrinter2.bak/notes.txt",
                  "/Library/Printers/torva/Fax/readme.txt",
                  "/Applications/TORVA Scan Utility Helper.app/Contents/MacOS/helper",
                  "/Library/Caches/com.torva.pcfax-old/Outgoing.db",
                  "/Users/ben/Library/Preferences/com.torva.ScanUtility.plist.backup",
                  "/Library/ColorSync/Profiles/TORVA/My Profile.icc",
                  "/Library/Fonts/TORVA/My Font.otf",
                  "/Library/Printers/TORVA/Icons/anna's own.icns",
                  "/Library/Image Capture/Devices/scanner notes.txt",
                  "/Library/Keychains/Scan Utility/secret.keychain"};
        for (const std::string& path : mPaths) {
            system.writeFile(path, "canary at " + path + "\n");
        }
    }

    void expectIntact() const {
        mBasic.expectIntact();
        for (const std::string& path : mPaths) {
            EXPECT_EQ(mSystem.read(path), "canary at " + path + "\n") << path;
        }
    }

private:
    const TestSystem& mSystem;
    Canaries mBasic;
    Names mPaths;
};

// A sample system with its canaries, the fake host tools, and a log outside the tree.
struct SampleCase {
    SampleCase() {
        SampleSystem::write(system);
        canaries = std::make_unique<UninstallCanaries>(system);
        for (const std::string& tool : kHostTools) {
            tools.add(tool);
        }
        logFile = tools.folder() + "/audit.log";
    }

    ChildProcess uninstall(const Names& names, const Names& options = {"--yes"}) const {
        Names arguments = {"--root", system.root(), "uninstall", "--log", logFile};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), names.begin(), names.end());
        return ChildProcess::cli(arguments);
    }

    // The whole tree afterwards is the tree before less what was expected to go, the edited preferences
    // hold what was expected, the canaries are as they were, and nothing ran on this machine.
    void expectTree(const TreeSnapshot& before, const ExpectedRemoval& expected) const {
        TreeSnapshot wanted = before;
        TreeSnapshot after = TreeSnapshot::take(system.root());
        for (const std::string& path : expected.deleted()) {
            wanted.forget(path.substr(1));
        }
        for (const auto& [path, dictionary] : expected.edited()) {
            wanted.forget(path.substr(1));
            after.forget(path.substr(1));
            EXPECT_EQ(PropertyList::readFile(path), dictionary) << path;
        }
        EXPECT_EQ(wanted.differences(after, 40), "");
        canaries->expectIntact();
        for (const std::string& tool : kHostTools) {
            EXPECT_TRUE(tools.calls(tool).empty()) << tool << " ran on a system that is not the running one";
        }
    }

    TestSystem system;
    FakeTools tools;
    std::unique_ptr<UninstallCanaries> canaries;
    std::string logFile;
};

Names strings(const nlohmann::json& array) {
    return array.get<Names>();
}

} // namespace

TEST(UninstallOnSample, EachRowAloneRemovesExactlyItsSoftware) {
    for (const std::string row :
         {"PC-FAX Driver", "Printer Setup Utility", "Scan Utility", "Printer Driver"}) {
        SCOPED_TRACE(row);
        SampleCase sample;
        const ExpectedRemoval expected(sample.system, softwareOfRow(row));
        const TreeSnapshot before = TreeSnapshot::take(sample.system.root());

        const ChildProcess run = sample.uninstall({row}, {"--yes", "--json"});

        EXPECT_EQ(run.exitStatus, 0) << run.err;
        sample.expectTree(before, expected);
        EXPECT_GT(expected.deleted().size(), 10u);
        const nlohmann::json report = nlohmann::json::parse(run.out);
        EXPECT_EQ(report.at("result"), "done");
        EXPECT_EQ(report.at("rows"), nlohmann::json::array({row}));
        Names rows;
        for (const nlohmann::json& software : report.at("software")) {
            EXPECT_EQ(software.at("result"), "done") << software;
            rows.push_back(software.at("row"));
        }
        Names expectedRows;
        for (const SampleSoftware* software : softwareOfRow(row)) {
            const bool driver = software->spec.name.find("Printer Driver") != std::string::npos;
            expectedRows.push_back(driver ? "Printer Driver" : software->spec.name);
        }
        EXPECT_EQ(rows, expectedRows);
    }
}

// SIGINT while the second of three is being removed: it is finished, the third is untouched.
TEST(UninstallOnSample, ACancelDuringTheSecondOfThreeFinishesItAndStops) {
    SampleCase sample;
    // The stand-in pkgutil, which sends the interrupt while the second software's receipt is forgotten.
    sample.tools.addScript(
        "pkgutil", "if [ \"$1\" = --forget ] && [ \"$2\" = com.torva.pkg.PrinterSetupUtility ]; then\n"
                   "  kill -INT $PPID\n"
                   "fi\n"
                   "exec '" +
                       ChildProcess::helperPath("pkgutil") + "' \"$@\"\n");
    const ExpectedRemoval expected(sample.system, samples({"PC-FAX Driver", "Printer Setup Utility"}));
    const TreeSnapshot before = TreeSnapshot::take(sample.system.root());

    const ChildProcess run =
        sample.uninstall({"PC-FAX Driver", "Printer Setup Utility", "Scan Utility"}, {"--yes", "--json"});

    EXPECT_EQ(run.exitStatus, 6) << run.err;
    sample.expectTree(before, expected);
    EXPECT_NE(run.err.find("Cancelling after the current software"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Uninstall cancelled."), std::string::npos) << run.err;
    // The report says which software went and which the cancel left alone.
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report.at("result"), "cancelled");
    EXPECT_EQ(report.at("reason"), "cancelled after Printer Setup Utility");
    Names results;
    for (const nlohmann::json& software : report.at("software")) {
        results.push_back(software.at("name").get<std::string>() + ": " +
                          software.at("result").get<std::string>());
    }
    EXPECT_EQ(results,
              (Names{"PC-FAX Driver: done", "Printer Setup Utility: done", "Scan Utility: cancelled"}));
}

TEST(UninstallOnSample, AnApplicationThatWillNotQuitStopsEverything) {
    SampleCase sample;
    std::string refusal = "aevtansrerrnlong";
    const uint32_t length = 4;
    const int32_t error = -128;
    refusal.append(reinterpret_cast<const char*>(&length), 4)
        .append(reinterpret_cast<const char*>(&error), 4);
    const std::string list = sample.tools.folder() + "/processes.plist";
    std::ofstream(list) << *PropertyList::toXml(
        PlistValue(PlistValue::Array{plistDictionary({{"type", "APPL"},
                                                      {"signature", "ttxt"},
                                                      {"mode", PlistValue::integer(0)},
                                                      {"reply", PlistValue::data(refusal)}})}));
    ::setenv("UNINSTALLER_PROCESS_LIST", list.c_str(), 1);
    const TreeSnapshot before = TreeSnapshot::take(sample.system.root());

    const ChildProcess run = sample.uninstall({"Scan Utility"}, {"--yes", "--json"});
    ::unsetenv("UNINSTALLER_PROCESS_LIST");

    EXPECT_EQ(run.exitStatus, 3) << run.err;
    EXPECT_EQ(before.differences(TreeSnapshot::take(sample.system.root())), "");
    EXPECT_NE(run.err.find("Applications are still running."), std::string::npos) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report.at("result"), "refused");
    EXPECT_EQ(report.at("reason"), "an application did not quit, so nothing was removed");
    EXPECT_EQ(report.at("software"), nlohmann::json::array());
    std::ifstream events(list + ".events");
    std::string event;
    std::getline(events, event);
    EXPECT_EQ(event, "quit ttxt");
}

// The dry run and the run share every line: the audit log of the uninstall names, software by
// software, exactly the items and the skipped steps the plan listed.
TEST(UninstallOnSample, ThePlanIsWhatTheUninstallThenDid) {
    SampleCase sample;
    const ChildProcess plan = ChildProcess::cli({"--root", sample.system.root(), "plan", "--json", "--all"});
    ASSERT_EQ(plan.exitStatus, 0) << plan.err;
    const nlohmann::json planned = nlohmann::json::parse(plan.out);
    const nlohmann::json& records = planned.at("records");
    EXPECT_EQ(records.size(), 5u);

    const ChildProcess run = sample.uninstall({}, {"--yes", "--all"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;

    std::map<std::string, std::multiset<std::string>> acted;
    std::map<std::string, Names> skipped;
    for (const nlohmann::json& line : auditlog::lines(sample.logFile)) {
        const std::string step = auditlog::member(line, "step");
        const std::string software = auditlog::member(line, "software");
        if (step == "file" || step == "link" || step == "folder") {
            acted[software].insert(step + " " + auditlog::member(line, "target"));
        }
        if (auditlog::member(line, "outcome") == "skipped offline") {
            const bool script = step == "pre-uninstall" || step == "post-uninstall";
            const std::string target = auditlog::member(line, "target");
            std::string entry = script ? target : step;
            if (!script && !target.empty()) {
                entry.append(" ").append(target);
            }
            skipped[software].push_back(std::move(entry));
        }
    }
    for (const nlohmann::json& record : records) {
        const std::string name = auditlog::member(record, "name");
        SCOPED_TRACE(name);
        std::multiset<std::string> listed;
        for (const char* kind : {"file", "link", "folder"}) {
            for (const std::string& path : strings(record.at(std::string(kind) + "s"))) {
                listed.insert(kind + std::string(" ") + path);
            }
        }
        EXPECT_EQ(acted[name], listed);
        EXPECT_EQ(skipped[name], strings(record.at("skipped")));
        EXPECT_FALSE(listed.empty());
        // Every admitted script line of the sample is one touch of a marker, as it would run.
        for (const char* script : {"preUninstall", "postUninstall"}) {
            const nlohmann::json& commands = record.at(script).at("commands");
            EXPECT_EQ(commands.size(), record.at(script).at("run").size());
            for (const nlohmann::json& line : commands) {
                ASSERT_EQ(line.size(), 1u);
                EXPECT_EQ(auditlog::member(line.front(), "program"), "/usr/bin/touch");
                const Names words = strings(line.front().at("words"));
                ASSERT_EQ(words.size(), 1u);
                EXPECT_NE(words.front().find("/."), std::string::npos) << words.front();
            }
        }
    }
    EXPECT_EQ(skipped[""], strings(planned.at("skipped")));
}

// The report of a run that went is the audit log's account of it: the same run, the same counts, every
// software with the row it was listed under; standard output holds nothing else.
TEST(UninstallReport, TheReportAgreesWithTheAuditLog) {
    SampleCase sample;
    const ChildProcess run = sample.uninstall({"Printer Driver"}, {"--yes", "--json"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    const std::vector<nlohmann::json> log = auditlog::lines(sample.logFile);
    ASSERT_FALSE(log.empty());
    for (const nlohmann::json& line : log) {
        EXPECT_EQ(line.at("run"), report.at("run")) << line;
    }
    for (const char* count : {"removed", "skipped", "failed", "alreadyGone"}) {
        EXPECT_EQ(report.at("counts").at(count), log.back().at(count)) << count;
    }
    EXPECT_EQ(report.at("rows"), log.front().at("rows"));
    EXPECT_EQ(report.at("takenAlong"), nlohmann::json::array({"PC-FAX Driver"}));
    Names software;
    size_t removed = 0;
    for (const nlohmann::json& one : report.at("software")) {
        software.push_back(one.at("name").get<std::string>() + " in " + one.at("row").get<std::string>());
        removed += one.at("counts").at("removed").get<size_t>();
    }
    EXPECT_EQ(software,
              (Names{"Inkjet Printer Driver in Printer Driver",
                     "Page Printer Driver & PS Driver in Printer Driver", "PC-FAX Driver in PC-FAX Driver"}));
    EXPECT_EQ(report.at("counts").at("removed"), removed);
    EXPECT_EQ(report.at("auditLog"), sample.logFile);
    EXPECT_EQ(report.at("auditLogProblem"), nullptr);
}

// However early a run stops, it changes nothing and its report says why, with the exit status.
TEST(UninstallReport, ARunThatCannotStartStillEndsWithItsReport) {
    SampleCase sample;
    TestSystem bare;
    bare.writeSystemVersion("10.15.7");
    const std::string root = sample.system.root();
    const struct {
        Names arguments;
        int exitStatus;
        std::string reason;
        Names rows;
        std::string told; // on standard error, when it is not the reason
    } cases[] = {
        {{"--root", root, "uninstall", "--yes", "--frobnicate", "Scan Utility"},
         2,
         "unknown option '--frobnicate'",
         {"Scan Utility"},
         ""},
        {{"--root", root, "uninstall", "--yes", "Scan Utility", "Fax Utility"},
         2,
         "no row is called \"Fax Utility\"",
         {"Scan Utility", "Fax Utility"},
         ""},
        {{"--root", root, "uninstall", "Scan Utility"},
         2,
         "there is no terminal to ask on; give --yes to uninstall without a question",
         {"Scan Utility"},
         ""},
        {{"--root", root + "/missing", "uninstall", "--yes", "--all"},
         1,
         root + "/missing does not exist",
         {},
         ""},
        {{"--root", bare.root(), "uninstall", "--yes", "Scan Utility"},
         4,
         "no TORVA software was found",
         {"Scan Utility"},
         "No TORVA software was found.\n"},
    };
    const TreeSnapshot before = TreeSnapshot::take(root);
    for (const auto& [arguments, exitStatus, reason, rows, told] : cases) {
        Names withJson = arguments;
        withJson.push_back("--json");
        SCOPED_TRACE(reason);
        const ChildProcess run = ChildProcess::cli(withJson);
        EXPECT_EQ(run.exitStatus, exitStatus) << run.err;
        EXPECT_NE(run.err.find(told.empty() ? reason : told), std::string::npos) << run.err;
        const nlohmann::json report = nlohmann::json::parse(run.out);
        EXPECT_EQ(report.at("exitStatus"), exitStatus);
        EXPECT_EQ(report.at("result"), "refused");
        EXPECT_EQ(report.at("reason"), reason);
        EXPECT_EQ(report.at("run"), nullptr);
        EXPECT_EQ(report.at("rows"), rows);
        EXPECT_EQ(report.at("software"), nlohmann::json::array());
    }
    EXPECT_EQ(before.differences(TreeSnapshot::take(root)), "");
}

TEST(UninstallOnSample, WithoutTheProtectedPathsNothingIsTouched) {
    SampleCase sample;
    TestBundle bundle;
    bundle.setInformationBytes("");
    // The built program, reading the bundle of the test.
    const std::string cli = std::string(UNINSTALLER_BUILD_BUNDLE) + "/Contents/MacOS/uninstaller-cli";
    const TreeSnapshot before = TreeSnapshot::take(sample.system.root());
    const ChildProcess run = ChildProcess::run(
        cli, {"--root", sample.system.root(), "uninstall", "--yes", "--log", sample.logFile, "Scan Utility"});
    EXPECT_EQ(run.exitStatus, 5);
    EXPECT_NE(run.err.find("protected paths"), std::string::npos) << run.err;
    EXPECT_EQ(before.differences(TreeSnapshot::take(sample.system.root())), "");
    const ChildProcess plan =
        ChildProcess::run(cli, {"--root", sample.system.root(), "plan", "Scan Utility"});
    EXPECT_EQ(plan.exitStatus, 5);
}

// A Mac OS X 10.5 system: receipts are bundles in /Library/Receipts, deleted with the software.
TEST(UninstallOnOldSystems, ReceiptBundlesGoOnTenFive) {
    TestSystem system;
    system.writeSystemVersion("10.5.8");
    system.addUser("anna", 501);
    const Canaries canaries(system);
    SoftwarePackage package{.spec = {.identifier = "com.torva.pkg.FaxDriver",
                                     .installPrefix = std::nullopt,
                                     .items = {PackageItem::file("TORVA/Fax/fax.bin", "fax"),
                                               PackageItem::file("TORVA/Fax/Resources/cover.cvp", "cover")},
                                     .bundleName = "TORVA Fax Driver.pkg",
                                     .relocatedPath = "./Library/Printers"},
                            .layout = ReceiptLayout::Bundle,
                            .packageName = "TORVA Fax Driver.pkg",
                            .packageType = "Bundle"};
    SoftwareFixture::install(system, {.name = "PC-FAX Driver", .packages = {package}});
    FakeTools tools;
    for (const std::string& tool : kHostTools) {
        tools.add(tool);
    }
    tools.add("pkgutil", "", 1);

    const ChildProcess run = ChildProcess::cli(
        {"--root", system.root(), "uninstall", "--yes", "--log", tools.folder() + "/log", "PC-FAX Driver"});

    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_FALSE(system.exists("/Library/Receipts/TORVA Fax Driver.pkg"));
    EXPECT_FALSE(system.exists("/Library/Printers/TORVA/Fax"));
    EXPECT_FALSE(system.exists("/Library/Preferences/com.torva.PC-FAX Driver.UnInstallList.plist"));
    EXPECT_TRUE(system.isFolder("/Library/Receipts"));
    EXPECT_TRUE(tools.calls("pkgutil").empty()) << "no receipt is forgotten on 10.5";
    canaries.expectIntact();
}
