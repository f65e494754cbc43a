#include "app/delegate/AppDelegate.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QStandardPaths>

#include "app/backup/BackupAlerts.h"
#include "app/backup/BackupController.h"
#include "app/common/AppActions.h"
#include "app/common/ConfigurationProvider.h"
#include "app/common/LaunchHelperLoginItem.h"
#include "app/common/LocalizationController.h"
#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/BusinessFrameworkController.h"
#include "app/core/DeploymentController.h"
#include "app/core/FeaturesController.h"
#include "app/core/OVPathResolver.h"
#include "app/core/QuotaController.h"
#include "app/core/SyncFolderPaths.h"
#include "app/core/ReachabilityController.h"
#include "app/core/SettingsController.h"
#include "app/core/UserController.h"
#include "app/delegate/SceneWindow.h"
#include "app/shell/backup/BackupRestoreWindowController.h"
#include "app/shell/crash/AppCenterSDK.h"
#include "app/shell/crash/PromptForCrashReportsController.h"
#include "app/shell/doctor/ConnectionDoctorWindowController.h"
#include "app/shell/menubar/MenuBarExtrasController.h"
#include "app/shell/preferences/PreferencesWindowController.h"
#include "app/shell/sharing/ShareInfoWindowController.h"
#include "app/shell/sharing/ShareWindowController.h"
#include "app/shell/transformers/ValueTransformers.h"
#include "app/shell/update/SparkleUpdaterController.h"
#include "app/selectivesync/StoreController.h"
#include "app/sync/AppServer.h"
#include "app/sync/CommServer.h"
#include "app/sync/FinderSidebarController.h"
#include "app/sync/SyncController.h"
#include "app/sync/OVFileSystemMetadataController.h"
#include "app/sync/SettingsRecovery.h"
#include "app/sync/SyncExtensionController.h"
#include "frameworks/sync/SyncFacade.h"
#include "platform/appkit/Workspace.h"
#include "frameworks/logger/DetailedLogFormatter.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/StatusBarButton.h"
#include "platform/appkit/StatusItem.h"
#include "platform/appkit/Storyboard.h"
#include "platform/foundation/MainQueue.h"
#include "protocol/MessagePortProtocol.h"

AppDelegate::Environment AppDelegate::defaultEnvironment() {
    Environment env;
    env.deployIfNeeded = [] { DeploymentController().deployIfNeeded(); };
    env.addFileLogger = [](const QString& appGroup, const Logger::FileConfiguration& configuration) {
        return Logger::addFileLogger(appGroup, configuration, std::make_shared<DetailedLogFormatter>());
    };
    env.setLoginItemEnabled = setLaunchHelperLoginItemEnabled;
    env.startCrashReporting = [](const QString& secret, bool crashReportingEnabled, bool logUploadEnabled) {
        AppCenterSDK::start(AppCenterSDK::appSecret(secret), crashReportingEnabled, logUploadEnabled);
    };
    env.setCrashServiceEnabled = [](bool enabled) { CrashService::shared().setEnabled(enabled); };
    env.windowWithoutTrayTitle = QGuiApplication::applicationDisplayName();
    return env;
}

std::optional<QString> AppDelegate::makeSyncDataDirectoryURL() { return syncDataDirectoryPath(); }

Logger::FileConfiguration AppDelegate::fileLogConfiguration() {
    Logger::FileConfiguration configuration;
    configuration.folderName = infoPlistString(QStringLiteral("AppBundleIdentifier"));
    const QString library = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!library.isEmpty()) configuration.exportParentFolderPath = QDir(library).filePath(QStringLiteral("Logs"));
    configuration.rollingFrequency = Logger::defaultRollingFrequency;
    configuration.maximumNumberOfLogFiles = 5;
    configuration.maximumFileSize = 10485760;
    configuration.logFilesDiskQuota = 52428800;
    return configuration;
}

