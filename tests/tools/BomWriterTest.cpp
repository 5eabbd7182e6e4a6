#include "tools/bom/BomWriter.h"
#include "receipts/BomReader.h"
#include "receipts/Cksum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

std::string hex(std::string_view digits) {
    std::string bytes;
    std::string pair;
    for (const char c : digits) {
        if (c == ' ') {
            continue;
        }
        pair += c;
        if (pair.size() == 2) {
            bytes.push_back(static_cast<char>(std::stoi(pair, nullptr, 16)));
            pair.clear();
        }
    }
    return bytes;
}

std::string padded(std::string bytes, size_t length) {
    bytes.resize(length, '\0');
    return bytes;
}

uint32_t u32(const std::string& bytes, size_t at) {
    return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
           (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
}

// The bytes of block `number`, found through the block table.
std::string block(const std::string& bom, uint32_t number) {
    const size_t slot = u32(bom, 16) + 4 + 8 * size_t{number};
    return bom.substr(u32(bom, slot), u32(bom, slot + 4));
}

std::vector<BomEntry> workedExample() {
    std::vector<BomEntry> entries{BomEntry::directory("."), BomEntry::directory("./Library"),
                                  BomEntry::file("./Library/a.txt", "hello\n"),
                                  BomEntry::link("./Library/link", "a.txt")};
    for (BomEntry& entry : entries) {
        entry.mtime = 1600000000;
    }
    return entries;
}

} // namespace

TEST(Cksum, MatchesPosixCksum) {
    EXPECT_EQ(Cksum::of(""), 0xFFFFFFFFu);
    EXPECT_EQ(Cksum::of("hello\n"), 3015617425u);
    EXPECT_EQ(Cksum::of("a.txt"), 1632437005u);
    EXPECT_EQ(Cksum::of("faust.txt"), 3434127505u);
    // The length is mixed in over several bytes once it passes 255, and pieces must add up to the whole.
    std::string data(70000, '\0');
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 7 + i / 251);
    }
    Cksum pieces;
    pieces.update(std::string_view(data).substr(0, 1));
    pieces.update(std::string_view(data).substr(1, 40000));
    pieces.update(std::string_view(data).substr(40001));
    EXPECT_EQ(pieces.value(), Cksum::of(data));
}

// The example of the format notes, reproduced byte for byte from Apple's recommended layout.
TEST(BomWriter, WritesTheWorkedExampleByteForByte) {
    const std::string dir = "02 01 000F 41ED 00000000 00000000 5F5E1000 00000000 01 00000000 00000000";
    const std::string treeMagic = "74726565 00000001";
    const std::string expected =
        padded(hex("424F4D53746F7265 00000001 00000016 0000340C 000000D0 000033D0 0000003C"), 512) +
        hex("00000001 00000005 00000001 00000000 00000000 0000000B 00000000") +
        hex(treeMagic + "00000003 00001000 00000004 00") +
        padded(hex("0001 0004 00000000 00000000 0000000D 0000000C 00000010 0000000F 00000013 00000012 "
                   "00000016 00000015"),
               4096) +
        hex(treeMagic + "00000005 00001000 00000000 00") + padded(hex("0001"), 4096) +
        hex("00000001 00000007 00000000 00") + hex(treeMagic + "00000008 00000080 00000000 00") +
        padded(hex("0001"), 128) + hex(treeMagic + "0000000A 00001000 00000000 00") +
        padded(hex("0001"), 4096) + hex(dir) + hex("00000000 2E 00") + hex("00000001 0000000B") + // .
        hex(dir) + hex("00000001 4C696272617279 00") + hex("00000002 0000000E") +                 // Library
        hex("01 01 000F 81A4 00000000 00000000 5F5E1000 00000006 01 B3BEAB91 00000000 00000000") +
        hex("00000002 612E747874 00") + hex("00000003 00000011") + // a.txt
        hex("03 01 000F A1ED 00000000 00000000 5F5E1000 00000005 01 614D030D 00000006 612E747874 00 "
            "00000000 00000000") +
        hex("00000002 6C696E6B 00") + hex("00000004 00000014") + // link
        hex("00000005 00000001 07 426F6D496E666F 00000002 05 5061746873 00000004 07 484C496E646578 "
            "00000006 06 56496E646578 00000009 06 53697A653634") +
        hex("00000017 00000000 00000000 00000200 0000001C 0000021C 00000015 00000231 00001000 00001231 "
            "00000015 00001246 00001000 00002246 0000000D 00002253 00000015 00002268 00000080 000022E8 "
            "00000015 000022FD 00001000 000032FD 0000001F 0000331C 00000006 00003322 00000008 0000332A "
            "0000001F 00003349 0000000C 00003355 00000008 0000335D 00000023 00003380 0000000A 0000338A "
            "00000008 00003392 0000002D 000033BF 00000009 000033C8 00000008 00000000") +
        std::string(16, '\0');
    ASSERT_EQ(expected.size(), 13532u);

    std::vector<BomEntry> entries = workedExample();
    std::reverse(entries.begin(), entries.end()); // the writer orders them itself
    std::string error;
    const std::optional<std::string> bytes = BomWriter::write(entries, error);
    ASSERT_TRUE(bytes) << error;
    ASSERT_EQ(bytes->size(), expected.size());
    const auto mismatch = std::mismatch(bytes->begin(), bytes->end(), expected.begin());
    EXPECT_EQ(mismatch.first, bytes->end())
        << "first difference at offset " << (mismatch.first - bytes->begin());
}

