#include <gtest/gtest.h>

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWheelEvent>

#include "OnboardingTestSupport.h"
#include "app/common/LocalizationController.h"
#include "app/core/SettingsController.h"
#include "app/shell/onboarding/InfoViewController.h"
#include "app/shell/onboarding/OnboardingImages.h"
#include "app/shell/onboarding/OnboardingPages.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TestEnvironment.h"

namespace {

using onboardingtest::ChannelLines;
using onboardingtest::OnboardingFixture;

// The chrome on each page after a transition: refresh, back and forward hidden, close enabled.
TEST_F(OnboardingFixture, ChromeFollowsEachPage) {
    show();
    struct Row {
        int page;
        bool refreshHidden, backHidden, forwardHidden, closable;
    };
    const std::vector<Row> rows = {{0, true, true, true, true},    {1, false, true, true, true},
                                   {2, true, false, false, false}, {3, true, false, false, false},
                                   {4, true, false, false, false}, {5, true, false, false, false},
                                   {6, true, false, false, false}};
    settings().setSyncRoot(makeFolder("home"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.page);
        goTo(row.page);
        ASSERT_EQ(index(), row.page);
        EXPECT_EQ(controller->refreshButton()->isHidden(), row.refreshHidden);
        EXPECT_EQ(controller->backButton()->isHidden(), row.backHidden);
        EXPECT_EQ(controller->forwardButton()->isHidden(), row.forwardHidden);
        EXPECT_EQ(controller->isWindowClosable(), row.closable);
        EXPECT_EQ(controller->window()->windowFlags().testFlag(Qt::WindowCloseButtonHint) ||
                      !controller->window()->windowFlags().testFlag(Qt::CustomizeWindowHint),
                  row.closable);
        EXPECT_EQ(controller->bottomBoxFillColor(), QColor(Qt::transparent));
        EXPECT_TRUE(controller->window()->isVisible());
    }
}

// The page each identifier makes.
TEST_F(OnboardingFixture, FactoryMakesThePageOfEachIdentifier) {
    show();
    auto& pages = *controller->pageController();
    struct Row {
        QString identifier;
        const char* className;
    };
    for (const Row& row : {Row{"WelcomeViewController", "WelcomeViewController"}, Row{"LoginViewController", "SignInPage"},
                           Row{"SyncRootSelectionViewController", "SyncRootSelectionViewController"},
                           Row{"SelectiveSyncOnboardingViewController", "SelectiveSyncOnboardingViewController"},
                           Row{"InfoViewController", "InfoViewController"}, Row{"", "QWidget"},
                           Row{"Unknown", "QWidget"}}) {
        SCOPED_TRACE(row.identifier.toStdString());
        std::unique_ptr<QWidget> page(controller->pageControllerViewControllerForIdentifier(pages, row.identifier));
        ASSERT_TRUE(page);
        EXPECT_STREQ(page->metaObject()->className(), row.className);
    }
    EXPECT_EQ(controller->pageControllerIdentifierForObject(pages, std::shared_ptr<QObject>(new QObject)), QString());

    // No sign-in page from the facade, or no user controller: an empty page.
    facade->offersSignInPage = false;
    std::unique_ptr<QWidget> empty(controller->pageControllerViewControllerForIdentifier(pages, "LoginViewController"));
    EXPECT_STREQ(empty->metaObject()->className(), "QWidget");
    facade->offersSignInPage = true;
    controller->userController = nullptr;
    std::unique_ptr<QWidget> none(controller->pageControllerViewControllerForIdentifier(pages, "LoginViewController"));
    EXPECT_STREQ(none->metaObject()->className(), "QWidget");
}

TEST_F(OnboardingFixture, WelcomeButtonLeadsToSignInWhichSignsOutWhoeverWasSignedIn) {
    show();
    auto* welcome = qobject_cast<WelcomeViewController*>(controller->currentPage());
    ASSERT_TRUE(welcome);
    userController.setIsOnboarding(false);
    welcome->loginButton()->click();
    EXPECT_EQ(index(), 1);
    EXPECT_TRUE(qobject_cast<SignInPage*>(controller->currentPage()));
    EXPECT_EQ(facade->logoutCalls, 1);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !userController.isLogoutInProgress(); }));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return userController.isOnboarding(); }));
    EXPECT_FALSE(userController.user());
}

