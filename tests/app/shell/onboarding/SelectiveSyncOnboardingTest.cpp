#include <gtest/gtest.h>

#include <QFileInfo>
#include <QPushButton>

#include "app/common/LocalizationController.h"
#include "app/core/UserController.h"
#include "app/selectivesync/BrowserTestSupport.h"
#include "app/shell/onboarding/OnboardingWindowController.h"
#include "app/shell/onboarding/SelectiveSyncOnboardingViewController.h"
#include "app/sync/OVFileSystemMetadataController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Storyboard.h"
#include "support/TestEnvironment.h"

namespace {

class RecordingDelegate : public OnboardingWindowControllerDelegate {
public:
    void onboardingWindowControllerDidFinishSignIn(OnboardingWindowController&, bool,
                                                  const std::optional<AppError>&) override {}
    void onboardingDidFinishFirstLaunch() override { calls.push_back("firstLaunch"); }
    void onboardingWindowWillClose() override { calls.push_back("willClose"); }
    std::vector<std::string> calls;
};

// The last onboarding page over a browser of the test's own store and remote tree.
class SelectiveSyncOnboardingTest : public browsertest::BrowserFixture {
protected:
    void SetUp() override {
        BrowserFixture::SetUp();
        auto weakStore = std::weak_ptr<StoreController>(store);
        Storyboard::registerScene(Storyboard::main(), SelectiveSyncBrowserController::storyboardIdentifier,
                                  [weakStore] { return new SelectiveSyncBrowserController(weakStore.lock()); });
        facade->settings()->setIsAlreadyLaunched(false);
        userController.update();
        metadata = std::make_shared<OVFileSystemMetadataController>(userController);
    }
    void TearDown() override {
        window.reset();
        Storyboard::registerScene(Storyboard::main(), SelectiveSyncBrowserController::storyboardIdentifier, {});
        BrowserFixture::TearDown();
    }

    // The window on the sync folder's page, then forward onto the selective-sync page.
    SelectiveSyncOnboardingViewController* arrive() {
        window = std::make_unique<OnboardingWindowController>(&delegate);
        window->userController = &userController;
        window->fileSystemMetadataController = metadata;
        window->showWindow();
        window->pageController()->setSelectedIndex(5);
        window->navigateForward(window->forwardButton());
        auto* page = qobject_cast<SelectiveSyncOnboardingViewController*>(window->currentPage());
        if (page) embedded = page->browserController();
        return page;
    }
    bool rootLoaded(SelectiveSyncOnboardingViewController* page) const {
        auto* browser = page->browserController();
        return browser && !browser->isUpdating() && browser->browser()->numberOfRows(0) > 0;
    }

    UserController userController;
    std::shared_ptr<OVFileSystemMetadataController> metadata;
    RecordingDelegate delegate;
    std::unique_ptr<OnboardingWindowController> window;
};

TEST_F(SelectiveSyncOnboardingTest, StartsFromTheAccountsSelectionAndRecordsTheFirstLaunchOnlyWhenDone) {
    facade->subscriptions = std::vector<SelectiveSyncItem>{{QStringLiteral("/a"), true, QStringLiteral("id:/a")}};
    auto* page = arrive();
    ASSERT_TRUE(page);
    ASSERT_TRUE(page->browserController());
    EXPECT_EQ(page->browserController()->view()->parentWidget(), page->containerView());
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return rootLoaded(page); }))
        << page->browserController()->isUpdating() << " rows " << rows(0).toStdString() << " visible "
        << page->browserController()->view()->isVisible() << " connected "
        << page->browserController()->reachability().isConnected();
    ASSERT_TRUE(waitSettled());
    // A quit now must bring the onboarding back, with its choice and its disk-space check.
    EXPECT_FALSE(facade->settings()->isAlreadyLaunched());
    EXPECT_TRUE(storetest::render(*store).contains(QStringLiteral("/a:1"))) << storetest::render(*store).toStdString();
    EXPECT_TRUE(rows(0).contains(QStringLiteral("a:1"))) << rows(0).toStdString();
    EXPECT_TRUE(rows(0).contains(QStringLiteral("b:0"))) << rows(0).toStdString();
    QDir().mkpath(syncRoot.filePath("Orvella"));
    EXPECT_TRUE(TestEnvironment::keepSnapshot(page->window()->grab().toImage(), QStringLiteral("onboarding-selectivesync")));

    // Forward applies the selection and, on the last page, closes the window: a later sign-in.
    window->navigateForward(window->forwardButton());
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !window->window()->isVisible(); }));
    EXPECT_EQ(delegate.calls, std::vector<std::string>{"willClose"});
    EXPECT_TRUE(facade->settings()->isAlreadyLaunched());
    EXPECT_GE(sync.setCalls, 1);
    // The account's selection, as merged into the browser: the root partly, "/a" wholly.
    ASSERT_EQ(sync.items.size(), 2u);
    EXPECT_EQ(sync.items[0].path, QStringLiteral("/"));
    EXPECT_FALSE(sync.items[0].recursive);
    EXPECT_EQ(sync.items[1].path, QStringLiteral("/a"));
    EXPECT_TRUE(sync.items[1].recursive);
}

