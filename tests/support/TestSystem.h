#pragma once

#include "platform/PlistValue.h"

#include <string>
#include <vector>

/// A fresh macOS system tree in a temporary folder, made the system root for the life of the object.
///
/// Paths given to the methods are system paths ("/Library/Preferences/x.plist"); parents are created as
/// needed. The folder is deleted again when the object goes away.
class TestSystem {
public:
    TestSystem();
    /// Uses an existing empty folder instead of a temporary one (the sample-system generator writes
    /// into a folder the user named). The folder and its contents stay when the object goes away.
    /// Throws std::runtime_error when the folder is missing or not empty.
    explicit TestSystem(const std::string& folder);
    ~TestSystem();
    TestSystem(const TestSystem&) = delete;
    TestSystem& operator=(const TestSystem&) = delete;

    /// The host folder that stands for "/".
    const std::string& root() const { return mRoot; }

    /// The host path of a system path (plain joining; for checks in tests).
    std::string host(const std::string& systemPath) const;

    void makeFolder(const std::string& systemPath, unsigned mode = 0755) const;
    void writeFile(const std::string& systemPath, const std::string& content = {},
                   unsigned mode = 0644) const;
    void makeLink(const std::string& systemPath, const std::string& target) const;
    void writePlist(const std::string& systemPath, const PlistValue& value, bool binary = false) const;

    /// Writes /System/Library/CoreServices/SystemVersion.plist with this ProductVersion.
    void writeSystemVersion(const std::string& productVersion) const;

    /// Adds an account to the local directory (var/db/dslocal) and, unless the home lies elsewhere,
    /// creates its home folder.
    void addUser(const std::string& name, int uid, const std::string& home = {}) const;

    /// True when an item (a dangling link too) exists at the system path.
    bool exists(const std::string& systemPath) const;
    bool isFolder(const std::string& systemPath) const;
    bool isLink(const std::string& systemPath) const;
    std::string read(const std::string& systemPath) const;

    /// Every item below a system folder as sorted system paths (the folder itself not included).
    std::vector<std::string> tree(const std::string& systemFolder = "/") const;

private:
    std::string mRoot;
    bool mOwnsFolder = true;
};

/// A new, empty temporary folder whose name begins with `prefix` (absolute, without links); throws when
/// none can be made.
std::string makeTemporaryFolder(const std::string& prefix);

/// A PlistValue dictionary from key/value pairs, for compact fixtures.
PlistValue plistDictionary(std::initializer_list<std::pair<std::string, PlistValue>> entries);
