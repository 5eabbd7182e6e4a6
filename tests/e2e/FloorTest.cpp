// uninstaller-cli on the sample system with one crafted software beside the maker's real ones, as an
// attacker would write it: remove paths that ask for the system or a user's files, a package installed
// at the top that lists them, folders swapped for links while a large software is deleted, a receipts
// folder that is a user's link, a receipt bundle of another vendor. A canary in every protected place and
// one outside the system must stay byte for byte, and the status and messages must say what was refused.

#include "tests/e2e/TreeSnapshot.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeTools.h"
#include "tests/support/PackageFixture.h"
#include "tests/support/ProtectedCanaries.h"
#include "tests/support/SoftwareFixture.h"
#include "tools/make-sample-system/SampleSystem.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

const std::string kEvil = "Evil Utility";
const std::string kEvilFile = "/Library/Printers/TORVA/Evil/evil.bin";

SoftwarePackage evilPackage(std::vector<PackageItem> items, std::string prefix = "Library/Printers") {
    return {.spec = {.identifier = "com.torva.pkg.Evil",
                     .installPrefix = std::move(prefix),
                     .items = std::move(items)}};
}

// The sample system, the canaries, one crafted software and a log outside the system.
struct AttackCase {
    explicit AttackCase(const std::optional<std::string>& version = std::nullopt) {
        if (version) {
            system.writeSystemVersion(*version);
            system.addUser("anna", 501);
        } else {
            SampleSystem::write(system);
        }
        canaries = std::make_unique<ProtectedCanaries>(system);
        for (const char* tool : {"su", "launchctl", "killall", "chown"}) {
            tools.add(tool);
        }
    }

    void installEvil(const std::vector<std::string>& removePaths,
                     std::vector<SoftwarePackage> packages = {
                         evilPackage({PackageItem::file("TORVA/Evil/evil.bin", "evil")})}) const {
        SoftwareFixture::install(
            system, {.name = kEvil, .packages = std::move(packages), .removePaths = removePaths});
    }

    ChildProcess uninstall(const Names& names) const {
        Names arguments = {"--root", system.root(), "uninstall", "--yes", "--log", log()};
        arguments.insert(arguments.end(), names.begin(), names.end());
        return ChildProcess::cli(arguments);
    }

    std::string log() const { return tools.folder() + "/audit.log"; }

    // The audit log's lines with this outcome, as "step target: detail".
    Names logged(const std::string& outcome) const {
        std::ifstream in(log());
        Names lines;
        for (std::string line; std::getline(in, line);) {
            const nlohmann::json value = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
            auto text = [&](const char* key) {
                return value.is_object() ? value.value(key, "") : std::string();
            };
            if (text("outcome") == outcome) {
                lines.push_back(text("step") + " " + text("target") + ": " + text("detail"));
            }
        }
        return lines;
    }

    TestSystem system;
    FakeTools tools;
    std::unique_ptr<ProtectedCanaries> canaries;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

// A remove path that asks for the system, a user's files or all of it: the software is refused whole
// and reported, the other software ticked with it (the first time) still goes.
TEST(Floor, RemovePathsThatAskForTheSystemRefuseTheSoftwareWhole) {
    AttackCase attack;
    Names ticked = {kEvil, "Scan Utility"};
    for (const std::string entry :
         {"/", "/*", "/System", "/Users", "/Users/*/Library", "/Applications", "/usr", "/private/var",
          "/Users/anna/Documents", "../../../../Users/anna/Documents", "/Library/../Users/anna/Documents",
          "/Users/anna/Documents/", "//Users//anna//Library//Keychains"}) {
        SCOPED_TRACE(entry);
        attack.installEvil({"/Library/Caches/com.torva.evil", entry});
        fs::remove(attack.log());
        const TreeSnapshot evilBefore =
            TreeSnapshot::take(attack.system.host("/Library/Printers/TORVA/Evil"));

        const ChildProcess run = attack.uninstall(ticked);
        ticked = {kEvil};

        EXPECT_EQ(run.exitStatus, 5) << run.err;
        EXPECT_TRUE(contains(run.err, "uninstaller-cli: " + kEvil +
                                          ": refused, its remove paths ask for what no "
                                          "uninstall may touch: " +
                                          entry + " reaches "))
            << run.err;
        EXPECT_EQ(attack.canaries->differences(), "");
        EXPECT_EQ(
            evilBefore.differences(TreeSnapshot::take(attack.system.host("/Library/Printers/TORVA/Evil"))),
            "");
        EXPECT_TRUE(
            attack.system.exists("/Library/Preferences/" + SoftwareFixture::informationFileName(kEvil)));
        EXPECT_TRUE(attack.system.exists("/var/db/receipts/com.torva.pkg.Evil.bom"));
        EXPECT_FALSE(attack.system.exists("/Applications/TORVA Scan Utility.app"))
            << "the other software went";
        const Names refused = attack.logged("refused");
        EXPECT_EQ(std::count_if(refused.begin(), refused.end(),
                                [](const std::string& line) {
                                    return line.starts_with("software " + kEvil + ": its remove paths");
                                }),
                  1);
    }
}

TEST(Floor, PlanShowsARefusedSoftwareWithTheEntriesThatAsked) {
    AttackCase attack;
    attack.installEvil({"/Library/Caches/com.torva.evil", "/Users/anna/.ssh"});
    const std::string root = attack.system.root();

    const ChildProcess text = ChildProcess::cli({"--root", root, "plan", kEvil});
    EXPECT_EQ(text.exitStatus, 0) << text.err;
    EXPECT_TRUE(text.out.starts_with(kEvil +
                                     "\n"
                                     "  refused: nothing of it is removed, as its remove paths ask for "
                                     "what no uninstall may touch\n"
                                     "  refused entry: /Users/anna/.ssh reaches /Users/anna/.ssh/id_rsa "
                                     "(a user's own files)\n"))
        << text.out;

    const ChildProcess json = ChildProcess::cli({"--root", root, "plan", "--json", kEvil});
    const nlohmann::json plan = nlohmann::json::parse(json.out);
    const nlohmann::json& record = plan.at("records").at(0);
    const nlohmann::json& refused = record.at("refusedEntries");
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].at("entry"), "/Users/anna/.ssh");
    EXPECT_EQ(refused[0].at("reason"), "a user's own files");
    EXPECT_TRUE(record.at("files").empty());
    EXPECT_TRUE(record.at("receipts").empty());
}

