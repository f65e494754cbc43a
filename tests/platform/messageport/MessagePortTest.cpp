#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/messageport/MessagePort.h"
#include "support/TestEnvironment.h"

namespace {

QString uniqueName(const char* hint) {
    static int counter = 0;
    return QStringLiteral("test.%1.%2.%3").arg(QString::fromUtf8(hint)).arg(QCoreApplication::applicationPid()).arg(++counter);
}

QString socketPath(const QString& name) { return *MessagePort::portsDirectory() + u'/' + name + QStringLiteral(".sock"); }

// A peer process serving or watching a port.
class Peer {
public:
    Peer(const QString& mode, const QString& name, const QStringList& more = {}) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(MESSAGEPORT_TEST_PEER), QStringList{mode, name} + more);
    }
    ~Peer() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
    // The next line the peer prints, without its end of line.
    QByteArray line(int timeoutMs = 5000) {
        QElapsedTimer timer;
        timer.start();
        while (!process_.canReadLine() && timer.elapsed() < timeoutMs) process_.waitForReadyRead(50);
        return process_.readLine().trimmed();
    }
    void kill() {
        process_.kill();
        process_.waitForFinished(2000);
    }
    // Sends a command and answers the peer's reply, running this thread's event loop meanwhile
    // (for a peer that talks to a port served here).
    QByteArray ask(const QByteArray& command, int timeoutMs = 5000) {
        process_.write(command + '\n');
        TestEnvironment::waitUntil([&] { return process_.canReadLine(); }, timeoutMs);
        return process_.readLine().trimmed();
    }
    // The next line, running this thread's event loop meanwhile.
    QByteArray lineWhileServing(int timeoutMs = 5000) {
        TestEnvironment::waitUntil([&] { return process_.canReadLine(); }, timeoutMs);
        return process_.readLine().trimmed();
    }

private:
    QProcess process_;
};

// Narrows the limits of the ports a test creates, and restores them.
class LimitsScope {
public:
    explicit LimitsScope(const std::function<void(MessagePort::Limits&)>& change) : saved_(MessagePort::defaultLimits()) {
        MessagePort::Limits limits = saved_;
        change(limits);
        MessagePort::setDefaultLimits(limits);
    }
    ~LimitsScope() { MessagePort::setDefaultLimits(saved_); }

private:
    MessagePort::Limits saved_;
};

// A connection to the port that never sends anything.
int rawConnection(const QString& name) {
    const QByteArray path = QFile::encodeName(socketPath(name));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", path.constData());
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The arguments of a flood peer: that many connections, which each ask once (speak) or never.
QStringList floodOf(int connections, bool speak) {
    QStringList arguments{QString::number(connections)};
    if (speak) arguments << QStringLiteral("speak");
    return arguments;
}

bool hungUp(int fd) {
    pollfd p{fd, 0, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR));
}

