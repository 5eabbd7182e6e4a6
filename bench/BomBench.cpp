// How fast BOM listings are: the lsbom stand-in on a 100,000-entry receipt next to find(1) walking the
// same tree, and the reader alone, which the catalogue and the removal lists use in the process.

#include "receipts/BomReader.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr size_t kEntries = 100000;
const char* const kLanguages[] = {"English", "Japanese", "French", "German", "Spanish", "Italian",
                                  "Dutch",   "ar",       "zh_CN",  "zh_TW",  "ko",      "pt_BR"};

// Runs a program and reads its standard output to the end; gives the number of lines, or -1.
long runAndCount(const std::vector<std::string>& argv) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return -1;
    }
    std::vector<char*> raw;
    for (const std::string& argument : argv) {
        raw.push_back(const_cast<char*>(argument.c_str()));
    }
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    long lines = 0;
    char buffer[1 << 16];
    for (ssize_t got; spawned == 0 && (got = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (got < 0) {
            break;
        }
        for (ssize_t i = 0; i < got; ++i) {
            lines += buffer[i] == '\n';
        }
    }
    ::close(fds[0]);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return lines;
}

// A printer-driver-like tree of about kEntries entries and its BOM, made once and removed at exit.
class Tree {
public:
    static const Tree& get() {
        static const Tree tree;
        return tree;
    }

    std::string folder;
    std::string bom;
    size_t entries = 1; // "."
    long files = 0;
    bool ok = false;

    ~Tree() {
        std::error_code ignored;
        fs::remove_all(mBase, ignored);
    }

private:
    Tree() {
        std::string pattern = (fs::temp_directory_path() / "bom-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        mBase = pattern;
        folder = mBase + "/Library";
        bom = mBase + "/Library.bom";
        auto add = [&](const fs::path& path, bool isFolder, const std::string& content = {}) {
            if (isFolder) {
                fs::create_directory(path);
            } else {
                std::ofstream(path) << content;
                ++files;
            }
            ++entries;
        };
        fs::create_directory(folder);
        const fs::path models = fs::path(folder) / "Printers";
        add(models, true);
        add(models / "TORVA", true);
        for (int model = 0; entries < kEntries; ++model) {
            const fs::path bundle =
                models / "TORVA" / ("TORVA MX-" + std::to_string(1000 + model) + ".bundle");
            add(bundle, true);
            add(bundle / "Contents", true);
            add(bundle / "Contents/Info.plist", false, "<plist version=\"1.0\"/>\n");
            add(bundle / "Contents/MacOS", true);
            add(bundle / "Contents/MacOS/rastertotorva", false,
                "\x7F"
                "ELF");
            add(bundle / "Contents/Resources", true);
            for (const char* language : kLanguages) {
                if (entries + 3 > kEntries) {
                    break;
                }
                const fs::path lproj = bundle / "Contents/Resources" / (std::string(language) + ".lproj");
                add(lproj, true);
                add(lproj / "Localizable.strings", false, "\"Print\" = \"Print\";\n");
                add(lproj / "InfoPlist.strings", false, "\"CFBundleName\" = \"TORVA\";\n");
            }
        }
        const std::string mkbom = std::string(UNINSTALLER_BUILD_BUNDLE) + "/Contents/Helpers/mkbom";
        ok = runAndCount({mkbom, folder, bom}) == 0;
    }

    std::string mBase;
};

std::string lsbomPath() {
    return std::string(UNINSTALLER_BUILD_BUNDLE) + "/Contents/Helpers/lsbom";
}

// Each iteration lists the files with lsbom and walks the tree with find; the iteration time is
// lsbom's, and the counters give find's time and how many times longer lsbom takes.
void BM_LsbomVersusFind(benchmark::State& state) {
    const Tree& tree = Tree::get();
    if (!tree.ok) {
        state.SkipWithError("cannot build the tree");
        return;
    }
    double lsbomSeconds = 0;
    double findSeconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const long listed = runAndCount({lsbomPath(), "-f", "-p", "f", tree.bom});
        const auto middle = std::chrono::steady_clock::now();
        const long found = runAndCount({"/usr/bin/find", tree.folder});
        const auto end = std::chrono::steady_clock::now();
        if (listed != tree.files || found < 0) {
            state.SkipWithError("lsbom or find failed");
            return;
        }
        const double lsbom = std::chrono::duration<double>(middle - start).count();
        lsbomSeconds += lsbom;
        findSeconds += std::chrono::duration<double>(end - middle).count();
        state.SetIterationTime(lsbom);
    }
    state.counters["entries"] = static_cast<double>(tree.entries);
    state.counters["find_ms"] = benchmark::Counter(findSeconds * 1000, benchmark::Counter::kAvgIterations);
    state.counters["lsbom_per_find"] = lsbomSeconds / findSeconds;
}
BENCHMARK(BM_LsbomVersusFind)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ReadBom(benchmark::State& state) {
    const Tree& tree = Tree::get();
    std::ifstream in(tree.bom, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string bytes = buffer.str();
    for (auto _ : state) {
        std::string error;
        const std::optional<std::vector<BomEntry>> entries = BomReader::read(bytes, error);
        if (!entries || entries->size() != tree.entries) {
            state.SkipWithError("the BOM did not read");
            return;
        }
        benchmark::DoNotOptimize(entries->data());
    }
    state.counters["entries"] = static_cast<double>(tree.entries);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadBom)->Unit(benchmark::kMillisecond);

} // namespace
