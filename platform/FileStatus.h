#pragma once

#include "platform/FileAttributes.h"

#include <sys/stat.h>

namespace filestatus {

/// The file manager's view of a stat(2) record.
FileAttributes attributesFromStat(const struct stat& st);

} // namespace filestatus
