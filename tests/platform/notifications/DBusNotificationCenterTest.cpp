#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/notifications/DBusNotificationCenter.h"
#include "platform/notifications/FakeNotificationServer.h"
#include "platform/notifications/MessageCapture.h"
#include "platform/notifications/PrivateSessionBus.h"
#include "support/TestEnvironment.h"

namespace {

NotificationRequest request(const QString& identifier, const QString& title, const QString& body = {}) {
    NotificationRequest r;
    r.identifier = identifier;
    r.content.title = title;
    r.content.body = body;
    return r;
}

class RecordingDelegate : public NotificationCenterDelegate {
public:
    void userNotificationCenterDidReceiveNotificationResponse(NotificationCenter&, const NotificationResponse& response,
                                                              std::function<void()> completionHandler) override {
        responses.push_back(response);
        completionHandler();
    }
    std::vector<NotificationResponse> responses;
};

TEST(DBusNotificationCenterArguments, NotifyCallCarriesTheRequest) {
    struct Row {
        const char* name;
        QString subtitle;
        QString body;
        bool markup;
        QString expectedBody;
    };
    const Row rows[] = {
        {"plain", {}, "3 files synced", false, "3 files synced"},
        {"subtitleOnItsOwnLine", "Sync", "done", false, "Sync\ndone"},
        {"subtitleOnly", "Sync", {}, false, "Sync"},
        {"markupEscaped", {}, "a<b> & \"c\"", true, "a&lt;b&gt; &amp; &quot;c&quot;"},
        {"noMarkupKeptAsIs", {}, "a<b> & c", false, "a<b> & c"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        NotificationRequest r = request("req", "Title <1>", row.body);
        r.content.subtitle = row.subtitle;
        const QVariantList arguments = DBusNotificationCenter::notifyArguments(r, 7, row.markup);
        ASSERT_EQ(arguments.size(), 8);
        EXPECT_EQ(arguments[0].toString(), QStringLiteral("Orvella"));
        EXPECT_EQ(arguments[1].metaType(), QMetaType::fromType<uint>());
        EXPECT_EQ(arguments[1].toUInt(), 7u);
        EXPECT_EQ(arguments[3].toString(), QStringLiteral("Title <1>")) << "the summary is never markup";
        EXPECT_EQ(arguments[4].toString(), row.expectedBody);
        EXPECT_EQ(arguments[5].toStringList(), (QStringList{"default", ""}));
        EXPECT_TRUE(arguments[6].toMap().isEmpty());
        EXPECT_EQ(arguments[7].metaType(), QMetaType::fromType<qint32>());
        EXPECT_EQ(arguments[7].toInt(), -1);
    }
}

class DBusNotificationCenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PrivateSessionBus::daemonInstalled()) GTEST_SKIP() << "dbus-daemon is not installed";
        bus_ = std::make_unique<PrivateSessionBus>();
        if (const QString problem = bus_->start(); !problem.isEmpty()) GTEST_SKIP() << problem.toStdString();
    }

    void TearDown() override {
        center.reset();
        server.reset();
        bus_.reset();
    }

    void startServer(QStringList capabilities = {}) {
        server = std::make_unique<FakeNotificationServer>(bus_->connect(QStringLiteral("server")));
        if (!capabilities.isEmpty()) server->capabilities = capabilities;
        ASSERT_TRUE(server->publish());
    }

    void startCenter(DBusNotificationCenter::ServiceState expected) {
        center = std::make_unique<DBusNotificationCenter>(bus_->connect(QStringLiteral("client")));
        center->setDelegate(&delegate);
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return center->serviceState() == expected; }));
    }

    // Adds and waits for the server's answer.
    uint post(const NotificationRequest& r) {
        const size_t before = server->notifications.size();
        std::optional<std::optional<NotificationError>> result;
        center->addNotificationRequest(r, [&](const std::optional<NotificationError>& error) { result = error; });
        EXPECT_TRUE(TestEnvironment::waitUntil([&] { return result.has_value(); }));
        EXPECT_FALSE(result && *result) << "the center reported an error";
        EXPECT_EQ(server->notifications.size(), before + 1);
        return server->notifications.empty() ? 0 : server->notifications.back().id;
    }

    std::unique_ptr<PrivateSessionBus> bus_;
    std::unique_ptr<FakeNotificationServer> server;
    RecordingDelegate delegate;
    std::unique_ptr<DBusNotificationCenter> center;
};

TEST_F(DBusNotificationCenterTest, PostsAsOrvellaAndReplacesUnderTheSameIdentifier) {
    startServer();
    startCenter(DBusNotificationCenter::ServiceState::available);

    const uint first = post(request("a", "Syncing", "Files are being synced"));
    const auto& sent = server->notifications.front();
    EXPECT_EQ(sent.appName, QStringLiteral("Orvella"));
    EXPECT_EQ(sent.replacesId, 0u);
    EXPECT_EQ(sent.summary, QStringLiteral("Syncing"));
    EXPECT_EQ(sent.body, QStringLiteral("Files are being synced"));
    EXPECT_TRUE(sent.actions.contains(QStringLiteral("default")));
    EXPECT_EQ(sent.expireTimeout, -1);

    post(request("a", "Synced"));
    EXPECT_EQ(server->notifications.back().replacesId, first);
    post(request("b", "Other"));
    EXPECT_EQ(server->notifications.back().replacesId, 0u);
    EXPECT_EQ(center->deliveredNotificationIdentifiers(), (QStringList{"a", "b"}));
}

