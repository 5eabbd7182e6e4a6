// uninstaller-cli list on system trees built to mislead it: links out of the tree, FIFOs, nesting and
// depths no real system has. Beside each tree lies a host folder of secrets; nothing of it may appear
// in any output or size, no tool is started to read, the listing must end, and the tree must stay exactly
// as it was.

#include "tests/e2e/TreeSnapshot.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeTools.h"
#include "tests/support/PackageFixture.h"
#include "tests/support/SoftwareFixture.h"

#include "platform/SystemRoot.h"
#include "platform/UniqueFd.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kMarker = "HOST-SECRET";
constexpr int64_t kSecretSize = 7777777;

const PackageDescription kGoodPackage{
    .identifier = "com.torva.pkg.Good",
    .installPrefix = "Applications",
    .items = {PackageItem::file("Good.app/Contents/Info.plist", "<plist/>"),
              PackageItem::file("Good.app/Contents/MacOS/Good", std::string(2048, 'g'))}};

// Removes a chain of folders named `name` below `top`, deeper than any path can name, one level at a time.
void removeChain(const std::string& top, const std::string& name) {
    std::vector<UniqueFd> levels;
    levels.emplace_back(::open(top.c_str(), O_RDONLY | O_DIRECTORY));
    while (levels.back().valid()) {
        levels.emplace_back(::openat(levels.back().get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW));
    }
    levels.pop_back();
    while (levels.size() > 1) {
        levels.pop_back();
        ::unlinkat(levels.back().get(), name.c_str(), AT_REMOVEDIR);
    }
}

std::string nested(size_t depth) {
    std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (size_t i = 0; i < depth; ++i) {
        xml += "<array>";
    }
    for (size_t i = 0; i < depth; ++i) {
        xml += "</array>";
    }
    return xml + "</plist>";
}

class HostileTree : public ::testing::Test {
protected:
    void SetUp() override {
        system.writeSystemVersion("10.15.7");
        system.addUser("anna", 501);
        SoftwareFixture::install(
            system, {.name = "Good Utility",
                     .packages = {{.spec = kGoodPackage}},
                     .removePaths = std::vector<std::string>{"/Users/*/Library/Application Support/TORVA",
                                                             "/Library/Application Support/TORVA/Cache"}});
        plantHostSecrets();
        // The real stand-ins would run, but every call is recorded.
        for (const char* tool : {"lsbom", "pkgutil"}) {
            tools.addScript(tool, "exec '" + ChildProcess::helperPath(tool) + "' \"$@\"\n");
        }
        tools.addScript("find", "exec find \"$@\"\n");
        baseline = goodSize();
    }

    void TearDown() override { fs::remove_all(mHost); }

    // A folder outside the system root full of what must never be reached: a large file, a BOM that
    // names it, receipts of another vendor.
    void plantHostSecrets() {
        { std::ofstream(mHost + "/" + kMarker + ".bin"); }
        fs::resize_file(mHost + "/" + kMarker + ".bin", kSecretSize);
        fs::create_directory(mHost + "/system");
        {
            TestSystem hostSystem(mHost + "/system");
            PackageFixture::install(
                hostSystem,
                {.identifier = "com.torva.pkg.Good",
                 .installPrefix = "Applications",
                 .items = {PackageItem::file(std::string(kMarker) + ".app/big", std::string(100000, 's'))}});
            PackageFixture::install(hostSystem,
                                    {.identifier = "com.apple.pkg.TORVAPrinterDrivers",
                                     .items = {PackageItem::file(std::string(kMarker) + "/driver", "d")}},
                                    ReceiptLayout::AppleSystemReceipts);
        }
        SystemRoot::set(system.root());
    }

    std::string hostPath(const std::string& relative) const { return mHost + "/" + relative; }

