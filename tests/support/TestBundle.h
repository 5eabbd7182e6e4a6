#pragma once

#include "platform/PlistValue.h"

#include <string>

/// An application bundle of the test's own, made the main bundle (UNINSTALLER_BUNDLE) for the life of
/// the object. It starts as a copy of the built bundle's data, with the built stand-in tools; tests
/// replace the information resource file or Info.plist to check what the data decides.
class TestBundle {
public:
    TestBundle();
    ~TestBundle();
    TestBundle(const TestBundle&) = delete;
    TestBundle& operator=(const TestBundle&) = delete;

    /// The shipped CorvaneInformaiton.plist, as a starting point for changes.
    static PlistValue shippedInformation();
    /// The shipped Info.plist.
    static PlistValue shippedInfo();

    /// Replaces Contents/Resources/CorvaneInformaiton.plist.
    void setInformation(const PlistValue& information) const;
    /// Writes raw bytes as Contents/Resources/CorvaneInformaiton.plist (or removes it for an empty string).
    void setInformationBytes(const std::string& bytes) const;
    /// Replaces Contents/Info.plist.
    void setInfo(const PlistValue& info) const;

    const std::string& path() const { return mPath; }

private:
    std::string mFolder;
    std::string mPath;
};
