#pragma once

#include <QObject>
#include <QPointer>

class CommServer;
class QuotaController;
class ReachabilityController;
class SyncControllerDelegate;
class UserController;

// Drives the sync engine for the main application.
class SyncController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isSyncEnabled READ isSyncEnabled NOTIFY isSyncEnabledChanged)

public:
    SyncController(CommServer* commServer, QuotaController& quotaController, UserController& userController,
                   ReachabilityController& reachabilityController, QObject* parent = nullptr);

    void setDelegate(SyncControllerDelegate* delegate) { delegate_ = delegate; }
    SyncControllerDelegate* delegate() const { return delegate_; }

    bool isSyncEnabled() const { return isSyncEnabled_; }
    // Configures and starts the engine once the application has been set up; counts its runs.
    void setUp();
    int setUpCount() const { return setUpCount_; }

signals:
    void isSyncEnabledChanged();

private:
    CommServer* commServer_;
    QuotaController& quotaController_;
    UserController& userController_;
    ReachabilityController& reachabilityController_;
    SyncControllerDelegate* delegate_ = nullptr;
    bool isSyncEnabled_ = false;
    int setUpCount_ = 0;
};
