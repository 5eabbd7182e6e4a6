#pragma once

#include "receipts/BomEntry.h"
#include "tests/support/TestSystem.h"

#include <optional>
#include <string>
#include <vector>

// Installs packages into a TestSystem in one call: the files on disk, the bill of materials and the
// receipt in the layout of the system version under test.
//
//     PackageDescription package{.identifier = "com.torva.pkg.Fax",
//                                .installPrefix = "Library/Printers",
//                                .items = {PackageItem::file("TORVA/Fax.plugin/Info.plist", "<plist/>"),
//                                          PackageItem::link("TORVA/Current", "Fax.plugin"),
//                                          PackageItem::file("TORVA/Gone.txt").notOnDisk()}};
//     InstalledPackage installed = PackageFixture::install(system, package, ReceiptLayout::Database);
//
// The BOM always lists "." and every folder on the way to an item, as real packages do. Everything
// is owned by 0/0 and dated at the install date. Failures throw std::runtime_error, as TestSystem's do.

/// The kind of an item, in the BOM or on disk.
enum class PackageItemKind { File, Folder, Link };

/// One path a package installed, relative to its install location.
struct PackageItem {
    std::string path{}; ///< "TORVA/Fax.plugin/Info.plist"; a leading "./" is allowed; ".." too
    PackageItemKind kind = PackageItemKind::File;
    std::string content{};                     ///< a file's content or a link's target
    bool onDisk = true;                        ///< false: only the BOM names it
    std::optional<PackageItemKind> diskKind{}; ///< on disk as this kind instead (the BOM is out of date)

    static PackageItem file(std::string path, std::string content = {});
    static PackageItem folder(std::string path);
    static PackageItem link(std::string path, std::string target);

    /// This item named by the BOM but not installed.
    PackageItem notOnDisk() const;
    /// This item installed as another kind than the BOM says (a folder's content is ignored, a file
    /// gets `content`, a link points to it).
    PackageItem onDiskAs(PackageItemKind kind) const;
};

/// A package and its receipt. Fields a layout does not use are ignored.
struct PackageDescription {
    std::string identifier{};                       ///< "PackageIdentifier", the receipt's file name
    std::string version = "1.0";                    ///< "PackageVersion"
    std::optional<std::string> installPrefix = "/"; ///< "InstallPrefixPath" as stored; nullopt leaves it out
    std::string processName = "installer";          ///< "InstallProcessName"
    double installDate = 600000000;                 ///< "InstallDate", seconds since 2001-01-01
    std::vector<std::string> groups{};              ///< "PackageGroups", left out when empty
    std::vector<PackageItem> items{};
    bool binaryReceipt = false; ///< write the receipt plist in binary form
    // Old bundle receipts:
    std::string bundleName{};                     ///< "NAME.pkg"; identifier + ".pkg" when empty
    std::optional<std::string> relocatedPath{};   ///< "IFPkgRelocatedPath", e.g. "./Library/Printers"
    std::optional<std::string> receiptLocation{}; ///< "IFPkgReceiptLocation"
};

/// Where a receipt lives, by system version.
enum class ReceiptLayout {
    Database,            ///< 10.6+: /var/db/receipts/<id>.plist and <id>.bom
    SystemReceipts,      ///< 10.11-10.14 Software Update: /System/Library/Receipts/<id>.plist, .bom
    AppleSystemReceipts, ///< 10.15+ Software Update: /Library/Apple/System/Library/Receipts/<id>.plist, .bom
    UserReceipts,        ///< a home-folder volume: /Library/Receipts/<id>.plist, .bom
    FlatBom,             ///< 10.5 flat package: /Library/Receipts/boms/<id>.bom, no plist
    Bundle,              ///< 10.3-10.5: /Library/Receipts/NAME.pkg/Contents/{Archive.bom,Info.plist,PkgInfo}
};

/// What install() wrote, as system paths.
struct InstalledPackage {
    std::string installFolder; ///< the folder the items were installed below
    std::string bomPath;
    std::string receiptPath; ///< the receipt plist (Contents/Info.plist of a bundle); empty for FlatBom
};

class PackageFixture {
public:
    /// Installs the items that are on disk below the install location and writes BOM and receipt.
    /// `volume` is a system folder standing for the volume ("/" or a home folder); receipt folders and
    /// the install location lie inside it. The install location is the volume plus "InstallPrefixPath";
    /// for a bundle receipt "IFPkgRelocatedPath", else "IFPkgReceiptLocation", else the volume.
    static InstalledPackage install(const TestSystem& system, const PackageDescription& package,
                                    ReceiptLayout layout = ReceiptLayout::Database,
                                    const std::string& volume = "/");

    /// The BOM entries for items: ".", every folder on the way, then the items themselves.
    static std::vector<BomEntry> bomEntries(const std::vector<PackageItem>& items, uint32_t mtime = 0);

    /// Writes a BOM naming the items (with "." and the folders on the way) at a system path.
    static void writeBom(const TestSystem& system, const std::string& systemPath,
                         const std::vector<PackageItem>& items);

    /// Writes a BOM of exactly these entries at a system path (nothing added).
    static void writeRawBom(const TestSystem& system, const std::string& systemPath,
                            const std::vector<BomEntry>& entries);
};