TEST_F(DBusNotificationCenterTest, BodyIsEscapedForServersThatReadMarkup) {
    startServer({QStringLiteral("body"), QStringLiteral("body-markup")});
    startCenter(DBusNotificationCenter::ServiceState::available);
    post(request("a", "Error", "Cannot sync <Reports & Plans>"));
    EXPECT_EQ(server->notifications.back().body, QStringLiteral("Cannot sync &lt;Reports &amp; Plans&gt;"));
}

TEST_F(DBusNotificationCenterTest, RemovingClosesOnlyOurShownNotifications) {
    startServer();
    startCenter(DBusNotificationCenter::ServiceState::available);
    const uint a = post(request("a", "A"));
    post(request("b", "B"));

    center->removeDeliveredNotifications({"a", "unknown"});
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !server->closed.empty(); }));
    TestEnvironment::waitUntil([] { return false; }, 100);
    EXPECT_EQ(server->closed, std::vector<uint>{a});
    EXPECT_EQ(center->deliveredNotificationIdentifiers(), QStringList{"b"});
}

TEST_F(DBusNotificationCenterTest, RemovingWhileTheServerHasNotAnsweredClosesOnceItDoes) {
    startServer();
    startCenter(DBusNotificationCenter::ServiceState::available);
    center->addNotificationRequest(request("a", "A"));
    center->removeDeliveredNotifications({"a"});
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !server->closed.empty(); }));
    ASSERT_EQ(server->notifications.size(), 1u);
    EXPECT_EQ(server->closed.front(), server->notifications.front().id);
    EXPECT_TRUE(center->deliveredNotificationIdentifiers().isEmpty());
}

TEST_F(DBusNotificationCenterTest, ClicksReachTheDelegateOnlyForOurLiveNotifications) {
    struct Row {
        const char* name;
        bool closeFirst;      // the server reported the notification closed before the click
        bool otherId;         // the click was on another application's notification
        bool expectResponse;
    };
    const Row rows[] = {
        {"click", false, false, true},
        {"otherApplication", false, true, false},
        {"alreadyClosed", true, false, false},
    };
    startServer();
    startCenter(DBusNotificationCenter::ServiceState::available);
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        delegate.responses.clear();
        const QString identifier = QStringLiteral("id-%1").arg(++n);
        const uint id = post(request(identifier, QStringLiteral("Title %1").arg(n)));
        if (row.closeFirst) {
            server->emitNotificationClosed(id, 2);
            ASSERT_TRUE(TestEnvironment::waitUntil(
                [&] { return !center->deliveredNotificationIdentifiers().contains(identifier); }));
        }
        server->emitActionInvoked(row.otherId ? id + 1000 : id, QStringLiteral("default"));
        // A marker click on a live notification tells when the signals above were handled.
        const uint marker = post(request(QStringLiteral("marker"), QStringLiteral("Marker")));
        server->emitActionInvoked(marker, QStringLiteral("default"));
        ASSERT_TRUE(TestEnvironment::waitUntil([&] {
            return !delegate.responses.empty() && delegate.responses.back().request.identifier == "marker";
        }));
        delegate.responses.pop_back();

        if (row.expectResponse) {
            ASSERT_EQ(delegate.responses.size(), 1u);
            EXPECT_EQ(delegate.responses[0].request.identifier, identifier);
            EXPECT_EQ(delegate.responses[0].request.content.title, QStringLiteral("Title %1").arg(n));
            EXPECT_EQ(delegate.responses[0].actionIdentifier, NotificationResponse::defaultActionIdentifier);
        } else {
            EXPECT_TRUE(delegate.responses.empty());
        }
    }
}

TEST_F(DBusNotificationCenterTest, WithoutAServiceNotificationsAreLoggedAndALaterServiceIsUsed) {
    MessageCapture capture;
    startCenter(DBusNotificationCenter::ServiceState::unavailable);

    std::optional<std::optional<NotificationError>> result;
    center->addNotificationRequest(request("a", "Offline", "No connection"),
                                   [&](const std::optional<NotificationError>& error) { result = error; });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return result.has_value(); }));
    EXPECT_FALSE(result->has_value());
    EXPECT_EQ(capture.infoLinesContaining(QStringLiteral("\"Offline\"")).size(), 1);

    startServer();
    ASSERT_TRUE(TestEnvironment::waitUntil(
        [&] { return center->serviceState() == DBusNotificationCenter::ServiceState::available; }));
    post(request("b", "Online"));
    EXPECT_EQ(server->notifications.back().summary, QStringLiteral("Online"));
}

TEST_F(DBusNotificationCenterTest, RequestsMadeWhileProbingWaitForTheAnswer) {
    startServer();
    center = std::make_unique<DBusNotificationCenter>(bus_->connect(QStringLiteral("client")));
    ASSERT_EQ(center->serviceState(), DBusNotificationCenter::ServiceState::probing);
    center->addNotificationRequest(request("a", "Early"));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return server->notifications.size() == 1; }));
    EXPECT_EQ(server->notifications.front().summary, QStringLiteral("Early"));
}

}  // namespace
