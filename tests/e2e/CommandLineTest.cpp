// uninstaller-cli as a user at a terminal meets it: usage errors in one line, help per command, options
// before or after the command, --quiet and --verbose, the question before an uninstall, the manual page
// and the bash completion. What the help, the page and the completion offer is checked against the one
// command table they all follow.

#include "cli/CommandTable.h"
#include "cli/ExitStatus.h"
#include "tests/e2e/Canaries.h"
#include "tests/e2e/TreeSnapshot.h"
#include "tests/support/ChildProcess.h"
#include "tools/make-sample-system/SampleSystem.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <regex>

namespace {

using Words = std::vector<std::string>;

std::string joinedWords(const Words& words) {
    std::string text;
    for (const std::string& word : words) {
        text += "[" + word + "] ";
    }
    return text;
}

std::string resources() {
    const std::string cli = ChildProcess::cliPath();
    return cli.substr(0, cli.rfind("/MacOS/")) + "/Resources";
}

// Runs of spaces and line breaks as one space: what a text says, however it was laid out.
std::string flowing(const std::string& text) {
    return std::regex_replace(text, std::regex("\\s+"), " ");
}

std::string withoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        found.push_back(line);
    }
    return found;
}

struct CliSample {
    CliSample() { SampleSystem::write(system); }
    TestSystem system;
};

} // namespace

// A command line that cannot be used: exit 2, one line saying why and where the help is; nothing read.
TEST(CliUsage, EachUnusableCommandLineGivesOneLineAndExit2) {
    TestSystem system;
    const Canaries canaries(system);
    const std::string& root = system.root();
    const std::vector<std::pair<Words, std::string>> cases = {
        {{}, "no command given"},
        {{"remove"}, "unknown command 'remove'"},
        {{"list", "extra"}, "unexpected argument 'extra'"},
        {{"list", "--verbos"}, "unknown option '--verbos'"},
        {{"--root", root, "list", "--root", root}, "--root is given twice"},
        {{"list", "--root"}, "--root needs DIR"},
        {{"--root=", "list"}, "--root needs DIR"},
        {{"uninstall", "--log"}, "--log needs FILE"},
        {{"list", "--json=yes"}, "--json takes no value"},
        {{"plan"}, "plan needs the names of the software (as list prints them), or --all"},
        {{"uninstall", "--yes"}, "uninstall needs the names of the software (as list prints them), or --all"},
        {{"plan", "--yes", "Scan Utility"}, "--yes is an option of uninstall, not of plan"},
        {{"--log", "x.log", "list"}, "--log is an option of uninstall and restore, not of list"},
        {{"list", "--all"}, "--all is an option of plan and uninstall, not of list"},
        {{"-q", "list", "-v"}, "--quiet and --verbose cannot be given together"},
        {{"uninstall", "--backup"}, "--backup needs FILE"},
        {{"plan", "--backup", "b.tar", "Scan Utility"}, "--backup is an option of uninstall, not of plan"},
        {{"restore"}, "restore needs the backup FILE"},
        {{"restore", "--list", "--force", "a.tar"}, "--list and --force cannot be given together"},
        {{"help", "frobnicate"}, "unknown command 'frobnicate'"},
        {{"help", "__complete"}, "unknown command '__complete'"},
    };
    for (const auto& [arguments, reason] : cases) {
        SCOPED_TRACE(joinedWords(arguments));
        const ChildProcess run = ChildProcess::cli(arguments);
        EXPECT_EQ(run.exitStatus, exitCode(ExitStatus::Usage));
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "uninstaller-cli: " + reason + "\nTry 'uninstaller-cli --help'.\n");
    }
    canaries.expectIntact();
}

