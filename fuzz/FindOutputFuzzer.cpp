// A line that find printed, mapped back from the host folder it searched to the system path it stands
// for. The input is three lines: the printed line, the host start folder and the system start folder.

#include "fuzz/Touch.h"
#include "platform/Path.h"
#include "platform/SystemRoot.h"

#include <cstddef>
#include <cstdint>

namespace {

// The next line of `input`, taken off its front.
std::string nextLine(std::string_view& input) {
    const size_t newline = input.find('\n');
    const std::string line(input.substr(0, newline));
    input.remove_prefix(newline == std::string_view::npos ? input.size() : newline + 1);
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string hostLine = nextLine(input);
    const std::string hostStart = nextLine(input);
    const std::string systemStart = nextLine(input);
    const std::optional<std::string> systemPath =
        SystemRoot::systemPathBelow(hostLine, hostStart, systemStart);
    if (!systemPath) {
        return 0;
    }
    fuzzing::touch(*systemPath);
    // What a search below a folder found lies below that folder, however the line is spelled.
    const std::string start = path::standardize(systemStart);
    if (!start.empty() && start.front() == '/' && start != "/") {
        fuzzing::require(path::isInFolder(path::standardize(*systemPath), start),
                         "a found path stays below the folder searched");
    }
    return 0;
}
