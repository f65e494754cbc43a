#include <gtest/gtest.h>

#include <QThread>

#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "SyncControllerTestSupport.h"
#include "app/common/AppActions.h"
#include "app/common/LocalizationController.h"
#include "app/sync/ObjCSyncQueueCount.h"
#include "app/sync/SyncErrorTexts.h"
#include "app/sync/SyncStatusImages.h"
#include "platform/appkit/Application.h"

using namespace synctest;

namespace {

using Kind = SyncStatus::Kind;
using L = LocalizationController;

SyncStatus error(SyncError::Kind kind) { return SyncStatus::makeError(SyncError{kind, 0}); }
SyncStatus of(Kind kind) { return SyncStatus::of(kind); }
SyncProgress progress(std::int64_t total, std::int64_t completed, bool finished = false) {
    return {total, completed, finished};
}

QString text(L::Member getter) { return (L().*getter)(); }

// One status after some others, and how the controller presents it.
struct PresentationCase {
    const char* name;
    std::vector<SyncStatus> before;
    SyncStatus status;
    QString image;
    L::Member description;
    bool showSyncingUIElements;
    std::optional<SyncProgress> download;  // none: left at its start value
    std::optional<SyncProgress> upload;
    bool shouldReportAfter;
};

void PrintTo(const PresentationCase& c, std::ostream* os) { *os << c.name; }

class StatusPresentation : public SyncControllerFixture, public ::testing::WithParamInterface<PresentationCase> {};

TEST_P(StatusPresentation, FollowsTheTable) {
    const PresentationCase& p = GetParam();
    SyncController& c = make();
    for (const SyncStatus& status : p.before) c.syncStatusChanged(status);
    c.syncStatusChanged(p.status);

    EXPECT_EQ(c.syncStatusImageName(), p.image);
    EXPECT_EQ(c.syncStatusImage().name(), p.image);
    EXPECT_EQ(c.syncStatusDescription(), text(p.description));
    EXPECT_EQ(c.showSyncingUIElements(), p.showSyncingUIElements);
    EXPECT_EQ(c.queueCount()->download(), p.download.value_or(SyncProgress{}));
    EXPECT_EQ(c.queueCount()->upload(), p.upload.value_or(SyncProgress{}));
    EXPECT_EQ(c.shouldReportSyncingStatus(), p.shouldReportAfter);
    EXPECT_FALSE(c.cachedSyncStatus().has_value());
}

const std::vector<PresentationCase> presentationCases{
    {"syncing", {}, SyncStatus::syncing(true), SyncStatusImages::statusBarSyncing,
     &L::mbMenuItemSyncStatusSyncingGeneral, false, {}, {}, true},
    {"syncingWithoutFlagWhileReporting", {of(Kind::upToDate)}, SyncStatus::syncing(false),
     SyncStatusImages::statusBarSyncing, &L::mbMenuItemSyncStatusSyncingGeneral, false, {}, {}, true},
    {"syncingWithoutFlagAfterInterruptingError", {error(SyncError::Kind::setupFailure)}, SyncStatus::syncing(false),
     SyncStatusImages::statusBarErrorInactive, &L::mbMenuItemSyncStatusError, false, {}, {}, false},
    {"syncingWithFlagAfterInterruptingError", {error(SyncError::Kind::setupFailure)}, SyncStatus::syncing(true),
     SyncStatusImages::statusBarSyncing, &L::mbMenuItemSyncStatusSyncingGeneral, false, {}, {}, true},
    {"progressDownloading", {of(Kind::upToDate)},
     SyncStatus::progress(progress(10, 3), progress(0, 0), false), SyncStatusImages::statusBarSyncing,
     &L::mbMenuItemSyncStatusSyncingGeneral, true, progress(10, 3), progress(0, 0), true},
    {"progressUploading", {of(Kind::upToDate)},
     SyncStatus::progress(progress(0, 0), progress(5, 1), false), SyncStatusImages::statusBarSyncing,
     &L::mbMenuItemSyncStatusSyncingGeneral, true, progress(0, 0), progress(5, 1), true},
    {"progressNothingToTransferKeepsText", {of(Kind::upToDate)},
     SyncStatus::progress(progress(0, 0), progress(0, 0), false), SyncStatusImages::statusBarSyncing,
     &L::mbMenuItemSyncStatusUpToDate, true, progress(0, 0), progress(0, 0), true},
    {"progressFinishedTransfersKeepText", {of(Kind::paused)},
     SyncStatus::progress(progress(10, 10, true), progress(4, 4, true), false), SyncStatusImages::statusBarSyncing,
     &L::mbMenuItemSyncStatusPaused, true, progress(10, 10, true), progress(4, 4, true), true},
    {"progressFlagAloneIsATransfer", {of(Kind::upToDate)},
     SyncStatus::progress(progress(0, 0), progress(0, 0), true), SyncStatusImages::statusBarSyncing,
     &L::mbMenuItemSyncStatusSyncingGeneral, true, progress(0, 0), progress(0, 0), true},
    {"finishingKeepsImageAndRows", {SyncStatus::progress(progress(4, 1), progress(0, 0), false)},
     SyncStatus::finishing(progress(4, 4, true), progress(2, 2, true)), SyncStatusImages::statusBarSyncing,
     &L::mbMenuItemSyncStatusFinishing, true, progress(4, 4, true), progress(2, 2, true), true},
    {"finishingAfterUpToDate", {of(Kind::upToDate)}, SyncStatus::finishing(progress(1, 1, true), progress(0, 0)),
     SyncStatusImages::statusBarDefault, &L::mbMenuItemSyncStatusFinishing, false, progress(1, 1, true),
     progress(0, 0), true},
    {"itemError", {SyncStatus::progress(progress(4, 1), progress(0, 0), false)},
     error(SyncError::Kind::itemIsReadonlyOnRemote), SyncStatusImages::statusBarErrorActive,
     &L::mbMenuItemSyncStatusError, false, progress(4, 1), progress(0, 0), true},
    {"interruptingError", {}, error(SyncError::Kind::insufficientLocalStorage),
     SyncStatusImages::statusBarErrorInactive, &L::mbMenuItemSyncStatusError, false, {}, {}, false},
    {"paused", {SyncStatus::progress(progress(4, 1), progress(0, 0), false)}, of(Kind::paused),
     SyncStatusImages::statusBarPaused, &L::mbMenuItemSyncStatusPaused, false, progress(4, 1), progress(0, 0), false},
    {"upToDate", {SyncStatus::syncing(true)}, of(Kind::upToDate), SyncStatusImages::statusBarDefault,
     &L::mbMenuItemSyncStatusUpToDate, false, {}, {}, true},
    {"offline", {of(Kind::upToDate)}, of(Kind::offline), SyncStatusImages::statusBarOffline,
     &L::mbMenuItemSyncStatusDisconnected, false, {}, {}, false},
    {"preparing", {of(Kind::upToDate)}, of(Kind::preparing), SyncStatusImages::statusBarSyncing,
     &L::mbMenuItemSyncStatusPreparing, false, {}, {}, true},
};

INSTANTIATE_TEST_SUITE_P(SyncController, StatusPresentation, ::testing::ValuesIn(presentationCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The notifications a run of statuses asks for, by identifier, in order.
struct NotificationCase {
    const char* name;
    std::vector<SyncStatus> statuses;
    QStringList identifiers;
};

void PrintTo(const NotificationCase& c, std::ostream* os) { *os << c.name; }

class StatusNotifications : public SyncControllerFixture, public ::testing::WithParamInterface<NotificationCase> {};

TEST_P(StatusNotifications, AskOnlyForNewStates) {
    const NotificationCase& n = GetParam();
    LogRecorder log({&AppLog::notification()});
    SyncController& c = make();
    for (const SyncStatus& status : n.statuses) c.syncStatusChanged(status);
    QStringList identifiers;
    const QString prefix = QStringLiteral("DEBUG Notification: CoalescedNotification called: ");
    for (const QString& line : log.lines())
        if (line.startsWith(prefix)) identifiers << line.mid(prefix.size());
    EXPECT_EQ(identifiers, n.identifiers);
}

INSTANTIATE_TEST_SUITE_P(
    SyncController, StatusNotifications,
    ::testing::Values(
        NotificationCase{"repeatedUpToDatePostsOnce", {of(Kind::upToDate), of(Kind::upToDate)}, {"synced"}},
        NotificationCase{"progressRunPostsPreparingOnce",
                         {SyncStatus::progress(progress(5, 0), progress(0, 0), false),
                          SyncStatus::progress(progress(9, 0), progress(1, 0), false),
                          SyncStatus::progress(progress(9, 4), progress(1, 1), false)},
                         {"syncing"}},
        NotificationCase{"progressRunWithWorkDoneFirstPostsNothing",
                         {SyncStatus::progress(progress(5, 1), progress(0, 0), false),
                          SyncStatus::progress(progress(5, 0), progress(0, 0), false)},
                         {}},
        NotificationCase{"progressAfterOtherStatesPostsAgain",
                         {SyncStatus::progress(progress(5, 0), progress(0, 0), false), of(Kind::upToDate),
                          SyncStatus::progress(progress(2, 0), progress(0, 0), false)},
                         {"syncing", "synced", "syncing"}},
        NotificationCase{"errorsHeldBackAfterInterruptionUntilSyncing",
                         {error(SyncError::Kind::setupFailure), error(SyncError::Kind::itemIsReadonlyOnRemote),
                          of(Kind::upToDate), SyncStatus::syncing(true), error(SyncError::Kind::itemIsReadonlyOnLocalFS)},
                         {"error", "error"}},
        NotificationCase{"equalErrorsPostOnce",
                         {error(SyncError::Kind::itemIsReadonlyOnRemote), error(SyncError::Kind::itemIsReadonlyOnRemote)},
                         {"error"}},
        NotificationCase{"upsellEvenWhenReportingIsOff", {of(Kind::paused), error(SyncError::Kind::insufficientRemoteStorage)},
                         {"criticalError"}},
        NotificationCase{"aFileTooLargeForTheRoomLeftIsAnErrorNotTheUpsell",
                         {error(SyncError::Kind::fileTooLargeForRemoteStorage)}, {"error"}},
        NotificationCase{"upToDateAfterOfflineHeldBackUntilProgress",
                         {of(Kind::offline), of(Kind::upToDate), SyncStatus::progress(progress(1, 0), progress(0, 0), false),
                          of(Kind::upToDate)},
                         {"syncing", "synced"}},
        NotificationCase{"otherStatesPostNothing",
                         {SyncStatus::syncing(true), of(Kind::preparing), of(Kind::paused), of(Kind::offline),
                          SyncStatus::finishing(progress(1, 1, true), progress(0, 0))},
                         {}}),
    [](const auto& info) { return std::string(info.param.name); });

class StatusNotificationTexts : public SyncControllerFixture {};

TEST_F(StatusNotificationTexts, CarryTheirTitlesAndTexts) {
    SyncController& c = make();
    const L texts;
    // The first "syncing" kind is shown at once.
    c.syncStatusChanged(SyncStatus::progress(progress(3, 0), progress(0, 0), false));
    ASSERT_EQ(center->added.size(), 1u);
    EXPECT_EQ(center->added[0].content.title, texts.unSyncPreparingTitle());
    EXPECT_EQ(center->added[0].content.body, texts.unSyncPreparingInformative());

    // An error ends the run: held back, with the error's own description.
    c.syncStatusChanged(error(SyncError::Kind::itemIsInReadonlyDirectory));
    const auto& held = c.notificationController().scheduledNotification();
    ASSERT_TRUE(held.has_value());
    EXPECT_EQ(held->identifier, NotificationIdentifier::error);
    EXPECT_EQ(held->notification.content.title, texts.unSyncErrorTitle());
    EXPECT_EQ(held->notification.content.body, texts.erSynItemIsInReadonlyDirectoryDescription());
}

TEST_F(StatusNotificationTexts, UpsellIsShownAtOnceAndItsClickOpensTheUpgradePage) {
    QList<QUrl> opened;
    Workspace::setOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    SyncController& c = make();
    const L texts;
    c.syncStatusChanged(error(SyncError::Kind::insufficientRemoteStorage));
    ASSERT_EQ(center->added.size(), 1u);
    EXPECT_EQ(center->added[0].content.title, texts.unSyncUpsellTitle());
    EXPECT_EQ(center->added[0].content.body, texts.unSyncUpsellInformative());

    // The click arrives through the center, as the desktop delivers it.
    NotificationResponse response{center->added[0], NotificationResponse::defaultActionIdentifier};
    bool completed = false;
    ASSERT_NE(center->delegate(), nullptr);
    center->delegate()->userNotificationCenterDidReceiveNotificationResponse(*center, response,
                                                                           [&] { completed = true; });
    EXPECT_TRUE(completed);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl(texts.unSyncUpsellURL()));
    EXPECT_TRUE(opened[0].isValid());

    // A sync error's notification leads to the list of what did not sync; others lead nowhere.
    QStringList sent;
    Application::shared().registerAction(AppAction::showConnectionDoctor, [&](QObject*) { sent << "doctor"; });
    c.notificationActivated(texts.unSyncErrorTitle());
    c.notificationActivated(texts.unSyncSyncedTitle());
    c.notificationActivated(QString());
    Application::shared().unregisterAction(AppAction::showConnectionDoctor);
    EXPECT_EQ(opened.size(), 1) << "other notifications open no address";
    EXPECT_EQ(sent, QStringList{"doctor"});
}

// Statuses held back while offline, signed out or onboarding, and their replay.
class StatusCaching : public SyncControllerFixture {};

TEST_F(StatusCaching, OfflineKeepsOnlyTheNewestAndLetsOfflineThrough) {
    LogRecorder log({&AppLog::syncStatus()});
    SyncController& c = make();
    reachability->setIsConnected(false);
    c.syncStatusChanged(of(Kind::upToDate));
    c.syncStatusChanged(of(Kind::paused));
    EXPECT_EQ(c.cachedSyncStatus(), of(Kind::paused));
    EXPECT_EQ(c.syncStatusImageName(), SyncStatusImages::statusBarOffline);
    EXPECT_EQ(log.matching(QStringLiteral("INFO Sync status: Received paused while offline. Caching status")).size(), 1);

    c.syncStatusChanged(of(Kind::preparing));
    c.syncStatusChanged(of(Kind::offline));
    EXPECT_EQ(c.syncStatusDescription(), L().mbMenuItemSyncStatusDisconnected());
    EXPECT_EQ(c.cachedSyncStatus(), of(Kind::preparing)) << "the offline status is shown, not cached";
}

TEST_F(StatusCaching, SignedOutCachesEveryStatusAndSignInReplaysTheNewest) {
    LogRecorder log({&AppLog::syncStatus()});
    facade->installed = true;
    SyncController& c = make(false);
    c.syncStatusChanged(of(Kind::offline));
    c.syncStatusChanged(of(Kind::upToDate));
    EXPECT_EQ(c.cachedSyncStatus(), of(Kind::upToDate));
    EXPECT_EQ(c.syncStatusDescription(), L().mbMenuItemSyncStatusDisconnected());
    EXPECT_EQ(log.matching(QStringLiteral("Received upToDate while user is logged out. Caching status")).size(), 1);

    signIn();
    EXPECT_FALSE(c.cachedSyncStatus().has_value());
    EXPECT_EQ(c.syncStatusImageName(), SyncStatusImages::statusBarDefault);
    EXPECT_EQ(c.syncStatusDescription(), L().mbMenuItemSyncStatusUpToDate());
    EXPECT_GE(facade->engine.triggerCount, 1);
}

TEST_F(StatusCaching, OnboardingCachesToo) {
    SyncController& c = make();
    users->setIsOnboarding(true);
    c.syncStatusChanged(of(Kind::paused));
    EXPECT_EQ(c.cachedSyncStatus(), of(Kind::paused));
    users->setIsOnboarding(false);
    users->setIsAvailable(false);
    c.syncStatusChanged(of(Kind::upToDate));
    EXPECT_EQ(c.cachedSyncStatus(), of(Kind::upToDate)) << "an unavailable user counts as signed out";
}

TEST_F(StatusCaching, AReplayThatHasToHoldTheStatusBackAgainKeepsIt) {
    SyncController& c = make(false);
    c.syncStatusChanged(of(Kind::upToDate));
    ASSERT_EQ(c.cachedSyncStatus(), of(Kind::upToDate));

    // Signing in while offline: the replay caches the status once more, and it must stay.
    reachability->setIsConnected(false);
    signIn();
    EXPECT_EQ(c.cachedSyncStatus(), of(Kind::upToDate));
    EXPECT_EQ(c.syncStatusImageName(), SyncStatusImages::statusBarOffline);

    // Once the network is back the held status is shown.
    reachability->setIsConnected(true);
    EXPECT_FALSE(c.cachedSyncStatus().has_value());
    EXPECT_EQ(c.syncStatusImageName(), SyncStatusImages::statusBarDefault);
}

TEST_F(StatusCaching, NoReplayBeforeTheApplicationWasSetUpOrWithoutUser) {
    facade->installed = true;
    facade->settings()->setIsAlreadyLaunched(false);
    SyncController& c = make(false);
    c.syncStatusChanged(of(Kind::paused));
    signIn();
    EXPECT_EQ(c.cachedSyncStatus(), of(Kind::paused));
    EXPECT_EQ(facade->engine.triggerCount, 0);

    facade->settings()->setIsAlreadyLaunched(true);
    signOut();
    EXPECT_EQ(c.cachedSyncStatus(), of(Kind::paused)) << "a sign-out replays nothing";
    EXPECT_EQ(facade->engine.triggerCount, 0);
}

// Engine callbacks arrive on the engine's threads.
class EngineThreads : public SyncControllerFixture {};

TEST_F(EngineThreads, StatusChangesLandOnTheMainThread) {
    SyncController& c = make();
    std::vector<Qt::HANDLE> threads;
    for (auto signal : {&SyncController::syncStatusImageChanged, &SyncController::syncStatusDescriptionChanged,
                        &SyncController::showSyncingUIElementsChanged}) {
        QObject::connect(&c, signal, &c, [&] { threads.push_back(QThread::currentThreadId()); },
                         Qt::DirectConnection);
    }
    std::thread engine([&] {
        c.syncStatusChanged(SyncStatus::progress(progress(3, 1), progress(0, 0), false));
        c.syncStatusChanged(of(Kind::upToDate));
    });
    engine.join();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return c.syncStatusImageName() == SyncStatusImages::statusBarDefault; }));
    ASSERT_FALSE(threads.empty());
    for (Qt::HANDLE thread : threads) EXPECT_EQ(thread, QThread::currentThreadId());
    EXPECT_FALSE(c.showSyncingUIElements());
}

