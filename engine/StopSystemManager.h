#pragma once

#include "common/CommonFunctions.h"
#include "engine/HostActions.h"
#include "platform/UserAccountManager.h"

#include <optional>
#include <string>
#include <vector>

class ProcessManager;

/// Stops the software being removed before anything of it is deleted: asks the running applications to
/// quit, kills the software's login items (killall of each item's executable) and unloads its launch
/// agents (launchctl, once per user account); and makes the Dock quit so that it rereads its preferences.
///
/// On a system that is not the running one these steps only act on a simulated Process Manager; the
/// commands are decided and reported as skipped (see HostActions).
class StopSystemManager {
public:
    /// `processes` must outlive the manager.
    explicit StopSystemManager(ProcessManager& processes) : mProcesses(processes) {}

    /// Where the steps are reported and whether they may act on this machine.
    HostActions& hostActions() { return mHostActions; }

    /// true when every running application that was asked quit (or none was running, or the step was
    /// skipped offline); false when one refused or could not be asked.
    bool stopAllApplications();

    /// Makes the Dock quit (and so restart); nothing when none runs.
    void rebootDockSystem();

    /// Runs "/usr/bin/killall" with the "CFBundleExecutable" of each application bundle; bundles that
    /// cannot be read are passed over. true (the runner answers true when no output is wanted).
    bool stopLoginWindows(const std::optional<std::vector<std::string>>& paths);

    /// For every user account "/usr/bin/su" with its name, then for each label "/bin/launchctl unload"
    /// with the label's property list (when one is found). Nothing on 10.3 or for absent or empty
    /// labels. false when the runner answered false for su or launchctl.
    bool stopLaunchAgents(const std::optional<std::vector<std::string>>& labels);

    /// The property list whose "Label" is `label`: searched in "/Library/LaunchAgents", then
    /// "/System/Library/LaunchAgents", then each user's "~/Library/LaunchAgents", at any depth; nullopt
    /// when none has it.
    std::optional<std::string> searchLaunchPath(const std::optional<std::string>& label);

    /// The first property list in or below `folder` whose "Label" is `label`; nullopt when there is none.
    static std::optional<std::string> searchLaunchPath_internal(const std::optional<std::string>& label,
                                                                const std::optional<std::string>& folder);

private:
    ProcessManager& mProcesses;
    HostActions mHostActions;
    UserAccountManager usrManager;
};
