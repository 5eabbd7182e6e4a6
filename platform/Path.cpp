#include "platform/Path.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace path {

std::string standardize(std::string_view path) {
    if (path.empty()) {
        return {};
    }
    const bool absolute = path.front() == '/';
    std::vector<std::string_view> kept;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string_view::npos) {
            slash = path.size();
        }
        std::string_view part = path.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (!kept.empty() && kept.back() != "..") {
                kept.pop_back();
            } else if (!absolute) {
                kept.push_back(part);
            }
            continue;
        }
        kept.push_back(part);
    }
    std::string out(absolute ? 1 : 0, '/');
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) {
            out += '/';
        }
        out += kept[i];
    }
    if (out.empty() && !absolute) {
        // "." or "a/.." stand for the current folder.
        return ".";
    }
    return out;
}

std::string join(std::string_view base, std::string_view component) {
    if (base.empty()) {
        return std::string(component);
    }
    if (component.empty()) {
        return std::string(base);
    }
    std::string out(base);
    while (out.size() > 1 && out.back() == '/') {
        out.pop_back();
    }
    size_t start = 0;
    while (start < component.size() && component[start] == '/') {
        ++start;
    }
    if (out != "/") {
        out += '/';
    }
    out.append(component.substr(start));
    return out;
}

std::string lastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    if (path == "/") {
        return "/";
    }
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string deletingLastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return {};
    }
    if (slash == 0) {
        return "/";
    }
    std::string_view head = path.substr(0, slash);
    while (head.size() > 1 && head.back() == '/') {
        head.remove_suffix(1);
    }
    return std::string(head);
}

std::vector<std::string> components(std::string_view path) {
    std::vector<std::string> parts;
    if (!path.empty() && path.front() == '/') {
        parts.emplace_back("/");
    }
    size_t pos = 0;
    while (pos < path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string_view::npos) {
            slash = path.size();
        }
        if (slash > pos) {
            parts.emplace_back(path.substr(pos, slash - pos));
        }
        pos = slash + 1;
    }
    return parts;
}

std::string fromComponents(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts) {
        out = out.empty() ? part : join(out, part);
    }
    return out;
}

bool isInFolder(std::string_view path, std::string_view folder) {
    if (path == folder) {
        return true;
    }
    if (folder == "/") {
        return !path.empty() && path.front() == '/';
    }
    return path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
           path[folder.size()] == '/';
}

namespace {

// An absolute path with no empty, "." or ".." component and no trailing "/" (the lists' usual form).
bool isStandardAbsolute(std::string_view path) {
    if (path.empty() || path.front() != '/') {
        return false;
    }
    if (path.size() == 1) {
        return true;
    }
    size_t start = 1;
    for (;;) {
        const size_t slash = path.find('/', start);
        const std::string_view part = path.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        if (slash == std::string_view::npos) {
            return true;
        }
        start = slash + 1;
    }
}

} // namespace

std::string comparisonKey(std::string_view systemPath) {
    std::string standard =
        isStandardAbsolute(systemPath) ? std::string(systemPath) : standardize(join("/", systemPath));
    // ASCII letters are lower-cased in the same pass that looks for anything else.
    bool ascii = true;
    for (char& c : standard) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (ascii) {
        return standard;
    }
    // Unicode's folding takes over (it folds a lower-cased ASCII letter as it folds the upper-case one);
    // text it refuses keeps the ASCII lower-casing alone.
    utf8proc_uint8_t* mapped = nullptr;
    const utf8proc_ssize_t length = utf8proc_map(
        reinterpret_cast<const utf8proc_uint8_t*>(standard.data()),
        static_cast<utf8proc_ssize_t>(standard.size()), &mapped,
        static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_DECOMPOSE | UTF8PROC_CASEFOLD));
    const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owned(mapped, &std::free);
    if (length >= 0) {
        return {reinterpret_cast<const char*>(mapped), static_cast<size_t>(length)};
    }
    std::transform(standard.begin(), standard.end(), standard.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return standard;
}

bool isSameItem(std::string_view a, std::string_view b) {
    return comparisonKey(a) == comparisonKey(b);
}

bool isWithin(std::string_view path, std::string_view folder) {
    return isInFolder(comparisonKey(path), comparisonKey(folder));
}

bool isStrictlyWithin(std::string_view path, std::string_view folder) {
    const std::string key = comparisonKey(path);
    const std::string folderKey = comparisonKey(folder);
    return key != folderKey && isInFolder(key, folderKey);
}

} // namespace path
