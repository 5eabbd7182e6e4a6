#include "tools/bom/BomWriter.h"

#include "receipts/BigEndian.h"

#include "platform/HostIo.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>
#include <unordered_map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using bom::appendU16;
using bom::appendU32;
using bom::appendU8;

constexpr size_t kHeaderArea = 512;
constexpr uint32_t kNodeSize = 4096;
constexpr uint32_t kSmallNodeSize = 128; // the VIndex inner tree
constexpr size_t kPairsPerNode = (kNodeSize - 12) / 8;
constexpr uint16_t kFullRecordFlags = 0x000F;
constexpr size_t kNoParent = std::numeric_limits<size_t>::max();

// Blocks 1-10 hold BomInfo and the four trees; the paths follow, three blocks each.
constexpr uint32_t kBomInfoBlock = 1;
constexpr uint32_t kPathsTreeBlock = 2;
constexpr uint32_t kFirstLeafBlock = 3;
constexpr uint32_t kHLIndexTreeBlock = 4;
constexpr uint32_t kVIndexBlock = 6;
constexpr uint32_t kSize64TreeBlock = 9;
constexpr uint32_t kFirstPathBlock = 11;

struct Node {
    std::string_view name;
    size_t parent = kNoParent; // index into the entries
    uint32_t id = 0;
};

// Checks every path and finds each entry's parent entry.
bool linkParents(const std::vector<BomEntry>& entries, std::vector<Node>& nodes, std::string& error) {
    std::unordered_map<std::string_view, size_t> byPath;
    byPath.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& path = entries[i].path;
        const bool wellFormed =
            path == "." || (path.size() > 2 && path.compare(0, 2, "./") == 0 && path.back() != '/' &&
                            path.find("//") == std::string::npos && path.find('\0') == std::string::npos);
        if (!wellFormed) {
            error = "cannot store the path \"" + path + "\": it must be \".\" or \"./name...\"";
            return false;
        }
        if (!byPath.emplace(path, i).second) {
            error = "the path \"" + path + "\" is listed twice";
            return false;
        }
        if (entries[i].type == BomEntry::Type::Link &&
            entries[i].linkTarget.find('\0') != std::string::npos) {
            error = "the link target of \"" + path + "\" holds a NUL byte";
            return false;
        }
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string_view path = entries[i].path;
        if (path == ".") {
            nodes[i].name = path;
            continue;
        }
        const size_t slash = path.rfind('/');
        nodes[i].name = path.substr(slash + 1);
        const auto parent = byPath.find(path.substr(0, slash));
        if (parent == byPath.end()) {
            error = "the folder of \"" + std::string(path) + "\" is not in the list";
            return false;
        }
        nodes[i].parent = parent->second;
    }
    return true;
}

// Ids depth-first from ".", children in name order; gives the entries in id order.
std::vector<size_t> numberPaths(std::vector<Node>& nodes) {
    std::vector<size_t> byName(nodes.size());
    for (size_t i = 0; i < byName.size(); ++i) {
        byName[i] = i;
    }
    std::sort(byName.begin(), byName.end(), [&nodes](size_t a, size_t b) {
        if (nodes[a].parent != nodes[b].parent) {
            return nodes[a].parent < nodes[b].parent;
        }
        return nodes[a].name < nodes[b].name;
    });
    std::unordered_map<size_t, std::pair<size_t, size_t>> children;
    for (size_t begin = 0; begin < byName.size();) {
        size_t end = begin + 1;
        while (end < byName.size() && nodes[byName[end]].parent == nodes[byName[begin]].parent) {
            ++end;
        }
        children.emplace(nodes[byName[begin]].parent, std::make_pair(begin, end));
        begin = end;
    }

    std::vector<size_t> idOrder;
    idOrder.reserve(nodes.size());
    std::vector<size_t> stack;
    auto pushChildren = [&](size_t parent) {
        const auto found = children.find(parent);
        if (found != children.end()) {
            for (size_t i = found->second.second; i > found->second.first; --i) {
                stack.push_back(byName[i - 1]);
            }
        }
    };
    pushChildren(kNoParent);
    while (!stack.empty()) {
        const size_t index = stack.back();
        stack.pop_back();
        idOrder.push_back(index);
        nodes[index].id = static_cast<uint32_t>(idOrder.size());
        pushChildren(index);
    }
    return idOrder;
}

