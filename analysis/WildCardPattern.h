#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// What the tail of a wildcard path matches: a whole path that the expression ".*" + tail + ".*" matches,
/// where the tail's "*" stands for any characters and its "." for a dot, and every other character means
/// what it means to find(1)'s default expressions ("[ab]" a set, "+" a repetition, "\(" a group). A line
/// feed is never matched by "*", as find's "." matches none.
///
/// A tail of ordinary characters is matched as its pieces between the "*" in order, without an
/// expression engine; the others are compiled.
class WildCardPattern {
public:
    /// The pattern of a tail; nullopt, with `error` saying why, when its expression does not compile.
    static std::optional<WildCardPattern> compile(const std::string& tail, std::string& error);

    WildCardPattern(WildCardPattern&&) noexcept;
    WildCardPattern& operator=(WildCardPattern&&) noexcept;
    ~WildCardPattern();

    /// True when the whole path matches.
    bool matches(std::string_view path) const;

    /// The expression a tail stands for: ".*" + the tail with "*" as ".*" and "." as "\." + ".*".
    static std::string expressionOf(const std::string& tail);

    /// The pieces of a tail that only "*" joins; nullopt when the tail holds a character the expression
    /// would read otherwise than as itself.
    static std::optional<std::vector<std::string>> simplePieces(const std::string& tail);

private:
    struct Expression;
    WildCardPattern() = default;

    std::vector<std::string> mPieces;
    std::unique_ptr<Expression> mExpression; // only for tails that are not simple
};
