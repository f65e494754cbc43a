#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <thread>

#include "FacadeTestSupport.h"
#include "frameworks/logger/Logger.h"
#include "frameworks/net/HttpServiceClient.h"
#include "frameworks/sync/SyncFacade.h"
#include "support/ServiceProcess.h"

namespace {

// A facade that reaches a real server over TLS, as the application does; its access tokens last a
// second, so that every test meets their renewal.
class FacadeOverNetworkTest : public FacadeFixture {
protected:
    void SetUp() override {
        FacadeFixture::SetUp();
        ServiceProcess::Options options;
        options.tls = true;
        options.arguments = {QStringLiteral("--access-token-lifetime"), QStringLiteral("1")};
        server = std::make_unique<ServiceProcess>(options);
        ASSERT_TRUE(server->start()) << server->lastError().toStdString();
        network = overNetwork();
    }

    std::unique_ptr<OrvellaFacade> overNetwork() const {
        HttpServiceClient::Options options;
        options.baseUrl = QUrl(server->baseUrl());
        options.caFile = server->caFile();
        DependencyProvider dependencies;
        dependencies.settingsManager = std::make_shared<OrvellaSettingsManager>(group, false);
        dependencies.client = std::make_shared<HttpServiceClient>(options);
        return std::make_unique<OrvellaFacade>(facadeConfiguration(group, tokenAccount), dependencies);
    }

    std::unique_ptr<ServiceProcess> server;
    std::unique_ptr<OrvellaFacade> network;
};

TEST_F(FacadeOverNetworkTest, ASessionOutlivesItsTokensAndTheServersRestartUntilItIsEnded) {
    std::mutex logged;
    QStringList lines;
    const auto sink = Logger::addSink([&](const LogEntry& entry) {
        std::lock_guard lock(logged);
        lines << entry.message;
    });
    QStringList secrets{QStringLiteral("password1"), QStringLiteral("the key")};
    ASSERT_TRUE(network->createAccountNow(QStringLiteral("ann"), QStringLiteral("ann@example.org"), QStringLiteral("password1")));
    Outcome<VoidResult> imported;
    network->currentUser()->importCryptoKey(QStringLiteral("the key"), QStringLiteral("password1"), imported.handler());
    ASSERT_TRUE(imported.wait());
    ASSERT_TRUE(imported.result().isSuccess());
    // Launched again after the access token ran out: connected from the keychain alone.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    auto relaunched = overNetwork();
    ASSERT_TRUE(connect(*relaunched).isSuccess());
    ASSERT_TRUE(relaunched->currentUser());
    EXPECT_EQ(relaunched->currentUser()->name(), QStringLiteral("ann"));
    // The owner's key comes back with the session, also on another launch.
    ASSERT_TRUE(relaunched->currentUser()->cryptoKey());
    EXPECT_EQ(relaunched->currentUser()->cryptoKey()->stringRepresentation, QStringLiteral("the key"));
    ASSERT_TRUE(relaunched->client()->tokens());
    secrets << relaunched->client()->tokens()->accessToken << relaunched->client()->tokens()->refreshToken;
    // A restarted server knows no access token; the refresh token carries the session on.
    ASSERT_TRUE(server->restart());
    auto again = overNetwork();
    EXPECT_TRUE(connect(*again).isSuccess());

    // Signed out on one, the session is over on the others: told, and the token dropped.
    Outcome<VoidResult> out;
    again->logout(false, out.handler());
    ASSERT_TRUE(out.wait());
    auto afterwards = overNetwork();
    const VoidResult ended = connect(*afterwards);
    ASSERT_FALSE(ended.isSuccess());
    EXPECT_FALSE(afterwards->currentUser());

    // No password or token ever reaches the log.
    Logger::removeSink(sink);
    std::lock_guard lock(logged);
    EXPECT_FALSE(lines.isEmpty());
    for (const QString& line : std::as_const(lines))
        for (const QString& secret : std::as_const(secrets)) EXPECT_FALSE(line.contains(secret)) << line.toStdString();
}

TEST_F(FacadeOverNetworkTest, TheSyncFolderReachesTheServersTree) {
    ASSERT_TRUE(network->createAccountNow(QStringLiteral("bo"), QStringLiteral("bo@example.org"), QStringLiteral("password1")));
    QTemporaryDir local;
    QTemporaryDir data;
    QuietSyncDelegate delegate;
    const SyncFacadeConfiguration configuration = syncConfiguration(local.path(), data.path(), delegate);
    network->setUpSync(SyncFacadeImplementation::standard, configuration);
    ASSERT_TRUE(network->syncFacade());

    QFile file(local.filePath(QStringLiteral("up.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("over the network");
    file.close();
    network->syncFacade()->localChangesListener().fileChanged(file.fileName());
    QFile remote(server->home(QStringLiteral("bo")) + QStringLiteral("/up.txt"));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return remote.exists() && remote.size() == 16; }, 10000));

    // A file put on the server comes down, after the access token has run out.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    QFile down(server->home(QStringLiteral("bo")) + QStringLiteral("/down.txt"));
    ASSERT_TRUE(down.open(QIODevice::WriteOnly));
    down.write("from the server");
    down.close();
    QFile arrived(local.filePath(QStringLiteral("down.txt")));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return arrived.exists() && arrived.size() == 15; }, 10000));
    ASSERT_TRUE(arrived.open(QIODevice::ReadOnly));
    EXPECT_EQ(arrived.readAll(), QByteArray("from the server"));

    Outcome<VoidResult> out;
    network->logout(false, out.handler());
    ASSERT_TRUE(out.wait());
}

}  // namespace

namespace {

// Nothing else tells a facade that its server came: it finds out, and then connects.
TEST_F(FacadeOverNetworkTest, AServerThatComesLaterIsFoundWithoutAnyCall) {
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return network->connectivityManager().isConnected(); }, 5000));
    server->kill();
    auto early = overNetwork();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(early->connectivityManager().isConnected());
    ASSERT_TRUE(server->restart());
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return early->connectivityManager().isConnected(); }, 10000));
}

}  // namespace
