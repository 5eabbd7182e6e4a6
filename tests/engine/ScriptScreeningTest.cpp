// Screening the maker's pre- and post-uninstall shell lines: the written rules (ban list, limitation
// list, path arguments, kill and killall) and the lines that try to get past them.

#include "analysis/AnalyzePathManager.h"
#include "engine/AnalyzeCommandManager.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

// A system with the usual programs in /sbin and /usr/sbin, the shipped protected paths and one user.
class ScriptScreening : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"/sbin/shutdown", "/sbin/reboot", "/sbin/halt", "/sbin/launchd",
                                    "/sbin/mount", "/usr/sbin/diskutil", "/usr/sbin/systemsetup",
                                    "/usr/sbin/chown", "/usr/sbin/pkgutil", "/usr/sbin/installer"}) {
            system.writeFile(program, "", 0755);
        }
        system.addUser("anna", 501);
        system.makeFolder("/Library/Printers/TORVA/Fax");
        system.makeFolder("/System/Library");
        manager.createBanCommandList();
        manager.createLimitationCommandList();
        individual = analysis.individualPathList();
        lower = analysis.lowerLayerPathList();
    }

    AnalyzeCommandManager::Verdict screen(const std::string& line) const {
        return manager.screenLine(line, individual, lower);
    }

    TestSystem system;
    AnalyzePathManager analysis;
    AnalyzeCommandManager manager;
    std::vector<std::string> individual;
    std::vector<std::string> lower;
};

} // namespace

TEST_F(ScriptScreening, BanListHoldsTheNamesInSbinAndUsrSbin) {
    const Lines& banned = manager.getMBanCommandArray();
    for (const char* name : {"shutdown", "reboot", "launchd", "diskutil", "chown", "pkgutil", ""}) {
        EXPECT_NE(std::find(banned.begin(), banned.end(), name), banned.end()) << name;
    }
    EXPECT_EQ(manager.getMLimitationCommandArray(),
              (Lines{"rm", "unlink", "rmdir", "mv", "cp", "chmod", "chown", "chgrp", "kill", "killall"}));
}

TEST_F(ScriptScreening, WrittenRulesForPlainLines) {
    struct Case {
        std::string line;
        bool admitted;
    };
    const std::vector<Case> cases = {
        {"shutdown -h now", false},
        {"", false},
        {" rm -rf /tmp/x", false},
        {"rm -rf /Library/Printers/TORVA/Foo", true},
        {"rm -rf /Library/Printers", false},
        {"rm -rf /System/Library/Printers/TORVA", false},
        {"rm -rf '/Library/Printers/TORVA/My Driver.plugin'", true},
        {"rm -rf relative/dir", false},
        {"rm -f x", false},
        {"rm ./x", true},
        {"kill -9 512", true},
        {"kill 1", false},
        {"kill Finder", false},
        {"killall -9 loginwindow", false},
        {"killall launchd", false},
        {"killall SomeAgent", true},
        {"echo done", true},
    };
    for (const Case& c : cases) {
        const AnalyzeCommandManager::Verdict verdict = screen(c.line);
        EXPECT_EQ(verdict.admitted, c.admitted) << "\"" << c.line << "\": " << verdict.reason;
        EXPECT_EQ(verdict.reason.empty(), c.admitted) << c.line;
    }
}

TEST_F(ScriptScreening, AdmittedLinesKeepTheirOrder) {
    const Lines lines = {"echo one", "shutdown -h now", "rm -rf /Library/Printers/TORVA/Fax",
                         "rm -rf /Library", "echo two"};
    EXPECT_EQ(manager.checkCommandProcess(lines, individual, lower),
              (Lines{"echo one", "rm -rf /Library/Printers/TORVA/Fax", "echo two"}));
    EXPECT_EQ(manager.checkBanCommand(lines),
              (Lines{"echo one", "rm -rf /Library/Printers/TORVA/Fax", "rm -rf /Library", "echo two"}));
    EXPECT_FALSE(manager.checkCommandProcess(std::nullopt, individual, lower));
    EXPECT_EQ(manager.checkCommandProcess(Lines{}, individual, lower), Lines{});
}