AppDelegate::AppDelegate(Environment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)) {
    trace(QStringLiteral("windowControllers"));
    localizationController_ = std::make_unique<LocalizationController>();
    trace(QStringLiteral("localizationController"));
    syncExtensionController_ = &SyncExtensionController::shared();
    trace(QStringLiteral("syncExtensionController"));
    userController_ = std::make_unique<UserController>();
    // The core cannot see the store, the extension or the sidebar; what a finished log-out
    // clears in them is done here. It touches only shared instances, so no delegate is captured.
    UserController::setLogoutCleanup([](bool controllerAlive) {
        StoreController::shared().resetSelectiveSyncItems();
        SyncExtensionController::shared().disableExtension();
        if (controllerAlive) FinderSidebarController(OVPathResolver::shared()).removeSyncRootFavorite();
    });
    trace(QStringLiteral("userController"));
    // Before anything reads the settings: a damaged settings file is logged, and what it held comes
    // back once the signed-in user is known.
    settingsRecovery_ = std::make_unique<SettingsRecovery>(*userController_);
    QObject::connect(settingsRecovery_.get(), &SettingsRecovery::recovered, this, [this] {
        // During the launch its own set-up follows; later, sync that stayed off starts now.
        if (syncController_ && !BusinessFacadeHolder::facade().syncFacade()) syncController_->setUp();
    });
    quotaController_ = std::make_unique<QuotaController>();
    // Another account must never be shown the previous account's quota.
    QObject::connect(userController_.get(), &UserController::userChanged, quotaController_.get(),
                     &QuotaController::userDidChange);
    trace(QStringLiteral("quotaController"));
    settingsController_ = std::make_unique<SettingsController>();
    trace(QStringLiteral("settingsController"));
    appServer_ = std::make_unique<AppServer>();
    commServer_ = std::make_unique<CommServer>();
    trace(QStringLiteral("messagePortServers"));
    isPresentingSystemFolderDeletedAlert_.set(false);
    trace(QStringLiteral("systemFolderDeletedFlag"));
    syncDataDirectoryURL_ = makeSyncDataDirectoryURL();
    trace(QStringLiteral("syncDataDirectoryURL"));
    registerValueTransformers();
    trace(QStringLiteral("valueTransformers"));
    (void)sharedConfigurationProvider();
    trace(QStringLiteral("configurationProvider"));
    if (environment_.deployIfNeeded) environment_.deployIfNeeded();
    featuresController_ = std::make_unique<FeaturesController>(*userController_);
    trace(QStringLiteral("featuresController"));
    BusinessFrameworkControllerConnectClient connectClient;
    SyncExtensionController* extension = syncExtensionController_;
    QPointer<SettingsRecovery> recovery(settingsRecovery_.get());
    connectClient.signedInStateSettled = [this, extension, recovery](bool isLoggedIn) {
        if (recovery) recovery->connectAnswered();
        extension->updateExtensionState(isLoggedIn);
        // The launch's own set-up may come before the service has answered who is signed in (it is
        // across the network): once it has, sync starts.
        if (isLoggedIn && syncController_ && SettingsController().settings()->isAlreadyLaunched() &&
            !BusinessFacadeHolder::facade().syncFacade())
            syncController_->setUp();
        // The set-up window shown at launch, before the service said who is signed in, goes on
        // after its sign-in page.
        if (isLoggedIn && onboardingWindowController_) onboardingWindowController_->skipSignInIfOnWelcome();
    };
    frameworkController_ = std::make_unique<BusinessFrameworkController>(*userController_, std::move(connectClient));
    trace(QStringLiteral("frameworkController"));
    settingsController_->registerDefaults();
    trace(QStringLiteral("registerDefaults"));
    backupController_ = std::make_unique<BackupController>(*quotaController_, *userController_,
                                                           OVBackupDependencyProvider{100000000}, false);
    trace(QStringLiteral("backupController"));
    sparkleController_ = std::make_unique<SparkleUpdaterController>(qgetenv("UNIT_TEST") == "1");
    trace(QStringLiteral("sparkleController"));
    syncReachability_ = std::make_unique<ReachabilityController>();
    trace(QStringLiteral("syncReachability"));
    syncController_ = std::make_unique<SyncController>(commServer_.get(), *quotaController_, *userController_,
                                                       *syncReachability_);
    trace(QStringLiteral("syncController"));
    QObject* scene = Storyboard::instantiate(Storyboard::main(), QStringLiteral("MenuBarExtrasController"));
    if (auto* menuBar = qobject_cast<MenuBarExtrasController*>(scene)) {
        menuBarExtrasController_.reset(menuBar);
        menuBar->backupController = backupController_.get();
        menuBar->featuresController = featuresController_.get();
        menuBar->userController = userController_.get();
        menuBar->syncController = syncController_.get();
    } else {
        delete scene;
        OVLOG_ERROR(AppLog::flow(), QStringLiteral("MenuBarExtrasController couldn't be instantiated…"));
    }
    trace(QStringLiteral("menuBarExtrasController"));
    promptForCrashReportsController_ = std::make_unique<PromptForCrashReportsController>(
        OVPromptForCrashReportsControllerProvider{settingsController_->settings()});
    trace(QStringLiteral("promptForCrashReportsController"));
    syncController_->setDelegate(this);
    syncController_->setUp();
    trace(QStringLiteral("syncSetUp"));

    registerActions();
}

