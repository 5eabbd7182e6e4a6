#pragma once

#include <functional>

class QObject;

/// Carries work from a worker thread to the thread of a Qt object (the main thread for widgets).
namespace mainthread {

/// Runs `work` on the thread of `context` and returns once it has run: at once when called on that
/// thread, else through a queued call that the caller waits for while the main thread runs it.
void runAndWait(QObject* context, const std::function<void()>& work);

} // namespace mainthread
