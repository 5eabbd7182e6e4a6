#include "engine/PreferencesFile.h"

#include "platform/PropertyList.h"

namespace {

constexpr std::string_view kBinaryMagic = "bplist00";

} // namespace

std::optional<PreferencesFile> PreferencesFile::open(const std::string& systemPath, std::string& whyNot) {
    whyNot.clear();
    ConfinedFile::Contents contents;
    switch (ConfinedFile::read(systemPath, contents)) {
    case ConfinedFile::Status::Read:
        break;
    case ConfinedFile::Status::Missing:
        return std::nullopt;
    case ConfinedFile::Status::UnsafeLink:
        whyNot = "unsafe link";
        return std::nullopt;
    case ConfinedFile::Status::IsLink:
        whyNot = "a symbolic link";
        return std::nullopt;
    case ConfinedFile::Status::NotRegular:
        whyNot = "not a file";
        return std::nullopt;
    case ConfinedFile::Status::Unreadable:
        whyNot = "not readable";
        return std::nullopt;
    }
    std::optional<PlistValue> root = PropertyList::parse(contents.bytes);
    if (!root) {
        whyNot = "not a property list";
        return std::nullopt;
    }
    if (!root->isDictionary()) {
        whyNot = "not a dictionary";
        return std::nullopt;
    }
    const bool binary = std::string_view(contents.bytes).substr(0, kBinaryMagic.size()) == kBinaryMagic;
    return PreferencesFile(systemPath, std::move(contents), std::move(*root), binary);
}

bool PreferencesFile::save() const {
    const std::optional<std::string> bytes =
        mBinary ? PropertyList::toBinary(mRoot) : PropertyList::toXml(mRoot);
    return bytes && ConfinedFile::replace(mPath, mOriginal, *bytes);
}
