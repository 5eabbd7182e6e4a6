#include "engine/AnalyzeCommandManager.h"

#include "platform/CTaskController.h"
#include "platform/Path.h"
#include "platform/SystemRoot.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<const char*, 10> kLimitationCommands = {"rm",    "unlink", "rmdir", "mv",   "cp",
                                                             "chmod", "chown",  "chgrp", "kill", "killall"};

} // namespace

void AnalyzeCommandManager::createBanCommandList() {
    for (const char* folder : {"/sbin", "/usr/sbin"}) {
        std::string output;
        // ls of a folder that is not there prints nothing, which is one empty piece.
        const std::optional<std::string> hostFolder = SystemRoot::hostPath(folder);
        if (hostFolder &&
            !CTaskController::initTaskController().exeCommandLine("/bin/ls", {*hostFolder}, &output)) {
            continue;
        }
        size_t start = 0;
        for (;;) {
            const size_t end = output.find('\n', start);
            mBanCommandArray.push_back(output.substr(start, end == std::string::npos ? end : end - start));
            if (end == std::string::npos) {
                break;
            }
            start = end + 1;
        }
    }
}

void AnalyzeCommandManager::createLimitationCommandList() {
    mLimitationCommandArray.insert(mLimitationCommandArray.end(), kLimitationCommands.begin(),
                                   kLimitationCommands.end());
}

bool AnalyzeCommandManager::isIndividualPath(const std::vector<std::string>& paths,
                                             const std::optional<std::string>& path) {
    if (paths.empty() || !path) {
        return false;
    }
    const std::string wanted = path::comparisonKey(*path);
    return std::any_of(paths.begin(), paths.end(),
                       [&](const std::string& entry) { return path::comparisonKey(entry) == wanted; });
}

bool AnalyzeCommandManager::isLowerLayerPath(const std::vector<std::string>& paths,
                                             const std::optional<std::string>& path) {
    if (paths.empty() || !path) {
        return false;
    }
    const std::string wanted = path::comparisonKey(*path);
    return std::any_of(paths.begin(), paths.end(), [&](const std::string& entry) {
        return path::isInFolder(wanted, path::comparisonKey(entry));
    });
}

AnalyzeCommandManager::Verdict
AnalyzeCommandManager::screenLine(const std::string& line, const std::vector<std::string>& individualPaths,
                                  const std::vector<std::string>& lowerLayerPaths) const {
    CommandScreener::Line screened = screener(individualPaths, lowerLayerPaths).screen(line);
    if (screened.refusal) {
        return {line, false, *screened.refusal, {}};
    }
    return {line, true, "", std::move(screened.commands)};
}

std::vector<AnalyzeCommandManager::Verdict>
AnalyzeCommandManager::screen(const std::optional<std::vector<std::string>>& lines,
                              const std::vector<std::string>& individualPaths,
                              const std::vector<std::string>& lowerLayerPaths) const {
    std::vector<Verdict> verdicts;
    for (const std::string& line : lines.value_or(std::vector<std::string>())) {
        verdicts.push_back(screenLine(line, individualPaths, lowerLayerPaths));
    }
    return verdicts;
}

std::optional<std::vector<std::string>>
AnalyzeCommandManager::checkCommandProcess(const std::optional<std::vector<std::string>>& lines,
                                           const std::vector<std::string>& individualPaths,
                                           const std::vector<std::string>& lowerLayerPaths) const {
    if (!lines) {
        return std::nullopt;
    }
    std::vector<std::string> admitted;
    for (const Verdict& verdict : screen(lines, individualPaths, lowerLayerPaths)) {
        if (verdict.admitted) {
            admitted.push_back(verdict.line);
        }
    }
    return admitted;
}
