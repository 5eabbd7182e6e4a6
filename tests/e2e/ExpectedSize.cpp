#include "tests/e2e/ExpectedSize.h"

#include "tests/support/TestBundle.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>

#include <fnmatch.h>
#include <sys/stat.h>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

const char* const kPpdFolder = "/Library/Printers/PPDs/Contents/Resources/";

std::vector<std::string> stringsOf(const PlistValue* value) {
    return value != nullptr ? value->asStringArray().value_or(std::vector<std::string>())
                            : std::vector<std::string>();
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

bool isRegularFile(const TestSystem& system, const std::string& systemPath) {
    struct stat st {};
    return ::lstat(system.host(systemPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// "/a/./b//c" → "/a/b/c"; the fixtures' install folders and item paths join into such paths.
std::string normalized(const std::string& path) {
    return fs::path(path).lexically_normal().generic_string();
}

bool coveredByAny(const std::vector<std::string>& entries, const std::string& path) {
    return std::any_of(entries.begin(), entries.end(),
                       [&](const std::string& entry) { return ExpectedSize::covers(entry, path); });
}

void addPackageFiles(const TestSystem& system, const PackageDescription& package, ReceiptLayout layout,
                     std::set<std::string>& files) {
    const std::string folder = ExpectedSize::installFolder(package, layout);
    for (const PackageItem& item : package.items) {
        const std::string path = normalized("/" + folder + "/" + item.path);
        if (item.kind == PackageItemKind::File && isRegularFile(system, path)) {
            files.insert(path);
        }
    }
}

std::string gunzip(const std::string& bytes) {
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 32) != Z_OK) {
        return {};
    }
    std::string out;
    char buffer[16384];
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END ? out : std::string();
}

// The values of a PPD's "*cupsFilter:" lines, the quotes taken off.
std::vector<std::string> cupsFilters(const TestSystem& system, const std::string& ppd) {
    std::string text = system.read(ppd);
    if (text.starts_with("\x1f\x8b")) {
        text = gunzip(text);
    }
    std::vector<std::string> filters;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const size_t open = line.find('"');
        const size_t close = line.rfind('"');
        if (line.starts_with("*cupsFilter:") && open != std::string::npos && close > open) {
            filters.push_back(line.substr(open + 1, close - open - 1));
        }
    }
    return filters;
}

std::set<std::string>
removedFiles(const std::string& name, const TestSystem& system,
             const std::vector<std::pair<const PackageDescription*, ReceiptLayout>>& packages,
             std::vector<std::string> removePaths, std::vector<std::string> restPaths) {
    const PlistValue information = TestBundle::shippedInformation();
    const PlistValue info = TestBundle::shippedInfo();
    const std::vector<std::string> shared = stringsOf(info.find("EXRestPathList"));
    restPaths.insert(restPaths.end(), shared.begin(), shared.end());
    if (const PlistValue* groups = information.find("CVExtendRemovePath")) {
        for (const PlistValue& group : groups->asArray()) {
            if (contains(stringsOf(group.find("softwarename")), name)) {
                const std::vector<std::string> extra = stringsOf(group.find("removepath"));
                removePaths.insert(removePaths.end(), extra.begin(), extra.end());
            }
        }
    }

    std::set<std::string> files;
    for (const auto& [package, layout] : packages) {
        addPackageFiles(system, *package, layout, files);
    }
    std::erase_if(files, [&](const std::string& file) { return coveredByAny(restPaths, file); });
    for (const std::string& path : system.tree()) {
        if (coveredByAny(removePaths, path) && isRegularFile(system, path)) {
            files.insert(path);
        }
    }
    const PlistValue* ppdInformation = information.find("CVRemovePPDInformation");
    if (ppdInformation != nullptr && contains(stringsOf(ppdInformation->find("softwarename")), name)) {
        const std::vector<std::string> wanted = stringsOf(ppdInformation->find("cupsfilter"));
        for (const std::string& ppd : system.tree(kPpdFolder)) {
            const std::string fileName = fs::path(ppd).filename().string();
            if (fs::path(ppd).parent_path().string() + "/" != kPpdFolder || !fileName.starts_with("TORVA") ||
                !isRegularFile(system, ppd)) {
                continue;
            }
            for (const std::string& filter : cupsFilters(system, ppd)) {
                if (contains(wanted, filter)) {
                    files.insert(ppd);
                }
            }
        }
    }

    return files;
}

int64_t sizeOf(const std::string& name, const TestSystem& system,
               const std::vector<std::pair<const PackageDescription*, ReceiptLayout>>& packages,
               const std::vector<std::string>& removePaths, const std::vector<std::string>& restPaths) {
    int64_t total = 0;
    for (const std::string& file : removedFiles(name, system, packages, removePaths, restPaths)) {
        total += static_cast<int64_t>(fs::file_size(system.host(file)));
    }
    return total;
}

std::vector<std::pair<const PackageDescription*, ReceiptLayout>>
packagesOf(const SoftwareSpec& spec, const std::vector<PackageDescription>& softwareUpdatePackages) {
    std::vector<std::pair<const PackageDescription*, ReceiptLayout>> packages;
    for (const PackageDescription& package : softwareUpdatePackages) {
        packages.emplace_back(&package, ReceiptLayout::AppleSystemReceipts);
    }
    for (const SoftwarePackage& package : spec.packages) {
        if (package.listedInFile) {
            packages.emplace_back(&package.spec, package.layout);
        }
    }
    return packages;
}

} // namespace

