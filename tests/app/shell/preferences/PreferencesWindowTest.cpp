#include <gtest/gtest.h>

#include <QToolBar>

#include "FakePreferencesPanes.h"
#include "PreferencesTestSupport.h"
#include "app/backup/BackupController.h"
#include "app/shell/preferences/EncryptionViewController.h"
#include "app/shell/preferences/GeneralViewController.h"
#include "app/shell/preferences/PreferencesTabViewController.h"
#include "app/shell/preferences/PreferencesToolbarImages.h"
#include "app/shell/preferences/SyncViewController.h"
#include "app/sync/SyncController.h"
#include "platform/appkit/Storyboard.h"
#include "support/TestEnvironment.h"

namespace {

using Tab = PreferencesTabViewController;

QStringList shownTabs(const PreferencesTabViewController& controller) {
    QStringList identifiers;
    for (PreferencesTabViewItem* item : controller.tabView()->tabViewItems()) identifiers << item->identifier();
    return identifiers;
}

class PreferencesWindowTest : public ::testing::Test, public PreferencesTestBase {
protected:
    PreferencesWindowTest() {
        Storyboard::registerScene(Storyboard::main(), Tab::backupScene, [] { return new FakeBackupPane(300); });
        Storyboard::registerScene(Storyboard::main(), Tab::backupUpsellScene, [] { return new FakePane(150); });
        Storyboard::registerScene(Storyboard::main(), Tab::softwareUpdateScene,
                                  [] { return new FakeSoftwareUpdatePane(120); });
        PreferencesTabViewController::resizeAnimationDuration = 30;
    }
    ~PreferencesWindowTest() override {
        for (const QString& scene : {Tab::backupScene, Tab::backupUpsellScene, Tab::softwareUpdateScene})
            Storyboard::registerScene(Storyboard::main(), scene, {});
    }

