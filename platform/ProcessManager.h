#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// A process serial number of the platform's Process Manager.
struct ProcessSerialNumber {
    uint32_t highLongOfPSN = 0;
    uint32_t lowLongOfPSN = 0;
};

/// What the Process Manager tells about one running process.
struct ProcessInfo {
    ProcessSerialNumber serialNumber;
    uint32_t processType = 0;      // 'APPL' for applications
    uint32_t processSignature = 0; // the creator code, 'dock' for the Dock
    uint32_t processMode = 0;      // modeOnlyBackground is bit 0x400
};

/// The platform's Process Manager and Apple Event Manager, as far as the program uses them: walking the
/// running processes and asking one to quit. Abstract, so that tests can simulate applications.
class ProcessManager {
public:
    virtual ~ProcessManager() = default;

    /// The running processes, in the Process Manager's order.
    virtual std::vector<ProcessInfo> runningProcesses() = 0;

    /// Sends the quit event ('aevt'/'quit') to a process. With `waitForReply` the call waits for the
    /// answer and gives the reply descriptor's raw data; nullopt when the event could not be sent (a
    /// timeout included). Without it the answer is an empty string once the event was sent.
    virtual std::optional<std::string> sendQuitEvent(const ProcessSerialNumber& process,
                                                     bool waitForReply) = 0;

    /// True when the processes are those of the machine the program runs on, so that asking them to
    /// quit acts on it; a simulation answers false.
    virtual bool actsOnHost() const { return true; }
};
