// The uninstall driver over catalogued software: which records it takes, the order of its steps, the
// result codes, the cancel request, the Dock restart, the plan it shares with the dry run and its log.

#include "catalogue/SearchSoftwareInformationManager.h"
#include "catalogue/StartupSearch.h"
#include "catalogue/StoreSoftwareInformationManager.h"
#include "engine/ProgressSink.h"
#include "engine/UnInstallSoftwareManager.h"
#include "platform/SimulatedProcessManager.h"
#include "platform/SystemVersion.h"
#include "tests/e2e/TreeSnapshot.h"
#include "tests/support/FakeTools.h"
#include "tests/support/ImmutableFile.h"
#include "tests/support/SoftwareFixture.h"
#include "tests/support/TestBundle.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>

namespace {

using Lines = std::vector<std::string>;
using Process = SimulatedProcessManager::Process;

// The progress sheet as a list of calls; it asks to cancel once a given software has started.
class RecordingProgress : public ProgressSink {
public:
    void setProgressMinValue(double value) override { calls.push_back("min " + std::to_string(int(value))); }
    void setProgressMaxValue(double value) override { calls.push_back("max " + std::to_string(int(value))); }
    void setProgressState(ProgressState state, const std::optional<std::string>& name) override {
        calls.push_back("state " + std::to_string(static_cast<int>(state)) + (name ? " " + *name : ""));
        if (state == ProgressState::Uninstall && name == cancelDuring) {
            cancel = true;
        }
    }
    void setProgressSoftware(const std::string& name, size_t number, size_t count) override {
        calls.push_back(name + " " + std::to_string(number) + " of " + std::to_string(count));
        if (name == cancelDuring) {
            cancel = true;
        }
    }
    bool getIsCancel() const override { return cancel; }
    void cancelProcess() override { calls.push_back("cancel"); }

    Lines calls;
    bool cancel = false;
    std::optional<std::string> cancelDuring;
};

Process application(uint32_t serial, const char* signature,
                    std::optional<std::string> reply = std::string()) {
    Process process;
    process.info = {{0, serial},
                    SimulatedProcessManager::fourCharCode("APPL"),
                    SimulatedProcessManager::fourCharCode(signature),
                    0};
    process.reply = std::move(reply);
    return process;
}

SoftwareSpec utility(const std::string& name) {
    const std::string folder = "TORVA/" + name;
    SoftwareSpec spec;
    spec.name = name;
    spec.packages = {{.spec = {.identifier = "com.torva.pkg." + name.substr(0, name.find(' ')),
                               .installPrefix = "Library/Printers",
                               .items = {PackageItem::file(folder + "/bin/" + name, "binary of " + name),
                                         PackageItem::file(folder + "/Resources/data.plist", "data"),
                                         PackageItem::link(folder + "/Current", "Resources")}}}};
    spec.launchAgents = Lines{"com.torva." + name.substr(0, name.find(' '))};
    return spec;
}

std::string informationFile(const std::string& name) {
    return "/Library/Preferences/" + SoftwareFixture::informationFileName(name);
}

class UninstallDriver : public ::testing::Test {
protected:
    void SetUp() override {
        system.writeSystemVersion("10.15.7");
        systemversion::forgetCachedOSVersion();
        system.addUser("anna", 501);
        for (const char* name : {"Alpha Utility", "Beta Utility", "Gamma Utility"}) {
            SoftwareFixture::install(system, utility(name));
            const std::string label = "com.torva." + std::string(name).substr(0, std::string(name).find(' '));
            system.writePlist("/Users/anna/Library/LaunchAgents/TORVA/" + label + ".plist",
                              plistDictionary({{"Label", label}}));
        }
    }

    // The catalogue's full records with the named ones ticked.
    std::vector<SoftwareInformationRecord> records(const Lines& ticked) {
        SearchSoftwareInformationManager search;
        StoreSoftwareInformationManager store;
        EXPECT_EQ(StartupSearch::run(search, store), StartupSearch::Outcome::Found);
        std::vector<SoftwareInformationRecord> all = store.getMSoftwareInformationArray();
        for (SoftwareInformationRecord& record : all) {
            record.unInstallFlag =
                std::find(ticked.begin(), ticked.end(), record.applicationName) != ticked.end();
        }
        return all;
    }

