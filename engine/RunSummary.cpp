#include "engine/RunSummary.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>

const char* RunSummary::resultName(Result result) {
    switch (result) {
    case Result::Done:
        return "done";
    case Result::Failed:
        return "failed";
    case Result::Cancelled:
        return "cancelled";
    case Result::Refused:
        return "refused";
    }
    return "failed";
}

void RunSummary::count(const EngineAction& action, Counts& counts) {
    switch (action.outcome) {
    case EngineAction::Outcome::Deleted:
    case EngineAction::Outcome::Edited:
    case EngineAction::Outcome::Forgotten:
        ++counts.removed;
        break;
    case EngineAction::Outcome::Skipped:
    case EngineAction::Outcome::Refused:
    case EngineAction::Outcome::SkippedOffline:
        ++counts.skipped;
        break;
    case EngineAction::Outcome::Failed:
        ++counts.failed;
        break;
    case EngineAction::Outcome::AlreadyGone:
        ++counts.alreadyGone;
        break;
    case EngineAction::Outcome::Restored:
        ++counts.restored;
        break;
    case EngineAction::Outcome::Run:
    case EngineAction::Outcome::NothingToDo:
        break;
    }
}

std::string RunSummary::newRunId() {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char time[32];
    std::strftime(time, sizeof time, "%Y%m%dT%H%M%SZ", &utc);
    std::random_device random;
    char id[64];
    std::snprintf(id, sizeof id, "%s-%08x", time, random());
    return id;
}
