// Stopping what runs before anything is deleted: the quit requests to applications (over a simulated
// Process Manager with raw replies), the Dock restart, login items and launch agents, and what is left
// undone on a system that is not the running one.

#include "engine/ActionReport.h"
#include "engine/ProcessControl.h"
#include "engine/StopSystemManager.h"
#include "platform/SimulatedProcessManager.h"
#include "platform/SystemVersion.h"
#include "tests/support/FakeTools.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Process = SimulatedProcessManager::Process;
using Calls = std::vector<std::vector<std::string>>;

uint32_t code(const char* text) {
    return SimulatedProcessManager::fourCharCode(text);
}

Process process(uint32_t serial, const char* type, const char* signature, uint32_t mode = 0,
                std::optional<std::string> reply = std::string()) {
    Process p;
    p.info = {{0, serial}, code(type), code(signature), mode};
    p.reply = std::move(reply);
    return p;
}

// A reply descriptor as the Apple Event Manager gives it: other parameters, then 'errn', its type,
// its length and the 32-bit error number.
std::string replyWithError(int32_t error, const std::string& before = "aevtansr----") {
    std::string bytes = before + "errnlong";
    const uint32_t length = 4;
    bytes.append(reinterpret_cast<const char*>(&length), 4);
    bytes.append(reinterpret_cast<const char*>(&error), 4);
    return bytes;
}

// The machine's own Process Manager as far as the offline rule is concerned: it records what it is sent.
class HostLikeProcesses : public ProcessManager {
public:
    std::vector<ProcessInfo> runningProcesses() override {
        return {process(1, "APPL", "dock").info, process(2, "APPL", "MACS").info};
    }
    std::optional<std::string> sendQuitEvent(const ProcessSerialNumber&, bool) override {
        ++sent;
        return std::string();
    }
    int sent = 0;
};

std::vector<std::string> skippedSteps(const ActionReport& report) {
    std::vector<std::string> steps;
    for (const EngineAction& action : report.actionsWith(EngineAction::Outcome::SkippedOffline)) {
        steps.push_back(HostActions::offlineStepText(action));
    }
    return steps;
}

void writeAgent(const TestSystem& system, const std::string& path, const std::string& label) {
    system.writePlist(path, plistDictionary({{"Label", label}, {"RunAtLoad", PlistValue::boolean(true)}}));
}

void writeApplication(const TestSystem& system, const std::string& bundle, const std::string& executable) {
    system.writePlist(bundle + "/Contents/Info.plist", plistDictionary({{"CFBundleExecutable", executable}}));
}

} // namespace

TEST(StopApplications, OnlyOtherRegularApplicationsAreAskedInProcessOrder) {
    SimulatedProcessManager processes({
        process(1, "APPL", "zolq"),                                      // this program
        process(2, "APPL", "bgnd", processcontrol::kModeOnlyBackground), // background only
        process(3, "FNDR", "MACS"),                                      // the Finder
        process(4, "APPL", "ttxt"),
        process(5, "APPL", "dock", 0, replyWithError(0)),
    });
    EXPECT_EQ(processcontrol::StopAllApplications(processes), 0);
    EXPECT_EQ(processes.quitEvents(), (std::vector<uint32_t>{code("ttxt"), code("dock")}));
}

TEST(StopApplications, ARefusalOrAFailedSendEndsTheWalkAtOnce) {
    SimulatedProcessManager refusing({process(1, "APPL", "aaaa"),
                                      process(2, "APPL", "bbbb", 0, replyWithError(-128)),
                                      process(3, "APPL", "cccc")});
    EXPECT_EQ(processcontrol::StopAllApplications(refusing), -1);
    EXPECT_EQ(refusing.quitEvents(), (std::vector<uint32_t>{code("aaaa"), code("bbbb")}));

    SimulatedProcessManager unreachable(
        {process(1, "APPL", "aaaa", 0, std::nullopt), process(2, "APPL", "bbbb")});
    EXPECT_EQ(processcontrol::StopAllApplications(unreachable), -2);
    EXPECT_EQ(unreachable.quitEvents(), (std::vector<uint32_t>{code("aaaa")}));
}

