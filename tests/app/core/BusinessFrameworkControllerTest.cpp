#include <gtest/gtest.h>

#include <QThread>

#include <deque>

#include "app/core/BusinessFrameworkController.h"
#include "app/core/UserController.h"
#include "frameworks/logger/Logger.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/foundation/WorkItem.h"
#include "support/FakeBusinessUser.h"
#include "support/TestBusinessFacade.h"
#include "support/TestEnvironment.h"

namespace {

// Holds scheduled retries so a test fires them when it likes: the clock is the test's.
struct ManualScheduler {
    std::vector<std::pair<int, std::shared_ptr<WorkItem>>> items;
    BusinessFrameworkController::Scheduler scheduler() {
        return [this](int delay, std::shared_ptr<WorkItem> item) { items.emplace_back(delay, std::move(item)); };
    }
    // Fires the last scheduled item; false when there is none.
    bool fireLast() {
        if (items.empty()) return false;
        auto item = items.back().second;
        item->perform();
        return true;
    }
};

class BusinessFrameworkControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Alert::clearShownAlerts();
        Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
        Application::shared().registerAction(QStringLiteral("resetUserSession:"),
                                             [this](QObject*) { ++resetUserSessionCalls; });
    }
    void TearDown() override {
        Alert::setResponder(nullptr);
        Application::shared().unregisterAction(QStringLiteral("resetUserSession:"));
    }

    // Answers the connects from the queue of results, holding any connect the queue has no answer for.
    void script(std::deque<VoidResult> results) {
        pending_ = std::move(results);
        env.facade().onConnect = [this](std::function<void(VoidResult)> completion) {
            if (pending_.empty()) {
                held.push_back(std::move(completion));
                return;
            }
            VoidResult r = pending_.front();
            pending_.pop_front();
            completion(r);
        };
    }

    std::unique_ptr<BusinessFrameworkController> make() {
        BusinessFrameworkControllerConnectClient client;
        client.signedInStateSettled = [this](bool isLoggedIn) { signedInStates.push_back(isLoggedIn); };
        return std::make_unique<BusinessFrameworkController>(user, std::move(client), nullptr, scheduler.scheduler());
    }

    ScopedTestBusinessFacade env{QStringLiteral("connect")};
    UserController user;
    ManualScheduler scheduler;
    std::vector<std::function<void(VoidResult)>> held;
    int resetUserSessionCalls = 0;
    // What the controller told its client after each answer.
    std::vector<bool> signedInStates;

private:
    std::deque<VoidResult> pending_;
};

const BusinessError kSetupFailure = BusinessError::make(BusinessError::Kind::setup, QStringLiteral("boom"));

TEST_F(BusinessFrameworkControllerTest, ConnectsAtCreationAndRefusesASecondConnectWhileOneRuns) {
    script({});  // every connect is held
    auto controller = make();
    EXPECT_EQ(env.facade().connectCalls, 1);  // the connectivity manager told it the network is up
    EXPECT_TRUE(controller->isConnecting());

    std::optional<AppError> refused;
    bool called = false;
    controller->connect(0, [&](std::optional<AppError> e) {
        called = true;
        refused = e;
    });
    ASSERT_TRUE(called);
    ASSERT_TRUE(refused);
    ASSERT_TRUE(refused->businessError());
    EXPECT_EQ(refused->businessError()->message, QStringLiteral("Connect already happening"));
    EXPECT_EQ(env.facade().connectCalls, 1);

    held.front()(Success{});  // the first goes on undisturbed
    EXPECT_FALSE(controller->isConnecting());
    EXPECT_TRUE(user.isAvailable());
}

struct RetryCase {
    const char* name;
    BusinessError error;
    bool userKnown;
    int expectedAttempts;
    int expectedAlerts;
};

