#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <optional>
#include <vector>

#include "platform/notifications/LoggingNotificationCenter.h"
#include "platform/notifications/MessageCapture.h"
#include "support/TestEnvironment.h"

namespace {

NotificationRequest request(const QString& identifier, const QString& title,
                            std::optional<double> triggerSeconds = std::nullopt) {
    NotificationRequest r;
    r.identifier = identifier;
    r.content.title = title;
    r.content.body = title + QStringLiteral(" body");
    if (triggerSeconds) r.trigger = NotificationTimeIntervalTrigger{*triggerSeconds, false};
    return r;
}

struct Step {
    QString identifier;
    QString title;
    std::optional<double> trigger;
    bool removePending = false;  // instead of adding: drop the held request of `identifier`
};

struct Case {
    const char* name;
    std::vector<Step> steps;
    QStringList shownAtOnce;    // titles logged before the event loop ran
    QStringList shownInTheEnd;  // titles logged once every trigger had time to fire
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class LoggingNotificationCenterTriggers : public ::testing::TestWithParam<Case> {};

TEST_P(LoggingNotificationCenterTriggers, ShowsEachRequestWhenItsTriggerSays) {
    const Case& c = GetParam();
    MessageCapture capture;
    LoggingNotificationCenter center;
    for (const Step& step : c.steps) {
        if (step.removePending)
            center.removePendingNotificationRequests({step.identifier});
        else
            center.addNotificationRequest(request(step.identifier, step.title, step.trigger));
    }
    const auto shownTitles = [&] {
        QStringList titles;
        for (const QString& line : capture.infoLinesContaining(QStringLiteral("Notification ")))
            titles << line.section(u'"', 1, 1);
        return titles;
    };
    EXPECT_EQ(shownTitles(), c.shownAtOnce);

    TestEnvironment::waitUntil([&] { return center.pendingNotificationRequestIdentifiers().isEmpty(); }, 2000);
    // Time for a wrongly kept timer to fire as well.
    TestEnvironment::waitUntil([] { return false; }, 150);
    EXPECT_EQ(shownTitles(), c.shownInTheEnd);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoggingNotificationCenterTriggers,
    ::testing::Values(
        Case{"immediate", {{"a", "A", std::nullopt}}, {"A"}, {"A"}},
        Case{"zeroIntervalIsImmediate", {{"a", "A", 0.0}}, {"A"}, {"A"}},
        Case{"triggeredWaits", {{"a", "A", 0.08}}, {}, {"A"}},
        Case{"sameIdentifierReplacesHeld", {{"a", "A1", 0.08}, {"a", "A2", 0.08}}, {}, {"A2"}},
        Case{"immediateUnderHeldIdentifierDropsHeld", {{"a", "A1", 0.08}, {"a", "A2", std::nullopt}}, {"A2"}, {"A2"}},
        Case{"otherIdentifiersKeepTheirOwn", {{"a", "A", 0.1}, {"b", "B", 0.05}, {"c", "C", std::nullopt}}, {"C"}, {"C", "B", "A"}},
        Case{"removedPendingNeverShows", {{"a", "A", 0.05}, {"a", "", std::nullopt, true}}, {}, {}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(LoggingNotificationCenter, TriggeredRequestDoesNotShowEarly) {
    MessageCapture capture;
    LoggingNotificationCenter center;
    QElapsedTimer elapsed;
    elapsed.start();
    center.addNotificationRequest(request("a", "A", 0.2));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !capture.infoLines().isEmpty(); }, 2000));
    EXPECT_GE(elapsed.elapsed(), 190);
}

TEST(LoggingNotificationCenter, CompletesLaterWithoutErrorAndRemovesOnlyDelivered) {
    MessageCapture capture;
    LoggingNotificationCenter center;
    std::vector<std::optional<NotificationError>> results;
    const auto record = [&](const std::optional<NotificationError>& error) { results.push_back(error); };
    center.addNotificationRequest(request("a", "A"), record);
    center.addNotificationRequest(request("b", "B", 30.0), record);
    EXPECT_TRUE(results.empty()) << "completion ran inside the call";
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return results.size() == 2; }, 2000));
    for (const auto& error : results) EXPECT_FALSE(error.has_value());

    EXPECT_EQ(center.deliveredNotificationIdentifiers(), QStringList{"a"});
    EXPECT_EQ(center.pendingNotificationRequestIdentifiers(), QStringList{"b"});
    center.removeDeliveredNotifications({"a", "b", "unknown"});
    EXPECT_TRUE(center.deliveredNotificationIdentifiers().isEmpty());
    EXPECT_EQ(center.pendingNotificationRequestIdentifiers(), QStringList{"b"}) << "held requests stay";
    EXPECT_EQ(capture.infoLinesContaining(QStringLiteral("removed")), QStringList{"Notification a removed"});
}

}  // namespace

namespace {

TEST(NotificationCenterCurrent, WithoutASessionBusTheProcessLogsAndTheCenterCanBeReplaced) {
    // The only test in this program that touches the session bus, so nothing connected it before.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/dev/shm/orvella-no-such-bus");
    NotificationCenter::setCurrent(nullptr);
    const auto center = NotificationCenter::current();
    EXPECT_NE(dynamic_cast<LoggingNotificationCenter*>(center.get()), nullptr);
    EXPECT_EQ(NotificationCenter::current(), center) << "one center per process";

    const auto replacement = std::make_shared<LoggingNotificationCenter>();
    NotificationCenter::setCurrent(replacement);
    EXPECT_EQ(NotificationCenter::current(), replacement);
    NotificationCenter::setCurrent(nullptr);
}

}  // namespace
