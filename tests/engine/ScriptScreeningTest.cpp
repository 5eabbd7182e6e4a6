// Screening the maker's pre- and post-uninstall lines: what vendors write is admitted as the commands
// that will run; every way to act on a protected path, a system program or a system process is refused,
// one table per rule, each attempt with the reason it must be refused for.

#include "analysis/AnalyzePathManager.h"
#include "engine/AnalyzeCommandManager.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

struct Attempt {
    std::string line;
    std::string reason; // a part of the reason it is refused for
};

// A system with the usual programs in /sbin and /usr/sbin, the shipped protected paths, one user, and
// a link from the maker's folder to /System.
class ScriptScreening : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"/sbin/shutdown", "/sbin/reboot", "/sbin/launchd", "/sbin/mount",
                                    "/usr/sbin/diskutil", "/usr/sbin/systemsetup", "/usr/sbin/chown",
                                    "/usr/sbin/pkgutil", "/usr/sbin/installer", "/usr/sbin/dseditgroup"}) {
            system.writeFile(program, "", 0755);
        }
        system.addUser("anna", 501);
        system.makeFolder("/Library/Printers/TORVA/Fax");
        system.makeFolder("/Library/Fonts");
        system.makeFolder("/System/Library");
        system.makeLink("/Library/Printers/TORVA/system", "/System");
        system.writeFile("/Library/LaunchDaemons/com.torva.scanner.plist");
        system.writeFile("/Library/LaunchDaemons/com.torva.fax.plist");
        system.writeFile("/Library/Application Support/TORVA/Scan Utility/a.bin");
        manager.createBanCommandList();
        individual = analysis.individualPathList();
        lower = analysis.lowerLayerPathList();
    }

    AnalyzeCommandManager::Verdict screen(const std::string& line) const {
        return manager.screenLine(line, individual, lower);
    }

    void expectRefused(const std::vector<Attempt>& attempts) const {
        for (const Attempt& attempt : attempts) {
            const AnalyzeCommandManager::Verdict verdict = screen(attempt.line);
            EXPECT_FALSE(verdict.admitted) << "admitted: " << attempt.line;
            EXPECT_NE(verdict.reason.find(attempt.reason), std::string::npos)
                << attempt.line << "\n  refused for: " << verdict.reason
                << "\n  expected: " << attempt.reason;
            EXPECT_TRUE(verdict.commands.empty()) << attempt.line;
        }
    }

    TestSystem system;
    AnalyzePathManager analysis;
    AnalyzeCommandManager manager;
    std::vector<std::string> individual;
    std::vector<std::string> lower;
};

// One command as the test writes it: "?" before the program for "if the one before succeeded", "!" for
// "if it failed"; a pattern's matches after "=>".
std::string described(const CommandScreener::Command& command) {
    std::string out = command.joint == ScriptLine::Joint::IfSucceeded ? "? "
                      : command.joint == ScriptLine::Joint::IfFailed  ? "! "
                                                                      : "";
    out += command.program;
    for (const CommandScreener::Argument& argument : command.arguments) {
        out += " [" + argument.text + "]";
        for (const std::string& match : argument.matches) {
            out += "=>" + match;
        }
    }
    return out;
}

} // namespace

