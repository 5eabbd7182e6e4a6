#include "ui/MainThread.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <condition_variable>
#include <mutex>

namespace mainthread {

void runAndWait(QObject* context, const std::function<void()>& work) {
    if (QThread::currentThread() == context->thread()) {
        work();
        return;
    }
    // The hand-over goes through a mutex of our own, not only Qt's queue, so that what the worker wrote
    // before the call is visibly ordered before the work, and the work before the worker goes on (also
    // to ThreadSanitizer, which cannot see inside Qt).
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::unique_lock lock(mutex);
    QMetaObject::invokeMethod(
        context,
        [&] {
            { std::lock_guard handedOver(mutex); }
            work();
            // Notified under the lock: the caller may destroy the condition as soon as it sees the flag.
            std::lock_guard handingBack(mutex);
            finished = true;
            done.notify_one();
        },
        Qt::QueuedConnection);
    done.wait(lock, [&] { return finished; });
}

} // namespace mainthread
