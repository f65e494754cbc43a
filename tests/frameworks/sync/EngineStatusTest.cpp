// What the engine's status tells a user during long work, and which refusal for room is whose.
#include "SyncTestSupport.h"

#include <QThread>

#include "frameworks/sync/ServiceRemoteTree.h"
#include "service/EmbeddedServiceClient.h"

namespace {

using Kind = SyncStatus::Kind;

// Notes how many files were synced whenever the status reads idle during a copy.
struct IdleWatch : RecordingDelegate {
    std::atomic<int> synced{0};
    std::atomic<bool> copying{false};
    std::mutex mutex;
    std::vector<int> idleAt;
    void itemStatusChanged(const QString& path, OVItemSyncStatus status) override {
        if (status == OVItemSyncStatus::synced && path.endsWith(QStringLiteral(".txt"))) ++synced;
    }
    void syncStatusChanged(const SyncStatus& status) override {
        std::lock_guard lock(mutex);
        if (copying && (status.kind == Kind::upToDate || status.kind == Kind::error)) idleAt.push_back(synced);
    }
};

TEST_F(EngineFixture, ALongUploadNeverReadsUpToDateBeforeItsLastFile) {
    const struct {
        const char* name;
        int files, perDelivery, gapMs;  // files whose events reach the engine together, and the pause after
    } cases[] = {
        {"every event on its own, as the files are written", 1200, 1, 0},
        {"batches the way the event stream hands them over", 2400, 200, 120},
        {"large batches far apart", 2000, 500, 400},
    };
    int number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = local(QStringLiteral("copy%1").arg(++number));
        IdleWatch watch;
        auto configured = configuration();
        configured.syncStatusDelegate = &watch;
        engine = std::make_unique<OrvellaSyncEngine>(configured, service, remoteRoot, dataFolder,
                                                     OrvellaSyncEngine::Options{pollMs, longPollMs, 0, 1000});
        ASSERT_TRUE(settle());
        watch.copying = true;
        ASSERT_TRUE(QDir().mkpath(folder));
        engine->directoryAdded(folder);
        for (int i = 0; i < c.files; QThread::msleep(c.gapMs))
            for (int n = 0; n < c.perDelivery && i < c.files; ++n, ++i) {
                write(folder + QStringLiteral("/f%1.txt").arg(i), QByteArray::number(i));
                engine->fileChanged(folder + QStringLiteral("/f%1.txt").arg(i));
            }
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return watch.synced == c.files; }, 30000)) << watch.synced;
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return engine->currentStatus().kind == Kind::upToDate; }));
        engine.reset();
        EXPECT_EQ(watch.idleAt, std::vector<int>{c.files}) << "files synced whenever the status read idle";
    }
}

// One file larger than what is left is that file's error, listed with its size; the storage is
// full only when hardly anything fits any more. In the service's folder and through its client.
TEST_F(EngineFixture, AFileTooLargeForTheRoomLeftIsItsOwnErrorNotAFullStorage) {
    constexpr std::int64_t MB = 1'000'000;
    using E = SyncError::Kind;
    const struct {
        std::int64_t free, size;
        std::optional<E> error;  // none: uploaded
    } cases[] = {
        {3 * MB, 2 * MB, std::nullopt},
        {3 * MB, 5 * MB, E::fileTooLargeForRemoteStorage},
        {MB, MB + 1, E::fileTooLargeForRemoteStorage},
        {MB - 1, MB, E::insufficientRemoteStorage},
        {0, 10, E::insufficientRemoteStorage},
    };
    const QString folders = QFileInfo(localRoot).path();
    int account = 0;
    for (const bool throughClient : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.free << " free, " << c.size << " to upload, client " << throughClient);
            const QString user = QStringLiteral("user%1").arg(++account);
            ASSERT_TRUE(service->createAccount(user, user + QStringLiteral("@example.org"), QStringLiteral("password1")));
            ASSERT_TRUE(service->setQuotaOverall(user, c.free));
            remoteRoot = service->homeFolder(user);
            localRoot = folders + QLatin1Char('/') + user;
            dataFolder = localRoot + QStringLiteral("-data");
            write(local(QStringLiteral("big.bin")), QByteArray(qsizetype(c.size), 'b'));
            auto client = std::make_shared<EmbeddedServiceClient>(service);
            ASSERT_TRUE(client->signIn(user, QStringLiteral("password1")));
            if (throughClient)
                engine = std::make_unique<OrvellaSyncEngine>(configuration(), std::make_shared<ServiceRemoteTree>(client),
                                                             dataFolder, OrvellaSyncEngine::Options{pollMs, longPollMs});
            else
                start();
            ASSERT_TRUE(settle());
            EXPECT_EQ(QFile::exists(remote(QStringLiteral("big.bin"))), !c.error);
            const bool tooLarge = c.error == E::fileTooLargeForRemoteStorage;
            const auto expected = c.error ? SyncStatus::makeError(SyncError{*c.error, tooLarge ? c.size : 0})
                                          : SyncStatus::of(Kind::upToDate);
            // Idle is told once a short quiet time has passed after the last change.
            TestEnvironment::waitUntil([&] { return delegate.lastStatus() == expected; });
            EXPECT_EQ(delegate.lastStatus(), expected);
            const auto errors = engine->syncErrors();
            ASSERT_EQ(errors.size(), c.error ? 1u : 0u);
            if (c.error) {
                EXPECT_EQ(errors[0].rootRelativePath, QStringLiteral("big.bin")) << "listed by its name";
            }
            if (tooLarge) {
                write(local(QStringLiteral("small.txt")), "small");
                engine->fileChanged(local(QStringLiteral("small.txt")));
                EXPECT_TRUE(TestEnvironment::waitUntil([&] { return QFile::exists(remote(QStringLiteral("small.txt"))); }))
                    << "the next small file goes as ever";
            }
            engine.reset();
        }
    }
}

}  // namespace
