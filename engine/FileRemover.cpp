#include "engine/FileRemover.h"

#include "engine/ActionReport.h"

#include <algorithm>
#include <cstring>

namespace {

// Characters in UTF-16 units: one per code point, two for those beyond the Basic Multilingual Plane
// (the 4-byte UTF-8 forms); continuation bytes add nothing.
size_t utf16Length(const std::string& text) {
    size_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0xF0) {
            units += 2;
        } else if ((byte & 0xC0) != 0x80) {
            units += 1;
        }
    }
    return units;
}

const char* reasonOf(ConfinedRemover::Outcome outcome, const char* step) {
    switch (outcome) {
    case ConfinedRemover::Outcome::Deleted:
        return "";
    case ConfinedRemover::Outcome::Missing:
        return "missing";
    case ConfinedRemover::Outcome::NotReadable:
        return "not readable";
    case ConfinedRemover::Outcome::NotEmpty:
        return "not empty";
    case ConfinedRemover::Outcome::UnsafeLink:
        return "unsafe link";
    case ConfinedRemover::Outcome::Protected:
        return "protected";
    case ConfinedRemover::Outcome::WrongKind:
        return std::strcmp(step, "folder") == 0 ? "not a folder" : "a folder";
    case ConfinedRemover::Outcome::Failed:
        return "failed";
    }
    return "";
}

} // namespace

int FileRemover::lengthSort(const std::string& a, const std::string& b) {
    const size_t lengthA = utf16Length(a);
    const size_t lengthB = utf16Length(b);
    if (lengthA < lengthB) {
        return -1;
    }
    return lengthA > lengthB ? 1 : 0;
}

std::vector<std::string> FileRemover::sortedByLength(std::vector<std::string> folders) {
    std::stable_sort(folders.begin(), folders.end(),
                     [](const std::string& a, const std::string& b) { return lengthSort(a, b) < 0; });
    return folders;
}

void FileRemover::note(ConfinedRemover::Outcome outcome, const char* step, const std::string& path) {
    if (mReport == nullptr) {
        return;
    }
    if (outcome == ConfinedRemover::Outcome::Deleted) {
        mReport->add(EngineAction::Outcome::Deleted, step, path);
        return;
    }
    std::string reason = reasonOf(outcome, step);
    switch (outcome) {
    case ConfinedRemover::Outcome::Missing:
        mReport->add(EngineAction::Outcome::AlreadyGone, step, path);
        return;
    case ConfinedRemover::Outcome::NotEmpty:
    case ConfinedRemover::Outcome::Protected:
        // Shared with other software, holding the user's own files, or the system's: kept on purpose.
        mReport->add(EngineAction::Outcome::Skipped, step, path, reason);
        return;
    case ConfinedRemover::Outcome::Failed:
        reason += std::string(": ") + std::strerror(mRemover.lastError());
        break;
    default:
        break;
    }
    // Anything else leaves the item where it was, although it was to go.
    mReport->add(EngineAction::Outcome::Failed, step, path, reason);
}

bool FileRemover::execUnInstall(const std::optional<std::vector<std::string>>& files,
                                const std::optional<std::vector<std::string>>& sortedFolders,
                                const std::optional<std::vector<std::string>>& links) {
    if (!files || !sortedFolders || !links) {
        return false;
    }
    mRemover.forget();
    for (const std::string& file : *files) {
        note(mRemover.removeFile(file), "file", file);
    }
    for (const std::string& link : *links) {
        note(mRemover.removeLink(link), "link", link);
    }
    for (auto folder = sortedFolders->rbegin(); folder != sortedFolders->rend(); ++folder) {
        note(mRemover.removeFolderIfOnlyHidden(*folder), "folder", *folder);
    }
    mRemover.forget();
    return true;
}
