#include "engine/AuditLog.h"

#include "engine/EngineAction.h"
#include "engine/JsonText.h"

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

} // namespace

bool AuditLog::open() {
    mFile.reset();
    std::string error;
    mFile = mHostFile ? LogFile::openOnHost(*mHostFile, error) : LogFile::openInSystem(kDefaultPath, error);
    if (!mFile && !mProblem) {
        mProblem = "the audit log " + mHostFile.value_or(kDefaultPath) + " cannot be written: " + error;
    }
    return mFile.has_value();
}

void AuditLog::append(const std::string& line) {
    if (mFile && !mFile->append(line + "\n") && !mProblem) {
        mProblem = "the audit log " + mHostFile.value_or(kDefaultPath) + " could not be written to the end";
    }
}

void AuditLog::write(const std::string& software, const EngineAction& action) {
    std::string line =
        "{\"time\": " + jsontext::quoted(now()) + ", \"software\": " + jsontext::quoted(software) +
        ", \"step\": " + jsontext::quoted(action.step) + ", \"target\": " + jsontext::quoted(action.target) +
        ", \"outcome\": " + jsontext::quoted(EngineAction::outcomeName(action.outcome));
    if (!action.detail.empty()) {
        line += ", \"detail\": " + jsontext::quoted(action.detail);
    }
    append(line + "}");
}

void AuditLog::writeRun(const std::string& event, const std::string& detail) {
    append("{\"time\": " + jsontext::quoted(now()) +
           ", \"software\": \"\", \"step\": \"uninstall\", \"target\": \"\", " +
           "\"outcome\": " + jsontext::quoted(event) + ", \"detail\": " + jsontext::quoted(detail) + "}");
}
