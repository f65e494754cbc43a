#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <mutex>
#include <vector>

#include <thread>
#include <QEventLoop>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "app/sync/support/StatusTableFacade.h"
#include "app/common/LogChannels.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/sync/AppServer.h"
#include "app/sync/CommServer.h"
#include "app/sync/FinderSyncInstance.h"
#include "frameworks/logger/LogEntry.h"
#include "frameworks/logger/Logger.h"
#include "frameworks/sync/SyncFacade.h"
#include "platform/messageport/MessagePort.h"
#include "protocol/MessagePortProtocol.h"
#include "support/TestEnvironment.h"

namespace {

class FinderSyncLog {
public:
    FinderSyncLog() {
        Logger::setConsoleOutputEnabled(false);
        saved_ = AppLog::finderSync().verbosity();
        AppLog::finderSync().setVerbosity(LogVerbosity::debug);
        sink_ = Logger::addSink([this](const LogEntry& entry) {
            if (entry.channel != AppLog::finderSync().name()) return;
            std::lock_guard lock(mutex_);
            lines_ << entry.message;
        });
    }
    ~FinderSyncLog() {
        Logger::removeSink(sink_);
        AppLog::finderSync().setVerbosity(saved_);
    }
    QStringList lines() {
        Logger::flush();
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    int saved_;
    Logger::SinkId sink_;
    std::mutex mutex_;
    QStringList lines_;
};

// An extension instance: its own port, which counts the pushes it takes.
struct Extension {
    explicit Extension(const QString& name) : name(name) {
        port = MessagePort::createLocal(name, [this](std::int32_t, const QByteArray& data) -> std::optional<QByteArray> {
            std::lock_guard lock(mutex);
            pushes << data;
            return std::nullopt;
        });
    }
    QList<QByteArray> received() {
        std::lock_guard lock(mutex);
        return pushes;
    }
    QString name;
    std::shared_ptr<MessagePort> port;
    std::mutex mutex;
    QList<QByteArray> pushes;
};

// Asks a port from another thread while the main loop serves, as an extension process would.
MessagePortReply ask(const QString& portName, const QByteArray& data,
                     double receiveTimeout = MessagePortProtocol::receiveTimeout) {
    auto future = std::async(std::launch::async, [&] {
        auto port = MessagePort::createRemote(portName);
        if (!port) return MessagePortReply{MessagePortResult::isInvalid, std::nullopt};
        return port->sendRequest(MessagePortProtocol::messageId, data, MessagePortProtocol::sendTimeout,
                                 receiveTimeout, true);
    });
    TestEnvironment::waitUntil([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    return future.get();
}

// A port whose owner never takes a connection, with its queue of new connections full.
class StuckPort {
public:
    explicit StuckPort(const QString& name) : path_(QFile::encodeName(*MessagePort::portsDirectory() + u'/' + name + QStringLiteral(".sock"))) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", path_.constData());
        const auto* raw = reinterpret_cast<const sockaddr*>(&address);
        listenFd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        if (::bind(listenFd_, raw, sizeof(address)) != 0 || ::listen(listenFd_, 0) != 0) return;
        for (int i = 0; i < 64; ++i) {
            const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (::connect(fd, raw, sizeof(address)) != 0) {
                full_ = errno == EAGAIN;
                ::close(fd);
                break;
            }
            queued_.push_back(fd);
        }
    }
    ~StuckPort() {
        for (const int fd : queued_) ::close(fd);
        ::close(listenFd_);
        ::unlink(path_.constData());
    }
    bool isFull() const { return full_; }

private:
    QByteArray path_;
    int listenFd_ = -1;
    std::vector<int> queued_;
    bool full_ = false;
};

void settle(int ms = 100) { TestEnvironment::waitUntil([] { return false; }, ms); }

class MessagePortServers : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        group = QStringLiteral("test.ports.%1.%2").arg(QCoreApplication::applicationPid()).arg(++counter);
        facade = std::make_shared<StatusTableFacade>(group, OVItemSyncStatus::error);
        BusinessFacadeHolder::setFacadeForTesting(facade);
        facade->settings()->setSyncRoot(QStringLiteral("/srv/home"));
        ASSERT_TRUE(appServer.addSourceForNewLocalMessagePort(MessagePortProtocol::badgePortName(group)));
        ASSERT_TRUE(commServer.addSourceForNewLocalMessagePort(MessagePortProtocol::registrationPortName(group)));
    }
    void TearDown() override { BusinessFacadeHolder::setFacadeForTesting(nullptr); }

    MessagePortReply registerExtension(const QString& name) {
        return ask(MessagePortProtocol::registrationPortName(group), name.toUtf8());
    }

