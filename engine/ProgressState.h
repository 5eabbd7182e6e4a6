#pragma once

/// What the progress sheet tells the user; the values are the ones the sheet has always used.
enum class ProgressState : int {
    Other = 0,           // any state without a message of its own: the message is cleared, Cancel disabled
    Search = 1,          // "SheetDialog.Message.Search", Cancel disabled
    Store = 2,           // "SheetDialog.Message.Store", Cancel disabled
    StopApplication = 3, // "SheetDialog.Message.StopApplication", Cancel disabled
    Uninstall = 4,       // "SheetDialog.Message.Uninstall" with the software's name, Cancel enabled
    UninstallCancel = 5, // "SheetDialog.Message.UninstallCancel", Cancel disabled
    Clear = 11,          // the message is cleared, Cancel left as it is
};
