#pragma once

#include "tests/support/PackageFixture.h"
#include "tests/support/TestSystem.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Describes a whole installed software in a few lines: its packages (files, BOMs, receipts), its
// uninstall information file with rest and remove paths, scripts and texts, and writes it all.
//
//     SoftwareSpec fax{.name = "PC-FAX Driver",
//                      .packages = {{.spec = {.identifier = "com.torva.pkg.Fax",
//                                             .installPrefix = "Library/Printers",
//                                             .items = {PackageItem::file("TORVA/Fax/fax.bin", "x")}}}},
//                      .restPaths = std::vector<std::string>{"/Library/Printers/TORVA/Common"}};
//     SoftwareFixture::install(system, fax);

/// One package of a software: how it is installed and how the uninstall information file names it.
struct SoftwarePackage {
    PackageDescription spec{};
    ReceiptLayout layout = ReceiptLayout::Database;
    std::string packageName = "-";    ///< "PackageName" in the file
    std::string packageType = "Flat"; ///< "PackageType" in the file ("Bundle" for a bundle package)
    bool listedInFile = true;         ///< false: installed, but the file does not name it
};

struct SoftwareSpec {
    std::string name{};                               ///< "ApplicationName"
    std::string fileName{};                           ///< the file's software name; `name` when empty
    std::optional<std::string> versionBundle = "-";   ///< "ApplicationVersionBundle"
    std::optional<std::string> versionString = "1.0"; ///< "ApplicationVersionString"
    std::vector<SoftwarePackage> packages{};
    bool writePackageInfo = true;                          ///< false leaves "PackageInfo" out
    std::optional<std::vector<std::string>> restPaths{};   ///< "RestPathList"
    std::optional<std::vector<std::string>> removePaths{}; ///< "RemovePathList"
    std::optional<std::vector<std::string>> allSoftwareRestPaths{};
    std::optional<std::vector<std::string>> dockItems{};
    std::optional<std::vector<std::string>> loginItems{};
    std::optional<std::vector<std::string>> launchAgents{};
    std::optional<std::vector<std::string>> preUninstall{};
    std::optional<std::vector<std::string>> postUninstall{};
    std::vector<std::pair<std::string, std::string>> explanations{};
};

class SoftwareFixture {
public:
    /// Installs the packages and writes "/Library/Preferences/com.torva.<name>.UnInstallList.plist".
    static void install(const TestSystem& system, const SoftwareSpec& spec);

    /// The uninstall information file's dictionary for a spec.
    static PlistValue informationFile(const SoftwareSpec& spec);

    /// Writes an uninstall information file as the maker's installers do: the property list in XML,
    /// Base64-encoded in lines of 64 characters.
    static void writeInformationFile(const TestSystem& system, const std::string& softwareName,
                                     const PlistValue& root);

    /// The file name for a software name.
    static std::string informationFileName(const std::string& softwareName);

    /// Base64 in lines of 64 characters, each ending in a line feed (what "openssl base64" writes).
    static std::string base64(const std::string& bytes);

    /// Writes a PPD in the PPD folder with one cupsFilter line, plain or gzip-compressed.
    static void writePpd(const TestSystem& system, const std::string& fileName, const std::string& cupsFilter,
                         bool compressed);

    /// gzip data of some bytes.
    static std::string gzip(const std::string& bytes);
};