    QString group;
    std::shared_ptr<StatusTableFacade> facade;
    AppServer appServer;
    CommServer commServer;
};

}  // namespace

// MARK: - Badge words

TEST(ServerTest, BadgeWordsFollowTheStatusOrder) {
    const std::pair<int, const char*> rows[] = {{0, "error"},   {1, "readOnly"},
                                                {2, "syncing"}, {3, "synced"},
                                                {4, "selectivelyNotSynced"}, {5, "ignored"},
                                                {6, "readOnly"}, {-1, "readOnly"}};
    for (const auto& [raw, word] : rows) {
        SCOPED_TRACE(raw);
        EXPECT_EQ(Server::badgeWord(static_cast<OVItemSyncStatus>(raw)), QString::fromUtf8(word));
    }
}

// MARK: - Registration

TEST_F(MessagePortServers, RegistrationRepliesWithTheSyncFolderOrNothing) {
    Extension served(group + QStringLiteral(".aaaaaaa"));
    ASSERT_TRUE(served.port);
    struct Row {
        const char* label;
        QByteArray payload;
        bool syncRootSet;
        std::optional<QByteArray> reply;
        std::size_t registered;
    };
    const Row rows[] = {
        {"payload not UTF-8", QByteArray("\xff\xfe", 2), true, std::nullopt, 0},
        {"nobody serves the name", (group + QStringLiteral(".zzzzzzz")).toUtf8(), true, std::nullopt, 0},
        {"a name outside the folder", QByteArray("../x"), true, std::nullopt, 0},
        {"no sync folder", served.name.toUtf8(), false, std::nullopt, 0},
        {"accepted", served.name.toUtf8(), true, QByteArray("/srv/home/Orvella"), 1},
        {"again under the same name", served.name.toUtf8(), true, QByteArray("/srv/home/Orvella"), 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        facade->settings()->setSyncRoot(row.syncRootSet ? std::optional<QString>(QStringLiteral("/srv/home")) : std::nullopt);
        const auto reply = ask(MessagePortProtocol::registrationPortName(group), row.payload);
        EXPECT_EQ(reply.result, MessagePortResult::success);
        EXPECT_EQ(reply.data, row.reply);
        EXPECT_EQ(commServer.registeredSyncExtensions().size(), row.registered);
    }
}

TEST_F(MessagePortServers, ARegistrationWhosePortNeverAcceptsLeavesTheMainThreadServing) {
    StuckPort stuck(group + QStringLiteral(".stuck00"));
    ASSERT_TRUE(stuck.isFull());
    QTemporaryDir folder;  // a badge is only asked for what is there
    QFile item(folder.filePath(QStringLiteral("a")));
    ASSERT_TRUE(item.open(QIODevice::WriteOnly));
    facade->engine.statuses = {{item.fileName(), OVItemSyncStatus::synced}};
    auto registration = MessagePort::createRemote(MessagePortProtocol::registrationPortName(group));
    ASSERT_TRUE(registration);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(registration->sendRequest(MessagePortProtocol::messageId, (group + QStringLiteral(".stuck00")).toUtf8(),
                                            1.0, 1.0, false).result,
                  MessagePortResult::success);
    settle(50);
    const auto badge = ask(MessagePortProtocol::badgePortName(group), QUrl::fromLocalFile(item.fileName()).toEncoded(), 0.5);
    EXPECT_EQ(badge.result, MessagePortResult::success) << "a badge query is answered while registrations wait";
    EXPECT_EQ(badge.data, QByteArray("synced"));

    const auto reply = ask(MessagePortProtocol::registrationPortName(group), (group + QStringLiteral(".stuck00")).toUtf8(), 5.0);
    EXPECT_EQ(reply.result, MessagePortResult::success);
    EXPECT_EQ(reply.data, std::nullopt);
    EXPECT_TRUE(commServer.registeredSyncExtensions().empty());
}

TEST_F(MessagePortServers, TwoRegistrationsOfOnePortGetEveryPushOnce) {
    FinderSyncLog log;
    Extension one(group + QStringLiteral(".one1111"));
    Extension two(group + QStringLiteral(".two2222"));
    for (const Extension* extension : {&one, &one, &two}) ASSERT_TRUE(registerExtension(extension->name).data);
    EXPECT_EQ(commServer.registeredSyncExtensions().size(), 2u);
    EXPECT_TRUE(log.lines().contains(QStringLiteral("Registered Finder Sync Extension with message port: \"") + one.name +
                                     QStringLiteral("\".")));

    commServer.sendStatus(OVItemSyncStatus::selectivelyNotSynced, QStringLiteral("/srv/home/Orvella/a b"));
    commServer.sendUpdatedRootDirectoryToExtensions(QStringLiteral("/new/Orvella"));
    commServer.waitForPendingPushes();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return one.received().size() >= 2 && two.received().size() >= 2; }));
    settle();
    const QList<QByteArray> expected = {
        R"({"itemStatusDescription":"selectivelyNotSynced","url":"file:\/\/\/srv\/home\/Orvella\/a%20b"})",
        R"({"path":"\/new\/Orvella"})"};
    EXPECT_EQ(one.received(), expected);
    EXPECT_EQ(two.received(), expected);
}

