#include "platform/MemoryFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

UniqueFd MemoryFile::create(const std::string& bytes) {
    UniqueFd fd(::memfd_create("uninstaller-memory", MFD_CLOEXEC));
    if (!fd.valid()) {
        return fd;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return UniqueFd();
        }
        done += static_cast<size_t>(n);
    }
    if (::lseek(fd.get(), 0, SEEK_SET) != 0) {
        return UniqueFd();
    }
    return fd;
}
