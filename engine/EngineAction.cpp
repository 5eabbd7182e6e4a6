#include "engine/EngineAction.h"

const char* EngineAction::outcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Deleted:
        return "deleted";
    case Outcome::Skipped:
        return "skipped";
    case Outcome::Edited:
        return "edited";
    case Outcome::Forgotten:
        return "forgotten";
    case Outcome::Run:
        return "run";
    case Outcome::Refused:
        return "refused";
    case Outcome::SkippedOffline:
        return "skipped offline";
    case Outcome::Failed:
        return "failed";
    case Outcome::AlreadyGone:
        return "already gone";
    case Outcome::NothingToDo:
        return "nothing to do";
    case Outcome::Restored:
        return "restored";
    }
    return "skipped";
}

std::string EngineAction::text() const {
    std::string line = outcomeName(outcome);
    for (const std::string* part : {&step, &target}) {
        if (!part->empty()) {
            line += " " + *part;
        }
    }
    return detail.empty() ? line : line + " (" + detail + ")";
}
