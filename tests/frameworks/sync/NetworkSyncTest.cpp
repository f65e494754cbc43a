// The engine through a real server over what a network does: two computers of one user, cut
// connections, a server that dies, tokens that expire, busy answers, a move whose answer is lost.
#include "SyncTestSupport.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QThread>

#include <atomic>
#include <iostream>

#include "frameworks/net/HttpServiceClient.h"
#include "frameworks/sync/ServiceRemoteTree.h"
#include "support/FaultProxy.h"
#include "support/ServiceProcess.h"

namespace {

namespace fs = SyncFileSystem;
using namespace std::chrono_literals;
using Tree = std::map<QString, QByteArray>;

const QString user = QStringLiteral("alice");
const QString password = QStringLiteral("password1");

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    auto* words = reinterpret_cast<quint32*>(bytes.data());
    QRandomGenerator::global()->fillRange(words, std::size_t(size) / 4);
    return bytes;
}

// Every item below a root, files larger than a megabyte by their hash, so that trees of large
// files compare cheaply.
Tree listing(const QString& root) {
    Tree items = EngineFixture::tree(root);
    for (auto& [path, content] : items)
        if (content.size() > (1 << 20)) content = "sha256:" + QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
    return items;
}

bool holdsTemporaries(const Tree& tree) {
    for (const auto& [path, content] : tree)
        if (fs::isTemporaryName(fs::nameOf(path))) return true;
    return false;
}

// One computer of the user's: its sync folder, its own client of the server, its engine.
struct Computer {
    QString root;
    QString data;
    RecordingDelegate delegate;
    std::shared_ptr<HttpServiceClient> client;
    std::unique_ptr<OrvellaSyncEngine> engine;
    std::atomic<int> refreshes{0};
    std::atomic<bool> sessionEnded{false};

    QString path(const QString& relative) const { return root + QLatin1Char('/') + relative; }
    void write(const QString& relative, const QByteArray& content) {
        EngineFixture::write(path(relative), content);
        engine->fileChanged(path(relative));
    }
    void remove(const QString& relative) {
        QFile::remove(path(relative));
        engine->itemDeleted(path(relative));
    }
};

class NetworkSyncTest : public ::testing::Test {
public:
    void TearDown() override {
        for (auto& computer : computers) computer->engine.reset();  // before the server goes
        if (HasFailure() && server) std::cerr << server->log().toStdString();
    }

    void startServer(const QStringList& arguments = {}) {
        server = std::make_unique<ServiceProcess>(ServiceProcess::Options{{}, false, arguments});
        ASSERT_TRUE(server->start()) << server->lastError().toStdString();
        ASSERT_TRUE(client(server->baseUrl())->createAccount({user, QStringLiteral("alice@example.org"), password}));
    }
    static std::shared_ptr<HttpServiceClient> client(const QString& baseUrl) {
        HttpServiceClient::Options options;
        options.baseUrl = QUrl(baseUrl);
        options.firstBackoff = 50ms;
        return std::make_shared<HttpServiceClient>(options);
    }
    // Tokens of a session of its own, got from the server itself.
    ServiceClient::Tokens session() {
        auto signedIn = client(server->baseUrl())->signIn(user, password);
        EXPECT_TRUE(signedIn);
        return signedIn ? signedIn.value() : ServiceClient::Tokens{};
    }
    // Another computer, signed in, reaching the server through `baseUrl`; its engine runs.
    Computer& addComputer(const QString& baseUrl) {
        auto& computer = *computers.emplace_back(std::make_unique<Computer>());
        const QString name = QString::number(computers.size());
        computer.root = dir.filePath(QStringLiteral("Orvella") + name);
        computer.data = dir.filePath(QStringLiteral("SyncData") + name);
        QDir().mkpath(computer.root);
        computer.client = client(baseUrl);
        computer.client->setTokens(session());
        computer.client->setTokensChanged([&computer](const ServiceClient::Tokens&) { ++computer.refreshes; });
        computer.client->setSessionEnded([&computer] { computer.sessionEnded = true; });
        SyncFacadeConfiguration configuration;
        configuration.rootDirectoryLocalURL = computer.root;
        configuration.syncStatusDelegate = &computer.delegate;
        configuration.conflictSuffix = QStringLiteral("conflicted copy");
        computer.engine = std::make_unique<OrvellaSyncEngine>(configuration, std::make_shared<ServiceRemoteTree>(computer.client),
                                                              computer.data, OrvellaSyncEngine::Options{30, 200, 10000});
        return computer;
    }
    QString home() const { return server->home(user); }

