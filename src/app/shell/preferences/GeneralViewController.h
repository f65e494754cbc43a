#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

#include "app/backup/BackupController.h"
#include "app/common/LocalizationController.h"
#include "app/core/ObjCQuota.h"
#include "app/core/ReachabilityController.h"
#include "app/core/UserController.h"
#include "app/shell/preferences/PreferencesPane.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QuotaController;
class SyncExtensionController;

// The general tab: the account with its storage, the version, start at login, the file manager's
// badges, the links, and the button that signs in or out (asking first while a restore runs).
// Main thread only; quota answers and reachability reports are brought to it.
class GeneralViewController : public PreferencesPane, public ReachabilityControllerDelegate {
    Q_OBJECT
    Q_PROPERTY(UserController* userController READ userController WRITE setUserController NOTIFY userControllerChanged)
    Q_PROPERTY(QString applicationVersion READ applicationVersion CONSTANT)
    // A std::shared_ptr<ObjCQuota>, or invalid while there is none.
    Q_PROPERTY(QVariant quota READ quotaValue NOTIFY quotaChanged)
    Q_PROPERTY(bool isLogoutInProgress READ isLogoutInProgress NOTIFY isLogoutInProgressChanged)
    Q_PROPERTY(ReachabilityController* reachability READ reachability CONSTANT)

public:
    // What the pane reaches outside the application; tests put fakes here.
    struct Environment {
        // Registers or unregisters the launch helper, by its bundle identifier, as login item.
        std::function<bool(const QString& bundleIdentifier, bool enabled)> setLoginItemEnabled;
        // SyncExtensionController::updateExtensionState of the process's controller.
        std::function<void(bool enabled)> updateExtensionState;
        // The acknowledgements page; none when there is none.
        std::function<std::optional<QUrl>()> acknowledgementsURL;

        static Environment standard();
    };

    explicit GeneralViewController(QObject* parent = nullptr);
    explicit GeneralViewController(Environment environment, QObject* parent = nullptr);
    ~GeneralViewController() override;

    UserController* userController() const { return userController_; }
    void setUserController(UserController* controller);
    BackupController* backupController() const { return backupController_; }
    void setBackupController(BackupController* controller) { backupController_ = controller; }
    QuotaController* quotaController() const { return quotaController_; }
    ReachabilityController* reachability() const { return reachability_.get(); }

    QString applicationVersion() const { return applicationVersion_; }
    const std::shared_ptr<ObjCQuota>& quota() const { return quota_; }
    QVariant quotaValue() const;
    void setQuota(std::shared_ptr<ObjCQuota> quota);
    bool isLogoutInProgress() const { return isLogoutInProgress_; }

    void viewWillAppear() override;
    void reachabilityChanged(ReachabilityController& controller, bool isConnected) override;
    void updateQuota();

    Q_INVOKABLE void toggleUserAccount(QObject* sender);
    Q_INVOKABLE void toggleOpenAutomaticallyOnLogin(QObject* sender);
    Q_INVOKABLE void toggleShowBadgesInFinder(QObject* sender);
    Q_INVOKABLE void openPrivacy(QObject* sender);
    Q_INVOKABLE void openLegal(QObject* sender);
    Q_INVOKABLE void openHelp(QObject* sender);
    Q_INVOKABLE void openAcknowledgments(QObject* sender);
    void signOut();

    // The views, once loaded.
    QGridLayout* gridView() const { return gridView_; }
    QWidget* accountSeparatorCell() const { return accountSeparatorCell_; }
    QWidget* storageIndicatorCell() const { return storageIndicatorCell_; }
    QWidget* storageSeparatorCell() const { return storageSeparatorCell_; }
    QWidget* startAutomaticallyAtLoginCell() const { return startAutomaticallyAtLoginCell_; }
    QLabel* accountLabel() const { return accountLabel_; }
    QPushButton* accountButton() const { return accountButton_; }
    QLabel* quotaLabel() const { return quotaLabel_; }
    QLabel* serverLabel() const { return serverLabel_; }
    QProgressBar* storageIndicator() const { return storageIndicator_; }
    QCheckBox* startAtLoginCheckBox() const { return startAtLoginCheckBox_; }
    QCheckBox* badgesCheckBox() const { return badgesCheckBox_; }
    QLabel* versionLabel() const { return versionLabel_; }

signals:
    void userControllerChanged();
    void quotaChanged();
    void isLogoutInProgressChanged();

protected:
    QWidget* loadView() override;
    void viewDidLoad() override;

private:
    void setIsLogoutInProgress(bool value);
    void applyFinderBadgeState();
    QWidget* alertWindow() const;
    void refreshAccount();
    void refreshQuota();
    void refreshSettings();

    Environment environment_;
    const LocalizationController localizationController_;
    QuotaController* quotaController_;
    QPointer<BackupController> backupController_;
    QPointer<UserController> userController_;
    QMetaObject::Connection observation_;
    QMetaObject::Connection userDisplayObservation_;
    QMetaObject::Connection logoutDisplayObservation_;
    const QString applicationVersion_;
    std::shared_ptr<ObjCQuota> quota_;
    bool isLogoutInProgress_ = false;
    std::unique_ptr<ReachabilityController> reachability_;

    QGridLayout* gridView_ = nullptr;
    QWidget* accountSeparatorCell_ = nullptr;
    QWidget* storageIndicatorCell_ = nullptr;
    QWidget* storageSeparatorCell_ = nullptr;
    QWidget* startAutomaticallyAtLoginCell_ = nullptr;
    QLabel* accountLabel_ = nullptr;
    QPushButton* accountButton_ = nullptr;
    QLabel* quotaLabel_ = nullptr;
    QLabel* serverLabel_ = nullptr;
    QProgressBar* storageIndicator_ = nullptr;
    QCheckBox* startAtLoginCheckBox_ = nullptr;
    QCheckBox* badgesCheckBox_ = nullptr;
    QLabel* versionLabel_ = nullptr;
};