AppDelegate::~AppDelegate() {
    // The sync controller finishes its pending pushes as it goes: the servers and controllers it
    // uses must still be there.
    syncController_.reset();
    // It holds the user controller, which goes before it.
    settingsRecovery_.reset();
    unregisterActions();
    QObject::disconnect(scheduledBackupObservation_);
    QObject::disconnect(userConsentObservation_);
}

void AppDelegate::trace(const QString& step) const {
    if (environment_.trace) environment_.trace(step);
}

void AppDelegate::setSyncController(std::unique_ptr<SyncController> controller) {
    syncController_ = std::move(controller);
    if (syncController_) syncController_->setDelegate(this);
}

void AppDelegate::applicationDidFinishLaunching() {
    // The services-menu entry for sharing arrives with sharing.
    trace(QStringLiteral("servicesProvider"));

    const QString appGroup = infoPlistString(QStringLiteral("AppGroupIdentifier"));
    if (environment_.addFileLogger) environment_.addFileLogger(appGroup, fileLogConfiguration());
    AppLog::setVerbosities();
    trace(QStringLiteral("fileLogging"));

    if (menuBarExtrasController_) {
        menuBarExtrasController_->loadView();
        if (!environment_.windowWithoutTrayTitle.isEmpty()) {
            if (!StatusItem::isTrayAvailable())
                OVLOG_WARNING(AppLog::gui(), QStringLiteral("The desktop has no system tray: the status item's menu is "
                                                            "shown in a window. Starting Orvella again brings it back."));
            menuBarExtrasController_->statusItem()->setWindowWithoutTray(environment_.windowWithoutTrayTitle);
        }
    }
    trace(QStringLiteral("menuBarView"));

    if (environment_.setLoginItemEnabled)
        (void)environment_.setLoginItemEnabled(infoPlistString(QStringLiteral("LaunchHelperBundleIdentifier")),
                                               settingsController_->settings()->openAutomaticallyOnLogin());
    trace(QStringLiteral("loginItem"));

    appServer_->addSourceForNewLocalMessagePort(MessagePortProtocol::badgePortName(appGroup));
    trace(QStringLiteral("badgeQueryPort"));
    commServer_->addSourceForNewLocalMessagePort(MessagePortProtocol::registrationPortName(appGroup));
    trace(QStringLiteral("registrationPort"));

    scheduledBackupObservation_ =
        QObject::connect(userController_.get(), &UserController::isLoggedInChanged, this, [this] { userChanged(); });
    trace(QStringLiteral("scheduledBackupObservation"));

    OrvellaSettingsManager* settings = settingsController_->settings();
    if (environment_.startCrashReporting)
        environment_.startCrashReporting(infoPlistString(QStringLiteral("AppCenterAppSecret")),
                                         settings->crashReportsEnabled(), true);
    trace(QStringLiteral("crashReporting"));

    userConsentObservation_ =
        QObject::connect(settings, &OrvellaSettingsManager::crashReportsEnabledChanged, this, [this] {
            const bool enabled = settingsController_->settings()->crashReportsEnabled();
            if (sparkleController_) sparkleController_->setSendsSystemProfile(enabled);
            if (environment_.setCrashServiceEnabled) environment_.setCrashServiceEnabled(enabled);
        });
    trace(QStringLiteral("userConsentObservation"));

    reachability_ = std::make_unique<ReachabilityController>();
    trace(QStringLiteral("reachability"));

    QPointer<AppDelegate> self(this);
    // With the settings lost, the connect under way may bring them back: the questions wait for it.
    settingsRecovery_->afterRecoveryDecided(frameworkController_ && frameworkController_->isConnecting(), [self] {
        if (!self) return;
        self->promptForCrashReportsController_->promptIfNeeded([self] {
            if (self) self->showOnboardingIfNeeded();
        });
    });
    trace(QStringLiteral("crashReportPrompt"));

    OVLOG_INFO(AppLog::appLifeCycle(), QStringLiteral("App did start"));
    trace(QStringLiteral("didStart"));
}

