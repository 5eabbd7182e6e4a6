#pragma once

#include <optional>
#include <string>

/// What a test may tell the programs through the environment: another bundle to use as the main one
/// (UNINSTALLER_BUNDLE), a folder of programs that take the place of the system's tools
/// (UNINSTALLER_TOOL_DIR) and a list of simulated applications (UNINSTALLER_PROCESS_LIST).
///
/// These choose the protected lists, what runs and what is asked to quit, so only a build made for
/// testing reads them (the UNINSTALLER_TEST_HOOKS build option, on in the build the tests use). A
/// shipped build, which runs as the super-user in whatever environment it is given, answers nullopt
/// to each whatever the environment holds. This is the one place that reads them.
namespace testhooks {

/// The folder UNINSTALLER_BUNDLE names; nullopt when it is unset or empty, or in a shipped build.
std::optional<std::string> bundleFolder();

/// The folder UNINSTALLER_TOOL_DIR names; nullopt when it is unset or empty, or in a shipped build.
std::optional<std::string> toolFolder();

/// The file UNINSTALLER_PROCESS_LIST names; nullopt when it is unset or empty, or in a shipped build.
std::optional<std::string> processList();

} // namespace testhooks
