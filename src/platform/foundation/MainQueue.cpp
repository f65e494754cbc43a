#include "platform/foundation/MainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <mutex>

namespace {

// Work handed in from another thread races the application's destruction at exit: looking the
// application up and posting to it must not overlap its going away. Its destructor closes the gate
// first (a post routine runs before it stops being the instance); later work is dropped, as it
// would be once the application is gone.
std::mutex gate;
QCoreApplication* openApplication = nullptr;
QCoreApplication* closedApplication = nullptr;
QThread* mainThread = nullptr;

void closeGate() {
    std::lock_guard lock(gate);
    closedApplication = openApplication;
    openApplication = nullptr;
}

// The application that may still be handed work, or null. The gate is held.
QCoreApplication* liveApplication() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || app == closedApplication) return nullptr;
    if (app != openApplication) {
        openApplication = app;
        mainThread = app->thread();
        qAddPostRoutine(closeGate);
    }
    return app;
}

}  // namespace

namespace MainQueue {

void async(std::function<void()> work) {
    std::lock_guard lock(gate);
    QCoreApplication* app = liveApplication();
    if (!app) return;  // no event loop exists, or it is going away: nothing could ever run it
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void asyncAfter(int delayMs, std::function<void()> work) {
    // The timer must be started on the main thread, whose loop will fire it.
    async([delayMs, work = std::move(work)]() mutable {
        QTimer::singleShot(delayMs, QCoreApplication::instance(), std::move(work));
    });
}

bool isMainThread() {
    std::lock_guard lock(gate);
    if (!QCoreApplication::instance()) return false;
    liveApplication();  // learns the main thread the first time
    return mainThread && QThread::currentThread() == mainThread;
}

void runOrAsync(std::function<void()> work) {
    if (isMainThread()) work();
    else async(std::move(work));
}

}  // namespace MainQueue