    bool installed(const std::string& name) const {
        return system.exists("/Library/Printers/TORVA/" + name + "/bin/" + name) &&
               system.exists(informationFile(name));
    }
    bool gone(const std::string& name) const {
        return !system.exists("/Library/Printers/TORVA/" + name) && !system.exists(informationFile(name)) &&
               !system.exists("/var/db/receipts/com.torva.pkg." + name.substr(0, name.find(' ')) + ".plist");
    }

    TestSystem system;
    RecordingProgress progress;
};

} // namespace

TEST_F(UninstallDriver, NothingTickedAsksApplicationsToQuitAndFails) {
    SimulatedProcessManager processes({application(1, "ttxt")});
    UnInstallSoftwareManager driver(progress, processes);
    driver.setMinimumDuration(std::chrono::milliseconds(0));
    std::vector<SoftwareInformationRecord> all = records({});
    const TreeSnapshot before = TreeSnapshot::take(system.host("/Library/Printers"));

    EXPECT_EQ(driver.processUnInstall(&all), UnInstallSoftwareManager::kFailed);
    EXPECT_EQ(processes.quitEvents().size(), 1u);
    EXPECT_EQ(before.differences(TreeSnapshot::take(system.host("/Library/Printers"))), "");
    EXPECT_EQ(driver.processUnInstall(nullptr), UnInstallSoftwareManager::kFailed);
}

TEST_F(UninstallDriver, WithoutTheProtectedPathsNothingIsStoppedOrDeleted) {
    TestBundle bundle;
    bundle.setInformationBytes("");
    SimulatedProcessManager processes({application(1, "ttxt")});
    UnInstallSoftwareManager driver(progress, processes);
    std::vector<SoftwareInformationRecord> all = records({"Alpha Utility"});

    EXPECT_EQ(driver.processUnInstall(&all), UnInstallSoftwareManager::kFailed);
    EXPECT_TRUE(installed("Alpha Utility"));
    EXPECT_TRUE(processes.quitEvents().empty());
    EXPECT_NE(driver.failureReason().find("protected paths"), std::string::npos) << driver.failureReason();
    EXPECT_TRUE(driver.planUnInstall(all).refusal.has_value());
}

// A file of the second software that cannot be deleted: the others still go, the second keeps what finds
// it again, the run says it failed and how much was left, and a second run finishes the job.
TEST_F(UninstallDriver, AFailedSoftwareStaysFindableAndASecondRunFinishesIt) {
    const std::string stuck = "/Library/Printers/TORVA/Beta Utility/Resources/data.plist";
    std::optional<ImmutableFile> locked(std::in_place, system.host(stuck));
    if (!locked->isSet()) {
        GTEST_SKIP() << "this file system cannot make a file immutable";
    }
    SimulatedProcessManager processes({});
    {
        UnInstallSoftwareManager driver(progress, processes);
        driver.setMinimumDuration(std::chrono::milliseconds(0));
        std::vector<SoftwareInformationRecord> all =
            records({"Alpha Utility", "Beta Utility", "Gamma Utility"});

        EXPECT_EQ(driver.processUnInstall(&all), UnInstallSoftwareManager::kFailed);

        EXPECT_TRUE(gone("Alpha Utility"));
        EXPECT_TRUE(gone("Gamma Utility"));
        EXPECT_TRUE(system.exists(stuck));
        EXPECT_FALSE(system.exists("/Library/Printers/TORVA/Beta Utility/bin/Beta Utility"));
        EXPECT_TRUE(system.exists(informationFile("Beta Utility")));
        EXPECT_TRUE(system.exists("/var/db/receipts/com.torva.pkg.Beta.plist"));
        const RunSummary& summary = driver.summary();
        EXPECT_EQ(summary.result, RunSummary::Result::Failed);
        EXPECT_EQ(summary.counts.failed, 1u);
        EXPECT_EQ(summary.reason,
                  "1 of " + std::to_string(summary.counts.total()) + " items could not be removed");
        ASSERT_EQ(summary.software.size(), 3u);
        EXPECT_EQ(summary.software[1].name, "Beta Utility");
        EXPECT_EQ(summary.software[1].result, RunSummary::Result::Failed);
        ASSERT_EQ(summary.software[1].failures.size(), 1u);
        EXPECT_EQ(summary.software[1].failures[0].target, stuck);
        EXPECT_EQ(summary.software[2].result, RunSummary::Result::Done);
    }
    locked.reset();
    UnInstallSoftwareManager again(progress, processes);
    again.setMinimumDuration(std::chrono::milliseconds(0));
    std::vector<SoftwareInformationRecord> left = records({"Beta Utility"});
    EXPECT_EQ(again.processUnInstall(&left), UnInstallSoftwareManager::kDone);
    EXPECT_TRUE(gone("Beta Utility"));
}

