#include "platform/CTaskController.h"
#include "platform/ToolResolver.h"
#include "platform/UniqueFd.h"
#include "tests/support/TestSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

extern char** environ;

// The test binary doubles as the child program: UNINSTALLER_TEST_CHILD picks what it does.
namespace {

std::vector<std::string> commandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::vector<std::string> args;
    std::string arg;
    while (std::getline(in, arg, '\0')) {
        args.push_back(arg);
    }
    return args;
}

[[noreturn]] void runAsChild(const std::string& mode) {
    if (mode == "empty") {
        _exit(0);
    } else if (mode == "hello") {
        std::fputs("hello\nworld\n", stdout);
    } else if (mode == "args") {
        const std::vector<std::string> args = commandLine();
        for (size_t i = 1; i < args.size(); ++i) {
            std::printf("[%s]", args[i].c_str());
        }
    } else if (mode == "not-utf8") {
        std::fputs("caf\xE9\n", stdout);
    } else if (mode == "stderr-only") {
        std::fputs("only an error\n", stderr);
    } else if (mode == "stderr-1mib") {
        const std::string chunk(4096, 'e');
        for (int i = 0; i < 256; ++i) {
            std::fwrite(chunk.data(), 1, chunk.size(), stderr);
        }
        std::fputs("done", stdout);
    } else if (mode == "exit3") {
        std::fputs("partial", stdout);
        std::fflush(stdout);
        _exit(3);
    } else if (mode == "stdin") {
        char buffer[16];
        std::fputs(std::fread(buffer, 1, sizeof buffer, stdin) == 0 ? "eof" : "data", stdout);
    } else if (mode == "hang") {
        std::fputs("started", stdout);
        std::fflush(stdout);
        ::sleep(60);
    } else if (mode == "read-fd3") {
        char buffer[64];
        const ssize_t got = ::read(3, buffer, sizeof buffer);
        std::fwrite(buffer, 1, got > 0 ? static_cast<size_t>(got) : 0, stdout);
    } else if (mode == "describe") {
        char folder[4096] = "";
        std::printf("%s|%s|", commandLine().front().c_str(), ::getcwd(folder, sizeof folder));
        for (char** entry = environ; *entry != nullptr; ++entry) {
            std::printf("%s;", *entry);
        }
    } else if (mode == "grandchild") {
        if (fork() == 0) {
            usleep(300000);
            std::fputs("late", stdout);
            std::fflush(stdout);
            _exit(0);
        }
        std::fputs("early ", stdout);
    }
    std::fflush(nullptr);
    _exit(0);
}

} // namespace

