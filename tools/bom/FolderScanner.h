#pragma once

#include "receipts/BomEntry.h"

#include <optional>
#include <string>
#include <vector>

/// Makes BOM entries of a folder tree on the host, as mkbom does.
///
/// The folder itself is ".". Files, folders, symbolic links and devices are taken with their real
/// modes, owners, times and sizes, files with the cksum of their content. Symbolic links are recorded,
/// never followed. FIFOs and sockets cannot be installed by a package and are left out.
class FolderScanner {
public:
    /// The entries of the tree (in no particular order); nullopt, with `error` naming the path, when
    /// the folder or anything in it cannot be read.
    static std::optional<std::vector<BomEntry>> scan(const std::string& hostFolder, std::string& error);
};
