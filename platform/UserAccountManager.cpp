#include "platform/UserAccountManager.h"

#include "platform/FileManager.h"
#include "platform/Path.h"
#include "platform/PropertyList.h"
#include "platform/SystemRoot.h"
#include "platform/Utf8.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <optional>

namespace {

constexpr const char* kLocalUsersFolder = "/var/db/dslocal/nodes/Default/users";

bool isUnderUsers(const std::string& home) {
    return home.compare(0, 6, "/Users") == 0;
}

// Names become "/Users/" + name: one that is not a plain folder name, or not text, is no home of ours.
bool isUsableName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos && utf8::isValid(name);
}

// The first string of an array-of-strings value, as the local directory stores every attribute.
std::optional<std::string> firstString(const PlistValue& record, std::string_view key) {
    const PlistValue* value = record.find(key);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->isString()) {
        return value->asString();
    }
    if (value->isArray() && !value->asArray().empty() && value->asArray().front().isString()) {
        return value->asArray().front().asString();
    }
    return std::nullopt;
}

std::vector<std::string> accountDatabaseUsers() {
    // getpwent walks process-wide state; keep two walks from interleaving.
    static std::mutex walk;
    std::lock_guard<std::mutex> guard(walk);
    std::vector<std::string> names;
    ::setpwent();
    while (const passwd* entry = ::getpwent()) {
        if (entry->pw_dir == nullptr || entry->pw_name == nullptr || !isUnderUsers(entry->pw_dir)) {
            continue;
        }
        const std::string name = entry->pw_name;
        if (isUsableName(name)) {
            names.push_back(name);
        }
    }
    ::endpwent();
    return names;
}

std::vector<std::string> localDirectoryUsers() {
    struct Account {
        long long uid;
        std::string name;
    };
    std::vector<Account> accounts;
    const std::optional<std::vector<std::string>> files =
        FileManager::contentsOfDirectoryAtPathCDA(kLocalUsersFolder);
    if (!files) {
        return {};
    }
    for (const std::string& file : *files) {
        if (file.size() <= 6 || file.compare(file.size() - 6, 6, ".plist") != 0) {
            continue;
        }
        std::optional<PlistValue> record = PropertyList::readDictionary(path::join(kLocalUsersFolder, file));
        if (!record) {
            continue;
        }
        std::optional<std::string> name = firstString(*record, "name");
        std::optional<std::string> home = firstString(*record, "home");
        if (!name || !isUsableName(*name) || !home || !isUnderUsers(*home)) {
            continue;
        }
        long long uid = 0;
        if (std::optional<std::string> uidText = firstString(*record, "uid")) {
            char* end = nullptr;
            uid = std::strtoll(uidText->c_str(), &end, 10);
        }
        accounts.push_back({uid, *name});
    }
    std::sort(accounts.begin(), accounts.end(), [](const Account& a, const Account& b) {
        return a.uid != b.uid ? a.uid < b.uid : a.name < b.name;
    });
    std::vector<std::string> names;
    names.reserve(accounts.size());
    for (Account& account : accounts) {
        names.push_back(std::move(account.name));
    }
    return names;
}

} // namespace

std::vector<std::string> UserAccountManager::getAllUserName() const {
    if (SystemRoot::hostRoot() == "/") {
        return accountDatabaseUsers();
    }
    return localDirectoryUsers();
}

UserAccountManager::RunningAccount UserAccountManager::runningAccount() {
    RunningAccount account;
    account.uid = ::getuid();
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(account.uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr) {
        account.name = found->pw_name;
    }
    return account;
}
