#include "analysis/AnalyzePathManager.h"

#include "analysis/PpdReader.h"
#include "common/RecordFiles.h"
#include "platform/CTaskController.h"
#include "platform/ConfinedFolder.h"
#include "platform/FileManager.h"
#include "platform/FolderWalker.h"
#include "platform/Path.h"
#include "platform/SystemFloor.h"
#include "platform/SystemRoot.h"
#include "platform/SystemVersion.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <unordered_set>

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

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

// find's regular expressions read "\" + character as that character; escape what is special.
std::string regexLiteral(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '.' || c == '*' || c == '[' || c == ']' || c == '^' || c == '$' || c == '\\' || c == '+' ||
            c == '?') {
            out += '\\';
        }
        out += c;
    }
    return out;
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
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
}

// "." or "./name/…" with no empty, "." or ".." names: joined to the install root it is already standard.
bool isPlainBomPath(std::string_view line) {
    if (line == ".") {
        return true;
    }
    if (line.size() < 3 || line.substr(0, 2) != "./" || line.back() == '/') {
        return false;
    }
    size_t start = 2;
    for (;;) {
        const size_t slash = line.find('/', start);
        const std::string_view name =
            slash == std::string_view::npos ? line.substr(start) : line.substr(start, slash - start);
        if (name.empty() || name == "." || name == "..") {
            return false;
        }
        if (slash == std::string_view::npos) {
            return true;
        }
        start = slash + 1;
    }
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
    // The child reads the file this process opened inside the system root: no link can lead it to
    // another file, and a FIFO or device in its place is never handed on.
    const UniqueFd bom = FileManager::openForReading(*bomPath);
    if (!bom.valid()) {
        mWarnings.push_back("cannot read the bill of materials " + *bomPath + ": " +
                            (errno == EINVAL ? "not a regular file" : std::strerror(errno)));
        return std::nullopt;
    }
    CTaskController::RunOptions options;
    options.timeLimit = CTaskController::initTaskController().queryTimeLimit();
    options.keepErrorOutput = true;
    options.passedDescriptors = {bom.get()};
    const std::optional<CTaskController::RunResult> run =
        CTaskController::runTool("/usr/bin/lsbom", {"-fdl", "-p", "Mf", "/dev/fd/3"}, options);
    if (!run || run->timedOut || !utf8::isValid(run->output)) {
        mWarnings.push_back("cannot list the bill of materials " + *bomPath +
                            (run && run->timedOut ? ": lsbom did not finish in time" : ""));
        return std::nullopt;
    }
    if (run->exitStatus != 0) {
        const std::string error = run->errorOutput.substr(0, run->errorOutput.find('\n'));
        mWarnings.push_back("cannot read the bill of materials " + *bomPath +
                            (error.empty() ? "" : ": " + error));
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
    mFileSizes.reserve(mFileSizes.size() +
                       static_cast<size_t>(std::count(run->output.begin(), run->output.end(), '\n')));
    const std::optional<ConfinedFolder> root = ConfinedFolder::open(installRoot);
    if (!root) {
        return listing;
    }
    for (const BomLine& line : splitBomListing(run->output)) {
        std::string full;
        if (isPlainBomPath(line.path)) {
            // "." or "./name/…": joined to the install root it is standard already.
            full = line.path == "."
                       ? installRoot
                       : (installRoot == "/" ? "" : installRoot) + std::string(line.path.substr(1));
        } else {
            full = path::standardize(path::join(installRoot, line.path));
            // A package cannot name a path outside the place it was installed.
            if (!path::isInFolder(full, installRoot)) {
                continue;
            }
        }
        const std::string_view relative =
            full == installRoot
                ? std::string_view(".")
                : std::string_view(full).substr(installRoot == "/" ? 1 : installRoot.size() + 1);
        const std::optional<FileAttributes> attributes = root->attributesOfStandard(relative);
        if (!attributes) {
            continue;
        }
        // The empty line at the end of the output names the install root, in whichever list its kind
        // on disk belongs to.
        const std::optional<PathKind> kind = line.kind ? line.kind : kindOf(attributes->type);
        if (!kind || attributes->type != fileTypeOf(*kind)) {
            continue;
        }
        if (*kind == PathKind::File) {
            mFileSizes[full] = attributes->size;
        }
        listing[static_cast<size_t>(*kind)].push_back(std::move(full));
    }
    return listing;
}

std::vector<AnalyzePathManager::BomLine> AnalyzePathManager::splitBomListing(std::string_view output) {
    std::vector<BomLine> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = output.find('\n', start);
        const std::string_view line =
            end == std::string_view::npos ? output.substr(start) : output.substr(start, end - start);
        if (line.empty()) {
            lines.push_back({std::nullopt, line});
        } else if (const size_t tab = line.find('\t'); tab != std::string_view::npos && tab > 0) {
            // The symbolic mode's first letter tells the kind; other kinds are not listed.
            std::optional<PathKind> kind;
            switch (line.front()) {
            case '-':
                kind = PathKind::File;
                break;
            case 'd':
                kind = PathKind::Folder;
                break;
            case 'l':
                kind = PathKind::Link;
                break;
            default:
                break;
            }
            if (kind) {
                lines.push_back({kind, line.substr(tab + 1)});
            }
        }
        if (end == std::string_view::npos) {
            return lines;
        }
        start = end + 1;
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
        // Each kind once per BOM, in name order.
        std::vector<std::string>& paths = (*listing)[static_cast<size_t>(kind)];
        sortUnique(paths);
        std::vector<std::string>& list = listOf(kind);
        list.insert(list.end(), std::make_move_iterator(paths.begin()), std::make_move_iterator(paths.end()));
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
    std::string expression = ".*";
    for (const char c : *tail) {
        if (c == '*') {
            expression += ".*";
        } else if (c == '.') {
            expression += "\\.";
        } else {
            expression += c;
        }
    }
    expression += ".*";
    return expression;
}

std::optional<std::vector<std::string>>
AnalyzePathManager::runFind(const std::string& searchRoot, const std::string& expression, bool anchorToRoot) {
    // A start folder that cannot be resolved inside the system root is not handed to find.
    const std::optional<std::string> hostStart = SystemRoot::hostPath(searchRoot);
    if (!hostStart) {
        return std::vector<std::string>{std::string()};
    }
    std::string regex = expression;
    if (anchorToRoot) {
        // find matches the expression against host paths; the part that stands for "/" must match
        // literally, so that only the system path is matched against the pattern.
        const std::string hostRoot = SystemRoot::hostRoot();
        if (hostRoot != "/") {
            regex = regexLiteral(hostRoot) + expression;
        }
    }
    std::string output;
    if (!CTaskController::initTaskController().exeCommandLine("/usr/bin/find", {*hostStart, "-regex", regex},
                                                              &output)) {
        mWarnings.push_back("cannot search " + searchRoot);
        return std::nullopt;
    }
    std::vector<std::string> lines;
    for (const std::string& line : splitLines(output)) {
        if (line.empty()) {
            lines.push_back(line);
            continue;
        }
        if (std::optional<std::string> systemPath =
                SystemRoot::systemPathBelow(line, *hostStart, searchRoot)) {
            lines.push_back(*systemPath);
        }
    }
    return lines;
}

void AnalyzePathManager::walkMatching(const std::string& start, const std::vector<std::string>& pieces,
                                      std::vector<ExpandedItem>& out) {
    // As find does without -L: the start is tested itself, and searched only when it is a folder.
    const std::string base = path::standardize(path::join("/", start));
    const std::optional<FileAttributes> startAttributes = FileManager::attributesOfItemAtPathCDA(base);
    if (!startAttributes) {
        return;
    }
    if (matchesPieces(base, pieces)) {
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
        if (matchesPieces(item.path, pieces)) {
            out.push_back({std::move(item.path), item.attributes, item.complete});
        }
    }
}

bool AnalyzePathManager::matchesPieces(std::string_view path, const std::vector<std::string>& pieces) {
    // The whole path against ".*a.*b.*": the pieces in order. As with find's ".", nothing matches
    // across a line feed or bytes that are no text.
    if (path.find('\n') != std::string_view::npos || !utf8::isValid(path)) {
        return false;
    }
    size_t at = 0;
    for (const std::string& piece : pieces) {
        const size_t found = path.find(piece, at);
        if (found == std::string_view::npos) {
            return false;
        }
        at = found + piece.size();
    }
    return true;
}

std::optional<std::vector<std::string>> AnalyzePathManager::simpleTailPieces(const std::string& tail) {
    std::vector<std::string> pieces;
    std::string piece;
    for (const char c : tail) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '*') {
            if (!piece.empty()) {
                pieces.push_back(std::move(piece));
                piece.clear();
            }
        } else if (std::isalnum(byte) != 0 || byte >= 0x80 ||
                   std::string_view(" -_./,:@#%=~").find(c) != std::string_view::npos) {
            piece += c;
        } else {
            // Anything the expression would read as an operator is left to find itself.
            return std::nullopt;
        }
    }
    if (!piece.empty()) {
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

std::optional<std::vector<AnalyzePathManager::ExpandedItem>>
AnalyzePathManager::expandUsersWildCard(const WildCardPath& parts) {
    // The tail with its "*" removed names the same folder below every entry of the search root.
    std::string literal = parts.wildCardPath;
    literal.erase(std::remove(literal.begin(), literal.end(), '*'), literal.end());
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
        walkMatching(entry + literal, {}, collected);
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
    if (const std::optional<std::vector<std::string>> pieces = simpleTailPieces(parts->wildCardPath)) {
        walkMatching(parts->searchingPath, *pieces, expansion);
        expansion.push_back({std::string(), std::nullopt});
        return expansion;
    }
    const std::optional<std::string> expression = convertRegularExplession(parts->wildCardPath);
    if (!expression) {
        return std::nullopt;
    }
    const std::optional<std::vector<std::string>> found =
        runFind(parts->searchingPath, *expression, /*anchorToRoot=*/true);
    if (!found) {
        return std::nullopt;
    }
    for (const std::string& line : *found) {
        if (line.empty()) {
            expansion.push_back({line, std::nullopt});
            continue;
        }
        const std::string listed = path::standardize(path::join("/", line));
        expansion.push_back({listed, FileManager::attributesOfItemAtPathCDA(listed)});
    }
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
        for (const std::string& entry : entries.value_or(std::vector<std::string>())) {
            std::optional<std::vector<ExpandedItem>> expansion = expandEntry(removeUnUseSignal(entry));
            if (role == Role::Removed) {
                // The path an entry names counts as well as what exists of it: asking is enough.
                for (const ExpandedItem& item : expansion.value_or(std::vector<ExpandedItem>())) {
                    if (const std::optional<std::string_view> reason =
                            item.path.empty() ? std::nullopt : SystemFloor::untouchableBecause(item.path)) {
                        mRefusedEntries.push_back({entry, item.path, std::string(*reason)});
                        break;
                    }
                }
            }
            for (ExpandedItem& item : expansion.value_or(std::vector<ExpandedItem>())) {
                const std::optional<PathKind> kind =
                    item.attributes ? kindOf(item.attributes->type) : std::nullopt;
                if (item.path.empty() || !kind) {
                    continue;
                }
                // Sizes the look did not take are taken when the size is asked for.
                if (role == Role::Removed && *kind == PathKind::File && item.complete) {
                    mFileSizes[item.path] = item.attributes->size;
                }
                byKind[static_cast<size_t>(*kind)].push_back(std::move(item.path));
            }
        }
        for (std::vector<std::string>& paths : byKind) {
            sortUnique(paths);
        }
        return byKind;
    };
    // Everything kept is taken out before anything is added: a path both kept and removed goes.
    mRefusedEntries.clear();
    const std::array<std::vector<std::string>, 3> kept = collect(restPathList, Role::Kept);
    const std::array<std::vector<std::string>, 3> added = collect(removePathList, Role::Removed);
    for (const PathKind kind : {PathKind::File, PathKind::Folder, PathKind::Link}) {
        std::vector<std::string>& list = listOf(kind);
        sortUnique(list);
        const std::vector<std::string>& keep = kept[static_cast<size_t>(kind)];
        const std::vector<std::string>& extra = added[static_cast<size_t>(kind)];
        // Kept as a Mac names them: a kept path in another letter case or Unicode form keeps the item.
        std::unordered_set<std::string> keepKeys;
        for (const std::string& path : keep) {
            keepKeys.insert(path::comparisonKey(path));
        }
        std::vector<std::string> remaining;
        remaining.reserve(list.size());
        for (std::string& path : list) {
            if (keepKeys.empty() || !keepKeys.contains(path::comparisonKey(path))) {
                remaining.push_back(std::move(path));
            }
        }
        list.clear();
        list.reserve(remaining.size() + extra.size());
        std::set_union(std::make_move_iterator(remaining.begin()), std::make_move_iterator(remaining.end()),
                       extra.begin(), extra.end(), std::back_inserter(list));
    }
}