TEST_F(EngineThreads, EventsAreHandledOnTheMainThread) {
    SyncController& c = make();
    Qt::HANDLE changedOn = nullptr;
    QObject::connect(&c, &SyncController::debugMessagesChanged, &c, [&] { changedOn = QThread::currentThreadId(); },
                     Qt::DirectConnection);
    std::thread engine([&] { c.handle({SyncEvent::Kind::localItemRenamed, QStringLiteral("a"), QStringLiteral("b")}); });
    engine.join();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !c.debugMessages().isEmpty(); }));
    EXPECT_EQ(changedOn, QThread::currentThreadId());
}

TEST_F(EngineThreads, ItemStatusesReachTheExtensionsInOrderAndNeverFromTheMainThread) {
    SyncController& c = make();
    c.itemStatusChanged(QStringLiteral("/s/first"), OVItemSyncStatus::syncing);
    std::thread engine([&] {
        for (int i = 0; i < 50; ++i)
            c.itemStatusChanged(QStringLiteral("/s/%1").arg(i), i % 2 ? OVItemSyncStatus::synced : OVItemSyncStatus::error);
    });
    engine.join();
    c.waitForPendingPushes();
    const auto pushes = commServer.snapshot();
    ASSERT_EQ(pushes.size(), 51u);
    EXPECT_EQ(pushes[0].path, QStringLiteral("/s/first"));
    EXPECT_EQ(pushes[0].status, OVItemSyncStatus::syncing);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(pushes[i + 1].path, QStringLiteral("/s/%1").arg(i));
        EXPECT_EQ(pushes[i + 1].status, i % 2 ? OVItemSyncStatus::synced : OVItemSyncStatus::error);
    }
    for (const auto& push : pushes) EXPECT_FALSE(push.onMainThread);
    EXPECT_EQ(c.cachedSyncStatus(), std::nullopt) << "item statuses are not stored";
}