// The help of them all and of each command, however it is asked for; each command's help names its own
// options and no other command's.
TEST(CliHelp, EveryWayOfAskingGivesTheHelpThatBelongsToIt) {
    const ChildProcess all = ChildProcess::cli({"--help"});
    ASSERT_EQ(all.exitStatus, 0);
    EXPECT_EQ(all.err, "");
    for (const Words& same : {Words{"help"}, Words{"-h"}, Words{"--root", "/nonexistent", "--help"}}) {
        EXPECT_EQ(ChildProcess::cli(same).out, all.out) << joinedWords(same);
    }
    for (const ExitStatusMeaning& status : kExitStatusMeanings) {
        EXPECT_NE(flowing(all.out).find(std::to_string(exitCode(status.status)) + " " + status.meaning),
                  std::string::npos)
            << status.meaning;
    }
    for (const CommandSpec& command : commandtable::commands()) {
        if (command.hidden) {
            EXPECT_EQ(all.out.find(command.name), std::string::npos) << command.name;
            continue;
        }
        SCOPED_TRACE(command.name);
        EXPECT_NE(all.out.find("\n  " + std::string(command.name) + " "), std::string::npos);
        const ChildProcess own = ChildProcess::cli({"help", command.name});
        EXPECT_EQ(own.exitStatus, 0);
        EXPECT_TRUE(flowing(own.out).starts_with(flowing("usage: " + commandtable::synopsis(command) + "\n")))
            << own.out;
        EXPECT_EQ(ChildProcess::cli({command.name, "--help"}).out, own.out);
        EXPECT_EQ(ChildProcess::cli({"--help", command.name}).out, own.out);
        for (const OptionSpec& option : commandtable::options()) {
            if (!option.commands.empty()) {
                const bool listed = own.out.find("\n  " + std::string(option.longName)) != std::string::npos;
                EXPECT_EQ(listed, commandtable::appliesTo(option, command.command)) << option.longName;
            }
        }
        EXPECT_EQ(own.out.find("Exit status"), std::string::npos);
    }
    for (const Words& version : {Words{"-V"}, Words{"--version"}, Words{"list", "-V"}}) {
        const ChildProcess run = ChildProcess::cli(version);
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_TRUE(std::regex_match(run.out, std::regex("uninstaller-cli [0-9.]+\n"))) << run.out;
    }
}

// Options mean the same before and after the command.
TEST(CliOptions, OptionsMayComeBeforeOrAfterTheCommand) {
    CliSample sample;
    const std::string root = sample.system.root();
    const ChildProcess first = ChildProcess::cli({"--root", root, "list", "--json"});
    ASSERT_EQ(first.exitStatus, 0) << first.err;
    for (const Words& arguments :
         {Words{"--json", "--root", root, "list"}, Words{"list", "--json", "--root", root},
          Words{"--root=" + root, "--json", "list"}}) {
        const ChildProcess run = ChildProcess::cli(arguments);
        EXPECT_EQ(run.exitStatus, 0) << joinedWords(arguments) << run.err;
        EXPECT_EQ(run.out, first.out) << joinedWords(arguments);
    }
    // After "--" a name may look like an option; a name that is no row is told with the rows there are.
    const ChildProcess named = ChildProcess::cli({"--root", root, "plan", "--", "--all"});
    EXPECT_EQ(named.exitStatus, exitCode(ExitStatus::Usage));
    EXPECT_NE(named.err.find("no row is called \"--all\""), std::string::npos) << named.err;
    EXPECT_NE(named.err.find("  Printer Setup Utility\n"), std::string::npos) << named.err;
}

