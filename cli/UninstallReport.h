#pragma once

#include "cli/ExitStatus.h"
#include "engine/RunSummary.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

/// The one JSON document that `uninstall --json` prints at its end, however the run ended: the audit
/// log's run identifier, the rows asked for and taken along, the result with its reason and the exit
/// status, the counts, and per software its result, counts and failures with their reasons. Its shape is
/// docs/schema/uninstall.schema.json; a change to it changes the schema too.
class UninstallReport {
public:
    /// A report of a run refused for no reason yet.
    UninstallReport() { mSummary.result = RunSummary::Result::Refused; }

    /// The rows asked for (as named, then as found) and the rows taken along with them.
    void setRows(std::vector<std::string> rows, std::vector<std::string> takenAlong);

    /// The run ended before the uninstall started, having changed nothing: Refused (a usage error, no
    /// system or no software to work on) or Cancelled (the question answered no), for `reason`.
    void setStopped(RunSummary::Result result, std::string reason);

    /// Refuses the run for `reason`, telling `err` ("uninstaller-cli: REASON"); gives `status` back.
    ExitStatus refuse(ExitStatus status, const std::string& reason, std::ostream& err);

    /// Where the audit log is and what kept it from being written, if anything did.
    void setAuditLog(std::string location, std::optional<std::string> problem);

    /// The uninstall driver's account of its run (which has a run identifier, even when it was refused).
    void setRun(const RunSummary& summary);

    /// The document, for a program that ends with `status`.
    std::string json(ExitStatus status) const;

private:
    std::vector<std::string> mRows;
    std::vector<std::string> mTakenAlong;
    RunSummary mSummary;
    bool mRan = false;
    std::optional<std::string> mAuditLog;
    std::optional<std::string> mAuditLogProblem;
};
