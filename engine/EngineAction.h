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
        Refused,        // a script line the screening refused, or a software whose remove paths ask for
                        // what no uninstall may touch; `detail` says why
        SkippedOffline, // a step that would act on the machine the program runs on, not taken
        Failed,         // tried and failed; `detail` says how
        AlreadyGone,    // what was to be removed was not there any more: the step's goal is reached
        NothingToDo,    // the step had nothing to work on (no user accounts to search)
        Restored,       // an item put back from a backup
    };

    Outcome outcome = Outcome::Skipped;
    /// What kind of step: "file", "folder", "link", "pre-uninstall", "post-uninstall", "killall", "su",
    /// "launchctl", "chown", "quit applications", "restart Dock", "Dock", "login items",
    /// "launch agent", "information file", "receipt", "receipt bundle", "software" (a refused one),
    /// "protected" (an item its lists named that stays), "backup" (the archive of a backup).
    std::string step;
    /// What it acted on: a path, a script line or one of its commands, a label, a receipt identifier, a
    /// command's arguments.
    std::string target;
    std::string detail;
    /// The software whose uninstall took the step ("" for steps of the whole run); the report sets it.
    std::string software;

    /// The outcome as the log writes it ("deleted", "skipped offline", …).
    static const char* outcomeName(Outcome outcome);

    /// The action as one line of text in the log's words: outcome, step, target and, in parentheses,
    /// the detail ("deleted file /Applications/TORVA Scan Utility.app/Contents/Info.plist").
    std::string text() const;

    bool operator==(const EngineAction&) const = default;
};
