#pragma once

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

namespace valijson {
class Schema;
}

/// One of the published schemas of uninstaller-cli's JSON, docs/schema/NAME.schema.json, read with
/// nlohmann-json and applied with valijson.
class JsonSchema {
public:
    /// The schema of "list", "plan" or "uninstall", read once; throws when it cannot be read or is no
    /// schema, which fails the test that asked.
    static const JsonSchema& of(const std::string& command);

    /// Reads the schema file at `path`; throws as of() does.
    explicit JsonSchema(const std::string& path);

    /// What in `document` the schema does not allow, one line each, saying where; empty when it conforms.
    std::vector<std::string> problems(const nlohmann::json& document) const;
    /// The same for a program's output, which must be exactly one JSON value.
    std::vector<std::string> problems(const std::string& text) const;

    ~JsonSchema();
    JsonSchema(const JsonSchema&) = delete;
    JsonSchema& operator=(const JsonSchema&) = delete;

private:
    std::unique_ptr<valijson::Schema> mSchema;
};
