#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// One line of a maker's script, read once into the simple commands the uninstaller then starts itself
/// (no shell reads the line again).
///
/// Commands are joined by ";", "&&", "||" and line breaks. Words are bare, 'single-quoted',
/// "double-quoted" (without expansions) or escaped with a backslash; "#" at the start of a word begins
/// a comment. Output may be thrown away (>/dev/null, 2>/dev/null, 2>&1, &>/dev/null), as it always is.
/// Whatever a shell would give a meaning of its own refuses the line with its reason: expansions ("$",
/// backquotes, a leading "~", braces, "!"), subshells and groups, pipes, "&", here-documents, any other
/// redirection, and assignments before a command.
class ScriptLine {
public:
    /// One word after quote removal.
    struct Word {
        std::string text;
        /// The word in fnmatch(3) form when it holds an unquoted "*", "?" or "[…]" (every quoted
        /// character escaped); empty when it holds none.
        std::string pattern;

        bool isPattern() const { return !pattern.empty(); }
        bool operator==(const Word&) const = default;
    };

    /// When a command runs, given how the one before it ended.
    enum class Joint {
        Always,      // the first command, or after ";" or a line break
        IfSucceeded, // after "&&"
        IfFailed,    // after "||"
    };

    /// One simple command.
    struct Command {
        Joint joint = Joint::Always;
        std::vector<Word> words; ///< never empty
    };

    /// The commands of a line in order; no commands and the reason when the line is refused.
    struct Parsed {
        std::vector<Command> commands;
        std::optional<std::string> refusal;
    };

    /// Reads a line; a refusal for anything outside the words and joints above.
    static Parsed parse(std::string_view line);

    /// A word as it must be written for parse() to read it back unchanged (in single quotes when it
    /// holds anything but letters, digits and a few safe signs).
    static std::string quoted(std::string_view word);
};
