#pragma once

#include <string>

/// An entry of a software's remove paths that asks for what no uninstall may touch. A software with
/// one is refused whole: nothing of it is removed.
struct RefusedEntry {
    std::string entry;   ///< as the list gives it
    std::string reaches; ///< the first path of its expansion that may not be touched
    std::string reason;  ///< why that path may not be touched ("a system folder", …)

    bool operator==(const RefusedEntry&) const = default;
};