TEST_F(ScriptScreening, LinesVendorsWriteRunAsTheirCommands) {
    struct Case {
        std::string line;
        Lines commands;
    };
    const std::vector<Case> cases = {
        {"rm -rf \"/Library/Application Support/TORVA/Scan Utility\"",
         {"/bin/rm [-rf] [/Library/Application Support/TORVA/Scan Utility]"}},
        {"[ -d \"/Library/Application Support/TORVA\" ] && rm -rf \"/Library/Application Support/TORVA\"",
         {"/bin/[ [-d] [/Library/Application Support/TORVA] []]",
          "? /bin/rm [-rf] [/Library/Application Support/TORVA]"}},
        {"test -e /Library/Printers/TORVA/Fax || echo 'no fax driver'",
         {"/bin/test [-e] [/Library/Printers/TORVA/Fax]", "! /bin/echo [no fax driver]"}},
        {"rm -f /Library/LaunchDaemons/com.torva.*",
         {"/bin/rm [-f] [/Library/LaunchDaemons/com.torva.*]=>/Library/LaunchDaemons/com.torva.fax.plist"
          "=>/Library/LaunchDaemons/com.torva.scanner.plist"}},
        {"rm -rf \"/Library/Application Support/TORVA/Scan Utility/\"*",
         {"/bin/rm [-rf] [/Library/Application Support/TORVA/Scan Utility/*]"
          "=>/Library/Application Support/TORVA/Scan Utility/a.bin"}},
        {"launchctl unload -w /Library/LaunchDaemons/com.torva.scanner.plist",
         {"/bin/launchctl [unload] [-w] [/Library/LaunchDaemons/com.torva.scanner.plist]"}},
        {"/bin/launchctl bootout system/com.torva.scanner",
         {"/bin/launchctl [bootout] [system/com.torva.scanner]"}},
        {"launchctl bootout gui/501 /Library/LaunchAgents/com.torva.agent.plist",
         {"/bin/launchctl [bootout] [gui/501] [/Library/LaunchAgents/com.torva.agent.plist]"}},
        {"launchctl remove com.torva.agent; launchctl stop com.torva.agent",
         {"/bin/launchctl [remove] [com.torva.agent]", "/bin/launchctl [stop] [com.torva.agent]"}},
        {"killall 'TORVA Status Monitor'", {"/usr/bin/killall [TORVA Status Monitor]"}},
        {"killall -9 TORVAScanAgent 2>/dev/null", {"/usr/bin/killall [-9] [TORVAScanAgent]"}},
        {"kill -TERM 512 1024", {"/bin/kill [-TERM] [512] [1024]"}},
        {"/bin/rm -f /Library/Printers/TORVA/Fax/fax.bin",
         {"/bin/rm [-f] [/Library/Printers/TORVA/Fax/fax.bin]"}},
        {"rm -rf '/Library/Printers/TORVA/My Driver.plugin'",
         {"/bin/rm [-rf] [/Library/Printers/TORVA/My Driver.plugin]"}},
        {"rm -r /Library/Printers/TORVA/My\\ Driver.plugin",
         {"/bin/rm [-r] [/Library/Printers/TORVA/My Driver.plugin]"}},
        {"rm ./Library/Printers//TORVA/x/", {"/bin/rm [/Library/Printers/TORVA/x]"}},
        {"echo done > /dev/null 2>&1", {"/bin/echo [done]"}},
        {"touch /Library/Printers/TORVA/marker # leave a mark",
         {"/usr/bin/touch [/Library/Printers/TORVA/marker]"}},
        {"mv -f /Library/Printers/TORVA/Fax/a /Library/Printers/TORVA/Fax/b",
         {"/bin/mv [-f] [/Library/Printers/TORVA/Fax/a] [/Library/Printers/TORVA/Fax/b]"}},
        {"chmod -R u+w /Library/Printers/TORVA/Fax", {"/bin/chmod [-R] [u+w] [/Library/Printers/TORVA/Fax]"}},
        {"rm -rf /Users/anna/Library/Printers/TORVA || true",
         {"/bin/rm [-rf] [/Users/anna/Library/Printers/TORVA]", "! /usr/bin/true"}},
        {"sleep 1\nmkdir -m 755 -p /Library/Printers/TORVA/tmp &&\n  rmdir /Library/Printers/TORVA/tmp",
         {"/bin/sleep [1]", "/bin/mkdir [-m] [755] [-p] [/Library/Printers/TORVA/tmp]",
          "? /bin/rmdir [/Library/Printers/TORVA/tmp]"}},
        {"rm -f -- /Library/Printers/TORVA/-x", {"/bin/rm [-f] [--] [/Library/Printers/TORVA/-x]"}},
    };
    for (const Case& c : cases) {
        const AnalyzeCommandManager::Verdict verdict = screen(c.line);
        EXPECT_TRUE(verdict.admitted) << c.line << ": " << verdict.reason;
        Lines commands;
        for (const CommandScreener::Command& command : verdict.commands) {
            commands.push_back(described(command));
        }
        EXPECT_EQ(commands, c.commands) << c.line;
    }
}