class RetryMachine : public BusinessFrameworkControllerTest, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(RetryMachine, RetriesTenSecondsApartAtMostFiveTimes) {
    const RetryCase& c = GetParam();
    if (c.userKnown) env.facade().user = std::make_shared<FakeBusinessUser>(QStringLiteral("acc-1"), QStringLiteral("ada"));
    script({});
    auto controller = make();
    held.clear();  // the connect at creation is not this test's
    // Let the creation's connect end as a success so the machine is idle.
    env.facade().onConnect = [this](std::function<void(VoidResult)> completion) { held.push_back(std::move(completion)); };
    controller = make();
    held.front()(Success{});
    held.clear();
    scheduler.items.clear();

    std::vector<std::optional<AppError>> answers;
    env.facade().onConnect = [&](std::function<void(VoidResult)> completion) { completion(c.error); };
    const int before = env.facade().connectCalls;
    controller->connect(0, [&](std::optional<AppError> e) { answers.push_back(e); });
    while (answers.empty() && scheduler.fireLast()) {
        EXPECT_EQ(scheduler.items.back().first, 10000);
    }
    EXPECT_EQ(env.facade().connectCalls - before, c.expectedAttempts);
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_TRUE(answers.front());
    EXPECT_EQ(answers.front()->businessError()->kind, c.error.kind);
    EXPECT_EQ(Alert::shownCount(), c.expectedAlerts);
    EXPECT_FALSE(controller->isConnecting());
}

