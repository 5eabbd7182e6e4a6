#include "receipts/BomReader.h"

#include "receipts/BigEndian.h"

#include "platform/HostIo.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace {

using bom::readU16;
using bom::readU32;

constexpr std::string_view kMagic = "BOMStore";
constexpr size_t kHeaderSize = 32;
constexpr size_t kNodeHeaderSize = 12;
constexpr size_t kTreeHeaderMinSize = 16; // magic, version, root, node size
// The common part of a PathInfo2 record; shorter records give only their type.
constexpr size_t kInfoPrefixSize = 23;

// One tree entry as it stands in the file, before paths are built.
struct RawEntry {
    uint32_t id = 0;
    uint32_t parent = 0;
    std::string_view name;
    std::string_view info;
    uint32_t infoBlock = 0;
};

class Parser {
public:
    Parser(std::string_view bytes, std::string& error, size_t& leftOut, const BomReader::Limits& limits)
        : mBytes(bytes), mError(error), mLeftOut(leftOut), mLimits(limits) {}

    std::optional<std::vector<BomEntry>> parse() {
        std::optional<uint32_t> pathsTree = readTables();
        if (!pathsTree) {
            return std::nullopt;
        }
        std::vector<RawEntry> raw;
        if (!collectEntries(*pathsTree, raw)) {
            return std::nullopt;
        }
        readLargeSizes();
        return buildListing(raw);
    }

private:
    std::string_view mBytes;
    std::string& mError;
    size_t& mLeftOut;
    const BomReader::Limits& mLimits;
    size_t mTableOffset = 0;
    uint32_t mSlotCount = 0;
    std::unordered_map<uint32_t, size_t> mById; // path id -> index of its raw entry
    std::optional<uint32_t> mSize64Tree;
    std::unordered_map<uint32_t, uint64_t> mLargeSizes; // record block -> whole size

    template <typename T> T fail(std::string message) {
        mError = std::move(message);
        return T{};
    }

    // True when [offset, offset + length) lies inside the file; 64-bit sums cannot wrap here.
    bool inFile(uint64_t offset, uint64_t length) const {
        return offset <= mBytes.size() && length <= mBytes.size() - offset;
    }

    // Checks the header and the block table, and finds the Paths variable's block.
    std::optional<uint32_t> readTables() {
        if (mBytes.size() < kHeaderSize) {
            return fail<std::optional<uint32_t>>("file too short for a BOM header");
        }
        if (mBytes.substr(0, kMagic.size()) != kMagic) {
            return fail<std::optional<uint32_t>>("not a BOM file (no BOMStore magic)");
        }
        const uint32_t version = readU32(mBytes, 8);
        if (version != 1) {
            return fail<std::optional<uint32_t>>("unsupported BOM version " + std::to_string(version));
        }
        const uint32_t indexOffset = readU32(mBytes, 16);
        const uint32_t varsOffset = readU32(mBytes, 24);

        if (!inFile(indexOffset, 4)) {
            return fail<std::optional<uint32_t>>("block table lies outside the file");
        }
        mTableOffset = indexOffset + 4;
        mSlotCount = readU32(mBytes, indexOffset);
        if (!inFile(mTableOffset, uint64_t{mSlotCount} * 8)) {
            return fail<std::optional<uint32_t>>("block table of " + std::to_string(mSlotCount) +
                                                 " slots does not fit in the file");
        }

        if (!inFile(varsOffset, 4)) {
            return fail<std::optional<uint32_t>>("variable table lies outside the file");
        }
        const uint32_t varCount = readU32(mBytes, varsOffset);
        uint64_t at = uint64_t{varsOffset} + 4;
        std::optional<uint32_t> paths;
        for (uint32_t i = 0; i < varCount; ++i) {
            if (!inFile(at, 5)) {
                return fail<std::optional<uint32_t>>("variable table is cut short");
            }
            const uint32_t block = readU32(mBytes, at);
            const uint8_t length = static_cast<uint8_t>(mBytes[at + 4]);
            if (!inFile(at + 5, length)) {
                return fail<std::optional<uint32_t>>("variable table is cut short");
            }
            std::string_view name = mBytes.substr(at + 5, length);
            // Some writers store a terminating NUL inside the name.
            name = name.substr(0, name.find('\0'));
            if (name == "Paths" && !paths) {
                paths = block;
            } else if (name == "Size64" && !mSize64Tree) {
                mSize64Tree = block;
            }
            at += 5 + length;
        }
        if (!paths) {
            return fail<std::optional<uint32_t>>("no Paths variable");
        }
        return paths;
    }