TEST_F(ScriptScreening, NearMissesOfTheRulesAreAdmitted) {
    // Each is one step away from an attempt below: not recursive, not the folder itself, not a system
    // process, a pid above 99.
    for (const std::string line :
         {"rm -f /Library/Printers/TORVA", "chmod 755 /Library/Printers/PPDs/Contents/Resources/TORVA.ppd",
          "rm -rf /Library/Fonts/TORVA", "rm -rf /Library/Printers/TORVA/Fax/..x", "kill 100",
          "killall launchdx", "rm -rf /Libraryx", "echo '$HOME' \"~\" '{a,b}' '!' 'a|b'",
          "rm -f /Library/Printers/TORVA/Fax/a\\*b"}) {
        const AnalyzeCommandManager::Verdict verdict = screen(line);
        EXPECT_TRUE(verdict.admitted) << line << ": " << verdict.reason;
    }
}

TEST_F(ScriptScreening, ALineAloneAndInAScriptGetTheSameVerdict) {
    const Lines lines = {"echo one", "shutdown -h now", "rm -rf /Library/Printers/TORVA/Fax",
                         "rm -rf /Library", "echo two"};
    EXPECT_EQ(manager.checkCommandProcess(lines, individual, lower),
              (Lines{"echo one", "rm -rf /Library/Printers/TORVA/Fax", "echo two"}));
    EXPECT_FALSE(manager.checkCommandProcess(std::nullopt, individual, lower));
    EXPECT_EQ(manager.checkCommandProcess(Lines{}, individual, lower), Lines{});
}

TEST_F(ScriptScreening, ExpansionsAreRefused) {
    expectRefused({
        {"rm -rf $HOME", "variable"},
        {"rm -rf ${TARGET}/Library", "variable"},
        {"$CMD -rf /Library", "variable"},
        {"rm -rf \"$TARGET\"", "inside double quotes"},
        {"echo $(rm -rf /Library)", "$(…)"},
        {"echo \"$(rm -rf /Library)\"", "inside double quotes"},
        {"echo `rm -rf /Library`", "`…`"},
        {"echo \"`rm -rf /Library`\"", "`…`"},
        {"echo $((1+2))", "arithmetic"},
        {"rm -rf ~", "home folder"},
        {"rm -rf ~/Library/Caches/com.torva.x", "home folder"},
        {"rm -rf /Library/torva/{..,x}/", "braces"},
        {"rm -rf /Library/{Printers,Fonts}", "braces"},
        {"rm -rf /Library/Printers/TORVA/x!y", "\"!\" is refused"},
        {"rm -rf \"/Library/\\x\"", "backslash inside double quotes"},
    });
}

TEST_F(ScriptScreening, ShellSyntaxIsRefused) {
    expectRefused({
        {"(rm -rf /Library)", "subshell"},
        {"echo ok; (cd /Library && rm -rf Printers)", "subshell"},
        {"f() { rm -rf /Library; }; f", "subshell"},
        {"{ rm -rf /Library; }", "braces"},
        {"echo ok | rm -rf /Applications", "pipe"},
        {"echo /etc/hosts | xargs truncate -s0", "pipe"},
        {"sleep 1 & rm -rf /Users", "background"},
        {"cat <<EOF", "here-document"},
        {"X=1 rm -rf /Library", "assignment"},
        {"PATH=/tmp rm -f /Library/Printers/TORVA/x", "assignment"},
        {"if true; then rm -rf /Library; fi", "shell syntax"},
        {"for f in /Library; do rm -rf /Library; done", "shell syntax"},
        {"while true; do echo x; done", "shell syntax"},
        {"case x in x) echo;; esac", "subshell"},
        {"! rm -rf /Library/Printers/TORVA/x", "negating"},
        {"rm -f /Library/Printers/TORVA/x &&", "ends without"},
        {"; rm -f /Library/Printers/TORVA/x", "follows no command"},
        {"echo 'unterminated", "not closed"},
        {"echo \"unterminated", "not closed"},
        {"echo x \\", "ends in a backslash"},
        {"", "runs no command"},
        {"   # only a comment", "runs no command"},
        {std::string("echo a\0b", 8), "NUL"},
    });
}