// A package installed at "/" whose bill of materials names the kernel, passwd, keychains, a user's
// documents and key: those stay and are reported, the rest of the software goes.
TEST(Floor, APackageThatListsTheSystemLosesOnlyItsOwnFiles) {
    AttackCase attack;
    std::vector<PackageItem> items = {PackageItem::file("Library/Printers/TORVA/Evil/evil.bin", "evil"),
                                      PackageItem::file("usr/libexec/cups/filter/pdftotorvaevil", "filter")};
    for (const char* taken :
         {"System/Library/Kernels/kernel", "private/etc/passwd", "Library/Keychains/System.keychain",
          "Users/anna/Library/Keychains/login.keychain-db", "Users/anna/.ssh/id_rsa",
          "Users/anna/Documents/thesis.txt", "Library/Logs/Uninstaller.log",
          "usr/libexec/cups/filter/rastertopdf"}) {
        items.push_back(PackageItem::file(taken).notOnDisk());
    }
    attack.installEvil({}, {evilPackage(items, "/")});

    const ChildProcess plan = ChildProcess::cli({"--root", attack.system.root(), "plan", kEvil});
    EXPECT_TRUE(contains(plan.out, "  left alone: /System/Library/Kernels/kernel (the system's own files)\n"))
        << plan.out;
    const ChildProcess run = attack.uninstall({kEvil});

    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(attack.canaries->differences(), "");
    EXPECT_FALSE(attack.system.exists(kEvilFile));
    EXPECT_FALSE(attack.system.exists("/usr/libexec/cups/filter/pdftotorvaevil"))
        << "the maker's filter goes";
    EXPECT_TRUE(contains(run.err, "uninstaller-cli: left alone: "));
    EXPECT_TRUE(contains(run.err, "more left alone, listed in the audit log")) << run.err;
    const Names skipped = attack.logged("skipped");
    EXPECT_NE(
        std::find(skipped.begin(), skipped.end(), "protected /Users/anna/.ssh/id_rsa: a user's own files"),
        skipped.end());
}

// While a large software is deleted, its folders are swapped again and again for links (owned by
// whoever runs the test, the super-user when it can) into a user's documents and to a folder outside
// the system that hold files of the same names: nothing behind a link is deleted, in any of the runs.
TEST(Floor, FoldersSwappedForLinksDuringTheDeletionLeadNowhere) {
    constexpr int kRuns = 4;
    constexpr int kFolders = 20;
    constexpr int kFiles = 60;
    constexpr int kSwapped = 10; // the folders swapped, each with its twins behind the links
    AttackCase attack("10.15.7");
    const std::string big = attack.system.host("/Library/Printers/TORVA/Big/");
    // Plain writes: a fixture per file would take longer than the runs.
    auto fill = [&](const std::string& top, const std::string& content, int folders) {
        for (int folder = 0; folder < folders; ++folder) {
            const std::string name = top + "d" + std::to_string(folder);
            fs::create_directories(name);
            for (int file = 0; file < kFiles; ++file) {
                std::ofstream(name + "/f" + std::to_string(file)) << content;
            }
        }
    };
    std::vector<PackageItem> items;
    for (int folder = 0; folder < kFolders; ++folder) {
        for (int file = 0; file < kFiles; ++file) {
            items.push_back(
                PackageItem::file("TORVA/Big/d" + std::to_string(folder) + "/f" + std::to_string(file))
                    .notOnDisk());
        }
    }
    fill(attack.system.host("/Users/anna/Documents/"), "anna's", kSwapped);
    fill(attack.canaries->hostFolder() + "/", "the host's", kSwapped);
    const TreeSnapshot documents = TreeSnapshot::take(attack.system.host("/Users/anna/Documents"));
    const TreeSnapshot host = TreeSnapshot::take(attack.canaries->hostFolder());

    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        fill(big, "software", kFolders);
        attack.installEvil({}, {evilPackage(items)});
        std::atomic<bool> done{false};
        std::thread swapper([&] {
            for (unsigned turn = 0; !done; ++turn) {
                const std::string folder = "d" + std::to_string(turn % kSwapped);
                const std::string target = turn % 2 == 0 ? "/Users/anna/Documents/" + folder
                                                         : attack.canaries->hostFolder() + "/" + folder;
                if (::rename((big + folder).c_str(), (big + folder + ".away").c_str()) == 0) {
                    ::symlink(target.c_str(), (big + folder).c_str());
                    std::this_thread::sleep_for(std::chrono::microseconds(300));
                    ::unlink((big + folder).c_str());
                    ::rename((big + folder + ".away").c_str(), (big + folder).c_str());
                }
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        });
        const ChildProcess uninstall = attack.uninstall({kEvil});
        done = true;
        swapper.join();

        EXPECT_EQ(documents.differences(TreeSnapshot::take(attack.system.host("/Users/anna/Documents"))), "");
        EXPECT_EQ(host.differences(TreeSnapshot::take(attack.canaries->hostFolder())), "");
        EXPECT_EQ(attack.canaries->differences(), "");
        // A path that met a link fails the run; one the swaps missed leaves it done.
        EXPECT_TRUE(uninstall.exitStatus == 0 || uninstall.exitStatus == 5) << uninstall.err;
        fs::remove_all(big);
    }
}

