#include "cli/ListCommand.h"

#include "catalogue/StoreSoftwareInformationManager.h"

#include <cstdio>
#include <ostream>
#include <string>

namespace {

std::string sizeText(int64_t bytes) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / 1024.0 / 1024.0);
    return text;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
                out += escaped;
            } else {
                out += c;
            }
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

// A field of a tab-separated line: tabs and line breaks inside it would split the row.
std::string field(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
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
            << ", \"size\": " << row.installFileSize << ", \"records\": [";
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
