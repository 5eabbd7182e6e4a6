// uninstaller-cli uninstall and plan on whole systems: every row of the sample system alone and all
// together, the printer drivers forcing the other drivers, a failure and a cancel half-way, an
// application that will not quit, a 10.5 system, and the plan against what the uninstall then did.
// Every case compares the whole tree afterwards with the tree it expects, canaries included.

#include "platform/PropertyList.h"
#include "platform/SystemVersion.h"
#include "tests/e2e/Canaries.h"
#include "tests/e2e/ExpectedRemoval.h"
#include "tests/e2e/JsonValue.h"
#include "tests/e2e/TreeSnapshot.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeTools.h"
#include "tests/support/ImmutableFile.h"
#include "tests/support/TestBundle.h"
#include "tools/make-sample-system/SampleSystem.h"

#include <gtest/gtest.h>

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

const SampleSoftware& sample(const std::string& name) {
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
        found.push_back(&sample(name));
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

std::vector<JsonValue> logLines(const std::string& hostFile) {
    std::ifstream in(hostFile);
    std::vector<JsonValue> lines;
    for (std::string line; std::getline(in, line);) {
        std::optional<JsonValue> value = JsonValue::parse(line);
        EXPECT_TRUE(value && value->isObject()) << line;
        if (value) {
            lines.push_back(std::move(*value));
        }
    }
    return lines;
}

std::string member(const JsonValue& object, const char* key) {
    const JsonValue* value = object.find(key);
    return value != nullptr && value->isString() ? value->asString() : "";
}

Names strings(const JsonValue* array) {
    Names items;
    for (const JsonValue& item :
         array != nullptr && array->isArray() ? array->asArray() : JsonValue::Array()) {
        items.push_back(item.isString() ? item.asString() : "<not a string>");
    }
    return items;
}

} // namespace

TEST(UninstallOnSample, EachRowAloneRemovesExactlyItsSoftware) {
    for (const std::string row :
         {"PC-FAX Driver", "Printer Setup Utility", "Scan Utility", "Printer Driver"}) {
        SCOPED_TRACE(row);
        SampleCase sample;
        const ExpectedRemoval expected(sample.system, softwareOfRow(row));
        const TreeSnapshot before = TreeSnapshot::take(sample.system.root());

        const ChildProcess run = sample.uninstall({row});

        EXPECT_EQ(run.exitStatus, 0) << run.err;
        sample.expectTree(before, expected);
        EXPECT_NE(run.out.find("Uninstall finished."), std::string::npos) << run.out;
        for (const SampleSoftware* software : softwareOfRow(row)) {
            const std::string shown = software->spec.name == "Scan Utility" ||
                                              software->spec.name == "PC-FAX Driver" ||
                                              software->spec.name == "Printer Setup Utility"
                                          ? software->spec.name
                                          : "Printer Driver";
            EXPECT_NE(run.out.find("Uninstalling " + shown), std::string::npos) << run.out;
        }
        EXPECT_GT(expected.deleted().size(), 10u);
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

    const ChildProcess run = sample.uninstall({"PC-FAX Driver", "Printer Setup Utility", "Scan Utility"});

    EXPECT_EQ(run.exitStatus, 6) << run.err;
    sample.expectTree(before, expected);
    EXPECT_NE(run.err.find("Cancelling after the current software"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Uninstall cancelled."), std::string::npos) << run.err;
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

    const ChildProcess run = sample.uninstall({"Scan Utility"});
    ::unsetenv("UNINSTALLER_PROCESS_LIST");

    EXPECT_EQ(run.exitStatus, 3) << run.err;
    EXPECT_EQ(before.differences(TreeSnapshot::take(sample.system.root())), "");
    EXPECT_NE(run.err.find("Applications are still running."), std::string::npos) << run.err;
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
    const std::optional<JsonValue> planned = JsonValue::parse(plan.out);
    ASSERT_TRUE(planned && planned->isObject()) << plan.out;
    const JsonValue* records = planned->find("records");
    ASSERT_TRUE(records != nullptr && records->isArray());
    EXPECT_EQ(records->asArray().size(), 5u);

    const ChildProcess run = sample.uninstall({}, {"--yes", "--all"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;

    std::map<std::string, std::multiset<std::string>> acted;
    std::map<std::string, Names> skipped;
    for (const JsonValue& line : logLines(sample.logFile)) {
        const std::string step = member(line, "step");
        const std::string software = member(line, "software");
        if (step == "file" || step == "link" || step == "folder") {
            acted[software].insert(step + " " + member(line, "target"));
        }
        if (member(line, "outcome") == "skipped offline") {
            const bool script = step == "pre-uninstall" || step == "post-uninstall";
            const std::string target = member(line, "target");
            skipped[software].push_back(script ? target : target.empty() ? step : step + " " + target);
        }
    }
    for (const JsonValue& record : records->asArray()) {
        const std::string name = member(record, "name");
        SCOPED_TRACE(name);
        std::multiset<std::string> listed;
        for (const char* kind : {"file", "link", "folder"}) {
            for (const std::string& path : strings(record.find((std::string(kind) + "s").c_str()))) {
                listed.insert(kind + std::string(" ") + path);
            }
        }
        EXPECT_EQ(acted[name], listed);
        EXPECT_EQ(skipped[name], strings(record.find("skipped")));
        EXPECT_FALSE(listed.empty());
        // Every admitted script line of the sample is one touch of a marker, as it would run.
        for (const char* script : {"preUninstall", "postUninstall"}) {
            const JsonValue* commands = record.find(script)->find("commands");
            ASSERT_TRUE(commands != nullptr && commands->isArray()) << script;
            EXPECT_EQ(commands->asArray().size(), strings(record.find(script)->find("run")).size());
            for (const JsonValue& line : commands->asArray()) {
                ASSERT_EQ(line.asArray().size(), 1u);
                EXPECT_EQ(member(line.asArray().front(), "program"), "/usr/bin/touch");
                const Names words = strings(line.asArray().front().find("words"));
                ASSERT_EQ(words.size(), 1u);
                EXPECT_NE(words.front().find("/."), std::string::npos) << words.front();
            }
        }
    }
    EXPECT_EQ(skipped[""], strings(planned->find("skipped")));
}

TEST(UninstallOnSample, UnknownNamesAndNoTerminalChangeNothing) {
    SampleCase sample;
    const TreeSnapshot before = TreeSnapshot::take(sample.system.root());
    for (const std::string command : {"plan", "uninstall"}) {
        const ChildProcess unknown =
            ChildProcess::cli({"--root", sample.system.root(), command, "Scan Utility", "Fax Utility"});
        EXPECT_EQ(unknown.exitStatus, 2);
        EXPECT_NE(unknown.err.find("no row is called \"Fax Utility\""), std::string::npos) << unknown.err;
        EXPECT_NE(unknown.err.find("  Printer Setup Utility\n"), std::string::npos) << unknown.err;
    }
    const ChildProcess unasked =
        ChildProcess::cli({"--root", sample.system.root(), "uninstall", "Scan Utility"});
    EXPECT_EQ(unasked.exitStatus, 2);
    EXPECT_NE(unasked.err.find("give --yes"), std::string::npos) << unasked.err;
    EXPECT_EQ(before.differences(TreeSnapshot::take(sample.system.root())), "");
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
