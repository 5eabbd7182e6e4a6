#include "receipts/BomReader.h"

#include "platform/FileManager.h"
#include "tests/support/TestSystem.h"
#include "tools/bom/BomWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

std::string readHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// The sample BOM files themselves are kept once, in the fuzz corpus; their listings are test data.
std::string samplePath(const std::string& name) {
    const bool bom = name.size() > 4 && name.compare(name.size() - 4, 4, ".bom") == 0;
    return std::string(UNINSTALLER_SOURCE_DIR) + (bom ? "/fuzz/corpus/bom/" : "/tests/tools/data/") + name;
}

// The lines the sample's listing file gives under "== lsbom -X -p f".
std::vector<std::string> expectedListing(const std::string& sample, char kind) {
    std::istringstream text(readHostFile(samplePath(sample + ".txt")));
    const std::string heading = std::string("== lsbom -") + kind + " -p f";
    std::vector<std::string> lines;
    bool inSection = false;
    for (std::string line; std::getline(text, line);) {
        if (line.starts_with("== ")) {
            inSection = line.starts_with(heading);
        } else if (inSection && !line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> paths(const std::vector<BomEntry>& entries, BomEntry::Type type) {
    std::vector<std::string> result;
    for (const BomEntry& entry : entries) {
        if (entry.type == type) {
            result.push_back(entry.path);
        }
    }
    return result;
}

std::vector<BomEntry> readSample(const std::string& name) {
    std::string error;
    std::optional<std::vector<BomEntry>> entries = BomReader::readFile(samplePath(name), error);
    EXPECT_TRUE(entries) << name << ": " << error;
    return entries.value_or(std::vector<BomEntry>{});
}

uint32_t u32(const std::string& bytes, size_t at) {
    return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
           (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
}

void putU32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
    }
}

// A writer-made BOM of ".", "./a", "./a/b", "./a/b/c" (ids 1-4) whose blocks the tests damage.
struct Damaged {
    std::string bytes;

    Damaged() {
        std::string error;
        bytes = BomWriter::write({BomEntry::directory("."), BomEntry::directory("./a"),
                                  BomEntry::directory("./a/b"), BomEntry::file("./a/b/c", "c")},
                                 error)
                    .value();
    }
    size_t slot(uint32_t number) const { return u32(bytes, 16) + 4 + 8 * size_t{number}; }
    size_t at(uint32_t number) const { return u32(bytes, slot(number)); }
    // The writer's numbering: per path id, its metadata, key and id record follow block 10.
    static uint32_t keyBlock(uint32_t id) { return 12 + 3 * (id - 1); }
    static uint32_t idBlock(uint32_t id) { return 13 + 3 * (id - 1); }

    std::string readError() const {
        std::string error;
        EXPECT_FALSE(BomReader::read(bytes, error));
        return error;
    }
};

} // namespace

TEST(BomSamples, ListEveryKindAsTheirListingsSay) {
    for (const std::string name :
         {"mkbom-small-tree.bom", "bundle-receipt-Archive.bom", "pkg-multileaf.bom"}) {
        const std::vector<BomEntry> entries = readSample(name);
        const std::pair<char, BomEntry::Type> kinds[] = {
            {'f', BomEntry::Type::File}, {'d', BomEntry::Type::Directory}, {'l', BomEntry::Type::Link}};
        size_t listed = 0;
        for (const auto& [letter, type] : kinds) {
            const std::vector<std::string> expected = expectedListing(name, letter);
            const std::vector<std::string> actual = paths(entries, type);
            EXPECT_EQ(std::multiset<std::string>(actual.begin(), actual.end()),
                      std::multiset<std::string>(expected.begin(), expected.end()))
                << name << " -" << letter;
            listed += expected.size();
        }
        EXPECT_EQ(entries.size(), listed) << name;
    }
}

// Depth-first with children in name order, which is neither leaf order nor plain string order.
TEST(BomSamples, SmallTreeListsDepthFirst) {
    const std::vector<BomEntry> entries = readSample("mkbom-small-tree.bom");
    std::vector<std::string> order;
    order.reserve(entries.size());
    for (const BomEntry& entry : entries) {
        order.push_back(entry.path);
    }
    EXPECT_EQ(order, (std::vector<std::string>{".", "./faust.txt", "./link.txt", "./one", "./one/alpha",
                                               "./one/alpha/empty", "./one/beta", "./one/beta/cats.txt",
                                               "./two", "./two/past.txt"}));
    std::map<std::string, BomEntry> byPath;
    for (const BomEntry& entry : entries) {
        byPath.emplace(entry.path, entry);
    }
    EXPECT_EQ(byPath["."].mode, 040755);
    EXPECT_EQ(byPath["./faust.txt"].size, 258u);
    EXPECT_EQ(byPath["./one/beta/cats.txt"].mode, 0100644);
    EXPECT_EQ(byPath["./two/past.txt"].checksum, 3136442595u);
    EXPECT_EQ(byPath["./one/alpha/empty"].checksum, 0xFFFFFFFFu);
    EXPECT_EQ(byPath["./link.txt"].linkTarget, "faust.txt");
    EXPECT_EQ(byPath["./link.txt"].checksum, 3434127505u);
    EXPECT_EQ(byPath["./two"].uid, 501u);
    EXPECT_EQ(byPath["./two"].gid, 20u);
}

TEST(BomReader, TakesUnsortedLeavesAndNullTerminatedVariableNames) {
    Damaged bom;
    const size_t leaf = bom.at(3);
    // Swap the first and last pairs of the leaf.
    const std::string first = bom.bytes.substr(leaf + 12, 8);
    bom.bytes.replace(leaf + 12, 8, bom.bytes.substr(leaf + 12 + 24, 8));
    bom.bytes.replace(leaf + 12 + 24, 8, first);
    // Rename "Paths" away and let "HLIndex" become "Paths\0\0", pointing at the Paths tree.
    const size_t vars = u32(bom.bytes, 24);
    bom.bytes.replace(vars + 4 + 12 + 5, 5, "Pathz");
    putU32(bom.bytes, vars + 4 + 12 + 10, 2);
    bom.bytes.replace(vars + 4 + 12 + 10 + 5, 7, std::string("Paths\0\0", 7));

    std::string error;
    const std::optional<std::vector<BomEntry>> entries = BomReader::read(bom.bytes, error);
    ASSERT_TRUE(entries) << error;
    ASSERT_EQ(entries->size(), 4u);
    EXPECT_EQ(entries->at(0).path, ".");
    EXPECT_EQ(entries->at(3).path, "./a/b/c");
}

TEST(BomReader, DamagedStructureGivesAnErrorAndNoEntries) {
    const auto damage = [](auto change) {
        Damaged bom;
        change(bom);
        return bom.readError();
    };
    using D = Damaged;
    EXPECT_NE(damage([](D& b) { b.bytes.replace(0, 8, "BOMStorX"); }).find("magic"), std::string::npos);
    EXPECT_NE(damage([](D& b) { putU32(b.bytes, 8, 2); }).find("version"), std::string::npos);
    EXPECT_NE(damage([](D& b) { putU32(b.bytes, b.slot(0) - 4, 0x10000000); }).find("slots"),
              std::string::npos);
    EXPECT_NE(damage([](D& b) { putU32(b.bytes, 16, 0xFFFFFFF0); }).find("block table"), std::string::npos);
    EXPECT_NE(damage([](D& b) { putU32(b.bytes, u32(b.bytes, 24), 1000); }).find("cut short"),
              std::string::npos);
    EXPECT_NE(damage([](D& b) { b.bytes.replace(u32(b.bytes, 24) + 4 + 12 + 5, 5, "Pathz"); }).find("Paths"),
              std::string::npos);
    // A block whose length runs past the end of the file.
    EXPECT_NE(
        damage([](D& b) { putU32(b.bytes, b.slot(D::keyBlock(2)) + 4, 0x7FFFFFFF); }).find("past the end"),
        std::string::npos);
    // A leaf claiming more pairs than its block holds, or more than it has.
    EXPECT_NE(damage([](D& b) { b.bytes[b.at(3) + 2] = char(0xFF); }).find("room"), std::string::npos);
    EXPECT_NE(damage([](D& b) { b.bytes[b.at(3) + 3] = 5; }).find("block 0"), std::string::npos);
    // The leaf chain and a branch that lead back to themselves.
    EXPECT_NE(damage([](D& b) { putU32(b.bytes, b.at(3) + 4, 3); }).find("loops"), std::string::npos);
    EXPECT_NE(damage([](D& b) {
                  b.bytes[b.at(3) + 1] = 0;
                  putU32(b.bytes, b.at(3) + 12, 3);
              }).find("loops"),
              std::string::npos);
    // Names: empty, or holding a "/".
    EXPECT_NE(damage([](D& b) { b.bytes[b.at(D::keyBlock(2)) + 4] = '\0'; }).find("empty name"),
              std::string::npos);
    EXPECT_NE(damage([](D& b) { b.bytes[b.at(D::keyBlock(2)) + 4] = '/'; }).find("'/'"), std::string::npos);
    // Ids: duplicate, zero, a parent that names nobody, parents that go round.
    EXPECT_NE(damage([](D& b) { putU32(b.bytes, b.at(D::idBlock(3)), 2); }).find("twice"), std::string::npos);
    EXPECT_NE(damage([](D& b) { putU32(b.bytes, b.at(D::idBlock(3)), 0); }).find("id 0"), std::string::npos);
    EXPECT_NE(damage([](D& b) { putU32(b.bytes, b.at(D::keyBlock(3)), 99); }).find("names no entry"),
              std::string::npos);
    EXPECT_NE(damage([](D& b) { putU32(b.bytes, b.at(D::keyBlock(2)), 3); }).find("cycle"),
              std::string::npos);
    EXPECT_NE(damage([](D& b) { putU32(b.bytes, b.at(D::keyBlock(2)), 2); }).find("cycle"),
              std::string::npos);
    // An empty metadata record.
    EXPECT_NE(damage([](D& b) { putU32(b.bytes, b.slot(11) + 4, 0); }).find("empty"), std::string::npos);
}

// A name ends at the NULs a writer puts after it; a NUL before other bytes stays in it.
TEST(BomReader, NamesKeepANulThatDoesNotEndThem) {
    std::string error;
    std::string bytes = BomWriter::write({BomEntry::directory("."), BomEntry::directory("./aQb"),
                                          BomEntry::file("./aQb/c", "c"), BomEntry::file("./dQ", "d")},
                                         error)
                            .value();
    for (const std::string name : {"aQb", "dQ"}) {
        bytes[bytes.find(name) + 1] = '\0';
    }
    const std::optional<std::vector<BomEntry>> entries = BomReader::read(bytes, error);
    ASSERT_TRUE(entries) << error;
    std::vector<std::string> paths;
    for (const BomEntry& entry : *entries) {
        paths.push_back(entry.path);
    }
    EXPECT_EQ(paths,
              (std::vector<std::string>{".", std::string("./a\0b", 5), std::string("./a\0b/c", 7), "./d"}));
}

// However it is built, a BOM costs bounded memory: one over a limit is refused whole, saying which.
TEST(BomReader, ABomOverALimitIsRefusedSayingWhich) {
    std::vector<BomEntry> entries{BomEntry::directory(".")};
    for (int i = 0; i < 10; ++i) {
        entries.push_back(BomEntry::file("./file-" + std::to_string(i), "x"));
    }
    std::string error;
    const std::string bytes = BomWriter::write(entries, error).value();
    TestSystem system;
    system.writeFile("/x.bom", bytes);
    constexpr size_t kPaths = 1 + 10 * 8; // "." and ten "./file-N"
    const struct {
        BomReader::Limits limits;
        std::optional<std::string> refusal;
    } cases[] = {
        {{.fileSize = bytes.size(), .entries = 11, .pathBytes = kPaths}, std::nullopt},
        {{.fileSize = bytes.size() - 1, .entries = 11, .pathBytes = kPaths},
         "larger than the " + std::to_string(bytes.size() - 1) + " bytes a BOM may have"},
        {{.fileSize = bytes.size(), .entries = 10, .pathBytes = kPaths}, "more than 10 entries"},
        {{.fileSize = bytes.size(), .entries = 11, .pathBytes = kPaths - 1},
         "paths longer than " + std::to_string(kPaths - 1) + " bytes together"},
    };
    for (const auto& c : cases) {
        const UniqueFd bom = FileManager::openForReading("/x.bom");
        size_t leftOut = 0;
        error.clear();
        const std::optional<std::vector<BomEntry>> read =
            BomReader::readOpenFile(bom.get(), error, leftOut, c.limits);
        EXPECT_EQ(read.has_value(), !c.refusal) << error;
        EXPECT_EQ(error, c.refusal.value_or("")) << c.limits.entries;
    }
}

TEST(BomReader, EveryTruncationIsRejected) {
    const Damaged bom;
    // Only the free list and the trailing zeros after the block table may go without loss.
    const size_t needed = bom.slot(0) + 8 * size_t{u32(bom.bytes, bom.slot(0) - 4)};
    for (size_t length = 0; length < needed; ++length) {
        std::string error;
        EXPECT_FALSE(BomReader::read(std::string_view(bom.bytes).substr(0, length), error)) << length;
        EXPECT_FALSE(error.empty());
    }
}