void AppDelegate::userChanged() {
    if (userController_->user()) {
        backupController_->scheduleAutomaticBackup();
        OrvellaSettingsManager* settings = settingsController_->settings();
        if (settings->isAlreadyLaunched() && settings->shouldBackupResumeOnStart()) {
            trace(QStringLiteral("resumeBackup"));
            backupController_->startBackup(BackupController::Completion([](const std::optional<AppError>& error) {
                if (error) presentBackupError(*error);
            }));
        }
    } else {
        backupController_->invalidateAutomaticBackupTimers();
    }
}

TerminateReply AppDelegate::applicationShouldTerminate() {
    if (!backupController_ || !backupController_->isRestoring()) return TerminateReply::now;
    // Answer "later" first; the question comes from the main queue.
    MainQueue::async([] {
        LocalizationController texts;
        const int response = Alert::runModal(texts.syAlertRestoreStillRunningMessage(),
                                             texts.syAlertRestoreStillRunningFromQuitInformative(),
                                             texts.syAlertButtonQuit(), texts.brButtonCancel());
        Application::shared().replyToApplicationShouldTerminate(response == Alert::FirstButtonReturn);
    });
    return TerminateReply::later;
}

void AppDelegate::applicationWillTerminate() {
    syncExtensionController_->disableExtension();
    OVLOG_INFO(AppLog::appLifeCycle(), QStringLiteral("App will terminate"));
}

void AppDelegate::showOnboardingIfNeeded() {
    if (!SettingsController().settings()->isAlreadyLaunched() && reachability_ && reachability_->isConnected())
        showOnboardingWindow();
}

void AppDelegate::showOnboardingWindow() {
    if (!reachability_ || !reachability_->isConnected()) {
        showNoConnectionAlert(nullptr);
        return;
    }
    userController_->setIsOnboarding(true);
    if (!onboardingWindowController_) {
        onboardingWindowController_ = std::make_unique<OnboardingWindowController>(this);
        onboardingWindowController_->userController = userController_.get();
        onboardingWindowController_->fileSystemMetadataController =
            std::make_shared<OVFileSystemMetadataController>(*userController_);
    }
    onboardingWindowController_->showWindow();
    if (userController_->user()) onboardingWindowController_->skipSignInIfOnWelcome();
    Application::shared().activate(true);
}

void AppDelegate::presentPreferencesGoneAlert() {
    if (!SettingsController().settings()->isAlreadyLaunched()) return;
    QPointer<AppDelegate> self(this);
    MainQueue::async([self] {
        LocalizationController texts;
        Alert alert;
        alert.setMessageText(texts.syAlertPreferencesGoneMessage());
        alert.setInformativeText(texts.syAlertPreferencesGoneInformative());
        alert.runModal();
        if (self) Application::shared().sendAction(AppAction::resetUserSession, self);
    });
}

void AppDelegate::presentSyncFolderNotOwnedAlert(const QString& path) {
    QPointer<AppDelegate> self(this);
    MainQueue::async([self, path] {
        LocalizationController texts;
        Alert alert;
        alert.setMessageText(texts.syAlertRootFolderOwnedByAnotherAccountMessage());
        alert.setInformativeText(path + QStringLiteral("\n\n") + texts.syAlertRootFolderOwnedByAnotherAccountInformative());
        alert.runModal();
        // Another folder is chosen in onboarding, which follows the sign-out.
        if (self) Application::shared().sendAction(AppAction::resetUserSession, self);
    });
}