    // Every sync folder holds what the server holds, and then every engine looked at both sides
    // and found nothing left to do. `during` looks at the trees meanwhile.
    bool converged(int timeoutMs = 15000, const std::function<void(const Tree&)>& during = {}) {
        const auto same = [&] {
            const Tree there = listing(home());
            if (during) during(there);
            for (auto& computer : computers) {
                const Tree here = listing(computer->root);
                if (during) during(here);
                if (here != there) return false;
            }
            return true;
        };
        if (!TestEnvironment::waitUntil(same, timeoutMs)) return false;
        for (auto& computer : computers) {
            const auto check = computer->engine->requestCheck();
            if (!TestEnvironment::waitUntil([&] { return computer->engine->checkedCount() >= check; }, timeoutMs)) return false;
        }
        return same();
    }
    void pauseAll() {
        for (auto& computer : computers) computer->engine->setSyncEnabled(false);
    }
    void expectNoErrors() {
        for (auto& computer : computers) {
            EXPECT_TRUE(computer->engine->syncErrors().empty()) << computer->root.toStdString();
            EXPECT_TRUE(TestEnvironment::waitUntil(
                [&] { return computer->engine->currentStatus().kind == SyncStatus::Kind::upToDate; }))
                << "once the burst of local changes is over";
        }
    }

    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/network-sync-XXXXXX")};
    std::unique_ptr<ServiceProcess> server;
    std::vector<std::unique_ptr<Computer>> computers;
};

TEST_F(NetworkSyncTest, TwoComputersKeepEveryVersion) {
    startServer();
    Computer& a = addComputer(server->baseUrl());
    Computer& b = addComputer(server->baseUrl());
    const QByteArray bytes = randomBytes(300 * 1024 + 3);
    a.write(QStringLiteral("new.bin"), bytes);
    ASSERT_TRUE(converged());
    EXPECT_EQ(EngineFixture::read(b.path(QStringLiteral("new.bin"))), bytes) << "byte for byte";

    // Edited on both before either syncs: the one that comes second keeps its version beside.
    a.write(QStringLiteral("doc.txt"), "first");
    ASSERT_TRUE(converged());
    pauseAll();
    a.write(QStringLiteral("doc.txt"), "from A");
    b.write(QStringLiteral("doc.txt"), "from B, longer");
    a.engine->setSyncEnabled(true);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return EngineFixture::read(home() + "/doc.txt") == "from A"; }, 10000));
    b.engine->setSyncEnabled(true);
    ASSERT_TRUE(converged());
    const Tree both = EngineFixture::tree(b.root);
    EXPECT_EQ(both.at("doc.txt"), "from A");
    EXPECT_EQ(both.at("doc (conflicted copy).txt"), "from B, longer");
    EXPECT_EQ(both.size(), 3u);
    expectNoErrors();
}

// A deletion on one computer of a file the other changed meanwhile keeps the change, whichever
// reaches the server first.
TEST_F(NetworkSyncTest, ADeletionNeverTakesAnotherComputersChange) {
    startServer();
    Computer& a = addComputer(server->baseUrl());
    Computer& b = addComputer(server->baseUrl());
    for (const bool deletionFirst : {true, false}) {
        SCOPED_TRACE(deletionFirst ? "deletion first" : "change first");
        a.write(QStringLiteral("x.txt"), "v1");
        ASSERT_TRUE(converged());
        pauseAll();
        a.remove(QStringLiteral("x.txt"));
        b.write(QStringLiteral("x.txt"), "v2 from B");
        Computer& first = deletionFirst ? a : b;
        first.engine->setSyncEnabled(true);
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return EngineFixture::read(home() + "/x.txt") != "v1"; }, 10000));
        (deletionFirst ? b : a).engine->setSyncEnabled(true);
        ASSERT_TRUE(converged());
        EXPECT_EQ(EngineFixture::tree(a.root), (Tree{{"x.txt", "v2 from B"}}));
        expectNoErrors();
    }
}

TEST_F(NetworkSyncTest, FilesCrossConnectionsCutEveryQuarterMegabyte) {
    startServer();
    FaultProxy proxy(server->port());
    ASSERT_TRUE(proxy.start());
    proxy.cutAfter(256 * 1024);
    Computer& a = addComputer(proxy.baseUrl());
    Computer& b = addComputer(proxy.baseUrl());
    ASSERT_TRUE(converged());
    std::map<QString, QByteArray> files{{"a/one.bin", randomBytes(3 << 20)},
                                        {"a/two.bin", randomBytes((2 << 20) + 13)},
                                        {"b.bin", randomBytes((5 << 19) + 1)}};
    // Small files, which travel many to a request: more of them than one cut connection carries.
    for (int i = 0; i < 80; ++i) files[QStringLiteral("a/small/%1.bin").arg(i)] = randomBytes(8 << 10);
    for (const auto& [path, content] : files) (path.startsWith(u'a') ? a : b).write(path, content);
    a.engine->directoryAdded(a.path(QStringLiteral("a")));
    // What stands under a file's own name is all of it, at every look.
    bool partial = false;
    const auto sizes = [&](const Tree&) {
        for (const auto& [path, content] : files)
            for (const QString& root : {home(), a.root, b.root}) {
                const QFileInfo info(root + u'/' + path);
                if (info.exists() && info.size() != content.size()) partial = true;
            }
    };
    ASSERT_TRUE(converged(20000, sizes));
    EXPECT_FALSE(partial);
    for (const auto& [path, content] : files)
        for (Computer* computer : {&a, &b}) EXPECT_EQ(EngineFixture::read(computer->path(path)), content) << path.toStdString();
    for (const QString& root : {home(), a.root, b.root}) EXPECT_FALSE(holdsTemporaries(EngineFixture::tree(root)));
    EXPECT_GT(proxy.cuts(), 10) << "the transfers went through many connections";
    expectNoErrors();
}

