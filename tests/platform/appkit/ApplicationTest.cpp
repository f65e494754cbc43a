#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <deque>
#include <functional>
#include <vector>

#include "platform/appkit/Application.h"
#include "support/UnhandledActions.h"
#include "platform/foundation/MainQueue.h"
#include "support/TestEnvironment.h"

namespace {

// A delegate that answers termination requests from a script and counts every call.
struct ScriptedDelegate : ApplicationDelegate {
    std::deque<TerminateReply> answers;
    std::function<void()> onLaunch;
    int launched = 0, asked = 0, willTerminate = 0;

    void applicationDidFinishLaunching() override {
        ++launched;
        if (onLaunch) onLaunch();
    }
    TerminateReply applicationShouldTerminate() override {
        ++asked;
        if (answers.empty()) return TerminateReply::now;
        const TerminateReply reply = answers.front();
        answers.pop_front();
        return reply;
    }
    void applicationWillTerminate() override { ++willTerminate; }
};

// Runs the application for the delegate, ending it with code 99 if it does not end in time.
int runWithWatchdog(ScriptedDelegate& delegate) {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(5000);
    return Application::shared().run(&delegate);
}

enum class Step { terminate, replyYes, replyNo };

struct TerminateCase {
    const char* name;
    std::vector<TerminateReply> answers;
    std::vector<Step> steps;
    int expectedAsks;  // including the request that ends a loop still running after the steps
    int endsAfterStep;  // index of the step after which the loop has ended; -1: still running
};

class Termination : public ::testing::TestWithParam<TerminateCase> {};

TEST_P(Termination, FollowsTheDelegatesAnswers) {
    const TerminateCase& c = GetParam();
    ScriptedDelegate delegate;
    delegate.answers.assign(c.answers.begin(), c.answers.end());
    int endedAfter = -1;
    bool stillRunningAtEnd = false;
    delegate.onLaunch = [&] {
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            switch (c.steps[i]) {
            case Step::terminate: Application::shared().terminate(); break;
            case Step::replyYes: Application::shared().replyToApplicationShouldTerminate(true); break;
            case Step::replyNo: Application::shared().replyToApplicationShouldTerminate(false); break;
            }
            if (delegate.willTerminate > 0 && endedAfter < 0) endedAfter = int(i);
        }
        if (endedAfter < 0) {
            stillRunningAtEnd = true;
            // Lets the loop end: a waiting request is answered yes, else the delegate (with no
            // scripted answers left) says "now" to a new one.
            MainQueue::async([] {
                if (Application::shared().isAwaitingTerminateReply())
                    Application::shared().replyToApplicationShouldTerminate(true);
                else
                    Application::shared().terminate();
            });
        }
    };
    EXPECT_EQ(runWithWatchdog(delegate), 0);
    EXPECT_EQ(delegate.launched, 1);
    EXPECT_EQ(delegate.willTerminate, 1);
    EXPECT_EQ(endedAfter, c.endsAfterStep);
    EXPECT_EQ(stillRunningAtEnd, c.endsAfterStep < 0);
    EXPECT_EQ(delegate.asked, c.expectedAsks);
    EXPECT_FALSE(Application::shared().isRunning());
}

using R = TerminateReply;
INSTANTIATE_TEST_SUITE_P(
    Application, Termination,
    ::testing::Values(
        TerminateCase{"now", {R::now}, {Step::terminate}, 1, 0},
        TerminateCase{"cancel_keeps_running", {R::cancel}, {Step::terminate}, 2, -1},
        TerminateCase{"cancel_then_now", {R::cancel, R::now}, {Step::terminate, Step::terminate}, 2, 1},
        TerminateCase{"later_waits_for_reply", {R::later}, {Step::terminate}, 1, -1},
        TerminateCase{"later_answered_yes", {R::later}, {Step::terminate, Step::replyYes}, 1, 1},
        TerminateCase{"later_answered_no", {R::later}, {Step::terminate, Step::replyNo}, 2, -1},
        TerminateCase{"request_while_waiting_is_not_asked",
                      {R::later}, {Step::terminate, Step::terminate, Step::replyYes}, 1, 2},
        TerminateCase{"reply_nobody_asked_for_is_ignored",
                      {R::cancel}, {Step::replyYes, Step::terminate}, 2, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ApplicationTest, SignalsAskTheDelegateLikeAnyQuitRequest) {
    ScriptedDelegate delegate;
    delegate.answers = {TerminateReply::cancel, TerminateReply::now};
    delegate.onLaunch = [&] {
        ::raise(SIGTERM);
        // The first request was cancelled: the loop runs on until the next signal.
        QTimer::singleShot(50, [&] {
            EXPECT_EQ(delegate.asked, 1);
            EXPECT_EQ(delegate.willTerminate, 0);
            ::raise(SIGINT);
        });
    };
    EXPECT_EQ(runWithWatchdog(delegate), 0);
    EXPECT_EQ(delegate.asked, 2);
    EXPECT_EQ(delegate.willTerminate, 1);
}

TEST(ApplicationTest, QuittingTheLoopDirectlyStillTellsTheDelegate) {
    ScriptedDelegate delegate;
    int signalled = 0;
    const auto connection = QObject::connect(&Application::shared(), &Application::willTerminate,
                                             [&] { ++signalled; });
    delegate.onLaunch = [] { QCoreApplication::exit(0); };
    EXPECT_EQ(runWithWatchdog(delegate), 0);
    QObject::disconnect(connection);
    EXPECT_EQ(delegate.asked, 0);
    EXPECT_EQ(delegate.willTerminate, 1);
    EXPECT_EQ(signalled, 1);
    // Saying goodbye must not end the next event loop (a modal dialog's) before it starts.
    QEventLoop next;
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer::singleShot(30, &next, &QEventLoop::quit);
    next.exec();
    EXPECT_GE(elapsed.elapsed(), 25);
}

TEST(ApplicationTest, ActionsReachTheirHandlersWithTheSender) {
    Application& app = Application::shared();
    UnhandledActions unhandled;
    QObject sender;
    QObject* received = nullptr;
    int calls = 0;
    app.registerAction("resetUserSession:", [&](QObject* s) {
        received = s;
        ++calls;
    });
    EXPECT_TRUE(app.respondsToAction("resetUserSession:"));
    EXPECT_TRUE(app.sendAction("resetUserSession:", &sender));
    EXPECT_EQ(received, &sender);
    EXPECT_FALSE(app.sendAction("resetUserSession", &sender)) << "names match exactly";
    EXPECT_FALSE(app.sendAction("unknownAction:", &sender));
    EXPECT_EQ(calls, 1);

    // A handler may remove itself while it runs.
    app.registerAction("once:", [&](QObject*) {
        ++calls;
        Application::shared().unregisterAction("once:");
    });
    EXPECT_TRUE(app.sendAction("once:"));
    EXPECT_FALSE(app.sendAction("once:"));
    EXPECT_EQ(calls, 2);

    app.registerAction("resetUserSession:", nullptr);
    EXPECT_FALSE(app.sendAction("resetUserSession:", &sender));
    // Each that went nowhere is reported, so a button wired to a missing handler cannot go unseen.
    EXPECT_EQ(unhandled.names, (QStringList{"resetUserSession", "unknownAction:", "once:", "resetUserSession:"}));
}

TEST(ApplicationTest, ActivateRaisesAWindowWhenThereIsOne) {
    EXPECT_FALSE(Application::shared().activate(true));
    QWidget window;
    window.show();
    EXPECT_TRUE(Application::shared().activate(true));
    window.hide();
    EXPECT_FALSE(Application::shared().activate(false));
}

}  // namespace
