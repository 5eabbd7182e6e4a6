#include "tests/support/TestBundle.h"

#include "tests/support/TestSystem.h"

#include "platform/PropertyList.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <stdlib.h>

namespace fs = std::filesystem;

namespace {

const fs::path kBuiltBundle = UNINSTALLER_BUILD_BUNDLE;

void writeBytes(const fs::path& where, const std::string& bytes) {
    fs::create_directories(where.parent_path());
    std::ofstream out(where, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) {
        throw std::runtime_error("test fixture: cannot write " + where.string());
    }
}

PlistValue readShipped(const fs::path& relative) {
    std::optional<PlistValue> value = PropertyList::readHostFile((kBuiltBundle / relative).string());
    if (!value) {
        throw std::runtime_error("test fixture: the built bundle has no readable " + relative.string());
    }
    return *value;
}

} // namespace

TestBundle::TestBundle() {
    mFolder = makeTemporaryFolder("uninstaller-bundle");
    mPath = (fs::path(mFolder) / "Uninstaller.app").string();
    const fs::path contents = fs::path(mPath) / "Contents";
    fs::create_directories(contents / "Resources");
    fs::copy(kBuiltBundle / "Contents/Info.plist", contents / "Info.plist");
    fs::copy(kBuiltBundle / "Contents/Resources", contents / "Resources", fs::copy_options::recursive);
    fs::create_directory_symlink(kBuiltBundle / "Contents/Helpers", contents / "Helpers");
    ::setenv("UNINSTALLER_BUNDLE", mPath.c_str(), 1);
}

TestBundle::~TestBundle() {
    ::setenv("UNINSTALLER_BUNDLE", kBuiltBundle.c_str(), 1);
    std::error_code ignored;
    fs::remove_all(mFolder, ignored);
}

PlistValue TestBundle::shippedInformation() {
    return readShipped("Contents/Resources/CorvaneInformaiton.plist");
}

PlistValue TestBundle::shippedInfo() {
    return readShipped("Contents/Info.plist");
}

void TestBundle::setInformation(const PlistValue& information) const {
    setInformationBytes(PropertyList::toXml(information).value());
}

void TestBundle::setInformationBytes(const std::string& bytes) const {
    const fs::path file = fs::path(mPath) / "Contents/Resources/CorvaneInformaiton.plist";
    if (bytes.empty()) {
        fs::remove(file);
        return;
    }
    writeBytes(file, bytes);
}

void TestBundle::setInfo(const PlistValue& info) const {
    writeBytes(fs::path(mPath) / "Contents/Info.plist", PropertyList::toXml(info).value());
}
