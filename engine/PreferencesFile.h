#pragma once

#include "platform/ConfinedFile.h"
#include "platform/PlistValue.h"

#include <optional>
#include <string>

/// A preferences property list (the Dock's, the login window's) opened for an edit and written back in
/// the form it was read: binary stays binary, XML stays XML, and the file keeps its owner and mode.
class PreferencesFile {
public:
    /// Opens a dictionary. nullopt when there is nothing to edit: `whyNot` is empty for a missing file
    /// and says why for one that is left alone (a link, not a property list, not a dictionary, …).
    static std::optional<PreferencesFile> open(const std::string& systemPath, std::string& whyNot);

    PlistValue& root() { return mRoot; }
    const std::string& path() const { return mPath; }

    /// Writes the edited dictionary back through a new file renamed over the old one; false, and the
    /// file as it was, when it changed since it was opened or anything fails.
    bool save() const;

private:
    PreferencesFile(std::string path, ConfinedFile::Contents original, PlistValue root, bool binary)
        : mPath(std::move(path)), mOriginal(std::move(original)), mRoot(std::move(root)), mBinary(binary) {}

    std::string mPath;
    ConfinedFile::Contents mOriginal;
    PlistValue mRoot;
    bool mBinary = false;
};