void AppDelegate::presentSystemFolderDeletedAlert(const QString&) {
    // One test-and-set, so two reports arriving together show one alert.
    if (!isPresentingSystemFolderDeletedAlert_.testAndSet(false, true)) return;
    QPointer<AppDelegate> self(this);
    MainQueue::async([self] {
        LocalizationController texts;
        Alert alert;
        alert.setMessageText(texts.syAlertSystemFolderDeletedMessage());
        alert.setInformativeText(texts.syAlertSystemFolderDeletedInformative());
        alert.runModal();
        if (self) self->isPresentingSystemFolderDeletedAlert_.set(false);
    });
}

void AppDelegate::setMenuBarEnabled(bool enabled) {
    if (!menuBarExtrasController_) return;
    menuBarExtrasController_->setIsEnabled(enabled);
    if (StatusItem* item = menuBarExtrasController_->statusItem()) item->button()->setEnabled(enabled);
}

void AppDelegate::presentRootFolderMovedAlert() {
    if (!userController_->isLoggedIn()) return;
    QPointer<AppDelegate> self(this);
    MainQueue::async([self] {
        if (!self) return;
        LocalizationController texts;
        Alert alert;
        alert.setMessageText(texts.syAlertRootFolderMovedMessage());
        alert.setInformativeText(texts.syAlertRootFolderMovedInformative());
        alert.addButton(texts.syAlertButtonQuit()).setKeyEquivalent(QStringLiteral("\r"));
        alert.addButton(texts.syAlertButtonContinueSync()).setKeyEquivalent(QStringLiteral("\x1b"));
        Application::shared().activate(true);
        const int response = alert.runModal();
        if (!self) return;
        if (response == Alert::FirstButtonReturn) {
            self->setMenuBarEnabled(false);
            self->userController_->setIsLogoutInProgress(true);
            BusinessFacadeHolder::facade().logout(false, [self](VoidResult result) {
                // The facade answers on its own queue; the controllers and the quit belong on the main one.
                MainQueue::async([self, result] {
                    if (!self) return;
                    UserController::finishLogout(self->userController_.get(), result);
                    SettingsController().settings()->setIsAlreadyLaunched(false);
                    Application::shared().terminate();
                });
            });
        } else {
            self->syncController_->setUp();
            if (SyncFacade* sync = BusinessFacadeHolder::facade().syncFacade()) sync->triggerSync();
        }
    });
}

void AppDelegate::subscribeWholeRemoteTree() {
    if (SyncFacade* sync = BusinessFacadeHolder::facade().syncFacade())
        sync->setSubscriptions({SelectiveSyncItem{QStringLiteral("/"), true, QString()}});
}

void AppDelegate::onboardingWindowControllerDidFinishSignIn(OnboardingWindowController&, bool didFinish,
                                                           const std::optional<AppError>& error) {
    OVLOG_INFO(AppLog::gui(), QStringLiteral("Did user finish sign in during onboarding? ") +
                                  (didFinish ? QStringLiteral("true") : QStringLiteral("false")));
    if (error) {
        // The page never hands the password on, so it cannot reach the log.
        OVLOG_WARNING(AppLog::gui(), QStringLiteral("Sign-in failed: ") + error->textualDescription());
        handleSignInError(*error);
    }
    subscribeWholeRemoteTree();
    syncExtensionController_->disableExtension();
    settingsController_->removeBackupDefaults();
    // The cleared settings hold no status any more; observers hear of it even when nothing was stored.
    if (backupController_ && !backupController_->updateLatestBackupStatus())
        emit backupController_->latestBackupStatusChanged();
    userController_->update();
}