// The two printer drivers are one software to the user: announced once, removed one after the other,
// and a cancel while they go stops only after both. The first one's Dock tile went, so the Dock is
// restarted, once, before the cancel is answered.
TEST_F(UninstallDriver, TheRecordsOfOneSoftwareAreAnnouncedOnceAndRemovedTogether) {
    system.writePlist(
        "/Users/anna/Library/Preferences/com.apple.dock.plist",
        plistDictionary(
            {{"persistent-apps", PlistValue(PlistValue::Array{plistDictionary(
                                     {{"tile-data", plistDictionary({{"file-label", "Alpha"}})}})})}}));
    SoftwareSpec alpha = utility("Alpha Utility");
    alpha.dockItems = Lines{"Alpha"};
    SoftwareFixture::writeInformationFile(system, alpha.name, SoftwareFixture::informationFile(alpha));
    SimulatedProcessManager processes({application(1, "dock")});
    UnInstallSoftwareManager driver(progress, processes);
    driver.setMinimumDuration(std::chrono::milliseconds(0));
    progress.cancelDuring = "Printer Driver";
    std::vector<SoftwareInformationRecord> all = records({"Alpha Utility", "Beta Utility", "Gamma Utility"});
    all[0].applicationName = "Inkjet Printer Driver";
    all[2].applicationName = "Page Printer Driver & PS Driver";

    EXPECT_EQ(driver.processUnInstall(&all), UnInstallSoftwareManager::kCancelled);

    EXPECT_EQ(progress.calls, (Lines{"min 0", "max 100", "state 11", "Printer Driver 1 of 2", "cancel"}));
    EXPECT_TRUE(gone("Alpha Utility"));
    EXPECT_TRUE(gone("Gamma Utility"));
    EXPECT_TRUE(installed("Beta Utility"));
    EXPECT_EQ(processes.quitEvents().size(), 2u);
}

TEST_F(UninstallDriver, TheDockIsRestartedAtTheEndOnlyWhenATileWent) {
    SimulatedProcessManager processes({application(1, "dock")});
    UnInstallSoftwareManager driver(progress, processes);
    driver.setMinimumDuration(std::chrono::milliseconds(0));
    std::vector<SoftwareInformationRecord> all = records({"Alpha Utility"});
    EXPECT_EQ(driver.processUnInstall(&all), UnInstallSoftwareManager::kDone);
    EXPECT_EQ(processes.quitEvents().size(), 1u) << "the quit request before the run only";
}

TEST_F(UninstallDriver, ASoftwareUpdateRecordHasNoInformationFileButLosesItsReceipts) {
    PackageFixture::install(system,
                            {.identifier = "com.apple.pkg.TORVAPrinterDrivers",
                             .items = {PackageItem::file("Library/Printers/TORVA/SU/driver", "driver")}},
                            ReceiptLayout::AppleSystemReceipts);
    SoftwareInformationRecord record;
    record.applicationName = "Inkjet Printer Driver";
    record.packageInfo = {PackageInfoEntry::fromReceipt("com.apple.pkg.TORVAPrinterDrivers")};
    record.unInstallFlag = true;
    record.source = RecordSource::Receipts;
    SimulatedProcessManager processes({});
    UnInstallSoftwareManager driver(progress, processes);
    driver.setMinimumDuration(std::chrono::milliseconds(0));
    std::vector<SoftwareInformationRecord> all = {record};

    EXPECT_EQ(driver.processUnInstall(&all), UnInstallSoftwareManager::kDone);

    EXPECT_FALSE(system.exists("/Library/Printers/TORVA/SU/driver"));
    EXPECT_FALSE(
        system.exists("/Library/Apple/System/Library/Receipts/com.apple.pkg.TORVAPrinterDrivers.plist"));
    EXPECT_EQ(progress.calls.back(), "Printer Driver 1 of 1");
    for (const EngineAction& action : driver.report().actions()) {
        EXPECT_NE(action.step, "information file");
    }
}

