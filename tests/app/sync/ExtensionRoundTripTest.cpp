#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <mutex>

#include "app/sync/support/NullListener.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/sync/AppServer.h"
#include "app/sync/CommServer.h"
#include "app/sync/MessagePortProtocol.h"
#include "app/sync/SyncFolderPaths.h"
#include "frameworks/logger/Logger.h"
#include "frameworks/sync/SyncFacade.h"
#include "platform/foundation/Bundle.h"
#include "support/TestEnvironment.h"

namespace {

// An engine that answers item statuses from a table; unknown paths read "synced".
class TableEngine : public SyncFacade {
public:
    LocalChangesListener& localChangesListener() override { return listener; }
    std::vector<SelectiveSyncItem> subscriptions() const override { return {}; }
    void setSubscriptions(const std::vector<SelectiveSyncItem>&) override {}
    std::vector<SyncErrorInfo> syncErrors() const override { return {}; }
    void triggerSync() override {}
    void setSyncEnabled(bool) override {}
    OVItemSyncStatus itemSyncStatus(const QString& path) const override {
        std::lock_guard lock(mutex);
        const auto it = statuses.find(path);
        return it == statuses.end() ? OVItemSyncStatus::synced : it->second;
    }
    NullListener listener;
    std::map<QString, OVItemSyncStatus> statuses;
    mutable std::mutex mutex;
};

class TableFacade : public TestBusinessFacade {
public:
    using TestBusinessFacade::TestBusinessFacade;
    SyncFacade* syncFacade() const override { return &engine; }
    mutable TableEngine engine;
};

// A file-manager host process running the real extension plug-in on the sync folder.
struct Host {
    explicit Host(const QString& folder) {
        process.start(QStringLiteral(FINDERSYNC_HOST),
                      {"--plugin", QStringLiteral(EXTENSION_PLUGIN), "--list", folder, "--wait", "4000", "--watch"});
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

TEST(ExtensionRoundTrip, TwoHostsRegisterListTakePushesAndADeadOneIsPruned) {
    const QString group = Bundle::main().object(QStringLiteral("AppGroupIdentifier")).toString();
    ASSERT_FALSE(group.isEmpty());
    Logger::setConsoleOutputEnabled(false);
    QTemporaryDir home(QStringLiteral("/dev/shm/orvella-roundtrip-XXXXXX"));
    ASSERT_TRUE(home.isValid());

    // The extension reads the sync root from the group's settings, so the facade uses that suite.
    auto facade = std::make_shared<TableFacade>(group);
    BusinessFacadeHolder::setFacadeForTesting(facade);
    facade->settings()->setSyncRoot(home.path());
    struct Reset {
        std::shared_ptr<TableFacade> facade;
        ~Reset() {
            facade->settings()->setSyncRoot(std::nullopt);
            BusinessFacadeHolder::setFacadeForTesting(nullptr);
        }
    } reset{facade};
    const auto folder = syncFolderPath();
    ASSERT_TRUE(folder.has_value());
    ASSERT_TRUE(QDir().mkpath(*folder + QStringLiteral("/Photos")));
    const std::pair<const char*, OVItemSyncStatus> items[] = {{"Photos", OVItemSyncStatus::synced},
                                                               {"draft.txt", OVItemSyncStatus::syncing},
                                                               {"broken.bin", OVItemSyncStatus::error},
                                                               {"cache.tmp", OVItemSyncStatus::ignored}};
    for (const auto& [name, status] : items) {
        const QString path = *folder + QLatin1Char('/') + QLatin1String(name);
        if (!QFileInfo(path).isDir()) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        std::lock_guard lock(facade->engine.mutex);
        facade->engine.statuses[path] = status;
    }

    AppServer appServer;
    CommServer commServer;
    ASSERT_TRUE(appServer.addSourceForNewLocalMessagePort(MessagePortProtocol::badgePortName(group)));
    ASSERT_TRUE(commServer.addSourceForNewLocalMessagePort(MessagePortProtocol::registrationPortName(group)));

    auto first = std::make_unique<Host>(*folder);
    auto second = std::make_unique<Host>(*folder);
    const QString listing = QStringLiteral("Photos\tsynced\nbroken.bin\terror\ncache.tmp\tignored\ndraft.txt\tsyncing\n");
    for (Host* host : {first.get(), second.get()}) {
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return host->output().startsWith(listing); }, 8000))
            << host->output().toStdString() << host->process.readAllStandardError().toStdString();
    }
    ASSERT_EQ(commServer.registeredSyncExtensions().size(), 2u);

    // A status change pushed by the application reaches both hosts.
    const QString draft = *folder + QStringLiteral("/draft.txt");
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
    const QString broken = *folder + QStringLiteral("/broken.bin");
    commServer.sendStatus(OVItemSyncStatus::syncing, broken);
    commServer.waitForPendingPushes();
    EXPECT_EQ(commServer.registeredSyncExtensions().size(), 1u);
    EXPECT_TRUE(TestEnvironment::waitUntil(
        [&] { return second->output().endsWith(broken + QStringLiteral("\tsyncing\n")); }, 3000))
        << second->output().toStdString();
}

}  // namespace
