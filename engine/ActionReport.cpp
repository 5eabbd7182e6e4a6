#include "engine/ActionReport.h"

void ActionReport::add(EngineAction action) {
    action.software = mSoftware;
    mActions.push_back(std::move(action));
    if (mListener) {
        mListener(mActions.back());
    }
}

std::vector<EngineAction> ActionReport::actionsWith(EngineAction::Outcome outcome) const {
    std::vector<EngineAction> found;
    for (const EngineAction& action : mActions) {
        if (action.outcome == outcome) {
            found.push_back(action);
        }
    }
    return found;
}
