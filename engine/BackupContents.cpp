#include "engine/BackupContents.h"

#include "platform/BackupArchive.h"

#include <cstdio>
#include <ctime>
#include <ostream>
#include <vector>

namespace {

// A manifest is small; anything larger named like one is an item.
constexpr size_t kMaxManifest = 1 << 20;

std::string utcTime(const timespec& time) {
    std::tm utc{};
    const time_t seconds = time.tv_sec;
    if (gmtime_r(&seconds, &utc) == nullptr) {
        return "?";
    }
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : ", ") + BackupContents::printable(item);
    }
    return text;
}

} // namespace

std::string BackupContents::printable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

BackupContents BackupContents::scan(BackupReader& reader, const Visitor& visit) {
    BackupContents contents;
    std::optional<BackupManifest> candidate;
    for (size_t index = 0;; ++index) {
        BackupReader::Header header;
        const BackupReader::Next next = reader.next(header);
        if (next == BackupReader::Next::End) {
            break;
        }
        if (next == BackupReader::Next::Damaged) {
            contents.damage = printable(reader.error());
            candidate.reset();
            break;
        }
        if (visit) {
            visit(index, header);
        }
        // A member named like the manifest is the manifest only when it holds one and nothing follows it.
        candidate.reset();
        bool whole = true;
        if (header.name == BackupArchive::kManifestName && header.problem.empty() &&
            header.member.kind == BackupMember::Kind::File && header.member.size <= kMaxManifest) {
            const std::optional<std::string> bytes = reader.readData(kMaxManifest);
            whole = bytes.has_value();
            if (bytes) {
                candidate = BackupManifest::parse(*bytes);
            }
        } else {
            whole = reader.skipData();
        }
        if (!whole) {
            contents.damage = "it ends inside member " + std::to_string(index + 1) + " (" +
                              printable(header.name) + "): " + printable(reader.error());
            break;
        }
        ++contents.members;
        if (!header.problem.empty() && contents.foreign.empty()) {
            contents.foreign = "member " + std::to_string(index + 1) + " (" + printable(header.name) +
                               "): " + header.problem;
        }
    }
    if (candidate) {
        contents.manifest = std::move(candidate);
        contents.manifestIndex = contents.members - 1;
    }
    return contents;
}

std::string BackupContents::describe(const BackupReader::Header& header) {
    const BackupMember& member = header.member;
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", member.mode);
    std::string line = std::string(BackupMember::kindName(member.kind)) + " " + mode + " " +
                       std::to_string(member.uid) + ":" + std::to_string(member.gid) + " " +
                       std::to_string(member.size) + " " + utcTime(member.modificationTime) + " " +
                       printable(member.path);
    if (member.kind == BackupMember::Kind::Link) {
        line += " -> " + printable(member.linkTarget);
    }
    if (!member.attributes.empty()) {
        std::vector<std::string> names;
        for (const auto& attribute : member.attributes) {
            names.push_back(attribute.first);
        }
        line += " [" + joined(names) + "]";
    }
    return line;
}

bool BackupContents::list(BackupReader& reader, std::ostream& out) {
    std::vector<std::string> refused;
    // A member named like the manifest is listed once it is known not to be the last one.
    std::optional<std::string> heldBack;
    const BackupContents contents = scan(reader, [&](size_t index, const BackupReader::Header& header) {
        if (heldBack) {
            out << *heldBack << '\n';
            heldBack.reset();
        }
        if (header.name == BackupArchive::kManifestName) {
            heldBack = describe(header);
        } else {
            out << describe(header) << '\n';
        }
        if (!header.problem.empty()) {
            refused.push_back("member " + std::to_string(index + 1) + " (" + printable(header.name) +
                              "): " + header.problem);
        }
    });
    if (heldBack && !contents.manifest) {
        out << *heldBack << '\n';
    }
    if (contents.manifest) {
        const BackupManifest& manifest = *contents.manifest;
        out << "manifest: run " << printable(manifest.run) << " of " << printable(manifest.program) << ' '
            << printable(manifest.programVersion) << ", finished " << printable(manifest.created) << '\n'
            << "  system: " << printable(manifest.systemRoot)
            << (manifest.systemVersion.empty() ? "" : " (macOS " + printable(manifest.systemVersion) + ")")
            << '\n'
            << "  rows: " << joined(manifest.rows)
            << (manifest.takenAlong.empty() ? "" : "; taken along: " + joined(manifest.takenAlong)) << '\n'
            << "  items: " << manifest.items << '\n';
    } else {
        out << "no manifest: the uninstall that wrote this backup did not end, or the archive is not whole\n";
    }
    for (const std::string& member : refused) {
        out << "not from a backup: " << member << '\n';
    }
    if (!contents.damage.empty()) {
        out << "damaged after " << contents.members << " whole members: " << contents.damage << '\n';
    }
    return contents.damage.empty() && contents.foreign.empty();
}
