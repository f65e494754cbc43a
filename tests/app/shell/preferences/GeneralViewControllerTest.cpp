#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <thread>

#include "PreferencesTestSupport.h"
#include "app/backup/BackupController.h"
#include "app/common/ConfigurationProvider.h"
#include "app/common/LocalizationController.h"
#include "app/core/SettingsController.h"
#include "app/shell/preferences/GeneralViewController.h"
#include "platform/appkit/Application.h"
#include "support/TestEnvironment.h"

namespace {

class GeneralPaneTest : public ::testing::Test, public PreferencesTestBase {
protected:
    GeneralPaneTest() {
        GeneralViewController::Environment environment;
        environment.setLoginItemEnabled = [this](const QString& identifier, bool enabled) {
            loginItemCalls.emplace_back(identifier, enabled);
            return true;
        };
        environment.updateExtensionState = [this](bool enabled) { extensionStates.push_back(enabled); };
        environment.acknowledgementsURL = [] { return std::optional<QUrl>(); };
        pane = std::make_unique<GeneralViewController>(environment);
        for (const char* action : {"showOnboardingWindow:", "closeOnboardingWindow:", "closeShareWindow:",
                                   "closeBackupWindow:"}) {
            const QString name = QString::fromLatin1(action);
            Application::shared().registerAction(name, [this, name](QObject*) { actions << name; });
        }
    }
    ~GeneralPaneTest() override {
        for (const QString& name : {QStringLiteral("showOnboardingWindow:"), QStringLiteral("closeOnboardingWindow:"),
                                    QStringLiteral("closeShareWindow:"), QStringLiteral("closeBackupWindow:")})
            Application::shared().unregisterAction(name);
    }

    OrvellaSettingsManager& settings() { return testFacade.settings(); }

    QuotaController quota;
    BackupController backup{quota, users, OVBackupDependencyProvider{100000000}, false};
    std::unique_ptr<GeneralViewController> pane;
    std::vector<std::pair<QString, bool>> loginItemCalls;
    std::vector<bool> extensionStates;
    QStringList actions;
    const LocalizationController texts;
};

struct AccountButtonCase {
    const char* name;
    bool signedIn;
    bool userLoggingOut;
    bool enabled;
};

class AccountButtonTest : public GeneralPaneTest, public ::testing::WithParamInterface<AccountButtonCase> {};

TEST_P(AccountButtonTest, TitleFollowsTheUserAndTheButtonWaitsForASignOut) {
    const AccountButtonCase& c = GetParam();
    if (c.signedIn) signIn();
    pane->setUserController(&users);
    users.setIsLogoutInProgress(c.userLoggingOut);
    pane->view();
    EXPECT_EQ(pane->accountButton()->text(), c.signedIn ? texts.geButtonSignOut() : texts.geButtonSignIn());
    EXPECT_EQ(pane->accountLabel()->text().contains(QStringLiteral("anna")), c.signedIn);
    // Signed out, the line says so rather than stay blank.
    EXPECT_EQ(pane->accountLabel()->text() == texts.mbMenuItemSignedOut(), !c.signedIn);
    EXPECT_EQ(pane->accountButton()->isEnabled(), c.enabled);
}

INSTANTIATE_TEST_SUITE_P(States, AccountButtonTest,
                         ::testing::Values(AccountButtonCase{"SignedOut", false, false, true},
                                           AccountButtonCase{"SignedIn", true, false, true},
                                           AccountButtonCase{"SignOutRunning", true, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ToggleAccountCase {
    const char* name;
    bool withUserController;
    bool signedIn;
    bool restoring;
    int alertAnswer;  // 0: no alert expected
    QStringList actions;
    int logouts;
};

class ToggleAccountTest : public GeneralPaneTest, public ::testing::WithParamInterface<ToggleAccountCase> {};

TEST_P(ToggleAccountTest, SignsInOrOutAskingFirstWhileARestoreRuns) {
    const ToggleAccountCase& c = GetParam();
    if (c.signedIn) signIn();
    if (c.withUserController) pane->setUserController(&users);
    pane->setBackupController(&backup);
    backup.setIsRestoring(c.restoring);
    settings().setIsAlreadyLaunched(true);
    Alert::setResponder([&](const Alert&) { return c.alertAnswer; });

    pane->toggleUserAccount(nullptr);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !pane->isLogoutInProgress(); }));
    QCoreApplication::processEvents();

    EXPECT_EQ(Alert::shownCount(), c.alertAnswer ? 1 : 0);
    if (c.alertAnswer) {
        const Alert alert = Alert::shownAlerts().front();
        EXPECT_EQ(alert.messageText(), texts.syAlertRestoreStillRunningMessage());
        EXPECT_EQ(alert.informativeText(), texts.syAlertRestoreStillRunningFromSignOutInformative());
        EXPECT_EQ(alert.buttonTitles(), QStringList({texts.geButtonSignOut(), texts.brButtonCancel()}));
    }
    EXPECT_EQ(actions, c.actions);
    EXPECT_EQ(testFacade.facade().logoutCalls, c.logouts);
    // A finished sign-out brings the onboarding back at the next launch.
    EXPECT_EQ(settings().isAlreadyLaunched(), c.logouts == 0);
    EXPECT_FALSE(users.isLogoutInProgress());
}

const QStringList closing = {QStringLiteral("closeOnboardingWindow:"), QStringLiteral("closeShareWindow:"),
                             QStringLiteral("closeBackupWindow:")};

INSTANTIATE_TEST_SUITE_P(
    Cases, ToggleAccountTest,
    ::testing::Values(
        ToggleAccountCase{"NoUserController", false, true, false, 0, {QStringLiteral("showOnboardingWindow:")}, 0},
        ToggleAccountCase{"NobodyAtTheFacade", true, false, false, 0, {QStringLiteral("showOnboardingWindow:")}, 0},
        ToggleAccountCase{"SignedIn", true, true, false, 0, closing, 1},
        ToggleAccountCase{"RestoringSignOut", true, true, true, Alert::FirstButtonReturn, closing, 1},
        ToggleAccountCase{"RestoringCancel", true, true, true, Alert::SecondButtonReturn, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GeneralPaneTest, SignOutClearsThePaneFlagOnlyWhenTheLogoutHasFinished) {
    signIn();
    pane->setUserController(&users);
    // Hold the facade's answer back.
    struct HoldingFacade : TestBusinessFacade {
        using TestBusinessFacade::TestBusinessFacade;
        void logout(bool, std::function<void(VoidResult)> completion) override { held = std::move(completion); }
        std::function<void(VoidResult)> held;
    };
    auto facade = std::make_shared<HoldingFacade>(QStringLiteral("prefs.holding"));
    facade->user = std::make_shared<TestBusinessUser>();
    BusinessFacadeHolder::setFacadeForTesting(facade);
    facade->settings()->setIsAlreadyLaunched(true);

    pane->toggleUserAccount(nullptr);
    EXPECT_TRUE(pane->isLogoutInProgress());
    EXPECT_TRUE(users.isLogoutInProgress());
    pane->view();
    EXPECT_FALSE(pane->accountButton()->isEnabled());
    ASSERT_TRUE(facade->held);

    // The framework answers from its own thread.
    std::thread([&] { facade->held(Success{}); }).join();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !pane->isLogoutInProgress(); }));
    EXPECT_FALSE(facade->settings()->isAlreadyLaunched());
    EXPECT_FALSE(users.isLogoutInProgress());
}

