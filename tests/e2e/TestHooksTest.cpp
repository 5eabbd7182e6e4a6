// The environment variables through which the tests choose the bundle, the tools and the simulated
// applications work only in the build made for testing. uninstaller-cli as the shipped build makes it
// (the same code, the hooks compiled out) uninstalls as if none of them were set, while the test build
// beside it shows that each of them, as set here, would have changed the run.

#include "tests/support/ChildProcess.h"
#include "tests/support/FakeTools.h"
#include "tests/support/SoftwareFixture.h"
#include "tests/support/TestBundle.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <stdlib.h>

namespace fs = std::filesystem;

namespace {

const std::string kFile = "/Library/Printers/TORVA/FaxTool/fax";
const std::string kReceipt = "/var/db/receipts/com.torva.pkg.FaxTool.plist";

// A system with one software, its file and its receipt.
struct FaxSystem {
    FaxSystem() {
        system.writeSystemVersion("10.15.7");
        SoftwareFixture::install(
            system, {.name = "Fax Tool",
                     .packages = {{.spec = {.identifier = "com.torva.pkg.FaxTool",
                                            .installPrefix = "Library/Printers",
                                            .items = {PackageItem::file("TORVA/FaxTool/fax", "fax")}}}}});
    }

    ChildProcess uninstall(const std::string& program) const {
        return ChildProcess::run(program, {"--root", system.root(), "uninstall", "--yes", "Fax Tool"});
    }

    TestSystem system;
};

// Sets one variable for the life of the object, and clears the others the suite may have set.
class Environment {
public:
    Environment(const std::string& name, const std::string& value) : mName(name) {
        for (const char* hook : {"UNINSTALLER_BUNDLE", "UNINSTALLER_TOOL_DIR", "UNINSTALLER_PROCESS_LIST"}) {
            ::unsetenv(hook);
        }
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    ~Environment() { ::unsetenv(mName.c_str()); }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

private:
    std::string mName;
};

} // namespace

TEST(TestHooks, TheShippedBuildTakesNoneOfThemFromItsEnvironment) {
    // The shipped variant, in a bundle of its own made from the built one.
    const TestBundle bundle;
    const std::string shipped = bundle.path() + "/Contents/MacOS/uninstaller-cli";
    fs::create_directories(fs::path(shipped).parent_path());
    fs::copy_file(SHIPPED_CLI, shipped);
    const std::string tested = UNINSTALLER_BUILD_BUNDLE "/Contents/MacOS/uninstaller-cli";
    const FakeTools tools;
    // A pkgutil that forgets nothing, so the receipt stays.
    tools.add("pkgutil", "", 1);
    const std::string noBundle = makeTemporaryFolder("uninstaller-not-a-bundle");

    struct Case {
        const char* variable;
        std::string value;
        int testBuildStatus; // what the test build does with it
    };
    const std::vector<Case> cases = {
        {"UNINSTALLER_BUNDLE", noBundle, 5},                 // no protected paths: refuses to start
        {"UNINSTALLER_TOOL_DIR", tools.folder(), 5},         // the receipt is not forgotten
        {"UNINSTALLER_PROCESS_LIST", noBundle + "/none", 1}, // no readable process list
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variable);
        const Environment environment(c.variable, c.value);

        const FaxSystem control;
        const ChildProcess asTested = control.uninstall(tested);
        EXPECT_EQ(asTested.exitStatus, c.testBuildStatus) << asTested.err;

        const size_t pkgutilCalls = tools.calls("pkgutil").size();
        const FaxSystem fax;
        const ChildProcess asShipped = fax.uninstall(shipped);
        EXPECT_EQ(asShipped.exitStatus, 0) << asShipped.err;
        EXPECT_FALSE(fax.system.exists(kFile));
        EXPECT_FALSE(fax.system.exists(kReceipt));
        EXPECT_EQ(tools.calls("pkgutil").size(), pkgutilCalls);
    }
    fs::remove_all(noBundle);
}