// Runs a request off the main thread while the main loop keeps serving, as a second process would.
MessagePortReply requestFromThread(const std::shared_ptr<MessagePort>& port, const QByteArray& data,
                                   double receiveTimeout = 1.0) {
    auto future = std::async(std::launch::async, [&] { return port->sendRequest(1, data, 1.0, receiveTimeout, true); });
    TestEnvironment::waitUntil([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    return future.get();
}

}  // namespace

// MARK: - Requests and replies with a server in another process

class ServedPort : public ::testing::Test {
protected:
    void SetUp() override {
        name = uniqueName("served");
        peer = std::make_unique<Peer>(QStringLiteral("serve"), name);
        ASSERT_EQ(peer->line(), "ready");
        port = MessagePort::createRemote(name);
        ASSERT_TRUE(port);
    }
    QString name;
    std::unique_ptr<Peer> peer;
    std::shared_ptr<MessagePort> port;
};

TEST_F(ServedPort, RepliesKeepNoDataAndEmptyDataApart) {
    struct Row {
        const char* label;
        std::int32_t id;
        QByteArray payload;
        bool wantReply;
        std::int32_t result;
        std::optional<QByteArray> reply;
    };
    const QByteArray large(MessagePort::maximumPayloadSize - 10, 'x');
    const Row rows[] = {
        {"echo with its id", 7, "hello", true, MessagePortResult::success, QByteArray("7:hello")},
        {"negative id", -3, "x", true, MessagePortResult::success, QByteArray("-3:x")},
        {"empty request", 1, QByteArray(), true, MessagePortResult::success, QByteArray("1:")},
        {"server answers none", 1, "none", true, MessagePortResult::success, std::nullopt},
        {"server answers empty", 1, "empty", true, MessagePortResult::success, QByteArray("")},
        {"one-way send", 1, "hello", false, MessagePortResult::success, std::nullopt},
        {"largest payload", 2, large, true, MessagePortResult::success, QByteArray("2:") + large.left(MessagePort::maximumPayloadSize - 2)},
        {"oversized payload", 1, QByteArray(MessagePort::maximumPayloadSize + 1, 'y'), true,
         MessagePortResult::transportError, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const auto reply = port->sendRequest(row.id, row.payload, 1.0, 1.0, row.wantReply);
        EXPECT_EQ(reply.result, row.result);
        ASSERT_EQ(reply.data.has_value(), row.reply.has_value());
        if (row.reply) {
            EXPECT_EQ(reply.data->size(), row.reply->size());
            EXPECT_TRUE(*reply.data == *row.reply);
            EXPECT_FALSE(reply.data->isNull() && !row.reply->isNull());
        }
    }
    EXPECT_TRUE(port->isValid());
}

TEST_F(ServedPort, ReceiveTimeoutThenALateAnswerIsNotTakenForTheNextOne) {
    QElapsedTimer timer;
    timer.start();
    const auto slow = port->sendRequest(1, "sleep:600", 1.0, 0.2, true);
    EXPECT_EQ(slow.result, MessagePortResult::receiveTimeout);
    EXPECT_FALSE(slow.data);
    EXPECT_GE(timer.elapsed(), 190);
    EXPECT_LT(timer.elapsed(), 550);
    const auto next = port->sendRequest(5, "after", 1.0, 2.0, true);
    EXPECT_EQ(next.result, MessagePortResult::success);
    EXPECT_EQ(next.data.value_or("<none>"), QByteArray("5:after"));
}

TEST_F(ServedPort, SendTimeoutWhileTheServerDoesNotRead) {
    ASSERT_EQ(port->sendRequest(1, "sleep:1500", 1.0, 1.0, false).result, MessagePortResult::success);
    const QByteArray chunk(64 * 1024, 'z');
    std::int32_t last = MessagePortResult::success;
    qint64 lastElapsed = 0;
    for (int i = 0; i < 200 && last == MessagePortResult::success; ++i) {
        QElapsedTimer timer;
        timer.start();
        last = port->sendRequest(1, chunk, 0.1, 0.1, false).result;
        lastElapsed = timer.elapsed();
    }
    EXPECT_EQ(last, MessagePortResult::sendTimeout);
    EXPECT_GE(lastElapsed, 95);
    EXPECT_TRUE(port->isValid());
}

TEST_F(ServedPort, PeerKilledInvalidatesTheRemotePort) {
    std::atomic<int> invalidations = 0;
    port->setInvalidationCallback([&] { ++invalidations; });
    auto inFlight = std::async(std::launch::async, [&] { return port->sendRequest(1, "sleep:5000", 1.0, 4.0, true); });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    peer->kill();
    EXPECT_EQ(inFlight.get().result, MessagePortResult::becameInvalid);
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return invalidations == 1; }, 3000));
    EXPECT_FALSE(port->isValid());
    EXPECT_EQ(port->sendRequest(1, "hello", 1.0, 1.0, true).result, MessagePortResult::isInvalid);
    TestEnvironment::waitUntil([] { return false; }, 100);
    EXPECT_EQ(invalidations, 1) << "the callback runs once";
}

TEST_F(ServedPort, KilledOwnerIsNoticedWithoutACallback) {
    peer->kill();
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return !port->isValid(); }, 3000));
    EXPECT_EQ(port->sendRequest(1, "hello", 1.0, 1.0, true).result, MessagePortResult::isInvalid);
}

// MARK: - Names, ownership and stale sockets

