#include "platform/MemoryFile.h"

#include "platform/HostIo.h"

#include <sys/mman.h>
#include <unistd.h>

UniqueFd MemoryFile::create(const std::string& bytes) {
    UniqueFd fd(::memfd_create("uninstaller-memory", MFD_CLOEXEC));
    if (!fd.valid()) {
        return fd;
    }
    if (!hostio::writeAll(fd.get(), bytes) || ::lseek(fd.get(), 0, SEEK_SET) != 0) {
        return UniqueFd();
    }
    return fd;
}
