#include "platform/SystemFloor.h"

#include "platform/Path.h"

#include <algorithm>
#include <array>
#include <span>

namespace {

// Every path below is in comparison form: standardized and case-folded.

// The system's folders. Packages list them as the parents of what they installed; a list or a script
// that names one asks for the whole system.
constexpr std::array<std::string_view, 41> kFloor = {
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
    "/tmp",
    "/private",
    "/private/etc",
    "/private/var",
    "/private/tmp",
    "/volumes",
    "/dev",
    "/library/printers",
    "/library/preferences",
    "/library/launchagents",
    "/library/logs",
    "/library/keychains",
    "/library/printers/ppds/contents/resources",
    // The receipts folders of every system version, and the folders on the way to them.
    "/library/receipts",
    "/library/receipts/boms",
    "/var/db",
    "/var/db/receipts",
    "/private/var/db",
    "/private/var/db/receipts",
    "/system/library",
    "/system/library/receipts",
    "/library/apple",
    "/library/apple/system",
    "/library/apple/system/library",
    "/library/apple/system/library/receipts",
    // The places a driver may use inside the system's subtrees, and the folders on the way to them.
    "/system/library/extensions",
    "/usr/local",
    "/usr/libexec",
    "/usr/libexec/cups",
    "/usr/libexec/cups/filter",
    "/usr/libexec/cups/backend",
};

// A place inside a protected subtree where items may go: below `folder`, and when `nameHolds` is not
// empty only items whose name there holds it.
struct Allowed {
    std::string_view folder;
    std::string_view nameHolds;
};

// Inside the system's own subtrees, a driver package of 10.3 to 10.10 installed kernel extensions
// (/System/Library/Extensions: USB printer and scanner drivers, until /Library/Extensions took them on
// 10.9), the printing system's filters and backends (/usr/libexec/cups/filter and backend, where CUPS
// looks for them) and what /usr/local is for. The system's own extensions, filters and backends share
// those folders, so there only what carries the maker's name may go. The receipt databases are emptied
// by the receipt steps alone (their items never enter a removal list). Anything else is left alone.
constexpr std::string_view kMaker = "torva";
constexpr Allowed kInSystem[] = {{"/system/library/extensions", kMaker}, {"/system/library/receipts", ""}};
constexpr Allowed kInUsr[] = {
    {"/usr/local", ""}, {"/usr/libexec/cups/filter", kMaker}, {"/usr/libexec/cups/backend", kMaker}};
constexpr Allowed kInPrivateVar[] = {{"/private/var/db/receipts", ""}};
constexpr Allowed kInVar[] = {{"/var/db/receipts", ""}};
constexpr Allowed kInLibraryApple[] = {{"/library/apple/system/library/receipts", ""}};

// A subtree whose top and contents no uninstall touches, except what lies in one of its allowed places.
struct Subtree {
    std::string_view top;
    std::string_view reason;
    std::span<const Allowed> allowed;
};

constexpr Subtree kSubtrees[] = {
    {"/system", "the system's own files", kInSystem},
    {"/bin", "the system's own files", {}},
    {"/sbin", "the system's own files", {}},
    {"/usr", "the system's own files", kInUsr},
    // /etc and /var are the system's links to /private/etc and /private/var, so both spellings count.
    {"/private/etc", "the system's configuration", {}},
    {"/etc", "the system's configuration", {}},
    {"/private/var", "the system's own data", kInPrivateVar},
    {"/var", "the system's own data", kInVar},
    // The system's own since 10.15 (its receipts and security data).
    {"/library/apple", "the system's own files", kInLibraryApple},
    {"/library/keychains", "the system's keychains", {}},
    // The network, the computer's name and its power settings.
    {"/library/preferences/systemconfiguration", "the system's network settings", {}},
    // What the uninstall did must stay readable after it.
    {"/library/logs/uninstaller.log", "the uninstall log", {}},
    // Mount points of other disks and of the network: deleting there deletes on another volume.
    {"/volumes", "another volume", {}},
    {"/dev", "a device", {}},
};

// Inside a home folder's Library: what holds the user's passwords, mail, messages, browsing, calendars,
// contacts, device backups and iCloud files. Everything else of a home but its Library is the user's
// own anyway (documents, pictures, .ssh, …).
constexpr std::array<std::string_view, 13> kPersonalStores = {
    "keychains",
    "mail",
    "messages",
    "safari",
    "cookies",
    "calendars",
    "accounts",
    "mobile documents",
    "application support/addressbook",
    "application support/mobilesync",
    "containers/com.apple.mail",
    "containers/com.apple.notes",
    "group containers/group.com.apple.notes",
};

bool within(std::string_view key, std::string_view folder) {
    return path::isInFolder(key, folder);
}

bool strictlyWithin(std::string_view key, std::string_view folder) {
    return key != folder && within(key, folder);
}

// What follows "/users/NAME" in a path of a home folder ("" for the home itself); nullopt outside one.
std::optional<std::string_view> insideHome(std::string_view key) {
    constexpr std::string_view users = "/users/";
    if (key.substr(0, users.size()) != users || key.size() == users.size() || key[users.size()] == '/') {
        return std::nullopt;
    }
    const std::string_view rest = key.substr(users.size());
    const size_t slash = rest.find('/');
    return slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
}

bool isFloor(std::string_view key) {
    if (std::find(kFloor.begin(), kFloor.end(), key) != kFloor.end()) {
        return true;
    }
    // A home folder and its Library.
    const std::optional<std::string_view> home = insideHome(key);
    return home && (home->empty() || *home == "library");
}

bool isAllowed(std::string_view key, const Allowed& allowed) {
    if (!strictlyWithin(key, allowed.folder)) {
        return false;
    }
    const std::string_view below = key.substr(allowed.folder.size() + 1);
    return below.substr(0, below.find('/')).find(allowed.nameHolds) != std::string_view::npos;
}

std::optional<std::string_view> reasonFor(std::string_view key) {
    if (isFloor(key)) {
        return "a system folder";
    }
    for (const Subtree& subtree : kSubtrees) {
        if (within(key, subtree.top) &&
            std::none_of(subtree.allowed.begin(), subtree.allowed.end(),
                         [&](const Allowed& allowed) { return isAllowed(key, allowed); })) {
            return subtree.reason;
        }
    }
    const std::optional<std::string_view> home = insideHome(key);
    if (!home) {
        return std::nullopt;
    }
    constexpr std::string_view library = "library/";
    if (home->substr(0, library.size()) != library) {
        return "a user's own files";
    }
    const std::string_view inLibrary = home->substr(library.size());
    for (const std::string_view store : kPersonalStores) {
        if (within(inLibrary, store)) {
            return "a user's keychains, mail or other personal data";
        }
    }
    return std::nullopt;
}

} // namespace

