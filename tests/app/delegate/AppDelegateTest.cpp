#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QThread>

#include <atomic>

#include <unistd.h>

#include "app/backup/BackupController.h"
#include "app/common/LocalizationController.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/SettingsController.h"
#include "app/core/UserController.h"
#include "app/common/AppActions.h"
#include "app/delegate/AppDelegate.h"
#include "app/sync/SyncControllerTestSupport.h"
#include "frameworks/business/BackupSources.h"
#include "app/selectivesync/StoreController.h"
#include "app/shell/doctor/ConnectionDoctorWindowController.h"
#include "app/shell/menubar/MenuBarExtrasController.h"
#include "app/shell/onboarding/OnboardingWindowController.h"
#include "app/shell/preferences/PreferencesWindowController.h"
#include "app/shell/update/SparkleUpdaterController.h"
#include "app/sync/SyncController.h"
#include "frameworks/business/ConnectivityManager.h"
#include "frameworks/business/OrvellaFacade.h"
#include "frameworks/logger/Logger.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Workspace.h"
#include "platform/foundation/UserDefaults.h"
#include "service/StorageService.h"
#include "support/TestEnvironment.h"

namespace {

// A launch with its platform services recorded instead of performed.
struct LaunchRecorder {
    QStringList steps;
    QStringList loginItems;
    QStringList crashStarts;
    std::vector<bool> crashEnabled;

    AppDelegate::Environment environment() {
        AppDelegate::Environment env;
        env.trace = [this](const QString& step) { steps << step; };
        env.addFileLogger = [this](const QString& group, const Logger::FileConfiguration& c) {
            steps << QStringLiteral("addFileLogger:%1:%2:%3").arg(group, c.folderName).arg(c.maximumNumberOfLogFiles);
            return true;
        };
        env.setLoginItemEnabled = [this](const QString& id, bool enabled) {
            loginItems << QStringLiteral("%1=%2").arg(id).arg(enabled);
            return true;
        };
        env.startCrashReporting = [this](const QString& secret, bool crash, bool logs) {
            crashStarts << QStringLiteral("%1:%2:%3").arg(secret).arg(crash).arg(logs);
        };
        env.setCrashServiceEnabled = [this](bool enabled) { crashEnabled.push_back(enabled); };
        env.deployIfNeeded = [this] { steps << QStringLiteral("deployIfNeeded"); };
        return env;
    }
};

// A fresh installation has no session: the launch's connect finds none and signs out, which runs
// on the main queue. Let that finish before a test looks.
void settle(AppDelegate& delegate) {
    TestEnvironment::waitUntil([&] { return false; }, 50);
    TestEnvironment::waitUntil([&] { return !delegate.userController().isLogoutInProgress(); });
    Alert::clearShownAlerts();
}

class AppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Every test starts as a fresh installation that can reach the service.
        UserDefaults::suite(QStringLiteral("group.example.orvella"))->removePersistentDomain(
            QStringLiteral("group.example.orvella"));
        settings()->removeisAlreadyLaunched();
        settings()->removehasPromptedToSendCrashReports();
        settings()->removecrashReportsEnabled();
        setReachable(true);
        registerMenuBarExtrasScene();
        Alert::clearShownAlerts();
        // The process has one application object: a quit tried by an earlier test must not leave
        // it terminated, or this test's quit would never reach its delegate.
        Application::shared().setDelegate(nullptr);
        Application::shared().resetTermination();
    }
    void TearDown() override {
        // Work a test leaves queued may still ask something: never a real dialog in a test.
        Alert::setResponder([](const Alert&) { return Alert::SecondButtonReturn; });
        setReachable(true);
        // A test that stopped early must not leave its delegate, gone with it, to the next one.
        Application::shared().setDelegate(nullptr);
        Application::shared().resetTermination();
    }
    static OrvellaSettingsManager* settings() { return SettingsController().settings(); }
    static void setReachable(bool reachable) {
        StorageService::shared()->setReachable(reachable);
        BusinessFacadeHolder::facade().connectivityManager().refresh();
        QCoreApplication::processEvents();
    }
};

