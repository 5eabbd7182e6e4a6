// The text of a rest or remove path entry: shell quoting stripped, split at its first wildcard component,
// the tail turned into a find expression or into the pieces matched without one, and compiled.

#include "analysis/AnalyzePathManager.h"
#include "analysis/WildCardPattern.h"
#include "fuzz/Touch.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<std::string> entry =
        AnalyzePathManager::removeUnUseSignal(std::string(reinterpret_cast<const char*>(data), size));
    fuzzing::require(entry.has_value() && entry->size() <= size, "unquoting never lengthens an entry");
    fuzzing::touch(*entry);

    const std::optional<WildCardPath> parts = AnalyzePathManager::apartWildCardPath(entry);
    fuzzing::require(parts.has_value() == AnalyzePathManager::checkWildCard(*entry),
                     "an entry with \"*\" splits, one without does not");
    if (!parts) {
        return 0;
    }
    fuzzing::touch(parts->searchingPath);
    fuzzing::touch(parts->wildCardPath);
    fuzzing::require(!AnalyzePathManager::checkWildCard(parts->searchingPath),
                     "the folder searched holds no \"*\"");
    fuzzing::require(AnalyzePathManager::checkWildCard(parts->wildCardPath), "the tail holds the \"*\"");

    const std::optional<std::string> expression =
        AnalyzePathManager::convertRegularExplession(parts->wildCardPath);
    fuzzing::require(expression && expression->starts_with(".*") && expression->ends_with(".*"),
                     "the expression matches anything around the tail");
    fuzzing::touch(*expression);

    if (const std::optional<std::vector<std::string>> pieces =
            WildCardPattern::simplePieces(parts->wildCardPath)) {
        std::string literal = parts->wildCardPath;
        literal.erase(std::remove(literal.begin(), literal.end(), '*'), literal.end());
        std::string together;
        for (const std::string& piece : *pieces) {
            fuzzing::require(!piece.empty() && !AnalyzePathManager::checkWildCard(piece),
                             "pieces are the non-empty text between the \"*\"");
            together += piece;
        }
        fuzzing::require(together == literal, "the pieces hold the whole tail but its \"*\"");
    }

    // Any tail compiles or is refused with a reason; a compiled one can be matched against any path, and
    // a tail of ordinary characters matches its own text.
    std::string error;
    const std::optional<WildCardPattern> pattern = WildCardPattern::compile(parts->wildCardPath, error);
    fuzzing::require(pattern.has_value() || !error.empty(), "a refused tail says why");
    if (pattern) {
        std::string literal = parts->wildCardPath;
        literal.erase(std::remove(literal.begin(), literal.end(), '*'), literal.end());
        const bool matched = pattern->matches(literal);
        pattern->matches(*entry);
        fuzzing::require(matched || !WildCardPattern::simplePieces(parts->wildCardPath) ||
                             literal.find('\n') != std::string::npos || !utf8::isValid(literal),
                         "a tail of ordinary characters matches its own text");
    }
    return 0;
}