TEST_F(SelectiveSyncOnboardingTest, LeavingThePageDoesNotFinishTheOnboarding) {
    tree->setDelivery(TestDirectoryTree::Delivery::held);
    auto* page = arrive();
    ASSERT_TRUE(page);
    window->navigateBack(window->backButton());
    EXPECT_EQ(window->pageController()->selectedIndex(), 5);
    EXPECT_FALSE(facade->settings()->isAlreadyLaunched());
    tree->releaseHeld();
}

// A free-space check that cannot tell is said so; the choice goes ahead only when the user says.
TEST_F(SelectiveSyncOnboardingTest, AnUncheckedSelectionWaitsForTheUsersWord) {
    const LocalizationController texts;
    for (const auto& row : browsertest::uncheckedSpaceAnswers) {
        SCOPED_TRACE(row.name);
        delegate.calls.clear();
        facade->settings()->setIsAlreadyLaunched(false);
        facade->settings()->setSyncRoot(syncRoot.path());
        auto* page = arrive();
        ASSERT_TRUE(page);
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return rootLoaded(page); }));
        ASSERT_TRUE(waitSettled());
        // Nowhere to measure the room on.
        facade->settings()->setSyncRoot(std::nullopt);
        const int setCallsBefore = sync.setCalls;
        Alert::clearShownAlerts();
        Alert::setResponder([answer = row.answer](const Alert&) { return answer; });
        window->navigateForward(window->forwardButton());
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return Alert::shownCount() == 1; }));
        const Alert asked = Alert::shownAlerts()[0];
        EXPECT_EQ(asked.messageText(), texts.ssAlertFreeSpaceUnknownMessage());
        EXPECT_EQ(asked.buttonTitles(), QStringList({texts.ssAlertButtonApplyAnyway(), texts.ssButtonCancel()}));
        EXPECT_EQ(asked.responseForKey(Alert::ReturnKey), Alert::SecondButtonReturn);
        TestEnvironment::waitUntil([&] { return !window->window()->isVisible(); }, row.applied ? 5000 : 200);
        EXPECT_EQ(!window->window()->isVisible(), row.applied);
        EXPECT_EQ(sync.setCalls > setCallsBefore, row.applied);
        EXPECT_EQ(facade->settings()->isAlreadyLaunched(), row.applied);
        EXPECT_EQ(delegate.calls, row.applied ? std::vector<std::string>{"willClose"} : std::vector<std::string>{});
        window.reset();
    }
}

TEST_F(SelectiveSyncOnboardingTest, WithoutTheBrowserSceneForwardDoesNothing) {
    Storyboard::registerScene(Storyboard::main(), SelectiveSyncBrowserController::storyboardIdentifier, {});
    auto* page = arrive();
    ASSERT_TRUE(page);
    EXPECT_FALSE(page->browserController());
    window->navigateForward(window->forwardButton());
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->window()->isVisible());
    EXPECT_EQ(window->pageController()->selectedIndex(), 6);
    EXPECT_TRUE(delegate.calls.empty());
}

// Each page as the user sees it, for a look by eye.
TEST_F(SelectiveSyncOnboardingTest, EveryPageRendersOffscreen) {
    window = std::make_unique<OnboardingWindowController>(&delegate);
    window->userController = &userController;
    window->fileSystemMetadataController = metadata;
    window->showWindow();
    const std::vector<QString> names = {"welcome", "signin", "info1", "info2", "info3", "syncroot"};
    for (int i = 0; i < int(names.size()); ++i) {
        // This facade offers no sign-in page; the sign-in test renders the real one.
        if (names[std::size_t(i)] == "signin") continue;
        SCOPED_TRACE(names[std::size_t(i)].toStdString());
        window->pageController()->setSelectedIndex(i);
        QWidget* page = window->currentPage();
        ASSERT_TRUE(page);
        if (auto* info = qobject_cast<OnboardingViewController*>(page)) info->viewWillAppear();
        QCoreApplication::processEvents();
        const QImage image = window->window()->grab().toImage();
        EXPECT_FALSE(image.isNull());
        EXPECT_TRUE(TestEnvironment::keepSnapshot(image, QStringLiteral("onboarding-%1").arg(names[std::size_t(i)])));
    }
}

}  // namespace