TEST(ScriptScreeningRules, PathArgumentsAsTheLineWritesThem) {
    using Paths = std::optional<std::vector<std::string>>;
    EXPECT_EQ(AnalyzeCommandManager::getSystemPath("rm -rf '/Library/Printers/TORVA/My Driver.plugin'"),
              Paths({"/Library/Printers/TORVA/My Driver.plugin"}));
    EXPECT_EQ(AnalyzeCommandManager::getSystemPath("cp /a ./b c"), Paths({"/a", "./b"}));
    EXPECT_EQ(AnalyzeCommandManager::getSystemPath("rm 'a' x 'b'"), Paths({"ab"}));
    EXPECT_EQ(AnalyzeCommandManager::getSystemPath("rm 'it\\'s'"), Paths({"it's"}));
    EXPECT_EQ(AnalyzeCommandManager::getSystemPath("rm\t/a\t/b"), Paths({"/a", "/b"}));
    EXPECT_EQ(AnalyzeCommandManager::getSystemPath("rm  /a"), Paths({"/a"}));
    EXPECT_EQ(AnalyzeCommandManager::getSystemPath("rm -rf relative"), Paths(std::vector<std::string>{}));
    EXPECT_FALSE(AnalyzeCommandManager::getSystemPath(std::nullopt));
    EXPECT_EQ(AnalyzeCommandManager::getCommandString("rm -rf /x"), "rm");
    EXPECT_EQ(AnalyzeCommandManager::getCommandString("rm\t-rf"), "rm");
    EXPECT_EQ(AnalyzeCommandManager::getCommandString("echo"), "echo");
    EXPECT_EQ(AnalyzeCommandManager::getCommandString(" echo"), "");
    EXPECT_TRUE(AnalyzeCommandManager::checkKillProcessID("kill -9 100"));
    EXPECT_FALSE(AnalyzeCommandManager::checkKillProcessID("kill -9 99"));
    EXPECT_FALSE(AnalyzeCommandManager::checkKillProcessID("kill  512"));
    EXPECT_FALSE(AnalyzeCommandManager::checkKillallProcess("killall -9 launchd"));
}

// Every line here tries to act on a protected path or a system process past the written rules; each
// must be refused.
TEST_F(ScriptScreening, BypassAttemptsAreRefused) {
    system.makeLink("/Library/Printers/TORVA/system", "/System");
    const Lines attempts = {
        "rm -rf /Library/Printers/TORVA/../..",
        "rm -rf /Library/Printers/TORVA/../../Printers",
        "rm -rf //Library",
        "rm -rf /./Library/",
        "rm -rf /library/printers",
        "rm -rf /library/FONTS",
        "echo ok; rm -rf /Library",
        "echo ok && rm -rf /Library/Fonts",
        "false || rm -rf /System",
        "echo ok | rm -rf /Applications",
        "sleep 1 & rm -rf /Users",
        "echo ok\nrm -rf /Library",
        "echo `rm -rf /Library/Image\\ Capture`",
        "echo $(rm -rf /Library)",
        "echo \"$(rm -rf /Library)\"",
        "rm -rf /Library/*",
        "rm -rf /Library/Fo?ts",
        "rm -rf /usr/local/*",
        "rm -rf /Library/[P]rinters",
        "rm -rf /Library/{Printers,Fonts}",
        "rm -rf /Library/Printers/TORVA/*/../../..",
        "/bin/rm -rf /Library",
        "/sbin/shutdown -h now",
        "rm\t-rf\t/Library",
        "r\\m -rf /Library",
        "\"rm\" -rf /Library",
        "rm -rf /Lib\"rary\"",
        "rm -rf /Lib\\rary",
        "rm -rf \"/Library\"",
        "rm -rf /Library/Application\\ Support",
        "rm -rf /Library/Printers/TORVA/Fax /Library",
        "rm -rf /tmp/x '/System'",
        "rm -rf /Users/anna",
        "rm -rf /Users/anna/Library/..",
        "rm -rf /Library/Printers/TORVA/system/Library",
        "rm -rf ./Library",
        "cd /Library && rm -rf ./Printers",
        "cd /; rm -rf ./Library",
        "rm -rf ~",
        "rm -rf ~/Library",
        "rm -rf $HOME",
        "rm -rf ${TARGET}/Library",
        "$CMD -rf /Library",
        "X=1 rm -rf /Library",
        "{ rm -rf /Library; }",
        "if true; then rm -rf /Library; fi",
        "(rm -rf /Library)",
        "for f in /Library; do rm -rf $f; done",
        "sudo rm -rf /Library/Caches",
        "sudo -u root rm -rf /System",
        "sudo -s rm -rf /Library",
        "env rm -rf /usr/local/bin",
        "env FOO=1 rm -rf /Library",
        "nohup rm -rf /Library",
        "nice -n 5 rm -rf /Library",
        "time rm -rf /Library",
        "timeout 10 rm -rf /Library",
        "exec rm -rf /Library",
        "command rm -rf /Library",
        "eval rm -rf /Library",
        "eval 'rm -rf /Library'",
        "launchctl asuser 0 rm -rf /Library",
        "su root -c 'rm -rf /Library'",
        "sh -c 'rm -rf /Library/Frameworks'",
        "bash -c \"rm -rf /Library\"",
        "/bin/sh -ec 'rm -rf /Library'",
        "zsh -c 'cd /Library; rm -rf Printers'",
        "bash /tmp/uninstall.sh",
        ". /tmp/uninstall.sh",
        "perl -e 'system(\"rm -rf /Library\")'",
        "python3 -c 'import shutil; shutil.rmtree(\"/Library\")'",
        "osascript -e 'do shell script \"rm -rf /Library\"'",
        "awk 'BEGIN { system(\"rm -rf /Library\") }'",
        "find /Library/Fonts -delete",
        "find /Library/Printers/TORVA/../../Fonts -delete",
        "find / -name '*.torva' -delete",
        "find /Library -name '*.plist' -exec rm {} \\;",
        "find -L /Library/Printers/TORVA -delete",
        "ls /Library | xargs rm -rf",
        "echo /Library | xargs -I{} rm -rf {}",
        "srm -rf /Library",
        "mv /Library/Printers /tmp/x",
        "mv /Library/Fonts /Library/Printers/TORVA/Fonts",
        "mv -t /Library/Printers /tmp/x",
        "cp /tmp/x /etc/hosts",
        "chmod -R 777 /",
        "chmod -R 777 /Users/anna/Documents",
        "chown -R nobody /Users/anna",
        "echo x > /etc/hosts",
        "echo x &> /etc/hosts",
        "echo x 2>/Library/Printers",
        "echo x >> /System/Library/x",
        "echo x > /Library/Keychains/System.keychain",
        "cat <<EOF",
        "kill -9 -1",
        "kill -- -1",
        "kill -9 $(pgrep loginwindow)",
        "/usr/bin/killall loginwindow",
        "killall LoginWindow",
        "killall -m .",
        "killall -u root",
        "pkill -f Finder",
        "rm -rf /usr/local",
        "rm -rf /System/Library/Extensions/TORVA.kext",
        "rm -rf /Library/Printers/TORVA/Fax/..",
    };
    ASSERT_GE(attempts.size(), 30u);
    for (const std::string& line : attempts) {
        const AnalyzeCommandManager::Verdict verdict = screen(line);
        EXPECT_FALSE(verdict.admitted) << "admitted: " << line;
        EXPECT_FALSE(verdict.reason.empty()) << line;
    }
}

