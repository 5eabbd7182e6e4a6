#include "platform/SystemVersion.h"

#include "platform/FileManager.h"
#include "platform/PropertyList.h"
#include "platform/SystemRoot.h"
#include "platform/Utf8.h"

#include <atomic>
#include <cstring>

namespace {

constexpr int32_t kFallbackVersion = 101500;
constexpr const char* kSystemVersionFile = "/System/Library/CoreServices/SystemVersion.plist";

// The number read, with the generation of the system root it was read from in the high half; 0 when
// nothing has been read.
std::atomic<uint64_t> gPrivateOSVersion{0};

} // namespace

namespace systemversion {

int32_t OSVersion() {
    const uint64_t generation = SystemRoot::generation();
    const uint64_t cached = gPrivateOSVersion.load(std::memory_order_relaxed);
    if (cached != 0 && cached >> 32 == (generation & 0xFFFFFFFF)) {
        return static_cast<int32_t>(cached & 0xFFFFFFFF);
    }
    const int32_t version = InitializeOSVersion();
    gPrivateOSVersion.store(((generation & 0xFFFFFFFF) << 32) | static_cast<uint32_t>(version),
                            std::memory_order_relaxed);
    return version;
}

void forgetCachedOSVersion() {
    gPrivateOSVersion.store(0, std::memory_order_relaxed);
}

int32_t InitializeOSVersion() {
    std::optional<std::string> bytes = FileManager::contentsAtPath(kSystemVersionFile);
    if (!bytes || bytes->empty()) {
        return kFallbackVersion;
    }
    std::optional<PlistValue> root = PropertyList::parse(*bytes);
    if (!root) {
        return kFallbackVersion;
    }
    const PlistValue* productVersion = root->find("ProductVersion");
    if (productVersion == nullptr || !productVersion->isString()) {
        return kFallbackVersion;
    }
    const int32_t version = GetIntValueBundleVersionCFString(productVersion->asString());
    return version == 0 ? kFallbackVersion : version;
}

int32_t GetIntValueBundleVersion(const char* version) {
    if (version == nullptr || std::strlen(version) < 3) {
        return 0;
    }
    int32_t parts[3] = {0, 0, 0};
    int index = 0;
    int digits = 0;
    for (const char* c = version; *c != '\0'; ++c) {
        if (*c >= '0' && *c <= '9') {
            // The major component may have four digits, the others two.
            if (digits < 2 || (index == 0 && digits < 4)) {
                parts[index] = parts[index] * 10 + (*c - '0');
                ++digits;
            } else {
                return 0;
            }
        } else if (*c == '.') {
            if (digits == 0 || index == 2) {
                return 0;
            }
            ++index;
            digits = 0;
        } else if (*c != ' ' && *c != '\t') {
            return 0;
        }
    }
    if (index == 0 || digits == 0) {
        return 0;
    }
    return parts[0] * 10000 + parts[1] * 100 + parts[2];
}

int32_t GetIntValueBundleVersionCFString(const std::optional<std::string>& version) {
    if (!version) {
        return 0;
    }
    const std::optional<size_t> count = utf8::characterCount(*version);
    if (!count || *count > 31) {
        return 0;
    }
    // Every character the number may hold is ASCII; any other one, whether Mac OS Roman has it or not,
    // makes the string malformed.
    for (const char c : *version) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return 0;
        }
    }
    return GetIntValueBundleVersion(version->c_str());
}

} // namespace systemversion
