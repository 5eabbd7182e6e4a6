// What acts on the machine itself: run on the running system, reported and left undone on another. A
// script line runs as the commands it was screened into, each started with exactly the screened words.

#include "engine/HostActions.h"
#include "engine/ActionReport.h"
#include "engine/AnalyzeCommandManager.h"
#include "tests/support/FakeTools.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include <stdlib.h>
#include <unistd.h>

namespace {

using Calls = std::vector<std::vector<std::string>>;

// A live system tree with recording stand-ins for the programs script lines start.
class ScriptRun : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"rm", "touch", "echo", "launchctl"}) {
            tools.add(tool);
        }
        tools.add("true", "", 0);
        tools.add("false", "", 1);
        system.makeFolder("/Library/Printers/TORVA/Fax");
        actions.setAccess(HostAccess::Live);
        actions.setReport(&report);
    }

    // Screens the line (it must be admitted) and runs it.
    void run(const std::string& line) {
        const AnalyzeCommandManager::Verdict verdict = manager.screenLine(line, individual, lower);
        ASSERT_TRUE(verdict.admitted) << line << ": " << verdict.reason;
        actions.runScriptLine("pre-uninstall", verdict.line, verdict.commands,
                              manager.screener(individual, lower));
    }

    std::vector<std::string> outcomes() const {
        std::vector<std::string> out;
        for (const EngineAction& action : report.actions()) {
            out.push_back(std::string(EngineAction::outcomeName(action.outcome)) + " " + action.target);
        }
        return out;
    }

    TestSystem system;
    FakeTools tools;
    ActionReport report;
    HostActions actions;
    AnalyzeCommandManager manager;
    std::vector<std::string> individual = {"/Library/Printers"};
    std::vector<std::string> lower = {"/System"};
};

} // namespace

TEST(HostActions, TheAccessFollowsTheSystemRoot) {
    HostActions actions;
    EXPECT_EQ(actions.access(), HostAccess::Live);
    TestSystem system;
    EXPECT_EQ(actions.access(), HostAccess::Offline);
}

TEST_F(ScriptRun, TheProgramGetsTheScreenedWordsWithTheMatchesOfItsPatterns) {
    for (const char* file : {"a.cache", "b.cache", ".hidden.cache", "c.txt"}) {
        system.writeFile(std::string("/Library/Printers/TORVA/Fax/") + file);
    }
    run("rm -f \"/Library/Printers/TORVA/Fax/\"*.cache '/Library/Printers/TORVA/x y' # the caches");

    EXPECT_EQ(tools.calls("rm"),
              (Calls{{"-f", "/Library/Printers/TORVA/Fax/a.cache", "/Library/Printers/TORVA/Fax/b.cache",
                      "/Library/Printers/TORVA/x y"}}));
    EXPECT_EQ(outcomes(), (std::vector<std::string>{
                              "run /bin/rm -f /Library/Printers/TORVA/Fax/a.cache "
                              "/Library/Printers/TORVA/Fax/b.cache '/Library/Printers/TORVA/x y'"}));
}

TEST_F(ScriptRun, AndAndOrFollowTheExitStatusOfTheCommandBefore) {
    run("false && touch /a; true && touch /b\nfalse || touch /c; true || touch /d; false && touch /e || "
        "touch /f");

    EXPECT_EQ(tools.calls("touch"), (Calls{{"/b"}, {"/c"}, {"/f"}}));
    EXPECT_EQ(outcomes(), (std::vector<std::string>{
                              "run /usr/bin/false", "skipped /usr/bin/touch /a", "run /usr/bin/true",
                              "run /usr/bin/touch /b", "run /usr/bin/false", "run /usr/bin/touch /c",
                              "run /usr/bin/true", "skipped /usr/bin/touch /d", "run /usr/bin/false",
                              "skipped /usr/bin/touch /e", "run /usr/bin/touch /f"}));
}

TEST_F(ScriptRun, ACommandThatDoesNotEndIsStoppedAndFails) {
    tools.addScript("sleep", "exec /bin/sleep 60\n");
    actions.setScriptTimeLimit(std::chrono::seconds(1));
    run("sleep 60; touch /after");
    EXPECT_EQ(outcomes().front(), "failed /bin/sleep 60");
    EXPECT_EQ(tools.calls("touch"), (Calls{{"/after"}}));
}

