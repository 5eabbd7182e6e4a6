// Reading a backup for "restore --list" must turn any bytes into a listing or a reason, never a crash or a
// hang; what it lets through as a member a backup writes never climbs out of the system, and every line
// it prints is one line of printable text.

#include "engine/BackupContents.h"
#include "fuzz/Touch.h"
#include "platform/BackupReader.h"

#include <cstddef>
#include <cstdint>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (std::unique_ptr<BackupReader> reader = BackupReader::openMemory(bytes)) {
        BackupContents::scan(*reader, [](size_t, const BackupReader::Header& header) {
            fuzzing::touch(header.name);
            fuzzing::touch(header.member.linkTarget);
            if (header.problem.empty()) {
                const std::string& path = header.member.path;
                fuzzing::require(path.starts_with("/") && !path.starts_with("//"),
                                 "a member is below the root");
                fuzzing::require(path.find("/../") == std::string::npos && !path.ends_with("/.."),
                                 "no member climbs with \"..\"");
            }
        });
    }
    if (std::unique_ptr<BackupReader> reader = BackupReader::openMemory(bytes)) {
        std::ostringstream out;
        BackupContents::list(*reader, out);
        for (const char c : out.str()) {
            fuzzing::require(c == '\n' || static_cast<unsigned char>(c) >= 0x20,
                             "the listing is printable text");
        }
    }
    return 0;
}
