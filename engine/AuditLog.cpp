#include "engine/AuditLog.h"

#include "engine/EngineAction.h"
#include "engine/JsonText.h"
#include "engine/RunSummary.h"

#include <chrono>
#include <ctime>

namespace {

std::string now() {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string quotedList(const std::vector<std::string>& items) {
    std::string text = "[";
    for (const std::string& item : items) {
        text += (text.size() > 1 ? ", " : "") + jsontext::quoted(item);
    }
    return text + "]";
}

} // namespace

bool AuditLog::open() {
    mFile.reset();
    mProblem.reset();
    std::string error;
    mFile = mHostFile ? LogFile::openOnHost(*mHostFile, error) : LogFile::openInSystem(kDefaultPath, error);
    if (!mFile) {
        mProblem = "the audit log " + location() + " cannot be written: " + error;
    }
    return mFile.has_value();
}

void AuditLog::append(const std::string& line) {
    if (mFile && !mFile->append(line + "\n") && !mProblem) {
        mProblem = "the audit log " + location() + " could not be written to the end";
    }
}

std::string AuditLog::head() const {
    return "{\"time\": " + jsontext::quoted(now()) + ", \"run\": " + jsontext::quoted(mRunId);
}

void AuditLog::writeStart(const RunStart& start) {
    mRunId = start.runId;
    mStep = start.step;
    std::string line =
        head() + ", \"software\": \"\", \"step\": " + jsontext::quoted(start.step) +
        ", \"target\": " + jsontext::quoted(start.target) + ", \"outcome\": \"started\"" +
        ", \"program\": " + jsontext::quoted(start.program) +
        ", \"version\": " + jsontext::quoted(start.version) +
        ", \"interface\": " + jsontext::quoted(start.interface) + ", \"uid\": " + std::to_string(start.uid) +
        ", \"user\": " + jsontext::quoted(start.user) + ", \"system\": " + jsontext::quoted(start.system);
    if (start.step == "uninstall") {
        line += ", \"rows\": " + quotedList(start.rows) + ", \"takenAlong\": " + quotedList(start.takenAlong);
    }
    if (!start.backup.empty()) {
        line += ", \"backup\": " + jsontext::quoted(start.backup);
    }
    append(line + "}");
}

void AuditLog::write(const EngineAction& action) {
    std::string line = head() + ", \"software\": " + jsontext::quoted(action.software) +
                       ", \"step\": " + jsontext::quoted(action.step) +
                       ", \"target\": " + jsontext::quoted(action.target) +
                       ", \"outcome\": " + jsontext::quoted(EngineAction::outcomeName(action.outcome));
    if (!action.detail.empty()) {
        line += ", \"detail\": " + jsontext::quoted(action.detail);
    }
    append(line + "}");
}

void AuditLog::writeEnd(const RunSummary& summary) {
    const bool restore = mStep == "restore";
    std::string line =
        head() + ", \"software\": \"\", \"step\": " + jsontext::quoted(mStep) + ", \"target\": \"\", " +
        "\"outcome\": \"ended\", \"result\": " + jsontext::quoted(RunSummary::resultName(summary.result)) +
        (restore ? ", \"restored\": " + std::to_string(summary.counts.restored)
                 : ", \"removed\": " + std::to_string(summary.counts.removed)) +
        ", \"skipped\": " + std::to_string(summary.counts.skipped) +
        ", \"failed\": " + std::to_string(summary.counts.failed);
    if (!restore) {
        line += ", \"alreadyGone\": " + std::to_string(summary.counts.alreadyGone);
    }
    if (!summary.backupFile.empty()) {
        line += ", \"backup\": " + jsontext::quoted(summary.backupFile) +
                ", \"backedUp\": " + std::to_string(summary.backedUp);
    }
    if (!summary.reason.empty()) {
        line += ", \"reason\": " + jsontext::quoted(summary.reason);
    }
    append(line + "}");
}