TEST(BomWriter, OddNamesAndMetadataReadBackUnchanged) {
    std::vector<BomEntry> entries = workedExample();
    entries.push_back(BomEntry::directory("./with blank \"quoted\" 'single'"));
    entries.push_back(BomEntry::file("./with blank \"quoted\" 'single'/Grüße – 日本.txt", "x", 0100755));
    entries.push_back(BomEntry::directory("./.."));
    entries.push_back(BomEntry::file("./../escape", "climbs out"));
    entries.push_back(BomEntry::link("./dangling", "/nowhere/at all"));
    entries.back().uid = 501;
    entries.back().gid = 20;
    BomEntry device;
    device.path = "./disk";
    device.type = BomEntry::Type::Device;
    device.mode = 060640;
    device.checksum = (14u << 24) | 3;
    entries.push_back(device);

    std::string error;
    const std::optional<std::string> bytes = BomWriter::write(entries, error);
    ASSERT_TRUE(bytes) << error;
    const std::optional<std::vector<BomEntry>> read = BomReader::read(*bytes, error);
    ASSERT_TRUE(read) << error;
    std::map<std::string, BomEntry> written;
    std::map<std::string, BomEntry> listed;
    for (const BomEntry& entry : entries) {
        written.emplace(entry.path, entry);
    }
    for (const BomEntry& entry : *read) {
        listed.emplace(entry.path, entry);
    }
    EXPECT_EQ(listed, written);
}

TEST(BomWriter, SplitsLargeTreesIntoFullLeavesUnderAnAppleBranch) {
    std::vector<BomEntry> entries{BomEntry::directory(".")};
    for (int i = 0; i < 1199; ++i) {
        entries.push_back(BomEntry::file("./f" + std::to_string(10000 + i), ""));
    }
    std::string error;
    const std::optional<std::string> bom = BomWriter::write(entries, error);
    ASSERT_TRUE(bom) << error;

    // Paths tree (block 2) -> branch; leaves of 510, 510, 180 chained both ways.
    const std::string tree = block(*bom, 2);
    EXPECT_EQ(u32(tree, 16), 1200u);
    const std::string branch = block(*bom, u32(tree, 8));
    ASSERT_EQ(branch.size(), 4096u);
    EXPECT_EQ(branch.substr(0, 12), hex("0000 0002 00000000 00000000"));
    const uint32_t leaves[3] = {u32(branch, 12), u32(branch, 20), u32(branch, 28)};
    EXPECT_EQ(u32(branch, 32), 0u);
    const uint16_t expectedCounts[3] = {510, 510, 180};
    for (int i = 0; i < 3; ++i) {
        const std::string leaf = block(*bom, leaves[i]);
        EXPECT_EQ(leaf.size(), 4096u);
        EXPECT_EQ(uint16_t(u32(leaf, 0) & 0xFFFF), expectedCounts[i]);
        EXPECT_EQ(u32(leaf, 4), i < 2 ? leaves[i + 1] : 0u);
        EXPECT_EQ(u32(leaf, 8), i > 0 ? leaves[i - 1] : 0u);
        if (i < 2) {
            // The branch names each leaf by its largest key: the key of its last pair.
            EXPECT_EQ(u32(branch, 16 + 8 * i), u32(leaf, 12 + 8 * 509 + 4));
        }
    }
    const std::optional<std::vector<BomEntry>> read = BomReader::read(*bom, error);
    ASSERT_TRUE(read) << error;
    ASSERT_EQ(read->size(), 1200u);
    EXPECT_EQ(read->at(1).path, "./f10000");
    EXPECT_EQ(read->back().path, "./f11198");
}

