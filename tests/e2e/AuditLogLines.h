#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// The audit log as the e2e tests read it: one JSON object per line.
namespace auditlog {

// Every line of the log at hostFile; a line that is not a JSON object fails the test that reads it.
std::vector<nlohmann::json> lines(const std::string& hostFile);

// The string member key of a log line; empty when it is missing or not a string.
std::string member(const nlohmann::json& line, const char* key);

} // namespace auditlog
