#pragma once

#include <cstddef>
#include "catalogue/RowTicks.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class Localization;

/// The numbered messages the program shows the user, with their texts from the strings tables.
///
/// Codes: 1000 nothing found, 1001 confirm the uninstall, 1002 uninstall finished, 1003 uninstall
/// cancelled, 1004 the folder is not a macOS system, 3000 an application would not quit, 5000 the
/// uninstall failed.
struct AlertMessage {
    /// The three kinds of alert: information and questions, the warning and the error.
    enum class Kind { Informational, Critical, Plain };

    /// One button, in the order it is shown (the first is the default); `result` is what pressing it
    /// answers: 1 for the first, 0 for the second, -1 for a third.
    struct Button {
        std::string caption;
        int result = 0;
    };

    int32_t code = 0;
    Kind kind = Kind::Informational;
    std::string title;
    std::string message;
    std::vector<Button> buttons;
    /// What the alert is about, one entry per line before the message: the software the confirmation
    /// removes.
    std::vector<std::string> items;

    /// The alert of a code, its texts looked up in `texts` (a missing key shows the key); the messages
    /// of 1000, 1002, 1003 and 1004 get "Uninstaller" in place of "%@". nullopt for any other code.
    static std::optional<AlertMessage> forCode(int32_t code, const Localization& texts);

    /// The sentence of the failure alert that counts what stayed ("2 / 214") and says why the software
    /// is still listed.
    static std::string failureCount(const Localization& texts, size_t failed, size_t total);
    /// Alert 1001 naming every software the uninstall removes (see removalItems).
    static AlertMessage confirmation(const std::vector<std::string>& items, const Localization& texts);

    /// The names of the rows an uninstall takes, in row order, as the user is asked about them: a row
    /// that goes only because another row forces it is marked ("Alert.Info.Item.Forced": "PC-FAX Driver
    /// (forced)"). In a right-to-left language names are isolated and each entry runs right to left.
    static std::vector<std::string> removalItems(const std::vector<DisplayRecord>& rows,
                                                 const std::vector<RowTicks::Taken>& taken,
                                                 const Localization& texts);
};
