#include "tests/e2e/TreeSnapshot.h"

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <vector>

namespace fs = std::filesystem;

namespace {

uint64_t contentHash(const fs::path& file) {
    uint64_t hash = 14695981039346656037ull;
    std::ifstream in(file, std::ios::binary);
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
        }
    }
    return hash;
}

std::string describeKind(const fs::path& item, const struct stat& st, TreeSnapshot::FolderTimes folderTimes) {
    const std::string mode = std::to_string(st.st_mode & 07777);
    if (S_ISDIR(st.st_mode)) {
        if (folderTimes == TreeSnapshot::FolderTimes::Compare) {
            return "folder " + mode + ", time " + std::to_string(st.st_mtim.tv_sec) + "." +
                   std::to_string(st.st_mtim.tv_nsec);
        }
        return "folder " + mode;
    }
    if (S_ISLNK(st.st_mode)) {
        return "link -> " + fs::read_symlink(item).string();
    }
    if (S_ISREG(st.st_mode)) {
        return "file " + mode + " " + std::to_string(st.st_size) + " bytes, hash " +
               std::to_string(contentHash(item)) + ", time " + std::to_string(st.st_mtim.tv_sec) + "." +
               std::to_string(st.st_mtim.tv_nsec);
    }
    return "other " + mode;
}

// Names and hashed values of an item's extended attributes (ACLs among them), sorted.
std::string attributesOf(const fs::path& item) {
    std::string names(65536, '\0');
    const ssize_t size = ::llistxattr(item.c_str(), names.data(), names.size());
    std::vector<std::string> listed;
    for (size_t start = 0; size > 0 && start < static_cast<size_t>(size);
         start = names.find('\0', start) + 1) {
        const std::string name = names.c_str() + start;
        std::string value(65536, '\0');
        const ssize_t got = ::lgetxattr(item.c_str(), name.c_str(), value.data(), value.size());
        value.resize(got < 0 ? 0 : static_cast<size_t>(got));
        listed.push_back(" " + name + "=" + std::to_string(std::hash<std::string>()(value)));
    }
    std::sort(listed.begin(), listed.end());
    std::string text;
    for (const std::string& attribute : listed) {
        text += attribute;
    }
    return text;
}

std::string describe(const fs::path& item, TreeSnapshot::FolderTimes folderTimes) {
    struct stat st {};
    if (::lstat(item.c_str(), &st) != 0) {
        return "?";
    }
    return describeKind(item, st, folderTimes) + ", owner " + std::to_string(st.st_uid) + ":" +
           std::to_string(st.st_gid) + attributesOf(item);
}

} // namespace

TreeSnapshot TreeSnapshot::take(const std::string& hostFolder, FolderTimes folderTimes) {
    TreeSnapshot snapshot;
    snapshot.mItems.emplace(".", describe(hostFolder, folderTimes));
    for (auto it = fs::recursive_directory_iterator(hostFolder); it != fs::recursive_directory_iterator();
         ++it) {
        if (it->path().native().size() > 3800) {
            it.disable_recursion_pending();
        }
        snapshot.mItems.emplace(fs::relative(it->path(), hostFolder).string(),
                                describe(it->path(), folderTimes));
    }
    return snapshot;
}

std::string TreeSnapshot::differences(const TreeSnapshot& after, size_t limit) const {
    std::string lines;
    size_t count = 0;
    auto note = [&](char mark, const std::string& path, const std::string& what) {
        if (count++ < limit) {
            lines += std::string(1, mark) + " " + path + " (" + what + ")\n";
        }
    };
    for (const auto& [path, description] : mItems) {
        const auto found = after.mItems.find(path);
        if (found == after.mItems.end()) {
            note('-', path, description);
        } else if (found->second != description) {
            note('~', path, description + " -> " + found->second);
        }
    }
    for (const auto& [path, description] : after.mItems) {
        if (!mItems.contains(path)) {
            note('+', path, description);
        }
    }
    if (count > limit) {
        lines += "... and " + std::to_string(count - limit) + " more\n";
    }
    return lines;
}
