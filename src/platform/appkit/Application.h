#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

#include "platform/appkit/ApplicationDelegate.h"

class QSocketNotifier;

// The process's application object over QApplication: runs the event loop for a delegate, asks
// the delegate before quitting, and dispatches named actions from menus and controls.
//
// Quitting always goes through terminate(): the Quit command, SIGTERM and SIGINT, and the end of
// the desktop session alike. Main thread only.
class Application : public QObject {
    Q_OBJECT

public:
    // The one instance; a QApplication must exist before run() is called.
    static Application& shared();

    ApplicationDelegate* delegate() const { return delegate_; }
    void setDelegate(ApplicationDelegate* delegate) { delegate_ = delegate; }

    // Makes `delegate` the delegate (when given), enters the event loop and answers its exit
    // code once the application terminated. The delegate hears applicationDidFinishLaunching as
    // soon as the loop runs. Closing the last window does not quit.
    int run(ApplicationDelegate* delegate = nullptr);
    bool isRunning() const { return running_; }
    bool isFinishedLaunching() const { return finishedLaunching_; }

    // Asks the delegate whether to quit. "now" tells it applicationWillTerminate and ends the
    // loop; "cancel" does nothing; "later" waits for replyToApplicationShouldTerminate. A request
    // made while an earlier one awaits its reply is ignored.
    void terminate(QObject* sender = nullptr);
    // The delegate's late answer; ignored (with a warning) when nothing is waiting for one.
    void replyToApplicationShouldTerminate(bool shouldTerminate);
    bool isAwaitingTerminateReply() const { return awaitingReply_; }
    bool isTerminated() const { return terminated_; }
    // Forgets a termination, or a pending request, that no loop has consumed, so that the next
    // request asks the delegate again. Tests terminate without running the loop and share this
    // object; run() does the same for itself when its loop ends. Ignored while the loop runs.
    void resetTermination();

    // Brings the application's window to the front: the modal dialog, else the active window,
    // else the window shown last. Answers whether there was one.
    bool activate(bool ignoringOtherApps);

    // Named actions ("resetUserSession:") sent by menu items and controls to whoever handles
    // them. Registering a name again replaces its handler.
    void registerAction(const QString& name, std::function<void(QObject* sender)> handler);
    void unregisterAction(const QString& name);
    bool respondsToAction(const QString& name) const { return actions_.contains(name); }
    // Runs the handler registered for `name`; answers whether there was one. A name nobody
    // handles is logged as an error and handed to the unhandled-action observer.
    bool sendAction(const QString& name, QObject* sender = nullptr);
    // Tests fail on an action that goes nowhere; answers the observer it replaces.
    std::function<void(const QString& name)> setUnhandledActionObserver(std::function<void(const QString& name)> observer);

signals:
    void didFinishLaunching();
    void willTerminate();

private:
    Application();
    void finishLaunching();
    void finishTermination();
    void installSignalHandlers();
    void restoreSignalHandlers();
    void readSignals();

    ApplicationDelegate* delegate_ = nullptr;
    bool running_ = false;
    bool finishedLaunching_ = false;
    bool askingDelegate_ = false;
    bool awaitingReply_ = false;
    bool terminated_ = false;
    QSocketNotifier* signalNotifier_ = nullptr;
    QHash<QString, std::function<void(QObject*)>> actions_;
    std::function<void(const QString&)> unhandledActionObserver_;
};
