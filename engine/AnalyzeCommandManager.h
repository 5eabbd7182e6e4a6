#pragma once

#include "common/CommonFunctions.h"

#include <optional>
#include <string>
#include <vector>

/// Screens the shell lines of an uninstall information file ("PreUnInstall", "PostUnInstall") before the
/// driver runs them.
///
/// A line whose command is a system-administration program (a name in the system's "/sbin" or
/// "/usr/sbin") is refused. A line whose command deletes, moves or changes files (rm, unlink, rmdir, mv,
/// cp, chmod, chown, chgrp) runs only when none of its paths is protected, and kill and killall only for
/// ordinary processes. On top of these rules no admitted line may act on a protected path in any way the
/// shell allows: every simple command of a compound line is screened, paths are standardized and
/// compared without regard to letter case, a command named by its full path counts by its name, commands
/// run through sudo, env, a shell's -c and the like are screened as what they run, and what cannot be
/// known before the line runs (a variable in a path, code for another interpreter) is refused.
class AnalyzeCommandManager {
public:
    /// How one line fared, and why a refused one was refused.
    struct Verdict {
        std::string line;
        bool admitted = false;
        std::string reason;
    };

    /// Appends the names "/bin/ls" lists in the system's "/sbin" and "/usr/sbin" (each piece of its
    /// output between line breaks, so "" too); a folder that gives no output adds nothing.
    void createBanCommandList();
    /// Appends rm, unlink, rmdir, mv, cp, chmod, chown, chgrp, kill and killall.
    void createLimitationCommandList();
    std::vector<std::string>& getMBanCommandArray() { return mBanCommandArray; }
    const std::vector<std::string>& getMBanCommandArray() const { return mBanCommandArray; }
    std::vector<std::string>& getMLimitationCommandArray() { return mLimitationCommandArray; }
    const std::vector<std::string>& getMLimitationCommandArray() const { return mLimitationCommandArray; }

    /// The admitted lines, in order; nullopt for absent lines.
    std::optional<std::vector<std::string>>
    checkCommandProcess(const std::optional<std::vector<std::string>>& lines,
                        const std::vector<std::string>& individualPaths,
                        const std::vector<std::string>& lowerLayerPaths) const;
    /// The lines whose command is not banned; nullopt for absent lines.
    std::optional<std::vector<std::string>>
    checkBanCommand(const std::optional<std::vector<std::string>>& lines) const;
    /// The lines the whole screening admits; nullopt for absent lines.
    std::optional<std::vector<std::string>>
    checkLimitationCommand(const std::optional<std::vector<std::string>>& lines,
                           const std::vector<std::string>& individualPaths,
                           const std::vector<std::string>& lowerLayerPaths) const;

    /// Every line with its verdict, in order; empty for absent lines.
    std::vector<Verdict> screen(const std::optional<std::vector<std::string>>& lines,
                                const std::vector<std::string>& individualPaths,
                                const std::vector<std::string>& lowerLayerPaths) const;
    Verdict screenLine(const std::string& line, const std::vector<std::string>& individualPaths,
                       const std::vector<std::string>& lowerLayerPaths) const;

    /// True when the name is on the limitation list.
    bool isLimitationCommand(const std::string& name) const;
    /// True when the name is on the ban list.
    bool isBanCommand(const std::string& name) const;
    /// True when the path equals an entry of a non-empty list (both standardized, letter case ignored).
    static bool isIndividualPath(const std::vector<std::string>& paths,
                                 const std::optional<std::string>& path);
    /// True when the path equals an entry or lies below one (standardized, letter case ignored).
    static bool isLowerLayerPath(const std::vector<std::string>& paths,
                                 const std::optional<std::string>& path);
    /// The words of a kill line, split at spaces and tabs: each must be "kill", an option beginning with
    /// "-", or a number above 99.
    static bool checkKillProcessID(const std::string& line);
    /// A killall line may name neither launchd nor loginwindow.
    static bool checkKillallProcess(const std::string& line);
    /// The text before the first space or tab; "" for an empty line or one that begins with either.
    static std::string getCommandString(const std::string& line);
    /// The path arguments as the line writes them: all quoted stretches joined into one string (first),
    /// then every word after the first that begins with "/" or "./". nullopt for an absent line.
    static std::optional<std::vector<std::string>> getSystemPath(const std::optional<std::string>& line);

private:
    std::vector<std::string> mBanCommandArray;
    std::vector<std::string> mLimitationCommandArray;
    CommonFunctions cmnFuncs;
};
