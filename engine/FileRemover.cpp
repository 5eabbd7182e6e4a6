#include "engine/FileRemover.h"

#include "engine/ActionReport.h"
#include "platform/BackupArchive.h"
#include "platform/Path.h"

#include <algorithm>
#include <cstring>
#include <set>

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

// How many items are claimed and written to a backup before it is made durable and they are deleted:
// one sync per item would cost more than the deletions themselves.
constexpr size_t kGroup = 1024;

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
    case ConfinedRemover::Outcome::NotKept:
        return "not backed up";
    case ConfinedRemover::Outcome::Changed:
        return "changed after it was backed up";
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
    case ConfinedRemover::Outcome::NotKept:
        reason += ": " + mRemover.backupProblem();
        break;
    default:
        break;
    }
    // Anything else leaves the item where it was, although it was to go.
    mReport->add(EngineAction::Outcome::Failed, step, path, reason);
}

bool FileRemover::backupBroken() const {
    return mRemover.backup() != nullptr && mRemover.backup()->broken();
}

void FileRemover::flush(std::vector<Pending>& pending) {
    const bool anyReady =
        std::any_of(pending.begin(), pending.end(), [](const Pending& item) { return item.claim.ready(); });
    BackupArchive* backup = mRemover.backup();
    const bool durable = !anyReady || backup == nullptr || backup->sync();
    for (Pending& item : pending) {
        if (item.claim.ready() && !durable) {
            item.claim.outcome = ConfinedRemover::Outcome::NotKept;
        }
        note(mRemover.release(item.claim), item.step, *item.path);
    }
    pending.clear();
}

bool FileRemover::execUnInstall(const std::optional<std::vector<std::string>>& files,
                                const std::optional<std::vector<std::string>>& sortedFolders,
                                const std::optional<std::vector<std::string>>& links) {
    if (!files || !sortedFolders || !links) {
        return false;
    }
    // Without a backup every item goes as soon as it is checked.
    const size_t group = mRemover.backup() != nullptr ? kGroup : 1;
    std::vector<Pending> pending;
    const auto add = [&](ConfinedRemover::Claim claim, const char* step, const std::string& path) {
        pending.push_back({std::move(claim), step, &path});
        if (pending.size() >= group || backupBroken()) {
            flush(pending);
        }
        return !backupBroken();
    };
    mRemover.forget();
    bool going = true;
    for (auto file = files->begin(); going && file != files->end(); ++file) {
        going = add(mRemover.claimFile(*file), "file", *file);
    }
    for (auto link = links->begin(); going && link != links->end(); ++link) {
        going = add(mRemover.claimLink(*link), "link", *link);
    }
    flush(pending);
    // A folder is only checked once everything in it that is waiting has gone.
    std::set<std::string> waitingFolders;
    for (auto folder = sortedFolders->rbegin(); going && folder != sortedFolders->rend(); ++folder) {
        if (group > 1) {
            const std::string below = path::comparisonKey(*folder) + "/";
            const auto inside = waitingFolders.lower_bound(below);
            if (inside != waitingFolders.end() && inside->starts_with(below)) {
                flush(pending);
                waitingFolders.clear();
            }
            waitingFolders.insert(path::comparisonKey(*folder));
        }
        going = add(mRemover.claimFolderIfOnlyHidden(*folder), "folder", *folder);
        if (pending.empty()) {
            waitingFolders.clear();
        }
    }
    flush(pending);
    mRemover.forget();
    return true;
}