TEST_F(OnboardingFixture, SignInReportsEveryAttemptAndAdvancesOnlyOnSuccess) {
    show();
    goTo(1);
    auto* page = qobject_cast<SignInPage*>(controller->currentPage());
    ASSERT_TRUE(page);
    EXPECT_FALSE(controller->refreshButton()->isHidden());
    EXPECT_TRUE(TestEnvironment::keepSnapshot(controller->window()->grab().toImage(), QStringLiteral("onboarding-signin")));
    page->userNameField()->setText("anna");
    page->passwordField()->setText("secret-password");
    page->submit();
    ASSERT_TRUE(facade->pending);
    EXPECT_TRUE(controller->progressIndicator()->isVisible());
    facade->pending(BusinessError::genericError(QStringLiteral("wrong")));
    facade->pending = nullptr;
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return delegate.signIns.size() == 1; }));
    EXPECT_FALSE(delegate.signIns[0]);
    EXPECT_TRUE(delegate.signInErrors[0]);
    EXPECT_EQ(index(), 1);
    EXPECT_FALSE(controller->progressIndicator()->isVisible());

    // The delegate re-reads the user, as the application does.
    delegate.onSignIn = [this](bool ok) {
        if (ok) signIn();
    };
    page->submit();
    ASSERT_TRUE(facade->pending);
    facade->pending(Success{});
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return delegate.signIns.size() == 2; }));
    EXPECT_TRUE(delegate.signIns[1]);
    EXPECT_FALSE(delegate.signInErrors[1]);
    EXPECT_EQ(index(), 2);
    EXPECT_TRUE(userController.user());  // going forward signs nobody out
}

struct BackRow {
    const char* name;
    int from;
    int answer;
    bool asks;
    int to;
};

class BackTest : public OnboardingFixture, public ::testing::WithParamInterface<BackRow> {};

TEST_P(BackTest, OnlyTheFirstInformationPageAsks) {
    const BackRow& row = GetParam();
    settings().setSyncRoot(makeFolder("home"));
    show();
    goTo(row.from);
    signIn();
    const int logoutsBefore = facade->logoutCalls;
    answer = row.answer;
    Alert::clearShownAlerts();
    controller->navigateBack(controller->backButton());
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(Alert::shownCount(), row.asks ? 1 : 0);
    if (row.asks) {
        EXPECT_EQ(Alert::shownAlerts()[0].messageText(), LocalizationController().obAlertSignInMessage());
    }
    EXPECT_EQ(index(), row.to);
    // Arriving on the sign-in page signs out.
    EXPECT_EQ(facade->logoutCalls - logoutsBefore, row.to == 1 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Table, BackTest,
                         ::testing::Values(BackRow{"signInAgain", 2, Alert::FirstButtonReturn, true, 1},
                                           BackRow{"keepThePage", 2, Alert::SecondButtonReturn, true, 2},
                                           BackRow{"fromSecondInfo", 3, Alert::SecondButtonReturn, false, 2},
                                           BackRow{"fromThirdInfo", 4, Alert::FirstButtonReturn, false, 3},
                                           BackRow{"fromSelectiveSync", 6, Alert::FirstButtonReturn, false, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OnboardingFixture, ScrollingNeverChangesThePage) {
    show();
    goTo(3);
    auto* pages = controller->pageController();
    for (const QPoint delta : {QPoint(-240, 0), QPoint(240, 0), QPoint(0, 240)}) {
        QWheelEvent wheel(QPointF(20, 20), pages->mapToGlobal(QPointF(20, 20)), QPoint(), delta, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(pages, &wheel);
    }
    EXPECT_EQ(index(), 3);
}

TEST_F(OnboardingFixture, LeavingTheSyncFolderPageValidatesTheStoredFolder) {
    show();
    goTo(5);
    ASSERT_TRUE(qobject_cast<SyncRootSelectionViewController*>(controller->currentPage()));

    // No stored folder: stay.
    settings().setSyncRoot(std::nullopt);
    controller->navigateForward(controller->forwardButton());
    EXPECT_EQ(index(), 5);

    // Another account's folder: its alert, application-modal, and stay.
    const QString taken = makeFolder("taken");
    mark(taken + "/Orvella", QStringLiteral("acc-2"));
    settings().setSyncRoot(taken);
    Alert::clearShownAlerts();
    controller->navigateForward(controller->forwardButton());
    EXPECT_EQ(index(), 5);
    ASSERT_EQ(Alert::shownCount(), 1);
    EXPECT_EQ(Alert::shownAlerts()[0].messageText(), LocalizationController().syAlertRootFolderOwnedByAnotherAccountMessage());

    // An unreadable folder: no alert, stay.
    settings().setSyncRoot(temp.filePath("gone"));
    Alert::clearShownAlerts();
    controller->navigateForward(controller->forwardButton());
    EXPECT_EQ(index(), 5);
    EXPECT_EQ(Alert::shownCount(), 0);

    // A folder named like the sync folder: the move question; Cancel still goes on and moves nothing.
    const QString named = makeFolder("mine/Orvella");
    writeFile(named + "/a.txt");
    settings().setSyncRoot(named);
    answer = Alert::SecondButtonReturn;
    controller->navigateForward(controller->forwardButton());
    EXPECT_EQ(index(), 6);
    EXPECT_EQ(Alert::shownCount(), 1);
    EXPECT_TRUE(QFileInfo::exists(named + "/a.txt"));
    EXPECT_EQ(settings().syncRoot(), named);
}

TEST_F(OnboardingFixture, LeavingWithMoveMovesTheContentOnce) {
    show();
    goTo(5);
    const QString named = makeFolder("mine/Orvella");
    writeFile(named + "/a.txt");
    settings().setSyncRoot(named);
    answer = Alert::FirstButtonReturn;
    controller->navigateForward(controller->forwardButton());
    EXPECT_EQ(index(), 6);
    EXPECT_TRUE(QFileInfo::exists(named + "/Orvella/a.txt"));
    // Coming back and leaving again asks nothing more and moves nothing more.
    writeFile(named + "/b.txt");
    Alert::clearShownAlerts();
    controller->navigateBack(controller->backButton());
    controller->navigateForward(controller->forwardButton());
    EXPECT_EQ(index(), 6);
    EXPECT_EQ(Alert::shownCount(), 0);
    EXPECT_TRUE(QFileInfo::exists(named + "/b.txt"));
    EXPECT_FALSE(QFileInfo::exists(named + "/Orvella/Orvella"));
}

TEST_F(OnboardingFixture, ArrivingOnTheSyncFolderPageChecksTheStoredFolder) {
    show();
    goTo(4);
    ChannelLines setup(QStringLiteral("Setup"));
    settings().setSyncRoot(temp.filePath("vanished"));
    goTo(5);
    EXPECT_EQ(settings().syncRoot(), SettingsController::realHomeDirectory());
    EXPECT_EQ(setup.lines, QStringList{"Cannot perform root directory checks."});
    EXPECT_EQ(Alert::shownCount(), 0);

    // A passing folder named like the sync folder asks on arrival; the answer is stored.
    controller->navigateBack(nullptr);
    const QString named = makeFolder("arrive/Orvella");
    settings().setSyncRoot(named);
    answer = Alert::FirstButtonReturn;
    goTo(5);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return Alert::shownCount() == 1; }));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return QFileInfo(named + "/Orvella").isDir(); }));
    EXPECT_EQ(settings().syncRoot(), named);
}

