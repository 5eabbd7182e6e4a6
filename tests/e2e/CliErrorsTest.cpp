// uninstaller-cli when there is nothing to list or no system to read: the exit status, what goes to
// which stream, and that nothing on disk changes.

#include "tests/e2e/Canaries.h"
#include "tests/e2e/TreeSnapshot.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const std::string kAlert1000 =
    "No TORVA software was found.\n"
    "Uninstaller found no TORVA printer driver, fax driver or utility on this computer "
    "that it can remove.\n";

std::string joined(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        text += "[" + argument + "] ";
    }
    return text;
}

} // namespace

// No TORVA software: exit 4, alert 1000 on standard error, nothing on standard output.
TEST(ListNothingFound, EmptySystemGivesAlert1000AndExit4) {
    TestSystem system;
    system.writeSystemVersion("10.15.7");
    system.addUser("anna", 501);
    system.writeFile("/Library/Preferences/com.northwind.notes.plist", "<plist/>");
    const Canaries canaries(system);
    const TreeSnapshot before = TreeSnapshot::take(system.root());

    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--root", system.root(), "list"},
          std::vector<std::string>{"--root", system.root(), "list", "--json"}}) {
        SCOPED_TRACE(joined(arguments));
        const ChildProcess list = ChildProcess::cli(arguments);
        EXPECT_EQ(list.exitStatus, 4);
        EXPECT_EQ(list.out, arguments.back() == "--json" ? "[]\n" : "") << "JSON readers get an empty list";
        EXPECT_EQ(list.err, kAlert1000);
    }
    EXPECT_EQ(before.differences(TreeSnapshot::take(system.root())), "");
    canaries.expectIntact();
}

// A file that is not Base64 gives no record: it is named on standard error, exit 4, nothing written.
TEST(ListNothingFound, UndecodableInformationFileIsNamedAndNothingIsWritten) {
    TestSystem system;
    system.writeSystemVersion("10.15.7");
    const Canaries canaries(system);
    const std::string file = "/Library/Preferences/com.torva.Scan Utility.UnInstallList.plist";
    system.writeFile(file, "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>\n");
    const TreeSnapshot before = TreeSnapshot::take(system.root());

    const ChildProcess list = ChildProcess::cli({"--root", system.root(), "list"});
    EXPECT_EQ(list.exitStatus, 4);
    EXPECT_EQ(list.out, "");
    EXPECT_EQ(list.err, "uninstaller-cli: " + file + " is not Base64; it was passed over\n" + kAlert1000);
    EXPECT_EQ(before.differences(TreeSnapshot::take(system.root())), "");
    canaries.expectIntact();
}

// A --root that is missing or a file: exit 1 with the reason, nothing listed.
TEST(CliRoot, RootThatIsNoFolderGivesExit1) {
    TestSystem system;
    const Canaries canaries(system);
    const std::vector<std::pair<std::string, std::string>> roots = {
        {system.host("/missing"), " does not exist\n"},
        {system.host("/Users/Shared/canary.txt"), " is not a folder\n"}};
    for (const auto& [root, why] : roots) {
        SCOPED_TRACE(root);
        const ChildProcess list = ChildProcess::cli({"--root", root, "list"});
        EXPECT_EQ(list.exitStatus, 1);
        EXPECT_EQ(list.out, "");
        EXPECT_EQ(list.err, "uninstaller-cli: " + root + why);
    }
    EXPECT_FALSE(fs::exists(system.host("/missing")));
    canaries.expectIntact();
}
