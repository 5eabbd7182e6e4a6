// make-sample-system DIR: writes a sample macOS 10.15.7 system with TORVA's drivers and utilities into
// DIR, for the demo and for trying the uninstaller by hand (uninstaller-cli --root DIR list).

#include "tools/make-sample-system/SampleSystem.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

void usage() {
    std::fputs(
        "usage: make-sample-system DIR\n"
        "\n"
        "Writes a sample macOS 10.15.7 system with TORVA's printer and fax drivers and utilities into\n"
        "DIR, which must be missing or empty. Every run writes the same tree.\n",
        stderr);
}

// A folder the user may still need is never written into: only a missing or empty one will do.
bool checkTarget(const std::string& folder) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(folder, error);
    if (status.type() == fs::file_type::not_found) {
        fs::create_directories(folder, error);
        if (error) {
            std::fprintf(stderr, "make-sample-system: cannot create %s: %s\n", folder.c_str(),
                         error.message().c_str());
            return false;
        }
        return true;
    }
    if (!fs::is_directory(status)) {
        std::fprintf(stderr, "make-sample-system: %s exists and is not a folder\n", folder.c_str());
        return false;
    }
    if (!fs::is_empty(folder, error) || error) {
        std::fprintf(stderr, "make-sample-system: %s is not empty; give a missing or empty folder\n",
                     folder.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') {
        usage();
        return kUsage;
    }
    const std::string folder = argv[1];
    if (!checkTarget(folder)) {
        return kFailed;
    }
    try {
        const TestSystem system(folder);
        SampleSystem::write(system);
        size_t files = 0;
        uintmax_t bytes = 0;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(system.root())) {
            if (entry.is_regular_file() && !entry.is_symlink()) {
                ++files;
                bytes += entry.file_size();
            }
        }
        std::printf(
            "make-sample-system: wrote macOS 10.15.7 with %zu TORVA software (%zu files, %.2f MB) to %s\n",
            SampleSystem::software().size(), files, static_cast<double>(bytes) / 1024.0 / 1024.0,
            folder.c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-sample-system: %s\n", error.what());
        return kFailed;
    }
    return kDone;
}
