#pragma once

#include "analysis/FileSizeTable.h"
#include "analysis/PathKind.h"
#include "analysis/ProtectedItem.h"
#include "analysis/RefusedEntry.h"
#include "analysis/SoftwarePaths.h"
#include "analysis/WildCardPath.h"
#include "common/CommonFunctions.h"
#include "common/PackageInfoEntry.h"
#include "platform/FileAttributes.h"
#include "platform/PlistValue.h"
#include "platform/UserAccountManager.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct ppd_file_s ppd_file_t;
class WildCardPattern;

/// Works out, for one software at a time, what an uninstall deletes: the file list, the folder list
/// and the link list.
///
/// The lists are filled from the packages' bills of materials, then kept paths are taken out and extra
/// paths added, protected folders leave the folder list, and the maker's PPD files join the file list.
/// Last, whatever no uninstall may take leaves all three lists (SystemFloor, RecordFiles), and a
/// software whose remove paths ask for the floor or a protected subtree is refused whole. Every path in a
/// list is an absolute, standardized system path.
class AnalyzePathManager {
public:
    std::vector<std::string>& getMUnInstallFilePathArray() { return mUnInstallFilePathArray; }
    std::vector<std::string>& getMUnInstallFolderPathArray() { return mUnInstallFolderPathArray; }
    std::vector<std::string>& getMUnInstallLinkPathArray() { return mUnInstallLinkPathArray; }
    const std::vector<std::string>& getMUnInstallFilePathArray() const { return mUnInstallFilePathArray; }
    const std::vector<std::string>& getMUnInstallFolderPathArray() const { return mUnInstallFolderPathArray; }
    const std::vector<std::string>& getMUnInstallLinkPathArray() const { return mUnInstallLinkPathArray; }

    /// Empties the file, folder or link list.
    void removeMUnInstallAllObjectArrayPath(PathKind kind);

    /// The sum of the sizes of the files of the file list: each as the look that listed it saw it, or,
    /// for a file no look measured, as it is now (nothing for a file that is gone).
    uint64_t totalFileSize();

    /// What the lists leave out because no uninstall may take it, since the last buildRemovalLists.
    const std::vector<ProtectedItem>& getMProtectedItems() const { return mProtectedItems; }

    /// The entries of the last merge's remove paths that ask for what no uninstall may touch. When there
    /// are any, mergeExtenstionPath leaves all three lists empty: the software is refused whole.
    const std::vector<RefusedEntry>& getMRefusedEntries() const { return mRefusedEntries; }

    /// What could not be looked at while the lists were built (an unreadable bill of materials or entries
    /// of one left out, a folder that cannot be listed, paths too long to use), one sentence each.
    const std::vector<std::string>& getMWarnings() const { return mWarnings; }
    void clearWarnings() { mWarnings.clear(); }

    // --- Bills of materials --------------------------------------------------------------------------

    /// The items of one kind that the BOM lists and that exist on disk as that kind, as full paths under
    /// the install root (volume joined with install point), the install root itself among the folders.
    /// The BOM file is opened inside the system root and read in this process. nullopt for an absent BOM
    /// path or a BOM that cannot be opened; a BOM that cannot be read (damaged, over the reader's limits)
    /// gives only the install root and a warning. Entries whose names hold a line feed, a tab or a NUL,
    /// or whose paths climb with "..", are left out with a warning, as are items reached through a
    /// symbolic link below the install root.
    std::optional<std::vector<std::string>> getPathListAtBOM(const std::optional<std::string>& bomPath,
                                                             const std::optional<std::string>& installPoint,
                                                             const std::optional<std::string>& targetVolume,
                                                             PathKind kind);

    /// Appends the BOM's existing files, folders and links to the three lists (each path once per BOM).
    void getUnInstallPath(const std::optional<std::string>& bomPath,
                          const std::optional<std::string>& installPoint,
                          const std::optional<std::string>& targetVolume);

    // --- Wildcard expansion --------------------------------------------------------------------------

    /// Strips shell quoting: backslashes escape the next character, quotes at either end are dropped.
    static std::optional<std::string> removeUnUseSignal(const std::optional<std::string>& text);
    static bool checkWildCard(const std::string& text);
    /// Splits a path at its first component with "*"; nullopt for an absent path or one without "*".
    static std::optional<WildCardPath> apartWildCardPath(const std::optional<std::string>& path);
    /// A wildcard tail as a find regular expression: ".*" + tail ("*" → ".*", "." → "\.") + ".*".
    static std::optional<std::string> convertRegularExplession(const std::optional<std::string>& tail);
    /// The paths an entry stands for now: a plain path gives its readable items below it and then itself;
    /// a wildcard path the paths below its search root that its tail matches, found as find(1) would
    /// (no link followed), followed by an empty path. nullopt when nothing can be expanded.
    std::optional<std::vector<std::string>> apartPathList(const std::optional<std::string>& path);

    // --- Kept and extra paths ------------------------------------------------------------------------

    /// The rest path list followed by the application's "EXRestPathList".
    std::vector<std::string>
    addExtensionRestPathList(const std::optional<std::vector<std::string>>& restPathList);
    /// The distinct paths of both lists.
    static std::vector<std::string>
    addAllSoftwareRestPathList(const std::optional<std::vector<std::string>>& restPaths,
                               const std::optional<std::vector<std::string>>& allSoftwareRestPaths);
    /// Rebuilds the lists as (listed − expanded rest paths) ∪ expanded remove paths, kind by kind as the
    /// items are on disk now, each path once. A remove entry that names, or expands into, a path that
    /// SystemFloor protects is noted in getMRefusedEntries().
    void mergeRemovePath(const std::optional<std::vector<std::string>>& removePathList,
                         const std::optional<std::vector<std::string>>& restPathList);