    // The size `list --json` gives the one software's row; -1 when there is no such row.
    int64_t goodSize() {
        const ChildProcess run = list({"--json"});
        const nlohmann::json json = nlohmann::json::parse(run.out, nullptr, /*allow_exceptions=*/false);
        if (!json.is_array()) {
            ADD_FAILURE() << "not JSON: " << run.out;
            return -1;
        }
        for (const nlohmann::json& row : json) {
            if (row.value("name", "") == "Good Utility") {
                return row.value("size", int64_t{-1});
            }
        }
        return -1;
    }

    ChildProcess list(const std::vector<std::string>& options = {}) {
        std::vector<std::string> arguments{"--root", system.root(), "list"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        ChildProcess run = ChildProcess::cli(arguments);
        expectNothingFromOutside(run);
        return run;
    }

    void expectNothingFromOutside(const ChildProcess& run) {
        for (const std::string* text : {&run.out, &run.err}) {
            EXPECT_EQ(text->find(kMarker), std::string::npos) << *text;
            EXPECT_EQ(text->find(mHost), std::string::npos) << *text;
        }
        // Receipts and BOMs are read, and wildcards expanded, in the process.
        for (const char* tool : {"lsbom", "pkgutil", "find"}) {
            EXPECT_TRUE(tools.calls(tool).empty()) << tool;
        }
    }

    // Runs both forms of the listing and checks what every trap must leave true.
    void expectListingUnharmed(const std::string& warning = {}) {
        const TreeSnapshot before = TreeSnapshot::take(system.root(), TreeSnapshot::FolderTimes::Compare);
        const ChildProcess rows = list();
        EXPECT_EQ(rows.exitStatus, 0) << rows.err;
        EXPECT_NE(rows.out.find("Good Utility"), std::string::npos) << rows.out;
        if (!warning.empty()) {
            EXPECT_NE(rows.err.find(warning), std::string::npos) << rows.err;
        }
        const int64_t size = goodSize();
        EXPECT_GE(size, 0);
        EXPECT_LT(size, kSecretSize);
        EXPECT_EQ(before.differences(TreeSnapshot::take(system.root(), TreeSnapshot::FolderTimes::Compare)),
                  "");
    }

    TestSystem system;
    FakeTools tools;
    const std::string mHost = makeTemporaryFolder("uninstaller-host");
    int64_t baseline = 0;
};

} // namespace

TEST_F(HostileTree, ALinkedUserFolderLeadsNowhere) {
    system.makeFolder("/Users/anna/Library/Application Support");
    system.makeLink("/Users/anna/Library/Application Support/TORVA", mHost);
    system.makeFolder("/Library/Application Support/TORVA");
    system.makeLink("/Library/Application Support/TORVA/Cache", "../../../../../../../../../.." + mHost);
    expectListingUnharmed();
    EXPECT_EQ(goodSize(), baseline);
}

TEST_F(HostileTree, AReceiptBomLinkedToAHostFileIsNotRead) {
    const std::string bom = "/var/db/receipts/com.torva.pkg.Good.bom";
    ASSERT_EQ(::unlink(system.host(bom).c_str()), 0);
    system.makeLink(bom, hostPath("system/var/db/receipts/com.torva.pkg.Good.bom"));
    expectListingUnharmed();
}

// In lsbom's text a name holding a line feed reads as two paths, the second one anywhere: such an entry
// names no item of the package, is left out, and the row says so.
TEST_F(HostileTree, ABomEntryWhoseNameHoldsALineFeedIsLeftOutAndReported) {
    system.writeFile("/Users/anna/Documents/thesis.txt", std::string(200000, 't'));
    std::vector<PackageItem> items = kGoodPackage.items;
    items.push_back(PackageItem::file("Other.app\n/Users/anna/Documents/thesis.txt"));
    PackageFixture::writeBom(system, "/var/db/receipts/com.torva.pkg.Good.bom", items);
    expectListingUnharmed("names hold a line feed, a tab or a NUL");
    EXPECT_EQ(goodSize(), baseline);
    const ChildProcess json = list({"--json"});
    EXPECT_NE(json.out.find("\"warnings\": [\"5 entries of the bill of materials "
                            "/var/db/receipts/com.torva.pkg.Good.bom were left out: their names hold a line "
                            "feed, a tab or a NUL\"]"),
              std::string::npos)
        << json.out;
}