TEST_F(ScriptScreening, OnlyOutputThrownAwayMayBeRedirected) {
    expectRefused({
        {"echo x > /etc/hosts", "only output thrown away"},
        {"echo x >> /System/Library/x", "only output thrown away"},
        {"echo x 2>/Library/Printers", "only output thrown away"},
        {"echo x &> /etc/hosts", "only output thrown away"},
        {"echo x >| /dev/null", "only output thrown away"},
        {"echo x 3>/dev/null", "only output thrown away"},
        {"echo x >&3", "only output thrown away"},
        {"echo x > /dev/null*", "only output thrown away"},
        {"rm -f /Library/Printers/TORVA/x < /etc/hosts", "reading from a file"},
        {"echo x <> /etc/hosts", "reading from a file"},
        {"echo x <<< text", "here-document"},
        {"echo x >", "names no file"},
    });
}

TEST_F(ScriptScreening, SystemAdministrationProgramsAreRefusedByName) {
    expectRefused({
        {"shutdown -h now", "\"shutdown\" is a system administration program"},
        {"/sbin/shutdown -h now", "\"shutdown\" is a system administration program"},
        {"/usr/local/bin/reboot", "\"reboot\" is a system administration program"},
        {"\"diskutil\" eraseDisk JHFS+ x disk0", "\"diskutil\" is a system"},
        {"launchd", "\"launchd\" is a system"},
        {"pkgutil --forget com.apple.pkg.x", "\"pkgutil\" is a system"},
        {"chown -R nobody /Library/Printers/TORVA", "\"chown\" is a system"},
        {"dseditgroup -o delete admin", "\"dseditgroup\" is a system"},
        {"nvram boot-args=x", "\"nvram\" is a system"},
        {"csrutil disable", "\"csrutil\" is a system"},
        {"fsck_hfs -fy /dev/disk0s2", "\"fsck_hfs\" is a system"},
        {"newfs_apfs /dev/disk1", "\"newfs_apfs\" is a system"},
        {"kextunload -b com.apple.x", "\"kextunload\" is a system"},
    });
}

TEST(ScriptScreeningRules, TheBuiltInBanListHoldsWhenTheSystemFoldersCannotBeListed) {
    const std::vector<std::string> none;
    const CommandScreener screener(none, none, none);
    for (const char* line : {"shutdown -h now", "reboot", "halt", "diskutil eraseVolume x", "fsck -fy"}) {
        const CommandScreener::Line screened = screener.screen(line);
        ASSERT_TRUE(screened.refusal) << line;
        EXPECT_NE(screened.refusal->find("system administration program"), std::string::npos) << line;
    }
}

