#include "tests/support/TestSystem.h"

#include "platform/PropertyList.h"
#include "platform/SystemRoot.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void check(bool ok, const std::string& what) {
    if (!ok) {
        throw std::runtime_error("test fixture: " + what);
    }
}

} // namespace

TestSystem::TestSystem() {
    mRoot = makeTemporaryFolder("uninstaller-test");
    check(SystemRoot::set(mRoot), "cannot make " + mRoot + " the system root");
}

TestSystem::TestSystem(const std::string& folder) : mOwnsFolder(false) {
    std::error_code error;
    check(fs::is_directory(folder, error), folder + " is not a folder");
    check(fs::is_empty(folder, error) && !error, folder + " is not empty");
    mRoot = fs::canonical(folder).string();
    check(SystemRoot::set(mRoot), "cannot make " + mRoot + " the system root");
}

TestSystem::~TestSystem() {
    SystemRoot::set("/");
    if (!mOwnsFolder) {
        return;
    }
    std::error_code ignored;
    // Let the deletion reach folders whose modes a test took away.
    for (auto it =
             fs::recursive_directory_iterator(mRoot, fs::directory_options::skip_permission_denied, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (!it->is_symlink(ignored) && it->is_directory(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(mRoot, ignored);
}

std::string TestSystem::host(const std::string& systemPath) const {
    if (systemPath.empty() || systemPath == "/") {
        return mRoot;
    }
    return mRoot + (systemPath.front() == '/' ? "" : "/") + systemPath;
}

void TestSystem::makeFolder(const std::string& systemPath, unsigned mode) const {
    const fs::path where = host(systemPath);
    std::error_code error;
    fs::create_directories(where, error);
    check(!error, "cannot create folder " + systemPath);
    fs::permissions(where, static_cast<fs::perms>(mode), error);
}

void TestSystem::writeFile(const std::string& systemPath, const std::string& content, unsigned mode) const {
    const fs::path where = host(systemPath);
    fs::create_directories(where.parent_path());
    {
        std::ofstream out(where, std::ios::binary | std::ios::trunc);
        check(static_cast<bool>(out), "cannot write " + systemPath);
        out << content;
    }
    fs::permissions(where, static_cast<fs::perms>(mode));
}

void TestSystem::makeLink(const std::string& systemPath, const std::string& target) const {
    const fs::path where = host(systemPath);
    fs::create_directories(where.parent_path());
    std::error_code error;
    fs::create_symlink(target, where, error);
    check(!error, "cannot create link " + systemPath);
}

void TestSystem::writePlist(const std::string& systemPath, const PlistValue& value, bool binary) const {
    const auto bytes = binary ? PropertyList::toBinary(value) : PropertyList::toXml(value);
    check(bytes.has_value(), "cannot encode a property list for " + systemPath);
    writeFile(systemPath, *bytes);
}

void TestSystem::writeSystemVersion(const std::string& productVersion) const {
    writePlist("/System/Library/CoreServices/SystemVersion.plist",
               plistDictionary({{"ProductName", "Mac OS X"},
                                {"ProductVersion", productVersion},
                                {"ProductBuildVersion", "19E287"}}));
}

void TestSystem::addUser(const std::string& name, int uid, const std::string& home) const {
    const std::string homeFolder = home.empty() ? "/Users/" + name : home;
    writePlist("/var/db/dslocal/nodes/Default/users/" + name + ".plist",
               plistDictionary({{"name", PlistValue::stringArray({name})},
                                {"home", PlistValue::stringArray({homeFolder})},
                                {"uid", PlistValue::stringArray({std::to_string(uid)})},
                                {"shell", PlistValue::stringArray({"/bin/zsh"})}}),
               /*binary=*/true);
    if (homeFolder.rfind("/Users/", 0) == 0) {
        makeFolder(homeFolder);
    }
}

bool TestSystem::exists(const std::string& systemPath) const {
    std::error_code error;
    return fs::exists(fs::symlink_status(host(systemPath), error));
}

bool TestSystem::isFolder(const std::string& systemPath) const {
    std::error_code error;
    return fs::is_directory(fs::symlink_status(host(systemPath), error));
}

bool TestSystem::isLink(const std::string& systemPath) const {
    std::error_code error;
    return fs::is_symlink(fs::symlink_status(host(systemPath), error));
}

std::string TestSystem::read(const std::string& systemPath) const {
    std::ifstream in(host(systemPath), std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::vector<std::string> TestSystem::tree(const std::string& systemFolder) const {
    std::vector<std::string> paths;
    const std::string base = host(systemFolder);
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(base, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::string relative = it->path().string().substr(mRoot.size());
        paths.push_back(relative);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string makeTemporaryFolder(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    check(::mkdtemp(pattern.data()) != nullptr, "cannot create a temporary folder");
    return fs::canonical(pattern).string();
}

PlistValue plistDictionary(std::initializer_list<std::pair<std::string, PlistValue>> entries) {
    PlistValue::Dictionary dictionary;
    for (const auto& entry : entries) {
        dictionary.push_back(entry);
    }
    return PlistValue(std::move(dictionary));
}