TEST_F(NetworkSyncTest, AServerKilledMidSyncIsPickedUpWhereItLeft) {
    startServer();
    Computer& a = addComputer(server->baseUrl());
    Computer& b = addComputer(server->baseUrl());
    ASSERT_TRUE(converged());
    pauseAll();
    for (int i = 0; i < 40; ++i) a.write(QStringLiteral("small/%1.txt").arg(i), QByteArray::number(i));
    for (int i = 0; i < 3; ++i) a.write(QStringLiteral("large%1.bin").arg(i), randomBytes(3 << 20));
    a.engine->directoryAdded(a.path(QStringLiteral("small")));
    const std::uint16_t port = server->port();
    a.engine->setSyncEnabled(true);
    b.engine->setSyncEnabled(true);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !EngineFixture::tree(home()).empty(); }, 10000));
    server->kill();
    // Meanwhile the engine says it is offline and blames no item for it.
    a.write(QStringLiteral("while-away.txt"), "kept");
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return a.engine->currentStatus().kind == SyncStatus::Kind::offline; }, 20000));
    EXPECT_TRUE(a.engine->syncErrors().empty());
    ASSERT_TRUE(server->restart()) << server->lastError().toStdString();
    EXPECT_EQ(server->port(), port) << "the clients find it where it was";
    ASSERT_TRUE(converged(45000));
    EXPECT_EQ(EngineFixture::tree(b.root).size(), 45u);
    for (const QString& root : {home(), a.root, b.root}) EXPECT_FALSE(holdsTemporaries(EngineFixture::tree(root)));
    expectNoErrors();
}

// Tokens that last a second run out many times while both computers sync: each is renewed, and
// the session goes on.
TEST_F(NetworkSyncTest, TokensThatExpireEverySecondKeepTheSession) {
    startServer({QStringLiteral("--access-token-lifetime"), QStringLiteral("1")});
    Computer& a = addComputer(server->baseUrl());
    Computer& b = addComputer(server->baseUrl());
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 50; ++i) a.write(QStringLiteral("r%1/%2.txt").arg(round).arg(i), QByteArray::number(i * round));
        a.engine->directoryAdded(a.path(QStringLiteral("r%1").arg(round)));
        ASSERT_TRUE(converged());
        QThread::msleep(1100);  // every token either holds has run out
    }
    EXPECT_EQ(EngineFixture::tree(b.root).size(), 102u);
    for (Computer* computer : {&a, &b}) {
        EXPECT_FALSE(computer->sessionEnded);
        EXPECT_GT(computer->refreshes.load(), 0);
        EXPECT_TRUE(computer->client->account()) << "still signed in";
    }
    expectNoErrors();
}

// A slow line that stops for a while and then refuses connections: the engine waits it out.
TEST_F(NetworkSyncTest, ASlowLineThatStopsAndRefusesStillSyncs) {
    startServer();
    FaultProxy proxy(server->port());
    ASSERT_TRUE(proxy.start());
    proxy.setLatency(20ms);
    Computer& a = addComputer(proxy.baseUrl());
    Computer& b = addComputer(server->baseUrl());
    ASSERT_TRUE(converged());
    for (int i = 0; i < 10; ++i) b.write(QStringLiteral("%1.txt").arg(i), QByteArray::number(i));
    proxy.setPaused(true);
    QThread::msleep(500);
    proxy.refuseFor(1000ms);
    proxy.setPaused(false);
    a.write(QStringLiteral("from a.txt"), "a");
    ASSERT_TRUE(converged(20000));
    EXPECT_EQ(EngineFixture::tree(a.root).size(), 11u);
    expectNoErrors();
}

struct BusyCase {
    const char* name;
    int status;
    int retryAfter;  // negative: none
    int count;
    bool move;  // a request that is not safe to send again
    std::optional<ServiceError> failure;  // none: it succeeds
    int answered;  // busy answers the client took
};

