#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

class ProcessManager;

// Asking running applications to quit through the platform's Process Manager.
namespace processcontrol {

/// The program's own signature 'zolq': it is never asked to quit.
constexpr uint32_t kOwnSignature = 0x7A6F6C71;
/// 'APPL', the type of regular applications.
constexpr uint32_t kApplicationType = 0x4150504C;
/// 'dock', the Dock's signature.
constexpr uint32_t kDockSignature = 0x646F636B;
/// The background-only bit of a process's mode.
constexpr uint32_t kModeOnlyBackground = 0x400;

/// Asks every running application but this one, background-only processes and anything that is not
/// of type 'APPL' to quit, one after the other in the Process Manager's order, waiting for each answer.
/// 0 when all asked quit (or none ran); -1 as soon as one answers with a non-zero error number; -2 as
/// soon as an event cannot be sent. The applications after one that refused are not asked.
int32_t StopAllApplications(ProcessManager& processes);

/// Asks the Dock to quit, so that the system starts it again and it reads its changed preferences;
/// nothing when no Dock runs.
void rebootDockSystem(ProcessManager& processes);

/// The error number of a quit event's reply: the 32-bit value (host byte order) 12 bytes after the
/// first "errn" in the raw reply data; nullopt when there is none or it does not lie wholly in the data.
std::optional<int32_t> errorNumberInReply(std::string_view reply);

} // namespace processcontrol
