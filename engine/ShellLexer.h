#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// Reads a shell command line the way "/bin/sh" will, as far as screening needs it: the simple commands
/// it runs (those after ";", "&&", "||", "|", "&" and line breaks, and those inside "$(…)" and "`…`"),
/// each with its words after quote removal and its redirections.
///
/// What the shell would decide only when the line runs (variables, substitutions, a leading "~") is
/// marked, not resolved; globs and braces are marked where they begin. A line with a construct that
/// cannot be screened word by word (subshells and groups in parentheses, here-documents, process
/// substitution, case patterns, unterminated quotes) gives an error instead of commands.
class ShellLexer {
public:
    /// One word of a simple command.
    struct Word {
        std::string value;   ///< after quote removal; expansions kept as written
        size_t rawBegin = 0; ///< where the word starts in its command's raw text
        bool quoted = false; ///< some part of it was quoted or escaped
        /// Holds "$…", "`…`" or a leading "~": the shell will not pass the value as written.
        bool expansion = false;
        /// Where the first unquoted glob or brace character (* ? [ {) is in `value`; npos for none.
        size_t specialAt = std::string::npos;

        bool hasSpecial() const { return specialAt != std::string::npos; }
    };

    /// A redirection and the word it names.
    struct Redirect {
        std::string op; ///< ">", ">>", ">|", "<>", "&>", "&>>", ">&", "<", "<&" or "<<<"
        Word target;

        /// True when it opens its target for writing (a file, not another descriptor).
        bool writes() const;
    };

    /// One simple command.
    struct Command {
        std::string raw; ///< the command's text as written, without the operators around it
        std::vector<Word> words;
        std::vector<Redirect> redirects;
    };

    struct Result {
        std::vector<Command> commands;
        /// Why the line cannot be screened; the commands are then incomplete.
        std::optional<std::string> error;
    };

    /// Splits a line into its simple commands.
    static Result split(std::string_view line);
};
