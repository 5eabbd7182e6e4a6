#include "engine/LaunchAgentScan.h"

#include "platform/ConfinedFile.h"
#include "platform/ConfinedWalker.h"
#include "platform/Path.h"
#include "platform/PropertyList.h"

namespace {

// Launch-agent files are small; anything larger is not one.
constexpr size_t kMaxAgentSize = size_t{1} << 20;

} // namespace

std::vector<LaunchAgentScan::Agent> LaunchAgentScan::below(const std::string& folder) {
    std::vector<Agent> agents;
    ConfinedWalker walker;
    const std::optional<std::vector<std::string>> entries = walker.subpaths(folder);
    if (!entries) {
        return agents;
    }
    for (const std::string& relative : *entries) {
        const std::string full = path::standardize(path::join(folder, relative));
        ConfinedFile::Contents contents;
        if (ConfinedFile::read(full, contents, kMaxAgentSize) != ConfinedFile::Status::Read) {
            continue;
        }
        const std::optional<PlistValue> agent = PropertyList::parse(contents.bytes);
        if (!agent || !agent->isDictionary()) {
            continue;
        }
        if (std::optional<std::string> label = agent->stringForKey("Label")) {
            agents.push_back({full, std::move(*label)});
        }
    }
    return agents;
}
