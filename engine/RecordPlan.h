#pragma once

#include "analysis/ProtectedItem.h"
#include "analysis/RefusedEntry.h"
#include "engine/AnalyzeCommandManager.h"
#include "engine/RemovalRequest.h"
#include "engine/StopRequest.h"

#include <cstddef>
#include <string>
#include <vector>

/// What the uninstall of one software does, worked out before anything is stopped, run or deleted: the
/// uninstall carries it out step by step, and "uninstaller-cli plan" prints it.
struct RecordPlan {
    size_t index = 0;        ///< the record's place in the full record list
    std::string name;        ///< its "ApplicationName"
    std::string displayName; ///< the name the progress shows ("Printer Driver" for the drivers)

    /// The entries of its remove paths that ask for what no uninstall may touch. When there are any, the
    /// software is refused whole: everything else of the plan is empty, nothing of it is stopped, run or
    /// removed, and the uninstall counts it as failed.
    std::vector<RefusedEntry> refusedEntries;
    /// What its packages or paths name that stays because no uninstall may take it.
    std::vector<ProtectedItem> protectedItems;

    std::vector<std::string> files;
    std::vector<std::string> links;
    /// Shortest first (FileRemover::sortedByLength); deleted from the last, each only when empty.
    std::vector<std::string> folders;

    std::vector<AnalyzeCommandManager::Verdict> preUninstall;
    std::vector<AnalyzeCommandManager::Verdict> postUninstall;
    StopRequest stop;
    RemovalRequest removal;

    /// The steps not taken because the system is not the running one, in the order they come up, each
    /// named with its arguments (a script line by the line itself).
    std::vector<std::string> skipped;
    /// True when a Dock of the system would be changed (so the Dock is restarted at the end).
    bool changesDock = false;

    bool isRefused() const { return !refusedEntries.empty(); }
    /// Why the software is refused, with the entries, in one line; "" when it is not.
    std::string refusalText() const;
};
