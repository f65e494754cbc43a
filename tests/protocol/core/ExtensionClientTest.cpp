#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <chrono>
#include <map>
#include <mutex>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "app/core/support/TestBusinessFacade.h"
#include "app/sync/AppServer.h"
#include "app/sync/CommServer.h"
#include "app/sync/support/StatusTableFacade.h"
#include "platform/messageport/MessagePort.h"
#include "protocol/MessagePortProtocol.h"
#include "protocol/RootDirectory.h"
#include "protocol/URLSyncStatus.h"
#include "protocol/core/ExtensionClient.h"
#include "protocol/core/PortWire.h"
#include "protocol/core/Records.h"
#include "support/TestEnvironment.h"

using namespace OrvellaPorts;
using namespace std::chrono_literals;

namespace {

// The application's side as it runs: its badge and registration servers on the main loop.
struct Application {
    Application(const QString& group, const QString& root, std::map<QString, OVItemSyncStatus> statuses) {
        facade = std::make_shared<StatusTableFacade>(group, OVItemSyncStatus::error);
        facade->engine.statuses = std::move(statuses);
        facade->settings()->setSyncRoot(root);
        BusinessFacadeHolder::setFacadeForTesting(facade);
        ok = appServer.addSourceForNewLocalMessagePort(MessagePortProtocol::badgePortName(group)) &&
             commServer.addSourceForNewLocalMessagePort(MessagePortProtocol::registrationPortName(group));
    }
    ~Application() { BusinessFacadeHolder::setFacadeForTesting(nullptr); }
    std::shared_ptr<StatusTableFacade> facade;
    AppServer appServer;
    CommServer commServer;
    bool ok = false;
};

// What the client told its owner, as it told it.
struct Recorder {
    std::mutex mutex;
    std::vector<std::string> folders;
    std::map<std::string, std::string> badges;
    int wentAway = 0;
    int badgeCalls = 0;

