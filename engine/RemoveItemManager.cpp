#include "engine/RemoveItemManager.h"

#include "common/RecordFiles.h"
#include "engine/ActionReport.h"
#include "engine/LaunchAgentScan.h"
#include "engine/PreferencesFile.h"
#include "platform/BackupArchive.h"
#include "platform/CTaskController.h"
#include "platform/FileManager.h"
#include "platform/Path.h"
#include "platform/SystemRoot.h"
#include "platform/SystemVersion.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kDockFile = "com.apple.dock.plist";
constexpr const char* kLoginWindowFile = "loginwindow.plist";
constexpr const char* kLoginItemsKey = "AutoLaunchedApplicationDictionary";

std::string userFolder(const std::string& user, const std::string& below) {
    return path::standardize(path::join(path::join("/Users/", user), below));
}

// A package name becomes the last component of a receipt path: anything else would name another folder.
bool isReceiptName(const std::string& name) {
    return !name.empty() && name != "-" && name != "." && name != ".." &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

} // namespace

void RemoveItemManager::report(EngineAction::Outcome outcome, const std::string& step,
                               const std::string& target, const std::string& detail) {
    if (ActionReport* actions = mHostActions.report(); actions != nullptr && executes()) {
        actions->add(outcome, step, target, detail);
    }
}

void RemoveItemManager::skippedFile(const std::string& step, const std::string& path,
                                    const std::string& whyNot) {
    if (!whyNot.empty()) {
        report(EngineAction::Outcome::Skipped, step, path, whyNot);
    }
}

bool RemoveItemManager::backUp(const std::vector<std::string>& paths, std::string& why) {
    if (mBackup == nullptr) {
        return true;
    }
    for (const std::string& path : paths) {
        if (mBackup->keepPath(path, why) != BackupArchive::Keep::Kept) {
            return false;
        }
    }
    if (!mBackup->sync()) {
        why = mBackup->problem();
        return false;
    }
    return true;
}

std::string RemoveItemManager::whyNotRemoved(ConfinedRemover::Outcome outcome) const {
    switch (outcome) {
    case ConfinedRemover::Outcome::UnsafeLink:
        return "unsafe link";
    case ConfinedRemover::Outcome::NotKept:
        return "not backed up: " + mRemover.backupProblem();
    case ConfinedRemover::Outcome::Changed:
        return "changed after it was backed up";
    default:
        return std::strerror(mRemover.lastError());
    }
}

bool RemoveItemManager::saveEdit(const PreferencesFile& file, const std::string& detail,
                                 const std::optional<std::string>& userName) {
    if (!executes()) {
        // A dry run only tells what would follow the write.
        if (userName) {
            mHostActions.runTool("chown", "/usr/sbin/chown", {*userName, file.path()}, {});
        }
        return true;
    }
    // The file as it was goes to the backup first; without that it is not edited.
    if (std::string why; !backUp({file.path()}, why)) {
        report(EngineAction::Outcome::Failed, "preferences", file.path(), detail + ": not backed up: " + why);
        return false;
    }
    const bool written = file.save();
    if (written && mBackup != nullptr) {
        mBackup->noteEdited(file.path());
    }
    report(written ? EngineAction::Outcome::Edited : EngineAction::Outcome::Failed, "preferences",
           file.path(), written ? detail : detail + ": the file could not be written");
    // The new file already has the old one's owner; on the running system it is also handed to the user
    // by name, as the Dock and the login window expect.
    if (written && userName) {
        mHostActions.runTool("chown", "/usr/sbin/chown", {*userName, file.path()},
                             {*userName, SystemRoot::hostPath(file.path()).value_or(file.path())});
    }
    return written;
}