// Appends blocks one after another and keeps the block table.
class BlockFile {
public:
    BlockFile() : mBytes(kHeaderArea, '\0') { mSlots.emplace_back(0, 0); }

    std::string& bytes() { return mBytes; }
    size_t begin() const { return mBytes.size(); }
    void end(size_t begin) { mSlots.emplace_back(begin, mBytes.size() - begin); }
    void padTo(size_t begin, size_t length) { mBytes.resize(begin + length, '\0'); }
    uint32_t blockCount() const { return static_cast<uint32_t>(mSlots.size() - 1); }

    bool finish(std::string& error) {
        const size_t varsOffset = mBytes.size();
        appendU32(mBytes, 5);
        for (const auto& [block, name] : {std::pair<uint32_t, std::string_view>{kBomInfoBlock, "BomInfo"},
                                          {kPathsTreeBlock, "Paths"},
                                          {kHLIndexTreeBlock, "HLIndex"},
                                          {kVIndexBlock, "VIndex"},
                                          {kSize64TreeBlock, "Size64"}}) {
            appendU32(mBytes, block);
            appendU8(mBytes, static_cast<uint8_t>(name.size()));
            mBytes.append(name);
        }
        const size_t varsLength = mBytes.size() - varsOffset;
        const size_t indexOffset = mBytes.size();
        appendU32(mBytes, static_cast<uint32_t>(mSlots.size()));
        for (const auto& [address, length] : mSlots) {
            appendU32(mBytes, static_cast<uint32_t>(address));
            appendU32(mBytes, static_cast<uint32_t>(length));
        }
        // An empty free list, then the 16 zero bytes Apple's files end with.
        mBytes.append(4 + 16, '\0');
        if (mBytes.size() > std::numeric_limits<uint32_t>::max()) {
            error = "the BOM would exceed 4 GiB";
            return false;
        }
        std::string header = "BOMStore";
        appendU32(header, 1);
        appendU32(header, blockCount());
        appendU32(header, static_cast<uint32_t>(indexOffset));
        appendU32(header, static_cast<uint32_t>(mBytes.size() - indexOffset));
        appendU32(header, static_cast<uint32_t>(varsOffset));
        appendU32(header, static_cast<uint32_t>(varsLength));
        mBytes.replace(0, header.size(), header);
        return true;
    }

private:
    std::string mBytes;
    std::vector<std::pair<size_t, size_t>> mSlots;
};

void appendTreeHeader(std::string& out, uint32_t root, uint32_t nodeSize, uint32_t count) {
    out.append("tree");
    appendU32(out, 1);
    appendU32(out, root);
    appendU32(out, nodeSize);
    appendU32(out, count);
    appendU8(out, 0);
}

void appendEmptyLeaf(BlockFile& file, uint32_t nodeSize) {
    const size_t begin = file.begin();
    appendU16(file.bytes(), 1);
    file.padTo(begin, nodeSize);
    file.end(begin);
}

void appendPathInfo(std::string& out, const BomEntry& entry) {
    appendU8(out, static_cast<uint8_t>(entry.type));
    appendU8(out, 1);
    appendU16(out, kFullRecordFlags);
    appendU16(out, entry.mode);
    appendU32(out, entry.uid);
    appendU32(out, entry.gid);
    appendU32(out, entry.mtime);
    appendU32(out, static_cast<uint32_t>(entry.size));
    appendU8(out, 1);
    switch (entry.type) {
    case BomEntry::Type::File:
    case BomEntry::Type::Device:
        appendU32(out, entry.checksum);
        break;
    case BomEntry::Type::Link:
        appendU32(out, entry.checksum);
        appendU32(out, static_cast<uint32_t>(entry.linkTarget.size() + 1));
        out.append(entry.linkTarget);
        appendU8(out, 0);
        break;
    default:
        break;
    }
    // Current records end in 8 zero bytes; their meaning is not known.
    out.append(8, '\0');
}

