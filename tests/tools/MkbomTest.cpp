#include "receipts/Cksum.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::set<std::string> lines(const std::string& text) {
    std::set<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.insert(line);
    }
    return result;
}

// What lsbom -f/-d/-l -p f must print for the tree, found by walking it without following links.
std::set<std::string> onDisk(const std::string& root, fs::file_type type) {
    std::set<std::string> result;
    if (type == fs::file_type::directory) {
        result.insert(".");
    }
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (entry.symlink_status().type() == type) {
            result.insert("./" + entry.path().string().substr(root.size() + 1));
        }
    }
    return result;
}

class Mkbom : public ::testing::Test {
protected:
    TestSystem system;
    const std::string tree = system.host("/tree");
    const std::string bom = system.host("/out/tree.bom");

    void SetUp() override { system.makeFolder("/out"); }

    std::set<std::string> list(const char* kind) {
        const ChildProcess run = ChildProcess::helper("lsbom", {kind, "-p", "f", bom});
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        return lines(run.out);
    }
};

} // namespace

TEST_F(Mkbom, ListingGivesBackTheTree) {
    system.writeFile("/tree/top.txt", "top");
    system.writeFile("/tree/Library/Printers/TORVA/Filter/filter", "#!/bin/sh\n", 0755);
    system.writeFile("/tree/Library/Printers/TORVA/with blank \"and\" 'quotes'.ppd", "*PPD");
    system.writeFile("/tree/Library/Printers/TORVA/Grüße/日本語.txt", "");
    system.makeFolder("/tree/Library/Empty");
    system.makeFolder("/tree/Library/Locked", 0500);
    system.makeLink("/tree/Library/to-file", "../top.txt");
    system.makeLink("/tree/Library/to-folder", "Printers/TORVA");
    system.makeLink("/tree/Library/dangling", "/does/not/exist");
    system.makeLink("/tree/a", "a.txt/x");
    system.writeFile("/tree/a.txt/x", "x");

    const ChildProcess run = ChildProcess::helper("mkbom", {tree, bom});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(list("-f"), onDisk(tree, fs::file_type::regular));
    EXPECT_EQ(list("-d"), onDisk(tree, fs::file_type::directory));
    EXPECT_EQ(list("-l"), onDisk(tree, fs::file_type::symlink));
    // Nothing is listed through the link to a folder.
    for (const std::string& line : list("-f")) {
        EXPECT_FALSE(line.starts_with("./Library/to-folder/")) << line;
    }
}

TEST_F(Mkbom, RecordsModesSizesTimesAndChecksums) {
    const std::string script = "#!/bin/sh\necho hi\n";
    system.writeFile("/tree/bin/tool", script, 0750);
    system.makeLink("/tree/bin/link", "tool");
    struct stat file {};
    struct stat link {};
    ASSERT_EQ(::lstat(system.host("/tree/bin/tool").c_str(), &file), 0);
    ASSERT_EQ(::lstat(system.host("/tree/bin/link").c_str(), &link), 0);

    ASSERT_EQ(ChildProcess::helper("mkbom", {tree, bom}).exitStatus, 0);
    const std::string owner = std::to_string(file.st_uid) + "/" + std::to_string(file.st_gid);
    EXPECT_EQ(
        lines(ChildProcess::helper("lsbom", {"-fl", "-p", "fm/tscl", bom}).out),
        (std::set<std::string>{"./bin/tool\t100750\t" + owner + "\t" + std::to_string(file.st_mtime) + "\t" +
                                   std::to_string(script.size()) + "\t" + std::to_string(Cksum::of(script)),
                               "./bin/link\t120777\t" + owner + "\t" + std::to_string(link.st_mtime) +
                                   "\t4\t" + std::to_string(Cksum::of("tool")) + "\ttool"}));

    ASSERT_EQ(ChildProcess::helper("mkbom", {"-u", "0", "-g", "80", tree, bom}).exitStatus, 0);
    for (const std::string& line : lines(ChildProcess::helper("lsbom", {"-p", "/", bom}).out)) {
        EXPECT_EQ(line, "0/80");
    }
}

