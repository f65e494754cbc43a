#include <gtest/gtest.h>

#include <QSet>
#include <QUuid>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "app/common/LogChannels.h"
#include "app/core/UserNotificationController.h"
#include "frameworks/logger/Logger.h"
#include "support/RecordingNotificationCenter.h"

namespace {

using namespace std::chrono_literals;
using Id = NotificationIdentifier;
using Category = NotificationCategory;

using RecordingCenter = RecordingNotificationCenter;

class RecordingDelegate : public UserNotificationControllerDelegate {
public:
    void handleNotificationResponse(const QString& title) override { titles << title; }
    QStringList titles;
};

// Entries of the "Notification" channel, as "LEVEL message".
class LogRecorder {
public:
    LogRecorder() {
        previousVerbosity_ = AppLog::notification().verbosity();
        AppLog::notification().setVerbosity(LogVerbosity::debug);
        Logger::setConsoleOutputEnabled(false);
        sink_ = Logger::addSink([this](const LogEntry& entry) {
            if (entry.channel == QStringLiteral("Notification"))
                lines << logLevelName(entry.level) + u' ' + entry.message;
        });
    }
    ~LogRecorder() {
        Logger::removeSink(sink_);
        AppLog::notification().setVerbosity(previousVerbosity_);
    }
    QStringList lines;

private:
    Logger::SinkId sink_ = 0;
    int previousVerbosity_ = 0;
};

struct Harness {
    std::shared_ptr<RecordingCenter> center = std::make_shared<RecordingCenter>();
    std::chrono::steady_clock::time_point now{};
    UserNotificationController controller{center, [this] { return now; }};

