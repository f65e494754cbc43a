#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QThread>

#include <functional>
#include <map>
#include <tuple>

#include "app/backup/BackupController.h"
#include "app/common/AppActions.h"
#include "app/core/FeaturesController.h"
#include "app/core/ObjCFeatures.h"
#include "app/shell/menubar/MenuBarExtrasController.h"
#include "app/shell/update/SUUpdater.h"
#include "app/shell/update/SUUpdaterDelegate.h"
#include "app/sync/ObjCSyncQueueCount.h"
#include "app/sync/SyncControllerTestSupport.h"
#include "app/sync/SyncStatusImages.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/StatusBarButton.h"
#include "platform/appkit/StatusItem.h"
#include "platform/appkit/StatusItemWindow.h"
#include "platform/foundation/UserDefaults.h"

static void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

const LocalizationController texts;

class MenuBarTest : public synctest::SyncControllerFixture {
protected:
    void SetUp() override {
        SyncControllerFixture::SetUp();
        facade->settings()->setIsAlreadyLaunched(true);
        // Every action the menus may send is recorded instead of handled.
        for (const QString& name : AppAction::all())
            Application::shared().registerAction(name, [this, name](QObject*) { sent << name; });
    }
    void TearDown() override {
        menuBar.reset();
        backup.reset();
        features.reset();
        for (const QString& name : AppAction::all()) Application::shared().unregisterAction(name);
        SyncControllerFixture::TearDown();
    }

    // A fresh start: nobody known yet, the view loaded with every controller handed over.
    MenuBarExtrasController& load() {
        make(false);
        features = std::make_unique<FeaturesController>(*users);
        backup = std::make_unique<BackupController>(*quota, *users, OVBackupDependencyProvider{100}, false);
        menuBar = std::make_unique<MenuBarExtrasController>();
        menuBar->setQuotaController(std::make_unique<QuotaController>(
            std::make_shared<OVFacadeUserProvider>(), [this] { return now; }, [] { return true; }));
        menuBar->userController = users.get();
        menuBar->syncController = controller.get();
        menuBar->backupController = backup.get();
        menuBar->featuresController = features.get();
        menuBar->loadView();
        return *menuBar;
    }
    void signInUser() {
        facade->user = user;
        users->update();
    }
    QMenu* shownMenu() const { return menuBar->statusItem()->menu(); }
    QString tooltip() const { return menuBar->statusItem()->button()->toolTip(); }
    void settle() { TestEnvironment::waitUntil([] { return false; }, 30); }

    std::shared_ptr<TestBusinessUser> user = std::make_shared<TestBusinessUser>();
    std::unique_ptr<FeaturesController> features;
    std::unique_ptr<BackupController> backup;
    std::unique_ptr<MenuBarExtrasController> menuBar;
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
    QStringList sent;
};

struct StateCase {
    const char* name;
    bool launchedBefore;
    QStringList events;
    const char* menu;  // "offline", "in", "out", "settingUp"
    QString stateLine;
    QString image;
};

class MenuBarStates : public MenuBarTest, public ::testing::WithParamInterface<StateCase> {};

TEST_P(MenuBarStates, FollowTheUserState) {
    const StateCase& c = GetParam();
    // No tray: the window must follow the same states as the tray's menu.
    StatusItem::setTrayProbe([] { return false; });
    facade->settings()->setIsAlreadyLaunched(c.launchedBefore);
    // "load" in the list makes the menus there; what comes before it is known already.
    if (!c.events.contains("load")) load();
    for (const QString& event : c.events) {
        if (event == "load") {
            load();
            settle();
            continue;
        }
        if (event == "available") users->setIsAvailable(true);
        if (event == "signIn") signInUser();
        if (event == "signOut") {
            facade->user.reset();
            users->update();
        }
        if (event == "onboarded") facade->settings()->setIsAlreadyLaunched(true);
        if (event == "relaunchNeeded") facade->settings()->setIsAlreadyLaunched(false);
        if (event == "logoutFinished") {
            users->setIsLogoutInProgress(true);
            users->setIsLogoutInProgress(false);
        }
        if (event == "disabled") menuBar->setIsEnabled(false);
        settle();
    }
    const std::map<QString, QMenu*> menus = {
        {"offline", menuBar->menuOffline()}, {"in", menuBar->menuSignedIn()}, {"out", menuBar->menuSignedOut()},
        {"settingUp", menuBar->menuSettingUp()}};
    EXPECT_EQ(shownMenu(), menus.at(c.menu));
    const std::map<QString, QString> lines = {{"", ""}, {"in", texts.mbMenuItemSignedIn()}, {"out", texts.mbMenuItemSignedOut()}};
    EXPECT_EQ(menuBar->signedOutMenuItem()->text(), lines.at(c.stateLine));
    menuBar->statusItem()->setWindowWithoutTray("Orvella");
    StatusItemWindow* window = menuBar->statusItem()->window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->menu(), menus.at(c.menu));
    if (menus.at(c.menu)->actions().contains(menuBar->signedOutMenuItem())) {
        EXPECT_TRUE(window->contents().contains("line:" + lines.at(c.stateLine)));
    }
    EXPECT_TRUE(window->contents().contains("command:" + texts.mbMenuItemQuit()));
    StatusItem::setTrayProbe(nullptr);
    EXPECT_EQ(controller->syncStatusImageName(),
              c.image == "online" ? SyncStatusImages::statusBarDefault : SyncStatusImages::statusBarOffline);
    EXPECT_TRUE(menuBar->statusItem()->button()->isEnabled());
    EXPECT_FALSE(menuBar->statusItem()->button()->image().isNull());
}