TEST_F(Mkbom, SizesBeyondFourGibibytesAreListedWhole) {
    system.makeFolder("/tree");
    {
        const std::string file = system.host("/tree/sparse");
        system.writeFile("/tree/sparse");
        ASSERT_EQ(::truncate(file.c_str(), (off_t{5} << 30) + 7), 0);
    }
    ASSERT_EQ(ChildProcess::helper("mkbom", {tree, bom}).exitStatus, 0);
    EXPECT_EQ(ChildProcess::helper("lsbom", {"-f", "-p", "fs", bom}).out,
              "./sparse\t" + std::to_string((uint64_t{5} << 30) + 7) + "\n");
}

// The holes of a sparse file read as zeros, wherever they lie: its checksum is that of all its bytes.
TEST_F(Mkbom, SparseFilesAreCheckedAsTheirBytes) {
    struct Case {
        const char* name;
        std::vector<std::pair<off_t, std::string>> data;
        off_t size;
    };
    constexpr off_t kMiB = off_t{1} << 20;
    const std::vector<Case> cases = {
        {"hole-first", {{kMiB, "data"}}, kMiB + 4},
        {"hole-last", {{0, "head"}}, 3 * kMiB},
        {"holes-between", {{0, "a"}, {kMiB + 5, "b"}, {3 * kMiB, "c"}}, 4 * kMiB},
        {"only-a-hole", {}, 2 * kMiB},
        {"no-hole", {{0, std::string(200000, 'x')}}, 200000},
    };
    std::set<std::string> expected;
    for (const Case& c : cases) {
        const std::string file = system.host("/tree/" + std::string(c.name));
        system.writeFile("/tree/" + std::string(c.name));
        std::string bytes(static_cast<size_t>(c.size), '\0');
        const int out = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(out, 0);
        for (const auto& [at, data] : c.data) {
            EXPECT_EQ(::pwrite(out, data.data(), data.size(), at), static_cast<ssize_t>(data.size()));
            bytes.replace(static_cast<size_t>(at), data.size(), data);
        }
        EXPECT_EQ(::ftruncate(out, c.size), 0);
        ::close(out);
        expected.insert("./" + std::string(c.name) + "\t" + std::to_string(c.size) + "\t" +
                        std::to_string(Cksum::of(bytes)));
    }
    ASSERT_EQ(ChildProcess::helper("mkbom", {tree, bom}).exitStatus, 0);
    EXPECT_EQ(lines(ChildProcess::helper("lsbom", {"-f", "-p", "fsc", bom}).out), expected);
}

TEST_F(Mkbom, OnlyARegularFileIsReplaced) {
    system.makeFolder("/tree");
    system.makeLink("/out/link.bom", "/dev/null");
    for (const std::string& target : {std::string("/dev/full"), system.host("/out/link.bom")}) {
        struct stat before {};
        ASSERT_EQ(::lstat(target.c_str(), &before), 0);
        const ChildProcess run = ChildProcess::helper("mkbom", {tree, target});
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
        struct stat after {};
        ASSERT_EQ(::lstat(target.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode) << target;
        EXPECT_EQ(after.st_ino, before.st_ino) << target;
    }
    EXPECT_EQ(system.tree("/out"), std::vector<std::string>{"/out/link.bom"});
}

TEST_F(Mkbom, FailureLeavesNoFileBehind) {
    system.makeFolder("/tree");
    // The target is a folder, so the finished file cannot be renamed into place.
    system.makeFolder("/out/tree.bom");
    ChildProcess run = ChildProcess::helper("mkbom", {tree, bom});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_TRUE(run.err.starts_with("mkbom: ")) << run.err;
    EXPECT_EQ(system.tree("/out"), std::vector<std::string>{"/out/tree.bom"});

    run = ChildProcess::helper("mkbom", {system.host("/missing"), system.host("/out/other.bom")});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find(system.host("/missing")), std::string::npos) << run.err;
    EXPECT_FALSE(system.exists("/out/other.bom"));

    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {}, {tree}, {"-u", tree, bom}, {"-u", "x", tree, bom}, {"-q", tree, bom}, {tree, bom, bom}}) {
        run = ChildProcess::helper("mkbom", arguments);
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.err, "");
    }
    EXPECT_EQ(system.tree("/out"), std::vector<std::string>{"/out/tree.bom"});
}