    // The bytes of a block; nullopt when the number names no block inside the file.
    std::optional<std::string_view> block(uint32_t number, const char* what) {
        if (number == 0 || number >= mSlotCount) {
            return fail<std::optional<std::string_view>>(std::string(what) + " names block " +
                                                         std::to_string(number) + ", which does not exist");
        }
        const size_t slot = mTableOffset + size_t{number} * 8;
        const uint32_t address = readU32(mBytes, slot);
        const uint32_t length = readU32(mBytes, slot + 4);
        if (address == 0 && length == 0) {
            return fail<std::optional<std::string_view>>(std::string(what) + " names the empty block " +
                                                         std::to_string(number));
        }
        if (!inFile(address, length)) {
            return fail<std::optional<std::string_view>>("block " + std::to_string(number) + " (" + what +
                                                         ") runs past the end of the file");
        }
        return mBytes.substr(address, length);
    }

    // Walks a tree: down the leftmost branch to the first leaf, then along the leaf chain, handing each
    // (value block, key block) pair to `visit`. False, with the error set, for any damage.
    template <typename Visit> bool walkLeaves(uint32_t treeBlock, const std::string& tree, Visit visit) {
        std::optional<std::string_view> header = block(treeBlock, ("the " + tree + " variable").c_str());
        if (!header) {
            return false;
        }
        if (header->size() < kTreeHeaderMinSize || header->substr(0, 4) != "tree") {
            return fail<bool>("the " + tree + " tree header is damaged");
        }
        uint32_t node = readU32(*header, 8);
        // A node met twice means the links loop; one flag per block keeps the walk linear.
        std::vector<bool> visited(mSlotCount, false);
        for (;;) {
            std::optional<std::string_view> bytes = block(node, ("a " + tree + " tree node").c_str());
            if (!bytes) {
                return false;
            }
            if (visited[node]) {
                return fail<bool>("the " + tree + " tree loops back to block " + std::to_string(node));
            }
            visited[node] = true;
            if (bytes->size() < kNodeHeaderSize) {
                return fail<bool>("tree node block " + std::to_string(node) + " is cut short");
            }
            const uint16_t isLeaf = readU16(*bytes, 0);
            if (isLeaf > 1) {
                return fail<bool>("tree node block " + std::to_string(node) + " is neither leaf nor branch");
            }
            if (isLeaf == 1) {
                break;
            }
            if (bytes->size() < kNodeHeaderSize + 8) {
                return fail<bool>("branch node block " + std::to_string(node) + " has no child");
            }
            node = readU32(*bytes, kNodeHeaderSize);
        }

        while (node != 0) {
            std::optional<std::string_view> leaf = block(node, ("a " + tree + " leaf").c_str());
            if (!leaf) {
                return false;
            }
            if (leaf->size() < kNodeHeaderSize) {
                return fail<bool>("tree node block " + std::to_string(node) + " is cut short");
            }
            const uint16_t count = readU16(*leaf, 2);
            if (readU16(*leaf, 0) != 1) {
                return fail<bool>("the leaf chain leads to block " + std::to_string(node) +
                                  ", which is no leaf");
            }
            if (kNodeHeaderSize + size_t{count} * 8 > leaf->size()) {
                return fail<bool>("leaf block " + std::to_string(node) + " claims " + std::to_string(count) +
                                  " entries but has room for " +
                                  std::to_string((leaf->size() - kNodeHeaderSize) / 8));
            }
            for (size_t i = 0; i < count; ++i) {
                const size_t at = kNodeHeaderSize + i * 8;
                if (!visit(readU32(*leaf, at), readU32(*leaf, at + 4))) {
                    return false;
                }
            }
            const uint32_t next = readU32(*leaf, 4);
            if (next != 0) {
                if (next < mSlotCount && visited[next]) {
                    return fail<bool>("the leaf chain loops back to block " + std::to_string(next));
                }
                if (next < mSlotCount) {
                    visited[next] = true;
                }
            }
            node = next;
        }
        return true;
    }

    bool collectEntries(uint32_t treeBlock, std::vector<RawEntry>& raw) {
        // The header's count is a hint only: every entry takes at least 8 bytes of the file.
        if (const std::optional<std::string_view> header = block(treeBlock, "the Paths variable");
            header && header->size() >= 20) {
            raw.reserve(std::min<size_t>(readU32(*header, 16), mBytes.size() / 8));
        }
        return walkLeaves(treeBlock, "Paths", [&](uint32_t valueBlock, uint32_t keyBlock) {
            RawEntry entry;
            if (!readEntry(valueBlock, keyBlock, entry)) {
                return false;
            }
            // Checked here rather than later: distinct ids need distinct blocks, so this bounds the
            // entries collected by the size of the file, however the leaves overlap.
            if (!mById.emplace(entry.id, raw.size()).second) {
                return fail<bool>("path id " + std::to_string(entry.id) + " is used twice");
            }
            if (raw.size() >= mLimits.entries) {
                return fail<bool>("more than " + std::to_string(mLimits.entries) + " entries");
            }
            raw.push_back(entry);
            return true;
        });
    }