void AppDelegate::handleSignInError(const AppError& error) {
    const BusinessError* business = error.businessError();
    const bool wrapsApiError = error.errorCase() == AppError::Case::handledBusinessError && business &&
                               business->kind == BusinessError::Kind::api && business->apiError;
    if (wrapsApiError && *business->apiError == APIError::noLongerAuthorized) {
        if (onboardingWindowController_) {
            onboardingWindowController_->reloadCurrentPage();
            onboardingWindowController_->showFirstPage();
        }
        Workspace::openUrlText(LocalizationController().obBvNoLongerAuthorizedURL());
        return;
    }
    // An account that may not use the application: the reload clears the page's own message, so
    // the alert alone tells it.
    if (wrapsApiError && *business->apiError == APIError::notAuthorized) {
        if (onboardingWindowController_) onboardingWindowController_->reloadCurrentPage();
        presentError(error);
        return;
    }
    // Every other failure is already written on the sign-in page; a second, generic alert would
    // contradict it.
}

void AppDelegate::onboardingDidFinishFirstLaunch() {
    frameworkController_->connect();
    syncController_->setUp();
    subscribeWholeRemoteTree();
    syncExtensionController_->updateExtensionState(userController_->isLoggedIn());
}

void AppDelegate::onboardingWindowWillClose() {
    frameworkController_->connect();
    syncController_->setUp();
    // The choice made in the onboarding window's folder browser.
    StoreController::shared().selectiveSyncItems([](const std::vector<SelectiveSyncItem>& items) {
        if (SyncFacade* engine = BusinessFacadeHolder::facade().syncFacade()) engine->setSubscriptions(items);
    });
    syncExtensionController_->updateExtensionState(userController_->isLoggedIn());
}

void AppDelegate::resetUserSession() {
    setMenuBarEnabled(false);
    userController_->setIsLogoutInProgress(true);
    QPointer<AppDelegate> self(this);
    BusinessFacadeHolder::facade().logout(false, [self](VoidResult result) {
        MainQueue::async([self, result] {
            if (!self) return;
            UserController::finishLogout(self->userController_.get(), result, [self](bool) {
                if (!self) return;
                self->setMenuBarEnabled(true);
                if (self->userController_->isLoggedIn()) return;
                SettingsController().settings()->setIsAlreadyLaunched(false);
                if (self->onboardingWindowController_) self->onboardingWindowController_->showFirstPage();
                // Before launching has finished, the launch itself shows onboarding after the prompt;
                // its reachability watch does not exist yet, so showing here would claim no network.
                if (!Application::shared().isFinishedLaunching()) return;
                if (self->promptForCrashReportsController_->isShowingPrompt())
                    self->promptForCrashReportsController_->appendCompletion([self] {
                        if (self) self->showOnboardingWindow();
                    });
                else
                    self->showOnboardingWindow();
            });
        });
    });
}

void AppDelegate::handOver(const InstanceRequest& request) {
    if (request.command == InstanceRequest::Command::share) {
        shareItems(request.paths);
        return;
    }
    // Without a tray this is how a user reaches the commands again.
    if (menuBarExtrasController_ && menuBarExtrasController_->statusItem()->raiseWindowWithoutTray()) return;
    Application::shared().sendAction(
        userController_->isLoggedIn() ? AppAction::showPreferencesWindow : AppAction::showOnboardingWindow, this);
}

void AppDelegate::shareItems(const QStringList& paths) {
    LocalizationController texts;
    Alert alert;
    if (paths.size() != 1) {
        alert.setMessageText(texts.shItemAlertMultipleItemsMessage());
        alert.setInformativeText(texts.shItemAlertMultipleItemsInformative());
    } else if (const auto folder = syncFolderPath(); folder && SyncFolderPaths::isInside(paths.front(), *folder)) {
        showShareInfoWindow(paths.front());
        return;
    } else {
        alert.setMessageText(texts.shItemAlertOutsideSyncRootMessage());
        alert.setInformativeText(texts.shItemAlertOutsideSyncRootInformative());
    }
    alert.runModal();
}

void AppDelegate::showShareInfoWindow(const QString& path) {
    if (!makeSceneOnce(shareInfoWindowController_, ShareWindowController::storyboardName,
                       ShareInfoWindowController::storyboardIdentifier))
        return;
    shareInfoWindowController_->loadShare(path);
    // Activating raises the window that was active: this one goes on top of it afterwards.
    Application::shared().activate(true);
    shareInfoWindowController_->showWindow();
}
