#include "tests/support/PackageFixture.h"

#include "platform/Path.h"
#include "platform/PropertyList.h"
#include "tools/bom/BomWriter.h"

#include <filesystem>
#include <map>
#include <stdexcept>

namespace {

// Property-list dates count from 2001-01-01, BOM times from 1970.
constexpr double kAppleEpochOffset = 978307200;

void check(bool ok, const std::string& what) {
    if (!ok) {
        throw std::runtime_error("package fixture: " + what);
    }
}

std::string relativePath(std::string path) {
    while (path.starts_with("./")) {
        path.erase(0, 2);
    }
    while (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

BomEntry entryFor(const PackageItem& item, const std::string& bomPath) {
    switch (item.kind) {
    case PackageItemKind::Folder:
        return BomEntry::directory(bomPath);
    case PackageItemKind::Link:
        return BomEntry::link(bomPath, item.content);
    case PackageItemKind::File:
        break;
    }
    return BomEntry::file(bomPath, item.content);
}

void writeItem(const TestSystem& system, const std::string& systemPath, PackageItemKind kind,
               const std::string& content) {
    switch (kind) {
    case PackageItemKind::File:
        system.writeFile(systemPath, content);
        break;
    case PackageItemKind::Folder:
        system.makeFolder(systemPath);
        break;
    case PackageItemKind::Link:
        // Packages may share items; the later one's link replaces the earlier one's.
        if (system.isLink(systemPath)) {
            std::filesystem::remove(system.host(systemPath));
        }
        system.makeLink(systemPath, content);
        break;
    }
}

// The location a bundle receipt records, written "./Library/Printers/" or "/" and the like.
std::string bundleLocation(const PackageDescription& package) {
    std::string location = package.relocatedPath.value_or(package.receiptLocation.value_or("/"));
    if (location == ".") {
        return "/";
    }
    if (location.starts_with("./")) {
        location.erase(0, 1);
    }
    return location;
}

PlistValue receiptDictionary(const PackageDescription& package) {
    PlistValue receipt = plistDictionary({{"PackageIdentifier", package.identifier},
                                          {"PackageVersion", package.version},
                                          {"InstallDate", PlistValue::date(package.installDate)},
                                          {"InstallProcessName", package.processName},
                                          {"PackageFileName", package.identifier + ".pkg"}});
    if (package.installPrefix) {
        receipt.set("InstallPrefixPath", *package.installPrefix);
    }
    if (!package.groups.empty()) {
        receipt.set("PackageGroups", PlistValue::stringArray(package.groups));
    }
    return receipt;
}

PlistValue bundleInfo(const PackageDescription& package, const std::string& bundleName) {
    PlistValue info = plistDictionary(
        {{"CFBundleIdentifier", package.identifier},
         {"CFBundleShortVersionString", package.version},
         {"CFBundleName",
          bundleName.ends_with(".pkg") ? bundleName.substr(0, bundleName.size() - 4) : bundleName},
         {"IFPkgFlagDefaultLocation", "/"},
         {"IFPkgFlagRelocatable", PlistValue::boolean(false)}});
    if (package.relocatedPath) {
        info.set("IFPkgRelocatedPath", *package.relocatedPath);
    }
    if (package.receiptLocation) {
        info.set("IFPkgReceiptLocation", *package.receiptLocation);
    }
    return info;
}

} // namespace

PackageItem PackageItem::file(std::string path, std::string content) {
    return PackageItem{std::move(path), PackageItemKind::File, std::move(content), true, std::nullopt};
}

PackageItem PackageItem::folder(std::string path) {
    return PackageItem{std::move(path), PackageItemKind::Folder, {}, true, std::nullopt};
}

PackageItem PackageItem::link(std::string path, std::string target) {
    return PackageItem{std::move(path), PackageItemKind::Link, std::move(target), true, std::nullopt};
}

PackageItem PackageItem::notOnDisk() const {
    PackageItem copy = *this;
    copy.onDisk = false;
    return copy;
}

PackageItem PackageItem::onDiskAs(PackageItemKind kind) const {
    PackageItem copy = *this;
    copy.diskKind = kind;
    return copy;
}

std::vector<BomEntry> PackageFixture::bomEntries(const std::vector<PackageItem>& items, uint32_t mtime) {
    // Keyed by BOM path: an item that is also a folder on the way to another keeps its own kind.
    std::map<std::string, BomEntry> entries;
    entries.emplace(".", BomEntry::directory("."));
    for (const PackageItem& item : items) {
        const std::string relative = relativePath(item.path);
        check(!relative.empty() && relative.find("//") == std::string::npos, "bad item path " + item.path);
        const std::string bomPath = "./" + relative;
        entries.insert_or_assign(bomPath, entryFor(item, bomPath));
        for (size_t slash = bomPath.find('/', 2); slash != std::string::npos;
             slash = bomPath.find('/', slash + 1)) {
            entries.emplace(bomPath.substr(0, slash), BomEntry::directory(bomPath.substr(0, slash)));
        }
    }
    std::vector<BomEntry> result;
    result.reserve(entries.size());
    for (auto& [path, entry] : entries) {
        entry.mtime = mtime;
        result.push_back(std::move(entry));
    }
    return result;
}

void PackageFixture::writeRawBom(const TestSystem& system, const std::string& systemPath,
                                 const std::vector<BomEntry>& entries) {
    std::string error;
    const std::optional<std::string> bytes = BomWriter::write(entries, error);
    check(bytes.has_value(), "cannot write the BOM " + systemPath + ": " + error);
    system.writeFile(systemPath, *bytes);
}

void PackageFixture::writeBom(const TestSystem& system, const std::string& systemPath,
                              const std::vector<PackageItem>& items) {
    writeRawBom(system, systemPath, bomEntries(items));
}

InstalledPackage PackageFixture::install(const TestSystem& system, const PackageDescription& package,
                                         ReceiptLayout layout, const std::string& volume) {
    check(!package.identifier.empty(), "a package needs an identifier");
    InstalledPackage installed;
    const std::string location =
        layout == ReceiptLayout::Bundle ? bundleLocation(package) : package.installPrefix.value_or("");
    const std::string folder = path::standardize(path::join(volume, location));
    installed.installFolder = folder.empty() ? std::string("/") : folder;
    system.makeFolder(installed.installFolder);

    for (const PackageItem& item : package.items) {
        if (!item.onDisk) {
            continue;
        }
        // Standardizing keeps an item that climbs with ".." inside the test system, as "/.." is "/".
        const std::string where =
            path::standardize(path::join(installed.installFolder, relativePath(item.path)));
        writeItem(system, where, item.diskKind.value_or(item.kind), item.content);
    }

    const auto mtime = static_cast<uint32_t>(package.installDate + kAppleEpochOffset);
    const std::vector<BomEntry> entries = bomEntries(package.items, mtime);
    auto receiptIn = [&](const std::string& receiptFolder) {
        const std::string base = path::join(volume, receiptFolder) + "/" + package.identifier;
        installed.bomPath = base + ".bom";
        installed.receiptPath = base + ".plist";
        writeRawBom(system, installed.bomPath, entries);
        system.writePlist(installed.receiptPath, receiptDictionary(package), package.binaryReceipt);
    };
    switch (layout) {
    case ReceiptLayout::Database:
        receiptIn("/var/db/receipts");
        break;
    case ReceiptLayout::SystemReceipts:
        receiptIn("/System/Library/Receipts");
        break;
    case ReceiptLayout::AppleSystemReceipts:
        receiptIn("/Library/Apple/System/Library/Receipts");
        break;
    case ReceiptLayout::UserReceipts:
        receiptIn("/Library/Receipts");
        break;
    case ReceiptLayout::FlatBom:
        installed.bomPath = path::join(volume, "/Library/Receipts/boms/" + package.identifier + ".bom");
        writeRawBom(system, installed.bomPath, entries);
        break;
    case ReceiptLayout::Bundle: {
        const std::string name =
            package.bundleName.empty() ? package.identifier + ".pkg" : package.bundleName;
        const std::string contents = path::join(volume, "/Library/Receipts/" + name + "/Contents");
        installed.bomPath = contents + "/Archive.bom";
        installed.receiptPath = contents + "/Info.plist";
        writeRawBom(system, installed.bomPath, entries);
        system.writePlist(installed.receiptPath, bundleInfo(package, name), package.binaryReceipt);
        system.writeFile(contents + "/PkgInfo", "pmkrpkg1");
        break;
    }
    }
    return installed;
}