TEST_F(ScriptRun, ACommandStartsFromTheRootFolderWithOnlyAPath) {
    const std::string seen = tools.folder() + "/seen";
    tools.addScript("echo", "pwd -P > '" + seen + "'; tr '\\0' '\\n' < /proc/$$/environ >> '" + seen + "'\n");

    run("echo hello");

    std::ifstream in(seen);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "/\nPATH=/usr/bin:/bin:/usr/sbin:/sbin\n");
}

TEST_F(ScriptRun, APatternThatMatchesNothingRunsNothing) {
    run("rm -f /Library/Printers/TORVA/Fax/*.cache || touch /failed");

    EXPECT_TRUE(tools.calls("rm").empty());
    EXPECT_TRUE(tools.calls("touch").empty()) << "nothing to act on is not a failure";
    ASSERT_EQ(report.actions().size(), 2u);
    EXPECT_EQ(report.actions()[0].detail, "nothing matches /Library/Printers/TORVA/Fax/*.cache");
}

TEST_F(ScriptRun, WhatBecameProtectedSinceTheScreeningIsRefusedWhenItWouldRun) {
    system.writeFile("/Library/Printers/TORVA/Fax/a.cache");
    const AnalyzeCommandManager::Verdict verdict = manager.screenLine(
        "rm -rf /Library/Printers/TORVA/Fax/* /Library/Printers/TORVA/old || touch /x", individual, lower);
    ASSERT_TRUE(verdict.admitted) << verdict.reason;
    system.makeFolder("/System/Library");
    system.makeLink("/Library/Printers/TORVA/old", "/System");
    system.makeLink("/Library/Printers/TORVA/Fax/b", "/System");

    actions.runScriptLine("post-uninstall", verdict.line, verdict.commands,
                          manager.screener(individual, lower));

    EXPECT_TRUE(tools.calls("rm").empty());
    EXPECT_EQ(tools.calls("touch"), (Calls{{"/x"}}));
    ASSERT_FALSE(report.actions().empty());
    EXPECT_EQ(report.actions()[0].outcome, EngineAction::Outcome::Refused);
    EXPECT_NE(report.actions()[0].detail.find("leads to /System"), std::string::npos);
}

TEST_F(ScriptRun, AProgramThatCannotStartFailsAndCountsAsFailed) {
    ::setenv("UNINSTALLER_TOOL_DIR", (tools.folder() + "/none").c_str(), 1);
    if (::access("/bin/launchctl", X_OK) == 0) {
        GTEST_SKIP() << "this machine has a launchctl";
    }
    run("launchctl remove com.torva.agent || launchctl stop com.torva.agent");
    ASSERT_EQ(report.actions().size(), 2u);
    EXPECT_EQ(report.actions()[0].outcome, EngineAction::Outcome::Failed);
    EXPECT_EQ(report.actions()[1].outcome, EngineAction::Outcome::Failed)
        << "a failed start runs the || side";
}

TEST_F(ScriptRun, OfflineAndDryRunStepsDoNotRun) {
    tools.add("su");
    const AnalyzeCommandManager::Verdict verdict =
        manager.screenLine("touch /Library/Printers/TORVA/marker", individual, lower);
    const CommandScreener screener = manager.screener(individual, lower);

    actions.setAccess(std::nullopt);
    actions.runTool("su", "/usr/bin/su", {"anna"}, {"anna"});
    actions.runScriptLine("post-uninstall", verdict.line, verdict.commands, screener);
    actions.setAccess(HostAccess::Live);
    actions.setMode(ActionMode::DryRun);
    actions.runTool("su", "/usr/bin/su", {"anna"}, {"anna"});
    actions.runScriptLine("post-uninstall", verdict.line, verdict.commands, screener);

    EXPECT_TRUE(tools.calls("su").empty());
    EXPECT_TRUE(tools.calls("touch").empty());
    ASSERT_EQ(report.actions().size(), 2u) << "a live dry run reports nothing";
    EXPECT_EQ(HostActions::offlineStepText(report.actions()[0]), "su anna");
    EXPECT_EQ(HostActions::offlineStepText(report.actions()[1]), "touch /Library/Printers/TORVA/marker");
}
