#include "cli/CliProcesses.h"

#include "platform/HostProcessManager.h"
#include "platform/SimulatedProcessManager.h"
#include "platform/TestHooks.h"

std::unique_ptr<ProcessManager> CliProcesses::create(std::string& error) {
    const std::optional<std::string> list = testhooks::processList();
    if (!list) {
        return std::make_unique<HostProcessManager>();
    }
    std::optional<SimulatedProcessManager> simulated =
        SimulatedProcessManager::fromFile(*list, *list + ".events");
    if (!simulated) {
        error = "UNINSTALLER_PROCESS_LIST names no readable process list: " + *list;
        return nullptr;
    }
    return std::make_unique<SimulatedProcessManager>(std::move(*simulated));
}