    // A tab view controller that appeared with the test's user and features controllers.
    std::unique_ptr<PreferencesTabViewController> appeared() {
        auto controller = std::make_unique<PreferencesTabViewController>();
        controller->userController = &users;
        controller->featuresController = &features;
        controller->viewWillAppear();
        return controller;
    }
};

struct TabsCase {
    const char* name;
    bool signedIn;
    std::optional<bool> backupFeature;  // none: the account's feature set has no backup member
    bool withFeaturesController;
    bool logoutInProgress;
    QString backupTab;
};

class TabsTest : public PreferencesWindowTest, public ::testing::WithParamInterface<TabsCase> {};

TEST_P(TabsTest, ShowsGeneralSyncOneBackupTabAndUpdates) {
    const TabsCase& c = GetParam();
    if (c.signedIn) signIn();
    setBackupFeature(c.backupFeature);
    auto controller = std::make_unique<PreferencesTabViewController>();
    controller->userController = &users;
    if (c.withFeaturesController) controller->featuresController = &features;
    controller->viewWillAppear();
    users.setIsLogoutInProgress(c.logoutInProgress);

    EXPECT_EQ(shownTabs(*controller),
              QStringList({Tab::generalScene, Tab::selectiveSyncScene, c.backupTab, Tab::softwareUpdateScene}));
    // The hidden tabs are out of any tab view, whatever happened.
    for (auto* item : {controller->encryptionTabViewItem(), controller->encryptionUpsellTabViewItem(),
                       controller->autoImportTabViewItem()})
        EXPECT_EQ(item->tabView(), nullptr) << item->identifier().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Accounts, TabsTest,
    ::testing::Values(TabsCase{"SignedOut", false, std::nullopt, true, false, Tab::backupScene},
                      TabsCase{"SignedOutWithFeature", false, true, true, false, Tab::backupScene},
                      TabsCase{"SignedInWithoutBackupMember", true, std::nullopt, true, false, Tab::backupUpsellScene},
                      TabsCase{"SignedInFeatureOff", true, false, true, false, Tab::backupUpsellScene},
                      TabsCase{"SignedInFeatureOn", true, true, true, false, Tab::backupScene},
                      TabsCase{"SignedInNoFeaturesController", true, true, false, false, Tab::backupUpsellScene},
                      TabsCase{"SignOutInProgress", true, false, true, true, Tab::backupUpsellScene}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PreferencesWindowTest, FeatureChangeWaitsForTheNextRefreshAndTheSelectedTwinStaysSelected) {
    signIn();
    setBackupFeature(false);
    auto controller = appeared();
    controller->tabView()->selectTabViewItem(controller->backupUpsellTabViewItem());

    setBackupFeature(true);
    EXPECT_EQ(controller->tabView()->tabViewItemAtIndex(2), controller->backupUpsellTabViewItem());

    users.setIsLogoutInProgress(true);  // any change of the observed flags refreshes
    EXPECT_EQ(controller->tabView()->tabViewItemAtIndex(2), controller->backupTabViewItem());
    EXPECT_EQ(controller->tabView()->selectedTabViewItem(), controller->backupTabViewItem());

    // Not looking at the backup tab: the swap leaves the selection alone.
    controller->tabView()->selectTabViewItem(controller->generalTabViewItem());
    setBackupFeature(false);
    users.setIsLogoutInProgress(false);
    EXPECT_EQ(controller->tabView()->tabViewItemAtIndex(2), controller->backupUpsellTabViewItem());
    EXPECT_EQ(controller->tabView()->selectedTabViewItem(), controller->generalTabViewItem());
}

TEST_F(PreferencesWindowTest, ObservationsAreReplacedAndEndWithTheController) {
    auto controller = appeared();
    controller->viewWillAppear();
    signIn();  // one refresh per change, not one per appearance
    EXPECT_EQ(shownTabs(*controller).count(Tab::backupUpsellScene), 1);
    controller.reset();
    users.setIsLoggedIn(false);  // no controller left to refresh
}

TEST(PreferencesToolbarImagesTest, NamesPerTabAndSystem) {
    using PreferencesToolbarImages::Tab;
    struct Row {
        Tab tab;
        const char* older;
        const char* newer;
    };
    const Row rows[] = {
        {Tab::general, "GeneralToolbarIcon", "GeneralToolbarIcon_macOS11+"},
        {Tab::selectiveSync, "SelectiveSyncToolbarIcon", "SelectiveSyncToolbarIcon_macOS11+"},
        {Tab::encryption, "EncryptionToolbarIcon", "EncryptionToolbarIcon"},
        {Tab::encryptionUpsell, "EncryptionToolbarIcon", "EncryptionToolbarIcon"},
        {Tab::backup, "BackupRestoreToolbarIcon", "BackupRestoreToolbarIcon_macOS11+"},
        {Tab::backupUpsell, "BackupRestoreToolbarIcon", "BackupRestoreToolbarIcon_macOS11+"},
        {Tab::autoImport, "AutoUploadToolbarIcon", "AutoUploadToolbarIcon"},
        {Tab::softwareUpdate, "SoftwareUpdateToolbarIcon", "SoftwareUpdateToolbarIcon_macOS11+"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.older);
        EXPECT_EQ(PreferencesToolbarImages::imageName(row.tab, false), QString::fromLatin1(row.older));
        EXPECT_EQ(PreferencesToolbarImages::imageName(row.tab, true), QString::fromLatin1(row.newer));
        for (bool modern : {false, true}) {
            const QIcon icon = PreferencesToolbarImages::imageNamed(PreferencesToolbarImages::imageName(row.tab, modern));
            ASSERT_FALSE(icon.isNull());
            // Drawn, not blank.
            const QImage image = icon.pixmap(32, 32).toImage();
            bool drawn = false;
            for (int y = 0; y < 32 && !drawn; ++y)
                for (int x = 0; x < 32 && !drawn; ++x) drawn = qAlpha(image.pixel(x, y)) > 0;
            EXPECT_TRUE(drawn);
        }
    }
    EXPECT_TRUE(PreferencesToolbarImages::imageNamed(QStringLiteral("NoSuchIcon")).isNull());
}

TEST_F(PreferencesWindowTest, EveryItemGetsItsImageAlsoWhenTakenOut) {
    auto controller = appeared();
    const bool modern = PreferencesToolbarImages::isModernSystem();
    EXPECT_EQ(controller->encryptionTabViewItem()->image().name(), QStringLiteral("EncryptionToolbarIcon"));
    EXPECT_EQ(controller->backupUpsellTabViewItem()->image().name(),
              PreferencesToolbarImages::imageName(PreferencesToolbarImages::Tab::backupUpsell, modern));
    EXPECT_EQ(controller->autoImportTabViewItem()->image().name(), QStringLiteral("AutoUploadToolbarIcon"));
    // The toolbar shows the visible tabs in order.
    controller->view();
    QStringList actions;
    for (QAction* action : controller->toolbar()->actions()) actions << action->data().toString();
    EXPECT_EQ(actions, shownTabs(*controller));
}

TEST_F(PreferencesWindowTest, PanesReceiveTheirControllersByClass) {
    QuotaController quota;
    ReachabilityController reachability;
    SyncController sync(nullptr, quota, users, reachability);
    BackupController backup(quota, users, OVBackupDependencyProvider{100000000}, false);
    SparkleUpdaterController sparkle(true);
    // The encryption tab's scene makes a pane of the wrong class: it must get nothing.
    Storyboard::registerScene(Storyboard::main(), Tab::encryptionScene, [] { return new FakePane; });

    auto controller = std::make_unique<PreferencesTabViewController>();
    controller->userController = &users;
    controller->backupController = &backup;
    controller->syncController = &sync;
    controller->sparkleController = &sparkle;
    controller->viewWillAppear();
    Storyboard::registerScene(Storyboard::main(), Tab::encryptionScene, [] { return new EncryptionViewController; });

    auto* general = qobject_cast<GeneralViewController*>(controller->generalTabViewItem()->viewController());
    ASSERT_TRUE(general);
    EXPECT_EQ(general->userController(), &users);
    EXPECT_EQ(general->backupController(), &backup);
    auto* syncPane = qobject_cast<SyncViewController*>(controller->selectiveSyncTabViewItem()->viewController());
    ASSERT_TRUE(syncPane);
    EXPECT_EQ(syncPane->syncController(), &sync);
    EXPECT_EQ(syncPane->userController(), &users);
    auto* backupPane = qobject_cast<FakeBackupPane*>(controller->backupTabViewItem()->viewController());
    ASSERT_TRUE(backupPane);
    EXPECT_EQ(backupPane->backupController, &backup);
    auto* update = qobject_cast<FakeSoftwareUpdatePane*>(controller->softwareUpdateTabViewItem()->viewController());
    ASSERT_TRUE(update);
    EXPECT_EQ(update->sparkleController, &sparkle);
    auto* wrongClass = qobject_cast<FakePane*>(controller->encryptionTabViewItem()->viewController());
    ASSERT_TRUE(wrongClass);
    EXPECT_EQ(wrongClass->userController, nullptr);
}

TEST_F(PreferencesWindowTest, SwitchingTabsResizesTheWindowDownwardsKeepingItsTop) {
    PreferencesWindowController windowController;
    windowController.present(nullptr, &users, &features, nullptr, nullptr);
    PreferencesTabViewController* content = windowController.contentViewController();
    QWidget* window = windowController.window();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return window->isVisible(); }));
    EXPECT_EQ(window->windowTitle(), content->generalTabViewItem()->label());
    grab(window, QStringLiteral("window"));

    struct Step {
        PreferencesTabViewItem* item;
        int paneHeight;
    };
    const Step steps[] = {{content->backupTabViewItem(), 300}, {content->softwareUpdateTabViewItem(), 120},
                          {content->backupTabViewItem(), 300}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.item->identifier().toStdString());
        const QPoint topLeft = window->geometry().topLeft();
        content->tabView()->selectTabViewItem(step.item);
        EXPECT_EQ(content->tabViewSizes().value(step.item), QSizeF(PreferencesPane::designedWidth, step.paneHeight));
        EXPECT_FALSE(content->view()->isVisible());  // hidden while the window moves
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return content->view()->isVisible(); }));
        EXPECT_EQ(window->geometry().topLeft(), topLeft);
        EXPECT_EQ(window->height(), step.paneHeight + content->toolbar()->sizeHint().height());
        EXPECT_EQ(window->windowTitle(), step.item->label());
    }
}

