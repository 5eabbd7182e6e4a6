#pragma once

#include "platform/ProcessManager.h"

#include <optional>
#include <string>
#include <vector>

/// A Process Manager that only simulates running processes and their answers to the quit event, for tests
/// and for trying the uninstaller on a system tree (a test build of uninstaller-cli reads one from the
/// file that UNINSTALLER_PROCESS_LIST names). Nothing it does reaches a real process.
class SimulatedProcessManager final : public ProcessManager {
public:
    /// One simulated process and how it answers.
    struct Process {
        ProcessInfo info;
        /// The raw data of its reply to the quit event; nullopt when sending the event fails.
        std::optional<std::string> reply = std::string();
    };

    explicit SimulatedProcessManager(std::vector<Process> processes) : mProcesses(std::move(processes)) {}

    /// Reads the processes from a property list at a host path: an array of dictionaries with "type" and
    /// "signature" (four-character strings), "mode" (integer), and "reply" (data; absent: an empty reply)
    /// or "sendFails" (boolean). Every quit event sent is appended to `eventLog` (when not empty) as a
    /// line "quit <signature>". nullopt when the file is missing or malformed.
    static std::optional<SimulatedProcessManager> fromFile(const std::string& hostPath,
                                                           const std::string& eventLog = {});

    std::vector<ProcessInfo> runningProcesses() override;
    std::optional<std::string> sendQuitEvent(const ProcessSerialNumber& process, bool waitForReply) override;
    bool actsOnHost() const override { return false; }

    /// The signatures of the processes that were sent the quit event, in order.
    const std::vector<uint32_t>& quitEvents() const { return mQuitEvents; }

    /// A four-character code ("APPL") as the number the Process Manager uses.
    static uint32_t fourCharCode(const std::string& code);

private:
    std::vector<Process> mProcesses;
    std::vector<uint32_t> mQuitEvents;
    std::string mEventLog;
};
