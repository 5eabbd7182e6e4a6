#include "engine/BackupManifest.h"

#include <nlohmann/json.hpp>

namespace {

constexpr const char* kFormat = "uninstaller-backup";

using Json = nlohmann::json;

int64_t nanoseconds(const timespec& time) {
    return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

bool readTime(const Json& object, const char* key, timespec& into) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number_integer()) {
        return false;
    }
    const int64_t value = found->get<int64_t>();
    into.tv_sec = static_cast<time_t>(value / 1000000000);
    into.tv_nsec = static_cast<long>(value % 1000000000);
    if (into.tv_nsec < 0) {
        into.tv_sec -= 1;
        into.tv_nsec += 1000000000;
    }
    return true;
}

bool readString(const Json& object, const char* key, std::string& into) {
    const auto found = object.find(key);
    if (found == object.end()) {
        return true;
    }
    if (!found->is_string()) {
        return false;
    }
    into = found->get<std::string>();
    return true;
}

bool readStrings(const Json& object, const char* key, std::vector<std::string>& into) {
    const auto found = object.find(key);
    if (found == object.end()) {
        return true;
    }
    if (!found->is_array()) {
        return false;
    }
    for (const Json& item : *found) {
        if (!item.is_string()) {
            return false;
        }
        into.push_back(item.get<std::string>());
    }
    return true;
}

} // namespace

const EditedFile* BackupManifest::editOf(const std::string& path) const {
    for (const EditedFile& file : edited) {
        if (file.path == path) {
            return &file;
        }
    }
    return nullptr;
}

std::string BackupManifest::toJson() const {
    Json edits = Json::array();
    for (const EditedFile& file : edited) {
        edits.push_back({{"path", file.path},
                         {"inode", file.inode},
                         {"size", file.size},
                         {"modificationTime", file.modificationTime}});
    }
    Json times = Json::array();
    for (const FolderTimes& folder : folderTimes) {
        times.push_back({{"path", folder.path},
                         {"accessTime", nanoseconds(folder.accessTime)},
                         {"modificationTime", nanoseconds(folder.modificationTime)}});
    }
    const Json manifest = {
        {"format", kFormat},
        {"formatVersion", 1},
        {"run", run},
        {"created", created},
        {"program", program},
        {"programVersion", programVersion},
        {"system", {{"root", systemRoot}, {"productVersion", systemVersion}}},
        {"rows", rows},
        {"takenAlong", takenAlong},
        {"items", items},
        {"edited", edits},
        {"folderTimes", times},
    };
    // Names that are not UTF-8 get U+FFFD: the manifest describes, the members hold the bytes.
    return manifest.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::optional<BackupManifest> BackupManifest::parse(std::string_view text) {
    const Json manifest = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
    if (manifest.is_discarded() || !manifest.is_object()) {
        return std::nullopt;
    }
    const auto format = manifest.find("format");
    if (format == manifest.end() || !format->is_string() || format->get<std::string>() != kFormat) {
        return std::nullopt;
    }
    BackupManifest read;
    bool fine = readString(manifest, "run", read.run) && readString(manifest, "created", read.created) &&
                readString(manifest, "program", read.program) &&
                readString(manifest, "programVersion", read.programVersion) &&
                readStrings(manifest, "rows", read.rows) &&
                readStrings(manifest, "takenAlong", read.takenAlong);
    if (const auto system = manifest.find("system"); fine && system != manifest.end()) {
        fine = system->is_object() && readString(*system, "root", read.systemRoot) &&
               readString(*system, "productVersion", read.systemVersion);
    }
    if (const auto items = manifest.find("items"); fine && items != manifest.end()) {
        fine = items->is_number_unsigned();
        if (fine) {
            read.items = items->get<size_t>();
        }
    }
    if (const auto edits = manifest.find("edited"); fine && edits != manifest.end()) {
        fine = edits->is_array();
        for (auto edit = fine ? edits->begin() : edits->end(); edit != edits->end() && fine; ++edit) {
            EditedFile file;
            fine = edit->is_object() && readString(*edit, "path", file.path) && !file.path.empty();
            for (const auto& [key, into] : {std::pair<const char*, uint64_t*>{"inode", &file.inode},
                                            std::pair<const char*, uint64_t*>{"size", &file.size}}) {
                const auto number = fine ? edit->find(key) : edit->end();
                fine = fine && number != edit->end() && number->is_number_unsigned();
                if (fine) {
                    *into = number->get<uint64_t>();
                }
            }
            const auto time = fine ? edit->find("modificationTime") : edit->end();
            fine = fine && time != edit->end() && time->is_number_integer();
            if (fine) {
                file.modificationTime = time->get<int64_t>();
                read.edited.push_back(std::move(file));
            }
        }
    }
    if (const auto times = manifest.find("folderTimes"); fine && times != manifest.end()) {
        fine = times->is_array();
        for (auto folder = fine ? times->begin() : times->end(); folder != times->end() && fine; ++folder) {
            FolderTimes entry;
            fine = folder->is_object() && readString(*folder, "path", entry.path) && !entry.path.empty() &&
                   readTime(*folder, "accessTime", entry.accessTime) &&
                   readTime(*folder, "modificationTime", entry.modificationTime);
            if (fine) {
                read.folderTimes.push_back(std::move(entry));
            }
        }
    }
    return fine ? std::optional<BackupManifest>(std::move(read)) : std::nullopt;
}
