#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <atomic>

#include "app/core/BusinessFacadeHolder.h"
#include "app/core/QuotaController.h"
#include "app/core/ReachabilityController.h"
#include "app/core/SettingsController.h"
#include "app/core/SyncFolderPaths.h"
#include "app/core/UserController.h"
#include "app/sync/SyncController.h"
#include "app/sync/SyncControllerDelegate.h"
#include "frameworks/business/OrvellaFacade.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "frameworks/sync/SyncFacade.h"
#include "service/StorageService.h"
#include "support/TestEnvironment.h"

namespace {

struct RecordingDelegate : SyncControllerDelegate {
    std::atomic<int> preferencesGone{0}, systemFolderDeleted{0}, rootFolderMoved{0};
    void presentPreferencesGoneAlert() override { ++preferencesGone; }
    void presentSystemFolderDeletedAlert(const QString&) override { ++systemFolderDeleted; }
    void presentRootFolderMovedAlert() override { ++rootFolderMoved; }
};

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(bytes);
    return true;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The whole road of a change: the file system's events, the observer, the engine, the service, and
// back, driven by the sync controller for a signed-in user.
TEST(SyncEndToEndTest, ChangesTravelBothWaysPauseHoldsThemAndRemovingTheFolderStopsSync) {
    auto* facade = dynamic_cast<OrvellaFacade*>(&BusinessFacadeHolder::facade());
    ASSERT_TRUE(facade);
    ASSERT_TRUE(facade->createAccountNow(QStringLiteral("eve"), QStringLiteral("eve@example.org"),
                                         QStringLiteral("a long enough secret"))
                    .isSuccess());
    SettingsController settingsController;
    settingsController.registerDefaults();
    OrvellaSettingsManager* settings = settingsController.settings();
    settings->setIsAlreadyLaunched(true);

    UserController user;
    user.update();
    ASSERT_TRUE(user.isLoggedIn());
    QuotaController quota;
    ReachabilityController reachability;
    RecordingDelegate delegate;
    SyncController sync(nullptr, quota, user, reachability);
    sync.setDelegate(&delegate);
    sync.setUp();
    ASSERT_TRUE(sync.isSyncEnabled());
    ASSERT_EQ(delegate.preferencesGone.load(), 0);

    const auto folder = syncFolderPath();
    ASSERT_TRUE(folder);
    ASSERT_TRUE(QFileInfo(*folder).isDir());
    EXPECT_TRUE(QFileInfo::exists(*folder + QStringLiteral("/.ovmd.db/accountId")));
    const QString remote = facade->service().homeFolder(QStringLiteral("eve"));

    // Local to remote, names with blanks and letters beyond ASCII, in a new folder.
    const QString local = *folder + QStringLiteral("/Reisepläne 2027/Notiz à lire.txt");
    ASSERT_TRUE(writeFile(local, "bonjour"));
    const QString remoteCopy = remote + QStringLiteral("/Reisepläne 2027/Notiz à lire.txt");
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return readFile(remoteCopy) == "bonjour"; }, 15000));
    ASSERT_TRUE(TestEnvironment::waitUntil(
        [&] { return BusinessFacadeHolder::facade().syncFacade()->itemSyncStatus(local) == OVItemSyncStatus::synced; },
        10000));

    // Remote to local.
    ASSERT_TRUE(writeFile(remote + QStringLiteral("/from the web.txt"), "hello"));
    ASSERT_TRUE(TestEnvironment::waitUntil(
        [&] { return readFile(*folder + QStringLiteral("/from the web.txt")) == "hello"; }, 15000));

    // Paused, a change stays local; resumed, it catches up.
    sync.pauseSync();
    EXPECT_FALSE(sync.isSyncEnabled());
    ASSERT_TRUE(writeFile(*folder + QStringLiteral("/while paused.txt"), "wait"));
    TestEnvironment::waitUntil([] { return false; }, 2500);
    EXPECT_FALSE(QFileInfo::exists(remote + QStringLiteral("/while paused.txt")));
    sync.toggleSync();
    EXPECT_TRUE(sync.isSyncEnabled());
    ASSERT_TRUE(TestEnvironment::waitUntil(
        [&] { return readFile(remote + QStringLiteral("/while paused.txt")) == "wait"; }, 15000));

    // The sync folder removed: sync pauses and the application is asked to tell the user; the
    // remote tree keeps everything.
    ASSERT_TRUE(QDir(*folder).removeRecursively());
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return delegate.rootFolderMoved.load() > 0; }, 10000));
    EXPECT_FALSE(sync.isSyncEnabled());
    TestEnvironment::waitUntil([] { return false; }, 1500);
    EXPECT_EQ(readFile(remoteCopy), "bonjour");
    EXPECT_EQ(readFile(remote + QStringLiteral("/while paused.txt")), "wait");
}