INSTANTIATE_TEST_SUITE_P(
    Core, RetryMachine,
    ::testing::Values(
        RetryCase{"failureWithoutUserIsPresentedOnce", kSetupFailure, false, 6, 1},
        RetryCase{"failureWithUserIsNotPresented", kSetupFailure, true, 6, 0},
        RetryCase{"timeoutIsNeverPresented", BusinessError::make(BusinessError::Kind::timeout), false, 6, 0},
        RetryCase{"noConnectionIsNotRetried", BusinessError::make(BusinessError::Kind::noConnection), false, 1, 0},
        RetryCase{"keychainUnavailableIsToldAndNotRetried", BusinessError::make(BusinessError::Kind::keychainUnavailable),
                  false, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BusinessFrameworkControllerTest, NoConnectionIsLoggedAndNotRetried) {
    script({Success{}, BusinessError::make(BusinessError::Kind::noConnection)});
    auto controller = make();
    std::vector<QString> lines;
    const auto sink = Logger::addSink([&](const LogEntry& e) {
        if (e.channel == QStringLiteral("Setup")) lines.push_back(e.message);
    });
    controller->connect();
    Logger::removeSink(sink);
    EXPECT_TRUE(scheduler.items.empty());
    EXPECT_NE(std::find(lines.begin(), lines.end(), QStringLiteral("Connecting received no connection error")),
              lines.end());
}

// Each reconnect (the network came back) finds the keyring as it was: the user hears it once, and
// the stored session is never reset over it.
TEST_F(BusinessFrameworkControllerTest, AnUnavailableKeyringIsToldOnceAndNeverResetsTheSession) {
    const BusinessError unavailable = BusinessError::make(BusinessError::Kind::keychainUnavailable);
    script({unavailable, unavailable, unavailable});
    auto controller = make();
    controller->connect();
    controller->connect();
    EXPECT_EQ(Alert::shownCount(), 1);
    EXPECT_EQ(resetUserSessionCalls, 0);
    EXPECT_TRUE(scheduler.items.empty());
    EXPECT_EQ(signedInStates, (std::vector<bool>{false, false, false}));
}

TEST_F(BusinessFrameworkControllerTest, NewConnectCancelsAPendingRetry) {
    script({Success{}, kSetupFailure, Success{}});
    auto controller = make();
    controller->connect();
    ASSERT_EQ(scheduler.items.size(), 1u);
    EXPECT_TRUE(controller->hasPendingRetry());
    const int calls = env.facade().connectCalls;

    controller->connect();  // from outside: the retry is called off
    EXPECT_EQ(env.facade().connectCalls, calls + 1);
    EXPECT_TRUE(scheduler.items.front().second->isCancelled());
    scheduler.fireLast();
    EXPECT_EQ(env.facade().connectCalls, calls + 1);
}

struct SessionCase {
    const char* name;
    BusinessError error;
    bool userKnown;
    bool expectSuccess;
    int expectResets;
};

class SessionInvalid : public BusinessFrameworkControllerTest, public ::testing::WithParamInterface<SessionCase> {};

TEST_P(SessionInvalid, KeepsAKnownUserAndResetsOtherwise) {
    const SessionCase& c = GetParam();
    script({Success{}, c.error});
    auto controller = make();
    if (c.userKnown) env.facade().user = std::make_shared<FakeBusinessUser>(QStringLiteral("acc-1"), QStringLiteral("ada"));
    std::optional<std::optional<AppError>> answer;
    controller->connect(0, [&](std::optional<AppError> e) { answer = e; });
    ASSERT_TRUE(answer);
    EXPECT_EQ(!answer->has_value(), c.expectSuccess);
    EXPECT_EQ(resetUserSessionCalls, c.expectResets);
    EXPECT_EQ(user.isLoggedIn(), c.userKnown);
    EXPECT_TRUE(scheduler.items.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Core, SessionInvalid,
    ::testing::Values(
        SessionCase{"invalidSessionWithUser", BusinessError::make(BusinessError::Kind::invalidSession), true, true, 0},
        SessionCase{"invalidSessionWithoutUser", BusinessError::make(BusinessError::Kind::invalidSession), false, false, 1},
        SessionCase{"unauthorizedWithUser", BusinessError::api(APIError::unauthorized), true, true, 0},
        SessionCase{"unauthorizedWithoutUser", BusinessError::api(APIError::unauthorized), false, false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BusinessFrameworkControllerTest, LosingTheUserAfterConnectSwitchesFirstLaunchFlagOff) {
    env.settings().setIsAlreadyLaunched(true);
    env.facade().user = std::make_shared<FakeBusinessUser>(QStringLiteral("acc-1"), QStringLiteral("ada"));
    script({Success{}});
    auto controller = make();
    EXPECT_TRUE(user.isLoggedIn());
    EXPECT_TRUE(env.settings().isAlreadyLaunched());
    env.facade().user.reset();
    user.update();
    EXPECT_FALSE(env.settings().isAlreadyLaunched());
}

TEST_F(BusinessFrameworkControllerTest, CompletionFromAnotherThreadIsHandledOnTheMainThread) {
    env.facade().user = std::make_shared<FakeBusinessUser>(QStringLiteral("acc-1"), QStringLiteral("ada"));
    std::unique_ptr<QThread> worker;
    env.facade().onConnect = [&](std::function<void(VoidResult)> completion) {
        worker.reset(QThread::create([completion] { completion(Success{}); }));
        worker->start();
    };
    QThread* handledOn = nullptr;
    auto controller = make();
    QObject::connect(&user, &UserController::isAvailableChanged, [&] { handledOn = QThread::currentThread(); });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return user.isAvailable(); }));
    worker->wait();
    EXPECT_EQ(handledOn, QCoreApplication::instance()->thread());
    EXPECT_FALSE(controller->isConnecting());
}

TEST_F(BusinessFrameworkControllerTest, ClientHearsTheSignedInStateAfterEveryConnect) {
    env.facade().user = std::make_shared<FakeBusinessUser>(QStringLiteral("acc-1"), QStringLiteral("ada"));
    script({Success{}, kSetupFailure});
    auto controller = make();
    EXPECT_EQ(signedInStates, std::vector<bool>{true});
    env.facade().user.reset();
    user.update();
    controller->connect();  // fails and schedules a retry: the client still hears the state
    EXPECT_EQ(signedInStates, (std::vector<bool>{true, false}));
}

}  // namespace