bool RemoveItemManager::removeDockItems(const std::optional<std::vector<std::string>>& labels) {
    if (!labels || labels->empty()) {
        return true;
    }
    for (const std::string& user : usrManager.getAllUserName()) {
        const std::string dockPath = userFolder(user, std::string("/Library/Preferences/") + kDockFile);
        std::string whyNot;
        std::optional<PreferencesFile> dock = PreferencesFile::open(dockPath, whyNot);
        if (!dock || dock->root().asDictionary().empty()) {
            skippedFile("Dock", dockPath, whyNot);
            continue;
        }
        bool changed = false;
        std::string keys;
        for (const char* key : {"persistent-apps", "persistent-others"}) {
            const PlistValue* tiles = dock->root().find(key);
            if (tiles == nullptr || !tiles->isArray() || tiles->asArray().empty()) {
                continue;
            }
            PlistValue::Array edited = tiles->asArray();
            bool keyChanged = false;
            removePersistentArray(edited, dock->root(), *labels, key, keyChanged);
            if (keyChanged) {
                keys += (keys.empty() ? "" : ", ") + std::string(key);
                changed = true;
            }
        }
        if (changed) {
            saveEdit(*dock, keys + ": " + listed(*labels), user);
            // Set whether or not the write succeeded, as the Dock is restarted either way.
            mIsRemoveDockItem = true;
        }
    }
    return true;
}

void RemoveItemManager::removePersistentArray(PlistValue::Array& tiles, PlistValue& dock,
                                              const std::vector<std::string>& labels, const std::string& key,
                                              bool& changed) {
    for (size_t i = tiles.size(); i-- > 0;) {
        const PlistValue& tile = tiles[i];
        if (!tile.isDictionary() || tile.asDictionary().empty()) {
            continue;
        }
        const PlistValue* data = tile.find("tile-data");
        if (data == nullptr || !data->isDictionary() || data->asDictionary().empty()) {
            continue;
        }
        const std::optional<std::string> label = data->stringForKey("file-label");
        if (label && CommonFunctions::removeBackArrayObject(tiles, *label, i, labels)) {
            dock.set(key, PlistValue(tiles));
            changed = true;
        }
    }
}

bool RemoveItemManager::removeLoginWindows(const std::optional<std::vector<std::string>>& paths) {
    if (!paths) {
        return true;
    }
    if (!removeLoginWindows_internal(paths, std::string("/Library/Preferences/"), std::nullopt)) {
        return false;
    }
    for (const std::string& user : usrManager.getAllUserName()) {
        if (!removeLoginWindows_internal(paths, userFolder(user, "/Library/Preferences/"), user)) {
            return false;
        }
    }
    return true;
}

bool RemoveItemManager::removeLoginWindows_internal(const std::optional<std::vector<std::string>>& paths,
                                                    const std::optional<std::string>& folder,
                                                    const std::optional<std::string>& userName) {
    if (!paths || !folder) {
        return false;
    }
    const std::string filePath = path::standardize(path::join(*folder, kLoginWindowFile));
    std::string whyNot;
    std::optional<PreferencesFile> file = PreferencesFile::open(filePath, whyNot);
    if (!file) {
        skippedFile("login items", filePath, whyNot);
        return true;
    }
    const PlistValue* items = file->root().find(kLoginItemsKey);
    PlistValue::Array edited = items != nullptr && items->isArray() ? items->asArray() : PlistValue::Array();
    bool removed = false;
    for (size_t i = edited.size(); i-- > 0;) {
        const std::optional<std::string> itemPath = edited[i].stringForKey("Path");
        if (itemPath && CommonFunctions::removeBackArrayObject(edited, *itemPath, i, *paths)) {
            removed = true;
        }
    }
    if (!removed) {
        return true;
    }
    file->root().set(kLoginItemsKey, PlistValue(std::move(edited)));
    saveEdit(*file, std::string(kLoginItemsKey) + ": " + listed(*paths), userName);
    return true;
}