    ExtensionClient::Callbacks callbacks() {
        return {[this](const std::string& folder) {
                    std::lock_guard lock(mutex);
                    folders.push_back(folder);
                },
                [this](const std::string& path, const std::string& badge) {
                    std::lock_guard lock(mutex);
                    badges[path] = badge;
                    ++badgeCalls;
                },
                [this] {
                    std::lock_guard lock(mutex);
                    ++wentAway;
                    badges.clear();
                }};
    }
    std::optional<std::string> badge(const std::string& path) {
        std::lock_guard lock(mutex);
        const auto it = badges.find(path);
        return it == badges.end() ? std::nullopt : std::optional(it->second);
    }
    template <typename F>
    auto read(F f) {
        std::lock_guard lock(mutex);
        return f();
    }
};

QString groupName() {
    static int counter = 0;
    return QStringLiteral("test.core.%1.%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

ExtensionClient::Options options(const QString& group, std::chrono::milliseconds timeout = 500ms) {
    return {group.toStdString(), {}, 100ms, timeout};
}

std::string bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

class CoreClient : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        root = home.path();
        folder = root + QStringLiteral("/Orvella");
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    QString item(const QByteArray& name) {
        const QString path = folder + u'/' + QFile::decodeName(name);
        QFile file(QFile::decodeName(QFile::encodeName(folder) + '/' + name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }
    QTemporaryDir home{QDir::tempPath() + QStringLiteral("/core-client-XXXXXX")};
    QString root, folder;
};

}  // namespace

// MARK: - Records and file URLs, against the application's own encoders

TEST(CoreRecords, TheBytesAreTheApplications) {
    const std::string paths[] = {"/srv/Orvella/a b", "/srv/Orvella/line\nbreak", "/q\"uote\\back/slash",
                                 "/%25/#/?/[x]/{y}/<z>/`^|", "/tab\t\x01\x1f\x7f", "/é/€/😀", "/", "/a:b@c;d=e&f+g$h,i'j"};
    const std::string words[] = {"synced", "selectivelyNotSynced", "odd \"word\"/\n"};
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        const QString qtPath = QString::fromStdString(path);
        const std::string url = fileUrlFromPath(path);
        EXPECT_EQ(url, QUrl::fromLocalFile(qtPath).toEncoded().toStdString());
        EXPECT_EQ(pathFromFileUrl(url), path);
        EXPECT_EQ(encodeRootDirectoryRecord({path}), RootDirectory{qtPath}.encoded().toStdString());
        EXPECT_EQ(decodeRootDirectoryRecord(RootDirectory{qtPath}.encoded().toStdString()), RootDirectoryRecord{path});
        for (const auto& word : words) {
            const URLSyncStatus qt(QString::fromStdString(url), QString::fromStdString(word));
            EXPECT_EQ(encodeStatusRecord({url, word}), qt.encoded().toStdString());
            EXPECT_EQ(decodeStatusRecord(qt.encoded().toStdString()), (StatusRecord{url, word}));
            EXPECT_TRUE(std::holds_alternative<StatusRecord>(decodePush(qt.encoded().toStdString())));
        }
    }
    // A name that is not UTF-8 keeps its bytes through the URL.
    EXPECT_EQ(fileUrlFromPath("/a\xff\xfe"), "file:///a%FF%FE");
    EXPECT_EQ(pathFromFileUrl("file:///a%ff%FE"), "/a\xff\xfe");
}

TEST(CoreRecords, AnythingButTheRecordsShapeIsRefused) {
    const std::pair<std::string, bool> statuses[] = {
        {R"( {"url" : "file:\/\/\/a", "itemStatusDescription":"synced"} )", true},
        {R"({"url":"file:///\ud83d\ude00","itemStatusDescription":"x","extra":"kept"})", true},
        {R"({"url":"file:///a"})", false},
        {R"({"url":"file:///a","itemStatusDescription":1})", false},
        {R"({"url":"file:///a","itemStatusDescription":null})", false},
        {R"({"url":"file:///a","itemStatusDescription":"x","url":"file:///b"})", false},
        {R"({"url":"file:///a","itemStatusDescription":"\ud800"})", false},
        {R"({"url":"file:///a","itemStatusDescription":"\udc00\ud800"})", false},
        {R"({"url":"file:///a","itemStatusDescription":"\x"})", false},
        {R"({"url":"file:///a","itemStatusDescription":"x"} trailing)", false},
        {R"({"url":"file:///a","itemStatusDescription":"x",})", false},
        {R"([{"url":"file:///a","itemStatusDescription":"x"}])", false},
        {"{\"url\":\"file:///a\",\"itemStatusDescription\":\"\xff\"}", false},
        {"{\"url\":\"file:///a\",\"itemStatusDescription\":\"a\nb\"}", false},
        {R"({"url":"file:///a","itemStatusDescription":"x")", false},
        {"", false},
    };
    for (const auto& [data, accepted] : statuses) {
        SCOPED_TRACE(data);
        EXPECT_EQ(decodeStatusRecord(data).has_value(), accepted);
    }
    EXPECT_EQ(decodeStatusRecord(R"({"url":"file:///\ud83d\ude00","itemStatusDescription":"x"})")->url, "file:///😀");

    const std::pair<std::string, std::optional<std::string>> urls[] = {
        {"file:///a%20b", "/a b"},          {"file://localhost/a", "/a"}, {"file://host/a", std::nullopt},
        {"http:///a", std::nullopt},        {"file:a", std::nullopt},     {"file:///a%2", std::nullopt},
        {"file:///a%zz", std::nullopt},     {"file:///a%00", std::nullopt}, {"file:///a?b", std::nullopt},
        {"file:///a#b", std::nullopt},      {"file:///a b", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& [url, path] : urls) {
        SCOPED_TRACE(url);
        EXPECT_EQ(pathFromFileUrl(url), path);
    }
    // A status whose URL names no file is not taken for a folder, nor a folder that is not absolute.
    EXPECT_TRUE(std::holds_alternative<std::monostate>(decodePush(R"({"url":"http:\/\/x","itemStatusDescription":"x"})")));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(decodePush(R"({"path":"relative"})")));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(decodePush(R"({"path":"\/a\u0000b"})")));
}

// MARK: - The client against the real application side

TEST_F(CoreClient, EveryOrderOfStartAndRestart) {
    const QString group = groupName();
    const QString spaced = item("a b"), newline = item("line\nbreak"), plain = item("plain");
    const std::string badName = bytes(folder) + "/bad\xff";
    item("bad\xff");
    Recorder recorder;
    ExtensionClient client(options(group), recorder.callbacks());

    // Before the application: nothing known, and the question waits for it.
    client.requestBadges({bytes(spaced), bytes(newline), badName, "/elsewhere/x"});
    TestEnvironment::waitUntil([] { return false; }, 300);
    EXPECT_FALSE(client.syncFolder());
    {
        Application app(group, root, {{spaced, OVItemSyncStatus::synced}, {newline, OVItemSyncStatus::syncing},
                                      {folder + QStringLiteral("/bad") + QChar(0xFFFD), OVItemSyncStatus::synced}});
        ASSERT_TRUE(app.ok);
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return recorder.badge(bytes(newline)).has_value(); }));
        EXPECT_EQ(client.syncFolder(), bytes(folder));
        EXPECT_EQ(recorder.badge(bytes(spaced)), "synced");
        EXPECT_EQ(client.cachedBadge(bytes(newline) + "/"), "syncing");
        EXPECT_FALSE(client.cachedBadge(badName)) << "a name the application cannot spell gets no other item's badge";
        EXPECT_FALSE(client.isInsideSyncFolder(bytes(folder) + "x/a"));
        EXPECT_TRUE(client.isInsideSyncFolder(bytes(folder) + "//sub/"));
        // A pushed change reaches the client; one about an item outside the folder does not.
        app.commServer.sendStatus(OVItemSyncStatus::error, spaced);
        app.commServer.sendStatus(OVItemSyncStatus::error, QStringLiteral("/elsewhere/x"));
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return recorder.badge(bytes(spaced)) == "error"; }));
        EXPECT_FALSE(client.cachedBadge("/elsewhere/x"));
    }
    // The application quits: everything it said is forgotten.
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return recorder.read([&] { return recorder.wentAway; }) == 1; }));
    EXPECT_FALSE(client.syncFolder());
    EXPECT_FALSE(client.cachedBadge(bytes(spaced)));
    client.requestBadges({bytes(plain)});

    // It comes back with other statuses: what was known and what was asked meanwhile are answered.
    Application app(group, root, {{spaced, OVItemSyncStatus::readOnly}, {newline, OVItemSyncStatus::synced},
                                  {plain, OVItemSyncStatus::ignored}});
    ASSERT_TRUE(app.ok);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] {
        return client.cachedBadge(bytes(spaced)) == "readOnly" && client.cachedBadge(bytes(newline)) == "synced" &&
               client.cachedBadge(bytes(plain)) == "ignored";
    }));
    EXPECT_EQ(recorder.read([&] { return recorder.folders; }), (std::vector<std::string>{bytes(folder), bytes(folder)}));

    // A new sign-in moves the folder: the old badges go, the new folder's items are asked for.
    const QString moved = root + QStringLiteral("/moved");
    ASSERT_TRUE(QDir().mkpath(moved));
    QFile(moved + QStringLiteral("/n")).open(QIODevice::WriteOnly);
    app.facade->engine.statuses[moved + QStringLiteral("/n")] = OVItemSyncStatus::synced;
    app.commServer.sendUpdatedRootDirectoryToExtensions(moved + u'/');
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return client.syncFolder() == bytes(moved); }));
    EXPECT_FALSE(client.cachedBadge(bytes(spaced)));
    client.requestBadges({bytes(moved + QStringLiteral("/n")), bytes(spaced)});
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return client.cachedBadge(bytes(moved + QStringLiteral("/n"))).has_value(); }));
    EXPECT_FALSE(client.cachedBadge(bytes(spaced)));
}

