#pragma once

#include <QObject>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>
#include <vector>

#include "app/backup/BackupModels.h"
#include "app/backup/BackupStatus.h"
#include "app/common/LocalizationController.h"
#include "app/core/AppError.h"
#include "app/core/ObjCQuota.h"
#include "app/core/QuotaController.h"
#include "app/core/ReachabilityController.h"
#include "frameworks/business/BackupFacade.h"

class QTimer;

class UserController;
class UserNotificationController;
class Cancelable;

Q_DECLARE_METATYPE(OVProgress)

struct OVBackupDependencyProvider {
    std::int64_t minimumDiskSpace = 0;
};

// Keeps the machine from idle sleep while it lives.
class ProcessActivity {
public:
    virtual ~ProcessActivity() = default;
};

// The error a backup or restore may end with besides the framework's and the quota's.
QString localizedDescription(BackupError error);
// The texts of an error for the user: none when the error has no description of its own.
std::optional<QString> localizedDescription(const AppError& error);

// The backup error an error stands for, if any: itself, insufficient local storage
// (notEnoughFreeSpace) or the API's insufficient storage (notEnoughQuota).
std::optional<BackupError> backupErrorFrom(const AppError& error);
// Whether a business error keeps its own identity when the disk is full: API errors, no
// connection, time-out, cancellation and an ended session.
bool isExemptFromDiskSpaceRelabelling(const BusinessError& error);
// An error that reaches the end of a backup becomes notEnoughFreeSpace when the backup's volume
// (`freeCapacity`, none counts as 0) is not above `minimumDiskSpace`, unless it is a backup error
// or an exempt business error.
AppError relabelledAsDiskSpaceProblem(const AppError& error, std::optional<qint64> freeCapacity, qint64 minimumDiskSpace);
// Whether the free quota lets a backup of `need` bytes go on: strictly more free than needed.
bool quotaSuffices(qint64 free, std::uint64_t need);
// Bytes available on the volume a backup writes to: that of the nearest existing folder of
// `destination` (the home folder when it is empty); none when it cannot be read.
std::optional<qint64> backupVolumeAvailableCapacity(const QString& destination);

