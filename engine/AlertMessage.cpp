#include "engine/AlertMessage.h"

#include "platform/Localization.h"

namespace {

constexpr const char* kApplicationName = "Uninstaller";

struct AlertKeys {
    int32_t code;
    AlertMessage::Kind kind;
    const char* title;
    const char* message;
    bool formatsName;
    std::vector<const char*> buttons;
};

const std::vector<AlertKeys>& alertTable() {
    using Kind = AlertMessage::Kind;
    // One alert per row reads as the table it is.
    // clang-format off
    static const std::vector<AlertKeys> table = {
        {1000, Kind::Informational, "Alert.Info.Title.1000", "Alert.Info.Message.1000", true,
         {"Alert.Button.Quit.Caption"}},
        {1001, Kind::Informational, "Alert.Info.Title.1001", "Alert.Info.Message.1001", false,
         {"Alert.Button.Continue.Caption", "Alert.Button.Cancel.Caption"}},
        {1002, Kind::Informational, "Alert.Info.Title.1002", "Alert.Info.Message.1002", true,
         {"Alert.Button.Quit.Caption"}},
        {1003, Kind::Informational, "Alert.Info.Title.1003", "Alert.Info.Message.1003", true,
         {"Alert.Button.Quit.Caption"}},
        {1004, Kind::Informational, "Alert.Info.Title.1004", "Alert.Info.Message.1004", true,
         {"Alert.Button.Quit.Caption"}},
        {3000, Kind::Critical, "Alert.Warning.Title.3000", "Alert.Warning.Message.3000", false,
         {"Alert.Button.OK.Caption"}},
        {5000, Kind::Plain, "Alert.Error.Title.5000", "Alert.Error.Message.5000", false,
         {"Alert.Button.OK.Caption"}},
    };
    // clang-format on
    return table;
}

} // namespace

std::optional<AlertMessage> AlertMessage::forCode(int32_t code, const Localization& texts) {
    for (const AlertKeys& keys : alertTable()) {
        if (keys.code != code) {
            continue;
        }
        AlertMessage alert;
        alert.code = code;
        alert.kind = keys.kind;
        alert.title = texts.localizedString(keys.title);
        alert.message = texts.localizedString(keys.message);
        if (keys.formatsName) {
            alert.message = texts.format(keys.message, kApplicationName);
        }
        // The default button answers 1, the alternate 0, a third one -1.
        static constexpr int kResults[] = {1, 0, -1};
        for (size_t i = 0; i < keys.buttons.size() && i < 3; ++i) {
            alert.buttons.push_back({texts.localizedString(keys.buttons[i]), kResults[i]});
        }
        return alert;
    }
    return std::nullopt;
}

std::string AlertMessage::failureCount(const Localization& texts, size_t failed, size_t total) {
    return Localization::formatWithArgument(texts.localizedString("Alert.Error.Count.5000"),
                                            std::to_string(failed) + " / " + std::to_string(total));
}

AlertMessage AlertMessage::confirmation(const std::vector<std::string>& items, const Localization& texts) {
    AlertMessage alert = *forCode(1001, texts);
    alert.items = items;
    return alert;
}

std::vector<std::string> AlertMessage::removalItems(const std::vector<DisplayRecord>& rows,
                                                    const std::vector<RowTicks::Taken>& taken,
                                                    const Localization& texts) {
    std::vector<std::string> items;
    for (const RowTicks::Taken& entry : taken) {
        if (entry.row >= rows.size()) {
            continue;
        }
        const std::string& name = rows[entry.row].applicationName;
        items.push_back(
            texts.line(entry.ticked ? texts.isolated(name) : texts.format("Alert.Info.Item.Forced", name)));
    }
    return items;
}