struct CloseRow {
    const char* name;
    bool user;
    bool alreadyLaunched;
    std::vector<std::string> calls;
};

class CloseTest : public OnboardingFixture, public ::testing::WithParamInterface<CloseRow> {};

TEST_P(CloseTest, ClosingTellsTheDelegateByTheFirstLaunchFlag) {
    const CloseRow& row = GetParam();
    const QString root = makeFolder("root");
    show();
    if (!row.user) {
        facade->user.reset();
        userController.update();
    }
    settings().setIsAlreadyLaunched(row.alreadyLaunched);
    settings().setSyncRoot(root);
    UserDefaults::standard().removeObject(QStringLiteral("acc-1"));
    userController.setIsOnboarding(true);
    controller->close();
    EXPECT_FALSE(controller->window()->isVisible());
    EXPECT_EQ(delegate.calls, row.calls);
    EXPECT_FALSE(userController.isOnboarding());
    EXPECT_EQ(settings().isAlreadyLaunched(), row.user || row.alreadyLaunched);
    EXPECT_EQ(UserDefaults::standard().object(QStringLiteral("acc-1")).toString(), row.user ? root : QString());
}

INSTANTIATE_TEST_SUITE_P(Table, CloseTest,
                         ::testing::Values(CloseRow{"firstLaunch", true, false, {"firstLaunch"}},
                                           CloseRow{"laterSignIn", true, true, {"willClose"}},
                                           CloseRow{"nobodyFirstLaunch", false, false, {}},
                                           CloseRow{"nobodyLater", false, true, {}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OnboardingFixture, ClosingMovesAwayFromAnotherAccountsFolder) {
    const QString root = makeFolder("root");
    mark(root + "/Orvella", QStringLiteral("acc-2"));
    show();
    settings().setSyncRoot(root);
    controller->close();
    EXPECT_EQ(settings().syncRoot(), root + "/Orvella 1");

    // Without a metadata controller the stored folder is dropped.
    settings().setSyncRoot(root);
    controller->fileSystemMetadataController = nullptr;
    controller->showWindow();
    controller->close();
    EXPECT_FALSE(settings().syncRoot());
    EXPECT_FALSE(UserDefaults::standard().object(QStringLiteral("acc-1")).isValid());
}

TEST_F(OnboardingFixture, ForwardOnTheLastPageClosesAndTheFirstPageComesBack) {
    OnboardingImages::setProviderForTesting([](const QString&) { return std::optional<QImage>(); });
    show();
    OnboardingImages::setProviderForTesting(nullptr);
    ASSERT_EQ(controller->pageController()->arrangedObjects().size(), 2u);
    goTo(1);
    signIn();
    controller->navigateForward(nullptr);
    EXPECT_FALSE(controller->window()->isVisible());
    EXPECT_EQ(delegate.calls.size(), 1u);
    controller->showFirstPage();
    EXPECT_EQ(index(), 0);
    EXPECT_TRUE(qobject_cast<WelcomeViewController*>(controller->currentPage()));
}

}  // namespace