TEST_F(AppDelegateTest, InitializerAndLaunchRunInOrder) {
    Alert::setResponder([](const Alert&) { return Alert::SecondButtonReturn; });  // no crash reports
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    const QStringList initializer = {
        "windowControllers", "localizationController", "syncExtensionController", "userController",
        "quotaController", "settingsController", "messagePortServers", "systemFolderDeletedFlag",
        "syncDataDirectoryURL", "valueTransformers", "configurationProvider", "deployIfNeeded",
        "featuresController", "frameworkController", "registerDefaults", "backupController",
        "sparkleController", "syncReachability", "syncController", "menuBarExtrasController",
        "promptForCrashReportsController", "syncSetUp"};
    EXPECT_EQ(recorder.steps, initializer);
    EXPECT_TRUE(delegate.menuBarExtrasController());
    EXPECT_EQ(delegate.menuBarExtrasController()->userController, &delegate.userController());
    EXPECT_EQ(delegate.syncController()->delegate(), &delegate);
    EXPECT_EQ(delegate.syncController()->setUpCount(), 1);
    EXPECT_TRUE(delegate.sparkleController().isRunningUnitTests());

    std::vector<QString> lifeCycle;
    const auto sink = Logger::addSink([&](const LogEntry& e) {
        if (e.channel == QStringLiteral("App life cycle")) lifeCycle.push_back(e.message);
    });
    recorder.steps.clear();
    delegate.applicationDidFinishLaunching();
    Logger::removeSink(sink);

    const QStringList launch = {"servicesProvider", "addFileLogger:group.example.orvella:example.orvella.desktop:5",
                                "fileLogging", "menuBarView", "loginItem", "badgeQueryPort", "registrationPort",
                                "scheduledBackupObservation", "crashReporting", "userConsentObservation",
                                "reachability", "crashReportPrompt", "didStart"};
    EXPECT_EQ(recorder.steps, launch);
    EXPECT_EQ(recorder.loginItems, QStringList{"example.orvella.desktop.launchhelper=1"});
    EXPECT_EQ(recorder.crashStarts, QStringList{"00000000-0000-0000-0000-000000000000:0:1"});
    EXPECT_EQ(lifeCycle, std::vector<QString>{"App did start"});

    // The prompt was answered "no"; a fresh installation that reaches the service shows onboarding.
    EXPECT_TRUE(settings()->hasPromptedToSendCrashReports());
    EXPECT_FALSE(settings()->crashReportsEnabled());
    ASSERT_TRUE(delegate.onboardingWindowController());
    EXPECT_TRUE(delegate.userController().isOnboarding());
}

TEST_F(AppDelegateTest, FileLogConfigurationHasTheLimits) {
    const Logger::FileConfiguration c = AppDelegate::fileLogConfiguration();
    EXPECT_EQ(c.folderName, QStringLiteral("example.orvella.desktop"));
    EXPECT_EQ(c.maximumNumberOfLogFiles, 5);
    EXPECT_EQ(c.maximumFileSize, 10 * 1024 * 1024);
    EXPECT_EQ(c.logFilesDiskQuota, 50 * 1024 * 1024);
    EXPECT_EQ(c.rollingFrequency, 24 * 60 * 60);
    ASSERT_TRUE(c.exportParentFolderPath);
    EXPECT_TRUE(c.exportParentFolderPath->endsWith(QStringLiteral("/Logs")));
    ASSERT_TRUE(AppDelegate::makeSyncDataDirectoryURL());
    EXPECT_TRUE(AppDelegate::makeSyncDataDirectoryURL()->endsWith(QStringLiteral("/example.orvella.desktop/SyncData")));
}