bool RemoveItemManager::removeLaunchAgents(const std::optional<std::vector<std::string>>& labels) {
    if (!labels || labels->empty()) {
        return true;
    }
    bool systemAll = true;
    for (const char* folder : {"/Library/LaunchAgents", "/System/Library/LaunchAgents/"}) {
        systemAll = removeLaunchAgents_internal(labels, std::string(folder)) && systemAll;
    }
    const std::vector<std::string> users = usrManager.getAllUserName();
    if (users.empty()) {
        report(EngineAction::Outcome::NothingToDo, "launch agent", listed(*labels),
               "no user accounts to search");
    }
    bool all = true;
    for (const std::string& user : users) {
        all = removeLaunchAgents_internal(labels, userFolder(user, "/Library/LaunchAgents")) && all;
    }
    return all && systemAll;
}

bool RemoveItemManager::removeLaunchAgents_internal(const std::optional<std::vector<std::string>>& labels,
                                                    const std::optional<std::string>& folder) {
    if (!labels || !folder) {
        return false;
    }
    bool all = true;
    for (const LaunchAgentScan::Agent& agent : LaunchAgentScan::below(*folder)) {
        bool listedLabel = false;
        for (const std::string& label : *labels) {
            listedLabel = listedLabel || CommonFunctions::isEqualStringCompare(agent.label, label);
        }
        if (!listedLabel || !executes()) {
            continue;
        }
        const ConfinedRemover::Outcome outcome = mRemover.removeItem(agent.path);
        if (outcome == ConfinedRemover::Outcome::Protected) {
            // The system's own agents stay, whatever label the data names.
            report(EngineAction::Outcome::Skipped, "launch agent", agent.path, "protected");
            continue;
        }
        if (outcome == ConfinedRemover::Outcome::Deleted) {
            report(EngineAction::Outcome::Deleted, "launch agent", agent.path, agent.label);
        } else if (outcome == ConfinedRemover::Outcome::Missing) {
            report(EngineAction::Outcome::AlreadyGone, "launch agent", agent.path, agent.label);
        } else {
            report(EngineAction::Outcome::Failed, "launch agent", agent.path, whyNotRemoved(outcome));
            all = false;
        }
    }
    return all;
}

bool RemoveItemManager::removeUnInstallPList(const std::optional<std::string>& path) {
    if (!path) {
        return false;
    }
    if (!RecordFiles::isInformationFile(*path)) {
        report(EngineAction::Outcome::Failed, "information file", *path, "not an uninstall information file");
        return false;
    }
    if (!executes()) {
        return true;
    }
    const ConfinedRemover::Outcome outcome = mRemover.removeItem(*path);
    if (outcome == ConfinedRemover::Outcome::Deleted) {
        report(EngineAction::Outcome::Deleted, "information file", *path);
        return true;
    }
    // A record whose own remove paths named it, or a second run: its goal is reached.
    if (outcome == ConfinedRemover::Outcome::Missing) {
        report(EngineAction::Outcome::AlreadyGone, "information file", *path);
        return true;
    }
    report(EngineAction::Outcome::Failed, "information file", *path, whyNotRemoved(outcome));
    return false;
}

bool RemoveItemManager::forgetPackage(const std::optional<std::string>& identifier,
                                      const std::optional<std::string>& volume) {
    if (!identifier || !volume) {
        return false;
    }
    // The runner's own answer is YES for any command run without its output; only the exit status says
    // whether the receipt was there to forget.
    const std::optional<std::string> hostVolume = SystemRoot::hostPath(*volume);
    if (!hostVolume) {
        return false;
    }
    const std::optional<CTaskController::RunResult> result =
        CTaskController::runTool("/usr/sbin/pkgutil", {"--forget", *identifier, "--volume", *hostVolume},
                                 CTaskController::RunOptions());
    return result && result->exitStatus == 0;
}

