// Ten accounts, each with its own engine and client, sync up at once through one server: all
// converge, and each account's tree holds its own files alone.
#include "SyncTestSupport.h"

#include "frameworks/net/HttpServiceClient.h"
#include "frameworks/sync/ServiceRemoteTree.h"
#include "support/ServiceProcess.h"

namespace {

constexpr int accounts = 10;
constexpr int filesEach = 1000;

QString nameOf(int account) { return QStringLiteral("user%1").arg(account); }
// Each name carries its account's, so that a file anywhere tells whose it is.
QString fileOf(int account, int file) { return QStringLiteral("f%1/%2-%3.txt").arg(file % 10).arg(nameOf(account)).arg(file); }
QByteArray bytesOf(int account, int file) { return (nameOf(account) + QStringLiteral(" file %1\n").arg(file)).toUtf8().repeated(1 + file % 7); }

int filesBelow(const QString& root) {
    int count = 0;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    for (; it.hasNext(); it.next()) ++count;
    return count;
}

struct Account {
    QString name;
    QString local;
    QString data;
    RecordingDelegate delegate;
    std::shared_ptr<HttpServiceClient> client;
    std::unique_ptr<OrvellaSyncEngine> engine;
};

TEST(ManyAccountsTest, TenAccountsSyncingUpAtOnceEachGetTheirOwnFilesAlone) {
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/many-accounts-XXXXXX"));
    ServiceProcess server(ServiceProcess::Options{{}, true, {}});
    ASSERT_TRUE(server.start()) << server.lastError().toStdString();
    std::vector<std::unique_ptr<Account>> all;
    for (int a = 0; a < accounts; ++a) {
        auto account = std::make_unique<Account>();
        account->name = nameOf(a);
        account->local = dir.filePath(account->name + QStringLiteral("/Orvella"));
        account->data = dir.filePath(account->name + QStringLiteral("/SyncData"));
        for (int f = 0; f < filesEach; ++f) EngineFixture::write(account->local + u'/' + fileOf(a, f), bytesOf(a, f));
        HttpServiceClient::Options options;
        options.baseUrl = QUrl(server.baseUrl());
        options.caFile = server.caFile();
        account->client = std::make_shared<HttpServiceClient>(options);
        ASSERT_TRUE(account->client->createAccount({account->name, account->name + QStringLiteral("@example.org"), QStringLiteral("password1")}));
        all.push_back(std::move(account));
    }
    for (auto& account : all) {
        SyncFacadeConfiguration configuration;
        configuration.rootDirectoryLocalURL = account->local;
        configuration.syncStatusDelegate = &account->delegate;
        configuration.conflictSuffix = QStringLiteral("conflicted copy");
        account->engine = std::make_unique<OrvellaSyncEngine>(configuration, std::make_shared<ServiceRemoteTree>(account->client),
                                                              account->data, OrvellaSyncEngine::Options{30, 200, 10000});
    }
    const bool uploaded = TestEnvironment::waitUntil([&] {
        return std::all_of(all.begin(), all.end(), [&](const auto& a) { return filesBelow(server.home(a->name)) >= filesEach; });
    }, 60000);
    for (auto& a : all) {
        const auto check = a->engine->requestCheck();
        EXPECT_TRUE(TestEnvironment::waitUntil([&] { return a->engine->checkedCount() >= check; }, 20000)) << a->name.toStdString();
    }
    ASSERT_TRUE(uploaded) << server.log().right(3000).toStdString();

    for (int i = 0; i < accounts; ++i) {
        const Account& a = *all[std::size_t(i)];
        SCOPED_TRACE(a.name.toStdString());
        EXPECT_EQ(a.delegate.lastStatus().value_or(SyncStatus{}).kind, SyncStatus::Kind::upToDate);
        // Both sides the same, byte for byte, and nothing but this account's files on either.
        const auto remote = EngineFixture::tree(server.home(a.name));
        EXPECT_EQ(remote, EngineFixture::tree(a.local));
        EXPECT_EQ(filesBelow(server.home(a.name)), filesEach);
        for (int f = 0; f < filesEach; f += 97) {
            EXPECT_EQ(remote.count(fileOf(i, f)) ? remote.at(fileOf(i, f)) : QByteArray(), bytesOf(i, f));
        }
        // The session lists its own files alone and finds no other account's.
        int listed = 0;
        int foreign = 0;
        ASSERT_TRUE(a.client->tree({}, [&](const ServiceEntry& e) {
            if (e.type != ServiceEntry::Type::file) return true;
            ++listed;
            foreign += !e.path.contains(a.name + u'-');
            return true;
        }));
        EXPECT_EQ(listed, filesEach);
        EXPECT_EQ(foreign, 0);
        EXPECT_EQ(a.client->entry(fileOf((i + 1) % accounts, 0)).error(), ServiceError::notFound);
    }
}

}  // namespace
