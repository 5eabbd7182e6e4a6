#include "tools/bom/BomReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

// Replays the fuzz target's corpus through the reader with the ordinary build, so that every input
// the fuzzer ever kept (damaged files included) stays harmless.
TEST(BomCorpus, EveryInputReadsOrFailsCleanly) {
    const std::filesystem::path corpus = std::filesystem::path(UNINSTALLER_SOURCE_DIR) / "fuzz/corpus/bom";
    size_t inputs = 0;
    size_t readable = 0;
    for (const std::filesystem::directory_entry& file : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(file.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        std::string error;
        const std::optional<std::vector<BomEntry>> entries = BomReader::read(bytes.str(), error);
        if (!entries) {
            EXPECT_FALSE(error.empty()) << file.path();
        }
        ++inputs;
        readable += entries ? 1 : 0;
    }
    EXPECT_GE(inputs, 10u);
    EXPECT_GE(readable, 3u);
}