TEST_F(MessagePortServers, PushDropsInstancesThatWentAwayBeforeSending) {
    FinderSyncLog log;
    Extension gone(group + QStringLiteral(".aGone00"));
    Extension live(group + QStringLiteral(".bLive00"));
    ASSERT_TRUE(registerExtension(gone.name).data);
    ASSERT_TRUE(registerExtension(live.name).data);
    gone.port.reset();
    settle();
    commServer.sendStatus(OVItemSyncStatus::synced, QStringLiteral("/srv/home/Orvella/x"));
    commServer.waitForPendingPushes();
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return live.received().size() == 1; }));
    ASSERT_EQ(commServer.registeredSyncExtensions().size(), 1u);
    EXPECT_EQ(commServer.registeredSyncExtensions().front()->messagePortName(), live.name);
    EXPECT_TRUE(log.lines().filter(QStringLiteral("Result error")).isEmpty()) << "a dropped instance is not a failure";
}

// An extension whose process stopped reading must cost the others no update, and must not slow
// every later status change by the send time-out.
TEST_F(MessagePortServers, AStalledExtensionMissesPushesAloneAndIsDroppedAfterRepeatedFailures) {
    FinderSyncLog log;
    Extension live(group + QStringLiteral(".bLive00"));
    // Served on a thread of its own, which is then held, as a hung file manager would be.
    std::promise<void> release;
    std::promise<QEventLoop*> started;
    std::thread stalledThread([&, name = group + QStringLiteral(".aStall0")] {
        QEventLoop loop;
        Extension stalled(name);
        started.set_value(&loop);
        loop.exec();
    });
    QEventLoop* stalledLoop = started.get_future().get();
    ASSERT_TRUE(registerExtension(group + QStringLiteral(".aStall0")).data);
    ASSERT_TRUE(registerExtension(live.name).data);
    auto released = release.get_future().share();
    QMetaObject::invokeMethod(stalledLoop, [released] { released.wait(); });

    const QByteArray chunk(64 * 1024, 'p');
    int sent = 0;
    auto pushes = std::async(std::launch::async, [&] {
        for (; sent < 64 && commServer.registeredSyncExtensions().size() == 2; ++sent)
            commServer.sendDataToExtensions(chunk + QByteArray::number(sent));
    });
    EXPECT_TRUE(TestEnvironment::waitUntil(
        [&] { return pushes.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 20'000));
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return int(live.received().size()) == sent; }));
    EXPECT_EQ(live.received().size(), sent) << "every push reached the extension that reads";
    EXPECT_EQ(log.lines().filter(QStringLiteral("Result error")).size(), CommServer::maximumFailedPushes);
    ASSERT_EQ(commServer.registeredSyncExtensions().size(), 1u);
    EXPECT_EQ(commServer.registeredSyncExtensions().front()->messagePortName(), live.name);

    release.set_value();
    QMetaObject::invokeMethod(stalledLoop, [stalledLoop] { stalledLoop->quit(); });
    stalledThread.join();
}

