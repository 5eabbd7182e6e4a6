#pragma once

#include <string>

/// A path with a "*" split where the wildcard starts.
struct WildCardPath {
    /// "searchingPath": the leading components before the first component holding "*".
    std::string searchingPath;
    /// "wildCardPath": the rest, from that component on, without a leading "/".
    std::string wildCardPath;
};
