#pragma once

#include <string>

/// Makes a file impossible to delete or change, even for the super-user (as macOS's schg flag does),
/// for as long as the object lives, where the file system allows it (ext4 does; tmpfs does not).
class ImmutableFile {
public:
    explicit ImmutableFile(std::string hostPath);
    ~ImmutableFile();
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;

    /// False when the file system or the rights of the process did not allow it.
    bool isSet() const { return mSet; }

private:
    bool setFlag(bool on) const;

    std::string mPath;
    bool mSet = false;
};