// Standard output that is no terminal (a log file, a management tool) gets nothing but errors, as with
// --quiet, unless --verbose asks for every action the log records, in the log's words and order: on
// standard output, or with --json on standard error, leaving standard output to the report.
TEST(CliOptions, QuietUnlessOnATerminalAndVerboseSaysWhatTheLogSays) {
    for (const Words& options : {Words{}, Words{"-q"}, Words{"--quiet", "--json"}}) {
        SCOPED_TRACE(joinedWords(options));
        CliSample sample;
        Words arguments = {"--root",        sample.system.root(),
                           "uninstall",     "--yes",
                           "--log",         sample.system.host("/quiet.log"),
                           "Printer Driver"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const ChildProcess quiet = ChildProcess::cli(arguments);
        EXPECT_EQ(quiet.exitStatus, 0) << quiet.err;
        const bool json = std::find(options.begin(), options.end(), "--json") != options.end();
        EXPECT_EQ(quiet.out.empty(), !json) << quiet.out;
        EXPECT_EQ(quiet.err, "");
        EXPECT_FALSE(sample.system.exists("/Library/Printers/TORVA/Fax"));
    }

    for (const bool json : {false, true}) {
        SCOPED_TRACE(json ? "--json" : "text");
        CliSample sample;
        const std::string log = sample.system.host("/verbose.log");
        Words arguments = {"uninstall", "--root", sample.system.root(), "--yes", "--verbose",
                           "--log",     log,      "Scan Utility"};
        if (json) {
            arguments.push_back("--json");
        }
        const ChildProcess verbose = ChildProcess::cli(arguments);
        ASSERT_EQ(verbose.exitStatus, 0) << verbose.err;
        if (json) {
            EXPECT_EQ(nlohmann::json::parse(verbose.out).at("result"), "done");
        }
        const std::string& told = json ? verbose.err : verbose.out;
        EXPECT_EQ(told.find_first_of("\r\b"), std::string::npos) << "no progress drawn over itself";
        std::vector<std::string> printed = lines(told);
        ASSERT_EQ(printed.back(), "The selected software was removed.");
        printed.pop_back();
        std::erase_if(printed, [](const std::string& line) { return line.starts_with("Uninstall"); });
        std::vector<std::string> logged;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) {
            const nlohmann::json entry = nlohmann::json::parse(line);
            const auto field = [&](const char* key) { return entry.value(key, ""); };
            if (field("step") == "uninstall") {
                continue; // the run's own first and last lines
            }
            logged.push_back((field("software").empty() ? "" : field("software") + ": ") + field("outcome") +
                             " " + field("step") + (field("target").empty() ? "" : " " + field("target")) +
                             (field("detail").empty() ? "" : " (" + field("detail") + ")"));
        }
        EXPECT_GT(logged.size(), 20u);
        EXPECT_EQ(printed, logged);
    }
}

// The question names every software that goes, the forced ones marked; only yes goes on, and each
// software is announced with its place in the run. Nothing speaks of a window.
TEST(CliQuestion, TheQuestionNamesWhatGoesAndOnlyYesRemovesIt) {
    CliSample sample;
    const Words arguments = {"--root",        sample.system.root(),         "uninstall",
                             "--log",         sample.system.host("/x.log"), "Scan Utility",
                             "Printer Driver"};
    const TreeSnapshot before = TreeSnapshot::take(sample.system.root());
    const std::string question = "Remove Printer Driver, PC-FAX Driver (forced), Scan Utility? [y/N] ";
    for (const std::string answer : {"n\n", "\n", "yes please\n"}) {
        SCOPED_TRACE(answer);
        const ChildProcess run = ChildProcess::onTerminal(ChildProcess::cliPath(), arguments, answer);
        const std::string shown = withoutCarriageReturns(run.out);
        EXPECT_EQ(run.exitStatus, exitCode(ExitStatus::Cancelled)) << shown;
        EXPECT_NE(shown.find("Also removing PC-FAX Driver: Printer Driver holds the printer drivers from "
                             "Software Update"),
                  std::string::npos)
            << shown;
        EXPECT_NE(shown.find(question), std::string::npos) << shown;
        EXPECT_NE(shown.find("Nothing was removed.\n"), std::string::npos) << shown;
    }
    EXPECT_EQ(before.differences(TreeSnapshot::take(sample.system.root())), "");

    const ChildProcess run = ChildProcess::onTerminal(ChildProcess::cliPath(), arguments, "y\n");
    const std::string shown = withoutCarriageReturns(run.out);
    EXPECT_EQ(run.exitStatus, 0) << shown;
    const std::string progress =
        "Uninstalling Printer Driver (1 of 3)…\nUninstalling PC-FAX Driver (2 of 3)…\n"
        "Uninstalling Scan Utility (3 of 3)…\n"
        "Uninstall finished.\nThe selected software was removed.\n";
    EXPECT_TRUE(shown.ends_with(progress)) << shown;
    for (const char* window : {"window", "quit"}) {
        EXPECT_EQ(shown.find(window), std::string::npos) << shown;
    }
    EXPECT_FALSE(sample.system.exists("/Applications/TORVA Scan Utility.app"));
}

