#include "platform/InterruptSignal.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

std::atomic<bool> gReceived{false};
// Written from the handler, so kept where no allocation is needed.
char gNotice[256];
size_t gNoticeLength = 0;

extern "C" void onSignal(int) {
    if (!gReceived.exchange(true) && gNoticeLength > 0) {
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, gNotice, gNoticeLength);
    }
}

} // namespace

void InterruptSignal::install(const std::string& notice) {
    gNoticeLength = std::min(notice.size(), sizeof gNotice);
    std::memcpy(gNotice, notice.data(), gNoticeLength);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool InterruptSignal::received() {
    return gReceived.load();
}
