#pragma once

#include <string>
#include <vector>

/// One Software Update group found on the machine ("Page Printer Driver", "PC-FAX Driver",
/// "Inkjet Printer Driver") with the receipt identifiers collected for it.
struct SoftwareUpdateGroup {
    std::string name;
    std::vector<std::string> identifiers;
    /// Found from its driver folder alone, when no receipt named any group.
    bool folderOnly = false;
};

/// Groups in the order page, fax, inkjet.
using SoftwareUpdateGroups = std::vector<SoftwareUpdateGroup>;
