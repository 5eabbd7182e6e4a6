#include "cli/TerminalProgress.h"

#include "platform/InterruptSignal.h"
#include "platform/Localization.h"

#include <ostream>

void TerminalProgress::setProgressState(ProgressState state,
                                        const std::optional<std::string>& applicationName) {
    const char* key = nullptr;
    switch (state) {
    case ProgressState::StopApplication:
        key = "SheetDialog.Message.StopApplication";
        break;
    case ProgressState::Uninstall:
        key = "SheetDialog.Message.Uninstall";
        break;
    case ProgressState::UninstallCancel:
        key = "SheetDialog.Message.UninstallCancel";
        break;
    default:
        return;
    }
    std::string message = mTexts.localizedString(key);
    if (state == ProgressState::Uninstall) {
        message = Localization::formatWithArgument(message, applicationName.value_or(""));
    }
    mOut << message << std::endl;
}

bool TerminalProgress::getIsCancel() const {
    return InterruptSignal::received();
}