TEST_F(AppDelegateTest, FirstLaunchWithoutNetworkShowsNothingUntilAsked) {
    Alert::setResponder([](const Alert&) { return Alert::SecondButtonReturn; });
    setReachable(false);
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    delegate.applicationDidFinishLaunching();
    EXPECT_FALSE(delegate.onboardingWindowController());
    EXPECT_EQ(Alert::shownCount(), 1);  // the crash-report prompt only

    delegate.showOnboardingWindow();
    const QString noConnection = LocalizationController().raAlertNoConnectionMessage();
    ASSERT_TRUE(TestEnvironment::waitUntil([] { return Alert::shownCount() == 2; }));
    EXPECT_EQ(Alert::shownAlerts().back().messageText(), noConnection);
    EXPECT_FALSE(delegate.onboardingWindowController());
    EXPECT_FALSE(delegate.userController().isOnboarding());
}

TEST_F(AppDelegateTest, SetUpInstallationOnlyLivesInTheTray) {
    settings()->setIsAlreadyLaunched(true);
    settings()->setHasPromptedToSendCrashReports(true);
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(Alert::shownCount(), 0);
    EXPECT_FALSE(delegate.onboardingWindowController());
}

TEST_F(AppDelegateTest, ConsentChangeReachesCrashServiceAndUpdater) {
    settings()->setHasPromptedToSendCrashReports(true);
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    delegate.applicationDidFinishLaunching();
    settings()->setCrashReportsEnabled(true);
    EXPECT_TRUE(delegate.sparkleController().sendsSystemProfile());
    settings()->setCrashReportsEnabled(false);
    EXPECT_FALSE(delegate.sparkleController().sendsSystemProfile());
    EXPECT_EQ(recorder.crashEnabled, (std::vector<bool>{true, false}));
}

TEST_F(AppDelegateTest, TwoSystemFolderDeletedReportsAtOnceShowOneAlert) {
    settings()->setIsAlreadyLaunched(true);
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    settle(delegate);
    Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
    const QString message = LocalizationController().syAlertSystemFolderDeletedMessage();
    const auto countShown = [&] {
        int n = 0;
        for (const Alert& a : Alert::shownAlerts()) n += a.messageText() == message;
        return n;
    };

    std::atomic<bool> go{false};
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back(QThread::create([&] {
            while (!go.load()) {}
            delegate.presentSystemFolderDeletedAlert(QStringLiteral("/x"));
        }));
        threads.back()->start();
    }
    go = true;
    for (auto& t : threads) t->wait();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !delegate.isPresentingSystemFolderDeletedAlert(); }));
    EXPECT_EQ(countShown(), 1);

    // Once dismissed, the next report shows the alert again.
    delegate.presentSystemFolderDeletedAlert(QStringLiteral("/y"));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return countShown() == 2; }));
}

TEST_F(AppDelegateTest, RootFolderMovedWhileSignedOutShowsNoAlert) {
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    settle(delegate);
    Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
    delegate.presentRootFolderMovedAlert();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(Alert::shownCount(), 0);
}

TEST_F(AppDelegateTest, RootFolderMovedAlertContinuesSyncOrSignsOutAndQuits) {
    struct Case {
        const char* name;
        int answer;
        bool quits;
    };
    for (const Case& c : {Case{"continue", Alert::SecondButtonReturn, false}, Case{"quit", Alert::FirstButtonReturn, true}}) {
        SCOPED_TRACE(c.name);
        auto facade = std::make_shared<synctest::SyncTestFacade>(QStringLiteral("test.group.rootMoved.") + c.name);
        facade->installed = true;
        BusinessFacadeHolder::setFacadeForTesting(facade);
        {
            LaunchRecorder recorder;
            AppDelegate delegate(recorder.environment());
            settle(delegate);
            // Set only where no set-up follows: a set-up of an unprepared sync folder asks otherwise.
            facade->settings()->setIsAlreadyLaunched(c.quits);
            delegate.userController().setIsLoggedIn(true);
            const int setUps = delegate.syncController()->setUpCount();
            Alert::setResponder([&](const Alert&) { return c.answer; });
            delegate.presentRootFolderMovedAlert();
            ASSERT_TRUE(TestEnvironment::waitUntil([&] {
                return Application::shared().isTerminated() || facade->engine.triggerCount > 0;
            }));
            EXPECT_EQ(Alert::shownCount(), 1);
            EXPECT_EQ(Application::shared().isTerminated(), c.quits);
            EXPECT_EQ(facade->logoutCalls, c.quits ? 1 : 0);
            EXPECT_FALSE(facade->lastLogoutReset);
            // Quitting signs out for good: the next start begins with onboarding.
            EXPECT_FALSE(facade->settings()->isAlreadyLaunched());
            EXPECT_EQ(delegate.syncController()->setUpCount(), setUps + (c.quits ? 0 : 1));
            EXPECT_EQ(facade->engine.triggerCount, c.quits ? 0 : 1);
            EXPECT_FALSE(delegate.userController().isLogoutInProgress());
            EXPECT_EQ(delegate.menuBarExtrasController()->isEnabled(), !c.quits);
        }
        Application::shared().resetTermination();
        BusinessFacadeHolder::setFacadeForTesting(nullptr);
    }
}