TEST(MessagePortNames, OnlyNamesThatStayInTheFolder) {
    struct Row {
        QString name;
        bool valid;
    };
    const Row rows[] = {
        {QStringLiteral("group.fsereg"), true},
        {QStringLiteral(".fseserver"), true},
        {QStringLiteral("group.aZ09xyQ"), true},
        {QString(MessagePort::maximumNameLength, u'a'), true},
        {QString(MessagePort::maximumNameLength + 1, u'a'), false},
        {QString(), false},
        {QStringLiteral("a/b"), false},
        {QStringLiteral("/etc/passwd"), false},
        {QStringLiteral(".."), false},
        {QStringLiteral("a..b"), false},
        {QStringLiteral("line\nbreak"), false},
        {QStringLiteral("nul") + QChar(u'\0'), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name.toStdString());
        EXPECT_EQ(MessagePort::isValidName(row.name), row.valid);
        if (!row.valid) {
            EXPECT_FALSE(MessagePort::createLocal(row.name, [](std::int32_t, const QByteArray&) { return std::nullopt; }));
            EXPECT_FALSE(MessagePort::createRemote(row.name));
        }
    }
}

TEST(MessagePortOwnership, ANameServedByALiveProcessCannotBeTaken) {
    const QString name = uniqueName("live");
    Peer peer(QStringLiteral("serve"), name);
    ASSERT_EQ(peer.line(), "ready");
    EXPECT_FALSE(MessagePort::createLocal(name, [](std::int32_t, const QByteArray&) { return std::nullopt; }));
    Peer second(QStringLiteral("serve"), name);
    EXPECT_EQ(second.line(), "failed");
    auto remote = MessagePort::createRemote(name);
    ASSERT_TRUE(remote);
    EXPECT_EQ(remote->sendRequest(1, "still", 1.0, 1.0, true).data.value_or("<none>"), QByteArray("1:still"));
}

TEST(MessagePortOwnership, StaleSocketOfAKilledProcessIsReplacedNeverTrusted) {
    const QString name = uniqueName("stale");
    {
        Peer peer(QStringLiteral("serve"), name);
        ASSERT_EQ(peer.line(), "ready");
        peer.kill();
    }
    ASSERT_TRUE(QFileInfo::exists(socketPath(name))) << "a killed process leaves its socket";
    EXPECT_FALSE(MessagePort::createRemote(name)) << "nobody answers on a stale socket";

    auto local = MessagePort::createLocal(name, [](std::int32_t, const QByteArray& data) -> std::optional<QByteArray> {
        return QByteArray("new:") + data;
    });
    ASSERT_TRUE(local);
    auto remote = MessagePort::createRemote(name);
    ASSERT_TRUE(remote);
    EXPECT_EQ(requestFromThread(remote, "x").data.value_or("<none>"), QByteArray("new:x"));
}

// Names with a random part are never taken again: their owners' locks must not pile up. A lock
// goes with its owner, or, when the owner was killed, at the next port opened; a held one stays.
TEST(MessagePortOwnership, LocksGoWithTheirOwnersAndStaleOnesAtTheNextStart) {
    const auto answer = [](std::int32_t, const QByteArray& data) -> std::optional<QByteArray> { return data; };
    const auto lockPath = [](const QString& name) { return *MessagePort::portsDirectory() + u'/' + name + QStringLiteral(".lock"); };
    std::vector<std::unique_ptr<Peer>> peers;
    std::vector<std::shared_ptr<MessagePort>> held;
    struct Row {
        const char* label;
        std::function<QString()> prepare;  // the name it leaves behind
        bool lockStays;
    };
    const Row rows[] = {
        {"owner killed", [&] {
             const QString name = uniqueName("killed");
             peers.push_back(std::make_unique<Peer>(QStringLiteral("serve"), name));
             EXPECT_EQ(peers.back()->line(), "ready");
             peers.back()->kill();
             EXPECT_TRUE(QFileInfo::exists(lockPath(name)));
             return name;
         }, false},
        {"owner alive in another process", [&] {
             const QString name = uniqueName("alive");
             peers.push_back(std::make_unique<Peer>(QStringLiteral("serve"), name));
             EXPECT_EQ(peers.back()->line(), "ready");
             return name;
         }, true},
        {"owner alive here", [&] {
             const QString name = uniqueName("here");
             held.push_back(MessagePort::createLocal(name, answer));
             EXPECT_TRUE(held.back());
             return name;
         }, true},
        {"owner released its port", [&] {
             const QString name = uniqueName("released");
             EXPECT_TRUE(MessagePort::createLocal(name, answer));
             EXPECT_FALSE(QFileInfo::exists(lockPath(name))) << "gone with its owner";
             return name;
         }, false},
    };
    std::vector<QString> names;
    for (const auto& row : rows) names.push_back(row.prepare());
    auto next = MessagePort::createLocal(uniqueName("next"), answer);
    ASSERT_TRUE(next);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].label);
        EXPECT_EQ(QFileInfo::exists(lockPath(names[i])), rows[i].lockStays);
        EXPECT_EQ(QFileInfo::exists(socketPath(names[i])), rows[i].lockStays);
        if (rows[i].lockStays) {
            EXPECT_FALSE(MessagePort::createLocal(names[i], answer)) << "still served";
            auto remote = MessagePort::createRemote(names[i]);
            ASSERT_TRUE(remote);
            EXPECT_TRUE(remote->isValid());
        }
    }
    held.clear();
    EXPECT_FALSE(QFileInfo::exists(lockPath(names[2])));
}

