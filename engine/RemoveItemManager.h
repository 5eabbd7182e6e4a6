#pragma once

#include "common/CommonFunctions.h"
#include "common/PackageInfoEntry.h"
#include "engine/EngineAction.h"
#include "engine/HostActions.h"
#include "platform/ConfinedRemover.h"
#include "platform/PlistValue.h"
#include "platform/UserAccountManager.h"

#include <optional>
#include <string>
#include <vector>

class BackupArchive;
class PreferencesFile;

/// Clears what a software leaves outside its files once they are deleted: its tiles in every user's
/// Dock, its login items (of the system and of every user), its launch-agent property lists, its
/// uninstall information file and its package receipts; and remembers whether a Dock was changed, so
/// that the Dock is restarted at the end.
///
/// Property lists are changed only under the keys named and written back in their own form with their
/// owner and mode; files are deleted through ConfinedRemover. Receipts are forgotten with
/// "/usr/sbin/pkgutil" on "/" and then on each user's volume, and a receipt bundle is deleted where
/// forgetting did not succeed. Every step goes to the report of hostActions().
///
/// With a backup, every file is written to it and the backup made durable before the file is deleted,
/// edited or forgotten; what the backup does not take stays as it is.
class RemoveItemManager {
public:
    /// The backup of what is removed or edited; nullptr (the default) for none. It must outlive its use.
    void setBackup(BackupArchive* backup) {
        mBackup = backup;
        mRemover.setBackup(backup);
    }

    /// Where the steps are reported, whether chown may run on this machine, and whether anything is
    /// carried out at all (ActionMode::DryRun decides and reports only).
    HostActions& hostActions() { return mHostActions; }

    void setIsRemoveDockItem(bool removed) { mIsRemoveDockItem = removed; }
    bool getIsRemoveDockItem() const { return mIsRemoveDockItem; }

    /// Removes every tile whose label is listed from "persistent-apps" and "persistent-others" of each
    /// user's Dock. true.
    bool removeDockItems(const std::optional<std::vector<std::string>>& labels);

    /// Removes (from the last to the first) the tiles of `tiles` whose "tile-data" "file-label" is one of
    /// `labels`, and puts the edited array back into `dock` under `key`; sets `changed` when one went.
    static void removePersistentArray(PlistValue::Array& tiles, PlistValue& dock,
                                      const std::vector<std::string>& labels, const std::string& key,
                                      bool& changed);

    /// Removes the listed items ("Path") from "AutoLaunchedApplicationDictionary" of the system's and of
    /// every user's login-window preferences. true for absent paths; false when one file gave false.
    bool removeLoginWindows(const std::optional<std::vector<std::string>>& paths);

    /// The same for the "loginwindow.plist" in one folder; the user's file goes back to the user with
    /// chown. false only for absent arguments.
    bool removeLoginWindows_internal(const std::optional<std::vector<std::string>>& paths,
                                     const std::optional<std::string>& folder,
                                     const std::optional<std::string>& userName);

    /// Deletes the launch-agent property lists whose "Label" is listed, at any depth below
    /// "/Library/LaunchAgents", "/System/Library/LaunchAgents" and each user's LaunchAgents folder.
    /// Every matching file is tried; false when one could not be deleted (no user account is nothing to do).
    bool removeLaunchAgents(const std::optional<std::vector<std::string>>& labels);

    /// The same for one folder; false when a matching file could not be deleted.
    bool removeLaunchAgents_internal(const std::optional<std::vector<std::string>>& labels,
                                     const std::optional<std::string>& folder);

    /// Deletes the uninstall information file; true when it went or was already gone, false when it is not
    /// an uninstall information file or could not be deleted.
    bool removeUnInstallPList(const std::optional<std::string>& path);

    /// Forgets or deletes the receipts of the packages, as the system version calls for; a receipt bundle
    /// only when its own identifier is the package's. false for an absent list.
    bool removeReceipts(const std::optional<std::vector<PackageInfoEntry>>& packages);

    /// Runs "/usr/sbin/pkgutil --forget ID --volume V"; true when it ran and said it forgot the package.
    bool forgetPackage(const std::optional<std::string>& identifier,
                       const std::optional<std::string>& volume);

    /// True when "/usr/sbin/pkgutil --pkgs --volume V" lists the package, or the list cannot be read.
    static bool isPackageListed(const std::string& identifier, const std::string& volume);

private:
    bool executes() const { return mHostActions.mode() == ActionMode::Execute; }
    void report(EngineAction::Outcome outcome, const std::string& step, const std::string& target,
                const std::string& detail = {});
    void skippedFile(const std::string& step, const std::string& path, const std::string& whyNot);
    bool saveEdit(const PreferencesFile& file, const std::string& detail,
                  const std::optional<std::string>& userName);
    void removeReceiptBundle(const PackageInfoEntry& entry, const std::vector<std::string>& users);
    // Writes the files to the backup and makes it durable; true without a backup. `why` says what failed.
    bool backUp(const std::vector<std::string>& paths, std::string& why);
    std::string whyNotRemoved(ConfinedRemover::Outcome outcome) const;

    UserAccountManager usrManager;
    CommonFunctions cmnFuncs;
    bool mIsRemoveDockItem = false;
    HostActions mHostActions;
    ConfinedRemover mRemover;
    BackupArchive* mBackup = nullptr;
};
