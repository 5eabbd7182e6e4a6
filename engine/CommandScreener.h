#pragma once

#include "engine/ScriptLine.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// Decides whether the simple commands of a maker's script line may run, and with which words.
///
/// A program on the ban list (by base name), or one of the system programs every Mac has in /sbin and
/// /usr/sbin, is refused first. Then only the commands of one table run, each by the system's own path
/// for it, with its own options (an unknown option refuses the line) and its operands read as the
/// program reads them: paths, process ids, process names, launchd labels and property lists. Every path
/// is absolute, without "..", and kept clear of the system's folders and the protected paths, links on
/// the way resolved; for a command that reaches below a path (recursive, or moving it) no protected
/// folder may lie below it either. A pattern ("*", "?", "[…]") may only be the last part of a path; the
/// uninstaller expands it itself, and each match is screened as a path of its own.
class CommandScreener {
public:
    /// How far a command reaches from a path it is given.
    enum class Reach {
        Item,         // the item itself
        ItemAndBelow, // everything below it as well: a recursive command, or one that moves it
    };

    /// One word the program gets.
    struct Argument {
        std::string text; ///< a path standardized, anything else as written
        /// The last component in fnmatch(3) form when the path ends in a pattern; empty otherwise.
        std::string pattern;
        bool isPath = false; ///< screened again, with `reach`, right before the command runs
        Reach reach = Reach::Item;
        /// What the pattern matched when the line was screened (the run looks again).
        std::vector<std::string> matches;
    };

    /// A command as it will run.
    struct Command {
        ScriptLine::Joint joint = ScriptLine::Joint::Always;
        std::string program; ///< the system's own path of the program ("/bin/rm")
        std::vector<Argument> arguments;

        /// The program and its words, each quoted as a shell would need it (for reports).
        std::string text() const;
    };

    /// A screened line: its commands, or why it may not run.
    struct Line {
        std::vector<Command> commands;
        std::optional<std::string> refusal;
    };

    /// The words a command runs with right now.
    struct Prepared {
        std::vector<std::string> words;
        std::optional<std::string> refusal;   ///< a path that may not be acted on now
        std::optional<std::string> unmatched; ///< a pattern that matches nothing: nothing runs
    };

    /// The lists are the ban list (names listed in the system's /sbin and /usr/sbin) and the individual
    /// and lower-layer paths; all three must outlive the screener.
    CommandScreener(const std::vector<std::string>& banned, const std::vector<std::string>& individual,
                    const std::vector<std::string>& lowerLayer);

    /// Reads and screens a line; admitted only when all of its commands are.
    Line screen(std::string_view line) const;

    /// A command's words right before it runs: its paths screened again and its patterns expanded (in
    /// the system root, the one folder listed without following links).
    Prepared prepare(const Command& command) const;

    /// Why a standardized system path may not be given to a command reaching that far: a system
    /// folder, a protected path, or (for ItemAndBelow) a folder holding one; nullopt when it may.
    std::optional<std::string> protectedFor(const std::string& path, Reach reach) const;

    /// True for a program name on the ban list or among the system programs every Mac has.
    bool isBanned(std::string_view name) const;

private:
    const std::vector<std::string>& mBanned;
    const std::vector<std::string>& mIndividual;
    const std::vector<std::string>& mLowerLayer;
};