TEST_F(UninstallDriver, OnTheRunningSystemScriptLinesAndToolsRun) {
    SoftwareSpec beta = utility("Beta Utility");
    beta.preUninstall = Lines{"touch /Library/Printers/TORVA/marker", "rm -rf /Library"};
    SoftwareFixture::writeInformationFile(system, beta.name, SoftwareFixture::informationFile(beta));
    FakeTools tools;
    for (const char* tool : {"su", "launchctl", "touch"}) {
        tools.add(tool);
    }
    SimulatedProcessManager processes({});
    UnInstallSoftwareManager driver(progress, processes);
    driver.setMinimumDuration(std::chrono::milliseconds(0));
    driver.setHostAccess(HostAccess::Live);
    std::vector<SoftwareInformationRecord> all = records({"Beta Utility"});

    EXPECT_EQ(driver.processUnInstall(&all), UnInstallSoftwareManager::kDone);

    EXPECT_EQ(tools.calls("touch"), (std::vector<Lines>{{"/Library/Printers/TORVA/marker"}}));
    EXPECT_EQ(tools.calls("su"), (std::vector<Lines>{{"anna"}}));
    EXPECT_EQ(tools.calls("launchctl").size(), 1u);
    const std::vector<EngineAction> ran = driver.report().actionsWith(EngineAction::Outcome::Run);
    EXPECT_NE(std::find_if(ran.begin(), ran.end(),
                           [](const EngineAction& action) {
                               return action.step == "pre-uninstall" &&
                                      action.target == "/usr/bin/touch /Library/Printers/TORVA/marker";
                           }),
              ran.end());
    const std::vector<EngineAction> refused = driver.report().actionsWith(EngineAction::Outcome::Refused);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].target, "rm -rf /Library");
}

TEST_F(UninstallDriver, EveryActionIsLoggedAsOneJsonLine) {
    SimulatedProcessManager processes({});
    UnInstallSoftwareManager driver(progress, processes);
    driver.setMinimumDuration(std::chrono::milliseconds(0));
    std::vector<SoftwareInformationRecord> all = records({"Alpha Utility"});
    EXPECT_EQ(driver.processUnInstall(&all), UnInstallSoftwareManager::kDone);

    std::istringstream log(system.read("/Library/Logs/Uninstaller.log"));
    std::vector<nlohmann::json> entries;
    Lines outcomes;
    for (std::string line; std::getline(log, line);) {
        nlohmann::json entry = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
        ASSERT_TRUE(entry.is_object()) << line;
        for (const char* key : {"time", "run", "software", "step", "target", "outcome"}) {
            ASSERT_TRUE(entry.contains(key)) << key << " in " << line;
        }
        EXPECT_EQ(entry.at("run"), driver.summary().runId) << line;
        if (entry.at("step") == "file") {
            EXPECT_EQ(entry.at("software"), "Alpha Utility");
            outcomes.push_back(entry.at("outcome"));
        }
        entries.push_back(std::move(entry));
    }
    ASSERT_EQ(entries.size(), driver.report().actions().size() + 2)
        << "the actions between a start and an end line";
    const nlohmann::json& first = entries.front();
    EXPECT_EQ(first.at("outcome"), "started");
    for (const char* key :
         {"program", "version", "interface", "uid", "user", "system", "rows", "takenAlong"}) {
        EXPECT_TRUE(first.contains(key)) << key;
    }
    const nlohmann::json& last = entries.back();
    EXPECT_EQ(last.at("outcome"), "ended");
    EXPECT_EQ(last.at("result"), "done");
    EXPECT_EQ(last.at("removed"), driver.summary().counts.removed);
    EXPECT_EQ(last.at("failed"), 0);
    EXPECT_EQ(outcomes, (Lines{"deleted", "deleted"}));
    EXPECT_FALSE(driver.auditLogProblem());
}

TEST_F(UninstallDriver, ALogThatCannotBeWrittenDoesNotStopTheUninstall) {
    system.writeFile("/Library/Logs", "a file where the folder should be");
    SimulatedProcessManager processes({});
    UnInstallSoftwareManager driver(progress, processes);
    driver.setMinimumDuration(std::chrono::milliseconds(0));
    std::vector<SoftwareInformationRecord> all = records({"Alpha Utility"});
    EXPECT_EQ(driver.processUnInstall(&all), UnInstallSoftwareManager::kDone);
    EXPECT_TRUE(gone("Alpha Utility"));
    ASSERT_TRUE(driver.auditLogProblem());
    EXPECT_NE(driver.auditLogProblem()->find("/Library/Logs/Uninstaller.log"), std::string::npos);
}
