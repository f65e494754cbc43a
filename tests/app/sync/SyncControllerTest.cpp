#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>

#include <sys/stat.h>
#include <thread>

#include "SyncControllerTestSupport.h"
#include "app/common/LocalizationController.h"
#include "app/config/ApiConfigurations.h"
#include "app/sync/SyncStatusImages.h"

using namespace synctest;

namespace {

mode_t modeOf(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) return 0;
    return status.st_mode & 07777;
}

class SyncControllerSetUp : public SyncControllerFixture {};

TEST_F(SyncControllerSetUp, StartsInTheDisconnectedState) {
    SyncController& c = make();
    EXPECT_FALSE(c.isSyncEnabled());
    EXPECT_EQ(c.syncStatusImageName(), SyncStatusImages::statusBarOffline);
    EXPECT_EQ(c.syncStatusImage().name(), SyncStatusImages::statusBarOffline);
    EXPECT_EQ(c.syncStatusDescription(), LocalizationController().mbMenuItemSyncStatusDisconnected());
    EXPECT_FALSE(c.showSyncingUIElements());
    EXPECT_TRUE(c.debugMessages().isEmpty());
    EXPECT_TRUE(c.shouldReportSyncingStatus());
    EXPECT_FALSE(c.lastSyncStatus().has_value());
    EXPECT_EQ(&c.notificationController().notificationCenter(), center.get());
    EXPECT_EQ(c.notificationController().delegate(), &c);
    ASSERT_TRUE(c.notificationController().notificationDispatchTimer());
}

TEST_F(SyncControllerSetUp, ConfiguresTheEngineForTheSyncFolder) {
    SyncController& c = make();
    c.setUp();

    ASSERT_TRUE(facade->lastConfiguration.has_value());
    const SyncFacadeConfiguration& configuration = *facade->lastConfiguration;
    const ApiConfigurations::Orvella brand;
    EXPECT_EQ(configuration.websocketBaseURL, QUrl(brand.apiBaseURL()));
    EXPECT_EQ(configuration.chunkSizeURL, QUrl(brand.endPointChunkSize().absoluteURL()));
    EXPECT_EQ(configuration.rootDirectoryLocalURL, syncFolder);
    EXPECT_EQ(configuration.syncStatusDelegate, static_cast<SyncStatusDelegate*>(&c));
    EXPECT_EQ(configuration.conflictSuffix,
              Bundle::main().localizedString(QStringLiteral("SelectiveSync.FileSuffix.Conflict"), {}, {}));
    EXPECT_NE(configuration.conflictSuffix, QStringLiteral("SelectiveSync.FileSuffix.Conflict"));
    EXPECT_EQ(configuration.minimumFreeDiskSpace, 500000000);
    // The same folder that the error report packs and the factory reset deletes.
    EXPECT_TRUE(configuration.dataDirectoryLocalURL.endsWith(QStringLiteral("/example.orvella.desktop/SyncData")));
    EXPECT_EQ(facade->lastImplementation, SyncFacadeImplementation::standard);
    EXPECT_TRUE(c.isSyncEnabled());

    // The folder is made for its owner alone, then the sidebar, its icon and the marker follow.
    ASSERT_TRUE(QFileInfo(syncFolder).isDir());
    EXPECT_EQ(modeOf(syncFolder), 0700u);
    EXPECT_EQ(steps, QStringList({QStringLiteral("sidebar ") + syncFolder,
                                  QStringLiteral("icon ") + syncFolder + QStringLiteral(" FinderSyncRootIcon"),
                                  QStringLiteral("marker ") + syncFolder}));
    c.waitForPendingPushes();
    const auto pushes = commServer.snapshot();
    ASSERT_EQ(pushes.size(), 1u);
    EXPECT_EQ(pushes[0].kind, QStringLiteral("root"));
    EXPECT_EQ(pushes[0].path, syncFolder);
    EXPECT_FALSE(pushes[0].onMainThread);

    // The watch feeds the engine's own listener and reports to the controller.
    EXPECT_EQ(observers->events, QStringList{QStringLiteral("start 1 ") + syncFolder});
    EXPECT_EQ(listenerSeen, &facade->engine.listener);
    EXPECT_EQ(ownerSeen, static_cast<LocalFSObserverDelegate*>(&c));
    EXPECT_NE(c.localChangesListener(), nullptr);
    EXPECT_TRUE(delegate.calls.isEmpty());
}