TEST(StopApplications, TheErrorNumberIsReadFromTheRawReply) {
    using processcontrol::errorNumberInReply;
    EXPECT_EQ(errorNumberInReply(replyWithError(-128)), -128);
    EXPECT_EQ(errorNumberInReply(replyWithError(0)), 0);
    EXPECT_EQ(errorNumberInReply("aevtansr----"), std::nullopt);
    // The first occurrence counts, wherever it is.
    EXPECT_EQ(errorNumberInReply(replyWithError(-600, "") + replyWithError(-128)), -600);
    // A value that would run past the end of the data does not count.
    std::string cut = replyWithError(-128);
    cut.pop_back();
    EXPECT_EQ(errorNumberInReply(cut), std::nullopt);

    SimulatedProcessManager cutShort({process(1, "APPL", "aaaa", 0, cut), process(2, "APPL", "bbbb")});
    EXPECT_EQ(processcontrol::StopAllApplications(cutShort), 0);
}

TEST(StopApplications, TheDockIsAskedToQuitOnlyWhenItRuns) {
    SimulatedProcessManager withDock({process(1, "APPL", "ttxt"), process(2, "APPL", "dock")});
    processcontrol::rebootDockSystem(withDock);
    EXPECT_EQ(withDock.quitEvents(), (std::vector<uint32_t>{code("dock")}));

    SimulatedProcessManager withoutDock({process(1, "APPL", "ttxt"), process(2, "FNDR", "dock")});
    processcontrol::rebootDockSystem(withoutDock);
    EXPECT_TRUE(withoutDock.quitEvents().empty());
}

TEST(StopSystem, LoginItemsAreKilledByTheirExecutableName) {
    TestSystem system;
    FakeTools tools;
    tools.add("killall");
    writeApplication(system, "/Applications/TORVA Status.app", "TORVA Status");
    system.makeFolder("/Applications/Broken.app");
    SimulatedProcessManager processes({});
    StopSystemManager stop(processes);
    stop.hostActions().setAccess(HostAccess::Live);
    EXPECT_TRUE(stop.stopLoginWindows(std::vector<std::string>{
        "/Applications/TORVA Status.app", "/Applications/Broken.app", "/Applications/None.app"}));
    EXPECT_EQ(tools.calls("killall"), (Calls{{"TORVA Status"}}));
    EXPECT_TRUE(stop.stopLoginWindows(std::nullopt));
}

TEST(StopSystem, LaunchAgentsAreUnloadedOncePerUserByTheirPropertyList) {
    TestSystem system;
    system.writeSystemVersion("10.15.7");
    system.addUser("anna", 501);
    system.addUser("ben", 502);
    FakeTools tools;
    tools.add("su");
    tools.add("launchctl");
    writeAgent(system, "/Users/anna/Library/LaunchAgents/sub/deeper/agent.plist", "com.torva.agent");
    writeAgent(system, "/Users/ben/Library/LaunchAgents/other.plist", "com.other.agent");
    SimulatedProcessManager processes({});
    StopSystemManager stop(processes);
    stop.hostActions().setAccess(HostAccess::Live);

    EXPECT_TRUE(stop.stopLaunchAgents(std::vector<std::string>{"com.torva.agent", "com.missing"}));
    const std::string plist = system.host("/Users/anna/Library/LaunchAgents/sub/deeper/agent.plist");
    EXPECT_EQ(tools.calls("su"), (Calls{{"anna"}, {"ben"}}));
    EXPECT_EQ(tools.calls("launchctl"), (Calls{{"unload", plist}, {"unload", plist}}));

    // The same label in the system folder is found there first.
    writeAgent(system, "/Library/LaunchAgents/com.torva.agent.plist", "com.torva.agent");
    EXPECT_EQ(stop.searchLaunchPath(std::string("com.torva.agent")),
              "/Library/LaunchAgents/com.torva.agent.plist");
    EXPECT_EQ(stop.searchLaunchPath(std::string("com.other.agent")),
              "/Users/ben/Library/LaunchAgents/other.plist");
    EXPECT_EQ(stop.searchLaunchPath(std::string("com.missing")), std::nullopt);
}

