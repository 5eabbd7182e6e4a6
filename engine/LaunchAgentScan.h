#pragma once

#include <string>
#include <vector>

/// The launch-agent property lists in a LaunchAgents folder and its subfolders, read as the uninstall
/// reaches them: no link but the system's own /etc, /tmp and /var is followed, and no file that is itself a
/// link is read.
class LaunchAgentScan {
public:
    struct Agent {
        std::string path;  ///< the system path of the property list
        std::string label; ///< its "Label"
    };

    /// Every file below the folder, at any depth and in listing order, that is a property-list
    /// dictionary with a string "Label"; empty when the folder cannot be listed.
    static std::vector<Agent> below(const std::string& folder);
};