TEST_F(CoreClient, MalformedPushesAreIgnoredAndTheClientGoesOn) {
    const QString group = groupName();
    const QString path = item("p");
    Recorder recorder;
    ExtensionClient client(options(group), recorder.callbacks());
    Application app(group, root, {});
    ASSERT_TRUE(app.ok);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return client.syncFolder().has_value(); }));

    auto port = MessagePort::createRemote(QString::fromStdString(client.portName()));
    ASSERT_TRUE(port);
    const QByteArray pushes[] = {
        "", "not json", "{}", "[]", R"({"path":1})", R"({"path":"relative"})", "{\"path\":\"\\/a\xff\"}",
        R"({"url":"http:\/\/x\/p","itemStatusDescription":"synced"})",
        R"({"url":"file:\/\/\/p%zz","itemStatusDescription":"synced"})",
        R"({"url":"file:\/\/\/p","itemStatusDescription":"\ud800"})", QByteArray(100'000, '{'),
    };
    for (const QByteArray& push : pushes)
        EXPECT_EQ(port->sendRequest(1, push, 1.0, 1.0, true).result, MessagePortResult::success) << push.left(40).data();
    // Bytes without our header at all, straight on the socket.
    const int raw = connectToSocket(socketPath(*portsDirectory(), client.portName()), 0);
    ASSERT_GE(raw, 0);
    EXPECT_EQ(::send(raw, "junk", 4, MSG_NOSIGNAL), 4);
    ::close(raw);

    port->sendRequest(1, URLSyncStatus(QUrl::fromLocalFile(path).toEncoded(), QStringLiteral("syncing")).encoded(), 1.0,
                      1.0, false);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return client.cachedBadge(bytes(path)) == "syncing"; }));
    EXPECT_EQ(client.syncFolder(), bytes(folder));
    EXPECT_EQ(recorder.read([&] { return recorder.badgeCalls; }), 1);
}