void appendTree(BlockFile& file, uint32_t root, uint32_t nodeSize, uint32_t count) {
    const size_t begin = file.begin();
    appendTreeHeader(file.bytes(), root, nodeSize, count);
    file.end(begin);
}

// Where every block of a BOM goes, worked out before anything is written.
struct Layout {
    std::vector<Node> nodes;
    std::vector<size_t> idOrder;    // entries by path id
    std::vector<size_t> keyOrder;   // entries by tree key: parent id, then name bytes
    std::vector<size_t> largeFiles; // entries of 4 GiB and more, by path id
    size_t leafCount = 1;
    uint32_t firstExtraBlock = 0; // the Paths leaves after the first, then the branch, then Size64 records

    uint32_t parentId(size_t index) const {
        return nodes[index].parent == kNoParent ? 0u : nodes[nodes[index].parent].id;
    }
    static uint32_t infoBlock(uint32_t id) { return kFirstPathBlock + 3 * (id - 1); }
    static uint32_t keyBlock(uint32_t id) { return kFirstPathBlock + 3 * (id - 1) + 1; }
    static uint32_t valueBlock(uint32_t id) { return kFirstPathBlock + 3 * (id - 1) + 2; }
    uint32_t leafBlock(size_t leaf) const {
        return leaf == 0 ? kFirstLeafBlock : static_cast<uint32_t>(firstExtraBlock + leaf - 1);
    }
    uint32_t branchBlock() const { return static_cast<uint32_t>(firstExtraBlock + leafCount - 1); }
    uint32_t pathsRoot() const { return leafCount > 1 ? branchBlock() : kFirstLeafBlock; }
    // The key and value blocks of the n-th large file's Size64 entry.
    uint32_t size64Block(size_t n) const {
        return static_cast<uint32_t>(firstExtraBlock + leafCount - (leafCount > 1 ? 0 : 1) + 2 * n);
    }
};

std::optional<Layout> planLayout(const std::vector<BomEntry>& entries, std::string& error) {
    Layout layout;
    layout.nodes.resize(entries.size());
    if (!linkParents(entries, layout.nodes, error)) {
        return std::nullopt;
    }
    layout.idOrder = numberPaths(layout.nodes);
    layout.keyOrder = layout.idOrder;
    std::sort(layout.keyOrder.begin(), layout.keyOrder.end(), [&layout](size_t a, size_t b) {
        if (layout.parentId(a) != layout.parentId(b)) {
            return layout.parentId(a) < layout.parentId(b);
        }
        return layout.nodes[a].name < layout.nodes[b].name;
    });
    for (const size_t index : layout.idOrder) {
        if (entries[index].size > std::numeric_limits<uint32_t>::max()) {
            layout.largeFiles.push_back(index);
        }
    }
    // One Size64 leaf holds every large size; more than that was never seen in a real package.
    if (layout.largeFiles.size() > kPairsPerNode) {
        error = "a BOM holds at most " + std::to_string(kPairsPerNode) + " files of 4 GiB or more";
        return std::nullopt;
    }
    layout.leafCount = std::max<size_t>(1, (entries.size() + kPairsPerNode - 1) / kPairsPerNode);
    layout.firstExtraBlock = kFirstPathBlock + 3 * static_cast<uint32_t>(entries.size());
    return layout;
}

void appendBomInfo(BlockFile& file, const std::vector<BomEntry>& entries) {
    const size_t begin = file.begin();
    std::string& out = file.bytes();
    const auto count = static_cast<uint32_t>(entries.size());
    uint64_t totalSize = 0;
    for (const BomEntry& entry : entries) {
        if (entry.type != BomEntry::Type::Directory) {
            totalSize += entry.size;
        }
    }
    appendU32(out, 1);
    appendU32(out, count + 1); // Apple's files count one more path than the tree holds.
    if (count == 0) {
        appendU32(out, 0);
    } else {
        appendU32(out, 1);
        appendU32(out, 0); // everything that is not a Mach-O slice
        appendU32(out, 0);
        appendU32(out, static_cast<uint32_t>(totalSize));
        appendU32(out, 0);
    }
    file.end(begin);
}