// The sign-in page writes its own message; a second, different text in an alert would contradict it.
TEST_F(AppDelegateTest, AFailedSignInIsToldOnceAndLogged) {
    struct Case {
        const char* name;
        BusinessError error;
        int alerts;
    };
    const Case cases[] = {
        {"wrongPassword", BusinessError::api(APIError::unauthorized, "The user name or password is incorrect."), 0},
        {"passwordTooShort", BusinessError::api(APIError::unprocessableEntity, "The password is too short."), 0},
        {"noConnection", BusinessError::make(BusinessError::Kind::noConnection), 0},
        {"accountMayNotUseTheApp", BusinessError::api(APIError::notAuthorized), 1},
    };
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    settle(delegate);
    OnboardingWindowController onboarding(&delegate);
    Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Alert::clearShownAlerts();
        QStringList warnings;
        const auto sink = Logger::addSink([&](const LogEntry& e) {
            if (e.level == LogLevel::warning && e.message.startsWith(QStringLiteral("Sign-in failed"))) warnings << e.message;
        });
        delegate.onboardingWindowControllerDidFinishSignIn(onboarding, false, AppError(c.error));
        TestEnvironment::waitUntil([] { return false; }, 20);
        Logger::flush();
        Logger::removeSink(sink);
        EXPECT_EQ(Alert::shownCount(), c.alerts);
        EXPECT_EQ(warnings.size(), 1);
    }
}

TEST_F(AppDelegateTest, QuitWhileRestoringAsksAndQuitsOnlyOnQuit) {
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    settle(delegate);
    delegate.backupController()->setIsRestoring(true);
    Application& app = Application::shared();
    app.setDelegate(&delegate);
    bool terminated = false;
    const auto connection = QObject::connect(&app, &Application::willTerminate, [&] { terminated = true; });

    Alert::setResponder([](const Alert&) { return Alert::SecondButtonReturn; });  // Cancel
    app.terminate();
    EXPECT_TRUE(app.isAwaitingTerminateReply());
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !app.isAwaitingTerminateReply(); }));
    EXPECT_FALSE(terminated);
    EXPECT_EQ(Alert::shownAlerts().back().messageText(), LocalizationController().syAlertRestoreStillRunningMessage());

    Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });  // Quit
    app.terminate();
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return terminated; }));
    QObject::disconnect(connection);
    app.setDelegate(nullptr);
}

TEST_F(AppDelegateTest, QuitWithoutRestoreIsImmediate) {
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    settle(delegate);
    EXPECT_EQ(delegate.applicationShouldTerminate(), TerminateReply::now);
    EXPECT_EQ(Alert::shownCount(), 0);
}