std::optional<uint64_t> AnalyzePathManager::fileSize(const std::string& path) const {
    if (const auto known = mFileSizes.find(path); known != mFileSizes.end()) {
        return known->second;
    }
    if (const std::optional<FileAttributes> attributes = FileManager::attributesOfItemAtPathCDA(path)) {
        return attributes->size;
    }
    return std::nullopt;
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
    for (const std::string& individual : *mIndividualPathArray) {
        const std::string key = path::comparisonKey(individual);
        std::erase_if(mUnInstallFolderPathArray,
                      [&](const std::string& folder) { return path::comparisonKey(folder) == key; });
    }
}

void AnalyzePathManager::removeLowerLayerPathFromUninstallFolderPath() {
    if (mUnInstallFolderPathArray.empty()) {
        return;
    }
    for (size_t i = mUnInstallFolderPathArray.size(); i-- > 0;) {
        if (isIncludeLowerLayerPath(mUnInstallFolderPathArray[i])) {
            mUnInstallFolderPathArray.erase(mUnInstallFolderPathArray.begin() +
                                            static_cast<std::ptrdiff_t>(i));
        }
    }
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
            if (const std::optional<std::string_view> reason = SystemFloor::untouchableBecause(path)) {
                if (kind != PathKind::Folder || !SystemFloor::contains(path)) {
                    mProtectedItems.push_back({path, std::string(*reason)});
                }
                return true;
            }
            if (RecordFiles::isInformationFile(path)) {
                mProtectedItems.push_back({path, "an uninstall information file"});
                return true;
            }
            if (RecordFiles::isInReceiptsFolder(path)) {
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
