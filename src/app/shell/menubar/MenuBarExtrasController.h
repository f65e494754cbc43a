#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include <memory>
#include <optional>

#include "app/core/ReachabilityController.h"

class AppError;
class BackupController;
class DebugMenu;
class FeaturesController;
class ObjCQuota;
class QAction;
class QMenu;
class QuotaController;
class SettingsController;
class StatusItem;
class SyncController;
class UserController;

// The tray item and its menus: offline until the user state is first known, then signed in or
// signed out, and between the two the setting-up menu while a signed-in user has not finished
// onboarding. It shows the sync controller's status image, a tooltip and a few informational
// lines kept current by observing the other controllers; its command items send the application's
// actions. Main thread; reports from other threads are handed to it first.
class MenuBarExtrasController : public QObject, public ReachabilityControllerDelegate {
    Q_OBJECT
    Q_PROPERTY(bool isEnabled READ isEnabled WRITE setIsEnabled NOTIFY isEnabledChanged)
    Q_PROPERTY(bool hasSyncErrors READ hasSyncErrors NOTIFY hasSyncErrorsChanged)
    Q_PROPERTY(bool isDebugUIHidden READ isDebugUIHidden CONSTANT)

public:
    explicit MenuBarExtrasController(QObject* parent = nullptr);
    ~MenuBarExtrasController() override;

    // Handed over by the application delegate before loadView(); not owned.
    BackupController* backupController = nullptr;
    FeaturesController* featuresController = nullptr;
    UserController* userController = nullptr;
    SyncController* syncController = nullptr;

    // Builds the menus, binds the status image and starts observing (once).
    void loadView();
    bool isViewLoaded() const { return viewLoaded_; }
    StatusItem* statusItem() const { return statusItem_.get(); }

    // Every assignment sets whether the tray item takes clicks.
    bool isEnabled() const { return isEnabled_; }
    void setIsEnabled(bool value);
    bool hasSyncErrors() const { return hasSyncErrors_; }
    bool isDebugUIHidden() const { return true; }
    const std::shared_ptr<ObjCQuota>& quota() const { return quota_; }

    QMenu* menuSignedIn() const { return menuSignedIn_.get(); }
    QMenu* menuSignedOut() const { return menuSignedOut_.get(); }
    QMenu* menuOffline() const { return menuOffline_.get(); }
    QMenu* menuSettingUp() const { return menuSettingUp_.get(); }
    DebugMenu* debugMenu() const { return debugMenu_; }
    QAction* signedOutMenuItem() const { return signedOutMenuItem_; }
    QAction* syncStatusMenuItem() const { return syncStatusMenuItem_; }
    QAction* quotaMenuItem() const { return quotaMenuItem_; }
    QAction* backupStatusFirstMenuItem() const { return backupStatusFirstMenuItem_; }
    QAction* backupStatusSecondMenuItem() const { return backupStatusSecondMenuItem_; }
    QAction* backupStatusRunningMenuItem() const { return backupStatusRunningMenuItem_; }
    QAction* restoreStatusMenuItem() const { return restoreStatusMenuItem_; }
    QAction* syncErrorInfo() const { return syncErrorInfo_; }
    QAction* toggleSyncMenuItem() const { return toggleSyncMenuItem_; }

    // Own instances unless replaced (tests); the quota controller is the menu's cache.
    QuotaController& quotaController() const { return *quotaController_; }
    void setQuotaController(std::unique_ptr<QuotaController> controller);
    ReachabilityController& reachability() const { return *reachability_; }

    // The menu is about to open: refreshes the lines of the signed-in menu.
    void menuWillOpen(QMenu* menu);
    // The check-for-updates item.
    void checkForUpdates(QObject* sender);
    // Whether the error carries the service's refusal of the user's authorization.
    static bool isUnauthorized(const AppError& error);

    void reachabilityChanged(ReachabilityController& controller, bool isConnected) override;

signals:
    void isEnabledChanged();
    void hasSyncErrorsChanged();
    void quotaChanged();

private:
    void buildMenus();
    QAction* addCommand(QMenu& menu, const QString& title, const QString& actionName);
    QAction* addLine(QMenu& menu);
    void setMenu(QMenu* menu);
    void setStatusImageName(const QString& name);
    void setTooltip(const QString& text);
    void setQuota(std::shared_ptr<ObjCQuota> quota);

    void userStateChanged();
    void availabilityChanged();
    void showSignedOut();
    void updateQuota(bool fromMenu);
    void handleUnauthorized();
    void updateBackupLines();
    void updateRunningBackupLine();
    void updateRestoreLine();
    void updateBackupCommands();
    void updateTooltip();
    void updateSyncStatusImage();
    void updateSyncCommands();
    void updateSyncErrors();
    void applySyncErrorCount(int count);

    std::unique_ptr<StatusItem> statusItem_;
    std::unique_ptr<ReachabilityController> reachability_;
    std::unique_ptr<QuotaController> quotaController_;
    std::unique_ptr<SettingsController> settings_;
    std::unique_ptr<QMenu> menuSignedIn_;
    std::unique_ptr<QMenu> menuSignedOut_;
    std::unique_ptr<QMenu> menuOffline_;
    std::unique_ptr<QMenu> menuSettingUp_;
    DebugMenu* debugMenu_ = nullptr;
    QAction* signedOutMenuItem_ = nullptr;
    QAction* syncStatusMenuItem_ = nullptr;
    QAction* quotaMenuItem_ = nullptr;
    QAction* backupStatusFirstMenuItem_ = nullptr;
    QAction* backupStatusSecondMenuItem_ = nullptr;
    QAction* backupStatusRunningMenuItem_ = nullptr;
    QAction* restoreStatusMenuItem_ = nullptr;
    QAction* syncErrorSeparatorMenuItem_ = nullptr;
    QAction* syncErrorInfo_ = nullptr;
    QAction* toggleSyncMenuItem_ = nullptr;
    QAction* backupsMenuItem_ = nullptr;
    QAction* backUpNowMenuItem_ = nullptr;
    QAction* skipBackupMenuItem_ = nullptr;
    QAction* backupSeparator_ = nullptr;
    bool viewLoaded_ = false;
    // The button starts enabled; the flag says so from the start.
    bool isEnabled_ = true;
    bool hasSyncErrors_ = false;
    bool showingUnauthorizedAlert_ = false;
    std::shared_ptr<ObjCQuota> quota_;
    // The sync-error list is read here, never on the main thread; waited for on destruction.
    QThreadPool errorReader_;
};

// Registers the scene under which the main storyboard makes this controller.
void registerMenuBarExtrasScene();
