// What acts on the machine itself: run on the running system, reported and left undone on another.

#include "engine/HostActions.h"
#include "engine/ActionReport.h"
#include "tests/support/FakeTools.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

TEST(HostActions, TheAccessFollowsTheSystemRoot) {
    HostActions actions;
    EXPECT_EQ(actions.access(), HostAccess::Live);
    TestSystem system;
    EXPECT_EQ(actions.access(), HostAccess::Offline);
    actions.setAccess(HostAccess::Live);
    EXPECT_EQ(actions.access(), HostAccess::Live);
}

TEST(HostActions, LiveToolsAndScriptLinesRunFromTheRootFolder) {
    TestSystem system;
    FakeTools tools;
    tools.add("killall");
    ActionReport report;
    HostActions actions;
    actions.setAccess(HostAccess::Live);
    actions.setReport(&report);
    const std::string marker = system.host("/marker");

    EXPECT_TRUE(actions.runTool("killall", "/usr/bin/killall", {"TORVA Monitor"}, {"TORVA Monitor"}));
    actions.runShellLine("pre-uninstall", "pwd > '" + marker + "'; echo noise; exit 3");

    EXPECT_EQ(tools.calls("killall"), (std::vector<std::vector<std::string>>{{"TORVA Monitor"}}));
    EXPECT_EQ(system.read("/marker"), "/\n");
    ASSERT_EQ(report.actions().size(), 2u);
    EXPECT_EQ(report.actions()[1].outcome, EngineAction::Outcome::Run);
    EXPECT_EQ(report.actions()[1].detail, "exit status 3");
}

TEST(HostActions, OfflineAndDryRunStepsDoNotRun) {
    TestSystem system;
    FakeTools tools;
    tools.add("su");
    ActionReport report;
    HostActions actions;
    actions.setReport(&report);
    const std::string line = "touch '" + system.host("/marker") + "'";

    actions.runTool("su", "/usr/bin/su", {"anna"}, {"anna"});
    actions.runShellLine("post-uninstall", line);
    actions.setAccess(HostAccess::Live);
    actions.setMode(ActionMode::DryRun);
    actions.runTool("su", "/usr/bin/su", {"anna"}, {"anna"});
    actions.runShellLine("post-uninstall", line);

    EXPECT_TRUE(tools.calls("su").empty());
    EXPECT_FALSE(system.exists("/marker"));
    ASSERT_EQ(report.actions().size(), 2u) << "a live dry run reports nothing";
    EXPECT_EQ(HostActions::offlineStepText(report.actions()[0]), "su anna");
    EXPECT_EQ(HostActions::offlineStepText(report.actions()[1]), line);
}