TEST_F(AppDelegateTest, FactoryResetRunsOnlyAfterConfirmationAndQuits) {
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    settle(delegate);
    ASSERT_TRUE(delegate.syncDataDirectoryURL().has_value());
    const QString data = *delegate.syncDataDirectoryURL();
    ASSERT_TRUE(QDir().mkpath(data));
    Application& app = Application::shared();
    app.setDelegate(&delegate);
    bool terminated = false;
    const auto connection = QObject::connect(&app, &Application::willTerminate, [&] { terminated = true; });

    Alert::setResponder([](const Alert&) { return Alert::SecondButtonReturn; });  // Cancel
    EXPECT_TRUE(app.sendAction(QStringLiteral("resetToFactorySettings:")));
    TestEnvironment::waitUntil([&] { return terminated; }, 300);
    EXPECT_FALSE(terminated);
    EXPECT_TRUE(QFileInfo::exists(data));
    EXPECT_EQ(Alert::shownAlerts().back().messageText(), LocalizationController().mbAlertResetFactorySettingsMessage());

    settings()->setIsAlreadyLaunched(true);
    // The reset deletes the process's selective-sync store, which an application that quits never
    // uses again but the tests after this one do: second names for its files bring the same files
    // back afterwards, which the open store accepts as its own.
    QTemporaryDir kept;
    QStringList keptStoreFiles;
    for (const QString& file : StoreController::shared().storeFiles()) {
        const QString second = kept.filePath(QString::number(keptStoreFiles.size()));
        if (::link(QFile::encodeName(file).constData(), QFile::encodeName(second).constData()) == 0)
            keptStoreFiles << file;
    }
    Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });  // Quit and delete
    EXPECT_TRUE(app.sendAction(QStringLiteral("resetToFactorySettings:")));
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return terminated; }, 5000));
    EXPECT_FALSE(QFileInfo::exists(data));
    // The next launch is a first launch.
    EXPECT_FALSE(settings()->isAlreadyLaunched());
    for (int i = 0; i < keptStoreFiles.size(); ++i) {
        QDir().mkpath(QFileInfo(keptStoreFiles[i]).absolutePath());
        QFile::remove(keptStoreFiles[i]);
        QFile::rename(kept.filePath(QString::number(i)), keptStoreFiles[i]);
    }
    QObject::disconnect(connection);
    app.setDelegate(nullptr);
}

TEST_F(AppDelegateTest, FolderActionsShowTheFolderWithItsContents) {
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    settle(delegate);
    QList<QUrl> opened;
    Workspace::setOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    // Photos and videos open where a restore puts them, also when that is not the usual folder.
    QTemporaryDir elsewhere(QDir::tempPath() + QStringLiteral("/pictures-XXXXXX"));
    ASSERT_TRUE(elsewhere.isValid());
    qputenv("ORVELLA_BACKUP_PICTURES", elsewhere.path().toUtf8());
    const QString pictures = elsewhere.path();
    const QString movies = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    ASSERT_TRUE(QDir().mkpath(movies));
    // A folder holding the file manager's marker file opens on itself; without it, on its parent with
    // the folder selected.
    QFile marker(pictures + QStringLiteral("/.DS_Store"));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    const struct {
        const char* action;
        QUrl expected;
    } cases[] = {
        {"openPictures:", QUrl::fromLocalFile(pictures)},
        {"openMovies:", QUrl::fromLocalFile(QFileInfo(movies).absolutePath())},
        {"openWebsite:", QUrl(LocalizationController().mbMenuItemOpenWebsiteURL())},
        // Contacts and calendars are the backup's vCard and iCalendar folders, made when missing.
        {"openContacts:", QUrl::fromLocalFile(QFileInfo(BackupSources::fromEnvironment().contacts).absolutePath())},
        {"openCalendars:", QUrl::fromLocalFile(QFileInfo(BackupSources::fromEnvironment().calendars).absolutePath())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        opened.clear();
        EXPECT_TRUE(Application::shared().sendAction(QString::fromLatin1(c.action)));
        ASSERT_EQ(opened.size(), 1);
        EXPECT_EQ(opened.front(), c.expected);
    }
    EXPECT_TRUE(QFileInfo(BackupSources::fromEnvironment().calendars).isDir());
    qunsetenv("ORVELLA_BACKUP_PICTURES");
    Workspace::setOpener(nullptr);
}

TEST_F(AppDelegateTest, WindowActionsShowTheirWindowsAndReuseThem) {
    registerPreferencesScenes();
    registerConnectionDoctorScenes();
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    settle(delegate);
    const auto visibleWindows = [] {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets()) count += widget->isVisible() && widget->isWindow();
        return count;
    };
    for (const char* action : {"showPreferencesWindow:", "showConnectionDoctor:"}) {
        SCOPED_TRACE(action);
        const int before = visibleWindows();
        EXPECT_TRUE(Application::shared().sendAction(QString::fromLatin1(action)));
        EXPECT_TRUE(TestEnvironment::waitUntil([&] { return visibleWindows() == before + 1; }));
        // Asked again, the same window comes forward.
        EXPECT_TRUE(Application::shared().sendAction(QString::fromLatin1(action)));
        QCoreApplication::processEvents();
        EXPECT_EQ(visibleWindows(), before + 1);
    }
}