void appendPathsLeaf(BlockFile& file, const Layout& layout, size_t leaf) {
    const size_t first = leaf * kPairsPerNode;
    const size_t last = std::min(first + kPairsPerNode, layout.keyOrder.size());
    const size_t begin = file.begin();
    std::string& out = file.bytes();
    appendU16(out, 1);
    appendU16(out, static_cast<uint16_t>(last - first));
    appendU32(out, leaf + 1 < layout.leafCount ? layout.leafBlock(leaf + 1) : 0);
    appendU32(out, leaf > 0 ? layout.leafBlock(leaf - 1) : 0);
    for (size_t i = first; i < last; ++i) {
        const uint32_t id = layout.nodes[layout.keyOrder[i]].id;
        appendU32(out, Layout::valueBlock(id));
        appendU32(out, Layout::keyBlock(id));
    }
    file.padTo(begin, kNodeSize);
    file.end(begin);
}

// Apple's branch form: one pair per leaf but the last, keyed by the leaf's largest key, then the last
// leaf with key 0; count is the number of leaves minus one.
void appendPathsBranch(BlockFile& file, const Layout& layout) {
    const size_t begin = file.begin();
    std::string& out = file.bytes();
    appendU16(out, 0);
    appendU16(out, static_cast<uint16_t>(layout.leafCount - 1));
    appendU32(out, 0);
    appendU32(out, 0);
    for (size_t leaf = 0; leaf + 1 < layout.leafCount; ++leaf) {
        const size_t lastEntry = layout.keyOrder[(leaf + 1) * kPairsPerNode - 1];
        appendU32(out, layout.leafBlock(leaf));
        appendU32(out, Layout::keyBlock(layout.nodes[lastEntry].id));
    }
    appendU32(out, layout.leafBlock(layout.leafCount - 1));
    appendU32(out, 0);
    file.padTo(begin, kNodeSize);
    file.end(begin);
}

void appendVIndex(BlockFile& file) {
    const size_t begin = file.begin();
    appendU32(file.bytes(), 1);
    appendU32(file.bytes(), kVIndexBlock + 1);
    appendU32(file.bytes(), 0);
    appendU8(file.bytes(), 0);
    file.end(begin);
    appendTree(file, kVIndexBlock + 2, kSmallNodeSize, 0);
    appendEmptyLeaf(file, kSmallNodeSize);
}

// The Size64 leaf: (value, key) pairs keyed by the block of each large file's record, in id order.
void appendSize64Leaf(BlockFile& file, const Layout& layout) {
    const size_t begin = file.begin();
    std::string& out = file.bytes();
    appendU16(out, 1);
    appendU16(out, static_cast<uint16_t>(layout.largeFiles.size()));
    appendU32(out, 0);
    appendU32(out, 0);
    for (size_t n = 0; n < layout.largeFiles.size(); ++n) {
        appendU32(out, layout.size64Block(n) + 1);
        appendU32(out, layout.size64Block(n));
    }
    file.padTo(begin, kNodeSize);
    file.end(begin);
}

void appendSize64Records(BlockFile& file, const Layout& layout, const std::vector<BomEntry>& entries) {
    for (const size_t index : layout.largeFiles) {
        size_t begin = file.begin();
        appendU32(file.bytes(), Layout::infoBlock(layout.nodes[index].id));
        file.end(begin);
        begin = file.begin();
        appendU32(file.bytes(), static_cast<uint32_t>(entries[index].size >> 32));
        appendU32(file.bytes(), static_cast<uint32_t>(entries[index].size));
        file.end(begin);
    }
}

