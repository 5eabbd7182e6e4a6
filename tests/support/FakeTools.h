#pragma once

#include <string>
#include <vector>

/// A folder of stand-in programs made the UNINSTALLER_TOOL_DIR for the life of the object, so that the
/// command runner starts them instead of the real tools. Each records its arguments, one call a line
/// (arguments separated by tabs), in "<name>.calls" beside it.
class FakeTools {
public:
    FakeTools();
    ~FakeTools();
    FakeTools(const FakeTools&) = delete;
    FakeTools& operator=(const FakeTools&) = delete;

    /// Adds a program `name` that records its call, prints `output` on standard output and exits with
    /// `exitStatus`.
    void add(const std::string& name, const std::string& output = {}, int exitStatus = 0) const;

    /// Adds a program with a shell body of its own (after the recording line).
    void addScript(const std::string& name, const std::string& body) const;

    /// The recorded calls of a program, each as its argument list.
    std::vector<std::vector<std::string>> calls(const std::string& name) const;

    const std::string& folder() const { return mFolder; }

private:
    std::string mFolder;
};
