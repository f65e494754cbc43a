#include "platform/foundation/MainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace MainQueue {

void async(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;  // no event loop exists: nothing could ever run it
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void asyncAfter(int delayMs, std::function<void()> work) {
    // The timer must be started on the main thread, whose loop will fire it.
    async([delayMs, work = std::move(work)]() mutable {
        QTimer::singleShot(delayMs, QCoreApplication::instance(), std::move(work));
    });
}

bool isMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void runOrAsync(std::function<void()> work) {
    if (isMainThread()) work();
    else async(std::move(work));
}

}  // namespace MainQueue