TEST_F(SyncControllerSetUp, CreatesMissingParentsAndLeavesAnExistingFolderAlone) {
    syncFolder = root.path() + QStringLiteral("/deep/er/Orvella");
    SyncController& c = make();
    c.setUp();
    EXPECT_EQ(modeOf(syncFolder), 0700u);

    ASSERT_EQ(::chmod(QFile::encodeName(syncFolder).constData(), 0755), 0);
    steps.clear();
    c.setUp();
    EXPECT_EQ(modeOf(syncFolder), 0755u) << "an existing folder keeps its permissions";
    EXPECT_EQ(steps, QStringList({QStringLiteral("sidebar ") + syncFolder,
                                  QStringLiteral("icon ") + syncFolder + QStringLiteral(" FinderSyncRootIcon"),
                                  QStringLiteral("marker ") + syncFolder}));
    c.waitForPendingPushes();
    EXPECT_EQ(commServer.snapshot().size(), 2u) << "the folder is pushed again on every set-up";
}

TEST_F(SyncControllerSetUp, ASecondSetUpStopsTheEarlierWatchFirst) {
    SyncController& c = make();
    c.setUp();
    c.setUp();
    EXPECT_EQ(observers->events, QStringList({QStringLiteral("start 1 ") + syncFolder, QStringLiteral("stop 1"),
                                              QStringLiteral("start 2 ") + syncFolder}));
    EXPECT_NE(c.localChangesListener(), nullptr);
    EXPECT_EQ(facade->setUpCalls, 2);
    EXPECT_EQ(c.setUpCount(), 2);
}

// Set-ups that end early or go wrong: what is configured, what the delegate is asked.
struct SetUpFailure {
    const char* name;
    bool launchedBefore = true;
    bool hasSyncFolder = true;
    bool setUpThrows = false;
    bool engineInstalled = true;
    bool folderBlocked = false;  // a file stands where the sync folder's parent should be
    int engineSetUps;
    bool syncEnabled;
    bool observerStarted;
    QStringList delegateCalls;
    const char* logLine;  // an error line of the "Setup" channel, or nullptr
};

void PrintTo(const SetUpFailure& f, std::ostream* os) { *os << f.name; }

class SetUpFailures : public SyncControllerFixture, public ::testing::WithParamInterface<SetUpFailure> {};