bool RemoveItemManager::isPackageListed(const std::string& identifier, const std::string& volume) {
    const std::optional<std::string> hostVolume = SystemRoot::hostPath(volume);
    if (!hostVolume) {
        return false;
    }
    const std::optional<CTaskController::RunResult> result = CTaskController::runTool(
        "/usr/sbin/pkgutil", {"--pkgs", "--volume", *hostVolume}, CTaskController::RunOptions());
    if (!result || result->exitStatus != 0) {
        // A database that cannot be read may still hold it.
        return true;
    }
    size_t start = 0;
    const std::string& output = result->output;
    while (start < output.size()) {
        const size_t end = std::min(output.find('\n', start), output.size());
        if (output.compare(start, end - start, identifier) == 0 && end - start == identifier.size()) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

void RemoveItemManager::removeReceiptBundle(const PackageInfoEntry& entry,
                                            const std::vector<std::string>& users) {
    if (!isReceiptName(entry.packageName)) {
        report(EngineAction::Outcome::AlreadyGone, "receipt", entry.packageIdentifier, "no receipt found");
        return;
    }
    std::vector<std::string> bundles = {
        path::standardize(path::join("/Library/Receipts/", entry.packageName))};
    for (const std::string& user : users) {
        bundles.push_back(userFolder(user, "/Library/Receipts/" + entry.packageName));
    }
    for (const std::string& bundle : bundles) {
        // The name comes from the data: a bundle another package wrote is not this software's receipt.
        if (!RecordFiles::isReceiptBundleOf(bundle, entry.packageIdentifier)) {
            if (FileManager::fileExistsAtPath(bundle)) {
                report(EngineAction::Outcome::Skipped, "receipt bundle", bundle,
                       "not the receipt of " + entry.packageIdentifier);
            }
            continue;
        }
        const ConfinedRemover::Outcome outcome = mRemover.removeTree(bundle);
        if (outcome == ConfinedRemover::Outcome::Deleted) {
            report(EngineAction::Outcome::Deleted, "receipt bundle", bundle, entry.packageIdentifier);
            return;
        }
        if (outcome != ConfinedRemover::Outcome::Missing) {
            report(EngineAction::Outcome::Failed, "receipt bundle", bundle, whyNotRemoved(outcome));
            return;
        }
    }
    report(EngineAction::Outcome::AlreadyGone, "receipt", entry.packageIdentifier, "no receipt found");
}

bool RemoveItemManager::removeReceipts(const std::optional<std::vector<PackageInfoEntry>>& packages) {
    if (!packages) {
        return false;
    }
    const int32_t version = systemversion::OSVersion();
    const std::vector<std::string> users = usrManager.getAllUserName();
    bool all = true;
    for (const PackageInfoEntry& entry : *packages) {
        enum class Action { Forget, DeleteBundle, Nothing };
        Action action = Action::Nothing;
        if (version >= 100600) {
            action = Action::Forget;
        } else if (version >= 100300 && entry.packageType == "Bundle") {
            action = Action::DeleteBundle;
        } else if (version >= 100300 && entry.packageType == "Binary") {
            action = Action::Forget;
        }
        if (action == Action::Nothing || !executes()) {
            continue;
        }
        if (action == Action::Forget) {
            std::vector<std::string> volumes = {"/"};
            for (const std::string& user : users) {
                volumes.push_back(userFolder(user, "/"));
            }
            bool settled = false;
            for (const std::string& volume : volumes) {
                // What pkgutil deletes goes to the backup first; without that the receipt stays.
                if (std::string why;
                    !backUp(RecordFiles::receiptFilesOf(entry.packageIdentifier, volume), why)) {
                    report(EngineAction::Outcome::Failed, "receipt", entry.packageIdentifier,
                           "volume " + volume + ": not backed up: " + why);
                    all = false;
                    settled = true;
                    break;
                }
                // Only a receipt that is no longer listed is forgotten, whatever pkgutil answered.
                const bool ran = forgetPackage(entry.packageIdentifier, volume);
                if (!isPackageListed(entry.packageIdentifier, volume)) {
                    if (ran) {
                        report(EngineAction::Outcome::Forgotten, "receipt", entry.packageIdentifier,
                               "volume " + volume);
                        settled = true;
                        break;
                    }
                    continue;
                }
                report(EngineAction::Outcome::Failed, "receipt", entry.packageIdentifier,
                       "still listed on volume " + volume + " after pkgutil --forget");
                all = false;
                settled = true;
                break;
            }
            if (settled) {
                continue;
            }
        }
        removeReceiptBundle(entry, users);
    }
    return all;
}
