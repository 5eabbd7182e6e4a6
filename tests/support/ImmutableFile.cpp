#include "tests/support/ImmutableFile.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

ImmutableFile::ImmutableFile(std::string hostPath) : mPath(std::move(hostPath)) {
    mSet = setFlag(true);
}

ImmutableFile::~ImmutableFile() {
    if (mSet) {
        setFlag(false);
    }
}

bool ImmutableFile::setFlag(bool on) const {
    const int fd = ::open(mPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}
