#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class BackupController;
class FeaturesController;
class QMenu;
class StatusItem;
class SyncController;
class UserController;

// The tray item and its menus.
class MenuBarExtrasController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEnabled READ isEnabled WRITE setIsEnabled NOTIFY isEnabledChanged)

public:
    explicit MenuBarExtrasController(QObject* parent = nullptr);
    ~MenuBarExtrasController() override;

    BackupController* backupController = nullptr;
    FeaturesController* featuresController = nullptr;
    UserController* userController = nullptr;
    SyncController* syncController = nullptr;

    // Puts the status item in place (once).
    void loadView();
    bool isViewLoaded() const { return statusItem_ != nullptr; }
    StatusItem* statusItem() const { return statusItem_.get(); }

    bool isEnabled() const { return isEnabled_; }
    void setIsEnabled(bool value);

signals:
    void isEnabledChanged();

private:
    std::unique_ptr<StatusItem> statusItem_;
    std::unique_ptr<QMenu> menu_;
    bool isEnabled_ = true;
};

// Registers the scene under which the main storyboard makes this controller.
void registerMenuBarExtrasScene();
