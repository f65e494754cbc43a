#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "app/common/LocalizationController.h"
#include "app/core/UserNotificationController.h"
#include "platform/notifications/DBusNotificationCenter.h"
#include "platform/notifications/PrivateSessionBus.h"
#include "support/TestEnvironment.h"

namespace {

class RecordingDelegate : public UserNotificationControllerDelegate {
public:
    void handleNotificationResponse(const QString& title) override { titles << title; }
    QStringList titles;
};

// A real notification daemon on a display and a bus of the test's own.
class NotificationsOnADesktop : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"dunst", "dunstctl", "Xvfb", "dbus-daemon"})
            if (QStandardPaths::findExecutable(program).isEmpty()) GTEST_SKIP() << program << " is not installed";
        ASSERT_EQ(bus.start(), QString());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        environment.insert("HOME", folder.path());
        environment.insert("XDG_CONFIG_HOME", folder.path());
        desktop.setProcessEnvironment(environment);
        desktop.start("sh", {"-c",
                             "Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>\"$0/display\" & x=$!\n"
                             "while [ ! -s \"$0/display\" ]; do sleep 0.05; done\n"
                             "DISPLAY=\":$(cat \"$0/display\")\" dunst & d=$!\n"
                             "trap 'kill $d $x; exit 0' TERM\n"
                             "wait $d; kill $x\n",
                             folder.path()});
        ASSERT_TRUE(desktop.waitForStarted());
        center = std::make_shared<DBusNotificationCenter>(bus.connect("app"));
        ASSERT_TRUE(TestEnvironment::waitUntil(
            [&] { return center->serviceState() == DBusNotificationCenter::ServiceState::available; }, 15000))
            << "the notification daemon did not come up";
    }
    void TearDown() override {
        controller.reset();
        center.reset();
        desktop.terminate();
        desktop.waitForFinished(3000);
    }

    QString dunstctl(const QStringList& arguments) {
        QProcess control;
        control.setProcessEnvironment(desktop.processEnvironment());
        control.start("dunstctl", arguments);
        control.waitForFinished(5000);
        return QString::fromUtf8(control.readAllStandardOutput()).trimmed();
    }
    // What the daemon showed, oldest first, as "application: title: body".
    QStringList shown() {
        dunstctl({"close-all"});
        QStringList notifications;
        TestEnvironment::waitUntil([&] { return dunstctl({"count", "displayed"}) == "0"; }, 3000);
        const QJsonArray history =
            QJsonDocument::fromJson(dunstctl({"history"}).toUtf8()).object().value("data").toArray().at(0).toArray();
        for (const QJsonValue& entry : history) {
            const QJsonObject n = entry.toObject();
            notifications.prepend(n["appname"].toObject()["data"].toString() + ": " +
                                  n["summary"].toObject()["data"].toString() + ": " +
                                  n["body"].toObject()["data"].toString());
        }
        return notifications;
    }

    QTemporaryDir folder{"/dev/shm/orvella-desktop-XXXXXX"};
    PrivateSessionBus bus;
    QProcess desktop;
    std::shared_ptr<DBusNotificationCenter> center;
    std::unique_ptr<UserNotificationController> controller;
};

TEST_F(NotificationsOnADesktop, AreShownUnderTheApplicationsNameCoalescedAndLeadBackWhenClicked) {
    std::chrono::steady_clock::time_point now{};
    controller = std::make_unique<UserNotificationController>(center, [&] { return now; });
    RecordingDelegate delegate;
    controller->setDelegate(&delegate);
    const LocalizationController texts;

    // A backup's news is shown at once; the sync status only when it changes category, and a
    // short flip back to syncing cancels the "synced" held meanwhile.
    controller->deliverNotification(texts.unBackupStartedTitle(), texts.unBackupStartedInformative());
    controller->deliverCoalescedNotification(texts.unSyncPreparingTitle(), "1", NotificationIdentifier::syncing);
    controller->deliverCoalescedNotification(texts.unSyncPreparingTitle(), "2", NotificationIdentifier::syncing);
    controller->deliverCoalescedNotification(texts.unSyncSyncedTitle(), "3", NotificationIdentifier::synced);
    controller->deliverCoalescedNotification(texts.unSyncPreparingTitle(), "4", NotificationIdentifier::syncing);
    now += std::chrono::seconds(10);
    controller->dispatchCoalescedNotifications();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return dunstctl({"count", "displayed"}) == "2"; }, 5000))
        << dunstctl({"count", "displayed"}).toStdString();
    const QStringList expected = {
        "Orvella: " + texts.unBackupStartedTitle() + ": " + texts.unBackupStartedInformative(),
        "Orvella: " + texts.unSyncPreparingTitle() + ": 1"};
    EXPECT_EQ(shown(), expected);

    // A click on a sync error reaches whoever handles the application's notifications.
    controller->deliverNotification(texts.unSyncErrorTitle(), "disk.img");
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return dunstctl({"count", "displayed"}) == "1"; }, 5000));
    dunstctl({"action", "0"});
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !delegate.titles.isEmpty(); }, 5000));
    EXPECT_EQ(delegate.titles, QStringList{texts.unSyncErrorTitle()});
    controller->setDelegate(nullptr);
}

}  // namespace
