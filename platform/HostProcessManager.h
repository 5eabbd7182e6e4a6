#pragma once

#include "platform/ProcessManager.h"

/// The Process Manager of a host that has none (Linux): no process is running, no event can be sent.
class HostProcessManager final : public ProcessManager {
public:
    std::vector<ProcessInfo> runningProcesses() override { return {}; }
    std::optional<std::string> sendQuitEvent(const ProcessSerialNumber&, bool) override {
        return std::nullopt;
    }
};