TEST_F(NetworkSyncTest, BusyAnswersAreWaitedOutWhereTheyMaySafelyBe) {
    startServer();
    const std::vector<BusyCase> cases{
        {"unavailableForASecond", 503, 1, 1, false, std::nullopt, 1},
        {"rateLimitedForASecond", 429, 1, 1, false, std::nullopt, 1},
        {"unavailableWithoutSayingHowLong", 503, -1, 2, false, std::nullopt, 2},
        {"longerThanTheClientWaits", 503, 30, 1, false, ServiceError::unavailable, 1},
        {"busyBeyondEveryAttempt", 429, -1, 10, false, ServiceError::rateLimited, 4},
        {"aMoveIsNotSentAgain", 503, 1, 1, true, ServiceError::unavailable, 1},
    };
    auto direct = client(server->baseUrl());
    direct->setTokens(session());
    ASSERT_TRUE(direct->makeFolder(QStringLiteral("here")));
    for (const BusyCase& c : cases) {
        SCOPED_TRACE(c.name);
        FaultProxy proxy(server->port());
        ASSERT_TRUE(proxy.start());
        proxy.answerBusy(c.count, c.status, c.retryAfter);
        auto through = client(proxy.baseUrl());  // no connection yet: its first request meets the busy answer
        through->setTokens(direct->tokens());
        const auto done = c.move ? through->move({QStringLiteral("here"), QStringLiteral("there"), direct->entry(QStringLiteral("here")).value().revision()})
                                 : through->entry(QStringLiteral("here"));
        EXPECT_EQ(done ? std::nullopt : std::optional(done.error()), c.failure);
        EXPECT_EQ(proxy.busyAnswers(), c.answered);
        EXPECT_TRUE(direct->entry(QStringLiteral("here"))) << "nothing moved";
    }
}

// The answer to a move is lost with its connection after the server made it: the client finds the
// item where it went and says so, and nothing is moved twice.
TEST_F(NetworkSyncTest, AMoveWhoseAnswerIsLostIsDoneOnce) {
    startServer();
    FaultProxy proxy(server->port());
    ASSERT_TRUE(proxy.start());
    auto direct = client(server->baseUrl());
    direct->setTokens(session());
    auto through = client(proxy.baseUrl());
    through->setTokens(direct->tokens());
    ASSERT_TRUE(direct->makeFolder(QStringLiteral("f/inner")));
    EngineFixture::write(home() + QStringLiteral("/f/one.txt"), "one");
    const QByteArray move = "POST " + QByteArray(ServiceWire::apiBase) + "/move";
    const std::vector<std::pair<QString, QString>> moves{{"f/one.txt", "f/two.txt"}, {"f/two.txt", "f/inner/three.txt"}, {"f/inner", "g"}};
    for (const auto& [from, to] : moves) {
        SCOPED_TRACE(to.toStdString());
        const auto before = direct->entry(from);
        ASSERT_TRUE(before);
        proxy.dropAnswersTo(move, 1);
        const int dropped = proxy.droppedAnswers();
        const auto moved = through->move({from, to, before.value().revision()});
        EXPECT_EQ(proxy.droppedAnswers(), dropped + 1);
        ASSERT_TRUE(moved) << moved.failure().message.toStdString();
        EXPECT_EQ(moved.value().path, to);
        EXPECT_FALSE(direct->entry(from));
    }
    EXPECT_EQ(EngineFixture::tree(home()), (Tree{{"f", "/"}, {"g", "/"}, {"g/three.txt", "one"}}));

    // The engine's own move, through the same loss, ends in step with no copy made.
    Computer& a = addComputer(proxy.baseUrl());
    Computer& b = addComputer(server->baseUrl());
    ASSERT_TRUE(converged());
    const auto inode = fs::stat(home() + QStringLiteral("/g/three.txt")).value_or(FsEntry{}).inode;
    proxy.dropAnswersTo(move, 1);
    const int dropped = proxy.droppedAnswers();
    ASSERT_TRUE(QFile::rename(a.path(QStringLiteral("g/three.txt")), a.path(QStringLiteral("f/four.txt"))));
    a.engine->fileMoved(a.path(QStringLiteral("g/three.txt")), a.path(QStringLiteral("f/four.txt")));
    ASSERT_TRUE(converged());
    EXPECT_EQ(proxy.droppedAnswers(), dropped + 1);
    EXPECT_EQ(EngineFixture::tree(b.root), (Tree{{"f", "/"}, {"f/four.txt", "one"}, {"g", "/"}}));
    EXPECT_EQ(fs::stat(home() + QStringLiteral("/f/four.txt")).value_or(FsEntry{}).inode, inode) << "moved, not uploaded again";
    expectNoErrors();
}

}  // namespace
