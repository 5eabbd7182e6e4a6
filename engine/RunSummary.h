#pragma once

#include "engine/EngineAction.h"

#include <cstddef>
#include <string>
#include <vector>

/// How an uninstall or a restore ended and what it did, counted from its actions: the last line of the
/// audit log, the closing message of the command line and of the window.
struct RunSummary {
    enum class Result {
        Done,      // every ticked software is gone
        Failed,    // something that was to go is still there, or a step failed
        Cancelled, // the user stopped the run between two software
        Refused,   // the run did not start: nothing was changed
    };

    struct Counts {
        size_t removed = 0;     // deleted, edited out of a preference file, or a receipt forgotten
        size_t skipped = 0;     // left alone on purpose (a folder that still holds files, a refused line)
        size_t failed = 0;      // still there although it was to go
        size_t alreadyGone = 0; // not there any more when its turn came
        size_t restored = 0;    // put back from a backup
        /// Everything the run meant to remove, change or put back.
        size_t total() const { return removed + skipped + failed + alreadyGone + restored; }
    };

    struct Software {
        std::string name; // the record's "ApplicationName"
        std::string row;  // the row it is shown under ("Printer Driver" for both printer drivers)
        Result result = Result::Done;
        Counts counts;
        std::vector<EngineAction> failures;
    };

    std::string runId;
    Result result = Result::Done;
    Counts counts;
    /// Why the run failed, was refused or stopped; empty when it is done.
    std::string reason;
    /// Every ticked software, in the order the run takes them; those a cancel left untouched are
    /// Cancelled. Empty when the run was refused before it had worked them out.
    std::vector<Software> software;
    /// The backup the run wrote, with the number of items it holds; empty without one.
    std::string backupFile;
    size_t backedUp = 0;

    /// The word the log and the JSON output use: "done", "failed", "cancelled", "refused".
    static const char* resultName(Result result);

    /// Adds an action to the counts it belongs to (a step without an item, such as a script line that
    /// ran, counts nowhere).
    static void count(const EngineAction& action, Counts& counts);

    /// A new run identifier: the time of the run and a random part, unique enough to find one run's lines
    /// among many runs' logs ("20261207T034036Z-5d1c2a9e").
    static std::string newRunId();
};
