#include "engine/StopSystemManager.h"

#include "engine/ActionReport.h"
#include "engine/LaunchAgentScan.h"
#include "engine/ProcessControl.h"
#include "platform/Bundle.h"
#include "platform/Path.h"
#include "platform/ProcessManager.h"
#include "platform/SystemRoot.h"
#include "platform/SystemVersion.h"

bool StopSystemManager::stopAllApplications() {
    // Only the running system's applications belong to the system being cleaned.
    if (!mHostActions.isLive() && mProcesses.actsOnHost()) {
        mHostActions.skip("quit applications");
        return true;
    }
    const int32_t result = processcontrol::StopAllApplications(mProcesses);
    if (ActionReport* report = mHostActions.report()) {
        if (result == 0) {
            report->add(EngineAction::Outcome::Run, "quit applications", "");
        } else {
            report->add(EngineAction::Outcome::Failed, "quit applications", "",
                        result == -1 ? "an application refused to quit" : "a quit request could not be sent");
        }
    }
    return result == 0;
}

void StopSystemManager::rebootDockSystem() {
    if (!mHostActions.isLive() && mProcesses.actsOnHost()) {
        mHostActions.skip("restart Dock");
        return;
    }
    processcontrol::rebootDockSystem(mProcesses);
    if (ActionReport* report = mHostActions.report()) {
        report->add(EngineAction::Outcome::Run, "restart Dock", "");
    }
}

bool StopSystemManager::stopLoginWindows(const std::optional<std::vector<std::string>>& paths) {
    bool result = true;
    for (const std::string& item : paths.value_or(std::vector<std::string>())) {
        const std::optional<Bundle> bundle = Bundle::bundleAtSystemPath(item);
        const std::optional<PlistValue> info = bundle ? bundle->infoDictionary() : std::nullopt;
        const std::optional<std::string> executable =
            info ? info->stringForKey("CFBundleExecutable") : std::nullopt;
        if (executable) {
            result = mHostActions.runTool("killall", "/usr/bin/killall", {*executable}, {*executable});
        }
    }
    return result;
}

bool StopSystemManager::stopLaunchAgents(const std::optional<std::vector<std::string>>& labels) {
    const int32_t version = systemversion::OSVersion();
    if (!labels || labels->empty() || (version >= 100300 && version - 100300 <= 99)) {
        return true;
    }
    bool result = true;
    for (const std::string& user : usrManager.getAllUserName()) {
        result = mHostActions.runTool("su", "/usr/bin/su", {user}, {user});
        if (!result) {
            continue;
        }
        for (const std::string& label : *labels) {
            if (const std::optional<std::string> plist = searchLaunchPath(label)) {
                // Tools only run on the running system, where a system path is also the host's.
                const std::string hostPlist = SystemRoot::hostPath(*plist).value_or(*plist);
                result = mHostActions.runTool("launchctl", "/bin/launchctl", {"unload", *plist},
                                              {"unload", hostPlist});
            }
        }
    }
    return result;
}

std::optional<std::string> StopSystemManager::searchLaunchPath(const std::optional<std::string>& label) {
    if (!label) {
        return std::nullopt;
    }
    for (const char* folder : {"/Library/LaunchAgents", "/System/Library/LaunchAgents/"}) {
        if (std::optional<std::string> found = searchLaunchPath_internal(label, std::string(folder))) {
            return found;
        }
    }
    for (const std::string& user : usrManager.getAllUserName()) {
        const std::string folder = path::join(path::join("/Users/", user), "/Library/LaunchAgents");
        if (std::optional<std::string> found = searchLaunchPath_internal(label, folder)) {
            return found;
        }
    }
    return std::nullopt;
}

std::optional<std::string>
StopSystemManager::searchLaunchPath_internal(const std::optional<std::string>& label,
                                             const std::optional<std::string>& folder) {
    if (!label || !folder) {
        return std::nullopt;
    }
    for (const LaunchAgentScan::Agent& agent : LaunchAgentScan::below(*folder)) {
        if (CommonFunctions::isEqualStringCompare(agent.label, *label)) {
            return agent.path;
        }
    }
    return std::nullopt;
}