// Each registered instance holds a descriptor: a process registering names by the hundred must
// not exhaust them, and instances that went away make room before live ones do.
TEST_F(MessagePortServers, RegistrationsBeyondTheCapDropTheDeadFirstThenTheOldest) {
    const std::size_t cap = CommServer::maximumRegistrations;
    const auto nameOf = [&](const char* kind, std::size_t i) {
        return group + QStringLiteral(".%1%2").arg(QLatin1String(kind)).arg(i, 4, 10, QLatin1Char('0'));
    };
    const auto registered = [&] {
        QStringList names;
        for (const auto& instance : commServer.registeredSyncExtensions()) names << instance->messagePortName();
        return names;
    };
    const auto openDescriptors = [] {
        return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size();
    };
    std::vector<std::unique_ptr<Extension>> extensions;
    const auto serveAndRegister = [&](const QString& name) {
        extensions.push_back(std::make_unique<Extension>(name));
        EXPECT_TRUE(extensions.back()->port);
        EXPECT_EQ(registerExtension(name).data, QByteArray("/srv/home/Orvella")) << name.toStdString();
        return extensions.back().get();
    };
    for (std::size_t i = 0; i + 1 < cap; ++i) {
        serveAndRegister(nameOf("live", i));
        if (i == cap / 2) serveAndRegister(nameOf("dead", 0));
    }
    ASSERT_EQ(registered().size(), cap);
    Extension* dead = extensions.at(cap / 2 + 1).get();
    ASSERT_EQ(dead->name, nameOf("dead", 0));
    dead->port.reset();
    settle();

    struct Row {
        const char* label;
        QString registering;
        QString dropped;  // none when empty
    };
    const Row rows[] = {
        {"an instance that went away makes room", nameOf("new", 1), nameOf("dead", 0)},
        {"then the longest registered", nameOf("new", 2), nameOf("live", 0)},
        {"a registered name again replaces its entry", nameOf("live", 5), QString()},
        {"which then counts as registered last", nameOf("new", 3), nameOf("live", 1)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        if (row.registering.contains(QStringLiteral(".new"))) {
            serveAndRegister(row.registering);
        } else {
            EXPECT_EQ(registerExtension(row.registering).data, QByteArray("/srv/home/Orvella"));
        }
        const QStringList names = registered();
        EXPECT_EQ(std::size_t(names.size()), cap);
        EXPECT_TRUE(names.contains(row.registering));
        EXPECT_TRUE(row.dropped.isEmpty() || !names.contains(row.dropped)) << row.dropped.toStdString();
    }

    // Instances that register and go away, by the hundred, with no push to weed them out.
    const qsizetype before = openDescriptors();
    for (std::size_t i = 0; i < 3 * cap; ++i) {
        Extension gone(nameOf("gone", i));
        ASSERT_TRUE(gone.port);
        ASSERT_EQ(registerExtension(gone.name).data, QByteArray("/srv/home/Orvella"));
    }
    settle();
    EXPECT_LE(openDescriptors(), before + 4);
    EXPECT_LE(registered().size(), cap);
    EXPECT_TRUE(registered().contains(nameOf("live", 5))) << "live instances outlast the ones that went away";
}

TEST_F(MessagePortServers, NoPushWithoutRegisteredInstances) {
    FinderSyncLog log;
    commServer.sendUpdatedRootDirectoryToExtensions(QStringLiteral("/x"));
    commServer.waitForPendingPushes();
    EXPECT_TRUE(log.lines().isEmpty());
}

// MARK: - Badge queries

TEST_F(MessagePortServers, BadgeQueriesAreAnsweredFromTheEngine) {
    FinderSyncLog log;
    QTemporaryDir folder;
    const auto item = [&](const char* name) { return folder.filePath(QString::fromUtf8(name)); };
    const auto url = [&](const char* name) { return QUrl::fromLocalFile(item(name)).toEncoded(); };
    for (const char* name : {"a b.txt", "big", "ro", "new"}) {
        QFile file(item(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    facade->engine.statuses = {{item("a b.txt"), OVItemSyncStatus::syncing},
                               {item("big"), OVItemSyncStatus::selectivelyNotSynced},
                               {item("ro"), OVItemSyncStatus::readOnly},
                               {item("gone"), OVItemSyncStatus::syncing}};
    struct Row {
        const char* label;
        QByteArray payload;
        bool engineSetUp;
        std::optional<QByteArray> reply;
    };
    const Row rows[] = {
        {"encoded file URL", url("a b.txt"), true, QByteArray("syncing")},
        {"selectively not synced", url("big"), true, QByteArray("selectivelyNotSynced")},
        {"read only", url("ro"), true, QByteArray("readOnly")},
        {"unknown to the engine", url("new"), true, QByteArray("error")},
        // Nothing at the path: no badge, whatever the engine would say.
        {"does not exist", url("gone"), true, std::nullopt},
        {"not a URL", "%zz", true, std::nullopt},
        {"not a file URL", "https://example.invalid/a", true, std::nullopt},
        {"empty", "", true, std::nullopt},
        {"engine not set up", url("big"), false, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        facade->engineSetUp = row.engineSetUp;
        const auto reply = ask(MessagePortProtocol::badgePortName(group), row.payload);
        EXPECT_EQ(reply.result, MessagePortResult::success);
        EXPECT_EQ(reply.data, row.reply);
    }
    EXPECT_TRUE(log.lines().contains(QStringLiteral("Sync Framework returned item status \"syncing\" for URL \"") +
                                     QString::fromUtf8(url("a b.txt")) + QStringLiteral("\".")));
}

TEST_F(MessagePortServers, APortThatCannotBeCreatedIsLogged) {
    FinderSyncLog log;
    AppServer second;
    EXPECT_FALSE(second.addSourceForNewLocalMessagePort(MessagePortProtocol::badgePortName(group)));
    EXPECT_FALSE(second.hasMessagePort());
    EXPECT_TRUE(log.lines().contains(QStringLiteral("Cannot create message port.")));
}
