#pragma once

#include <cstdint>
#include <memory>

class Localization;
class QMessageBox;
class QWidget;
struct AlertMessage;

/// The numbered alerts as application-modal message boxes.
class AlertPanelManager {
public:
    /// Shows alert `code` over `parent` and waits for the user: 1 for the first (default) button, 0 for
    /// the second, -1 for a third. An unknown code shows nothing and gives 0; a box closed without a
    /// button gives the result of its Cancel button, or 0 when it has none.
    /// `more`, when not empty, is a paragraph added to the alert's message.
    static int showAlertPanel(int32_t code, const Localization& texts, QWidget* parent,
                              const std::string& more = {});
    /// The same for an alert already made (the confirmation with the software it removes).
    static int showAlertPanel(const AlertMessage& alert, QWidget* parent);

    /// The message box of an alert, not shown yet: its title, its items one per line above its message,
    /// the icon of its kind and its buttons in order, the first the default. Each button carries its
    /// result (see buttonResult).
    static std::unique_ptr<QMessageBox> makeMessageBox(const AlertMessage& alert, QWidget* parent);

    /// The result a button of a box made by makeMessageBox answers; 0 for none.
    static int buttonResult(const QMessageBox& box);
};
