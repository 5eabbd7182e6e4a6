#include "tools/pkgutil/ReceiptDatabase.h"

#include "platform/PropertyList.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

constexpr const char* kReceiptFolders[] = {
    "var/db/receipts",
    "System/Library/Receipts",
    "Library/Apple/System/Library/Receipts",
    "Library/Receipts",
};

constexpr std::string_view kPlistSuffix = ".plist";

// Library/Receipts also holds InstallHistory.plist and bundle receipts; only a dictionary is a receipt.
std::optional<PlistValue> readReceipt(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        return std::nullopt;
    }
    std::optional<PlistValue> value = PropertyList::readHostFile(path);
    if (!value || !value->isDictionary()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

ReceiptDatabase::ReceiptDatabase(std::string volume) : mVolume(std::move(volume)) {}

std::vector<std::string> ReceiptDatabase::folders() const {
    std::string base = mVolume;
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    std::vector<std::string> result;
    for (const char* folder : kReceiptFolders) {
        result.push_back(base + "/" + folder);
    }
    return result;
}

std::optional<ReceiptDatabase::Receipt> ReceiptDatabase::find(const std::string& identifier) const {
    if (identifier.empty() || identifier.find('/') != std::string::npos) {
        return std::nullopt;
    }
    for (const std::string& folder : folders()) {
        Receipt receipt{identifier, folder, {}};
        if (std::optional<PlistValue> info = readReceipt(receipt.plistPath())) {
            receipt.info = std::move(*info);
            return receipt;
        }
    }
    return std::nullopt;
}

std::vector<std::string> ReceiptDatabase::identifiers() const {
    std::vector<std::string> result;
    std::set<std::string> seen;
    for (const std::string& folder : folders()) {
        std::vector<std::string> names;
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (name.size() > kPlistSuffix.size() && name.ends_with(kPlistSuffix) &&
                readReceipt(it->path().string())) {
                names.push_back(name.substr(0, name.size() - kPlistSuffix.size()));
            }
        }
        std::sort(names.begin(), names.end());
        for (std::string& name : names) {
            if (seen.insert(name).second) {
                result.push_back(std::move(name));
            }
        }
    }
    return result;
}