    // --- Protected folders ---------------------------------------------------------------------------

    const std::vector<std::string>& individualPathList();
    const std::vector<std::string>& lowerLayerPathList();
    /// Takes the individual paths and every folder at or below a lower-layer path out of the folder list.
    void removeSystemPath();
    void removeIndividualPathFromUninstallFolderPath();
    void removeLowerLayerPathFromUninstallFolderPath();
    bool isIncludeLowerLayerPath(const std::string& path);
    /// Takes out of all three lists what no uninstall may take, noting each in getMProtectedItems(): what
    /// SystemFloor protects (its floor folders silently, since every package lists the system's folders
    /// as the parents of its own), and uninstall information files and receipts, which only their own
    /// software's information-file and receipt steps remove.
    void removeProtectedItems();

    // --- Extension paths and PPD files ---------------------------------------------------------------

    /// The remove path list followed by the "removepath" entries of every "CVExtendRemovePath" group that
    /// names the software.
    std::vector<std::string>
    addExtensionRemovePathList(const std::optional<std::vector<std::string>>& removePathList,
                               const std::optional<std::string>& applicationName);
    /// A group's "removepath" list when its "softwarename" names the software; nullopt otherwise.
    static std::optional<std::vector<std::string>>
    getExtensionRemovePath(const PlistValue* group, const std::optional<std::string>& applicationName);
    /// The "softwarename" list of "CVRemovePPDInformation"; nullopt when the resource file cannot be read.
    std::optional<std::vector<std::string>> getSoftwareNameAtCVInformation();
    /// The direct entries of a folder whose names pass the prefix and suffix tests, as full paths.
    static std::optional<std::vector<std::string>> getPathList(const std::optional<std::string>& folder,
                                                               const std::optional<std::string>& prefix,
                                                               const std::optional<std::string>& suffix);
    /// Appends each PPD file whose cupsFilter values include a listed "cupsfilter" value (once).
    void addRemovePPDFilePath(const std::optional<std::vector<std::string>>& ppdFiles);
    /// True when some cupsFilter value of the PPD equals one of `filters` byte for byte.
    static bool checkCupsFilter(const ppd_file_t* ppd,
                                const std::optional<std::vector<std::string>>& filters);
    /// The analysis after the BOM step: kept paths out, remove and extension paths in, protected folders
    /// out, the maker's PPD files in. The kept paths pooled from all catalogued software are taken out too
    /// when `allSoftwareRestPaths` is given (see buildRemovalLists).
    void
    mergeExtenstionPath(const SoftwarePaths& software,
                        const std::optional<std::vector<std::string>>& allSoftwareRestPaths = std::nullopt);

    /// The lists of one software, built afresh: each package's BOM (found as the system version calls
    /// for; a package whose BOM is gone adds nothing), then mergeExtenstionPath.
    ///
    /// The installed size passes no `allSoftwareRestPaths`: it is worked out software by software while
    /// the catalogue is still being read, before the pool is complete, and tells what the software itself
    /// installed. The uninstall passes the pool, so that nothing another installed software keeps goes.
    void buildRemovalLists(const std::vector<PackageInfoEntry>& packages, const SoftwarePaths& software,
                           const std::optional<std::vector<std::string>>& allSoftwareRestPaths);

    /// The folder of the PPD files that the printer drivers' PPD step examines.
    static constexpr const char* kPpdFolder = "/Library/Printers/PPDs/Contents/Resources";

    /// Why a BOM entry's path cannot be listed.
    enum class BomPathProblem { None, OddName, Climbs };
    /// Appends the path of a BOM entry ("." or "./a/b" as the BOM gives it) below the install root to
    /// `out` in standard form: names joined by single "/", nothing for the install root itself. Gives
    /// the problem, and leaves `out` in an unspecified state, for a name holding a line feed, a tab or a
    /// NUL, or a ".." name.
    static BomPathProblem appendBomRelativePath(std::string_view entryPath, std::string& out);

private:
    using BomListing = std::array<std::vector<std::string>, 3>; // by PathKind
    /// One path an entry of a rest or remove list stands for, with its attributes when it exists.
    struct ExpandedItem {
        std::string path;
        std::optional<FileAttributes> attributes;
        bool complete = true; ///< false when only the kind of the item is known
    };

    std::vector<std::string>& listOf(PathKind kind);
    std::optional<BomListing> listBom(const std::optional<std::string>& bomPath,
                                      const std::optional<std::string>& installPoint,
                                      const std::optional<std::string>& targetVolume);
    std::optional<std::vector<ExpandedItem>> expandEntry(const std::optional<std::string>& text);
    void walkMatching(const std::string& start, const WildCardPattern& pattern,
                      std::vector<ExpandedItem>& out);
    void createSystemPathList(std::optional<std::vector<std::string>>& field, const std::string& pathKey,
                              const std::string& userPathKey, bool insertUserFolder);
    void createIndividualPathList();
    void createLowerLayerPathList();
    std::optional<std::vector<ExpandedItem>> expandUsersWildCard(const WildCardPath& parts);

    std::vector<std::string> mUnInstallFilePathArray;
    std::vector<std::string> mUnInstallFolderPathArray;
    std::vector<std::string> mUnInstallLinkPathArray;
    std::optional<std::vector<std::string>> mIndividualPathArray;
    std::optional<std::vector<std::string>> mLowerLayerPathArray;
    // Sizes of the files the lists hold, from the same look that listed them.
    FileSizeTable mFileSizes;
    std::vector<std::string> mWarnings;
    std::vector<ProtectedItem> mProtectedItems;
    std::vector<RefusedEntry> mRefusedEntries;
    UserAccountManager usrManager;
    CommonFunctions cmnFuncs;
};