    // The whole sizes of files of 4 GiB and more. Listing does not need them, so a damaged Size64 tree
    // only leaves the sizes at their low 32 bits.
    void readLargeSizes() {
        if (!mSize64Tree) {
            return;
        }
        const std::string kept = mError;
        const bool read = walkLeaves(*mSize64Tree, "Size64", [&](uint32_t valueBlock, uint32_t keyBlock) {
            const std::optional<std::string_view> key = block(keyBlock, "a Size64 key");
            const std::optional<std::string_view> value = block(valueBlock, "a Size64 value");
            if (!key || !value || key->size() < 4 || value->size() < 8) {
                return false;
            }
            mLargeSizes[readU32(*key, 0)] = (uint64_t{readU32(*value, 0)} << 32) | readU32(*value, 4);
            return true;
        });
        if (!read) {
            mLargeSizes.clear();
        }
        mError = kept;
    }

    bool readEntry(uint32_t valueBlock, uint32_t keyBlock, RawEntry& entry) {
        std::optional<std::string_view> key = block(keyBlock, "a file key");
        if (!key) {
            return false;
        }
        if (key->size() < 5) {
            return fail<bool>("file key block " + std::to_string(keyBlock) + " is cut short");
        }
        entry.parent = readU32(*key, 0);
        // Writers end a name with a NUL; one before other bytes stays part of the name.
        entry.name = key->substr(4);
        entry.name = entry.name.substr(0, entry.name.find_last_not_of('\0') + 1);
        if (entry.name.empty()) {
            return fail<bool>("file key block " + std::to_string(keyBlock) + " holds an empty name");
        }
        if (entry.name.find('/') != std::string_view::npos) {
            return fail<bool>("file key block " + std::to_string(keyBlock) + " holds a name with a '/'");
        }

        std::optional<std::string_view> value = block(valueBlock, "a path record");
        if (!value) {
            return false;
        }
        if (value->size() < 8) {
            return fail<bool>("path record block " + std::to_string(valueBlock) + " is cut short");
        }
        entry.id = readU32(*value, 0);
        if (entry.id == 0) {
            return fail<bool>("path record block " + std::to_string(valueBlock) + " holds the id 0");
        }
        entry.infoBlock = readU32(*value, 4);
        std::optional<std::string_view> info = block(entry.infoBlock, "a path record");
        if (!info) {
            return false;
        }
        if (info->empty()) {
            return fail<bool>("the metadata of path id " + std::to_string(entry.id) + " is empty");
        }
        entry.info = *info;
        return true;
    }

    // Fills in the metadata a record holds; old short records simply end early.
    static void readInfo(std::string_view info, BomEntry& entry) {
        entry.type = static_cast<BomEntry::Type>(static_cast<uint8_t>(info[0]));
        if (info.size() < kInfoPrefixSize) {
            return;
        }
        entry.mode = readU16(info, 4);
        entry.uid = readU32(info, 6);
        entry.gid = readU32(info, 10);
        entry.mtime = readU32(info, 14);
        entry.size = readU32(info, 18);
        if (info.size() < kInfoPrefixSize + 4) {
            return;
        }
        entry.checksum = readU32(info, kInfoPrefixSize);
        if (entry.type != BomEntry::Type::Link || info.size() < kInfoPrefixSize + 8) {
            return;
        }
        const uint32_t length = readU32(info, kInfoPrefixSize + 4);
        std::string_view target = info.substr(kInfoPrefixSize + 8);
        target = target.substr(0, std::min<size_t>(length, target.size()));
        entry.linkTarget = std::string(target.substr(0, target.find('\0')));
    }