TEST(BomWriter, RefusesWhatABomCannotHold) {
    const BomEntry root = BomEntry::directory(".");
    const std::vector<std::vector<BomEntry>> refused = {
        {root, BomEntry::file("./a/b", "")}, // folder ./a missing
        {BomEntry::file("./a", "")},         // "." missing
        {root, BomEntry::file("./a", ""), BomEntry::file("./a", "")},
        {root, BomEntry::file("a", "")},
        {root, BomEntry::file("/a", "")},
        {root, BomEntry::file("./a/", "")},
        {root, BomEntry::directory("./a"), BomEntry::file("./a//b", "")},
        {root, BomEntry::file(std::string("./a\0b", 5), "")},
        {root, BomEntry::link("./l", std::string("a\0b", 3))},
    };
    for (const std::vector<BomEntry>& entries : refused) {
        std::string error;
        EXPECT_FALSE(BomWriter::write(entries, error)) << entries.back().path;
        EXPECT_FALSE(error.empty());
    }

    std::vector<BomEntry> most{root};
    for (size_t i = 1; i < BomWriter::kMaxEntries; ++i) {
        most.push_back(BomEntry::file("./" + std::to_string(i), ""));
    }
    std::string error;
    const std::optional<std::string> full = BomWriter::write(most, error);
    ASSERT_TRUE(full) << error;
    const std::optional<std::vector<BomEntry>> read = BomReader::read(*full, error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->size(), BomWriter::kMaxEntries);
    most.push_back(BomEntry::file("./one too many", ""));
    EXPECT_FALSE(BomWriter::write(most, error));
}

TEST(BomWriter, EmptyListGivesABomWithoutPaths) {
    std::string error;
    const std::optional<std::string> bytes = BomWriter::write({}, error);
    ASSERT_TRUE(bytes) << error;
    const std::optional<std::vector<BomEntry>> read = BomReader::read(*bytes, error);
    ASSERT_TRUE(read) << error;
    EXPECT_TRUE(read->empty());
}

TEST(BomWriter, FilesOfFourGibibytesAndMoreKeepTheirWholeSize) {
    std::vector<BomEntry> entries{BomEntry::directory("."), BomEntry::file("./small", "x"),
                                  BomEntry::file("./exactly4GiB", ""), BomEntry::file("./big", ""),
                                  BomEntry::file("./just-below", "")};
    entries[2].size = uint64_t{1} << 32;
    entries[3].size = (uint64_t{5} << 32) + 12345;
    entries[4].size = 0xFFFFFFFFu;
    std::string error;
    const std::optional<std::string> bom = BomWriter::write(entries, error);
    ASSERT_TRUE(bom) << error;
    // The Size64 tree (block 9) counts the two files above the 32-bit range.
    EXPECT_EQ(u32(block(*bom, 9), 16), 2u);
    const std::optional<std::vector<BomEntry>> read = BomReader::read(*bom, error);
    ASSERT_TRUE(read) << error;
    std::map<std::string, uint64_t> sizes;
    for (const BomEntry& entry : *read) {
        sizes[entry.path] = entry.size;
    }
    EXPECT_EQ(sizes["./small"], 1u);
    EXPECT_EQ(sizes["./exactly4GiB"], uint64_t{1} << 32);
    EXPECT_EQ(sizes["./big"], (uint64_t{5} << 32) + 12345);
    EXPECT_EQ(sizes["./just-below"], 0xFFFFFFFFu);
}
