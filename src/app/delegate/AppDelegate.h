#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "app/shell/onboarding/OnboardingWindowController.h"
#include "app/sync/SyncControllerDelegate.h"
#include "frameworks/common/ThreadSafe.h"
#include "frameworks/logger/Logger.h"
#include "platform/appkit/Application.h"
#include "platform/instance/InstanceRequest.h"

class AppServer;
class BackupController;
class BusinessFrameworkController;
class CommServer;
class PreferencesWindowController;
class ConnectionDoctorWindowController;
class BackupRestoreWindowController;
class FeaturesController;
class LocalizationController;
class MenuBarExtrasController;
class PromptForCrashReportsController;
class QuotaController;
class ReachabilityController;
class SettingsController;
class SettingsRecovery;
class ShareInfoWindowController;
class ShareWindowController;
class SparkleUpdaterController;
class SyncController;
class SyncExtensionController;
class UserController;

// Builds and owns every long-lived controller, starts logging, the login item, the message ports,
// crash reporting and the reachability watch, and guards quitting while a restore runs.
class AppDelegate : public QObject,
                    public ApplicationDelegate,
                    public SyncControllerDelegate,
                    public OnboardingWindowControllerDelegate {
    Q_OBJECT

public:
    // The platform services the launch calls into; tests record them instead.
    struct Environment {
        // Told the name of each initializer and launch step as it runs.
        std::function<void(const QString& step)> trace;
        std::function<bool(const QString& appGroup, const Logger::FileConfiguration&)> addFileLogger;
        std::function<bool(const QString& bundleIdentifier, bool enabled)> setLoginItemEnabled;
        std::function<void(const QString& secret, bool crashReportingEnabled, bool logUploadEnabled)>
            startCrashReporting;
        std::function<void(bool enabled)> setCrashServiceEnabled;
        // The offer to move the installation into ~/Applications; none: no offer.
        std::function<void()> deployIfNeeded;
        // The title of the window that holds the tray menu while the desktop has no tray; empty:
        // no such window.
        QString windowWithoutTrayTitle;
    };
    static Environment defaultEnvironment();

    explicit AppDelegate(Environment environment = defaultEnvironment(), QObject* parent = nullptr);
    ~AppDelegate() override;

    // ApplicationDelegate
    void applicationDidFinishLaunching() override;
    TerminateReply applicationShouldTerminate() override;
    void applicationWillTerminate() override;

    // SyncControllerDelegate: entered from any thread.
    void presentPreferencesGoneAlert() override;
    void presentSystemFolderDeletedAlert(const QString& path) override;
    void presentRootFolderMovedAlert() override;
    void presentSyncFolderNotOwnedAlert(const QString& path) override;

    void showOnboardingIfNeeded();
    void showOnboardingWindow();

    // OnboardingWindowControllerDelegate
    void onboardingWindowControllerDidFinishSignIn(OnboardingWindowController& controller, bool didFinish,
                                                  const std::optional<AppError>& error) override;
    void onboardingDidFinishFirstLaunch() override;
    void onboardingWindowWillClose() override;
    // Signs the user out and, when nobody remains, shows onboarding again.
    void resetUserSession();
    // After the user confirms: back to the factory state, then quit.
    void resetToFactorySettings();
    // Made on first use and kept; handed the controllers each time it is shown.
    void showPreferencesWindow(bool selectBackupTab);
    // Made on first use and kept, with the sync controller handed to its content each time.
    void showConnectionDoctor();
    // The first page again, and the window closed.
    void closeOnboardingWindow();
    void showBackups();
    void closeBackupWindow();
    void showSharedItems();
    void closeShareWindow();

    // A later start of the application handed its request over: come to the front, or share.
    void handOver(const InstanceRequest& request);
    // Files to share from the file manager: exactly one, inside the sync folder; else an alert.
    void shareItems(const QStringList& paths);

    SyncController* syncController() const { return syncController_.get(); }
    void setSyncController(std::unique_ptr<SyncController> controller);
    CommServer* commServer() const { return commServer_.get(); }
    UserController& userController() const { return *userController_; }
    BackupController* backupController() const { return backupController_.get(); }
    MenuBarExtrasController* menuBarExtrasController() const { return menuBarExtrasController_.get(); }
    ReachabilityController* reachability() const { return reachability_.get(); }
    OnboardingWindowController* onboardingWindowController() const { return onboardingWindowController_.get(); }
    SparkleUpdaterController& sparkleController() const { return *sparkleController_; }
    PromptForCrashReportsController& promptForCrashReportsController() const {
        return *promptForCrashReportsController_;
    }
    SettingsRecovery& settingsRecovery() const { return *settingsRecovery_; }
    const std::optional<QString>& syncDataDirectoryURL() const { return syncDataDirectoryURL_; }
    bool isPresentingSystemFolderDeletedAlert() const { return isPresentingSystemFolderDeletedAlert_.value(); }

    // The log-file configuration the launch hands to the logging framework.
    static Logger::FileConfiguration fileLogConfiguration();
    // "<application support>/<AppBundleIdentifier>/SyncData".
    static std::optional<QString> makeSyncDataDirectoryURL();

private:
    // Where the one-item share window opens for a file of the sync folder.
    void showShareInfoWindow(const QString& path);
    void trace(const QString& step) const;
    void registerActions();
    void unregisterActions();
    void handleSignInError(const AppError& error);
    void subscribeWholeRemoteTree();
    void userChanged();
    void setMenuBarEnabled(bool enabled);

    Environment environment_;
    std::unique_ptr<MenuBarExtrasController> menuBarExtrasController_;
    std::unique_ptr<OnboardingWindowController> onboardingWindowController_;
    std::unique_ptr<ConnectionDoctorWindowController> connectionDoctorWindowController_;
    std::unique_ptr<PreferencesWindowController> preferencesWindowController_;
    std::unique_ptr<ShareWindowController> shareWindowController_;
    std::unique_ptr<ShareInfoWindowController> shareInfoWindowController_;
    std::unique_ptr<BackupRestoreWindowController> backupRestoreWindowController_;
    std::unique_ptr<LocalizationController> localizationController_;
    // Made before the framework controller, whose first connect may answer at once.
    std::unique_ptr<SettingsRecovery> settingsRecovery_;
    std::unique_ptr<BusinessFrameworkController> frameworkController_;
    std::unique_ptr<SyncController> syncController_;
    SyncExtensionController* syncExtensionController_ = nullptr;
    std::unique_ptr<UserController> userController_;
    std::unique_ptr<ReachabilityController> reachability_;
    std::unique_ptr<BackupController> backupController_;
    std::unique_ptr<FeaturesController> featuresController_;
    std::unique_ptr<QuotaController> quotaController_;
    std::unique_ptr<SettingsController> settingsController_;
    std::unique_ptr<PromptForCrashReportsController> promptForCrashReportsController_;
    std::unique_ptr<SparkleUpdaterController> sparkleController_;
    QMetaObject::Connection scheduledBackupObservation_;
    QMetaObject::Connection userConsentObservation_;
    std::unique_ptr<AppServer> appServer_;
    std::unique_ptr<CommServer> commServer_;
    ThreadSafe<bool> isPresentingSystemFolderDeletedAlert_{false};
    std::optional<QString> syncDataDirectoryURL_;
    std::unique_ptr<ReachabilityController> syncReachability_;
};
