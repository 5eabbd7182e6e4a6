// The JSON of uninstaller-cli against its published schemas (docs/schema): every run of the program in
// these tests that prints JSON is checked as it ends, and each schema must refuse output that breaks it.

#include "cli/CommandLine.h"
#include "tests/e2e/JsonSchema.h"
#include "tests/support/ChildProcess.h"
#include "tools/make-sample-system/SampleSystem.h"

#include <gtest/gtest.h>

namespace {

// The schema a command line's output follows; "" when it prints no JSON.
std::string schemaOf(const CommandLine& line) {
    if (!line.json || line.help || line.version) {
        return "";
    }
    switch (line.command) {
    case Command::List:
        return "list";
    case Command::Plan:
        return "plan";
    case Command::Uninstall:
        return "uninstall";
    default:
        return "";
    }
}

void checkAgainstSchema(const std::vector<std::string>& arguments, const ChildProcess& run) {
    const CommandLine line = CommandLine::parse(arguments);
    const std::string schema = schemaOf(line);
    // list and plan print nothing on standard output when they fail; uninstall prints its report always.
    if (schema.empty() || (run.out.empty() && line.command != Command::Uninstall)) {
        return;
    }
    for (const std::string& problem : JsonSchema::of(schema).problems(run.out)) {
        ADD_FAILURE() << "the output of " << schema << " --json breaks its schema at " << problem;
    }
}

// Set before any test runs, for every test of this program.
[[maybe_unused]] const bool kCheckingEveryOutput = (ChildProcess::observeCli(checkAgainstSchema), true);

// Sets the value at `pointer` ("/0/size") of a copy of `document`.
nlohmann::json changed(nlohmann::json document, const std::string& pointer, const nlohmann::json& value) {
    document.at(nlohmann::json::json_pointer(pointer)) = value;
    return document;
}

} // namespace

// A field of the wrong type, a word outside its list or a result that contradicts its exit status is
// caught: the schemas are strict enough to notice a changed shape.
TEST(OutputSchema, EachSchemaRefusesAChangedField) {
    TestSystem system;
    SampleSystem::write(system);
    const std::string root = system.root();
    const ChildProcess list = ChildProcess::cli({"--root", root, "list", "--json"});
    const ChildProcess plan = ChildProcess::cli({"--root", root, "plan", "--json", "Scan Utility"});
    const ChildProcess uninstall = ChildProcess::cli(
        {"--root", root, "uninstall", "--json", "--yes", "--log", system.host("/x.log"), "Scan Utility"});
    ASSERT_EQ(uninstall.exitStatus, 0) << uninstall.err;
    const std::map<std::string, nlohmann::json> outputs = {
        {"list", nlohmann::json::parse(list.out)},
        {"plan", nlohmann::json::parse(plan.out)},
        {"uninstall", nlohmann::json::parse(uninstall.out)}};
    const struct {
        const char* schema;
        const char* pointer;
        nlohmann::json value;
    } cases[] = {
        {"list", "/0/size", "3010840"},
        {"list", "/0/records/0", 1.5},
        {"list", "/0/software/0/source", "disk"},
        {"list", "/0/software/0/packages", nullptr},
        {"plan", "/records/0/files", "/Applications"},
        {"plan", "/records/0/informationFile", 7},
        {"plan", "/records/0/postUninstall/commands/0/0/when", "sometimes"},
        {"plan", "/skipped/0", false},
        {"uninstall", "/run", 42},
        {"uninstall", "/exitStatus", "0"},
        {"uninstall", "/counts/removed", -1},
        {"uninstall", "/software/0/result", "gone"},
        {"uninstall", "/software/0/failures", nlohmann::json::object()},
        {"uninstall", "/result", "failed"}, // with exit status 0 and no reason
    };
    for (const auto& [schema, pointer, value] : cases) {
        SCOPED_TRACE(std::string(schema) + " " + pointer + " = " + value.dump());
        const JsonSchema& rules = JsonSchema::of(schema);
        EXPECT_EQ(rules.problems(outputs.at(schema)), std::vector<std::string>());
        EXPECT_FALSE(rules.problems(changed(outputs.at(schema), pointer, value)).empty());
    }
}