TEST_F(ScriptScreening, ProgramsOffTheListAreRefused) {
    expectRefused({
        {"dd if=/dev/zero of=/etc/hosts", "does not run dd"},
        {"ln -sf /dev/null /etc/hosts", "does not run ln"},
        {"tee /etc/hosts", "does not run tee"},
        {"gzip /Library/Printers/TORVA/x", "does not run gzip"},
        {"sed -i '' /etc/hosts", "does not run sed"},
        {"tar -xf /tmp/x.tar -C /", "does not run tar"},
        {"ditto /tmp/x /System", "does not run ditto"},
        {"rsync -a --delete /tmp/e/ /Users/anna/", "does not run rsync"},
        {"chflags -R uchg /Applications", "does not run chflags"},
        {"truncate -s0 /etc/hosts", "does not run truncate"},
        {"find /Library/Printers/TORVA -exec rm -rf /System \\;", "does not run find"},
        {"xargs rm -rf", "does not run xargs"},
        {"srm -rf /Library", "does not run srm"},
        {"defaults delete com.torva.x", "does not run defaults"},
        {"pkill -f Finder", "does not run pkill"},
        {"ruby2.6 -e 'system(\"rm -rf /\")'", "does not run ruby2.6"},
        {"tclsh8.5 x.tcl", "does not run tclsh8.5"},
        {"python3 -c 'import shutil'", "does not run python3"},
        {"perl -e 'unlink \"/etc/hosts\"'", "does not run perl"},
        {"osascript -e 'do shell script \"x\"'", "does not run osascript"},
        {"sh -c 'rm -rf /Library/Printers/TORVA'", "does not run sh"},
        {"/bin/bash /tmp/uninstall.sh", "does not run bash"},
        {"zsh -c 'echo'", "does not run zsh"},
        {"sudo -nu root rm -rf /System", "does not run sudo"},
        {"caffeinate -i rm -rf /System", "does not run caffeinate"},
        {"env -iS'rm -rf /System'", "does not run env"},
        {"nohup rm -rf /Library", "does not run nohup"},
        {"nice -n 5 rm -rf /Library", "does not run nice"},
        {"timeout 10 rm -rf /Library", "does not run timeout"},
        {"exec rm -rf /Library", "does not run exec"},
        {"eval -- rm -rf /System", "does not run eval"},
        {"alias x='rm -rf /System'; eval x", "does not run alias"},
        {"hash -p /bin/rm ls; ls -rf /System", "does not run hash"},
        {"command rm -rf /Library", "does not run command"},
        {"builtin echo x", "does not run builtin"},
        {"su root -c 'rm -rf /Library'", "does not run su"},
        {". /tmp/uninstall.sh", "does not run ."},
        {"source /tmp/uninstall.sh", "does not run source"},
        {"cd /Library && rm -rf ./Printers", "does not run cd"},
        {"r\\m -rf /Library/Printers/TORVA/x; RM -rf /Library", "does not run RM"},
        {"r* -rf /Library/Printers/TORVA/x", "is a pattern"},
    });
}

TEST_F(ScriptScreening, AProgramNamedByPathMustBeTheSystemsOwn) {
    expectRefused({
        {"/usr/bin/rm -rf /Library/Printers/TORVA/x", "is not the system's rm (/bin/rm)"},
        {"/usr/local/bin/rm -rf /Library/Printers/TORVA/x", "is not the system's rm"},
        {"/tmp/killall TORVA", "is not the system's killall (/usr/bin/killall)"},
        {"./rm /Library/Printers/TORVA/x", "is not the system's rm"},
        {"bin/launchctl remove com.torva.x", "is not the system's launchctl"},
        {"/BIN/RM /Library/Printers/TORVA/x", "does not run RM"},
        {"/ -rf /Library/Printers/TORVA/x", "without a name"},
    });
}

TEST_F(ScriptScreening, UnknownOptionsAreRefused) {
    expectRefused({
        {"rm --no-preserve-root -rf /Library/Printers/TORVA/x",
         "rm does not take the option --no-preserve-root"},
        {"rm -rfZ /Library/Printers/TORVA/x", "rm does not take the option -Z"},
        {"rmdir -p /Library/Printers/TORVA/a/b", "rmdir does not take the option -p"},
        {"chmod -R -L 777 /Library/Printers/TORVA", "chmod does not take the option -L"},
        {"chmod -HR 777 /Library/Printers/TORVA", "chmod does not take the option -H"},
        {"cp -t /System /Library/Printers/TORVA/x", "cp does not take the option -t"},
        {"cp --target-directory=/System /tmp/x", "cp does not take the option --target-directory=/System"},
        {"mv -t /Library /Library/Printers/TORVA/x", "mv does not take the option -t"},
        {"touch -r /etc/hosts /Library/Printers/TORVA/x", "touch does not take the option -r"},
        {"mkdir -m /System /Library/Printers/TORVA/x", "needs a value that is not a path"},
        {"mkdir /Library/Printers/TORVA/x -m", "is not an absolute path"},
        {"unlink -f /Library/Printers/TORVA/x", "unlink does not take the option -f"},
        {"rm -r* /Library/Printers/TORVA/x", "is a pattern"},
    });
}