TEST(MessagePortOwnership, ReleasedLocalPortInvalidatesRemotesAndFreesTheName) {
    const QString name = uniqueName("released");
    const auto answer = [](std::int32_t, const QByteArray&) -> std::optional<QByteArray> { return QByteArray("ok"); };
    auto local = MessagePort::createLocal(name, answer);
    ASSERT_TRUE(local);
    EXPECT_FALSE(MessagePort::createLocal(name, answer)) << "one owner per name, also within a process";
    EXPECT_EQ(local->sendRequest(1, "x", 1.0, 1.0, true).result, MessagePortResult::isInvalid) << "no requests on a local port";

    auto remote = MessagePort::createRemote(name);
    ASSERT_TRUE(remote);
    int invalidations = 0;
    remote->setInvalidationCallback([&] { ++invalidations; });
    local.reset();
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return invalidations == 1; }, 3000));
    EXPECT_FALSE(remote->isValid());
    EXPECT_FALSE(QFileInfo::exists(socketPath(name)));

    auto again = MessagePort::createLocal(name, answer);
    EXPECT_TRUE(again);
    int lateInvalidations = 0;
    remote->setInvalidationCallback([&] { ++lateInvalidations; });
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return lateInvalidations == 1; }, 1000))
        << "a callback set on an invalid port runs all the same";
}

TEST(MessagePortOwnership, WatcherInAnotherProcessLearnsOfTheOwnersEnd) {
    const QString name = uniqueName("watched");
    auto local = MessagePort::createLocal(name, [](std::int32_t, const QByteArray&) { return std::nullopt; });
    ASSERT_TRUE(local);
    Peer watcher(QStringLiteral("watch"), name);
    // The watcher connects while the main loop accepts.
    QByteArray first;
    ASSERT_TRUE(TestEnvironment::waitUntil([&] {
        if (first.isEmpty()) first = watcher.line(10);
        return !first.isEmpty();
    }));
    EXPECT_EQ(first, "connected");
    TestEnvironment::waitUntil([] { return false; }, 100);
    local->invalidate();
    EXPECT_FALSE(local->isValid());
    QByteArray next;
    EXPECT_TRUE(TestEnvironment::waitUntil([&] {
        if (next.isEmpty()) next = watcher.line(10);
        return !next.isEmpty();
    }));
    EXPECT_EQ(next, "invalidated");
}

// MARK: - The ports folder

