#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QDir>

#include <atomic>
#include <mutex>

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
    void applicationWentAway() override { paths.append(QStringLiteral("(gone)")); }
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

// The items a file manager shows are asked of the application together: each must get the word
// for itself, one without an answer must not shift the others' words, and an item whose window
// closed before the answers came is left alone.
TEST_F(PortsTest, ItemsAskedForTogetherEachGetTheirOwnWord) {
    QTemporaryDir home;
    const QString root = home.path() + QStringLiteral("/Orvella");
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/closed")));
    const auto item = [&](const QString& name) { return QUrl::fromLocalFile(root + QLatin1Char('/') + name); };
    std::mutex mutex;
    QStringList asked;
    PortServer server(ExtensionPorts::badgeServerPortName(), [&](std::int32_t, const QByteArray& data) {
        const QString path = QUrl::fromEncoded(data, QUrl::StrictMode).toLocalFile();
        {
            std::lock_guard lock(mutex);
            asked << path;
        }
        if (path.endsWith(QStringLiteral("7.txt"))) return std::optional<QByteArray>();
        return std::optional<QByteArray>(path.section(QLatin1Char('/'), -1).toUtf8());
    });
    ASSERT_TRUE(server.isServing());
    FinderSyncController controller;
    FinderSyncController::setDefaultController(&controller);
    struct Restore {
        ~Restore() { FinderSyncController::setDefaultController(nullptr); }
    } restore;
    FinderSync::Options options;
    options.connectToApplication = false;
    FinderSync extension(options);
    extension.updateSyncDirectory(root);
    for (int i = 0; i < 200; ++i) extension.requestBadgeIdentifierForURL(item(QStringLiteral("f%1.txt").arg(i)));
    extension.requestBadgeIdentifierForURL(item(QStringLiteral("closed/x.txt")));
    extension.endObservingDirectoryAtURL(item(QStringLiteral("closed")));

    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !controller.badgeIdentifier(item("f199.txt")).isEmpty(); }));
    for (int i = 0; i < 200; ++i) {
        const QString name = QStringLiteral("f%1.txt").arg(i);
        EXPECT_EQ(controller.badgeIdentifier(item(name)).toStdString(), i % 10 == 7 ? "unknown" : name.toStdString());
    }
    EXPECT_TRUE(controller.badgeIdentifier(item(QStringLiteral("closed/x.txt"))).isEmpty());
    std::lock_guard lock(mutex);
    EXPECT_FALSE(asked.contains(root + QStringLiteral("/closed/x.txt")));
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
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return recorder.paths.size() == 3; }, 3000));
    EXPECT_EQ(recorder.paths, (QStringList{"/h/Orvella", "(gone)", "/h/New/Orvella"}))
        << "the extension hears that the application was away before it registers again";
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
