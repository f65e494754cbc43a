#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <mutex>

#include "app/core/SyncFolderPaths.h"
#include "app/sync/support/AppPortServers.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/sync/AppServer.h"
#include "app/sync/CommServer.h"
#include "frameworks/logger/Logger.h"
#include "frameworks/sync/SyncFacade.h"
#include "platform/foundation/Bundle.h"
#include "protocol/MessagePortProtocol.h"
#include "support/TestEnvironment.h"

namespace {

// A file-manager host process running the real extension plug-in on the sync folder.
struct Host {
    explicit Host(const QString& folder, int waitMs = 4000) {
        process.start(QStringLiteral(FINDERSYNC_HOST), {"--plugin", QStringLiteral(EXTENSION_PLUGIN), "--list", folder,
                                                        "--wait", QString::number(waitMs), "--watch"});
    }
    ~Host() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
    QString output() {
        seen += QString::fromUtf8(process.readAllStandardOutput());
        return seen;
    }
    QProcess process;
    QString seen;
};

// The application's side: the sync folder with a few items whose statuses the engine reports.
class ExtensionRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        group = Bundle::main().object(QStringLiteral("AppGroupIdentifier")).toString();
        ASSERT_FALSE(group.isEmpty());
        Logger::setConsoleOutputEnabled(false);
        ASSERT_TRUE(home.isValid());
        // The extension reads the sync root from the group's settings, so the facade uses that suite.
        facade = std::make_shared<StatusTableFacade>(group, OVItemSyncStatus::synced);
        BusinessFacadeHolder::setFacadeForTesting(facade);
        facade->settings()->setSyncRoot(home.path());
        const auto path = syncFolderPath();
        ASSERT_TRUE(path.has_value());
        folder = *path;
        ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/Photos")));
        const std::pair<const char*, OVItemSyncStatus> items[] = {{"Photos", OVItemSyncStatus::synced},
                                                                   {"draft.txt", OVItemSyncStatus::syncing},
                                                                   {"broken.bin", OVItemSyncStatus::error},
                                                                   {"cache.tmp", OVItemSyncStatus::ignored}};
        for (const auto& [name, status] : items) {
            const QString item = folder + QLatin1Char('/') + QLatin1String(name);
            if (!QFileInfo(item).isDir()) {
                QFile file(item);
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            }
            std::lock_guard lock(facade->engine.mutex);
            facade->engine.statuses[item] = status;
        }
    }
    void TearDown() override {
        if (facade) facade->settings()->setSyncRoot(std::nullopt);
        BusinessFacadeHolder::setFacadeForTesting(nullptr);
    }

    QString group;
    QTemporaryDir home{QStringLiteral("/dev/shm/orvella-roundtrip-XXXXXX")};
    std::shared_ptr<StatusTableFacade> facade;
    QString folder;
};

// The extension waits this long before it tries again; a little more is allowed for the processes.
constexpr int retryBudgetMs = 5000 + 1500;

TEST_F(ExtensionRoundTrip, TwoHostsRegisterListTakePushesAndADeadOneIsPruned) {
    AppPortServers app(group);
    CommServer& commServer = app.commServer;

    auto first = std::make_unique<Host>(folder);
    auto second = std::make_unique<Host>(folder);
    const QString listing = QStringLiteral("Photos\tsynced\nbroken.bin\terror\ncache.tmp\tignored\ndraft.txt\tsyncing\n");
    for (Host* host : {first.get(), second.get()}) {
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return host->output().startsWith(listing); }, 8000))
            << host->output().toStdString() << host->process.readAllStandardError().toStdString();
    }
    ASSERT_EQ(commServer.registeredSyncExtensions().size(), 2u);

    // A status change pushed by the application reaches both hosts.
    const QString draft = folder + QStringLiteral("/draft.txt");
    commServer.sendStatus(OVItemSyncStatus::synced, draft);
    commServer.waitForPendingPushes();
    const QString changed = draft + QStringLiteral("\tsynced\n");
    for (Host* host : {first.get(), second.get()}) {
        EXPECT_TRUE(TestEnvironment::waitUntil([&] { return host->output().endsWith(changed); }, 3000))
            << host->output().toStdString();
    }

    // A host that went away is dropped at the next push; the other still takes it.
    first->process.kill();
    ASSERT_TRUE(first->process.waitForFinished(3000));
    const QString broken = folder + QStringLiteral("/broken.bin");
    commServer.sendStatus(OVItemSyncStatus::syncing, broken);
    commServer.waitForPendingPushes();
    EXPECT_EQ(commServer.registeredSyncExtensions().size(), 1u);
    EXPECT_TRUE(TestEnvironment::waitUntil(
        [&] { return second->output().endsWith(broken + QStringLiteral("\tsyncing\n")); }, 3000))
        << second->output().toStdString();
}

TEST_F(ExtensionRoundTrip, AnExtensionStartedBeforeTheApplicationRegistersWhenItStarts) {
    Host host(folder, 0);
    // Without the application nothing is watched and no item has a badge.
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return host.output().contains(QStringLiteral("draft.txt\t\n")); },
                                           8000))
        << host.output().toStdString();

    QElapsedTimer sinceStart;
    sinceStart.start();
    AppPortServers app(group);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return app.commServer.registeredSyncExtensions().size() == 1; },
                                           retryBudgetMs));
    EXPECT_LE(sinceStart.elapsed(), retryBudgetMs);
    // Registered, it learns the sync folder and asks for the badges of what it shows there.
    const QString draft = folder + QStringLiteral("/draft.txt\tsyncing\n");
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return host.output().contains(draft); }, 3000))
        << host.output().toStdString();
}

TEST_F(ExtensionRoundTrip, TheExtensionRegistersAgainWithARestartedApplication) {
    auto app = std::make_unique<AppPortServers>(group);
    Host host(folder);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return app->commServer.registeredSyncExtensions().size() == 1; },
                                           8000))
        << host.output().toStdString();

    // The application quits; its ports go with it, and a new one starts at once.
    app.reset();
    app = std::make_unique<AppPortServers>(group);
    EXPECT_TRUE(app->commServer.registeredSyncExtensions().empty());
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return app->commServer.registeredSyncExtensions().size() == 1; },
                                           retryBudgetMs))
        << host.output().toStdString();

    const QString broken = folder + QStringLiteral("/broken.bin");
    app->commServer.sendStatus(OVItemSyncStatus::synced, broken);
    app->commServer.waitForPendingPushes();
    EXPECT_TRUE(TestEnvironment::waitUntil(
        [&] { return host.output().endsWith(broken + QStringLiteral("\tsynced\n")); }, 3000))
        << host.output().toStdString();
}

}  // namespace
