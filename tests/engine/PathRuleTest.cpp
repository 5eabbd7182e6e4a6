// Every place that compares a system path with a folder or a list uses the one rule of platform/Path:
// a spelling a Mac's default volume takes for the same item must give the same answer everywhere.

#include "common/CommonFunctions.h"
#include "engine/AnalyzeCommandManager.h"
#include "platform/SystemFloor.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

struct EntryPoint {
    const char* name;
    // Is `path` within (or equal to, for the equality tests) the listed `folder`?
    std::function<bool(const std::string& path, const std::string& folder)> within;
    bool belowCounts; // whether a path below the folder counts, or only the folder itself
};

const std::vector<EntryPoint>& entryPoints() {
    static const std::vector<EntryPoint> points = {
        {"CommonFunctions::isIncludeFolderPathArray",
         [](const std::string& p, const std::string& f) {
             return CommonFunctions::isIncludeFolderPathArray({f}, p);
         },
         true},
        {"AnalyzeCommandManager::isLowerLayerPath",
         [](const std::string& p, const std::string& f) {
             return AnalyzeCommandManager::isLowerLayerPath({f}, p);
         },
         true},
        {"AnalyzeCommandManager::isIndividualPath",
         [](const std::string& p, const std::string& f) {
             return AnalyzeCommandManager::isIndividualPath({f}, p);
         },
         false},
    };
    return points;
}

} // namespace

TEST(PathRule, EveryEntryPointComparesAsAMac) {
    const std::string renee = "/Users/Ren\xC3\xA9" "e";        // composed é
    const std::string reneeNfd = "/USERS/rene\xCC\x81" "e"; // decomposed, other case
    struct Case {
        std::string path;
        std::string folder;
        bool same;  // the same item
        bool below; // strictly below the folder
    };
    const std::vector<Case> cases = {
        {"/LIBRARY/printers/", "/Library/Printers", true, false},
        {"//Library//Printers", "/library/printers", true, false},
        {reneeNfd, renee, true, false},
        {reneeNfd + "/Documents", renee, false, true},
        {"/Library/Printers/TORVA", "/Library/Printers", false, true},
        {"/Library/x", "/", false, true},
        {"/Lib", "/Library", false, false},
        {"/LibraryX/y", "/Library", false, false},
    };
    for (const EntryPoint& point : entryPoints()) {
        for (const Case& c : cases) {
            const bool expected = c.same || (point.belowCounts && c.below);
            EXPECT_EQ(point.within(c.path, c.folder), expected)
                << point.name << ": " << c.path << " against " << c.folder;
        }
    }
    EXPECT_TRUE(SystemFloor::contains(reneeNfd));
    EXPECT_TRUE(SystemFloor::contains(renee + "/LIBRARY"));
}