TEST(MessagePortFolder, RefusedUnlessOnlyTheUserCanEnterIt) {
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/ports-runtime-XXXXXX"));
    ASSERT_TRUE(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const QString folder = runtime.path() + QStringLiteral("/orvella-ports");
    const auto answer = [](std::int32_t, const QByteArray&) { return std::optional<QByteArray>(); };

    struct Row {
        const char* label;
        std::function<void()> prepare;
        bool accepted;
    };
    const Row rows[] = {
        {"created when missing", [&] {}, true},
        {"readable by the group", [&] { ::chmod(QFile::encodeName(folder).constData(), 0750); }, false},
        {"open to everyone", [&] { ::chmod(QFile::encodeName(folder).constData(), 0777); }, false},
        {"private again", [&] { ::chmod(QFile::encodeName(folder).constData(), 0700); }, true},
        {"a symbolic link", [&] {
             QDir(folder).removeRecursively();
             QDir().mkpath(runtime.path() + QStringLiteral("/elsewhere"));
             ::chmod(QFile::encodeName(runtime.path() + QStringLiteral("/elsewhere")).constData(), 0700);
             QFile::link(runtime.path() + QStringLiteral("/elsewhere"), folder);
         }, false},
        {"a plain file", [&] {
             QFile::remove(folder);
             QFile file(folder);
             (void)file.open(QIODevice::WriteOnly);
         }, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        row.prepare();
        QString error;
        EXPECT_EQ(MessagePort::portsDirectory(&error).has_value(), row.accepted) << error.toStdString();
        auto port = MessagePort::createLocal(uniqueName("folder"), answer);
        EXPECT_EQ(bool(port), row.accepted);
        if (row.accepted) {
            struct stat info;
            ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0700u);
        } else {
            EXPECT_FALSE(error.isEmpty());
        }
    }
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
}

// MARK: - Answers given later

TEST(MessagePortAnswers, AnAnswerGivenLaterReachesItsOwnRequesterOnce) {
    const QString name = uniqueName("deferred");
    auto local = MessagePort::createLocal(name, [](std::int32_t, const QByteArray& data, MessagePort::Responder respond) {
        if (data == "later") {
            std::thread([respond] {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                respond(QByteArray("late"));
            }).detach();
        } else if (data == "twice") {
            respond(QByteArray("first"));
            respond(QByteArray("second"));
        } else if (data != "never") {
            respond(data);
        }
    });
    ASSERT_TRUE(local);
    auto remote = MessagePort::createRemote(name);
    ASSERT_TRUE(remote);
    struct Row {
        const char* request;
        std::int32_t result;
        std::optional<QByteArray> reply;
    };
    const Row rows[] = {
        {"later", MessagePortResult::success, QByteArray("late")},
        {"never", MessagePortResult::receiveTimeout, std::nullopt},
        {"twice", MessagePortResult::success, QByteArray("first")},
        {"echo", MessagePortResult::success, QByteArray("echo")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.request);
        const auto reply = requestFromThread(remote, row.request, 0.3);
        EXPECT_EQ(reply.result, row.result);
        EXPECT_EQ(reply.data, row.reply);
    }
}

// Many requests travel at once: every answer still reaches its own request when the server answers
// some after later ones, and one never answered holds up nothing but itself.
TEST(MessagePortAnswers, ManyRequestsAtOnceEachGetTheirOwnAnswer) {
    const QString name = uniqueName("pipelined");
    int count = 0;
    auto local = MessagePort::createLocal(name, [&](std::int32_t, const QByteArray& data, MessagePort::Responder respond) {
        if (data == "never") return;
        const QByteArray answer = data + " answered";
        if (++count % 3) respond(answer);
        else QTimer::singleShot(0, [respond, answer] { respond(answer); });
    });
    ASSERT_TRUE(local);
    auto remote = MessagePort::createRemote(name);
    ASSERT_TRUE(remote);
    std::vector<QByteArray> payloads;
    for (int i = 0; i < 300; ++i) payloads.push_back(i == 150 ? QByteArray("never") : "item " + QByteArray::number(i));
    auto future = std::async(std::launch::async, [&] { return remote->sendRequests(1, payloads, 1.0, 0.3); });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    const auto replies = future.get();
    ASSERT_EQ(replies.size(), payloads.size());
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        SCOPED_TRACE(i);
        if (i == 150) {
            EXPECT_EQ(replies[i].result, MessagePortResult::receiveTimeout);
            EXPECT_FALSE(replies[i].data);
        } else {
            EXPECT_EQ(replies[i].result, MessagePortResult::success);
            EXPECT_EQ(replies[i].data, payloads[i] + " answered");
        }
    }
    EXPECT_EQ(requestFromThread(remote, "after").data, QByteArray("after answered")) << "the connection stays in step";
}

// MARK: - Peers the port refuses