    std::optional<std::vector<BomEntry>> buildListing(const std::vector<RawEntry>& raw) {
        using Result = std::optional<std::vector<BomEntry>>;
        for (const RawEntry& entry : raw) {
            if (entry.parent != 0 && mById.find(entry.parent) == mById.end()) {
                return fail<Result>("the parent id " + std::to_string(entry.parent) + " of \"" +
                                    std::string(entry.name) + "\" names no entry");
            }
        }

        // Key order: parent id, then the name's bytes. A writer may leave its leaves unsorted, so the
        // order is made here rather than taken from the file; stable keeps duplicates in file order.
        std::vector<uint32_t> order(raw.size());
        for (size_t i = 0; i < order.size(); ++i) {
            order[i] = static_cast<uint32_t>(i);
        }
        std::stable_sort(order.begin(), order.end(), [&raw](uint32_t a, uint32_t b) {
            if (raw[a].parent != raw[b].parent) {
                return raw[a].parent < raw[b].parent;
            }
            return raw[a].name < raw[b].name;
        });
        // The children of each id form one run of `order`.
        std::unordered_map<uint32_t, std::pair<size_t, size_t>> children;
        children.reserve(raw.size());
        for (size_t begin = 0; begin < order.size();) {
            size_t end = begin + 1;
            while (end < order.size() && raw[order[end]].parent == raw[order[begin]].parent) {
                ++end;
            }
            children.emplace(raw[order[begin]].parent, std::make_pair(begin, end));
            begin = end;
        }

        // Where each raw entry went in the listing; a child's path is built from its parent's there.
        constexpr uint32_t kLeftOut = std::numeric_limits<uint32_t>::max();
        std::vector<uint32_t> position(raw.size());
        mLeftOut = 0;
        std::vector<BomEntry> listing;
        listing.reserve(raw.size());
        size_t pathBytes = 0;
        // Depth-first without recursion: a chain of 100,000 nested folders must not exhaust the stack.
        std::vector<uint32_t> stack;
        auto pushChildren = [&](uint32_t parentId) {
            auto found = children.find(parentId);
            if (found == children.end()) {
                return;
            }
            for (size_t i = found->second.second; i > found->second.first; --i) {
                stack.push_back(order[i - 1]);
            }
        };
        pushChildren(0);
        while (!stack.empty()) {
            const uint32_t index = stack.back();
            stack.pop_back();
            const RawEntry& entry = raw[index];
            const uint32_t parentPosition = entry.parent == 0 ? 0 : position[mById[entry.parent]];
            // A name at the top is a whole path too, and is held to the same limit.
            const size_t length = entry.parent == 0 ? entry.name.size()
                                  : parentPosition == kLeftOut
                                      ? BomReader::kMaxPathLength + 1
                                      : listing[parentPosition].path.size() + 1 + entry.name.size();
            if (length > BomReader::kMaxPathLength) {
                // Too long to build; its children are walked only to be counted.
                position[index] = kLeftOut;
                ++mLeftOut;
                pushChildren(entry.id);
                continue;
            }
            BomEntry out;
            if (entry.parent == 0) {
                out.path = entry.name;
            } else {
                out.path.reserve(length);
                out.path.append(listing[parentPosition].path).append(1, '/').append(entry.name);
            }
            pathBytes += out.path.size();
            if (pathBytes > mLimits.pathBytes) {
                return fail<Result>("paths longer than " + std::to_string(mLimits.pathBytes) +
                                    " bytes together");
            }
            readInfo(entry.info, out);
            // The record holds the low 32 bits of a large size; the Size64 tree the whole of it.
            if (const auto large = mLargeSizes.find(entry.infoBlock);
                large != mLargeSizes.end() && static_cast<uint32_t>(large->second) == out.size) {
                out.size = large->second;
            }
            position[index] = static_cast<uint32_t>(listing.size());
            listing.push_back(std::move(out));
            pushChildren(entry.id);
        }
        // Every parent exists, so whatever the walk from the top did not reach hangs on a cycle.
        if (listing.size() + mLeftOut != raw.size()) {
            return fail<Result>("the parent ids of " +
                                std::to_string(raw.size() - listing.size() - mLeftOut) +
                                " entries form a cycle");
        }
        return listing;
    }
};

} // namespace

std::optional<std::vector<BomEntry>> BomReader::read(std::string_view bytes, std::string& error,
                                                     size_t& leftOut, const Limits& limits) {
    return Parser(bytes, error, leftOut, limits).parse();
}

std::optional<std::vector<BomEntry>> BomReader::readOpenFile(int fd, std::string& error, size_t& leftOut,
                                                             const Limits& limits) {
    const std::optional<std::string> bytes = hostio::readAll(fd, limits.fileSize);
    if (!bytes) {
        error = errno == EFBIG
                    ? "larger than the " + std::to_string(limits.fileSize) + " bytes a BOM may have"
                    : std::strerror(errno);
        return std::nullopt;
    }
    return read(*bytes, error, leftOut, limits);
}

std::optional<std::vector<BomEntry>> BomReader::readFile(const std::string& hostPath, std::string& error,
                                                         size_t& leftOut) {
    const UniqueFd fd = hostio::openRegularFile(hostPath, hostio::LastLink::Follow);
    if (!fd.valid()) {
        error = errno == EINVAL ? "not a regular file" : std::strerror(errno);
        return std::nullopt;
    }
    return readOpenFile(fd.get(), error, leftOut);
}