// Three blocks per path in id order: its record, its key (parent id and name), and the value that
// joins the two.
bool appendPathRecords(BlockFile& file, const Layout& layout, const std::vector<BomEntry>& entries,
                       std::string& error) {
    std::string& out = file.bytes();
    for (const size_t index : layout.idOrder) {
        const Node& node = layout.nodes[index];
        size_t begin = file.begin();
        appendPathInfo(out, entries[index]);
        file.end(begin);
        begin = file.begin();
        appendU32(out, layout.parentId(index));
        out.append(node.name);
        appendU8(out, 0);
        file.end(begin);
        begin = file.begin();
        appendU32(out, node.id);
        appendU32(out, Layout::infoBlock(node.id));
        file.end(begin);
        if (out.size() > std::numeric_limits<uint32_t>::max()) {
            error = "the BOM would exceed 4 GiB";
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<std::string> BomWriter::write(const std::vector<BomEntry>& entries, std::string& error) {
    if (entries.size() > kMaxEntries) {
        error = "a BOM holds at most " + std::to_string(kMaxEntries) + " paths, not " +
                std::to_string(entries.size());
        return std::nullopt;
    }
    const std::optional<Layout> layout = planLayout(entries, error);
    if (!layout) {
        return std::nullopt;
    }
    BlockFile file;
    file.bytes().reserve(kHeaderArea + size_t{3} * kNodeSize + kSmallNodeSize +
                         layout->leafCount * kNodeSize + entries.size() * 64);
    // Blocks 1 to 10 in their fixed order, then the paths, then what the number of paths adds.
    appendBomInfo(file, entries);
    appendTree(file, layout->pathsRoot(), kNodeSize, static_cast<uint32_t>(entries.size()));
    appendPathsLeaf(file, *layout, 0);
    appendTree(file, kHLIndexTreeBlock + 1, kNodeSize, 0);
    appendEmptyLeaf(file, kNodeSize);
    appendVIndex(file);
    appendTree(file, kSize64TreeBlock + 1, kNodeSize, static_cast<uint32_t>(layout->largeFiles.size()));
    appendSize64Leaf(file, *layout);
    if (!appendPathRecords(file, *layout, entries, error)) {
        return std::nullopt;
    }
    for (size_t leaf = 1; leaf < layout->leafCount; ++leaf) {
        appendPathsLeaf(file, *layout, leaf);
    }
    if (layout->leafCount > 1) {
        appendPathsBranch(file, *layout);
    }
    appendSize64Records(file, *layout, entries);
    if (!file.finish(error)) {
        return std::nullopt;
    }
    return std::move(file.bytes());
}

bool BomWriter::writeFile(const std::string& hostPath, const std::vector<BomEntry>& entries,
                          std::string& error) {
    std::optional<std::string> bytes = write(entries, error);
    if (!bytes) {
        return false;
    }
    // Only a file may be replaced: a device, a folder or a link at the target stays as it is.
    struct stat target {};
    if (::lstat(hostPath.c_str(), &target) == 0) {
        if (!S_ISREG(target.st_mode)) {
            error = hostPath + ": not a regular file; refusing to replace it";
            return false;
        }
    } else if (errno != ENOENT) {
        error = "cannot look at " + hostPath + ": " + std::strerror(errno);
        return false;
    }
    std::string temporary = hostPath + ".XXXXXX";
    UniqueFd fd(::mkstemp(temporary.data()));
    if (!fd.valid()) {
        error = "cannot create a file beside " + hostPath + ": " + std::strerror(errno);
        return false;
    }
    auto failWith = [&](const std::string& message) {
        error = message + ": " + std::strerror(errno);
        fd.reset();
        ::unlink(temporary.c_str());
        return false;
    };
    if (!hostio::writeAll(fd.get(), *bytes)) {
        return failWith("cannot write " + temporary);
    }
    // mkstemp makes the file private; a BOM is as readable as the receipts beside it.
    if (::fchmod(fd.get(), 0644) != 0) {
        return failWith("cannot set the mode of " + temporary);
    }
    if (::close(fd.release()) != 0) {
        return failWith("cannot write " + temporary);
    }
    if (::rename(temporary.c_str(), hostPath.c_str()) != 0) {
        return failWith("cannot rename " + temporary + " to " + hostPath);
    }
    return true;
}