TEST_F(ScriptScreening, PathsMustBeAbsoluteAndPlain) {
    expectRefused({
        {"rm -rf relative/dir", "\"relative/dir\" is not an absolute path"},
        {"rm -f x", "\"x\" is not an absolute path"},
        {"rm -f ''", "is not an absolute path"},
        {"rm -rf ../Library", "not an absolute path"},
        {"rm -rf /Library/Printers/TORVA/../..", "\"..\" in"},
        {"rm -rf /Library/Printers/TORVA/Fax/..", "\"..\" in"},
        {"rm -rf ./Library/Printers/TORVA/../../Fonts", "\"..\" in"},
        {"rm -rf /Library/Printers/TORVA/*/../../..", "\"..\" in"},
        {"rm", "rm is given too few operands"},
        {"unlink /Library/Printers/TORVA/a /Library/Printers/TORVA/b", "too many operands"},
    });
}

TEST_F(ScriptScreening, ProtectedPathsAreRefusedHoweverTheyAreSpelt) {
    const std::string anna = "/Users/anna";
    expectRefused({
        {"rm -rf /Library", "/Library is a system folder"},
        {"rm -rf //Library", "/Library is a system folder"},
        {"rm -rf /./Library/", "/Library is a system folder"},
        {"rm -rf /library/FONTS", "/library/FONTS is protected"},
        {"rm -rf \"/Library/Application Support\"", "is protected"},
        {"rm -rf /System/Library/Extensions/TORVA.kext", "is protected"},
        {"rm -rf /usr/local", "/usr/local is a system folder"},
        {"rm -f /Library/Keychains/System.keychain", "is protected"},
        {"rm -rf /Users/anna", "/Users/anna is a system folder"},
        {"rm -rf /USERS/Anna/library", "is a system folder"},
        {"rm -rf /Users/anna/Documents", "is protected"},
        {"rm -rf /Library/Printers/TORVA/Fax /Library", "/Library is a system folder"},
        {"cp /Library/Printers/TORVA/x /etc/hosts", "/etc/hosts is protected"},
        {"mv /Library/Printers/TORVA/x /Library/Printers", "/Library/Printers is a system folder"},
        {"touch /Library/LaunchDaemons", "is protected"},
        {"rm -rf ./Applications", "/Applications is a system folder"},
        {"rm -rf /Library/Printers/TORVA/system/Library", "leads to /System/Library is a system folder"},
        {"chmod 777 /Library/Printers/TORVA/system", "leads to /System is a system folder"},
        {"[ -d /System ]", "/System is a system folder"},
        {"echo ok\nrm -rf /Library/Printers", "is a system folder"},
        {"echo ok && rm -rf /Library/Fonts", "is protected"},
        {"false || rm -rf /System", "/System is a system folder"},
    });
}

TEST(ScriptScreeningRules, ARecursiveOrMovingCommandMayNotHoldAProtectedFolder) {
    const TestSystem system;
    const std::vector<std::string> banned;
    const std::vector<std::string> individual = {"/Library/Printers/TORVA/Common"};
    const std::vector<std::string> lower = {"/Library/Printers/TORVA/Keep"};
    const CommandScreener screener(banned, individual, lower);
    for (const char* line :
         {"rm -rf /Library/Printers/TORVA", "rm -R /Library/Printers/TORVA",
          "rm -v -r /library/printers/torva/", "chmod -R 755 /Library/Printers/TORVA",
          "cp -a /Library/Printers/TORVA /Library/Printers/TORVA2",
          "mv /Library/Printers/TORVA /Library/Printers/TORVA2", "rm -rf /Library/Printers/PPDs/Contents",
          "mv /Library/Printers/PPDs /Library/Printers/TORVA/x"}) {
        const CommandScreener::Line screened = screener.screen(line);
        ASSERT_TRUE(screened.refusal) << "admitted: " << line;
        EXPECT_NE(screened.refusal->find("holds"), std::string::npos) << line << ": " << *screened.refusal;
    }
    for (const char* line :
         {"rm -f /Library/Printers/TORVA", "chmod 755 /Library/Printers/TORVA",
          "rm -rf /Library/Printers/TORVA/Other", "rm -rf /Library/Printers/TORVA/Commons"}) {
        EXPECT_FALSE(screener.screen(line).refusal) << line;
    }
}