TEST_P(SetUpFailures, EndAsDescribed) {
    const SetUpFailure& f = GetParam();
    facade->settings()->setIsAlreadyLaunched(f.launchedBefore);
    syncFolderPathValue = f.hasSyncFolder;
    facade->failSetUp = f.setUpThrows;
    facade->installOnSetUp = f.engineInstalled;
    if (f.folderBlocked) {
        QFile blocker(root.path() + QStringLiteral("/file"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        syncFolder = blocker.fileName() + QStringLiteral("/Orvella");
    }
    LogRecorder log({&AppLog::setup()});
    SyncController& c = make();
    int enabledChanges = 0;
    QObject::connect(&c, &SyncController::isSyncEnabledChanged, &c, [&] { ++enabledChanges; });
    c.setUp();

    EXPECT_EQ(facade->setUpCalls, f.engineSetUps);
    EXPECT_EQ(c.isSyncEnabled(), f.syncEnabled);
    EXPECT_EQ(observers->started > 0, f.observerStarted);
    EXPECT_EQ(delegate.calls, f.delegateCalls);
    if (f.logLine) {
        EXPECT_EQ(log.matching(QString::fromUtf8(f.logLine)).size(), 1) << log.lines().join('\n').toStdString();
    }
    if (f.engineSetUps == 0) {
        EXPECT_EQ(enabledChanges, 0) << "nothing is configured";
    }
    EXPECT_EQ(c.syncStatusImageName(), SyncStatusImages::statusBarOffline);
}

INSTANTIATE_TEST_SUITE_P(
    SyncController, SetUpFailures,
    ::testing::Values(
        SetUpFailure{.name = "notLaunchedBefore", .launchedBefore = false, .engineSetUps = 0, .syncEnabled = false,
                     .observerStarted = false, .delegateCalls = {QStringLiteral("preferencesGone")}, .logLine = nullptr},
        SetUpFailure{.name = "noSyncFolder", .hasSyncFolder = false, .engineSetUps = 0, .syncEnabled = false,
                     .observerStarted = false, .delegateCalls = {QStringLiteral("preferencesGone")}, .logLine = nullptr},
        SetUpFailure{.name = "engineSetUpThrows", .setUpThrows = true, .engineInstalled = true, .engineSetUps = 1,
                     .syncEnabled = false, .observerStarted = false, .delegateCalls = {},
                     .logLine = "ERROR Setup: Could not setup sync framework with configuration: "},
        SetUpFailure{.name = "noEngineFacade", .engineInstalled = false, .engineSetUps = 1, .syncEnabled = false,
                     .observerStarted = false, .delegateCalls = {},
                     .logLine = "ERROR Setup: Error: The sync facade is nil."},
        SetUpFailure{.name = "folderCannotBeMade", .folderBlocked = true, .engineSetUps = 1, .syncEnabled = true,
                     .observerStarted = false, .delegateCalls = {QStringLiteral("preferencesGone")},
                     .logLine = "ERROR Setup: Failed creating the root folder. Error: "}),
    [](const auto& info) { return std::string(info.param.name); });

// A folder marked for another account, or with a marker that cannot be shown to be this account's,
// never reaches the engine: syncing it would mix two accounts' files. A running sync stops.
TEST_F(SyncControllerSetUp, AFolderThatIsNotThisAccountsIsNotSyncedAndTheUserIsTold) {
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    };
    const struct {
        const char* name;
        bool provenBefore;  // an earlier set-up wrote this account's marker into this very folder
        std::function<bool(const QString& syncFolder)> damage;
        bool synced;
        QByteArray markerAfter;  // the content of .ovmd.db/accountId afterwards; empty when none
    } cases[] = {
        {"another account's marker", false,
         [&](const QString& f) { return QDir().mkpath(f + "/.ovmd.db") && write(f + "/.ovmd.db/accountId", "acc-bob"); },
         false, "acc-bob"},
        {"another account's marker over a running sync", true,
         [&](const QString& f) { return write(f + "/.ovmd.db/accountId", "acc-bob"); }, false, "acc-bob"},
        {"a file for the marker, unproven", false, [&](const QString& f) { return write(f + "/.ovmd.db", "x"); },
         false, ""},
        {"an empty marker, unproven", false,
         [&](const QString& f) { return QDir().mkpath(f + "/.ovmd.db") && write(f + "/.ovmd.db/accountId", ""); },
         false, ""},
        {"a file for the marker in this account's folder", true,
         [&](const QString& f) { return QFile::remove(f + "/.ovmd.db/accountId") && QDir(f + "/.ovmd.db").removeRecursively() &&
                                        write(f + "/.ovmd.db", "x"); },
         true, "acc-anna"},
        {"garbage in this account's marker", true,
         [&](const QString& f) { return write(f + "/.ovmd.db/accountId", "\xff\xfe junk\n"); }, true, "acc-anna"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        syncFolder = root.path() + QStringLiteral("/%1/Orvella").arg(QString::fromUtf8(c.name).replace(' ', '_'));
        writesRealMarker = true;
        facade->setUpCalls = 0;
        observers->events.clear();
        delegate.calls.clear();
        SyncController& controller = make();
        if (c.provenBefore) {
            controller.setUp();
            ASSERT_TRUE(controller.isSyncEnabled());
        } else {
            ASSERT_TRUE(QDir().mkpath(syncFolder));
        }
        ASSERT_TRUE(c.damage(syncFolder));
        const int setUpsBefore = facade->setUpCalls;
        controller.setUp();

        EXPECT_EQ(facade->setUpCalls - setUpsBefore, c.synced ? 1 : 0);
        EXPECT_EQ(controller.isSyncEnabled(), c.synced);
        EXPECT_EQ(controller.localChangesListener() != nullptr, c.synced);
        if (c.provenBefore && !c.synced) {
            EXPECT_TRUE(observers->events.contains(QStringLiteral("stop 1")));
        }
        EXPECT_EQ(delegate.calls, c.synced ? QStringList() : QStringList{QStringLiteral("syncFolderNotOwned:") + syncFolder});
        QFile marker(syncFolder + "/.ovmd.db/accountId");
        EXPECT_EQ(marker.open(QIODevice::ReadOnly) ? marker.readAll() : QByteArray(), c.markerAfter);
        controller.setDelegate(nullptr);
        this->controller.reset();
    }
}

TEST_F(SyncControllerSetUp, AFailedEngineSetUpStillPreparesTheFolderAndWatch) {
    facade->installed = true;  // an engine from an earlier set-up is still there
    facade->failSetUp = true;
    SyncController& c = make();
    c.setUp();
    EXPECT_FALSE(c.isSyncEnabled());
    EXPECT_TRUE(QFileInfo(syncFolder).isDir());
    EXPECT_EQ(observers->started, 1);
}

// Pause and toggle, with and without an engine.
struct ControlCase {
    const char* name;
    bool engine;
    bool enabledBefore;
    bool toggle;  // else pause
    bool enabledAfter;
    std::vector<bool> engineCalls;
};

void PrintTo(const ControlCase& c, std::ostream* os) { *os << c.name; }

class SyncControl : public SyncControllerFixture, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(SyncControl, TellsTheEngineTheNewState) {
    const ControlCase& k = GetParam();
    SyncController& c = make();
    if (k.enabledBefore) {
        c.setUp();
        ASSERT_TRUE(c.isSyncEnabled());
    }
    facade->installed = k.engine;
    facade->engine.enabledCalls.clear();
    if (k.toggle) c.toggleSync();
    else c.pauseSync();
    EXPECT_EQ(c.isSyncEnabled(), k.enabledAfter);
    EXPECT_EQ(facade->engine.enabledCalls, k.engineCalls);
}

INSTANTIATE_TEST_SUITE_P(
    SyncController, SyncControl,
    ::testing::Values(ControlCase{"pauseRunning", true, true, false, false, {false}},
                      ControlCase{"pausePaused", true, false, false, false, {false}},
                      ControlCase{"pauseWithoutEngine", false, true, false, false, {}},
                      ControlCase{"toggleRunning", true, true, true, false, {false}},
                      ControlCase{"togglePaused", true, false, true, true, {true}},
                      ControlCase{"toggleWithoutEngineWhileEnabled", false, true, true, false, {}},
                      ControlCase{"toggleWithoutEngineWhileDisabled", false, false, true, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SyncControllerSetUp, SubscriptionsReachTheEngineOnlyWhenThereIsOne) {
    SyncController& c = make();
    const std::vector<SelectiveSyncItem> items{{QStringLiteral("/users/anna/Docs"), true, QStringLiteral("7")}};
    c.setSubscriptions(items);
    EXPECT_TRUE(facade->engine.subscribed.empty());
    facade->installed = true;
    c.setSubscriptions(items);
    EXPECT_EQ(facade->engine.subscribed, items);
}

TEST_F(SyncControllerSetUp, RootFolderRemovalFromTheWatchQueuePausesOnTheMainThread) {
    SyncController& c = make();
    c.setUp();
    ASSERT_TRUE(c.isSyncEnabled());
    Qt::HANDLE changedOn = nullptr;
    QObject::connect(&c, &SyncController::isSyncEnabledChanged, &c,
                     [&] { changedOn = QThread::currentThreadId(); }, Qt::DirectConnection);

    std::thread watchQueue([&] { c.rootFolderRemoved(); });
    watchQueue.join();
    EXPECT_TRUE(c.isSyncEnabled()) << "nothing changes on the watch queue itself";
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !delegate.calls.isEmpty(); }));

    EXPECT_FALSE(c.isSyncEnabled());
    EXPECT_EQ(changedOn, QThread::currentThreadId());
    EXPECT_EQ(facade->engine.enabledCalls, std::vector<bool>{false});
    EXPECT_EQ(delegate.calls, QStringList{QStringLiteral("rootFolderMoved")});
}

TEST_F(SyncControllerSetUp, TheWatchReportingTheSyncFolderDeletedPausesAndAsks) {
    SyncController& c = make();
    bool folderExists = true;
    fileExists = [&](const QString&) { return folderExists; };
    c.setUp();
    ASSERT_NE(c.localChangesListener(), nullptr);
    FSEvent gone;
    gone.path = syncFolder;
    gone.flags = FSEvent::Flags(FSEvent::Flags::rootChanged);
    gone.id = 7;
    folderExists = false;
    LocalFSObserver* observer = c.localChangesListener();
    std::thread eventQueue([&] { observer->eventHandler({gone}); });
    eventQueue.join();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !delegate.calls.isEmpty(); }));
    EXPECT_FALSE(c.isSyncEnabled());
    EXPECT_EQ(delegate.calls, QStringList{QStringLiteral("rootFolderMoved")});
}

