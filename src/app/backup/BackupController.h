#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QTimer;
class QuotaController;
class UserController;

struct OVBackupDependencyProvider {
    std::int64_t minimumDiskSpace = 0;
};

// Backs up and restores the user's contacts, calendars, photos and videos.
class BackupController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRestoring READ isRestoring NOTIFY isRestoringChanged)

public:
    BackupController(QuotaController& quotaController, UserController& userController,
                     OVBackupDependencyProvider dependencyProvider, bool observesSettings, QObject* parent = nullptr);
    ~BackupController() override;

    bool isRestoring() const { return isRestoring_; }
    void setIsRestoring(bool value);

    // The outcome of a backup: empty on success, else the error's text.
    using Completion = std::function<void(std::optional<QString> error)>;
    void startBackup(Completion completion);
    // Sets the one-shot timer to the next backup date when automatic backup is on.
    void scheduleAutomaticBackup();
    QTimer* firstAutomaticBackupTimer() const { return firstAutomaticBackupTimer_; }
    QTimer* automaticBackupTimer() const { return automaticBackupTimer_; }
    void invalidateAutomaticBackupTimers();
    const OVBackupDependencyProvider& dependencyProvider() const { return dependencyProvider_; }

signals:
    void isRestoringChanged();
    void backupRequested();

private:
    QuotaController& quotaController_;
    UserController& userController_;
    OVBackupDependencyProvider dependencyProvider_;
    QTimer* firstAutomaticBackupTimer_ = nullptr;
    QTimer* automaticBackupTimer_ = nullptr;
    bool isRestoring_ = false;
};