TEST_F(PreferencesWindowTest, PresentingSelectsGeneralOnlyWhenHiddenAndFindsTheBackupTwin) {
    signIn();
    setBackupFeature(false);
    PreferencesWindowController windowController;
    PreferencesTabViewController* content = windowController.contentViewController();
    PreferencesTabView* tabs = content->tabView();

    windowController.present(nullptr, &users, &features, nullptr, nullptr);
    tabs->selectTabViewItem(content->softwareUpdateTabViewItem());
    windowController.present(nullptr, &users, &features, nullptr, nullptr);
    EXPECT_EQ(tabs->selectedTabViewItem(), content->softwareUpdateTabViewItem());  // visible: kept

    windowController.present(nullptr, &users, &features, nullptr, nullptr, true);
    EXPECT_EQ(tabs->selectedTabViewItem(), content->backupUpsellTabViewItem());

    windowController.close();
    windowController.present(nullptr, &users, &features, nullptr, nullptr);
    EXPECT_EQ(tabs->selectedTabViewItem(), content->generalTabViewItem());
}

TEST_F(PreferencesWindowTest, TheMainStoryboardMakesTheWindow) {
    std::unique_ptr<PreferencesWindowController> made(Storyboard::instantiateAs<PreferencesWindowController>(
        Storyboard::main(), PreferencesWindowController::storyboardIdentifier));
    ASSERT_TRUE(made);
    EXPECT_TRUE(qobject_cast<GeneralViewController*>(made->contentViewController()->generalTabViewItem()->viewController()));
}

}  // namespace
