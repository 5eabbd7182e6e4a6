// Random remove and rest lists and bills of materials installed at random prefixes, over a system with a
// canary in every place no uninstall may touch and an information resource file that protects nothing:
// whatever they say, no removal list holds anything in one of those places.

#include "analysis/AnalyzePathManager.h"

#include "platform/Path.h"
#include "platform/SystemVersion.h"
#include "tests/support/PackageFixture.h"
#include "tests/support/ProtectedCanaries.h"
#include "tests/support/TestBundle.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Paths = std::vector<std::string>;

constexpr int kRounds = 200;
constexpr const char* kBom = "/var/db/receipts/com.torva.pkg.Random.bom";

Paths split(const std::string& text) {
    Paths parts;
    for (size_t start = 0;;) {
        const size_t bar = text.find('|', start);
        parts.push_back(text.substr(start, bar - start));
        if (bar == std::string::npos) {
            return parts;
        }
        start = bar + 1;
    }
}

// Names a careless or hostile list would use, in several spellings.
const Paths kNames = split(
    "System|Library|Kernels|kernel|Users|anna|ANNA|Documents|.ssh|Keychains|keychains|..|.||*|TORVA|"
    "TORV*|Printers|private|etc|var|db|receipts|Preferences|Logs|Uninstaller.log|usr|libexec|cups|filter|"
    "Application Support|Mail|Volumes|Backup|Desktop|Fax|bin|com.torva.*|*.plist|Extensions|Rene\u0301e|"
    "Library/Printers/TORVA|Library/Application Support/TORVA|Users/*/Library/Caches/TORVA");

// Install prefixes a receipt could record.
const Paths kPrefixes =
    split("/|System|System/Library|Users/anna|Users|private|etc|Library|Library/Printers|usr/libexec/cups|"
          "Library/../Users/anna|../..|Users/ANNA/Documents|Volumes|var/db|private/var/db/receipts|"
          "Library/Printers/TORVA|Library/Application Support|Users/anna/Library");

class RandomLists {
public:
    explicit RandomLists(unsigned seed) : mRandom(seed) {}

    size_t below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(mRandom); }

    std::string entry() {
        std::string text = below(8) == 0 ? "" : "/";
        const size_t parts = 1 + below(4);
        for (size_t i = 0; i < parts; ++i) {
            text += (i == 0 ? "" : below(6) == 0 ? "//" : "/") + kNames[below(kNames.size())];
        }
        if (below(6) == 0) {
            text += "/";
        }
        return below(8) == 0 ? "\"" + text + "\"" : text;
    }

    Paths entries(size_t most) {
        Paths list;
        for (size_t n = below(most + 1); n > 0; --n) {
            list.push_back(entry());
        }
        return list;
    }

    // Items below a prefix: every target that lies there, and a few random paths that may climb.
    std::vector<PackageItem> items(const std::string& prefix, const Paths& targets) {
        std::vector<PackageItem> chosen;
        const std::string root = path::standardize(path::join("/", prefix));
        for (const std::string& target : targets) {
            if (below(3) != 0 && target != root && path::isInFolder(target, root)) {
                chosen.push_back(PackageItem::file(target.substr(root == "/" ? 1 : root.size() + 1)));
            }
        }
        for (size_t n = below(4); n > 0; --n) {
            // A package's own paths have no empty names.
            std::string text;
            for (const std::string& name : path::components(entry())) {
                if (name != "/" && name.find('"') == std::string::npos) {
                    text += (text.empty() ? "" : "/") + name;
                }
            }
            if (!text.empty()) {
                chosen.push_back(PackageItem::file(text));
            }
        }
        return chosen;
    }

private:
    std::mt19937 mRandom;
};

} // namespace

TEST(RemovalListProperty, NoListedItemLiesInAProtectedPlace) {
    TestSystem system;
    system.writeSystemVersion("10.15.7");
    systemversion::forgetCachedOSVersion();
    system.addUser("anna", 501);
    system.addUser("Rene\u0301e", 502);
    const ProtectedCanaries canaries(system);
    // What the data may take, so that the lists are not empty.
    const Paths makers = {
        "/Library/Printers/TORVA/Fax/fax.bin",     "/Library/Printers/TORVA/Fax/Resources/a.dat",
        "/Library/Printers/TORVA/Common/shared",   "/Library/Application Support/TORVA/x.plist",
        "/usr/libexec/cups/filter/pdftotorvafax",  "/Users/anna/Library/Caches/TORVA/c.db",
        "/System/Library/Extensions/TORVA.kext/x", "/Library/Preferences/com.torva.fax.plist"};
    for (const std::string& file : makers) {
        system.writeFile(file, "the maker's");
    }
    system.writeFile("/Users/Rene\u0301e/Documents/letter.txt", "hers");
    Paths places = canaries.places();
    places.insert(places.end(), {"/Users/Ren\u00e9e/Documents", "/var/db/receipts", "/Library/Receipts"});
    Paths targets = system.tree("/");
    targets.erase(
        std::remove_if(targets.begin(), targets.end(), [&](const std::string& path) { return path == kBom; }),
        targets.end());
    const TestBundle bundle;
    bundle.setInformation(plistDictionary({}));

    RandomLists random(20240521);
    AnalyzePathManager analysis;
    size_t listed = 0;
    size_t refused = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::string prefix = kPrefixes[random.below(kPrefixes.size())];
        PackageFixture::writeBom(system, kBom, random.items(prefix, targets));
        system.writePlist("/var/db/receipts/com.torva.pkg.Random.plist",
                          plistDictionary({{"PackageIdentifier", "com.torva.pkg.Random"},
                                           {"PackageVersion", "1.0"},
                                           {"InstallPrefixPath", prefix}}));
        const Paths remove = random.entries(3);
        const Paths rest = random.entries(2);
        analysis.buildRemovalLists({{"com.torva.pkg.Random", "-", "1.0", "Flat"}},
                                   {std::string("Random"), remove, rest},
                                   Paths{"/Library/Printers/TORVA/Common"});

        std::string lists = "prefix " + prefix + ", remove";
        for (const std::string& entry : remove) {
            lists += " [" + entry + "]";
        }
        SCOPED_TRACE("round " + std::to_string(round) + ": " + lists);
        for (const Paths* list :
             {&analysis.getMUnInstallFilePathArray(), &analysis.getMUnInstallFolderPathArray(),
              &analysis.getMUnInstallLinkPathArray()}) {
            for (const std::string& path : *list) {
                for (const std::string& place : places) {
                    EXPECT_FALSE(path::isWithin(path, place)) << path << " lies in " << place;
                }
                ++listed;
            }
        }
        refused += analysis.getMRefusedEntries().empty() ? 0 : 1;
    }
    // The rounds reached both outcomes, often enough to mean something.
    EXPECT_GT(listed, static_cast<size_t>(kRounds));
    EXPECT_GT(refused, static_cast<size_t>(kRounds / 10));
    EXPECT_EQ(canaries.differences(), "");
}