std::string SystemFloor::comparable(std::string_view text) {
    return path::comparisonKey(text);
}

bool SystemFloor::contains(std::string_view text) {
    return isFloor(comparable(text));
}

bool SystemFloor::containsBelow(std::string_view text) {
    const std::string key = comparable(text);
    if (key == "/" || key == "/users") {
        return true; // every home folder
    }
    return std::any_of(kFloor.begin(), kFloor.end(),
                       [&](std::string_view floor) { return strictlyWithin(floor, key); }) ||
           (insideHome(key) && insideHome(key)->empty()); // a home holds its Library
}

bool SystemFloor::mayNotTouch(std::string_view path) {
    return untouchableBecause(path).has_value();
}

std::optional<std::string_view> SystemFloor::untouchableBecause(std::string_view path) {
    return reasonFor(comparable(path));
}

std::optional<std::string_view> SystemFloor::untouchableKeyBecause(std::string_view key) {
    return reasonFor(key);
}

bool SystemFloor::holdsUntouchable(std::string_view path) {
    const std::string key = comparable(path);
    if (reasonFor(key) || containsBelow(key)) {
        return true;
    }
    if (std::any_of(std::begin(kSubtrees), std::end(kSubtrees),
                    [&](const Subtree& subtree) { return strictlyWithin(subtree.top, key); })) {
        return true;
    }
    // A folder of a home's Library that holds a personal store.
    const std::optional<std::string_view> home = insideHome(key);
    constexpr std::string_view library = "library/";
    if (!home || home->substr(0, library.size()) != library) {
        return false;
    }
    const std::string_view inLibrary = home->substr(library.size());
    return std::any_of(kPersonalStores.begin(), kPersonalStores.end(),
                       [&](std::string_view store) { return strictlyWithin(store, inLibrary); });
}
