#pragma once

#include <string>

/// An item that a software's packages or paths name and that its removal lists leave out, because no
/// uninstall may take it.
struct ProtectedItem {
    std::string path;
    std::string reason; ///< why it stays ("the system's own files", "a receipt", …)

    bool operator==(const ProtectedItem&) const = default;
};
