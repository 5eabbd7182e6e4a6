#include "analysis/AnalyzePathManager.h"

#include "analysis/PpdReader.h"
#include "platform/CTaskController.h"
#include "platform/ConfinedFolder.h"
#include "platform/FileManager.h"
#include "platform/Path.h"
#include "platform/SystemRoot.h"

#include <algorithm>

namespace {

constexpr const char* kPpdFolder = "/Library/Printers/PPDs/Contents/Resources";

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

// A path of an expansion as the lists hold it: absolute and standardized; nullopt for the empty line
// find leaves at the end of its output, which names no item.
std::optional<std::string> listPath(const std::string& expanded) {
    if (expanded.empty()) {
        return std::nullopt;
    }
    return path::standardize(path::join("/", expanded));
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

const char* lsbomOption(PathKind kind) {
    switch (kind) {
    case PathKind::File:
        return "-f";
    case PathKind::Folder:
        return "-d";
    case PathKind::Link:
        return "-l";
    }
    return "-f";
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
}

std::optional<std::vector<std::string>>
AnalyzePathManager::getPathListAtBOM(const std::optional<std::string>& bomPath,
                                     const std::optional<std::string>& installPoint,
                                     const std::optional<std::string>& targetVolume, PathKind kind) {
    if (!bomPath) {
        return std::nullopt;
    }
    const FileType wanted = fileTypeOf(kind);
    std::string output;
    if (!CTaskController::initTaskController().exeCommandLine(
            "/usr/bin/lsbom", {lsbomOption(kind), "-p", "f", SystemRoot::hostPath(*bomPath)}, &output)) {
        return std::nullopt;
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

    std::vector<std::string> kept;
    const std::optional<ConfinedFolder> root = ConfinedFolder::open(installRoot);
    if (!root) {
        return kept;
    }
    for (const std::string& line : splitLines(output)) {
        const std::string full = path::standardize(path::join(installRoot, line));
        // A package cannot name a path outside the place it was installed.
        if (!path::isInFolder(full, installRoot) && installRoot != "/") {
            continue;
        }
        std::string relative = ".";
        if (full != installRoot) {
            relative = full.substr(installRoot == "/" ? 1 : installRoot.size() + 1);
        }
        const std::optional<FileAttributes> attributes = root->attributesOf(relative);
        if (attributes && attributes->type == wanted) {
            kept.push_back(full);
        }
    }
    return kept;
}

void AnalyzePathManager::getUnInstallPath(const std::optional<std::string>& bomPath,
                                          const std::optional<std::string>& installPoint,
                                          const std::optional<std::string>& targetVolume) {
    for (const PathKind kind : {PathKind::File, PathKind::Folder, PathKind::Link}) {
        std::optional<std::vector<std::string>> paths =
            getPathListAtBOM(bomPath, installPoint, targetVolume, kind);
        if (!paths) {
            continue;
        }
        StringSet distinct;
        CommonFunctions::mergeArrayToDictionary(*paths, distinct);
        std::vector<std::string>& list = listOf(kind);
        list.insert(list.end(), distinct.begin(), distinct.end());
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
    const std::string hostStart = SystemRoot::hostPath(searchRoot);
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
    if (!CTaskController::initTaskController().exeCommandLine("/usr/bin/find", {hostStart, "-regex", regex},
                                                              &output)) {
        return std::nullopt;
    }
    std::vector<std::string> lines;
    for (const std::string& line : splitLines(output)) {
        if (line.empty()) {
            lines.push_back(line);
            continue;
        }
        if (std::optional<std::string> systemPath =
                SystemRoot::systemPathBelow(line, hostStart, searchRoot)) {
            lines.push_back(*systemPath);
        }
    }
    return lines;
}

std::optional<std::vector<std::string>> AnalyzePathManager::expandUsersWildCard(const WildCardPath& parts) {
    // The tail with its "*" removed names the same folder below every entry of the search root.
    std::string literal = parts.wildCardPath;
    literal.erase(std::remove(literal.begin(), literal.end(), '*'), literal.end());
    std::vector<std::string> collected;
    const std::optional<std::vector<std::string>> names =
        FileManager::contentsOfDirectoryAtPathCDA(parts.searchingPath);
    for (const std::string& name : names.value_or(std::vector<std::string>())) {
        const std::string entry = parts.searchingPath + "/" + name;
        // Homes are folders; an entry that is a link would lead the search somewhere else.
        const std::optional<FileAttributes> attributes = FileManager::attributesOfItemAtPathCDA(entry);
        if (!attributes || attributes->type != FileType::Directory) {
            continue;
        }
        std::optional<std::vector<std::string>> found =
            runFind(entry + literal, ".*", /*anchorToRoot=*/false);
        if (!found) {
            continue;
        }
        for (std::string& line : *found) {
            if (!line.empty()) {
                collected.push_back(std::move(line));
            }
        }
    }
    if (collected.empty()) {
        return std::nullopt;
    }
    return collected;
}

std::optional<std::vector<std::string>>
AnalyzePathManager::apartPathList(const std::optional<std::string>& text) {
    if (!text) {
        return std::nullopt;
    }
    if (!checkWildCard(*text)) {
        std::vector<std::string> expansion;
        for (const std::string& relative :
             FileManager::subpathsAtPath(*text).value_or(std::vector<std::string>())) {
            const std::string item = path::join(*text, relative);
            if (FileManager::isReadableFileAtPath(item)) {
                expansion.push_back(item);
            }
        }
        expansion.push_back(*text);
        return expansion;
    }
    const std::optional<WildCardPath> parts = apartWildCardPath(text);
    if (!parts) {
        return std::nullopt;
    }
    if (parts->searchingPath.rfind("/Users", 0) == 0) {
        return expandUsersWildCard(*parts);
    }
    const std::optional<std::string> expression = convertRegularExplession(parts->wildCardPath);
    if (!expression) {
        return std::nullopt;
    }
    if (parts->searchingPath.empty()) {
        // find has no start folder to search: it prints nothing.
        return std::vector<std::string>{std::string()};
    }
    return runFind(parts->searchingPath, *expression, /*anchorToRoot=*/true);
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
    StringSet files(mUnInstallFilePathArray.begin(), mUnInstallFilePathArray.end());
    StringSet folders(mUnInstallFolderPathArray.begin(), mUnInstallFolderPathArray.end());
    StringSet links(mUnInstallLinkPathArray.begin(), mUnInstallLinkPathArray.end());
    auto setOf = [&](FileType type) -> StringSet* {
        switch (type) {
        case FileType::Regular:
            return &files;
        case FileType::Directory:
            return &folders;
        case FileType::SymbolicLink:
            return &links;
        default:
            return nullptr;
        }
    };

    // Everything kept is taken out before anything is added: a path both kept and removed goes.
    if (restPathList) {
        for (auto entry = restPathList->rbegin(); entry != restPathList->rend(); ++entry) {
            const std::optional<std::vector<std::string>> expansion =
                apartPathList(removeUnUseSignal(*entry));
            if (!expansion) {
                continue;
            }
            for (auto item = expansion->rbegin(); item != expansion->rend(); ++item) {
                const std::optional<std::string> listed = listPath(*item);
                if (!listed) {
                    continue;
                }
                const std::optional<FileAttributes> attributes =
                    FileManager::attributesOfItemAtPathCDA(*listed);
                if (StringSet* set = attributes ? setOf(attributes->type) : nullptr) {
                    set->erase(*listed);
                }
            }
        }
    }
    if (removePathList) {
        for (const std::string& entry : *removePathList) {
            const std::optional<std::vector<std::string>> expansion = apartPathList(removeUnUseSignal(entry));
            if (!expansion) {
                continue;
            }
            for (const std::string& item : *expansion) {
                const std::optional<std::string> listed = listPath(item);
                if (!listed) {
                    continue;
                }
                const std::optional<FileAttributes> attributes =
                    FileManager::attributesOfItemAtPathCDA(*listed);
                if (StringSet* set = attributes ? setOf(attributes->type) : nullptr) {
                    set->insert(*listed);
                }
            }
        }
    }
    mUnInstallFilePathArray.assign(files.begin(), files.end());
    mUnInstallFolderPathArray.assign(folders.begin(), folders.end());
    mUnInstallLinkPathArray.assign(links.begin(), links.end());
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
        std::erase(mUnInstallFolderPathArray, individual);
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

void AnalyzePathManager::mergeExtenstionPath(const SoftwarePaths& software) {
    const std::vector<std::string> rest = addExtensionRestPathList(software.restPathList);
    const std::vector<std::string> remove =
        addExtensionRemovePathList(software.removePathList, software.applicationName);
    mergeRemovePath(remove, rest);
    removeSystemPath();
    const std::optional<std::vector<std::string>> ppdSoftware = getSoftwareNameAtCVInformation();
    if (!ppdSoftware || !software.applicationName) {
        return;
    }
    for (const std::string& name : *ppdSoftware) {
        if (CommonFunctions::isEqualStringCompare(*software.applicationName, name)) {
            addRemovePPDFilePath(getPathList(std::string(kPpdFolder), std::string("TORVA"), std::nullopt));
        }
    }
}
