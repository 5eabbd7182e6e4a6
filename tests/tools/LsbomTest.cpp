#include "tests/support/ChildProcess.h"
#include "tests/support/PackageFixture.h"

#include <gtest/gtest.h>

namespace {

class Lsbom : public ::testing::Test {
protected:
    TestSystem system;
    const std::string bom = system.host("/test.bom");

    void writeSmallBom() {
        std::vector<BomEntry> entries{BomEntry::directory("."), BomEntry::directory("./dir", 040700),
                                      BomEntry::file("./dir/a.txt", "hello\n"),
                                      BomEntry::link("./dir/l", "a.txt")};
        entries[2].uid = 501;
        entries[2].gid = 20;
        entries[2].mtime = 1600000000;
        PackageFixture::writeRawBom(system, "/test.bom", entries);
    }
};

} // namespace

TEST_F(Lsbom, SelectsKindsAndPrintsPathsOnly) {
    writeSmallBom();
    EXPECT_EQ(ChildProcess::helper("lsbom", {"-f", "-p", "f", bom}).out, "./dir/a.txt\n");
    EXPECT_EQ(ChildProcess::helper("lsbom", {"-d", "-p", "f", bom}).out, ".\n./dir\n");
    EXPECT_EQ(ChildProcess::helper("lsbom", {"-l", "-p", "f", bom}).out, "./dir/l\n");
    EXPECT_EQ(ChildProcess::helper("lsbom", {"-fl", "-pf", bom}).out, "./dir/a.txt\n./dir/l\n");
    EXPECT_EQ(ChildProcess::helper("lsbom", {"-s", bom}).out, ".\n./dir\n./dir/a.txt\n./dir/l\n");
    const ChildProcess run = ChildProcess::helper("lsbom", {bom, "-b", "-c"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, "");
}

TEST_F(Lsbom, PrintsTheLongFormAndChosenFields) {
    writeSmallBom();
    EXPECT_EQ(ChildProcess::helper("lsbom", {bom}).out, ".\t40755\t0/0\n"
                                                        "./dir\t40700\t0/0\n"
                                                        "./dir/a.txt\t100644\t501/20\t6\t3015617425\n"
                                                        "./dir/l\t120755\t0/0\t5\t1632437005\ta.txt\n");
    // Fields a kind does not have are left out, separator and all.
    EXPECT_EQ(ChildProcess::helper("lsbom", {"-p", "fmug/tscl", bom}).out,
              ".\t40755\t0\t0\t0/0\t0\n"
              "./dir\t40700\t0\t0\t0/0\t0\n"
              "./dir/a.txt\t100644\t501\t20\t501/20\t1600000000\t6\t3015617425\n"
              "./dir/l\t120755\t0\t0\t0/0\t0\t5\t1632437005\ta.txt\n");
    EXPECT_EQ(ChildProcess::helper("lsbom", {"-l", "-p", "FML", bom}).out,
              "\"./dir/l\"\tlrwxr-xr-x\t\"a.txt\"\n");
}

TEST_F(Lsbom, UnreadableInputGivesOneErrorLineAndNoOutput) {
    writeSmallBom();
    std::string damaged = system.read("/test.bom");
    damaged[0x231 + 3] = 9; // the leaf now claims a pair it does not have
    system.writeFile("/damaged.bom", damaged);
    system.makeFolder("/folder.bom");
    for (const std::string name : {"/damaged.bom", "/folder.bom", "/missing.bom"}) {
        const ChildProcess run = ChildProcess::helper("lsbom", {"-d", "-p", "f", system.host(name)});
        EXPECT_EQ(run.exitStatus, 1) << name;
        EXPECT_EQ(run.out, "") << name;
        EXPECT_TRUE(run.err.starts_with("lsbom: " + system.host(name) + ": ")) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

TEST_F(Lsbom, BadUsageGivesUsageAndStatus1) {
    writeSmallBom();
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{}, {"-z", bom}, {"-p"}, {"-p", "fq", bom}, {bom, bom}}) {
        const ChildProcess run = ChildProcess::helper("lsbom", arguments);
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(run.err.starts_with("usage: lsbom")) << run.err;
    }
}

// More than one output buffer's worth, so the listing goes out in several writes.
TEST_F(Lsbom, LongListingsArriveWhole) {
    std::vector<PackageItem> items;
    std::string expected;
    for (int i = 0; i < 30000; ++i) {
        const std::string name = "Folder/file-with-a-fairly-long-name-" + std::to_string(100000 + i);
        items.push_back(PackageItem::file(name));
        expected += "./" + name + "\n";
    }
    PackageFixture::writeBom(system, "/big.bom", items);
    const ChildProcess run = ChildProcess::helper("lsbom", {"-f", "-p", "f", system.host("/big.bom")});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, expected);
}

// Paths longer than any system call takes are not built: a deep chain costs no quadratic memory, what
// was left out is said, and the status tells it.
TEST_F(Lsbom, PathsTooLongForTheSystemAreLeftOutAndCounted) {
    std::vector<BomEntry> entries{BomEntry::directory(".")};
    std::string path = ".";
    for (int level = 0; level < 3000; ++level) {
        path += "/a";
        entries.push_back(BomEntry::directory(path));
    }
    PackageFixture::writeRawBom(system, "/test.bom", entries);
    const ChildProcess run = ChildProcess::helper("lsbom", {"-d", "-p", "f", bom});
    EXPECT_EQ(run.exitStatus, 1);
    size_t lines = 0;
    size_t longest = 0;
    for (size_t start = 0, end; (end = run.out.find('\n', start)) != std::string::npos; start = end + 1) {
        ++lines;
        longest = std::max(longest, end - start);
    }
    EXPECT_EQ(lines, 2048u); // "." and the 2047 folders whose paths fit
    EXPECT_LE(longest, 4095u);
    EXPECT_NE(run.err.find("953 entries left out"), std::string::npos) << run.err;
}
