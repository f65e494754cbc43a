#include "app/backup/BackupController.h"

#include <QDateTime>
#include <QTimer>

#include "app/common/LogChannels.h"
#include "app/core/C.h"
#include "app/core/SettingsController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"

BackupController::BackupController(QuotaController& quotaController, UserController& userController,
                                   OVBackupDependencyProvider dependencyProvider, bool, QObject* parent)
    : QObject(parent),
      quotaController_(quotaController),
      userController_(userController),
      dependencyProvider_(dependencyProvider) {}

BackupController::~BackupController() = default;

void BackupController::setIsRestoring(bool value) {
    if (isRestoring_ == value) return;
    isRestoring_ = value;
    emit isRestoringChanged();
}

void BackupController::startBackup(Completion completion) {
    emit backupRequested();
    // The backup engine arrives with backup and restore; until then a backup cannot run.
    OVLOG_WARNING(AppLog::backupRestore(), QStringLiteral("Backup is not available in this build"));
    if (completion) completion(QStringLiteral("Backup is not available in this build"));
}

void BackupController::scheduleAutomaticBackup() {
    invalidateAutomaticBackupTimers();
    auto* settings = SettingsController().settings();
    if (!settings->backupAutomatically()) return;
    const auto next = nextOccurrenceOfTimeOfDay(settings->nextBackupDate().value_or(QDateTime()));
    if (!next) return;
    firstAutomaticBackupTimer_ = new QTimer(this);
    firstAutomaticBackupTimer_->setSingleShot(true);
    const qint64 delay = qMax<qint64>(0, QDateTime::currentDateTime().msecsTo(*next));
    firstAutomaticBackupTimer_->start(static_cast<int>(qMin<qint64>(delay, 86400000)));
    connect(firstAutomaticBackupTimer_, &QTimer::timeout, this, [this] {
        startBackup({});
        automaticBackupTimer_ = new QTimer(this);
        connect(automaticBackupTimer_, &QTimer::timeout, this, [this] { startBackup({}); });
        automaticBackupTimer_->start(86400 * 1000);
    });
}

void BackupController::invalidateAutomaticBackupTimers() {
    delete firstAutomaticBackupTimer_;
    firstAutomaticBackupTimer_ = nullptr;
    delete automaticBackupTimer_;
    automaticBackupTimer_ = nullptr;
}
