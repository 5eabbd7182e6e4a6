#include "cli/TerminalProgress.h"

#include "platform/InterruptSignal.h"
#include "platform/Localization.h"

#include <ostream>

void TerminalProgress::setProgressState(ProgressState state,
                                        const std::optional<std::string>& applicationName) {
    switch (state) {
    case ProgressState::StopApplication:
        print(mTexts.localizedString("SheetDialog.Message.StopApplication"));
        break;
    case ProgressState::Uninstall:
        print(mTexts.format("SheetDialog.Message.Uninstall", applicationName.value_or("")));
        break;
    case ProgressState::UninstallCancel:
        print(mTexts.localizedString("SheetDialog.Message.UninstallCancel"));
        break;
    default:
        break;
    }
}

void TerminalProgress::setProgressSoftware(const std::string& name, size_t number, size_t count) {
    print(mTexts.format("SheetDialog.Message.UninstallStep",
                        {name, std::to_string(number), std::to_string(count)}));
}

bool TerminalProgress::getIsCancel() const {
    return InterruptSignal::received();
}

void TerminalProgress::print(const std::string& line) {
    if (mLines == Lines::Print) {
        mOut << line << std::endl;
    }
}
