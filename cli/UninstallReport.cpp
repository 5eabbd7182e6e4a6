#include "cli/UninstallReport.h"

#include "engine/JsonText.h"

#include <ostream>

namespace {

std::string countsJson(const RunSummary::Counts& counts) {
    return "{\"removed\": " + std::to_string(counts.removed) +
           ", \"skipped\": " + std::to_string(counts.skipped) +
           ", \"failed\": " + std::to_string(counts.failed) +
           ", \"alreadyGone\": " + std::to_string(counts.alreadyGone) + "}";
}

std::string optionalText(const std::optional<std::string>& text) {
    return text ? jsontext::quoted(*text) : "null";
}

std::string softwareJson(const RunSummary::Software& software) {
    std::string failures;
    for (const EngineAction& failure : software.failures) {
        failures += (failures.empty() ? "" : ", ") + std::string("{\"step\": ") +
                    jsontext::quoted(failure.step) + ", \"target\": " + jsontext::quoted(failure.target) +
                    ", \"reason\": " + jsontext::quoted(failure.detail) + "}";
    }
    return "{\"name\": " + jsontext::quoted(software.name) + ", \"row\": " + jsontext::quoted(software.row) +
           ", \"result\": " + jsontext::quoted(RunSummary::resultName(software.result)) +
           ", \"counts\": " + countsJson(software.counts) + ",\n   \"failures\": [" + failures + "]}";
}

} // namespace

void UninstallReport::setRows(std::vector<std::string> rows, std::vector<std::string> takenAlong) {
    mRows = std::move(rows);
    mTakenAlong = std::move(takenAlong);
}

void UninstallReport::setStopped(RunSummary::Result result, std::string reason) {
    mSummary.result = result;
    mSummary.reason = std::move(reason);
}

ExitStatus UninstallReport::refuse(ExitStatus status, const std::string& reason, std::ostream& err) {
    err << "uninstaller-cli: " << reason << '\n';
    setStopped(RunSummary::Result::Refused, reason);
    return status;
}

void UninstallReport::setAuditLog(std::string location, std::optional<std::string> problem) {
    mAuditLog = std::move(location);
    mAuditLogProblem = std::move(problem);
}

void UninstallReport::setRun(const RunSummary& summary) {
    mSummary = summary;
    mRan = true;
}

std::string UninstallReport::json(ExitStatus status) const {
    std::string software;
    for (const RunSummary::Software& one : mSummary.software) {
        software += (software.empty() ? "\n  " : ",\n  ") + softwareJson(one);
    }
    return "{\"run\": " + (mRan ? jsontext::quoted(mSummary.runId) : std::string("null")) +
           ", \"result\": " + jsontext::quoted(RunSummary::resultName(mSummary.result)) +
           ", \"reason\": " + jsontext::quoted(mSummary.reason) +
           ", \"exitStatus\": " + std::to_string(exitCode(status)) +
           ",\n \"rows\": " + jsontext::array(mRows) + ", \"takenAlong\": " + jsontext::array(mTakenAlong) +
           ",\n \"counts\": " + countsJson(mSummary.counts) + ",\n \"software\": [" + software +
           (software.empty() ? "" : "\n ") + "],\n \"auditLog\": " + optionalText(mAuditLog) +
           ", \"auditLogProblem\": " + optionalText(mAuditLogProblem) + ",\n \"backup\": " +
           (mSummary.backupFile.empty() ? std::string("null")
                                        : "{\"file\": " + jsontext::quoted(mSummary.backupFile) +
                                              ", \"items\": " + std::to_string(mSummary.backedUp) + "}") +
           "}\n";
}
