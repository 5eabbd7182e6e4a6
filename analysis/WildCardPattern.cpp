#include "analysis/WildCardPattern.h"

#include "platform/Utf8.h"

#include <cctype>
#include <mutex>

#include <locale.h>
#include <regex.h>

namespace {

// find compiles its expressions with the GNU syntax that Emacs uses; the syntax is process-wide.
void useFindSyntax() {
    static std::once_flag once;
    std::call_once(once, [] { re_set_syntax(RE_SYNTAX_EMACS); });
}

// Expressions are read and matched as UTF-8 text, as find reads them in a UTF-8 locale, whatever locale
// this process runs in; only this thread's locale changes, and only while the guard lives.
class Utf8Text {
public:
    Utf8Text() : mPrevious(utf8() != nullptr ? ::uselocale(utf8()) : nullptr) {}
    ~Utf8Text() {
        if (mPrevious != nullptr) {
            ::uselocale(mPrevious);
        }
    }
    Utf8Text(const Utf8Text&) = delete;
    Utf8Text& operator=(const Utf8Text&) = delete;

private:
    static locale_t utf8() {
        static const locale_t locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        return locale;
    }

    locale_t mPrevious;
};

} // namespace

struct WildCardPattern::Expression {
    re_pattern_buffer buffer{};

    Expression() = default;
    Expression(const Expression&) = delete;
    Expression& operator=(const Expression&) = delete;
    ~Expression() { ::regfree(&buffer); }
};

WildCardPattern::WildCardPattern(WildCardPattern&&) noexcept = default;
WildCardPattern& WildCardPattern::operator=(WildCardPattern&&) noexcept = default;
WildCardPattern::~WildCardPattern() = default;

std::optional<WildCardPattern> WildCardPattern::compile(const std::string& tail, std::string& error) {
    WildCardPattern pattern;
    if (std::optional<std::vector<std::string>> pieces = simplePieces(tail)) {
        pattern.mPieces = std::move(*pieces);
        return pattern;
    }
    const std::string expression = expressionOf(tail);
    useFindSyntax();
    const Utf8Text text;
    pattern.mExpression = std::make_unique<Expression>();
    if (const char* message =
            ::re_compile_pattern(expression.data(), expression.size(), &pattern.mExpression->buffer)) {
        error = message;
        return std::nullopt;
    }
    return pattern;
}

std::string WildCardPattern::expressionOf(const std::string& tail) {
    std::string expression = ".*";
    for (const char c : tail) {
        if (c == '*') {
            expression += ".*";
        } else if (c == '.') {
            expression += "\\.";
        } else {
            expression += c;
        }
    }
    return expression + ".*";
}

bool WildCardPattern::matches(std::string_view path) const {
    if (mExpression) {
        const Utf8Text text;
        const auto length = static_cast<regoff_t>(path.size());
        return static_cast<size_t>(length) == path.size() &&
               ::re_match(&mExpression->buffer, path.data(), length, 0, nullptr) == length;
    }
    // ".*a.*b.*" against the whole path: the pieces in order. As with find's ".", nothing matches across
    // a line feed or bytes that are no text.
    if (path.find('\n') != std::string_view::npos || !utf8::isValid(path)) {
        return false;
    }
    size_t at = 0;
    for (const std::string& piece : mPieces) {
        const size_t found = path.find(piece, at);
        if (found == std::string_view::npos) {
            return false;
        }
        at = found + piece.size();
    }
    return true;
}

std::optional<std::vector<std::string>> WildCardPattern::simplePieces(const std::string& tail) {
    std::vector<std::string> pieces;
    std::string piece;
    for (const char c : tail) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '*') {
            if (!piece.empty()) {
                pieces.push_back(std::move(piece));
                piece.clear();
            }
        } else if (std::isalnum(byte) != 0 || byte >= 0x80 ||
                   std::string_view(" -_./,:@#%=~").find(c) != std::string_view::npos) {
            piece += c;
        } else {
            return std::nullopt;
        }
    }
    if (!piece.empty()) {
        pieces.push_back(std::move(piece));
    }
    return pieces;
}
