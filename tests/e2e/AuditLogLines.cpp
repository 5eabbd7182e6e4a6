#include "tests/e2e/AuditLogLines.h"

#include <gtest/gtest.h>

#include <fstream>

namespace auditlog {

std::vector<nlohmann::json> lines(const std::string& hostFile) {
    std::ifstream in(hostFile);
    std::vector<nlohmann::json> result;
    for (std::string line; std::getline(in, line);) {
        nlohmann::json value = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
        if (value.is_object()) {
            result.push_back(std::move(value));
        } else {
            ADD_FAILURE() << "not a JSON line: " << line;
        }
    }
    return result;
}

std::string member(const nlohmann::json& line, const char* key) {
    const auto found = line.find(key);
    return found != line.end() && found->is_string() ? found->get<std::string>() : "";
}

} // namespace auditlog