// The manual page renders without a warning and documents every command, option and exit status of the
// table.
TEST(CliManual, ThePageRendersCleanlyAndFollowsTheTable) {
    const std::string page = resources() + "/man/man1/uninstaller-cli.1";
    ::setenv("MANWIDTH", "80", 1);
    const ChildProcess man = ChildProcess::run("/usr/bin/man", {"--warnings", "-E", "UTF-8", "-l", page});
    ::unsetenv("MANWIDTH");
    ASSERT_EQ(man.exitStatus, 0) << man.err;
    EXPECT_EQ(man.err, "");
    const std::string text = flowing(man.out);
    EXPECT_EQ(text.find('@'), std::string::npos) << "the version is filled in";
    for (const CommandSpec& command : commandtable::commands()) {
        if (!command.hidden) {
            EXPECT_NE(text.find(flowing(commandtable::synopsis(command))), std::string::npos) << command.name;
        } else {
            EXPECT_EQ(text.find(command.name), std::string::npos) << command.name;
        }
    }
    for (const OptionSpec& option : commandtable::options()) {
        EXPECT_NE(text.find(commandtable::displayName(option)), std::string::npos) << option.longName;
    }
    for (const ExitStatusMeaning& status : kExitStatusMeanings) {
        EXPECT_NE(text.find(std::to_string(exitCode(status.status)) + " " + status.meaning),
                  std::string::npos)
            << status.meaning;
    }
}

// The bash completion, sourced into bash as a user's shell would, completes commands, options, values
// and the software names of the system in --root, quoted for the shell.
TEST(CliCompletion, BashCompletesCommandsOptionsAndSoftwareNames) {
    CliSample sample;
    const std::string cli = ChildProcess::cliPath();
    const std::string root = sample.system.root();
    const std::vector<std::pair<Words, std::string>> cases = {
        {{"pl"}, "plan"},
        {{""}, "list plan uninstall restore help"},
        {{"--ro"}, "--root"},
        {{"uninstall", "--"}, "--root --quiet --verbose --help --version --json --all --yes --backup --log"},
        {{"restore", "--l"}, "--list --log"},
        {{"--root", root, "list", "--j"}, "--json"},
        {{"--root", root, "--r"}, ""},
        {{"--root", root, "plan", "Sc"}, "Scan\\ Utility"},
        {{"--root", root, "plan", "\"Sc"}, "Scan Utility"},
        {{"--root", root, "uninstall", "P"}, "Printer\\ Driver PC-FAX\\ Driver Printer\\ Setup\\ Utility"},
        {{"--root", root, "uninstall", "Printer\\ Driver", "P"}, "PC-FAX\\ Driver Printer\\ Setup\\ Utility"},
        {{"help", "un"}, "uninstall"},
        {{"--root", sample.system.host("/Librar")}, sample.system.host("/Library")},
    };
    for (const auto& [words, offered] : cases) {
        SCOPED_TRACE(joinedWords(words));
        std::string script =
            "source '" + resources() + "/completion/uninstaller-cli.bash'\nCOMP_WORDS=('" + cli + "'";
        for (const std::string& word : words) {
            script += " '" + std::regex_replace(word, std::regex("'"), "'\\''") + "'";
        }
        script += ")\nCOMP_CWORD=" + std::to_string(words.size()) +
                  "\n_uninstaller_cli\necho \"${COMPREPLY[*]}\"\n";
        const ChildProcess bash = ChildProcess::run("/bin/bash", {"-c", script});
        EXPECT_EQ(bash.exitStatus, 0) << bash.err;
        EXPECT_EQ(bash.out, offered + "\n");
    }
}
