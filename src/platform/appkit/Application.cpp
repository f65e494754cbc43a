#include "platform/appkit/Application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QThread>
#include <QWidget>

#include <cerrno>
#include <utility>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The self-pipe: the signal handler may only write a byte; the loop reads it and terminates.
int signalPipe[2] = {-1, -1};
struct sigaction previousTerm;
struct sigaction previousInt;

void onSignal(int signal) {
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

bool isRegularWindow(const QWidget* w) {
    if (!w->isWindow() || !w->isVisible()) return false;
    const Qt::WindowType type = w->windowType();
    return type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen &&
           type != Qt::Desktop;
}

}  // namespace

Application& Application::shared() {
    // Never destroyed: objects torn down after main() may still ask for it.
    static Application* instance = [] {
        auto* app = new Application;
        if (QCoreApplication* core = QCoreApplication::instance()) app->moveToThread(core->thread());
        return app;
    }();
    return *instance;
}

Application::Application() = default;

int Application::run(ApplicationDelegate* delegate) {
    if (running_) {
        qWarning("Application::run: already running");
        return -1;
    }
    if (delegate) delegate_ = delegate;
    if (terminated_) {
        // Terminated before the loop ever ran (during start-up): there is nothing to run.
        terminated_ = false;
        return 0;
    }
    if (!QCoreApplication::instance()) {
        qCritical("Application::run: no QApplication");
        return -1;
    }
    QGuiApplication::setQuitOnLastWindowClosed(false);
    installSignalHandlers();
    // Ending the desktop session is a request to quit like any other.
    const auto sessionConnection =
        connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { terminate(); });
    // Someone quitting the loop behind our back still lets the delegate say goodbye.
    const auto quitConnection = connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        // The loop has ended already: asking it to end again would end the next one at once.
        running_ = false;
        if (!terminated_) finishTermination();
    });

    finishedLaunching_ = false;
    awaitingReply_ = false;
    QMetaObject::invokeMethod(this, [this] { finishLaunching(); }, Qt::QueuedConnection);
    running_ = true;
    const int code = QCoreApplication::exec();
    running_ = false;

    disconnect(sessionConnection);
    disconnect(quitConnection);
    restoreSignalHandlers();
    if (!terminated_) finishTermination();
    // Ready for another run (tests run the loop more than once).
    terminated_ = false;
    awaitingReply_ = false;
    return code;
}

void Application::finishLaunching() {
    if (finishedLaunching_ || terminated_) return;
    finishedLaunching_ = true;
    if (delegate_) delegate_->applicationDidFinishLaunching();
    emit didFinishLaunching();
}

void Application::terminate(QObject*) {
    if (terminated_ || awaitingReply_ || askingDelegate_) return;
    TerminateReply reply = TerminateReply::now;
    if (delegate_) {
        askingDelegate_ = true;
        reply = delegate_->applicationShouldTerminate();
        askingDelegate_ = false;
    }
    switch (reply) {
    case TerminateReply::now: finishTermination(); break;
    case TerminateReply::cancel: break;
    case TerminateReply::later: awaitingReply_ = true; break;
    }
}

void Application::replyToApplicationShouldTerminate(bool shouldTerminate) {
    if (!awaitingReply_) {
        qWarning("Application: a reply to a termination request that nobody made is ignored");
        return;
    }
    awaitingReply_ = false;
    if (shouldTerminate) finishTermination();
}

void Application::resetTermination() {
    if (running_ || askingDelegate_) return;
    terminated_ = false;
    awaitingReply_ = false;
}

void Application::finishTermination() {
    if (terminated_) return;
    terminated_ = true;
    if (delegate_) delegate_->applicationWillTerminate();
    emit willTerminate();
    if (running_) QCoreApplication::exit(0);
}

bool Application::activate(bool ignoringOtherApps) {
    QWidget* window = QApplication::activeModalWidget();
    if (!window) window = QApplication::activeWindow();
    if (!window) {
        // No window has the focus: take the most recently raised visible one.
        const QWidgetList all = QApplication::topLevelWidgets();
        for (auto it = all.crbegin(); it != all.crend() && !window; ++it)
            if (isRegularWindow(*it)) window = *it;
    }
    if (!window) return false;
    if (window->isMinimized()) window->showNormal();
    window->raise();
    window->activateWindow();
    if (ignoringOtherApps) window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    return true;
}

void Application::registerAction(const QString& name, std::function<void(QObject*)> handler) {
    if (handler) actions_.insert(name, std::move(handler));
    else actions_.remove(name);
}

void Application::unregisterAction(const QString& name) { actions_.remove(name); }

bool Application::sendAction(const QString& name, QObject* sender) {
    const auto it = actions_.constFind(name);
    if (it == actions_.cend()) {
        qCritical("Application: nobody handles the action %s", qPrintable(name));
        if (unhandledActionObserver_) unhandledActionObserver_(name);
        return false;
    }
    // A copy: the handler may replace or remove itself.
    const std::function<void(QObject*)> handler = it.value();
    handler(sender);
    return true;
}

std::function<void(const QString&)> Application::setUnhandledActionObserver(
    std::function<void(const QString&)> observer) {
    return std::exchange(unhandledActionObserver_, std::move(observer));
}

void Application::installSignalHandlers() {
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("Application: no signal pipe; SIGTERM and SIGINT quit without asking");
        return;
    }
    if (!signalNotifier_) {
        signalNotifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
        connect(signalNotifier_, &QSocketNotifier::activated, this, [this] { readSignals(); });
    }
    signalNotifier_->setEnabled(true);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &previousTerm);
    sigaction(SIGINT, &action, &previousInt);
}

void Application::restoreSignalHandlers() {
    if (!signalNotifier_) return;
    sigaction(SIGTERM, &previousTerm, nullptr);
    sigaction(SIGINT, &previousInt, nullptr);
    signalNotifier_->setEnabled(false);
}

void Application::readSignals() {
    char buffer[32];
    bool any = false;
    while (::read(signalPipe[0], buffer, sizeof buffer) > 0) any = true;
    if (any) terminate();
}
