// The examples of docs/fleet run as a management tool runs them, against a generated Mac given as
// SYSTEM_ROOT, with nothing on PATH but awk (the one a Mac has) and grep: each shows the software
// installed, removes it, and then reports it absent.

#include "tests/e2e/Canaries.h"
#include "tests/e2e/JsonSchema.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeTools.h"
#include "tools/make-sample-system/SampleSystem.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace fs = std::filesystem;

namespace {

using Words = std::vector<std::string>;

const std::string kExamples = std::string(UNINSTALLER_SOURCE_DIR) + "/docs/fleet/";

// Jamf passes the target volume, the computer's name and the user's name, then parameters 4 to 11,
// empty when the policy leaves them so.
Words jamfArguments(const Words& rows) {
    Words arguments = {"/", "mac-017", "anna"};
    arguments.insert(arguments.end(), rows.begin(), rows.end());
    arguments.resize(11);
    return arguments;
}

// A generated Mac and the environment a management tool gives the examples; the environment is put
// back when the case ends.
class FleetCase {
public:
    FleetCase() {
        SampleSystem::write(system);
        canaries.emplace(system);
        // Nothing may run on this machine for a system that is not the running one.
        for (const char* tool : {"su", "launchctl", "killall", "chown"}) {
            tools.add(tool);
        }
        const std::string path = tools.folder() + "/path";
        fs::create_directories(path);
        fs::create_symlink("/usr/bin/original-awk", path + "/awk");
        fs::create_symlink("/bin/grep", path + "/grep");
        set("PATH", path);
        set("UNINSTALLER_CLI", ChildProcess::cliPath());
        set("SYSTEM_ROOT", system.root());
    }

    ~FleetCase() {
        for (const auto& [name, value] : mSaved) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
        canaries->expectIntact();
        for (const char* tool : {"su", "launchctl", "killall", "chown"}) {
            EXPECT_TRUE(tools.calls(tool).empty()) << tool;
        }
    }
    FleetCase(const FleetCase&) = delete;
    FleetCase& operator=(const FleetCase&) = delete;

    void set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        mSaved.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }

    static ChildProcess example(const std::string& name, const Words& arguments = {}) {
        return ChildProcess::run(kExamples + name, arguments);
    }

    // The report an example passed on from uninstaller-cli, checked against the published schema.
    static nlohmann::json report(const ChildProcess& run) {
        EXPECT_EQ(JsonSchema::of("uninstall").problems(run.out), Words()) << run.err;
        return nlohmann::json::parse(run.out, nullptr, /*allow_exceptions=*/false);
    }

    TestSystem system;
    FakeTools tools;
    std::optional<Canaries> canaries;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> mSaved;
};

} // namespace

// Munki: the check says installed, the uninstall script removes the row and passes the report on, and
// the check then says absent while the other rows stay.
TEST(FleetExamples, MunkiChecksRemovesAndChecksAgain) {
    FleetCase fleet;
    fleet.set("TORVA_ROW", "Scan Utility");
    const ChildProcess installed = FleetCase::example("munki-installcheck.sh");
    EXPECT_EQ(installed.exitStatus, 1) << installed.err;

    const ChildProcess removal = FleetCase::example("munki-uninstall.sh");
    EXPECT_EQ(removal.exitStatus, 0) << removal.err;
    const nlohmann::json report = FleetCase::report(removal);
    EXPECT_EQ(report.value("result", ""), "done");
    EXPECT_EQ(report.value("rows", Words()), Words{"Scan Utility"});
    EXPECT_FALSE(fleet.system.exists("/Applications/TORVA Scan Utility.app"));

    const ChildProcess absent = FleetCase::example("munki-installcheck.sh");
    EXPECT_EQ(absent.exitStatus, 0) << absent.err;
    fleet.set("TORVA_ROW", "Printer Setup Utility");
    EXPECT_EQ(FleetCase::example("munki-installcheck.sh").exitStatus, 1) << "the other rows stay";
}

