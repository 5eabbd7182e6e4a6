#include "engine/ProcessControl.h"

#include "platform/ProcessManager.h"

#include <cstring>

namespace processcontrol {

std::optional<int32_t> errorNumberInReply(std::string_view reply) {
    const size_t found = reply.find("errn");
    // The keyword, the descriptor type and the data length come before the value.
    constexpr size_t kValueOffset = 12;
    if (found == std::string_view::npos || reply.size() - found < kValueOffset + sizeof(int32_t)) {
        return std::nullopt;
    }
    int32_t value = 0;
    std::memcpy(&value, reply.data() + found + kValueOffset, sizeof value);
    return value;
}

int32_t StopAllApplications(ProcessManager& processes) {
    for (const ProcessInfo& process : processes.runningProcesses()) {
        if (process.processSignature == kOwnSignature || (process.processMode & kModeOnlyBackground) != 0 ||
            process.processType != kApplicationType) {
            continue;
        }
        const std::optional<std::string> reply =
            processes.sendQuitEvent(process.serialNumber, /*waitForReply=*/true);
        if (!reply) {
            return -2;
        }
        const std::optional<int32_t> error = errorNumberInReply(*reply);
        if (error && *error != 0) {
            return -1;
        }
    }
    return 0;
}

void rebootDockSystem(ProcessManager& processes) {
    for (const ProcessInfo& process : processes.runningProcesses()) {
        if (process.processSignature == kDockSignature && process.processType == kApplicationType) {
            processes.sendQuitEvent(process.serialNumber, /*waitForReply=*/false);
            return;
        }
    }
}

} // namespace processcontrol