    // What the center was handed: the title, with "+5s" for a request held by a 5 s trigger.
    QStringList added() const {
        QStringList out;
        for (const auto& request : center->added) {
            QString entry = request.content.title;
            if (request.trigger) entry += QStringLiteral("+%1s").arg(request.trigger->timeInterval);
            out << entry;
        }
        return out;
    }
};

// One step of a scenario.
struct Step {
    enum Kind { coalesced, advance, tick } kind;
    Id identifier = Id::synced;
    double seconds = 0;
};
Step call(Id identifier) { return {Step::coalesced, identifier, 0}; }
Step wait(double seconds) { return {Step::advance, Id::synced, seconds}; }
Step tick() { return {Step::tick, Id::synced, 0}; }

struct Scenario {
    const char* name;
    std::vector<Step> steps;
    QStringList added;                        // every request the center received, in order
    std::optional<Category> lastCategory;     // afterwards
    std::optional<Id> pending;                // afterwards
    QStringList lastStepLog;                  // what the last step wrote
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class CoalescedDelivery : public ::testing::TestWithParam<Scenario> {};

TEST_P(CoalescedDelivery, FollowsTheDecisionTable) {
    const Scenario& s = GetParam();
    Harness h;
    LogRecorder log;
    for (const Step& step : s.steps) {
        log.lines.clear();
        switch (step.kind) {
        case Step::coalesced:
            h.controller.deliverCoalescedNotification(rawValue(step.identifier), QStringLiteral("text"), step.identifier);
            break;
        case Step::advance:
            h.now += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(step.seconds));
            break;
        case Step::tick: h.controller.dispatchCoalescedNotifications(); break;
        }
    }
    EXPECT_EQ(h.added(), s.added);
    EXPECT_EQ(h.controller.lastPresentedNotificationCategory(), s.lastCategory);
    const auto& held = h.controller.scheduledNotification();
    EXPECT_EQ(held ? std::optional<Id>(held->identifier) : std::nullopt, s.pending);
    EXPECT_EQ(log.lines, s.lastStepLog);
    for (const auto& request : h.center->added) EXPECT_EQ(request.content.body, QStringLiteral("text"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, CoalescedDelivery,
    ::testing::Values(
        Scenario{"afterStartSyncedIsDropped", {call(Id::synced)}, {}, std::nullopt, std::nullopt,
                 {"DEBUG CoalescedNotification called: synced", "INFO Nothing presented before, we stop here for synced"}},
        Scenario{"afterStartOfflineIsDropped", {call(Id::offline)}, {}, std::nullopt, std::nullopt,
                 {"DEBUG CoalescedNotification called: offline", "INFO Nothing presented before, we stop here for offline"}},
        Scenario{"afterStartErrorIsDropped", {call(Id::error)}, {}, std::nullopt, std::nullopt,
                 {"DEBUG CoalescedNotification called: error", "INFO Nothing presented before, we stop here for error"}},
        Scenario{"afterStartSyncingIsShownAtOnce", {call(Id::syncing)}, {"syncing"}, Category::begin, std::nullopt,
                 {"DEBUG CoalescedNotification called: syncing", "INFO Deliver syncing notification directly",
                  "INFO Deliver notification directly: syncing"}},
        Scenario{"afterStartCriticalErrorIsShownAtOnce", {call(Id::criticalError)}, {"criticalError"},
                 Category::immediate, std::nullopt,
                 {"DEBUG CoalescedNotification called: criticalError",
                  "INFO Deliver criticalError notification directly",
                  "INFO Deliver notification directly: criticalError"}},
        Scenario{"beginThenSyncingIsDropped", {call(Id::syncing), call(Id::syncing)}, {"syncing"}, Category::begin,
                 std::nullopt,
                 {"DEBUG CoalescedNotification called: syncing",
                  "DEBUG We already presented a syncing notification. No notification will be displayed"}},
        Scenario{"beginThenSyncedIsHeld", {call(Id::syncing), call(Id::synced)}, {"syncing"}, Category::begin,
                 Id::synced, {"DEBUG CoalescedNotification called: synced", "INFO Schedule synced notification"}},
        Scenario{"heldSyncedReplacedByOffline", {call(Id::syncing), call(Id::synced), wait(3), call(Id::offline)},
                 {"syncing"}, Category::begin, Id::offline,
                 {"DEBUG CoalescedNotification called: offline", "DEBUG Re-Schedule offline notification for later"}},
        Scenario{"replacementRestartsTheDelay",
                 {call(Id::syncing), call(Id::synced), wait(3), call(Id::offline), wait(3), tick()}, {"syncing"},
                 Category::begin, Id::offline, {}},
        Scenario{"replacementShowsFiveSecondsAfterItself",
                 {call(Id::syncing), call(Id::synced), wait(3), call(Id::offline), wait(5), tick()},
                 {"syncing", "offline+5s"}, std::nullopt, std::nullopt, {"INFO Deliver notification for: offline"}},
        // A critical error is shown at once and the held end notification still leaves on its date.
        Scenario{"criticalErrorLeavesTheHeldSyncedAlone",
                 {call(Id::syncing), call(Id::synced), call(Id::criticalError), wait(5), tick()},
                 {"syncing", "criticalError", "synced+5s"}, std::nullopt, std::nullopt,
                 {"INFO Deliver notification for: synced"}},
        Scenario{"heldSyncedCancelledBySyncing",
                 {call(Id::syncing), call(Id::synced), call(Id::syncing), wait(10), tick()}, {"syncing"},
                 Category::begin, std::nullopt, {}},
        Scenario{"everyCriticalErrorIsShown",
                 {call(Id::criticalError), call(Id::criticalError), call(Id::syncing), call(Id::criticalError)},
                 {"criticalError", "criticalError", "criticalError"}, Category::immediate, Id::syncing,
                 {"DEBUG CoalescedNotification called: criticalError",
                  "INFO Deliver criticalError notification directly",
                  "INFO Deliver notification directly: criticalError"}},
        Scenario{"immediateThenSyncingIsHeld", {call(Id::criticalError), call(Id::syncing)}, {"criticalError"},
                 Category::immediate, Id::syncing,
                 {"DEBUG CoalescedNotification called: syncing", "INFO Schedule syncing notification"}},
        Scenario{"heldIsKeptUntilItsDate", {call(Id::syncing), call(Id::synced), wait(4.999), tick()}, {"syncing"},
                 Category::begin, Id::synced, {}},
        Scenario{"heldLeavesOnItsDate", {call(Id::syncing), call(Id::synced), wait(5), tick()},
                 {"syncing", "synced+5s"}, std::nullopt, std::nullopt, {"INFO Deliver notification for: synced"}},
        Scenario{"afterHeldEndSyncingIsShownAtOnceAgain",
                 {call(Id::syncing), call(Id::synced), wait(5), tick(), call(Id::syncing)},
                 {"syncing", "synced+5s", "syncing"}, Category::begin, std::nullopt,
                 {"DEBUG CoalescedNotification called: syncing", "INFO Deliver syncing notification directly",
                  "INFO Deliver notification directly: syncing"}},
        Scenario{"afterHeldEndAnotherEndIsDropped",
                 {call(Id::syncing), call(Id::error), wait(6), tick(), call(Id::synced)}, {"syncing", "error+5s"},
                 std::nullopt, std::nullopt,
                 {"DEBUG CoalescedNotification called: synced", "INFO Nothing presented before, we stop here for synced"}},
        Scenario{"heldBeginLeavesTheLastCategoryAlone",
                 {call(Id::criticalError), call(Id::syncing), wait(5), tick()}, {"criticalError", "syncing+5s"},
                 Category::immediate, std::nullopt, {"INFO Deliver notification for: syncing"}},
        Scenario{"heldIsHandedOverOnce", {call(Id::syncing), call(Id::synced), wait(5), tick(), wait(2), tick()},
                 {"syncing", "synced+5s"}, std::nullopt, std::nullopt, {}},
        Scenario{"tickWithNothingHeld", {tick()}, {}, std::nullopt, std::nullopt, {}}),
    [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

TEST(UserNotificationController, IdentifiersAndCategories) {
    const struct {
        Id identifier;
        const char* raw;
        Category category;
    } rows[] = {
        {Id::synced, "synced", Category::end},          {Id::syncing, "syncing", Category::begin},
        {Id::offline, "offline", Category::end},        {Id::error, "error", Category::end},
        {Id::criticalError, "criticalError", Category::immediate},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.raw);
        EXPECT_EQ(rawValue(row.identifier), QString::fromLatin1(row.raw));
        EXPECT_EQ(notificationIdentifierFromRawValue(QString::fromLatin1(row.raw)), row.identifier);
        EXPECT_EQ(notificationCategory(row.identifier), row.category);
    }
    EXPECT_EQ(notificationIdentifierFromRawValue(QStringLiteral("Synced")), std::nullopt);
}

TEST(UserNotificationController, DirectDeliveryIsImmediateWithAFreshIdentifierEachTime) {
    Harness h;
    LogRecorder log;
    h.controller.deliverNotification(QStringLiteral("Backup finished"), QStringLiteral("All items saved"));
    h.controller.deliverNotification(QStringLiteral("Backup finished"), QStringLiteral("All items saved"));
    h.controller.deliverCoalescedNotification(QStringLiteral("S"), QStringLiteral("s"), Id::syncing);
    h.controller.deliverCoalescedNotification(QStringLiteral("E"), QStringLiteral("e"), Id::error);
    h.now += 5s;
    h.controller.dispatchCoalescedNotifications();

    ASSERT_EQ(h.center->added.size(), 4u);
    QSet<QString> identifiers;
    for (const auto& request : h.center->added) {
        EXPECT_FALSE(QUuid::fromString(request.identifier).isNull()) << request.identifier.toStdString();
        identifiers.insert(request.identifier);
        EXPECT_TRUE(request.content.subtitle.isEmpty());
        EXPECT_TRUE(request.content.categoryIdentifier.isEmpty());
        EXPECT_TRUE(request.content.threadIdentifier.isEmpty());
    }
    EXPECT_EQ(identifiers.size(), 4);
    const auto& first = h.center->added[0];
    EXPECT_EQ(first.content.title, QStringLiteral("Backup finished"));
    EXPECT_EQ(first.content.body, QStringLiteral("All items saved"));
    EXPECT_FALSE(first.trigger.has_value());
    const auto& held = h.center->added[3];
    ASSERT_TRUE(held.trigger.has_value());
    EXPECT_DOUBLE_EQ(held.trigger->timeInterval, 5.0);
    EXPECT_FALSE(held.trigger->repeats);
    EXPECT_EQ(log.lines.first(), QStringLiteral("INFO Deliver notification directly: Backup finished"));
    EXPECT_EQ(h.controller.lastPresentedNotificationCategory(), std::nullopt) << "direct delivery leaves it alone";
}

TEST(UserNotificationController, ClickRemovesTheNotificationAndTellsTheDelegate) {
    for (const bool withDelegate : {true, false}) {
        SCOPED_TRACE(withDelegate ? "with delegate" : "without delegate");
        Harness h;
        RecordingDelegate delegate;
        if (withDelegate) h.controller.setDelegate(&delegate);
        ASSERT_EQ(h.center->delegate(), &h.controller);

        NotificationResponse response;
        response.request.identifier = QStringLiteral("4f1c");
        response.request.content.title = QStringLiteral("Not enough storage");
        response.actionIdentifier = NotificationResponse::defaultActionIdentifier;
        int completions = 0;
        h.center->delegate()->userNotificationCenterDidReceiveNotificationResponse(*h.center, response,
                                                                                  [&] { ++completions; });
        ASSERT_EQ(h.center->removed.size(), 1u);
        EXPECT_EQ(h.center->removed[0], QStringList{"4f1c"});
        EXPECT_EQ(delegate.titles, withDelegate ? QStringList{"Not enough storage"} : QStringList{});
        EXPECT_EQ(completions, 1);
    }
}

TEST(UserNotificationController, ReleaseClearsTheCentersDelegateOnlyWhenItIsStillThisController) {
    auto center = std::make_shared<RecordingCenter>();
    auto backup = std::make_unique<UserNotificationController>(center);
    auto sync = std::make_unique<UserNotificationController>(center);
    ASSERT_EQ(center->delegate(), sync.get());
    backup.reset();
    EXPECT_EQ(center->delegate(), sync.get());
    sync.reset();
    EXPECT_EQ(center->delegate(), nullptr);
}

TEST(UserNotificationController, DispatchTimerRepeatsEveryTwoSecondsAndHandsOverHeld) {
    Harness h;
    EXPECT_EQ(h.controller.notificationDispatchTimer(), nullptr);
    h.controller.startDispatchTimer();
    const auto timer = h.controller.notificationDispatchTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isScheduled());
    EXPECT_TRUE(timer->repeats());
    EXPECT_DOUBLE_EQ(timer->timeInterval(), 2.0);
    EXPECT_DOUBLE_EQ(timer->tolerance(), 1.0);

    h.controller.deliverCoalescedNotification(QStringLiteral("S"), {}, Id::syncing);
    h.controller.deliverCoalescedNotification(QStringLiteral("D"), {}, Id::synced);
    h.now += 5s;
    timer->fire();
    EXPECT_EQ(h.added(), (QStringList{"S", "D+5s"}));
    EXPECT_TRUE(timer->isValid());
}

}  // namespace
