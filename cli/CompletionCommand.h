#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

/// What the bash and zsh completion scripts offer, worked out from the command table so that a new
/// command or option is offered as soon as it is a row of the table. The scripts run
/// "uninstaller-cli __complete WORD..." with the words typed so far, the last being the one to complete,
/// and read a line saying what to offer ("words", "folders" or "files"), then the words one per line.
class CompletionCommand {
public:
    /// What to offer for the last word.
    struct Offer {
        enum class Kind { Words, Folders, Files };
        Kind kind = Kind::Words;
        std::vector<std::string> words; ///< those that begin with the last word, in table or row order
    };

    /// The row names of the system in a root (nullopt: "/"); empty when it cannot be searched.
    using RowNames = std::function<std::vector<std::string>(const std::optional<std::string>& root)>;

    /// The offer for `words` (the command line after "uninstaller-cli"; the last word is being typed).
    /// `rowNames` is called only when software names are wanted.
    static Offer offer(const std::vector<std::string>& words, const RowNames& rowNames);

    /// Prints the offer for `words`, the row names taken from a search of the system.
    static void run(const std::vector<std::string>& words, std::ostream& out);
};
