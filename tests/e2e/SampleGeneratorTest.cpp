// make-sample-system as a user runs it: the tree it writes and the folders it refuses.

#include "tests/e2e/Canaries.h"
#include "tests/e2e/TreeSnapshot.h"
#include "tests/support/ChildProcess.h"
#include "tools/make-sample-system/SampleSystem.h"

#include <gtest/gtest.h>

// Every run writes the same tree, into a missing or an empty folder, and it is the tests' tree too.
TEST(SampleGenerator, WritesTheSameTreeEveryRun) {
    const TestSystem first;
    const TestSystem second;
    const std::string missing = second.root() + "/sample";

    const ChildProcess intoEmpty = ChildProcess::run(MAKE_SAMPLE_SYSTEM, {first.root()});
    ASSERT_EQ(intoEmpty.exitStatus, 0) << intoEmpty.err;
    EXPECT_NE(intoEmpty.out.find("wrote macOS 10.15.7 with 5 TORVA software"), std::string::npos)
        << intoEmpty.out;
    const ChildProcess intoMissing = ChildProcess::run(MAKE_SAMPLE_SYSTEM, {missing});
    ASSERT_EQ(intoMissing.exitStatus, 0) << intoMissing.err;

    const TestSystem inProcess;
    SampleSystem::write(inProcess);
    const TreeSnapshot written = TreeSnapshot::take(first.root());
    EXPECT_GT(written.size(), 300u);
    EXPECT_EQ(written.differences(TreeSnapshot::take(missing)), "");
    EXPECT_EQ(written.differences(TreeSnapshot::take(inProcess.root())), "");
}

// A folder that holds anything, or a file, is refused with exit 1 and left as it was.
TEST(SampleGenerator, RefusesFoldersThatAreNotEmpty) {
    const TestSystem system;
    const Canaries canaries(system);
    const TreeSnapshot before = TreeSnapshot::take(system.root());

    const ChildProcess full = ChildProcess::run(MAKE_SAMPLE_SYSTEM, {system.root()});
    EXPECT_EQ(full.exitStatus, 1);
    EXPECT_EQ(full.out, "");
    EXPECT_EQ(full.err,
              "make-sample-system: " + system.root() + " is not empty; give a missing or empty folder\n");

    const std::string file = system.host("/Users/Shared/canary.txt");
    const ChildProcess onFile = ChildProcess::run(MAKE_SAMPLE_SYSTEM, {file});
    EXPECT_EQ(onFile.exitStatus, 1);
    EXPECT_EQ(onFile.err, "make-sample-system: " + file + " exists and is not a folder\n");

    const ChildProcess bare = ChildProcess::run(MAKE_SAMPLE_SYSTEM, {});
    EXPECT_EQ(bare.exitStatus, 2);
    EXPECT_TRUE(bare.err.starts_with("usage: make-sample-system DIR")) << bare.err;

    EXPECT_EQ(before.differences(TreeSnapshot::take(system.root())), "");
    canaries.expectIntact();
}
