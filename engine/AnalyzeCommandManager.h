#pragma once

#include "common/CommonFunctions.h"
#include "engine/CommandScreener.h"

#include <optional>
#include <string>
#include <vector>

/// Screens the shell lines of an uninstall information file ("PreUnInstall", "PostUnInstall") before the
/// driver runs them, and says how an admitted line runs.
///
/// A line is read once into simple commands (ScriptLine) and each is screened (CommandScreener): a
/// system-administration program (a name in the system's "/sbin" or "/usr/sbin") is refused; only the
/// commands the uninstaller understands run, never on a protected path, and kill and killall only for
/// ordinary processes. An admitted line is then run command by command with exactly the screened words,
/// never through a shell.
class AnalyzeCommandManager {
public:
    /// How one line fared: why a refused one was refused, the commands of an admitted one.
    struct Verdict {
        std::string line;
        bool admitted = false;
        std::string reason;
        std::vector<CommandScreener::Command> commands;
    };

    /// Appends the names "/bin/ls" lists in the system's "/sbin" and "/usr/sbin" (each piece of its
    /// output between line breaks, so "" too); a folder that gives no output adds nothing.
    void createBanCommandList();
    /// Appends rm, unlink, rmdir, mv, cp, chmod, chown, chgrp, kill and killall.
    void createLimitationCommandList();
    std::vector<std::string>& getMBanCommandArray() { return mBanCommandArray; }
    const std::vector<std::string>& getMBanCommandArray() const { return mBanCommandArray; }
    const std::vector<std::string>& getMLimitationCommandArray() const { return mLimitationCommandArray; }

    /// The admitted lines, in order; nullopt for absent lines.
    std::optional<std::vector<std::string>>
    checkCommandProcess(const std::optional<std::vector<std::string>>& lines,
                        const std::vector<std::string>& individualPaths,
                        const std::vector<std::string>& lowerLayerPaths) const;

    /// Every line with its verdict, in order; empty for absent lines.
    std::vector<Verdict> screen(const std::optional<std::vector<std::string>>& lines,
                                const std::vector<std::string>& individualPaths,
                                const std::vector<std::string>& lowerLayerPaths) const;
    Verdict screenLine(const std::string& line, const std::vector<std::string>& individualPaths,
                       const std::vector<std::string>& lowerLayerPaths) const;

    /// The screener of this ban list and these protected paths (all must outlive it), which also
    /// screens an admitted command once more right before it runs.
    CommandScreener screener(const std::vector<std::string>& individualPaths,
                             const std::vector<std::string>& lowerLayerPaths) const {
        return CommandScreener(mBanCommandArray, individualPaths, lowerLayerPaths);
    }

    /// True when the path equals an entry of a non-empty list (both standardized, letter case ignored).
    static bool isIndividualPath(const std::vector<std::string>& paths,
                                 const std::optional<std::string>& path);
    /// True when the path equals an entry or lies below one (standardized, letter case ignored).
    static bool isLowerLayerPath(const std::vector<std::string>& paths,
                                 const std::optional<std::string>& path);

private:
    std::vector<std::string> mBanCommandArray;
    std::vector<std::string> mLimitationCommandArray;
    CommonFunctions cmnFuncs;
};
