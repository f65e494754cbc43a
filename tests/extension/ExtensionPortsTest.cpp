#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>

#include "extension/BadgeImages.h"
#include "extension/CommServerConnector.h"
#include "extension/ExtensionPorts.h"
#include "extension/FinderSync.h"
#include "extension/FinderSyncServer.h"
#include "extension/PortServer.h"
#include "platform/findersync/FinderSyncController.h"
#include "support/TestEnvironment.h"

namespace {

struct Recorder final : FinderSyncServerDelegate, CommServerConnectorDelegate {
    void updateSyncDirectory(const QString& path) override { paths.append(path); }
    QStringList paths;
};

struct PushCase {
    const char* name;
    QByteArray body;
    const char* badgedPath;  // item whose badge the push sets, or empty
    const char* badge;
    const char* announced;  // sync folder told to the delegate, or empty
};

class Pushes : public ::testing::TestWithParam<PushCase> {};

TEST_P(Pushes, StatusGoesToTheFileManagerAndTheFolderToTheDelegate) {
    const PushCase& c = GetParam();
    FinderSyncController controller;
    FinderSyncController::setDefaultController(&controller);
    Recorder recorder;
    FinderSyncServer::shared().setDelegate(&recorder);
    EXPECT_FALSE(FinderSyncServer::shared().handleMessage(7, c.body)) << "a push is never answered";
    FinderSyncServer::shared().setDelegate(nullptr);
    FinderSyncController::setDefaultController(nullptr);
    const QList<QUrl> badged = controller.badgedURLs();
    if (*c.badgedPath) {
        ASSERT_EQ(badged.size(), 1);
        EXPECT_EQ(badged.first().toLocalFile().toStdString(), c.badgedPath);
        EXPECT_EQ(controller.badgeIdentifier(badged.first()).toStdString(), c.badge);
    } else {
        EXPECT_TRUE(badged.isEmpty());
    }
    EXPECT_EQ(recorder.paths.join('|').toStdString(), c.announced);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Pushes,
    ::testing::Values(
        PushCase{"Status", R"({"url":"file:\/\/\/h\/Orvella\/a%20b.txt","itemStatusDescription":"syncing"})",
                 "/h/Orvella/a b.txt", "syncing", ""},
        PushCase{"StatusPlainSlashes", R"({"itemStatusDescription":"selectivelyNotSynced","url":"file:///h/x"})",
                 "/h/x", "selectivelyNotSynced", ""},
        PushCase{"RootDirectory", R"({"path":"\/h\/Orvella"})", "", "", "/h/Orvella"},
        PushCase{"StatusMissingItsWordIsNotAStatus", R"({"url":"file:///h/x","path":"/h/New"})", "", "", "/h/New"},
        PushCase{"UnknownRecord", R"({"other":1})", "", "", ""},
        PushCase{"NotJson", "status", "", "", ""},
        PushCase{"PathOfWrongType", R"({"path":5})", "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BadgeImages, AllFiveAssetsOrTheSystemImagesForAll) {
    struct Case {
        const char* name;
        const char* missing;
        bool assets;
    };
    for (const Case& c : {Case{"AllThere", "", true}, Case{"OneMissing", "BadgeSyncing", false},
                          Case{"SharedOneMissing", "BadgeSelectivelyNotSynced", false}}) {
        SCOPED_TRACE(c.name);
        FinderSyncController controller;
        BadgeImages::registerBadgeIdentifiers(controller, [&](const QString& name) -> std::optional<QImage> {
            if (name == QLatin1String(c.missing)) return std::nullopt;
            return BadgeImages::bundledAsset(name);
        });
        EXPECT_EQ(controller.registeredBadgeIdentifiers().size(), 6);
        const QImage synced = controller.registeredBadge("synced")->image;
        EXPECT_EQ(synced == *BadgeImages::bundledAsset("BadgeSynced"), c.assets);
        EXPECT_EQ(synced == BadgeImages::systemStatusImage("StatusAvailable"), !c.assets);
        EXPECT_EQ(controller.registeredBadge("error")->image == BadgeImages::systemStatusImage("StatusUnavailable"),
                  !c.assets);
        EXPECT_EQ(controller.registeredBadge("ignored")->image, controller.registeredBadge("selectivelyNotSynced")->image);
        EXPECT_NE(controller.registeredBadge("synced")->image, controller.registeredBadge("syncing")->image);
    }
}

// Badge queries and registration against ports served by another thread, as the application
// serves them.
class PortsTest : public ::testing::Test {
protected:
    void TearDown() override {
        CommServerConnector::shared().setDelegate(nullptr);
        CommServerConnector::shared().setLocalPortName(std::nullopt);
    }
    const QUrl item_ = QUrl::fromLocalFile(QStringLiteral("/h/Orvella/r\u00e9sum\u00e9 #1.txt"));
};

TEST_F(PortsTest, BadgeQueryAnswersTheWordOrUnknown) {
    EXPECT_EQ(FinderSync::badgeIdentifier(item_), "unknown") << "no application";
    struct Case {
        const char* name;
        std::optional<QByteArray> answer;
        const char* word;
    };
    for (const Case& c : {Case{"Word", QByteArray("synced"), "synced"}, Case{"Empty", QByteArray(), ""},
                          Case{"None", std::nullopt, "unknown"}, Case{"NotUtf8", QByteArray("\xff\xfe"), "unknown"}}) {
        SCOPED_TRACE(c.name);
        QByteArray received;
        PortServer server(ExtensionPorts::badgeServerPortName(), [&](std::int32_t, const QByteArray& data) {
            received = data;
            return c.answer;
        });
        ASSERT_TRUE(server.isServing());
        EXPECT_EQ(FinderSync::badgeIdentifier(item_).toStdString(), c.word);
        EXPECT_EQ(QUrl::fromEncoded(received, QUrl::StrictMode), item_);
        EXPECT_TRUE(received.startsWith("file:///h/Orvella/r%C3%A9sum%C3%A9%20%231.txt"));
    }
}

TEST_F(PortsTest, RegistrationRetriesUntilTheApplicationAppearsAndAgainWhenItReturns) {
    CommServerConnector& connector = CommServerConnector::shared();
    Recorder recorder;
    connector.setDelegate(&recorder);
    connector.setLocalPortName(QStringLiteral("group.example.orvella.abcdefg"));
    connector.setRetryDelayMs(50);

    std::atomic<int> registrations = 0;
    const auto serve = [&](const char* path) {
        return std::make_unique<PortServer>(ExtensionPorts::registrationPortName(),
                                            [&registrations, path](std::int32_t, const QByteArray& name) {
                                                if (name != "group.example.orvella.abcdefg") return std::optional<QByteArray>();
                                                ++registrations;
                                                return std::optional<QByteArray>(QByteArray(path));
                                            });
    };
    connector.connect();
    EXPECT_TRUE(recorder.paths.isEmpty());
    TestEnvironment::waitUntil([] { return false; }, 120);
    auto application = serve("/h/Orvella");
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !recorder.paths.isEmpty(); }, 3000));
    EXPECT_EQ(recorder.paths, QStringList{"/h/Orvella"});

    // The application quits and comes back with another folder: one new registration.
    application.reset();
    TestEnvironment::waitUntil([] { return false; }, 20);
    application = serve("/h/New/Orvella");
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return recorder.paths.size() == 2; }, 3000));
    EXPECT_EQ(recorder.paths.last(), "/h/New/Orvella");
    TestEnvironment::waitUntil([] { return false; }, 200);
    EXPECT_EQ(registrations.load(), 2) << "a kept registration is not repeated";
    application.reset();
    connector.setRetryDelayMs(5000);
}

TEST_F(PortsTest, AnEmptyRegistrationReplyIsNotRetriedAndAMissingNameNotSent) {
    CommServerConnector& connector = CommServerConnector::shared();
    Recorder recorder;
    connector.setDelegate(&recorder);
    std::atomic<int> requests = 0;
    PortServer application(ExtensionPorts::registrationPortName(), [&](std::int32_t, const QByteArray&) {
        ++requests;
        return std::optional<QByteArray>(QByteArray());
    });
    connector.connect();
    EXPECT_EQ(requests.load(), 0) << "no port name: nothing sent";
    connector.setLocalPortName(QStringLiteral("group.example.orvella.zzzzzzz"));
    connector.setRetryDelayMs(20);
    connector.connect();
    TestEnvironment::waitUntil([] { return false; }, 150);
    EXPECT_EQ(requests.load(), 1);
    EXPECT_TRUE(recorder.paths.isEmpty());
    connector.setRetryDelayMs(5000);
}

}  // namespace
