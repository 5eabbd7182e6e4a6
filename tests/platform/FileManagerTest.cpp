#include "platform/FileManager.h"
#include "platform/FolderWalker.h"

#include "platform/SystemRoot.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

TEST(FileManager, AttributesDescribeTheLinkItself) {
    TestSystem system;
    system.writeFile("/Library/a.txt", "hello");
    system.makeLink("/Library/link", "a.txt");
    system.makeFolder("/Library/folder");

    auto file = FileManager::attributesOfItemAtPathCDA("/Library/a.txt");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->type, FileType::Regular);
    EXPECT_EQ(file->size, 5u);
    auto link = FileManager::attributesOfItemAtPathCDA("/Library/link");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->type, FileType::SymbolicLink);
    EXPECT_EQ(FileManager::attributesOfItemAtPathCDA("/Library/folder")->type, FileType::Directory);
    EXPECT_FALSE(FileManager::attributesOfItemAtPathCDA("/Library/missing"));
}

TEST(FileManager, ListingsAreSortedAndIncludeHiddenEntries) {
    TestSystem system;
    system.writeFile("/Prefs/b.plist");
    system.writeFile("/Prefs/.hidden");
    system.writeFile("/Prefs/a.plist");
    system.makeFolder("/Prefs/sub");
    system.writeFile("/Prefs/sub/inner");
    system.makeLink("/Prefs/linkdir", "sub");

    const std::vector<std::string> names = {".hidden", "a.plist", "b.plist", "linkdir", "sub"};
    EXPECT_EQ(FileManager::contentsOfDirectoryAtPathCDA("/Prefs"), names);
    EXPECT_FALSE(FileManager::contentsOfDirectoryAtPathCDA("/Prefs/a.plist"));
    EXPECT_FALSE(FileManager::contentsOfDirectoryAtPathCDA("/Nothing"));

    // A link is listed but not entered.
    const std::vector<std::string> below = {".hidden", "a.plist", "b.plist", "linkdir", "sub", "sub/inner"};
    EXPECT_EQ(FileManager::subpathsAtPath("/Prefs"), below);
    EXPECT_FALSE(FileManager::subpathsAtPath("/Prefs/a.plist"));
}

TEST(FileManager, PathsStayInsideTheSystemRoot) {
    TestSystem system;
    // Outside the root, beside it: must never be reached.
    const fs::path outside =
        fs::path(system.root()).parent_path() / (fs::path(system.root()).filename().string() + "-outside");
    fs::create_directories(outside);
    std::ofstream(outside / "victim") << "x";

    system.makeFolder("/private/var/db");
    system.writeFile("/private/var/db/inside", "in");
    system.makeLink("/var", "/private/var");               // absolute link, as on a Mac
    system.makeLink("/escape", "../../../../../../../.."); // climbs far above the root

    EXPECT_EQ(FileManager::contentsAtPath("/var/db/inside"), "in");
    EXPECT_TRUE(FileManager::fileExistsAtPath("/var/db/inside"));
    EXPECT_EQ(SystemRoot::hostPath("/var/db/inside"), system.root() + "/private/var/db/inside");
    // Command arguments are resolved to the end: a link at the last component stays inside too.
    system.makeLink("/private/var/db/outward", "/../../../" + outside.string() + "/victim");
    EXPECT_FALSE(SystemRoot::hostPath("/var/db/outward"));
    EXPECT_FALSE(SystemRoot::hostPath("/escape/" + outside.filename().string()));
    system.makeLink("/private/var/db/inward", "inside");
    EXPECT_EQ(SystemRoot::hostPath("/var/db/inward"), system.root() + "/private/var/db/inside");
    // ".." in a path and in a link both stop at the root.
    const std::string name = outside.filename().string();
    EXPECT_FALSE(FileManager::fileExistsAtPath("/../" + name + "/victim"));
    EXPECT_FALSE(FileManager::fileExistsAtPath("/escape/" + name + "/victim"));
    EXPECT_TRUE(fs::exists(outside / "victim"));
    fs::remove_all(outside);
}

TEST(FileManager, ReadabilityFollowsLinks) {
    TestSystem system;
    system.writeFile("/a", "x");
    system.makeLink("/good", "a");
    system.makeLink("/dangling", "missing");
    EXPECT_TRUE(FileManager::isReadableFileAtPath("/a"));
    EXPECT_TRUE(FileManager::isReadableFileAtPath("/good"));
    EXPECT_FALSE(FileManager::isReadableFileAtPath("/dangling"));
    EXPECT_FALSE(FileManager::fileExistsAtPath("/dangling"));
}

TEST(FileManager, AtomicWriteReplacesALinkInsteadOfWritingThroughIt) {
    TestSystem system;
    system.writeFile("/target", "original");
    system.makeLink("/Library/Preferences/x.plist", "/target");
    ASSERT_TRUE(FileManager::writeFileAtomically("/Library/Preferences/x.plist", "new"));
    EXPECT_EQ(system.read("/target"), "original");
    EXPECT_FALSE(system.isLink("/Library/Preferences/x.plist"));
    EXPECT_EQ(system.read("/Library/Preferences/x.plist"), "new");
    // No temporary file is left beside it.
    EXPECT_EQ(FileManager::contentsOfDirectoryAtPathCDA("/Library/Preferences")->size(), 1u);
    EXPECT_FALSE(FileManager::writeFileAtomically("/No/Such/Folder/x", "y"));
}

// A folder tree deeper than any path a system call takes is walked down to that limit only, with
// what was left out counted.
TEST(FileManager, DeepTreesAreWalkedToThePathLimitOnly) {
    TestSystem system;
    system.makeFolder("/Deep");
    {
        UniqueFd folder(::open(system.host("/Deep").c_str(), O_RDONLY | O_DIRECTORY));
        for (int level = 0; level < 3000 && folder.valid(); ++level) {
            ASSERT_EQ(::mkdirat(folder.get(), "a", 0755), 0);
            folder.reset(::openat(folder.get(), "a", O_RDONLY | O_DIRECTORY));
        }
        ASSERT_TRUE(folder.valid());
    }
    // With as few descriptors as a Mac gives a process: the walk must not keep one open per level.
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit few{std::min<rlim_t>(limit.rlim_cur, 256), limit.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
    const std::optional<FolderWalker::Result> walked =
        FolderWalker::walk("/Deep", FolderWalker::StartLink::Refuse, FolderWalker::Readability::Check);
    ::setrlimit(RLIMIT_NOFILE, &limit);
    ASSERT_TRUE(walked);
    ASSERT_FALSE(walked->items.empty());
    EXPECT_LT(walked->items.size(), 3000u);
    EXPECT_LE(walked->items.back().path.size() + std::string("/Deep/").size(), FolderWalker::kMaxPathLength);
    ASSERT_EQ(walked->problems.size(), 1u);
    EXPECT_NE(walked->problems[0].find("left out"), std::string::npos) << walked->problems[0];
    EXPECT_EQ(FileManager::subpathsAtPath("/Deep")->size(), walked->items.size());
}
