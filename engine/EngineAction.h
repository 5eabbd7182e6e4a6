#pragma once

#include <string>

/// One thing an uninstall did, or decided not to do, as the audit log and the reports show it.
struct EngineAction {
    enum class Outcome {
        Deleted,
        Skipped,        // left alone; `detail` says why (missing, not readable, not empty, unsafe link, …)
        Edited,         // a property list rewritten; `detail` names the key
        Forgotten,      // a receipt forgotten
        Run,            // a command or script line ran
        Refused,        // a script line the screening refused; `detail` says why
        SkippedOffline, // a step that would act on the machine the program runs on, not taken
        Failed,         // tried and failed; `detail` says how
    };

    Outcome outcome = Outcome::Skipped;
    /// What kind of step: "file", "folder", "link", "pre-uninstall", "post-uninstall", "killall", "su",
    /// "launchctl", "shell", "chown", "quit applications", "restart Dock", "Dock", "login items",
    /// "launch agent", "information file", "receipt", "receipt bundle".
    std::string step;
    /// What it acted on: a path, a script line, a label, a receipt identifier, a command's arguments.
    std::string target;
    std::string detail;

    /// The outcome as the log writes it ("deleted", "skipped offline", …).
    static const char* outcomeName(Outcome outcome);

    /// The action as one line of text in the log's words: outcome, step, target and, in parentheses,
    /// the detail ("deleted file /Applications/TORVA Scan Utility.app/Contents/Info.plist").
    std::string text() const;

    bool operator==(const EngineAction&) const = default;
};