// Jamf: the extension attribute reports what is installed with its version, the policy removes the
// named rows this Mac has (and passes over one it has not), then every row, and the attribute follows.
TEST(FleetExamples, JamfReportsRemovesAndReportsAgain) {
    FleetCase fleet;
    const auto attribute = [] {
        const ChildProcess run = FleetCase::example("jamf-extension-attribute.sh");
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        return run.out;
    };
    EXPECT_EQ(attribute(), "<result>Printer Driver\nPC-FAX Driver 2.6.0\nPrinter Setup Utility 3.2.1\n"
                           "Scan Utility 4.8.0</result>\n");

    const ChildProcess named =
        FleetCase::example("jamf-policy.sh", jamfArguments({"Scan Utility", "Label Editor"}));
    EXPECT_EQ(named.exitStatus, 0) << named.err;
    EXPECT_EQ(FleetCase::report(named).value("rows", Words()), Words{"Scan Utility"});
    EXPECT_EQ(attribute(),
              "<result>Printer Driver\nPC-FAX Driver 2.6.0\nPrinter Setup Utility 3.2.1</result>\n");

    const ChildProcess every = FleetCase::example("jamf-policy.sh", jamfArguments({}));
    EXPECT_EQ(every.exitStatus, 0) << every.err;
    EXPECT_EQ(FleetCase::report(every).value("rows", Words()),
              (Words{"Printer Driver", "PC-FAX Driver", "Printer Setup Utility"}));
    EXPECT_EQ(attribute(), "<result>None</result>\n");

    const ChildProcess again = FleetCase::example("jamf-policy.sh", jamfArguments({"Scan Utility"}));
    EXPECT_EQ(again.exitStatus, 0) << again.err;
    EXPECT_EQ(again.out, "None of the named TORVA software is installed; nothing to remove.\n");
}

// Any root script: a name that is no row keeps uninstaller-cli's status, everything goes, the audit log
// of the system holds the run the report names, and a second run has nothing to do and succeeds.
TEST(FleetExamples, AGenericRootScriptRemovesEverythingOnce) {
    FleetCase fleet;
    const ChildProcess unknown = FleetCase::example("generic-uninstall.sh", {"Label Editor"});
    EXPECT_EQ(unknown.exitStatus, 2) << unknown.err;
    EXPECT_EQ(FleetCase::report(unknown).value("result", ""), "refused");

    const ChildProcess first = FleetCase::example("generic-uninstall.sh");
    EXPECT_EQ(first.exitStatus, 0) << first.err;
    const nlohmann::json report = FleetCase::report(first);
    EXPECT_EQ(report.value("result", ""), "done");
    EXPECT_EQ(report.value("auditLog", ""), "/Library/Logs/Uninstaller.log");
    EXPECT_NE(fleet.system.read("/Library/Logs/Uninstaller.log")
                  .find("\"run\": \"" + report.value("run", "?") + "\""),
              std::string::npos);
    EXPECT_EQ(ChildProcess::cli({"--root", fleet.system.root(), "list"}).exitStatus, 4);

    const ChildProcess second = FleetCase::example("generic-uninstall.sh");
    EXPECT_EQ(second.exitStatus, 0) << second.err;
    EXPECT_EQ(FleetCase::report(second).value("exitStatus", -1), 4);
    EXPECT_NE(second.err.find("nothing to remove"), std::string::npos) << second.err;
}

// The examples read list --json with the same few lines of awk; a fix to one must reach them all.
TEST(FleetExamples, EveryExampleReadsRowsWithTheSameAwk) {
    const auto rowReader = [](const std::string& name) {
        std::ifstream in(kExamples + name);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t start = text.find("ROWS_AWK='");
        return start == std::string::npos ? std::string()
                                          : text.substr(start, text.find("}'", start) - start);
    };
    const std::string reader = rowReader("munki-installcheck.sh");
    EXPECT_GT(reader.size(), 100u);
    for (const char* name : {"jamf-policy.sh", "jamf-extension-attribute.sh"}) {
        EXPECT_EQ(rowReader(name), reader) << name;
    }
}
