#include "tests/e2e/JsonSchema.h"

#include <valijson/adapters/nlohmann_json_adapter.hpp>
#include <valijson/schema.hpp>
#include <valijson/schema_parser.hpp>
#include <valijson/validation_results.hpp>
#include <valijson/validator.hpp>

#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

JsonSchema::JsonSchema(const std::string& path) : mSchema(std::make_unique<valijson::Schema>()) {
    std::ifstream in(path);
    const nlohmann::json document = nlohmann::json::parse(in, nullptr, /*allow_exceptions=*/false);
    if (!in || document.is_discarded()) {
        throw std::runtime_error("cannot read the schema " + path);
    }
    valijson::SchemaParser parser(valijson::SchemaParser::kDraft7);
    const valijson::adapters::NlohmannJsonAdapter adapter(document);
    parser.populateSchema(adapter, *mSchema);
}

JsonSchema::~JsonSchema() = default;

const JsonSchema& JsonSchema::of(const std::string& command) {
    static std::map<std::string, std::unique_ptr<JsonSchema>> loaded;
    std::unique_ptr<JsonSchema>& schema = loaded[command];
    if (!schema) {
        schema = std::make_unique<JsonSchema>(std::string(UNINSTALLER_SOURCE_DIR) + "/docs/schema/" +
                                              command + ".schema.json");
    }
    return *schema;
}

std::vector<std::string> JsonSchema::problems(const nlohmann::json& document) const {
    // Strong types: 3.0 is no integer and "3" no number.
    valijson::Validator validator(valijson::Validator::kStrongTypes);
    valijson::ValidationResults results;
    const valijson::adapters::NlohmannJsonAdapter adapter(document);
    std::vector<std::string> found;
    if (validator.validate(*mSchema, adapter, &results)) {
        return found;
    }
    valijson::ValidationResults::Error error;
    while (results.popError(error)) {
        std::string where;
        for (const std::string& part : error.context) {
            where += part;
        }
        found.push_back(where + ": " + error.description);
    }
    return found;
}

std::vector<std::string> JsonSchema::problems(const std::string& text) const {
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (document.is_discarded()) {
        return {"not one JSON value: " + text};
    }
    return problems(document);
}