// Renames, moves, deletions and a batch of many files made in the folder reach the remote tree;
// with the service away the engine reports offline, keeps the change and delivers it on return.
TEST(SyncEndToEndTest, RenamesMovesDeletionsAndABatchReachTheRemoteAndOfflineLosesNothing) {
    auto* facade = dynamic_cast<OrvellaFacade*>(&BusinessFacadeHolder::facade());
    ASSERT_TRUE(facade);
    ASSERT_TRUE(facade->createAccountNow(QStringLiteral("finn"), QStringLiteral("finn@example.org"),
                                         QStringLiteral("a long enough secret"))
                    .isSuccess());
    SettingsController settingsController;
    settingsController.registerDefaults();
    settingsController.settings()->setIsAlreadyLaunched(true);
    UserController user;
    user.update();
    QuotaController quota;
    ReachabilityController reachability;
    RecordingDelegate delegate;
    SyncController sync(nullptr, quota, user, reachability);
    sync.setDelegate(&delegate);
    sync.setUp();
    ASSERT_TRUE(sync.isSyncEnabled());
    const QString folder = *syncFolderPath();
    const QString remote = facade->service().homeFolder(QStringLiteral("finn"));
    const auto arrived = [&](const QString& relative, const QByteArray& bytes) {
        return TestEnvironment::waitUntil([&] { return readFile(remote + relative) == bytes; }, 15000);
    };
    const auto gone = [&](const QString& relative) {
        return TestEnvironment::waitUntil([&] { return !QFileInfo::exists(remote + relative); }, 15000);
    };

    ASSERT_TRUE(writeFile(folder + QStringLiteral("/draft.txt"), "v1"));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/Archive")));
    ASSERT_TRUE(arrived(QStringLiteral("/draft.txt"), "v1"));

    ASSERT_TRUE(QFile::rename(folder + QStringLiteral("/draft.txt"), folder + QStringLiteral("/final version.txt")));
    ASSERT_TRUE(arrived(QStringLiteral("/final version.txt"), "v1"));
    EXPECT_TRUE(gone(QStringLiteral("/draft.txt")));

    ASSERT_TRUE(QFile::rename(folder + QStringLiteral("/final version.txt"),
                              folder + QStringLiteral("/Archive/final version.txt")));
    ASSERT_TRUE(arrived(QStringLiteral("/Archive/final version.txt"), "v1"));
    EXPECT_TRUE(gone(QStringLiteral("/final version.txt")));

    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/Archive/final version.txt")));
    EXPECT_TRUE(gone(QStringLiteral("/Archive/final version.txt")));

    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(writeFile(folder + QStringLiteral("/Batch/file %1 ü.txt").arg(i), QByteArray::number(i)));
    ASSERT_TRUE(TestEnvironment::waitUntil(
        [&] { return QDir(remote + QStringLiteral("/Batch")).entryList(QDir::Files).size() == 200; }, 30000));
    EXPECT_EQ(readFile(remote + QStringLiteral("/Batch/file 199 ü.txt")), "199");

    // The service goes away: offline, and the change waits; it comes back: the change arrives.
    StorageService& service = facade->service();
    service.setReachable(false);
    facade->connectivityManager().refresh();
    ASSERT_TRUE(writeFile(folder + QStringLiteral("/written offline.txt"), "kept"));
    ASSERT_TRUE(TestEnvironment::waitUntil(
        [&] { return sync.lastSyncStatus() && sync.lastSyncStatus()->kind == SyncStatus::Kind::offline; }, 10000) ||
        TestEnvironment::waitUntil([&] { return !reachability.isConnected(); }, 1000));
    EXPECT_FALSE(QFileInfo::exists(remote + QStringLiteral("/written offline.txt")));
    service.setReachable(true);
    facade->connectivityManager().refresh();
    EXPECT_TRUE(arrived(QStringLiteral("/written offline.txt"), "kept"));
}

}  // namespace
