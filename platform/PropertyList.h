#pragma once

#include "platform/PlistValue.h"

#include <optional>
#include <string>
#include <string_view>

/// Property lists in XML or binary form, read and written through libplist.
class PropertyList {
public:
    /// Parses XML or binary property-list bytes; nullopt when they are not a property list.
    static std::optional<PlistValue> parse(std::string_view bytes);

    /// Reads a property list at a system path; nullopt when it is missing, unreadable or malformed.
    static std::optional<PlistValue> readFile(const std::string& systemPath);

    /// Reads a property list at a host path (the application's own bundle).
    static std::optional<PlistValue> readHostFile(const std::string& hostPath);

    /// Reads a dictionary at a system path; nullopt when the file is no property list or its root is
    /// not a dictionary.
    static std::optional<PlistValue> readDictionary(const std::string& systemPath);

    /// The XML form of a value; nullopt when libplist cannot write it.
    static std::optional<std::string> toXml(const PlistValue& value);

    /// The binary form of a value (for fixtures that look like a real Mac's files).
    static std::optional<std::string> toBinary(const PlistValue& value);

    /// Writes the XML form to a system path atomically: a new file in the same folder, then renamed
    /// over the old one. false when anything fails; the old file then stays as it was.
    static bool writeFileAtomically(const std::string& systemPath, const PlistValue& value);
};
