#include "engine/SystemFloor.h"

#include "platform/Path.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

constexpr std::array<std::string_view, 16> kFloor = {
    "/",
    "/system",
    "/library",
    "/applications",
    "/users",
    "/usr",
    "/bin",
    "/sbin",
    "/etc",
    "/var",
    "/private",
    "/library/printers",
    "/library/preferences",
    "/library/launchagents",
    "/library/receipts",
    "/library/printers/ppds/contents/resources",
};

// "/users/NAME" or "/users/NAME/library": a home folder and its Library.
bool isHomeOrItsLibrary(std::string_view path) {
    constexpr std::string_view users = "/users/";
    if (path.substr(0, users.size()) != users) {
        return false;
    }
    const std::string_view rest = path.substr(users.size());
    const size_t slash = rest.find('/');
    if (rest.empty() || slash == 0) {
        return false;
    }
    return slash == std::string_view::npos || rest.substr(slash) == "/library";
}

} // namespace

std::string SystemFloor::comparable(std::string_view text) {
    return path::comparisonKey(text);
}

bool SystemFloor::contains(std::string_view text) {
    const std::string path = comparable(text);
    return std::find(kFloor.begin(), kFloor.end(), path) != kFloor.end() || isHomeOrItsLibrary(path);
}

bool SystemFloor::containsBelow(std::string_view text) {
    const std::string path = comparable(text);
    if (path == "/" || path == "/users") {
        return true;
    }
    return std::any_of(kFloor.begin(), kFloor.end(),
                       [&](std::string_view floor) {
                           return floor.size() > path.size() && floor.substr(0, path.size()) == path &&
                                  floor[path.size()] == '/';
                       }) ||
           (path.rfind("/users/", 0) == 0 && path.find('/', 7) == std::string::npos);
}
