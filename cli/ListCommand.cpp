#include "cli/ListCommand.h"

#include "catalogue/StoreSoftwareInformationManager.h"
#include "platform/Utf8.h"

#include <cstdio>
#include <ostream>
#include <string>

namespace {

bool isControl(uint32_t codePoint) {
    return codePoint < 0x20 || codePoint == 0x7F || (codePoint >= 0x80 && codePoint < 0xA0);
}

std::string sizeText(int64_t bytes) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / 1024.0 / 1024.0);
    return text;
}

// A JSON string: always valid UTF-8 (bytes that are not become U+FFFD), with every control character
// (C0, DEL and C1) escaped so that nothing in a name acts on a terminal.
std::string jsonString(const std::string& text) {
    const std::string valid = utf8::withReplacements(text);
    std::string out = "\"";
    for (size_t at = 0; at < valid.size();) {
        const utf8::Decoded character = *utf8::decodeAt(valid, at);
        const std::string_view bytes(valid.data() + at, character.length);
        at += character.length;
        switch (character.codePoint) {
        case '"':
            out += "\\\"";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\t':
            out += "\\t";
            continue;
        case '\r':
            out += "\\r";
            continue;
        default:
            break;
        }
        if (isControl(character.codePoint)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", character.codePoint);
            out += escaped;
        } else {
            out += bytes;
        }
    }
    return out + "\"";
}

const char* sourceName(RecordSource source) {
    switch (source) {
    case RecordSource::UninstallFile:
        return "file";
    case RecordSource::Receipts:
        return "receipts";
    case RecordSource::Merged:
        return "both";
    }
    return "file";
}

// A field of a tab-separated line for a terminal: tabs and line breaks would split the row, and any
// other control character (C0, DEL, C1) or byte that is no text is shown escaped rather than acted on.
std::string field(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const std::optional<utf8::Decoded> character = utf8::decodeAt(text, at);
        char escaped[8];
        if (!character) {
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[at]));
            out += escaped;
            ++at;
            continue;
        }
        const uint32_t code = character->codePoint;
        if (code == '\t') {
            out += "\\t";
        } else if (code == '\n') {
            out += "\\n";
        } else if (code == '\r') {
            out += "\\r";
        } else if (isControl(code)) {
            std::snprintf(escaped, sizeof escaped, code < 0x80 ? "\\x%02x" : "\\u%04x", code);
            out += escaped;
        } else {
            out.append(text, at, character->length);
        }
        at += character->length;
    }
    return out;
}

} // namespace

void ListCommand::printRows(const StoreSoftwareInformationManager& store, std::ostream& out) {
    for (const DisplayRecord& row : store.getMSoftwareInformationForDisplayArray()) {
        out << field(row.applicationName) << '\t' << field(row.applicationVersion) << '\t'
            << sizeText(row.installFileSize) << '\n';
    }
}

void ListCommand::printJson(const StoreSoftwareInformationManager& store, std::ostream& out) {
    const auto& records = store.getMSoftwareInformationArray();
    out << "[";
    bool firstRow = true;
    for (const DisplayRecord& row : store.getMSoftwareInformationForDisplayArray()) {
        out << (firstRow ? "\n" : ",\n") << "  {\"name\": " << jsonString(row.applicationName)
            << ", \"version\": " << jsonString(row.applicationVersion)
            << ", \"size\": " << row.installFileSize << ", \"warnings\": [";
        for (size_t i = 0; i < row.warnings.size(); ++i) {
            out << (i == 0 ? "" : ", ") << jsonString(row.warnings[i]);
        }
        out << "], \"records\": [";
        firstRow = false;
        for (size_t i = 0; i < row.softInfoMap.size(); ++i) {
            out << (i == 0 ? "" : ", ") << row.softInfoMap[i];
        }
        out << "],\n   \"software\": [";
        bool firstRecord = true;
        for (const int32_t index : row.softInfoMap) {
            if (index < 0 || static_cast<size_t>(index) >= records.size()) {
                continue;
            }
            const SoftwareInformationRecord& record = records[static_cast<size_t>(index)];
            out << (firstRecord ? "" : ", ") << "{\"index\": " << index
                << ", \"name\": " << jsonString(record.applicationName) << ", \"source\": \""
                << sourceName(record.source) << "\", \"packages\": [";
            firstRecord = false;
            for (size_t p = 0; p < record.packageInfo.size(); ++p) {
                const PackageInfoEntry& package = record.packageInfo[p];
                out << (p == 0 ? "" : ", ") << "{\"identifier\": " << jsonString(package.packageIdentifier)
                    << ", \"name\": " << jsonString(package.packageName)
                    << ", \"version\": " << jsonString(package.packageVersion)
                    << ", \"type\": " << jsonString(package.packageType) << "}";
            }
            out << "]}";
        }
        out << "]}";
    }
    out << (firstRow ? "]\n" : "\n]\n");
}

void ListCommand::printWarnings(const StoreSoftwareInformationManager& store, std::ostream& err,
                                RowWarnings rowWarnings) {
    for (const std::string& warning : store.getMWarnings()) {
        err << "uninstaller-cli: " << field(warning) << '\n';
    }
    if (rowWarnings == RowWarnings::Include) {
        for (const DisplayRecord& row : store.getMSoftwareInformationForDisplayArray()) {
            for (const std::string& warning : row.warnings) {
                err << "uninstaller-cli: " << field(row.applicationName) << ": " << field(warning) << '\n';
            }
        }
    }
}
