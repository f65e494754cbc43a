#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FacadeTestSupport.h"
#include "frameworks/sync/OrvellaSyncEngine.h"
#include "frameworks/sync/SyncFacade.h"

namespace {

using FacadeSyncTest = FacadeFixture;

TEST_F(FacadeSyncTest, SyncNeedsAUserThenSyncsTheUsersTreeUntilLogout) {
    QTemporaryDir local;
    QTemporaryDir data;
    QuietSyncDelegate delegate;
    const SyncFacadeConfiguration configuration = syncConfiguration(local.path(), data.path(), delegate);

    EXPECT_THROW(facade->setUpSync(SyncFacadeImplementation::standard, configuration), std::runtime_error);
    EXPECT_FALSE(facade->syncFacade());
    EXPECT_FALSE(facade->subscriptionItems().has_value());

    makeAccount(QStringLiteral("lin"));
    ASSERT_TRUE(facade->signInNow(QStringLiteral("lin"), QStringLiteral("password1")).isSuccess());
    // Before any choice, signed in or syncing, the subscriptions say the whole tree.
    const std::vector<SelectiveSyncItem> wholeTree{{QStringLiteral("/"), true, QString()}};
    EXPECT_EQ(facade->subscriptionItems(), wholeTree);
    facade->setUpSync(SyncFacadeImplementation::standard, configuration);
    ASSERT_TRUE(facade->syncFacade());
    // The engine's state is where the application looks for it (error report, factory reset).
    EXPECT_FALSE(QDir(configuration.dataDirectoryLocalURL + u'/' + facade->currentUser()->accountId())
                     .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    EXPECT_EQ(facade->subscriptionItems(), wholeTree);
    const std::vector<SelectiveSyncItem> chosen{{QStringLiteral("/Documents"), true, QStringLiteral("id-1")}};
    facade->syncFacade()->setSubscriptions(chosen);
    EXPECT_EQ(facade->subscriptionItems(), chosen);

    // Set up again: the old engine gives way to the new one (it holds the state's lock).
    facade->setUpSync(SyncFacadeImplementation::standard, configuration);
    SyncFacade* sync = facade->syncFacade();
    ASSERT_TRUE(sync);

    QFile file(local.filePath(QStringLiteral("hello.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("hi");
    file.close();
    sync->localChangesListener().fileChanged(file.fileName());
    const QString remote = service->homeFolder(QStringLiteral("lin")) + QStringLiteral("/hello.txt");
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return QFile::exists(remote); }, 10000));

    Outcome<VoidResult> out;
    facade->logout(false, out.handler());
    EXPECT_FALSE(facade->syncFacade());
    EXPECT_FALSE(facade->subscriptionItems().has_value());
    ASSERT_TRUE(out.wait());
}

}  // namespace
