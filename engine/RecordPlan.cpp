#include "engine/RecordPlan.h"

std::string RecordPlan::refusalText() const {
    if (!isRefused()) {
        return {};
    }
    std::string text = "its remove paths ask for what no uninstall may touch: ";
    for (size_t i = 0; i < refusedEntries.size(); ++i) {
        const RefusedEntry& refused = refusedEntries[i];
        text += (i == 0 ? "" : "; ") + refused.entry + " reaches " + refused.reaches + " (" + refused.reason +
                ")";
    }
    return text;
}