TEST_F(HostileTree, ReceiptFoldersLinkedToHostFoldersAreNotRead) {
    fs::remove_all(system.host("/var/db/receipts"));
    system.makeLink("/var/db/receipts", hostPath("system/var/db/receipts"));
    system.makeFolder("/Library/Apple/System/Library");
    system.makeLink("/Library/Apple/System/Library/Receipts",
                    hostPath("system/Library/Apple/System/Library/Receipts"));
    system.makeFolder("/Library/Printers/TORVA/InkjetPrinter2");
    expectListingUnharmed();
    EXPECT_EQ(goodSize(), 0);
    // The host's driver receipt makes no row.
    EXPECT_EQ(list().out.find("Printer Driver"), std::string::npos);
}

TEST_F(HostileTree, AFifoInPlaceOfABomOrAFileNeitherHangsNorHidesTheRest) {
    const std::string bom = system.host("/var/db/receipts/com.torva.pkg.Good.bom");
    ASSERT_EQ(::unlink(bom.c_str()), 0);
    ASSERT_EQ(::mkfifo(bom.c_str(), 0644), 0);
    const std::string file = "/Library/Preferences/" + SoftwareFixture::informationFileName("ZZ Fifo");
    ASSERT_EQ(::mkfifo(system.host(file).c_str(), 0644), 0);
    expectListingUnharmed("not a regular file");
    const ChildProcess json = list({"--json"});
    EXPECT_NE(json.out.find("\"warnings\": [\"cannot read the bill of materials"), std::string::npos)
        << json.out;
    EXPECT_NE(json.err.find(file + " is not a regular file; it was passed over"), std::string::npos)
        << json.err;
}

TEST_F(HostileTree, PropertyListsNestedBeyondReasonAreRefusedWithoutACrash) {
    const std::string deep = nested(1000000);
    system.writeFile("/System/Library/CoreServices/SystemVersion.plist", deep);
    system.writeFile("/var/db/dslocal/nodes/Default/users/mallory.plist", deep);
    system.writeFile("/Library/Preferences/" + SoftwareFixture::informationFileName("Deep"),
                     SoftwareFixture::base64(nested(100000)));
    expectListingUnharmed("does not decode to a property list");
}

TEST_F(HostileTree, FoldersDeeperThanAnyPathAreWalkedToTheLimit) {
    system.makeFolder("/Library/Application Support/TORVA/Cache");
    UniqueFd folder(::open(system.host("/Library/Application Support/TORVA/Cache").c_str(), O_RDONLY));
    const std::string name(60, 'd');
    for (int level = 0; level < 80 && folder.valid(); ++level) {
        ASSERT_EQ(::mkdirat(folder.get(), name.c_str(), 0755), 0);
        folder.reset(::openat(folder.get(), name.c_str(), O_RDONLY | O_DIRECTORY));
    }
    ASSERT_TRUE(folder.valid());
    folder.reset();
    expectListingUnharmed("left out: their paths are longer than");
    removeChain(system.host("/Library/Application Support/TORVA/Cache"), name);
}

// Listing needs no write access anywhere: run as an ordinary user on a tree it can only read, it
// still finds every row.
TEST_F(HostileTree, AReadOnlyTreeIsListedInFull) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs the super-user to drop to another user";
    }
    fs::permissions(system.root(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
    const TreeSnapshot before = TreeSnapshot::take(system.root(), TreeSnapshot::FolderTimes::Compare);
    const ChildProcess asRoot = ChildProcess::cli({"--root", system.root(), "list"});
    const ChildProcess asNobody =
        ChildProcess::run("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                               ChildProcess::cliPath(), "--root", system.root(), "list"});
    EXPECT_EQ(asNobody.exitStatus, 0) << asNobody.err;
    EXPECT_EQ(asNobody.out, asRoot.out);
    EXPECT_EQ(before.differences(TreeSnapshot::take(system.root(), TreeSnapshot::FolderTimes::Compare)), "");
}
