#include "analysis/AnalyzePathManager.h"

#include "analysis/PpdReader.h"
#include "analysis/WildCardPattern.h"
#include "common/RecordFiles.h"
#include "platform/ConfinedFolder.h"
#include "platform/FileManager.h"
#include "platform/FolderWalker.h"
#include "platform/Path.h"
#include "platform/SystemFloor.h"
#include "platform/SystemVersion.h"
#include "receipts/BomReader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <unordered_set>

namespace {

// The strings of an array value; elements of another type are passed over, so that one bad entry of
// the application's own data neither protects nor keeps less than the rest says.
std::vector<std::string> stringsOf(const PlistValue* value) {
    std::vector<std::string> strings;
    if (value == nullptr || !value->isArray()) {
        return strings;
    }
    for (const PlistValue& item : value->asArray()) {
        if (item.isString()) {
            strings.push_back(item.asString());
        }
    }
    return strings;
}

std::optional<PathKind> kindOf(BomEntry::Type type) {
    switch (type) {
    case BomEntry::Type::File:
        return PathKind::File;
    case BomEntry::Type::Directory:
        return PathKind::Folder;
    case BomEntry::Type::Link:
        return PathKind::Link;
    default:
        return std::nullopt;
    }
}

std::optional<PathKind> kindOf(FileType type) {
    switch (type) {
    case FileType::Regular:
        return PathKind::File;
    case FileType::Directory:
        return PathKind::Folder;
    case FileType::SymbolicLink:
        return PathKind::Link;
    default:
        return std::nullopt;
    }
}

void sortUnique(std::vector<std::string>& paths) {
    if (!std::is_sorted(paths.begin(), paths.end())) {
        std::sort(paths.begin(), paths.end());
    }
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
}

// Adds `more` (each path once) to the sorted list `list`, keeping it in name order without sorting it
// whole: the paths come in large batches (a package, a folder), each mostly in order already.
void mergeInto(std::vector<std::string>& list, std::vector<std::string>& more) {
    sortUnique(more);
    const auto before = static_cast<std::ptrdiff_t>(list.size());
    list.insert(list.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    std::inplace_merge(list.begin(), list.begin() + before, list.end());
}

FileType fileTypeOf(PathKind kind) {
    switch (kind) {
    case PathKind::File:
        return FileType::Regular;
    case PathKind::Folder:
        return FileType::Directory;
    case PathKind::Link:
        return FileType::SymbolicLink;
    }
    return FileType::Unknown;
}

} // namespace

std::vector<std::string>& AnalyzePathManager::listOf(PathKind kind) {
    switch (kind) {
    case PathKind::File:
        return mUnInstallFilePathArray;
    case PathKind::Folder:
        return mUnInstallFolderPathArray;
    case PathKind::Link:
        break;
    }
    return mUnInstallLinkPathArray;
}

void AnalyzePathManager::removeMUnInstallAllObjectArrayPath(PathKind kind) {
    listOf(kind).clear();
    if (kind == PathKind::File) {
        mFileSizes.clear();
    }
}

std::optional<AnalyzePathManager::BomListing>
AnalyzePathManager::listBom(const std::optional<std::string>& bomPath,
                            const std::optional<std::string>& installPoint,
                            const std::optional<std::string>& targetVolume) {
    if (!bomPath) {
        return std::nullopt;
    }
    // Opened inside the system root: no link leads to a file elsewhere, and a FIFO or device in its place
    // is never waited on.
    const UniqueFd bom = FileManager::openForReading(*bomPath);
    if (!bom.valid()) {
        mWarnings.push_back("cannot read the bill of materials " + *bomPath + ": " +
                            (errno == EINVAL ? "not a regular file" : std::strerror(errno)));
        return std::nullopt;
    }
    std::string error;
    size_t tooLong = 0;
    std::optional<std::vector<BomEntry>> entries = BomReader::readOpenFile(bom.get(), error, tooLong);
    if (!entries) {
        mWarnings.push_back("cannot read the bill of materials " + *bomPath + ": " + error);
        entries.emplace();
    }
    const std::string counted = " entries of the bill of materials " + *bomPath + " were left out: ";
    if (tooLong > 0) {
        mWarnings.push_back(std::to_string(tooLong) + counted + "their paths are longer than " +
                            std::to_string(BomReader::kMaxPathLength) + " bytes");
    }

    std::string installRoot;
    if (installPoint && targetVolume) {
        installRoot = path::join(*targetVolume, *installPoint);
    } else if (targetVolume) {
        installRoot = *targetVolume;
    } else if (installPoint) {
        installRoot = *installPoint;
    } else {
        installRoot = "/";
    }
    installRoot = path::standardize(path::join("/", installRoot));

    BomListing listing;
    const std::optional<ConfinedFolder> root = ConfinedFolder::open(installRoot);
    if (!root) {
        return listing;
    }
    // The install location is a folder of the package even where its BOM cannot be read.
    if (const std::optional<FileAttributes> attributes = root->attributesOfStandard(".");
        attributes && attributes->type == FileType::Directory) {
        listing[static_cast<size_t>(PathKind::Folder)].push_back(installRoot);
    }
    const std::string rootPrefix = installRoot == "/" ? installRoot : installRoot + "/";
    size_t oddNames = 0;
    size_t climbing = 0;
    for (const BomEntry& entry : *entries) {
        const std::optional<PathKind> kind = kindOf(entry.type);
        if (!kind) {
            continue;
        }
        std::string full;
        full.reserve(rootPrefix.size() + entry.path.size());
        full = rootPrefix;
        if (const BomPathProblem problem = appendBomRelativePath(entry.path, full);
            problem != BomPathProblem::None) {
            ++(problem == BomPathProblem::OddName ? oddNames : climbing);
            continue;
        }
        // The install root itself is listed already.
        if (full.size() == rootPrefix.size()) {
            continue;
        }
        const std::optional<FileAttributes> attributes =
            root->attributesOfStandard(std::string_view(full).substr(rootPrefix.size()));
        if (!attributes || attributes->type != fileTypeOf(*kind)) {
            continue;
        }
        if (*kind == PathKind::File) {
            mFileSizes.add(full, attributes->size);
        }
        listing[static_cast<size_t>(*kind)].push_back(std::move(full));
    }
    if (oddNames > 0) {
        mWarnings.push_back(std::to_string(oddNames) + counted +
                            "their names hold a line feed, a tab or a NUL");
    }
    if (climbing > 0) {
        mWarnings.push_back(std::to_string(climbing) + counted + "their paths climb with \"..\"");
    }
    return listing;
}

AnalyzePathManager::BomPathProblem AnalyzePathManager::appendBomRelativePath(std::string_view entryPath,
                                                                             std::string& out) {
    // Such names would make a path that is not the item the package installed.
    for (const char odd : {'\n', '\t', '\0'}) {
        if (entryPath.find(odd) != std::string_view::npos) {
            return BomPathProblem::OddName;
        }
    }
    const size_t start = out.size();
    size_t nameStart = 0;
    for (;;) {
        const size_t slash = std::min(entryPath.find('/', nameStart), entryPath.size());
        const std::string_view name = entryPath.substr(nameStart, slash - nameStart);
        if (name == "..") {
            return BomPathProblem::Climbs;
        }
        if (!name.empty() && name != ".") {
            if (out.size() > start) {
                out += '/';
            }
            out += name;
        }
        if (slash == entryPath.size()) {
            return BomPathProblem::None;
        }
        nameStart = slash + 1;
    }
}

std::optional<std::vector<std::string>>
AnalyzePathManager::getPathListAtBOM(const std::optional<std::string>& bomPath,
                                     const std::optional<std::string>& installPoint,
                                     const std::optional<std::string>& targetVolume, PathKind kind) {
    std::optional<BomListing> listing = listBom(bomPath, installPoint, targetVolume);
    if (!listing) {
        return std::nullopt;
    }
    return std::move((*listing)[static_cast<size_t>(kind)]);
}

void AnalyzePathManager::getUnInstallPath(const std::optional<std::string>& bomPath,
                                          const std::optional<std::string>& installPoint,
                                          const std::optional<std::string>& targetVolume) {
    std::optional<BomListing> listing = listBom(bomPath, installPoint, targetVolume);
    if (!listing) {
        return;
    }
    for (const PathKind kind : {PathKind::File, PathKind::Folder, PathKind::Link}) {
        mergeInto(listOf(kind), (*listing)[static_cast<size_t>(kind)]);
    }
}

std::optional<std::string> AnalyzePathManager::removeUnUseSignal(const std::optional<std::string>& text) {
    if (!text) {
        return std::nullopt;
    }
    std::string out;
    bool escaped = false;
    const size_t last = text->empty() ? 0 : text->size() - 1;
    for (size_t i = 0; i < text->size(); ++i) {
        const char c = (*text)[i];
        if (escaped) {
            out += c;
            escaped = false;
        } else if (c == '\\') {
            escaped = true;
        } else if (c == '\'' || c == '"') {
            if (i != 0 && i != last) {
                out += c;
            }
        } else {
            out += c;
        }
    }
    return out;
}

bool AnalyzePathManager::checkWildCard(const std::string& text) {
    return text.find('*') != std::string::npos;
}

std::optional<WildCardPath> AnalyzePathManager::apartWildCardPath(const std::optional<std::string>& text) {
    if (!text || !checkWildCard(*text)) {
        return std::nullopt;
    }
    WildCardPath parts{path::deletingLastComponent(*text), path::lastComponent(*text)};
    while (checkWildCard(parts.searchingPath)) {
        parts.wildCardPath =
            path::fromComponents({path::lastComponent(parts.searchingPath), parts.wildCardPath});
        parts.searchingPath = path::deletingLastComponent(parts.searchingPath);
    }
    return parts;
}

std::optional<std::string>
AnalyzePathManager::convertRegularExplession(const std::optional<std::string>& tail) {
    if (!tail) {
        return std::nullopt;
    }
    return WildCardPattern::expressionOf(*tail);
}

void AnalyzePathManager::walkMatching(const std::string& start, const WildCardPattern& pattern,
                                      std::vector<ExpandedItem>& out) {
    // As find does without -L: the start is tested itself, and searched only when it is a folder.
    const std::string base = path::standardize(path::join("/", start));
    const std::optional<FileAttributes> startAttributes = FileManager::attributesOfItemAtPathCDA(base);
    if (!startAttributes) {
        return;
    }
    if (pattern.matches(base)) {
        out.push_back({base, startAttributes});
    }
    if (startAttributes->type != FileType::Directory) {
        return;
    }
    std::optional<FolderWalker::Result> walked =
        FolderWalker::walk(base, FolderWalker::StartLink::Refuse, FolderWalker::Readability::Skip,
                           FolderWalker::Detail::Kind, FolderWalker::Paths::System);
    if (!walked) {
        return;
    }
    mWarnings.insert(mWarnings.end(), walked->problems.begin(), walked->problems.end());
    for (FolderWalker::Item& item : walked->items) {
        if (pattern.matches(item.path)) {
            out.push_back({std::move(item.path), item.attributes, item.complete});
        }
    }
}

std::optional<std::vector<AnalyzePathManager::ExpandedItem>>
AnalyzePathManager::expandUsersWildCard(const WildCardPath& parts) {
    // The tail with its "*" removed names the same folder below every entry of the search root.
    std::string literal = parts.wildCardPath;
    literal.erase(std::remove(literal.begin(), literal.end(), '*'), literal.end());
    std::string unused;
    const std::optional<WildCardPattern> everything = WildCardPattern::compile("*", unused);
    std::vector<ExpandedItem> collected;
    const std::optional<std::vector<std::string>> names =
        FileManager::contentsOfDirectoryAtPathCDA(parts.searchingPath);
    for (const std::string& name : names.value_or(std::vector<std::string>())) {
        const std::string entry = parts.searchingPath + "/" + name;
        // Homes are folders; an entry that is a link would lead the search somewhere else.
        const std::optional<FileAttributes> attributes = FileManager::attributesOfItemAtPathCDA(entry);
        if (!attributes || attributes->type != FileType::Directory) {
            continue;
        }
        walkMatching(entry + literal, *everything, collected);
    }
    if (collected.empty()) {
        return std::nullopt;
    }
    return collected;
}

std::optional<std::vector<AnalyzePathManager::ExpandedItem>>
AnalyzePathManager::expandEntry(const std::optional<std::string>& text) {
    if (!text) {
        return std::nullopt;
    }
    std::vector<ExpandedItem> expansion;
    if (!checkWildCard(*text)) {
        const std::string base = path::standardize(path::join("/", *text));
        if (std::optional<FolderWalker::Result> walked =
                FolderWalker::walk(base, FolderWalker::StartLink::Refuse, FolderWalker::Readability::Check,
                                   FolderWalker::Detail::Kind, FolderWalker::Paths::System)) {
            mWarnings.insert(mWarnings.end(), walked->problems.begin(), walked->problems.end());
            expansion.reserve(walked->items.size() + 1);
            for (FolderWalker::Item& item : walked->items) {
                if (item.readable) {
                    expansion.push_back({std::move(item.path), item.attributes, item.complete});
                }
            }
        }
        expansion.push_back({base, FileManager::attributesOfItemAtPathCDA(base)});
        return expansion;
    }
    const std::optional<WildCardPath> parts = apartWildCardPath(text);
    if (!parts) {
        return std::nullopt;
    }
    if (parts->searchingPath.rfind("/Users", 0) == 0) {
        return expandUsersWildCard(*parts);
    }
    // find prints a line feed after its last line, so an expansion ends with an empty path, which
    // names nothing.
    if (parts->searchingPath.empty()) {
        // find has no start folder to search: it prints nothing.
        return std::vector<ExpandedItem>{{std::string(), std::nullopt}};
    }
    std::string error;
    const std::optional<WildCardPattern> pattern = WildCardPattern::compile(parts->wildCardPath, error);
    if (!pattern) {
        // find refuses such an expression and prints nothing.
        mWarnings.push_back("cannot expand " + *text + ": " + error);
        return std::vector<ExpandedItem>{{std::string(), std::nullopt}};
    }
    walkMatching(parts->searchingPath, *pattern, expansion);
    expansion.push_back({std::string(), std::nullopt});
    return expansion;
}

std::optional<std::vector<std::string>>
AnalyzePathManager::apartPathList(const std::optional<std::string>& text) {
    std::optional<std::vector<ExpandedItem>> expansion = expandEntry(text);
    if (!expansion) {
        return std::nullopt;
    }
    std::vector<std::string> paths;
    paths.reserve(expansion->size());
    for (ExpandedItem& item : *expansion) {
        paths.push_back(std::move(item.path));
    }
    return paths;
}

std::vector<std::string>
AnalyzePathManager::addExtensionRestPathList(const std::optional<std::vector<std::string>>& restPathList) {
    std::vector<std::string> rest = restPathList.value_or(std::vector<std::string>());
    if (const std::optional<PlistValue>& info = cmnFuncs.getMainBundleInfoDict()) {
        const std::vector<std::string> shared = stringsOf(info->find("EXRestPathList"));
        rest.insert(rest.end(), shared.begin(), shared.end());
    }
    return rest;
}

std::vector<std::string> AnalyzePathManager::addAllSoftwareRestPathList(
    const std::optional<std::vector<std::string>>& restPaths,
    const std::optional<std::vector<std::string>>& allSoftwareRestPaths) {
    StringSet merged;
    if (restPaths) {
        CommonFunctions::mergeArrayToDictionary(*restPaths, merged);
    }
    if (allSoftwareRestPaths) {
        CommonFunctions::mergeArrayToDictionary(*allSoftwareRestPaths, merged);
    }
    return {merged.begin(), merged.end()};
}

void AnalyzePathManager::mergeRemovePath(const std::optional<std::vector<std::string>>& removePathList,
                                         const std::optional<std::vector<std::string>>& restPathList) {
    // Each entry is expanded once; its items come with their kind on disk, which decides the list.
    enum class Role { Kept, Removed };
    auto collect = [this](const std::optional<std::vector<std::string>>& entries, Role role) {
        std::array<std::vector<std::string>, 3> byKind;
        if (!entries) {
            return byKind;
        }
        for (const std::string& entry : *entries) {
            const std::optional<std::string> cleaned = removeUnUseSignal(entry);
            std::optional<std::vector<ExpandedItem>> expansion = expandEntry(cleaned);
            if (!expansion) {
                continue;
            }
            // The path an entry names counts as well as what exists of it: asking is enough. A plain
            // entry expands to the path it names (its last item) and what lies in it, so when that path
            // holds nothing protected, no item needs a look of its own.
            const bool plainAndClear = !checkWildCard(*cleaned) && !expansion->empty() &&
                                       !SystemFloor::holdsUntouchable(expansion->back().path);
            if (role == Role::Removed && !plainAndClear) {
                for (const ExpandedItem& item : *expansion) {
                    if (const std::optional<std::string_view> reason =
                            item.path.empty() ? std::nullopt : SystemFloor::untouchableBecause(item.path)) {
                        mRefusedEntries.push_back({entry, item.path, std::string(*reason)});
                        break;
                    }
                }
            }
            std::array<std::vector<std::string>, 3> ofEntry;
            for (ExpandedItem& item : *expansion) {
                const std::optional<PathKind> kind =
                    item.attributes ? kindOf(item.attributes->type) : std::nullopt;
                if (item.path.empty() || !kind) {
                    continue;
                }
                // Sizes the look did not take are taken when the size is asked for.
                if (role == Role::Removed && *kind == PathKind::File && item.complete) {
                    mFileSizes.add(item.path, item.attributes->size);
                }
                ofEntry[static_cast<size_t>(*kind)].push_back(std::move(item.path));
            }
            for (size_t kind = 0; kind < byKind.size(); ++kind) {
                mergeInto(byKind[kind], ofEntry[kind]);
            }
        }
        // An item that two entries reach is listed once.
        for (std::vector<std::string>& paths : byKind) {
            paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
        }
        return byKind;
    };
    // Everything kept is taken out before anything is added: a path both kept and removed goes.
    mRefusedEntries.clear();
    const std::array<std::vector<std::string>, 3> kept = collect(restPathList, Role::Kept);
    std::array<std::vector<std::string>, 3> added = collect(removePathList, Role::Removed);
    for (const PathKind kind : {PathKind::File, PathKind::Folder, PathKind::Link}) {
        std::vector<std::string>& list = listOf(kind);
        sortUnique(list);
        const std::vector<std::string>& keep = kept[static_cast<size_t>(kind)];
        std::vector<std::string>& extra = added[static_cast<size_t>(kind)];
        // Kept as a Mac names them: a kept path in another letter case or Unicode form keeps the item.
        std::unordered_set<std::string> keepKeys;
        for (const std::string& path : keep) {
            keepKeys.insert(path::comparisonKey(path));
        }
        std::vector<std::string> remaining = std::move(list);
        if (!keepKeys.empty()) {
            std::erase_if(remaining, [&](const std::string& path) {
                return keepKeys.contains(path::comparisonKey(path));
            });
        }
        list.clear();
        list.reserve(remaining.size() + extra.size());
        std::set_union(std::make_move_iterator(remaining.begin()), std::make_move_iterator(remaining.end()),
                       std::make_move_iterator(extra.begin()), std::make_move_iterator(extra.end()),
                       std::back_inserter(list));
    }
}

uint64_t AnalyzePathManager::totalFileSize() {
    return mFileSizes.total(mUnInstallFilePathArray, [](const std::string& path) -> std::optional<uint64_t> {
        if (const std::optional<FileAttributes> attributes = FileManager::attributesOfItemAtPathCDA(path)) {
            return attributes->size;
        }
        return std::nullopt;
    });
}

void AnalyzePathManager::createSystemPathList(std::optional<std::vector<std::string>>& field,
                                              const std::string& pathKey, const std::string& userPathKey,
                                              bool insertUserFolder) {
    std::vector<std::string> paths;
    if (const std::optional<PlistValue>& root = cmnFuncs.getCorvaneInfoRootDict()) {
        paths = stringsOf(root->find(pathKey));
        const std::vector<std::string> userPaths = stringsOf(root->find(userPathKey));
        for (const std::string& user : usrManager.getAllUserName()) {
            const std::string home = path::join("/Users/", user);
            if (insertUserFolder) {
                paths.push_back(home);
            }
            for (const std::string& entry : userPaths) {
                paths.push_back(path::join(home, entry));
            }
        }
    }
    field = std::move(paths);
}

void AnalyzePathManager::createIndividualPathList() {
    if (!mIndividualPathArray) {
        createSystemPathList(mIndividualPathArray, "CVIndividualPath", "CVIndividualUserPath", true);
    }
}

void AnalyzePathManager::createLowerLayerPathList() {
    if (!mLowerLayerPathArray) {
        createSystemPathList(mLowerLayerPathArray, "CVLowerLayerPath", "CVLowerLayerUserPath", false);
    }
}

const std::vector<std::string>& AnalyzePathManager::individualPathList() {
    createIndividualPathList();
    return *mIndividualPathArray;
}

const std::vector<std::string>& AnalyzePathManager::lowerLayerPathList() {
    createLowerLayerPathList();
    return *mLowerLayerPathArray;
}

void AnalyzePathManager::removeSystemPath() {
    createIndividualPathList();
    removeIndividualPathFromUninstallFolderPath();
    createLowerLayerPathList();
    removeLowerLayerPathFromUninstallFolderPath();
}

void AnalyzePathManager::removeIndividualPathFromUninstallFolderPath() {
    if (mUnInstallFolderPathArray.empty() || !mIndividualPathArray || mIndividualPathArray->empty()) {
        return;
    }
    std::unordered_set<std::string> keys;
    for (const std::string& individual : *mIndividualPathArray) {
        keys.insert(path::comparisonKey(individual));
    }
    std::erase_if(mUnInstallFolderPathArray,
                  [&](const std::string& folder) { return keys.contains(path::comparisonKey(folder)); });
}

void AnalyzePathManager::removeLowerLayerPathFromUninstallFolderPath() {
    if (mUnInstallFolderPathArray.empty()) {
        return;
    }
    // Each protected folder's comparison form once, not once for every listed folder.
    std::vector<std::string> lowerKeys;
    for (const std::string& lower : lowerLayerPathList()) {
        lowerKeys.push_back(path::comparisonKey(lower));
    }
    std::erase_if(mUnInstallFolderPathArray, [&](const std::string& folder) {
        const std::string key = path::comparisonKey(folder);
        return std::any_of(lowerKeys.begin(), lowerKeys.end(),
                           [&](const std::string& lower) { return path::isInFolder(key, lower); });
    });
}

bool AnalyzePathManager::isIncludeLowerLayerPath(const std::string& path) {
    return CommonFunctions::isIncludeFolderPathArray(lowerLayerPathList(), path);
}

std::vector<std::string>
AnalyzePathManager::addExtensionRemovePathList(const std::optional<std::vector<std::string>>& removePathList,
                                               const std::optional<std::string>& applicationName) {
    std::vector<std::string> remove = removePathList.value_or(std::vector<std::string>());
    const std::optional<PlistValue>& root = cmnFuncs.getCorvaneInfoRootDict();
    if (!root) {
        return remove;
    }
    const PlistValue* groups = root->find("CVExtendRemovePath");
    if (groups == nullptr || !groups->isArray()) {
        return remove;
    }
    for (const PlistValue& group : groups->asArray()) {
        if (std::optional<std::vector<std::string>> extra = getExtensionRemovePath(&group, applicationName)) {
            remove.insert(remove.end(), extra->begin(), extra->end());
        }
    }
    return remove;
}

std::optional<std::vector<std::string>>
AnalyzePathManager::getExtensionRemovePath(const PlistValue* group,
                                           const std::optional<std::string>& applicationName) {
    if (group == nullptr || !applicationName) {
        return std::nullopt;
    }
    const PlistValue* removePaths = group->find("removepath");
    // A list of extra paths that is not all strings is not guessed at: nothing is added from it.
    std::optional<std::vector<std::string>> remove =
        removePaths == nullptr ? std::vector<std::string>() : removePaths->asStringArray();
    if (!remove) {
        return std::nullopt;
    }
    for (const std::string& name : stringsOf(group->find("softwarename"))) {
        if (CommonFunctions::isEqualStringCompare(name, *applicationName)) {
            return remove;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> AnalyzePathManager::getSoftwareNameAtCVInformation() {
    const std::optional<PlistValue>& root = cmnFuncs.getCorvaneInfoRootDict();
    if (!root) {
        return std::nullopt;
    }
    const PlistValue* information = root->find("CVRemovePPDInformation");
    return stringsOf(information != nullptr ? information->find("softwarename") : nullptr);
}

std::optional<std::vector<std::string>>
AnalyzePathManager::getPathList(const std::optional<std::string>& folder,
                                const std::optional<std::string>& prefix,
                                const std::optional<std::string>& suffix) {
    if (!folder) {
        return std::nullopt;
    }
    std::vector<std::string> paths;
    const std::optional<std::vector<std::string>> names = FileManager::contentsOfDirectoryAtPathCDA(*folder);
    for (const std::string& name : names.value_or(std::vector<std::string>())) {
        if (prefix && name.compare(0, prefix->size(), *prefix) != 0) {
            continue;
        }
        if (suffix && (name.size() < suffix->size() ||
                       name.compare(name.size() - suffix->size(), suffix->size(), *suffix) != 0)) {
            continue;
        }
        paths.push_back(path::standardize(path::join(*folder, name)));
    }
    return paths;
}

void AnalyzePathManager::addRemovePPDFilePath(const std::optional<std::vector<std::string>>& ppdFiles) {
    if (!ppdFiles) {
        return;
    }
    const std::optional<PlistValue>& root = cmnFuncs.getCorvaneInfoRootDict();
    if (!root) {
        return;
    }
    const PlistValue* information = root->find("CVRemovePPDInformation");
    const std::vector<std::string> filters =
        stringsOf(information != nullptr ? information->find("cupsfilter") : nullptr);
    for (const std::string& ppdPath : *ppdFiles) {
        const PpdReader ppd = PpdReader::open(ppdPath);
        if (!checkCupsFilter(ppd.get(), filters)) {
            continue;
        }
        // A PPD the packages listed already is counted and deleted once.
        if (std::find(mUnInstallFilePathArray.begin(), mUnInstallFilePathArray.end(), ppdPath) ==
            mUnInstallFilePathArray.end()) {
            mUnInstallFilePathArray.push_back(ppdPath);
        }
    }
}

bool AnalyzePathManager::checkCupsFilter(const ppd_file_t* ppd,
                                         const std::optional<std::vector<std::string>>& filters) {
    if (ppd == nullptr || !filters) {
        return false;
    }
    bool matched = false;
    for (const std::string& value : PpdReader::filtersOf(ppd)) {
        for (const std::string& wanted : *filters) {
            matched = matched || value == wanted;
        }
    }
    return matched;
}

void AnalyzePathManager::removeProtectedItems() {
    for (const PathKind kind : {PathKind::File, PathKind::Folder, PathKind::Link}) {
        std::erase_if(listOf(kind), [&](const std::string& path) {
            // One comparison form per item: the lists hold tens of thousands.
            const std::string key = SystemFloor::comparable(path);
            if (const std::optional<std::string_view> reason = SystemFloor::untouchableKeyBecause(key)) {
                if (kind != PathKind::Folder || !SystemFloor::contains(key)) {
                    mProtectedItems.push_back({path, std::string(*reason)});
                }
                return true;
            }
            if (RecordFiles::isInformationFileKey(key)) {
                mProtectedItems.push_back({path, "an uninstall information file"});
                return true;
            }
            if (RecordFiles::isInReceiptsFolderKey(key)) {
                mProtectedItems.push_back({path, "a receipt"});
                return true;
            }
            return false;
        });
    }
}

void AnalyzePathManager::mergeExtenstionPath(
    const SoftwarePaths& software, const std::optional<std::vector<std::string>>& allSoftwareRestPaths) {
    std::vector<std::string> rest = addExtensionRestPathList(software.restPathList);
    if (allSoftwareRestPaths) {
        rest = addAllSoftwareRestPathList(rest, allSoftwareRestPaths);
    }
    const std::vector<std::string> remove =
        addExtensionRemovePathList(software.removePathList, software.applicationName);
    mergeRemovePath(remove, rest);
    removeSystemPath();
    // After the protected folders are out: PPD files are not screened against them.
    if (software.applicationName) {
        for (const std::string& name :
             getSoftwareNameAtCVInformation().value_or(std::vector<std::string>())) {
            if (CommonFunctions::isEqualStringCompare(*software.applicationName, name)) {
                addRemovePPDFilePath(
                    getPathList(std::string(kPpdFolder), std::string("TORVA"), std::nullopt));
            }
        }
    }
    removeProtectedItems();
    if (!mRefusedEntries.empty()) {
        // Nothing of a software that asks for the floor is touched.
        for (const PathKind kind : {PathKind::File, PathKind::Folder, PathKind::Link}) {
            removeMUnInstallAllObjectArrayPath(kind);
        }
        mProtectedItems.clear();
    }
}

void AnalyzePathManager::buildRemovalLists(
    const std::vector<PackageInfoEntry>& packages, const SoftwarePaths& software,
    const std::optional<std::vector<std::string>>& allSoftwareRestPaths) {
    for (const PathKind kind : {PathKind::File, PathKind::Folder, PathKind::Link}) {
        removeMUnInstallAllObjectArrayPath(kind);
    }
    mProtectedItems.clear();
    const int32_t version = systemversion::OSVersion();
    for (const PackageInfoEntry& entry : packages) {
        std::string bomPath;
        const std::optional<std::string> installPoint = cmnFuncs.lookupReceipt(entry, version, bomPath);
        if (!installPoint) {
            continue; // a package whose bill of materials is gone adds nothing
        }
        // A bundle receipt is found by the name the data gives: one another package wrote is not this
        // software's, and neither is what its bill of materials lists.
        const std::string bundle = path::standardize(path::join("/Library/Receipts/", entry.packageName));
        if (entry.packageType == "Bundle" && bomPath == path::join(bundle, "Contents/Archive.bom") &&
            !RecordFiles::isReceiptBundleOf(bundle, entry.packageIdentifier)) {
            mProtectedItems.push_back(
                {bundle, "the receipt of another package than " + entry.packageIdentifier});
            continue;
        }
        getUnInstallPath(bomPath, installPoint, std::string("/"));
    }
    mergeExtenstionPath(software, allSoftwareRestPaths);
}