namespace {

// Takes connections into its queue and never says a word.
class SilentPort {
public:
    explicit SilentPort(const std::string& name) : path_(socketPath(*portsDirectory(), name)) { fd_ = listenOnSocket(path_); }
    ~SilentPort() {
        ::close(fd_);
        ::unlink(path_.c_str());
    }
    bool ok() const { return fd_ >= 0; }

private:
    std::string path_;
    int fd_ = -1;
};

template <typename F>
std::chrono::milliseconds timed(F f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

}  // namespace

TEST_F(CoreClient, AnApplicationThatNeverAnswersBlocksNobody) {
    struct Row {
        const char* label;
        bool registrationAnswers;  // else the registration port is silent too
    };
    for (const Row& row : {Row{"silent registration", false}, Row{"silent badge server", true}}) {
        SCOPED_TRACE(row.label);
        const QString group = groupName();
        const QString path = item("q");
        std::optional<SilentPort> badges(badgePortName(group.toStdString()));
        std::optional<SilentPort> registration;
        std::unique_ptr<CommServer> commServer;
        auto facade = std::make_shared<StatusTableFacade>(group, OVItemSyncStatus::error);
        facade->settings()->setSyncRoot(root);
        BusinessFacadeHolder::setFacadeForTesting(facade);
        if (row.registrationAnswers) {
            commServer = std::make_unique<CommServer>();
            ASSERT_TRUE(commServer->addSourceForNewLocalMessagePort(MessagePortProtocol::registrationPortName(group)));
        } else {
            registration.emplace(registrationPortName(group.toStdString()));
        }
        ASSERT_TRUE(badges->ok());
        Recorder recorder;
        auto client = std::make_unique<ExtensionClient>(options(group, 300ms), recorder.callbacks());
        if (row.registrationAnswers) {
            ASSERT_TRUE(TestEnvironment::waitUntil([&] { return client->syncFolder().has_value(); }));
        }
        for (int i = 0; i < 3; ++i) {
            EXPECT_LT(timed([&] { client->requestBadges(std::vector<std::string>(500, bytes(path))); }), 50ms);
            EXPECT_LT(timed([&] { (void)client->cachedBadge(bytes(path)); }), 50ms);
            TestEnvironment::waitUntil([] { return false; }, 150);
        }
        EXPECT_FALSE(client->cachedBadge(bytes(path)));
        if (row.registrationAnswers) {
            // The badge server comes to life: the queries given up on do not hold up the next ones.
            badges.reset();
            facade->engine.statuses[path] = OVItemSyncStatus::synced;
            AppServer appServer;
            ASSERT_TRUE(appServer.addSourceForNewLocalMessagePort(MessagePortProtocol::badgePortName(group)));
            client->requestBadges({bytes(path)});
            EXPECT_TRUE(TestEnvironment::waitUntil([&] { return client->cachedBadge(bytes(path)) == "synced"; }));
        }
        EXPECT_LT(timed([&] { client.reset(); }), 300ms);
        BusinessFacadeHolder::setFacadeForTesting(nullptr);
    }
}