// What each sync event shows the user.
struct EventCase {
    const char* name;
    SyncEvent event;
    QStringList notifications;  // "title|text" of immediate notifications
    QStringList delegateCalls;
    QStringList debugMessages;
    bool alert;
};

void PrintTo(const EventCase& c, std::ostream* os) { *os << c.name; }

class SyncEvents : public SyncControllerFixture, public ::testing::WithParamInterface<EventCase> {};

QString both(const QString& title, const QString& text) { return title + u'|' + text; }

TEST_P(SyncEvents, ReachTheUser) {
    const EventCase& e = GetParam();
    SyncController& c = make();
    c.setUp();
    facade->engine.enabledCalls.clear();
    c.handle(e.event);

    QStringList notifications;
    for (const auto& request : center->added) notifications << both(request.content.title, request.content.body);
    EXPECT_EQ(notifications, e.notifications);
    for (const auto& request : center->added) EXPECT_FALSE(request.trigger.has_value()) << "shown at once";
    EXPECT_EQ(delegate.calls, e.delegateCalls);
    EXPECT_EQ(c.debugMessages(), e.debugMessages);
    if (e.alert) {
        ASSERT_EQ(Alert::shownCount(), 1);
        const Alert alert = Alert::shownAlerts().front();
        const LocalizationController texts;
        EXPECT_EQ(alert.messageText(), texts.syAlertNotEnoughDiskSpaceToSyncMessage());
        EXPECT_EQ(alert.informativeText(), texts.syAlertNotEnoughDiskSpaceToSyncInformative());
        EXPECT_EQ(alert.buttonTitles(), QStringList{texts.syAlertNotEnoughDiskSpaceToSyncButtonPauseSync()});
        EXPECT_FALSE(c.isSyncEnabled());
        EXPECT_EQ(facade->engine.enabledCalls, std::vector<bool>{false});
    } else {
        EXPECT_EQ(Alert::shownCount(), 0);
        EXPECT_TRUE(c.isSyncEnabled());
    }
}