TEST(MessagePortPeers, OnlyPeersOfTheOwnUserAreServed) {
    const QString name = uniqueName("uid");
    int calls = 0;
    auto local = MessagePort::createLocal(name, [&](std::int32_t, const QByteArray& data) -> std::optional<QByteArray> {
        ++calls;
        return data;
    });
    ASSERT_TRUE(local);
    struct Row {
        const char* label;
        std::optional<std::uint32_t> expectedUser;
        bool served;
    };
    const Row rows[] = {
        {"another user", ::geteuid() + 1, false},
        {"the own user", std::nullopt, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        calls = 0;
        MessagePort::setExpectedPeerUserForTesting(row.expectedUser);
        auto remote = MessagePort::createRemote(name);
        ASSERT_TRUE(remote);
        const auto reply = requestFromThread(remote, "hello");
        if (row.served) {
            EXPECT_EQ(reply.result, MessagePortResult::success);
        } else {
            EXPECT_TRUE(reply.result == MessagePortResult::isInvalid || reply.result == MessagePortResult::becameInvalid)
                << reply.result;
            EXPECT_FALSE(remote->isValid());
        }
        EXPECT_EQ(calls, row.served ? 1 : 0) << "a refused peer is not read";
        EXPECT_EQ(local->connectionCount(), row.served ? 1 : 0);
    }
    MessagePort::setExpectedPeerUserForTesting(std::nullopt);
}

// MARK: - Connections a port does not keep

TEST(MessagePortLimits, FloodsKeepToTheirShareAndOthersAreServed) {
    struct Row {
        const char* label;
        int connectionsPerPort;
        int flood;
        int keptOfTheFlood;
        int keptOnceAnotherPeerCame;  // a full port makes room at the flood's expense
    };
    const int perPeer = MessagePort::defaultLimits().connectionsPerPeer;
    const Row rows[] = {
        {"one process over its share", MessagePort::defaultLimits().connectionsPerPort, 300, perPeer, perPeer},
        {"one process filling the port", 8, 20, 8, 7},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        LimitsScope limits([&](MessagePort::Limits& l) { l.connectionsPerPort = row.connectionsPerPort; });
        const QString name = uniqueName("flood");
        auto local = MessagePort::createLocal(name, [](std::int32_t, const QByteArray& data) -> std::optional<QByteArray> {
            return QByteArray("ok:") + data;
        });
        ASSERT_TRUE(local);
        Peer flood(QStringLiteral("flood"), name, {QString::number(row.flood)});
        EXPECT_EQ(flood.lineWhileServing(), "connected " + QByteArray::number(row.flood));
        EXPECT_TRUE(TestEnvironment::waitUntil([&] { return flood.ask("live").toInt() == row.keptOfTheFlood; }))
            << "kept " << flood.ask("live").toStdString();
        EXPECT_LE(local->connectionCount(), std::min(perPeer, row.connectionsPerPort));

        auto client = MessagePort::createRemote(name);
        ASSERT_TRUE(client);
        const auto reply = requestFromThread(client, "mine");
        EXPECT_EQ(reply.result, MessagePortResult::success);
        EXPECT_EQ(reply.data.value_or("<none>"), QByteArray("ok:mine"));
        EXPECT_LE(local->connectionCount(), row.connectionsPerPort);
        EXPECT_EQ(flood.ask("live").toInt(), row.keptOnceAnotherPeerCame);
    }
}

TEST(MessagePortLimits, SilentConnectionsAreClosedHeldOnesKept) {
    LimitsScope limits([](MessagePort::Limits& l) { l.silentConnectionTimeoutMs = 100; });
    const QString name = uniqueName("silent");
    auto local = MessagePort::createLocal(name, [](std::int32_t, const QByteArray& data) -> std::optional<QByteArray> {
        return data;
    });
    ASSERT_TRUE(local);
    const int silent = rawConnection(name);
    ASSERT_GE(silent, 0);
    auto held = MessagePort::createRemote(name);
    auto watched = MessagePort::createRemote(name);
    ASSERT_TRUE(held && watched);
    int invalidations = 0;
    watched->setInvalidationCallback([&] { ++invalidations; });

    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return hungUp(silent); }, 3000)) << "a connection that never speaks";
    TestEnvironment::waitUntil([] { return false; }, 300);
    EXPECT_TRUE(held->isValid());
    EXPECT_EQ(requestFromThread(held, "still").data.value_or("<none>"), QByteArray("still"));
    EXPECT_TRUE(watched->isValid());
    EXPECT_EQ(invalidations, 0);
    EXPECT_EQ(local->connectionCount(), 3);
    ::close(silent);
}