TEST_F(ScriptScreening, PatternsStayInTheLastPartAndEachMatchIsScreened) {
    expectRefused({
        {"rm -rf /Library/*", "/Library is a system folder"},
        {"rm -rf /*", "/ is a system folder"},
        {"rm -f /Library/Caches/*", "/Library/Caches is protected"},
        {"rm -rf '/Library/Application Support/'*", "is protected"},
        {"rm -rf /Users/*/Library/Caches/com.torva.x", "only be the last part"},
        {"rm -rf /Library/Printers/*/Fax", "only be the last part"},
        {"rm -rf /Library/Font?", "/Library/Fonts is protected (matched by /Library/Font?)"},
        {"rm -rf /Library/Printers/TORVA/[s]ystem", "leads to /System is a system folder (matched by"},
        {"rm -rf /System/Library/Extensions/TORVA*.kext", "is protected"},
        {"killall TORVA*", "is not a process name"},
        {"kill 51*", "may only name process ids above 99"},
        {"[ -d /Library/Printers/TORVA/* ]", "a pattern is refused in a test"},
        {"launchctl unload /Library/LaunchDaemons/com.torva.*", "takes property lists (.plist)"},
        {"touch /Library/Printers/TORVA/*/", "only be the last part"},
    });
}

TEST_F(ScriptScreening, KillAndKillallStopOnlyOrdinaryProcesses) {
    expectRefused({
        {"kill 1", "above 99, not \"1\""},
        {"kill -9 99", "above 99"},
        {"kill Finder", "above 99"},
        {"kill -9 -1", "kill does not take the option -1"},
        {"kill -- -1", "above 99"},
        {"kill -s KILL", "too few operands"},
        {"kill -l", "kill does not take the option -l"},
        {"kill 99999999999", "above 99"},
        {"killall launchd", "killall may not stop launchd"},
        {"killall -9 loginwindow", "killall may not stop loginwindow"},
        {"killall LoginWindow", "killall may not stop LoginWindow"},
        {"/usr/bin/killall /System/Library/CoreServices/loginwindow.app", "is not a process name"},
        {"killall", "too few operands"},
        {"killall -m .", "killall does not take the option -m"},
        {"killall -u root", "killall does not take the option -u"},
        {"killall -c Finder", "killall does not take the option -c"},
    });
}

TEST_F(ScriptScreening, LaunchctlOnlyUnloadsAndRemovesTheMakersJobs) {
    expectRefused({
        {"launchctl load /Library/LaunchDaemons/com.torva.scanner.plist", "does not run launchctl load"},
        {"launchctl submit -l x -- /bin/rm -rf /Users", "does not run launchctl submit"},
        {"launchctl asuser 0 rm -rf /Library", "does not run launchctl asuser"},
        {"launchctl kickstart -k system/com.torva.x", "does not run launchctl kickstart"},
        {"launchctl bootout gui/501", "whole domain gui/501"},
        {"launchctl bootout system", "whole domain system"},
        {"launchctl bootout system/com.apple.WindowServer", "belongs to the system"},
        {"launchctl bootout user/anna/com.torva.x", "not a domain"},
        {"launchctl remove com.apple.Finder", "belongs to the system"},
        {"launchctl stop COM.APPLE.Dock", "belongs to the system"},
        {"launchctl unload /System/Library/LaunchDaemons/com.apple.x.plist", "is protected"},
        {"launchctl unload /Library/LaunchDaemons", "takes property lists"},
        {"launchctl unload -w", "names no property list"},
        {"launchctl bootout gui/501 com.torva.x", "not an absolute path"},
        {"launchctl remove 'com.torva x'", "not a launchd label"},
        {"launchctl", "too few operands"},
    });
}

TEST_F(ScriptScreening, TestTakesFileTestsAndStringComparisonsOnly) {
    expectRefused({
        {"[ -d /Library/Printers/TORVA", "[ must end with ]"},
        {"test -d /Library/Printers/TORVA -a -f /x", "not a file test or a string comparison"},
        {"[ -Q /Library/Printers/TORVA ]", "not a file test"},
        {"test -d Library/Printers", "not an absolute path"},
        {"[ -e /Library/Printers/TORVA/../../.. ]", "\"..\" in"},
    });
}