const QString in = "in";
const QString out = "out";
const QString online = "online";
const QString offline = "offline";

INSTANTIATE_TEST_SUITE_P(
    Table, MenuBarStates,
    ::testing::Values(
        StateCase{"JustLoaded", true, {}, "offline", "", offline},
        StateCase{"StoredSessionAtStart", true, {"available", "signIn"}, "in", in, offline},
        StateCase{"SignedInNotYetAvailable", true, {"signIn"}, "offline", in, online},
        StateCase{"SignedInNeverLaunched", false, {"signIn"}, "settingUp", in, online},
        // Signed in on the onboarding's sign-in page: the line says so, and no menu offers a sign-in.
        StateCase{"SignedInMidOnboarding", false, {"logoutFinished", "signIn"}, "settingUp", in, online},
        StateCase{"AvailableMidOnboarding", false, {"logoutFinished", "signIn", "available"}, "settingUp", in, online},
        StateCase{"AvailableAfterSignInEvenWhenDisabled", true, {"signIn", "disabled", "available"}, "in", in, online},
        StateCase{"SignedOutWhileAvailableAndLaunched", true, {"available", "signIn", "signOut"}, "out", out, offline},
        StateCase{"SignedInAgainInTheSameRun", true,
                  {"available", "signIn", "signOut", "relaunchNeeded", "signIn", "onboarded"}, "in", in, online},
        StateCase{"NoSessionAtStart", false, {"logoutFinished"}, "out", out, offline},
        StateCase{"SessionConnectedBeforeTheMenusWereMade", true, {"available", "signIn", "load"}, "in", in, offline}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MenuBarTest, ASignOutReportedFromAnotherThreadReachesTheMenuOnTheMainThread) {
    load();
    users->setIsAvailable(true);
    signInUser();
    ASSERT_EQ(shownMenu(), menuBar->menuSignedIn());
    QThread* engine = QThread::create([this] { users->setIsLoggedIn(false); });
    engine->start();
    engine->wait();
    delete engine;
    EXPECT_EQ(shownMenu(), menuBar->menuSignedIn());  // not touched from the engine's thread
    EXPECT_TRUE(TestEnvironment::waitUntil([this] { return shownMenu() == menuBar->menuSignedOut(); }));
    EXPECT_EQ(tooltip(), texts.mbMenuItemSignedOut());
}

struct QuotaFailureCase {
    const char* name;
    BusinessError error;
    bool signsOut;
};

class MenuBarQuotaFailure : public MenuBarTest, public ::testing::WithParamInterface<QuotaFailureCase> {};

TEST_P(MenuBarQuotaFailure, OnlyARefusedAuthorizationSignsTheUserOut) {
    const QuotaFailureCase& c = GetParam();
    load();
    users->setIsAvailable(true);
    signInUser();
    ASSERT_EQ(user->requests.size(), 1u);
    user->requests.back()->answer(OVQuota{100, 40, 60});
    ASSERT_TRUE(TestEnvironment::waitUntil([this] { return menuBar->quota() != nullptr; }));
    const auto shownQuota = menuBar->quota();

    // Opening the other menus asks nothing; the signed-in menu asks once the cache is old.
    menuBar->menuWillOpen(menuBar->menuOffline());
    menuBar->menuWillOpen(menuBar->menuSignedOut());
    now += std::chrono::seconds(11);
    menuBar->menuWillOpen(menuBar->menuSignedIn());
    ASSERT_EQ(user->requests.size(), 2u);
    user->requests.back()->answer(c.error);
    settle();

    EXPECT_EQ(menuBar->quota(), shownQuota);
    EXPECT_EQ(sent, c.signsOut ? QStringList{AppAction::resetUserSession} : QStringList{});
    EXPECT_EQ(Alert::shownCount(), c.signsOut ? 1 : 0);
    if (c.signsOut) {
        EXPECT_EQ(Alert::shownAlerts().back().messageText(), texts.syAlertUnauthorizedMessage());
        EXPECT_EQ(shownMenu(), menuBar->menuSignedOut());
        EXPECT_EQ(tooltip(), texts.mbMenuItemSignedOut());
    } else {
        EXPECT_EQ(shownMenu(), menuBar->menuSignedIn());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, MenuBarQuotaFailure,
    ::testing::Values(QuotaFailureCase{"SessionEnded", BusinessError::make(BusinessError::Kind::invalidSession), true},
                      QuotaFailureCase{"Unauthorized", BusinessError::api(APIError::unauthorized), true},
                      QuotaFailureCase{"NoConnection", BusinessError::make(BusinessError::Kind::noConnection), false},
                      QuotaFailureCase{"ServerError", BusinessError::api(APIError::serverError), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MenuBarTest, TheSyncErrorLineCountsTheItemsAndKeepsItsTitleAtZero) {
    load();
    users->setIsAvailable(true);
    signInUser();
    facade->installed = true;
    const SyncErrorInfo error{QDateTime::currentDateTimeUtc(), QStringLiteral("/a.txt"),
                              SyncError{SyncError::Kind::itemIsReadonlyOnRemote}};
    const QString one = texts.mbMenuItemOneItemNotSynchronized().arg("1");
    const QString three = texts.mbMenuItemMultipleItemsNotSynchronized().arg("3");
    for (const auto& [count, title] : std::vector<std::pair<int, QString>>{{1, one}, {3, three}, {0, three}}) {
        SCOPED_TRACE(count);
        facade->engine.errors.assign(std::size_t(count), error);
        menuBar->menuWillOpen(menuBar->menuSignedIn());
        EXPECT_TRUE(TestEnvironment::waitUntil([&] {
            return menuBar->hasSyncErrors() == (count > 0) && menuBar->syncErrorInfo()->text() == title;
        }));
        EXPECT_EQ(menuBar->syncErrorInfo()->isVisible(), count > 0);
    }
}

TEST_F(MenuBarTest, TheTooltipShowsTheTransfersOnlyWhileSyncing) {
    load();
    users->setIsAvailable(true);
    signInUser();
    const QString syncing = texts.mbMenuItemSyncStatusSyncingGeneral() + "\n" +
                            texts.mbMenuItemUploadQueueCount().arg(1).arg(2) + "\n" +
                            texts.mbMenuItemDownloadQueueCount().arg(3).arg(4);
    const std::vector<std::pair<SyncStatus, QString>> table = {
        {SyncStatus::progress({4, 3, false}, {2, 1, false}, false), syncing},
        {SyncStatus::of(SyncStatus::Kind::upToDate), texts.mbMenuItemSyncStatusUpToDate()},
        {SyncStatus::of(SyncStatus::Kind::paused), texts.mbMenuItemSyncStatusPaused()},
    };
    for (const auto& [status, expected] : table) {
        controller->updateSyncStatus(status);
        EXPECT_EQ(tooltip(), expected);
    }
}

// Stands in for the release feed: none configured, so a check fails at once and says so.
class NoFeed : public SUUpdaterDelegate {
public:
    QString feedURLStringForUpdater(const SUUpdater&) const override { return {}; }
};

TEST_F(MenuBarTest, EveryCommandItemOfEveryMenuReachesItsAction) {
    load();
    features->setFeatures(std::make_shared<ObjCFeatures>(std::make_shared<ObjCBackupFeature>(true), nullptr, nullptr));
    UserDefaults defaults(QStringLiteral("test.menubar.updates"));
    SUUpdater::setSharedUpdater(std::make_unique<SUUpdater>(defaults));
    NoFeed feed;
    SUUpdater::sharedUpdater()->setDelegate(&feed);

    namespace A = AppAction;
    const std::map<QString, QString> common = {
        {texts.mbMenuItemPreferences(), A::showPreferencesWindow},
        {texts.mbMenuItemConnectionDoctor(), A::showConnectionDoctor},
        {texts.mbMenuItemCreateErrorReport(), A::createErrorReport},
        {texts.mbMenuItemHelp(), A::openHelp},
        {texts.mbMenuItemQuit(), "quit"},
    };
    auto idle = common;
    idle.insert({{texts.mbMenuItemOpenFolder(), A::openFolder},
                 {texts.mbMenuItemOpenWebsite(), A::openWebsite},
                 {texts.mbMenuItemShowSharedItems(), A::showSharedItems},
                 {texts.brButtonRestoreBackup(), A::showBackups},
                 {texts.mbMenuItemStartSync(), A::toggleSync},
                 {texts.mbMenuItemBackupPreferences(), A::showBackupPreferencesWindow},
                 {texts.mbMenuItemCheckForUpdates(), "update"}});
    auto busy = idle;
    auto setUp = idle;
    setUp.insert({texts.mbMenuItemBackUpNow(), A::startBackup});
    busy.insert({{texts.mbMenuItemSkipThisBackup(), A::cancelBackup},
                 {texts.mbMenuItemMultipleItemsNotSynchronized().arg("2"), A::showConnectionDoctor}});
    auto signedOut = common;
    signedOut.insert({texts.mbMenuItemSignIn(), A::showOnboardingWindow});
    auto settingUp = common;
    settingUp.insert({texts.mbMenuItemContinueSetup(), A::showOnboardingWindow});

    // What a user can click in each menu, in each state, and where it leads.
    const auto backingUpWithErrors = [this] {
        backup->setIsBackingUp(true);
        facade->installed = true;
        facade->engine.errors.resize(2);
        menuBar->menuWillOpen(menuBar->menuSignedIn());
        ASSERT_TRUE(TestEnvironment::waitUntil([this] { return menuBar->hasSyncErrors(); }));
    };
    const auto backupSetUp = [this] {
        signInUser();
        features->setFeatures(std::make_shared<ObjCFeatures>(std::make_shared<ObjCBackupFeature>(true), nullptr, nullptr));
        backup->reachability().setIsConnected(true);
        facade->settings()->setBackupName(QStringLiteral("Desk"));
        facade->settings()->setBackupContacts(true);
    };
    const std::vector<std::tuple<QMenu*, std::function<void()>, std::map<QString, QString>>> table = {
        // Nothing to back up yet: a start could only fail.
        {menuBar->menuSignedIn(), [] {}, idle},
        {menuBar->menuSignedIn(), backupSetUp, setUp},
        {menuBar->menuSignedIn(), backingUpWithErrors, busy},
        {menuBar->menuSignedOut(), [] {}, signedOut},
        {menuBar->menuSettingUp(), [] {}, settingUp},
        {menuBar->menuOffline(), [] {}, common}};
    // Where one click leads, through the tray's menu or the window that stands in for it.
    const auto reach = [&](const QString& text, const std::function<void()>& click, std::map<QString, QString>& reached) {
        sent.clear();
        click();
        if (Application::shared().isTerminated()) sent << "quit";
        Application::shared().resetTermination();
        if (SUUpdater::sharedUpdater()->lastOutcome() == SUUpdater::Outcome::failed) sent << "update";
        SUUpdater::setSharedUpdater(std::make_unique<SUUpdater>(defaults));
        SUUpdater::sharedUpdater()->setDelegate(&feed);
        ASSERT_EQ(sent.size(), 1) << text.toStdString() << " reached " << sent.join(",").toStdString();
        reached[text] = sent.first();
    };
    for (const auto& [menu, prepare, expected] : table) {
        prepare();
        std::map<QString, QString> reached;
        const QList<QAction*> top = menu->actions();
        std::vector<QAction*> items(top.begin(), top.end());
        for (std::size_t i = 0; i < items.size(); ++i) {
            QAction* item = items[i];
            if (item->menu() && item->isVisible()) for (QAction* inner : item->menu()->actions()) items.push_back(inner);
            // Hidden items are disabled too: nobody can click them.
            if (item->isSeparator() || item->menu() || !item->isEnabled()) continue;
            reach(item->text(), [item] { item->trigger(); }, reached);
        }
        EXPECT_EQ(reached, expected);

        StatusItemWindow window;
        window.setMenu(menu);
        std::map<QString, QString> clicked;
        for (const QString& shown : window.contents()) {
            if (!shown.startsWith("command:")) continue;
            const QString text = shown.mid(8);
            reach(text, [&] { ASSERT_TRUE(window.click(text)) << text.toStdString(); }, clicked);
        }
        EXPECT_EQ(clicked, expected);
    }
    SUUpdater::setSharedUpdater(nullptr);
}

}  // namespace