TEST_F(EngineThreads, WhileTheExtensionIsSlowOnlyEachItemsLatestStatusWaits) {
    std::promise<void> release, sending;
    std::once_flag first;
    commServer.beforeSend = [&, released = release.get_future().share()] {
        std::call_once(first, [&] { sending.set_value(); });
        released.wait();
    };
    SyncController& c = make();
    c.itemStatusChanged(QStringLiteral("/s/first"), OVItemSyncStatus::syncing);
    sending.get_future().wait();  // the extension is busy with the first from here on
    for (int round = 0; round < 100; ++round)
        for (int i = 0; i < 10; ++i)
            c.itemStatusChanged(QStringLiteral("/s/%1").arg(i), round % 2 ? OVItemSyncStatus::synced : OVItemSyncStatus::syncing);
    c.itemStatusChanged(QStringLiteral("/s/3"), OVItemSyncStatus::error);
    release.set_value();
    c.waitForPendingPushes();
    const auto pushes = commServer.snapshot();
    ASSERT_EQ(pushes.size(), 11u);
    std::map<QString, OVItemSyncStatus> last;
    for (const auto& push : pushes) last[push.path] = *push.status;
    EXPECT_EQ(last[QStringLiteral("/s/first")], OVItemSyncStatus::syncing);
    EXPECT_EQ(last[QStringLiteral("/s/3")], OVItemSyncStatus::error);
    EXPECT_EQ(last[QStringLiteral("/s/7")], OVItemSyncStatus::synced);
}

TEST_F(EngineThreads, WithoutCommServerItemStatusesAreOnlyLogged) {
    signIn();
    SyncController c(nullptr, *quota, *users, *reachability, services());
    LogRecorder log({&AppLog::framework()});
    c.itemStatusChanged(QStringLiteral("/s/x"), OVItemSyncStatus::selectivelyNotSynced);
    c.waitForPendingPushes();
    EXPECT_EQ(log.matching(QStringLiteral("DEBUG Framework: Status changed for item at URL: /s/x")).size(), 1);
    EXPECT_EQ(log.matching(QStringLiteral("New status: selectivelyNotSynced")).size(), 1);
}

}  // namespace
