#pragma once

#include "analysis/AnalyzePathManager.h"
#include "catalogue/DisplayRecord.h"
#include "catalogue/SearchSoftwareInformationManager.h"
#include "catalogue/SoftwareInformationRecord.h"
#include "catalogue/SoftwareUpdateGroup.h"
#include "common/CommonFunctions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct UnInstallInformation;

/// The catalogue: one full record per installed software for the uninstall engine, one display record
/// per table row, and the pool of paths that no uninstall may delete.
class StoreSoftwareInformationManager {
public:
    /// Builds the whole catalogue from the uninstall information files found (names in
    /// "/Library/Preferences/") and the Software Update receipts. A file that gives no record is passed
    /// over and reported in getMWarnings(). true when any record was stored.
    bool storeSoftwareInformation(const std::vector<std::string>& names);

    /// The software name inside "com.torva.<name>.UnInstallList.plist"; nullopt for another name.
    static std::optional<std::string> getApplicationName(const std::string& fileName);

    // --- Uninstall information files -----------------------------------------------------------------

    /// The decoded bytes of "/Library/Preferences/<name>" (Base64, decoded in memory as "openssl base64
    /// -d" decodes it); nullopt, with `problem` saying why, unless the file is a regular file (not a
    /// link) that decodes to something. Nothing is written anywhere.
    static std::optional<std::string> decodeUnInstallPList(const std::optional<std::string>& name,
                                                           std::string* problem = nullptr);
    /// The "CFBundleShortVersionString" of an application bundle; "-" when it has none.
    static std::optional<std::string>
    getApplicationVersionBundle(const std::optional<std::string>& bundlePath);
    /// One record per valid file; true when one was stored.
    bool storeSoftwareInformationForPackage(const std::vector<std::string>& names);

    // --- Software Update receipts --------------------------------------------------------------------

    /// The groups present for a group name, or for all of them with "File Exist Code"; nullopt when none.
    std::optional<SoftwareUpdateGroups> searchSoftwareUpdateAppName(const std::string& name);
    /// One receipt-only record per group; false only for an absent argument.
    bool storeSoftwareInformationForSoftwareUpdate(const std::optional<SoftwareUpdateGroups>& groups);
    /// Records merging a file with its group's receipts (receipt packages first); true when one was stored.
    bool storeSoftwareInformationForIntermixed(const std::vector<std::string>& names);

    // --- Sizes ---------------------------------------------------------------------------------------

    /// Bytes an uninstall of the software would free: its removal lists built as an uninstall builds
    /// them, the files' sizes added up. 0 without packages.
    int64_t getApplicationSize(const std::optional<std::vector<PackageInfoEntry>>& packages,
                               const SoftwarePaths& software);

    // --- State ---------------------------------------------------------------------------------------

    void gatheringAllSoftwareRestPathListDictionary(const std::optional<std::vector<std::string>>& paths);
    /// The pooled "AllSoftwareRestPathList" paths, each once.
    std::vector<std::string> getMergedAllSoftwareRestPathList() const;
    /// What was passed over while the catalogue was built (uninstall information files that gave no
    /// record), one sentence each.
    const std::vector<std::string>& getMWarnings() const { return mWarnings; }
    std::vector<SoftwareInformationRecord>& getMSoftwareInformationArray() {
        return mSoftwareInformationArray;
    }
    const std::vector<SoftwareInformationRecord>& getMSoftwareInformationArray() const {
        return mSoftwareInformationArray;
    }
    std::vector<DisplayRecord>& getMSoftwareInformationForDisplayArray() {
        return mSoftwareInformationForDisplayArray;
    }
    const std::vector<DisplayRecord>& getMSoftwareInformationForDisplayArray() const {
        return mSoftwareInformationForDisplayArray;
    }

private:
    std::optional<UnInstallInformation> readUnInstallInformation(const std::string& name,
                                                                 std::string& problem);
    void reportSkippedFile(const std::string& name, const std::string& problem);
    void appendRecords(SoftwareInformationRecord full, DisplayRecord display);
    /// Stores the full and display records of a valid uninstall information file.
    void storeFileRecords(const UnInstallInformation& info, const std::string& name,
                          std::vector<PackageInfoEntry> packages, const std::string& version,
                          RecordSource source);
    void groupDisplayRecords();

    std::vector<SoftwareInformationRecord> mSoftwareInformationArray;
    std::vector<DisplayRecord> mSoftwareInformationForDisplayArray;
    StringSet mAllSoftwareRestPathListDictionary;
    std::vector<std::string> mWarnings;
    CommonFunctions cmnFuncs;
    AnalyzePathManager analyzePath;
    SearchSoftwareInformationManager searchManager;
};