// The one coordinator of backup and restore: starts a backup after its free-space and quota
// checks, previews it, runs it with progress and user notifications, cancels it, restores one
// backup, lists the account's backups and keeps the latest status in the settings.
//
// Main thread only. The backup service reports on its own queue; every report is handed to the
// main queue before it touches the controller, so observers always hear on the main thread.
class BackupController : public QObject, public ReachabilityControllerDelegate {
    Q_OBJECT
    Q_PROPERTY(QVariant progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(std::shared_ptr<ObjCBackupProgress> backupProgress READ backupProgress WRITE setBackupProgress NOTIFY backupProgressChanged)
    Q_PROPERTY(std::optional<OVProgress> previewProgress READ previewProgress WRITE setPreviewProgress NOTIFY previewProgressChanged)
    Q_PROPERTY(bool isInProgress READ isInProgress WRITE setIsInProgress NOTIFY isInProgressChanged)
    Q_PROPERTY(bool isBackingUp READ isBackingUp WRITE setIsBackingUp NOTIFY isBackingUpChanged)
    Q_PROPERTY(bool isCanceling READ isCanceling WRITE setIsCanceling NOTIFY isCancelingChanged)
    Q_PROPERTY(bool isPreparing READ isPreparing WRITE setIsPreparing NOTIFY isPreparingChanged)
    Q_PROPERTY(bool isRestoring READ isRestoring WRITE setIsRestoring NOTIFY isRestoringChanged)
    Q_PROPERTY(std::shared_ptr<ObjCBackupStatus> latestBackupStatus READ latestBackupStatus WRITE setLatestBackupStatus NOTIFY latestBackupStatusChanged)
    Q_PROPERTY(QuotaController* quotaController READ quotaController CONSTANT)
    Q_PROPERTY(bool isStartBackupAvailable READ isStartBackupAvailable NOTIFY isStartBackupAvailableChanged)

public:
    // Success is none.
    using Completion = std::function<void(const std::optional<AppError>&)>;
    // The same outcome as a log text.
    using TextCompletion = std::function<void(std::optional<QString>)>;
    using CapacitySource = std::function<std::optional<qint64>()>;
    using ActivitySource = std::function<std::unique_ptr<ProcessActivity>(const QString& reason)>;

    // With `installObservationsNow` false the daily-backup observations are set up on the next turn
    // of the main queue.
    BackupController(QuotaController& quotaController, UserController& userController,
                     OVBackupDependencyProvider dependencyProvider, bool installObservationsNow,
                     QObject* parent = nullptr);
    ~BackupController() override;

    QVariant progress() const;
    std::shared_ptr<ObjCBackupProgress> backupProgress() const { return backupProgress_; }
    void setBackupProgress(std::shared_ptr<ObjCBackupProgress> value);
    std::optional<OVProgress> previewProgress() const { return previewProgress_; }
    void setPreviewProgress(std::optional<OVProgress> value);
    bool isInProgress() const { return isInProgress_; }
    void setIsInProgress(bool value);
    bool isBackingUp() const { return isBackingUp_; }
    void setIsBackingUp(bool value);
    bool isCanceling() const { return isCanceling_; }
    void setIsCanceling(bool value);
    bool isPreparing() const { return isPreparing_; }
    void setIsPreparing(bool value);
    bool isRestoring() const { return isRestoring_; }
    void setIsRestoring(bool value);
    bool hasActivity() const { return activity_ != nullptr; }

    // The stored latest status of the signed-in account; none when absent, undecodable, recorded
    // for another account, or while nobody is signed in. Setting none (or a record that cannot be
    // encoded) clears it; a record set is the signed-in account's.
    std::shared_ptr<ObjCBackupStatus> latestBackupStatus() const;
    void setLatestBackupStatus(const std::shared_ptr<ObjCBackupStatus>& status);
    // The account backups are made for: the signed-in user's; none while signed out.
    std::optional<QString> accountId() const;
    // Whether a backup can be started now, the one rule every "Back Up Now" follows: an account
    // is signed in and not signing out, the service can be reached, nothing is backed up or
    // restored, and the backup is set up (a name and at least one category).
    bool isStartBackupAvailable() const { return isStartBackupAvailable_; }
    QuotaController* quotaController() const { return &quotaController_; }
    const OVBackupDependencyProvider& dependencyProvider() const { return dependencyProvider_; }

    // Starts a backup; the completion hears the outcome once, on the main thread. A start while a
    // backup runs joins it and hears its outcome; a start while a restore runs is refused with
    // BackupError::restoreInProgress. The outcome is kept as the latest status of the account
    // signed in at the start, of none when nobody was.
    void startBackup(Completion completion);
    void startBackup(TextCompletion completion);
    // Cancels a running preparation, backup or restore; nothing while idle.
    Q_INVOKABLE void cancel();
    Q_INVOKABLE void cancelIfBackingUp();
    // Restores the chosen categories of a backup; the completion hears the outcome on the main
    // thread. Without a backup service or with nothing chosen the error is presented instead.
    void restore(const BackupObject& backup, const OVBackupAndRestoreOptions& options, Completion completion);
    // The account's backups, this platform's first, duplicates dropped; empty on any failure.
    void availableBackups(std::function<void(std::vector<std::shared_ptr<ObjCBackupObject>>)> completion);
    // Turns a stored legacy date into the latest status; whether there was one.
    bool updateLatestBackupStatus();

    // The daily backup: a one-shot timer to the next occurrence of the time of day of
    // `nextBackupDate`, then a timer every 24 hours; nothing while `backupAutomatically` is off.
    void rescheduleTimers();
    Q_INVOKABLE void launchAutomaticDailyBackgroundBackupService() { rescheduleTimers(); }
    Q_INVOKABLE void stopAutomaticDailyBackgroundBackupService();
    void scheduleAutomaticBackup() { rescheduleTimers(); }
    void invalidateAutomaticBackupTimers() { stopAutomaticDailyBackgroundBackupService(); }
    QTimer* firstAutomaticBackupTimer() const { return firstAutomaticBackupTimer_; }
    QTimer* automaticBackupTimer() const { return automaticBackupTimer_; }
    bool hasObservations() const { return bool(backupAutomaticallyObservation_); }

    void reachabilityChanged(ReachabilityController& controller, bool isConnected) override;
    ReachabilityController& reachability() const { return *reachability_; }

    // Tests replace where free space, process activities and the backup service come from.
    void setCapacitySourceForTesting(CapacitySource source) { capacitySource_ = std::move(source); }
    void setActivitySourceForTesting(ActivitySource source) { activitySource_ = std::move(source); }
    UserNotificationController& notificationController() const { return *notificationController_; }

public slots:
    // The machine goes to sleep: no timer fires meanwhile and a running backup is cancelled.
    void workspaceWillSleep();
    // Back from sleep: a missed backup is not made up, the schedule moves to the next occurrence.
    void workspaceDidWake();

signals:
    void progressChanged();
    void backupProgressChanged();
    void previewProgressChanged();
    void isInProgressChanged();
    void isBackingUpChanged();
    void isCancelingChanged();
    void isPreparingChanged();
    void isRestoringChanged();
    void latestBackupStatusChanged();
    void isStartBackupAvailableChanged();
    // Another account (or none) is signed in: what is shown of backups belongs to it now.
    void accountChanged();
    void backupRequested();

private:
    BackupFacade* backupFacade() const;
    qint64 freeCapacity() const;
    void beginActivity();
    void endActivity();
    std::optional<BackupSettings> backupSettings() const;
    void preview(const std::optional<BackupSettings>& settings, Completion completion);
    void previewDidFinish(BusinessResult<BackupPreview> result, Completion completion);
    void quotaDidArrive(const BackupPreview& preview, const std::variant<std::shared_ptr<ObjCQuota>, AppError>& result,
                        Completion completion);
    void backUp(const BackupPreview& preview, Completion completion);
    void backupDidFinish(std::optional<AppError> error, const Completion& completion);
    void deliver(const QString& title, const QString& text);
    void installObservations();
    void accountMayHaveChanged();
    void updateStartBackupAvailability();
    void storeLatestBackupStatus(const std::shared_ptr<ObjCBackupStatus>& status, const std::optional<QString>& account);
    Q_SLOT void prepareForSleep(bool sleeping);

    QuotaController& quotaController_;
    UserController& userController_;
    OVBackupDependencyProvider dependencyProvider_;
    LocalizationController localizationController_;
    std::unique_ptr<ReachabilityController> reachability_;
    std::unique_ptr<UserNotificationController> notificationController_;
    CapacitySource capacitySource_;
    ActivitySource activitySource_;
    std::unique_ptr<ProcessActivity> activity_;
    std::shared_ptr<Cancelable> updateQuotaRequest_;
    // The completion of the backup waiting on the quota, for a cancel that drops that request.
    Completion quotaWaitingCompletion_;
    // Starts that joined the running backup; they hear its outcome.
    std::vector<Completion> joinedCompletions_;
    // Each backup gets the next number, so a late answer of an ended run is told apart.
    std::uint64_t run_ = 0;
    bool runCancelled_ = false;
    bool awaitingQuota_ = false;
    // Whose backup the current run is; its outcome is recorded for that account only.
    std::optional<QString> runAccount_;
    // The account last seen, to tell a change of account from other user changes.
    std::optional<QString> account_;
    bool isStartBackupAvailable_ = false;
    std::recursive_mutex startMutex_;

    std::shared_ptr<ObjCBackupProgress> backupProgress_;
    std::optional<OVProgress> previewProgress_;
    bool isInProgress_ = false;
    bool isBackingUp_ = false;
    bool isCanceling_ = false;
    bool isPreparing_ = false;
    bool isRestoring_ = false;

    QMetaObject::Connection backupAutomaticallyObservation_;
    QMetaObject::Connection isLogoutInProgressObservation_;
    QTimer* firstAutomaticBackupTimer_ = nullptr;
    QTimer* automaticBackupTimer_ = nullptr;
};