TEST_F(AppDelegateTest, EveryApplicationActionHasAHandlerWhileTheDelegateLives) {
    {
        LaunchRecorder recorder;
        AppDelegate delegate(recorder.environment());
        for (const QString& name : AppAction::all())
            EXPECT_TRUE(Application::shared().respondsToAction(name)) << name.toStdString();
    }
    // A gone delegate leaves no handler behind that would reach freed controllers.
    for (const QString& name : AppAction::all())
        EXPECT_FALSE(Application::shared().respondsToAction(name)) << name.toStdString();
}

TEST_F(AppDelegateTest, ClosingOnboardingClosesTheWindowAndStartsAgainAtTheFirstPage) {
    Alert::setResponder([](const Alert&) { return Alert::SecondButtonReturn; });
    setReachable(true);
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    delegate.applicationDidFinishLaunching();
    settle(delegate);
    delegate.showOnboardingWindow();
    OnboardingWindowController* onboarding = delegate.onboardingWindowController();
    ASSERT_TRUE(onboarding && onboarding->window());
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return onboarding->window()->isVisible(); }));
    onboarding->navigateForward(nullptr);
    QCoreApplication::processEvents();
    ASSERT_EQ(onboarding->pageController()->selectedIndex(), 1);
    // Signed in on the window but not through it, as when Sign Out is chosen mid-onboarding: the
    // close must not finish the first launch (which would connect and start syncing).
    auto* facade = dynamic_cast<OrvellaFacade*>(&BusinessFacadeHolder::facade());
    ASSERT_TRUE(facade);
    ASSERT_TRUE(facade->createAccountNow(QStringLiteral("closer"), QStringLiteral("closer@example.org"),
                                         QStringLiteral("a good long secret"))
                    .isSuccess());
    delegate.userController().update();
    ASSERT_TRUE(delegate.userController().isLoggedIn());

    EXPECT_TRUE(Application::shared().sendAction(AppAction::closeOnboardingWindow));
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return !onboarding->window()->isVisible(); }));
    EXPECT_EQ(onboarding->pageController()->selectedIndex(), 0);
    EXPECT_FALSE(settings()->isAlreadyLaunched());
    EXPECT_FALSE(delegate.userController().isOnboarding());

    // Shown again (Continue Setting Up, or the next start) the set-up goes on after the sign-in
    // page, whose arrival would sign the user out.
    delegate.showOnboardingWindow();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return onboarding->window()->isVisible(); }));
    EXPECT_EQ(onboarding->pageController()->selectedIndex(), 2);
    EXPECT_TRUE(delegate.userController().isLoggedIn());
    bool signedOut = false;
    facade->logout(false, [&](VoidResult) { signedOut = true; });
    TestEnvironment::waitUntil([&] { return signedOut; });
}

TEST_F(AppDelegateTest, SkippingABackupAsksFirst) {
    LaunchRecorder recorder;
    AppDelegate delegate(recorder.environment());
    settle(delegate);
    Alert::setResponder([](const Alert&) { return Alert::SecondButtonReturn; });  // keep it running
    EXPECT_TRUE(Application::shared().sendAction(QStringLiteral("cancelBackup:")));
    ASSERT_TRUE(TestEnvironment::waitUntil([] { return Alert::shownCount() == 1; }));
    EXPECT_EQ(Alert::shownAlerts().back().messageText(), LocalizationController().brAlertSkipBackupMessage());
    EXPECT_FALSE(delegate.backupController()->isCanceling());
}

}  // namespace