TEST_F(ScriptScreening, ALineAloneAndInAScriptGetTheSameVerdict) {
    // A banned program named as the last component of the first word, whatever comes before it.
    const Lines lines = {"rTm>rzzzz/sbin/shzzzutdo6n/shutdown zzzz -/sbzin",
                         "echo>x/shutdown now",
                         "./reboot",
                         "/sbin/halt",
                         "echo shutdown",
                         "ls /sbin/shutdown"};
    const std::optional<Lines> admitted = manager.checkCommandProcess(lines, individual, lower);
    ASSERT_TRUE(admitted);
    EXPECT_EQ(*admitted, (Lines{"echo shutdown", "ls /sbin/shutdown"}));
    for (const std::string& line : lines) {
        const bool inScript = std::find(admitted->begin(), admitted->end(), line) != admitted->end();
        EXPECT_EQ(screen(line).admitted, inScript) << line;
    }
}

TEST_F(ScriptScreening, BenignLinesOfTheMakersScriptsStayAdmitted) {
    const Lines benign = {
        "rm -rf /Library/Printers/TORVA/Foo",
        "rm -rf '/Library/Printers/TORVA/My Driver.plugin'",
        "rm ./x",
        "kill -9 512",
        "killall SomeAgent",
        "killall 'TORVA Status Monitor'",
        "echo done",
        "/bin/echo Stopping the TORVA status monitor",
        "rm -f /Library/Preferences/com.torva.printerdriver.plist",
        "rm -rf /Users/anna/Library/Printers/TORVA",
        "rm -rf /Library/Printers/TORVA/Fax/*.plugin",
        "rm -rf /Library/Printers/TORVA/Foo; echo removed",
        "/bin/rm -f /Library/Printers/TORVA/Fax/fax.bin",
        "touch /Library/Printers/TORVA/marker",
        "launchctl unload /Library/LaunchAgents/com.torva.agent.plist",
        "defaults delete com.torva.printerdriver",
        "echo done > /dev/null 2>&1",
        "sudo rm -rf /Library/Printers/TORVA/Foo",
        "find /Library/Printers/TORVA/Fax -name '*.cache' -delete",
        "mv /Library/Printers/TORVA/Fax/a /Library/Printers/TORVA/Fax/b",
        "sh -c 'rm -rf /Library/Printers/TORVA/Foo'",
    };
    for (const std::string& line : benign) {
        const AnalyzeCommandManager::Verdict verdict = screen(line);
        EXPECT_TRUE(verdict.admitted) << line << ": " << verdict.reason;
    }
}
