#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QPointer>

#include <memory>

#include "app/core/BusinessFacadeHolder.h"
#include "app/core/OVPathResolver.h"
#include "app/core/SettingsController.h"
#include "app/core/UserController.h"
#include "app/delegate/AppDelegate.h"
#include "app/selectivesync/StoreController.h"
#include "app/sync/FinderSidebarController.h"
#include "app/sync/SyncExtensionController.h"
#include "frameworks/business/ConnectivityManager.h"
#include "frameworks/business/OrvellaFacade.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/sidebar/SidebarBookmarks.h"
#include "service/StorageService.h"
#include "support/TestEnvironment.h"

// The core only announces what a finished log-out or a connect means for the layers above it;
// these tests check that the delegate carries each announcement to where it acts.
namespace {

// The launch's connect finds no session and signs out on the main queue: let that finish first.
void settle(AppDelegate& delegate) {
    TestEnvironment::waitUntil([] { return false; }, 50);
    TestEnvironment::waitUntil([&] { return !delegate.userController().isLogoutInProgress(); });
}

struct LogoutCase {
    const char* name;
    bool controllerGone;
};

class LogoutCleanupWiring : public ::testing::TestWithParam<LogoutCase> {};

TEST_P(LogoutCleanupWiring, EmptiesTheStoreSwitchesTheExtensionOffAndDropsTheSidebarEntryOfALiveController) {
    const LogoutCase& c = GetParam();
    AppDelegate delegate(AppDelegate::Environment{});
    settle(delegate);
    SettingsController().settings()->setShowBadgesInFinder(true);
    SyncExtensionController::shared().updateExtensionState(true);
    ASSERT_TRUE(SyncExtensionController::shared().requestedEnabled());
    StoreController& store = StoreController::shared();
    store.createNode(QStringLiteral("/kept"), std::nullopt);
    ASSERT_FALSE(store.viewContext().save());
    const QString syncFolder = qEnvironmentVariable("ORVELLA_HOME") + QStringLiteral("/Orvella ") + c.name;
    QDir().mkpath(syncFolder);
    FinderSidebarController(OVPathResolver::shared()).replaceSyncRootFavorite(syncFolder);
    const auto bookmarked = [&] {
        for (const SidebarBookmark& b : SidebarBookmarks().bookmarks().value_or(QList<SidebarBookmark>()))
            if (b.localPath() == syncFolder) return true;
        return false;
    };
    ASSERT_TRUE(bookmarked());

    auto other = std::make_unique<UserController>();
    QPointer<UserController> controller = &delegate.userController();
    if (c.controllerGone) {
        controller = other.get();
        other.reset();
    }
    bool finished = false;
    UserController::finishLogout(controller, VoidResult(Success{}), [&](bool) { finished = true; });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return finished; }));
    EXPECT_FALSE(store.nodeForRelativePath(QStringLiteral("/kept")));
    EXPECT_FALSE(SyncExtensionController::shared().requestedEnabled());
    EXPECT_EQ(bookmarked(), c.controllerGone);
}

INSTANTIATE_TEST_SUITE_P(Delegate, LogoutCleanupWiring,
                         ::testing::Values(LogoutCase{"controllerAlive", false}, LogoutCase{"controllerGone", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConnectWiring, AConnectAnsweredWhileSignedInSwitchesTheExtensionOn) {
    auto* facade = dynamic_cast<OrvellaFacade*>(&BusinessFacadeHolder::facade());
    ASSERT_TRUE(facade);
    ASSERT_TRUE(facade->createAccountNow(QStringLiteral("wiring"), QStringLiteral("wiring@example.org"),
                                         QStringLiteral("a long enough secret"))
                    .isSuccess());
    AppDelegate delegate(AppDelegate::Environment{});
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return delegate.userController().isLoggedIn(); }));
    SettingsController().settings()->setShowBadgesInFinder(true);
    SyncExtensionController::shared().disableExtension();

    // The network coming back makes the framework controller connect again; nothing else turns
    // the extension on.
    for (const bool reachable : {false, true}) {
        StorageService::shared()->setReachable(reachable);
        BusinessFacadeHolder::facade().connectivityManager().refresh();
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(TestEnvironment::waitUntil([] { return SyncExtensionController::shared().requestedEnabled(); }));
    bool signedOut = false;
    facade->logout(false, [&](VoidResult) { signedOut = true; });
    TestEnvironment::waitUntil([&] { return signedOut; });
}

}  // namespace
