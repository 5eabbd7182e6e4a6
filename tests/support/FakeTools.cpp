#include "tests/support/FakeTools.h"

#include "tests/support/TestSystem.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <stdlib.h>

namespace fs = std::filesystem;

namespace {

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

FakeTools::FakeTools() {
    mFolder = makeTemporaryFolder("uninstaller-tools");
    ::setenv("UNINSTALLER_TOOL_DIR", mFolder.c_str(), 1);
}

FakeTools::~FakeTools() {
    ::unsetenv("UNINSTALLER_TOOL_DIR");
    std::error_code ignored;
    fs::remove_all(mFolder, ignored);
}

void FakeTools::add(const std::string& name, const std::string& output, int exitStatus) const {
    addScript(name, "printf '%s' " + shellQuote(output) + "\nexit " + std::to_string(exitStatus) + "\n");
}

void FakeTools::addScript(const std::string& name, const std::string& body) const {
    const fs::path script = fs::path(mFolder) / name;
    {
        std::ofstream out(script);
        out << "#!/bin/sh\n"
            << "first=1; for a in \"$@\"; do if [ $first = 1 ]; then first=0; else printf '\\t'; fi; "
               "printf '%s' \"$a\"; done >> "
            << shellQuote(mFolder + "/" + name + ".calls") << "\n"
            << "echo >> " << shellQuote(mFolder + "/" + name + ".calls") << "\n"
            << body;
    }
    fs::permissions(script, fs::perms::owner_all);
}

std::vector<std::vector<std::string>> FakeTools::calls(const std::string& name) const {
    std::vector<std::vector<std::string>> result;
    std::ifstream in(fs::path(mFolder) / (name + ".calls"));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> args;
        std::stringstream fields(line);
        std::string field;
        while (std::getline(fields, field, '\t')) {
            args.push_back(field);
        }
        if (!line.empty() && line.back() == '\t') {
            args.emplace_back();
        }
        result.push_back(args);
    }
    return result;
}
