#include "ui/MainThread.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace mainthread {

void runAndWait(QObject* context, const std::function<void()>& work) {
    if (QThread::currentThread() == context->thread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(context, work, Qt::BlockingQueuedConnection);
}

} // namespace mainthread