enum class Sender { checkedBox, uncheckedBox, notAButton };

std::unique_ptr<QObject> makeSender(Sender kind) {
    if (kind == Sender::notAButton) return std::make_unique<QObject>();
    auto box = std::make_unique<QCheckBox>();
    box->setChecked(kind == Sender::checkedBox);
    return box;
}

struct SwitchCase {
    const char* name;
    Sender sender;
    bool signedIn;
    bool storedBefore;
    // Start at login: what the login item and the setting become.
    bool loginItemState;
    // Badges: the setting afterwards and the sign-in state handed to the extension controller,
    // which weighs it against the setting (none: not asked).
    bool badgesAfter;
    std::optional<bool> extensionState;
};

class SwitchTest : public GeneralPaneTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchTest, StartAtLoginAndBadgesReachTheirControllers) {
    const SwitchCase& c = GetParam();
    if (c.signedIn) signIn();
    pane->setUserController(&users);
    settings().setOpenAutomaticallyOnLogin(c.storedBefore);
    settings().setShowBadgesInFinder(c.storedBefore);
    const std::unique_ptr<QObject> owned = makeSender(c.sender);
    QObject* sender = owned.get();

    pane->toggleOpenAutomaticallyOnLogin(sender);
    ASSERT_EQ(loginItemCalls.size(), 1u);
    EXPECT_EQ(loginItemCalls[0].first, QStringLiteral("example.orvella.desktop.launchhelper"));
    EXPECT_EQ(loginItemCalls[0].second, c.loginItemState);
    // Stored, so the registration at the next start keeps the choice.
    EXPECT_EQ(settings().openAutomaticallyOnLogin(), c.loginItemState);

    pane->toggleShowBadgesInFinder(sender);
    EXPECT_EQ(settings().showBadgesInFinder(), c.badgesAfter);
    EXPECT_EQ(extensionStates.empty() ? std::nullopt : std::optional<bool>(extensionStates.back()), c.extensionState);

