#include "engine/RunSummary.h"

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
    case EngineAction::Outcome::Run:
    case EngineAction::Outcome::NothingToDo:
        break;
    }
}
