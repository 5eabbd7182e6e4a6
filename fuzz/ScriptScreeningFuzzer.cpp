// The screening of a maker's shell line before the driver runs it: any bytes give a verdict, never a
// crash, and the answer is the same however the line is asked about.

#include "engine/AnalyzeCommandManager.h"
#include "fuzz/Touch.h"
#include "platform/SystemRoot.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// An empty folder as the system root: paths that screening resolves through links find nothing, and
// nothing of the host is looked at.
char gRoot[] = "/tmp/uninstaller-fuzz-root-XXXXXX";
const bool gRootReady = [] {
    if (::mkdtemp(gRoot) == nullptr) {
        return false;
    }
    std::atexit([] { ::rmdir(gRoot); });
    return SystemRoot::set(gRoot);
}();

const std::vector<std::string> kIndividual = {"/",      "/Library",    "/Library/Printers",  "/Applications",
                                              "/Users", "/Users/anna", "/Users/anna/Library"};
const std::vector<std::string> kLowerLayer = {
    "/System", "/bin", "/sbin", "/usr", "/Library/Keychains", "/Users/anna/Library/Keychains"};

AnalyzeCommandManager& manager() {
    static AnalyzeCommandManager screening = [] {
        AnalyzeCommandManager made;
        made.getMBanCommandArray() = {"shutdown", "reboot", "halt",    "launchd",
                                      "diskutil", "chown",  "pkgutil", ""};
        made.createLimitationCommandList();
        return made;
    }();
    return screening;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::require(gRootReady, "an empty system root");
    const std::string line(reinterpret_cast<const char*>(data), size);
    const AnalyzeCommandManager::Verdict verdict = manager().screenLine(line, kIndividual, kLowerLayer);
    fuzzing::touch(verdict.reason);
    fuzzing::require(verdict.line == line, "the verdict names the line as written");
    const std::optional<std::vector<std::string>> admitted =
        manager().checkCommandProcess(std::vector<std::string>{line}, kIndividual, kLowerLayer);
    fuzzing::require(admitted && admitted->size() == (verdict.admitted ? 1u : 0u),
                     "a line alone and in a script get the same verdict");
    return 0;
}
