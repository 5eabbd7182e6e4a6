#pragma once

#include "platform/UniqueFd.h"

#include <fcntl.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Reading and writing host files through descriptors: the one set of loops every part of the program and
// the stand-in tools use, with interrupted calls retried and short reads and writes continued.
namespace hostio {

/// Whether the last component of a path may be a symbolic link that is followed.
enum class LastLink { Follow, Refuse };

/// Writes every byte; false (errno set) on any failure.
bool writeAll(int fd, std::string_view bytes);

/// Reads from the descriptor's position to the end; nullopt (errno set) on a read error or when more
/// than `maxSize` bytes come.
std::optional<std::string> readAll(int fd, size_t maxSize);

/// Opens an existing regular file for reading. The open never blocks (a FIFO or device in its place is
/// refused, not waited on); reads then block as usual. Invalid, errno set (EINVAL for an item that is
/// not a regular file, ELOOP for a refused link), on failure.
UniqueFd openRegularFile(int dirfd, const std::string& path, LastLink lastLink);
inline UniqueFd openRegularFile(const std::string& hostPath, LastLink lastLink) {
    return openRegularFile(AT_FDCWD, hostPath, lastLink);
}

/// The descriptor back when it is open on a regular file, made blocking (it was opened with O_NONBLOCK so
/// that a FIFO could not stall the open); invalid (errno EINVAL) for anything else.
UniqueFd ensureRegularFile(UniqueFd fd);

/// The bytes of a regular file at a host path; nullopt (errno set) when it is missing, no regular file,
/// unreadable or larger than `maxSize`.
std::optional<std::string> readRegularFile(const std::string& hostPath, LastLink lastLink, size_t maxSize);

/// The target of the symbolic link `name` in the folder `dirfd` (AT_FDCWD for a path); nullopt (errno
/// set) when it is no link or cannot be read.
std::optional<std::string> readLinkAt(int dirfd, const std::string& name);

} // namespace hostio