TEST(StopSystem, NoLaunchAgentsOrAnOldSystemMeanNothingRuns) {
    TestSystem system;
    system.addUser("anna", 501);
    FakeTools tools;
    tools.add("su");
    SimulatedProcessManager processes({});
    StopSystemManager stop(processes);
    stop.hostActions().setAccess(HostAccess::Live);
    system.writeSystemVersion("10.15");
    EXPECT_TRUE(stop.stopLaunchAgents(std::vector<std::string>{}));
    EXPECT_TRUE(stop.stopLaunchAgents(std::nullopt));
    system.writeSystemVersion("10.3.9");
    systemversion::forgetCachedOSVersion();
    EXPECT_TRUE(stop.stopLaunchAgents(std::vector<std::string>{"com.torva.agent"}));
    EXPECT_TRUE(tools.calls("su").empty());
}

TEST(StopSystem, AnAgentBehindAUsersOwnLinkIsNotFound) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "planting links of another owner needs the super-user";
    }
    TestSystem system;
    system.addUser("anna", 501);
    writeAgent(system, "/Library/Other/agent.plist", "com.torva.agent");
    system.makeLink("/Users/anna/Library/LaunchAgents", "/Library/Other");
    ASSERT_EQ(::lchown(system.host("/Users/anna/Library/LaunchAgents").c_str(), 501, 20), 0);
    EXPECT_EQ(StopSystemManager::searchLaunchPath_internal(std::string("com.torva.agent"),
                                                           std::string("/Users/anna/Library/LaunchAgents")),
              std::nullopt);
}

// With a system tree that is not the running system, the machine's own applications, Dock and tools
// are left alone; what would have run is reported.
TEST(StopSystem, OfflineNothingHostFacingRunsAndEveryStepIsReported) {
    TestSystem system;
    system.writeSystemVersion("10.15.7");
    system.addUser("anna", 501);
    FakeTools tools;
    for (const char* tool : {"su", "launchctl", "killall"}) {
        tools.add(tool);
    }
    writeAgent(system, "/Library/LaunchAgents/agent.plist", "com.torva.agent");
    writeApplication(system, "/Applications/TORVA Status.app", "TORVA Status");
    HostLikeProcesses processes;
    ActionReport report;
    StopSystemManager stop(processes);
    stop.hostActions().setReport(&report);

    EXPECT_TRUE(stop.stopAllApplications());
    EXPECT_TRUE(stop.stopLaunchAgents(std::vector<std::string>{"com.torva.agent"}));
    EXPECT_TRUE(stop.stopLoginWindows(std::vector<std::string>{"/Applications/TORVA Status.app"}));
    stop.rebootDockSystem();

    EXPECT_EQ(processes.sent, 0);
    for (const char* tool : {"su", "launchctl", "killall"}) {
        EXPECT_TRUE(tools.calls(tool).empty()) << tool;
    }
    EXPECT_EQ(skippedSteps(report),
              (std::vector<std::string>{"quit applications", "su anna",
                                        "launchctl unload /Library/LaunchAgents/agent.plist",
                                        "killall TORVA Status", "restart Dock"}));
}

TEST(StopSystem, OfflineASimulatedProcessManagerIsStillAsked) {
    TestSystem system;
    SimulatedProcessManager processes({process(1, "APPL", "ttxt", 0, replyWithError(-128))});
    StopSystemManager stop(processes);
    EXPECT_FALSE(stop.stopAllApplications());
    EXPECT_EQ(processes.quitEvents().size(), 1u);
}