    // The check boxes show the stored settings.
    pane->view();
    EXPECT_EQ(pane->startAtLoginCheckBox()->isChecked(), c.loginItemState);
    EXPECT_EQ(pane->badgesCheckBox()->isChecked(), c.badgesAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Senders, SwitchTest,
    ::testing::Values(SwitchCase{"OnWhileSignedIn", Sender::checkedBox, true, false, true, true, true},
                      SwitchCase{"OffWhileSignedIn", Sender::uncheckedBox, true, true, false, false, true},
                      SwitchCase{"OnWhileSignedOut", Sender::checkedBox, false, false, true, true, false},
                      SwitchCase{"NotAButton", Sender::notAButton, true, false, true, false, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GeneralPaneTest, QuotaFollowsFetchesAndReachability) {
    auto user = signIn();
    pane->setUserController(&users);
    pane->viewWillAppear();
    EXPECT_EQ(extensionStates, std::vector<bool>({true}));
    ASSERT_EQ(user->requests.size(), 1u);
    EXPECT_EQ(pane->quota(), nullptr);
    EXPECT_EQ(pane->quotaLabel()->text(), texts.geLabelStorageDetailsNotAvailable());
    EXPECT_EQ(pane->serverLabel()->text(), QStringLiteral("This computer (built in)"));

    user->requests[0]->answer(OVQuota{1000000000, 250000000, 750000000});
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return pane->quota() != nullptr; }));
    EXPECT_EQ(pane->quota()->used(), 250000000);
    EXPECT_NE(pane->quotaLabel()->text(), texts.geLabelStorageDetailsNotAvailable());
    EXPECT_EQ(pane->storageIndicator()->value(), 250);
    grab(pane->view(), QStringLiteral("general"));

    // Offline clears the quota; back online shows it again.
    testFacade.facade().reachable = false;
    testFacade.facade().connectivityManager().refresh();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return pane->quota() == nullptr; }));
    EXPECT_EQ(pane->quotaLabel()->text(), texts.geLabelStorageDetailsNotAvailable());
    testFacade.facade().reachable = true;
    testFacade.facade().connectivityManager().refresh();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return pane->quota() != nullptr; }));
}

TEST_F(GeneralPaneTest, LinksOpenTheirAddressesAndTextsThatAreNoURLOpenNothing) {
    pane->openPrivacy(nullptr);
    pane->openLegal(nullptr);
    pane->openHelp(nullptr);
    pane->openAcknowledgments(nullptr);  // no page: nothing
    ASSERT_EQ(openedURLs.size(), 3u);
    EXPECT_EQ(openedURLs[0], QUrl(texts.geLabelPrivacyPolicyURL()));
    EXPECT_EQ(openedURLs[1], QUrl(texts.geLabelLegalURL()));
    EXPECT_EQ(openedURLs[2], QUrl(texts.geButtonHelpURL()));

    const std::pair<const char*, bool> rows[] = {
        {"https://www.orvella.example/help", true}, {"mailto:help@orvella.example", true}, {"", false},
        {"   ", false}, {"General.Label.LegalURL", false}, {"http://exa mple.com/", false}};
    for (const auto& [text, opens] : rows) {
        SCOPED_TRACE(text);
        const size_t before = openedURLs.size();
        EXPECT_EQ(Workspace::openUrlText(QString::fromUtf8(text)), opens);
        EXPECT_EQ(openedURLs.size(), before + (opens ? 1 : 0));
    }
}

TEST_F(GeneralPaneTest, AcknowledgementsOpenTheWrittenPage) {
    GeneralViewController::Environment environment = GeneralViewController::Environment::standard();
    environment.setLoginItemEnabled = {};
    environment.updateExtensionState = {};
    GeneralViewController standard(environment);
    standard.openAcknowledgments(nullptr);
    ASSERT_EQ(openedURLs.size(), 1u);
    ASSERT_TRUE(openedURLs[0].isLocalFile());
    EXPECT_TRUE(openedURLs[0].toLocalFile().endsWith(QStringLiteral("/acknowledgments.html")));
    EXPECT_TRUE(QFile::exists(openedURLs[0].toLocalFile()));
}

TEST_F(GeneralPaneTest, VersionAndMergedRows) {
    EXPECT_EQ(pane->applicationVersion(), QStringLiteral("1.0.0 (1) "));
    pane->view();
    QGridLayout* grid = pane->gridView();
    for (QWidget* cell : {pane->accountSeparatorCell(), pane->storageIndicatorCell(), pane->storageSeparatorCell(),
                          pane->startAutomaticallyAtLoginCell()}) {
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(grid->indexOf(cell), &row, &column, &rowSpan, &columnSpan);
        EXPECT_EQ(column, 0);
        EXPECT_EQ(columnSpan, grid->columnCount());
    }
}

}  // namespace
