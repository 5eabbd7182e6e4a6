#include "cli/CliProcesses.h"

#include "platform/HostProcessManager.h"
#include "platform/SimulatedProcessManager.h"

#include <cstdlib>

std::unique_ptr<ProcessManager> CliProcesses::create(std::string& error) {
    const char* list = std::getenv("UNINSTALLER_PROCESS_LIST");
    if (list == nullptr || *list == '\0') {
        return std::make_unique<HostProcessManager>();
    }
    std::optional<SimulatedProcessManager> simulated =
        SimulatedProcessManager::fromFile(list, std::string(list) + ".events");
    if (!simulated) {
        error = std::string("UNINSTALLER_PROCESS_LIST names no readable process list: ") + list;
        return nullptr;
    }
    return std::make_unique<SimulatedProcessManager>(std::move(*simulated));
}