const LocalizationController eventTexts;

INSTANTIATE_TEST_SUITE_P(
    SyncController, SyncEvents,
    ::testing::Values(
        EventCase{"regularItemMoveReverted",
                  {SyncEvent::Kind::moveActionReverted, QStringLiteral("/a"), QStringLiteral("/b"),
                   MoveActionRevertReason::regularItem},
                  {both(eventTexts.unSyncEventRegularItemMoveActionRevertTitle(),
                        eventTexts.unSyncEventRegularItemMoveActionRevertInformative())},
                  {}, {}, false},
        EventCase{"systemFolderMoveReverted",
                  {SyncEvent::Kind::moveActionReverted, QStringLiteral("/a"), QStringLiteral("/b"),
                   MoveActionRevertReason::systemFolder},
                  {both(eventTexts.unSyncEventSystemFolderMoveActionRevertTitle(),
                        eventTexts.unSyncEventSystemFolderMoveActionRevertInformative())},
                  {}, {}, false},
        EventCase{"systemFolderDeleted",
                  {SyncEvent::Kind::systemFolderDeleted, QStringLiteral("/s/users"), {}, {}},
                  {}, {QStringLiteral("systemFolderDeleted:/s/users")}, {}, false},
        EventCase{"teamFolderGranted",
                  {SyncEvent::Kind::teamfolderAccessGranted, QStringLiteral("Plans"), {}, {}},
                  {both(eventTexts.unSyncEventTeamfolderAccessGrantedTitle(),
                        eventTexts.unSyncEventTeamfolderAccessGrantedInformative().arg(QStringLiteral("Plans")))},
                  {}, {}, false},
        EventCase{"teamFolderRemoved",
                  {SyncEvent::Kind::teamfolderAccessRemoved, QStringLiteral("Plans"), {}, {}},
                  {both(eventTexts.unSyncEventTeamfolderAccessRemovedTitle(),
                        eventTexts.unSyncEventTeamfolderAccessRemovedInformative().arg(QStringLiteral("Plans")))},
                  {}, {}, false},
        EventCase{"localItemRenamed",
                  {SyncEvent::Kind::localItemRenamed, QStringLiteral("a:b.txt"), QStringLiteral("a_b.txt"), {}},
                  {}, {}, {eventTexts.cdSyncNotificationMessageLocalItemRenamed().arg(QStringLiteral("a:b.txt"),
                                                                                      QStringLiteral("a_b.txt"))},
                  false},
        EventCase{"notEnoughDiskSpace", {SyncEvent::Kind::notEnoughDiskSpace, {}, {}, {}}, {}, {}, {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SyncControllerSetUp, RenamesPileUpAndTheDiskSpaceAlertPausesWhateverTheAnswer) {
    SyncController& c = make();
    c.setUp();
    int changes = 0;
    QObject::connect(&c, &SyncController::debugMessagesChanged, &c, [&] { ++changes; });
    c.handle({SyncEvent::Kind::localItemRenamed, QStringLiteral("a"), QStringLiteral("b"), {}});
    c.handle({SyncEvent::Kind::localItemRenamed, QStringLiteral("c"), QStringLiteral("d"), {}});
    EXPECT_EQ(c.debugMessages().size(), 2);
    EXPECT_EQ(changes, 2);
    c.setDebugMessages({});
    EXPECT_TRUE(c.debugMessages().isEmpty());

    Alert::setResponder([](const Alert& alert) { return alert.closeResponse() + 7; });
    c.handle({SyncEvent::Kind::notEnoughDiskSpace, {}, {}, {}});
    EXPECT_FALSE(c.isSyncEnabled());

    controller->setDelegate(nullptr);
    c.handle({SyncEvent::Kind::systemFolderDeleted, QStringLiteral("/s"), {}, {}});
    EXPECT_TRUE(delegate.calls.isEmpty());
}

TEST_F(SyncControllerSetUp, ThemeChangeSwitchesTheExtensionOffAndBackAfterADelay) {
    themeDelayMs = 200;
    make();
    QGuiApplication::setPalette(QPalette(Qt::darkBlue));
    QGuiApplication::setPalette(QPalette());
    EXPECT_TRUE(steps.isEmpty()) << "the icon waits for the delay";
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !steps.isEmpty(); }, 2000));
    EXPECT_EQ(steps.first(), QStringLiteral("icon ") + syncFolder + QStringLiteral(" FinderSyncRootIcon"));
}

TEST_F(SyncControllerSetUp, ThemeChangeWithoutSyncFolderTouchesNothing) {
    themeDelayMs = 50;
    syncFolderPathValue = false;
    SyncController& c = make();
    c.interfaceThemeChanged();
    TestEnvironment::waitUntil([] { return false; }, 300);
    EXPECT_TRUE(steps.isEmpty());
}

}  // namespace