bool ExpectedSize::covers(const std::string& entry, const std::string& path) {
    if (entry.find('*') == std::string::npos) {
        return path == entry || path.starts_with(entry + "/");
    }
    for (std::string candidate = path; candidate.size() > 1; candidate = fs::path(candidate).parent_path()) {
        if (::fnmatch(entry.c_str(), candidate.c_str(), FNM_PATHNAME) == 0) {
            return true;
        }
    }
    return false;
}

std::string ExpectedSize::installFolder(const PackageDescription& package, ReceiptLayout layout) {
    if (layout == ReceiptLayout::Bundle) {
        return package.relocatedPath.value_or(package.receiptLocation.value_or("/"));
    }
    return package.installPrefix.value_or("");
}

std::set<std::string> ExpectedSize::filesOf(const TestSystem& system, const SoftwareSpec& spec,
                                            const std::vector<PackageDescription>& softwareUpdatePackages,
                                            const std::vector<std::string>& moreRestPaths) {
    std::vector<std::string> rest = spec.restPaths.value_or(std::vector<std::string>());
    rest.insert(rest.end(), moreRestPaths.begin(), moreRestPaths.end());
    return removedFiles(spec.name, system, packagesOf(spec, softwareUpdatePackages),
                        spec.removePaths.value_or(std::vector<std::string>()), rest);
}

int64_t ExpectedSize::of(const TestSystem& system, const SoftwareSpec& spec,
                         const std::vector<PackageDescription>& softwareUpdatePackages) {
    return sizeOf(spec.name, system, packagesOf(spec, softwareUpdatePackages),
                  spec.removePaths.value_or(std::vector<std::string>()),
                  spec.restPaths.value_or(std::vector<std::string>()));
}

int64_t ExpectedSize::ofReceipts(const TestSystem& system, const std::string& displayName,
                                 const std::vector<PackageDescription>& packages) {
    std::vector<std::pair<const PackageDescription*, ReceiptLayout>> described;
    for (const PackageDescription& package : packages) {
        described.emplace_back(&package, ReceiptLayout::AppleSystemReceipts);
    }
    return sizeOf(displayName, system, described, {}, {});
}

std::string ExpectedSize::megabytes(int64_t bytes) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / 1024.0 / 1024.0);
    return text;
}