// Processes that fill the port with connections, each having asked once or never, and then hold
// on: a newcomer still gets its answer, in the slot of the flood's longest idle connection.
TEST(MessagePortLimits, AFullPortStillServesANewcomer) {
    struct Row {
        const char* label;
        int processes;
        int connectionsEach;
        bool speak;
        int connectionsPerPort;
    };
    const Row rows[] = {
        {"connections that asked once and went quiet", 4, 8, true, 16},
        {"connections that never spoke", 4, 8, false, 16},
        {"many processes holding one each", 5, 1, true, 5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        LimitsScope limits([&](MessagePort::Limits& l) {
            l.connectionsPerPort = row.connectionsPerPort;
            l.connectionsPerPeer = 8;
        });
        const QString name = uniqueName("full");
        auto local = MessagePort::createLocal(name, [](std::int32_t, const QByteArray& data) -> std::optional<QByteArray> {
            return QByteArray("ok:") + data;
        });
        ASSERT_TRUE(local);
        std::vector<std::unique_ptr<Peer>> floods;
        for (int i = 0; i < row.processes; ++i) {
            floods.push_back(std::make_unique<Peer>(QStringLiteral("flood"), name, floodOf(row.connectionsEach, row.speak)));
            ASSERT_EQ(floods.back()->lineWhileServing(), "connected " + QByteArray::number(row.connectionsEach));
        }
        ASSERT_EQ(local->connectionCount(), row.connectionsPerPort) << "the floods fill the port";

        auto client = MessagePort::createRemote(name);
        ASSERT_TRUE(client);
        const auto reply = requestFromThread(client, "mine");
        EXPECT_EQ(reply.result, MessagePortResult::success);
        EXPECT_EQ(reply.data.value_or("<none>"), QByteArray("ok:mine"));
        int held = 0;
        for (const auto& flood : floods) held += flood->ask("live").toInt();
        EXPECT_EQ(held, row.connectionsPerPort - 1) << "one flood connection made room, no more";
        EXPECT_TRUE(client->isValid());
    }
}

// A connection gone quiet is closed after the idle limit unless it is one of the first few of its
// process, which clients hold on purpose: an extension's registration and its watch stay.
TEST(MessagePortLimits, IdleConnectionsAreClosedBeyondTheFewAPeerKeeps) {
    struct Row {
        const char* label;
        bool speak;
        int kept;
    };
    const Row rows[] = {
        {"connections that asked once", true, 2},
        {"connections that never spoke", false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        LimitsScope limits([&](MessagePort::Limits& l) {
            l.idleConnectionTimeoutMs = 150;
            l.silentConnectionTimeoutMs = 150;
            l.keptConnectionsPerPeer = 2;
        });
        const QString name = uniqueName("idle");
        auto local = MessagePort::createLocal(name, [](std::int32_t, const QByteArray& data) -> std::optional<QByteArray> {
            return data;
        });
        ASSERT_TRUE(local);
        auto registration = MessagePort::createRemote(name);
        ASSERT_TRUE(registration);
        ASSERT_EQ(requestFromThread(registration, "register").result, MessagePortResult::success);
        int invalidations = 0;
        registration->setInvalidationCallback([&] { ++invalidations; });

        Peer flood(QStringLiteral("flood"), name, floodOf(6, row.speak));
        ASSERT_EQ(flood.lineWhileServing(), "connected 6");
        EXPECT_TRUE(TestEnvironment::waitUntil([&] { return flood.ask("live").toInt() == row.kept; }))
            << "live " << flood.ask("live").toStdString();
        TestEnvironment::waitUntil([] { return false; }, 400);
        EXPECT_EQ(flood.ask("live").toInt(), row.kept);
        EXPECT_EQ(invalidations, 0) << "the watch on the registration stays";
        EXPECT_TRUE(registration->isValid());
        EXPECT_EQ(requestFromThread(registration, "later").data.value_or("<none>"), QByteArray("later"));
    }
}

TEST(MessagePortLimits, OutOfDescriptorsTheServerWaitsThenServesAgain) {
    const QString name = uniqueName("starved");
    Peer peer(QStringLiteral("starve"), name);
    ASSERT_EQ(peer.line(), "ready");
    ASSERT_EQ(peer.ask("limit"), "limited");
    const QByteArray before = peer.ask("attempts");

    auto remote = MessagePort::createRemote(name);
    ASSERT_TRUE(remote) << "the connection waits in the backlog";
    EXPECT_EQ(remote->sendRequest(1, "early", 1.0, 0.3, true).result, MessagePortResult::receiveTimeout);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int attempts = peer.ask("attempts").toInt() - before.toInt();
    EXPECT_GE(attempts, 1);
    EXPECT_LE(attempts, 10) << "accepting is retried after a pause, not in a loop";

    ASSERT_EQ(peer.ask("lift"), "lifted");
    const auto reply = remote->sendRequest(2, "later", 1.0, 3.0, true);
    EXPECT_EQ(reply.result, MessagePortResult::success);
    EXPECT_EQ(reply.data.value_or("<none>"), QByteArray("2:later"));
}
