#pragma once

#include <memory>
#include <string>

class ProcessManager;

/// The Process Manager uninstaller-cli talks to: the machine's own, or, in a test build where
/// UNINSTALLER_PROCESS_LIST names a property list, a simulation of the applications it describes (quit
/// events are appended to the file's name + ".events"), for trying an uninstall on a system tree.
class CliProcesses {
public:
    /// nullptr, with the reason in `error`, when the named list cannot be read.
    static std::unique_ptr<ProcessManager> create(std::string& error);
};