// A user made the receipts folder a link into her documents, with files named like the receipts: the
// receipt step's pkgutil forgets nothing through it.
TEST(Floor, AReceiptsFolderLinkedIntoAUsersDocumentsLeadsNowhere) {
    AttackCase attack;
    const std::string receipts = attack.system.host("/var/db/receipts");
    const std::string mine = attack.system.host("/Users/anna/Documents/receipts");
    fs::copy(receipts, mine, fs::copy_options::recursive);
    fs::remove_all(receipts);
    attack.system.makeLink("/var/db/receipts", "../../Users/anna/Documents/receipts");
    ::lchown(receipts.c_str(), 501, 20);
    const TreeSnapshot before = TreeSnapshot::take(mine);

    const ChildProcess run = attack.uninstall({"Scan Utility"});

    EXPECT_EQ(before.differences(TreeSnapshot::take(mine)), "") << run.err;
    EXPECT_EQ(attack.canaries->differences(), "");
    EXPECT_TRUE(attack.system.isLink("/var/db/receipts"));
}

// On 10.5 a bundle receipt is found by the package name the data gives: a name that is another vendor's
// receipt bundle takes neither the bundle nor what its bill of materials lists.
TEST(Floor, AReceiptBundleOfAnotherVendorStaysWithItsFiles) {
    AttackCase attack("10.5.8");
    PackageFixture::install(attack.system,
                            {.identifier = "com.northwind.pkg.Driver",
                             .installPrefix = std::nullopt,
                             .items = {PackageItem::file("Northwind/Filter/rastertonorthwind", "theirs")},
                             .bundleName = "Northwind Driver.pkg",
                             .relocatedPath = "./Library/Printers"},
                            ReceiptLayout::Bundle);
    const SoftwarePackage own{.spec = {.identifier = "com.torva.pkg.Evil",
                                       .installPrefix = std::nullopt,
                                       .items = {PackageItem::file("TORVA/Evil/evil.bin", "evil")},
                                       .bundleName = "Evil.pkg",
                                       .relocatedPath = "./Library/Printers"},
                              .layout = ReceiptLayout::Bundle,
                              .packageName = "Evil.pkg",
                              .packageType = "Bundle"};
    // Names the other vendor's bundle as its own.
    const SoftwarePackage foreign{
        .spec = {.identifier = "com.torva.pkg.EvilBundle", .bundleName = "Evil2.pkg"},
        .layout = ReceiptLayout::Bundle,
        .packageName = "Northwind Driver.pkg",
        .packageType = "Bundle"};
    attack.installEvil({}, {own, foreign});
    const TreeSnapshot before =
        TreeSnapshot::take(attack.system.host("/Library/Receipts/Northwind Driver.pkg"));

    const ChildProcess run = attack.uninstall({kEvil});

    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(
        before.differences(TreeSnapshot::take(attack.system.host("/Library/Receipts/Northwind Driver.pkg"))),
        "");
    EXPECT_EQ(attack.system.read("/Library/Printers/Northwind/Filter/rastertonorthwind"), "theirs");
    EXPECT_FALSE(attack.system.exists(kEvilFile));
    EXPECT_FALSE(attack.system.exists("/Library/Receipts/Evil.pkg")) << "its own receipt bundle goes";
    EXPECT_EQ(attack.canaries->differences(), "");
    const Names skipped = attack.logged("skipped");
    EXPECT_NE(std::find(skipped.begin(), skipped.end(),
                        "receipt bundle /Library/Receipts/Northwind Driver.pkg: not the receipt of "
                        "com.torva.pkg.EvilBundle"),
              skipped.end())
        << run.err;
}