namespace {
const bool gChildChecked = [] {
    if (const char* mode = std::getenv("UNINSTALLER_TEST_CHILD")) {
        runAsChild(mode);
    }
    return true;
}();

class Runner : public ::testing::Test {
protected:
    void SetUp() override {
        mToolDir = makeTemporaryFolder("runner-tools");
        fs::create_symlink(fs::read_symlink("/proc/self/exe"), fs::path(mToolDir) / "child");
        ::setenv("UNINSTALLER_TOOL_DIR", mToolDir.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("UNINSTALLER_TOOL_DIR");
        ::unsetenv("UNINSTALLER_TEST_CHILD");
        fs::remove_all(mToolDir);
    }
    static bool run(const std::string& mode, std::string* output, const std::vector<std::string>& args = {}) {
        ::setenv("UNINSTALLER_TEST_CHILD", mode.c_str(), 1);
        return CTaskController::initTaskController().exeCommandLine("/usr/bin/child", args, output);
    }
    std::string mToolDir;
};

} // namespace

TEST_F(Runner, CollectsStandardOutputAndPassesArgumentsUnchanged) {
    std::string output = "untouched";
    EXPECT_TRUE(run("hello", &output));
    EXPECT_EQ(output, "hello\nworld\n");
    EXPECT_TRUE(run("args", &output, {"-p", "f", "a b", "$HOME", "\"q\""}));
    EXPECT_EQ(output, "[-p][f][a b][$HOME][\"q\"]");
}

TEST_F(Runner, EmptyAndStderrOnlyOutputGiveTheEmptyString) {
    std::string output = "untouched";
    EXPECT_TRUE(run("empty", &output));
    EXPECT_EQ(output, "");
    output = "untouched";
    EXPECT_TRUE(run("stderr-only", &output));
    EXPECT_EQ(output, "");
}

TEST_F(Runner, OutputThatIsNotUtf8IsRefused) {
    std::string output = "untouched";
    EXPECT_FALSE(run("not-utf8", &output));
    EXPECT_EQ(output, "untouched");
    EXPECT_TRUE(run("not-utf8", nullptr));
}

TEST_F(Runner, AChildWritingMuchToStandardErrorDoesNotStall) {
    std::string output;
    EXPECT_TRUE(run("stderr-1mib", &output));
    EXPECT_EQ(output, "done");
}

TEST_F(Runner, ExitStatusDoesNotChangeTheAnswer) {
    std::string output;
    EXPECT_TRUE(run("exit3", &output));
    EXPECT_EQ(output, "partial");
}

TEST_F(Runner, StandardInputIsEmpty) {
    std::string output;
    EXPECT_TRUE(run("stdin", &output));
    EXPECT_EQ(output, "eof");
}

TEST_F(Runner, WaitsUntilStandardOutputIsClosedByEveryHolder) {
    std::string output;
    EXPECT_TRUE(run("grandchild", &output));
    EXPECT_EQ(output, "early late");
}

TEST_F(Runner, AMissingProgramAnswersNoOnlyWhenOutputWasWanted) {
    std::string output = "untouched";
    auto& runner = CTaskController::initTaskController();
    EXPECT_FALSE(runner.exeCommandLine("/nonexistent/uninstaller-no-such-tool", {}, &output));
    EXPECT_EQ(output, "untouched");
    EXPECT_TRUE(runner.exeCommandLine("/nonexistent/uninstaller-no-such-tool", {}, nullptr));
}

TEST_F(Runner, ToolResolutionOrder) {
    const fs::path bundle = fs::path(mToolDir) / "Test.app";
    fs::create_directories(bundle / "Contents/Helpers");
    const fs::path helper = bundle / "Contents/Helpers/uninstaller-helper-tool";
    std::ofstream(helper) << "#!/bin/sh\n";
    fs::permissions(helper, fs::perms::owner_all);
    ::setenv("UNINSTALLER_BUNDLE", bundle.c_str(), 1);

    // 1. the test folder wins, even over a real program
    std::ofstream(fs::path(mToolDir) / "sh") << "#!/bin/sh\n";
    fs::permissions(fs::path(mToolDir) / "sh", fs::perms::owner_all);
    EXPECT_EQ(ToolResolver::resolve("/bin/sh"), (fs::path(mToolDir) / "sh").string());
    // a file there that is not executable does not count
    std::ofstream(fs::path(mToolDir) / "cat") << "x";
    EXPECT_EQ(ToolResolver::resolve("/bin/cat"), "/bin/cat");
    // 2. the path itself
    ::unsetenv("UNINSTALLER_TOOL_DIR");
    EXPECT_EQ(ToolResolver::resolve("/bin/sh"), "/bin/sh");
    // 3. the bundle's stand-in
    EXPECT_EQ(ToolResolver::resolve("/usr/sbin/uninstaller-helper-tool"), helper.string());
    // 4. PATH
    const auto ls = ToolResolver::resolve("/opt/macos-only/ls");
    ASSERT_TRUE(ls);
    EXPECT_EQ(fs::path(*ls).filename(), "ls");
    // 5. nothing
    EXPECT_FALSE(ToolResolver::resolve("/usr/bin/uninstaller-no-such-tool"));
    // A program that must be the system's own is never a stand-in or found on PATH.
    EXPECT_FALSE(ToolResolver::resolveExactly("/usr/sbin/uninstaller-helper-tool"));
    EXPECT_FALSE(ToolResolver::resolveExactly("/opt/macos-only/ls"));
    EXPECT_EQ(ToolResolver::resolveExactly("/bin/sh"), "/bin/sh");
    ::unsetenv("UNINSTALLER_BUNDLE");
}

TEST_F(Runner, AQueryThatDoesNotEndInTimeIsKilledAndFails) {
    auto& runner = CTaskController::initTaskController();
    runner.setQueryTimeLimit(std::chrono::milliseconds(300));
    std::string output = "untouched";
    EXPECT_FALSE(run("hang", &output));
    EXPECT_EQ(output, "untouched");
    // A command whose output nobody reads is an action: it gets no limit and the answer stays YES.
    runner.setQueryTimeLimit(CTaskController::kDefaultQueryTimeLimit);
    ::setenv("UNINSTALLER_TEST_CHILD", "hang", 1);
    CTaskController::RunOptions options;
    // Long enough for a child built with the sanitizers to start and say so on a busy machine.
    options.timeLimit = std::chrono::seconds(2);
    const auto killed = CTaskController::runTool("/usr/bin/child", {}, options);
    ASSERT_TRUE(killed);
    EXPECT_TRUE(killed->timedOut);
    EXPECT_EQ(killed->output, "started");
}

TEST_F(Runner, TheChildGetsTheNameEnvironmentAndFolderAskedFor) {
    CTaskController::RunOptions options;
    options.environment = std::vector<std::string>{"PATH=/usr/bin:/bin", "UNINSTALLER_TEST_CHILD=describe"};
    options.workingFolder = "/";
    options.programName = "/bin/rm";
    const auto described = CTaskController::runSystemProgram("/usr/bin/child", {}, options);
    ASSERT_TRUE(described);
    EXPECT_EQ(described->output, "/bin/rm|/|PATH=/usr/bin:/bin;UNINSTALLER_TEST_CHILD=describe;");

    ::setenv("UNINSTALLER_TEST_CHILD", "exit3", 1);
    options = {};
    options.discardOutput = true;
    const auto discarded = CTaskController::runTool("/usr/bin/child", {}, options);
    ASSERT_TRUE(discarded);
    EXPECT_EQ(discarded->output, "");
    EXPECT_EQ(discarded->exitStatus, 3);
}

TEST_F(Runner, PassedDescriptorsArriveFromThree) {
    const std::string file = mToolDir + "/passed.txt";
    std::ofstream(file) << "through fd 3";
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd.valid());
    ::setenv("UNINSTALLER_TEST_CHILD", "read-fd3", 1);
    CTaskController::RunOptions options;
    options.passedDescriptors = {fd.get()};
    const auto result = CTaskController::runTool("/usr/bin/child", {}, options);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->output, "through fd 3");
}
