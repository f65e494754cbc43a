#include "app/backup/BackupController.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <map>
#include <thread>
#include <utility>
#include <unistd.h>

#include "app/common/LogChannels.h"
#include "app/core/BusinessErrorTexts.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/C.h"
#include "app/core/QuotaController.h"
#include "app/core/SettingsController.h"
#include "app/core/UserController.h"
#include "app/core/UserNotificationController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/foundation/MainQueue.h"

namespace {

const QString activityReason = QStringLiteral("Backup / Restore in progress");

// A logind "idle:sleep" inhibitor lock, taken off the main thread; the lock is the file
// descriptor, released when closed.
class LogindInhibitor final : public ProcessActivity {
public:
    explicit LogindInhibitor(const QString& reason) : state_(std::make_shared<State>()) {
        std::thread([state = state_, reason] {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
            call << QStringLiteral("idle:sleep") << QStringLiteral("Orvella") << reason << QStringLiteral("block");
            const QDBusReply<QDBusUnixFileDescriptor> reply = QDBusConnection::systemBus().call(call, QDBus::Block, 5000);
            const int fd = reply.isValid() && reply.value().isValid() ? ::dup(reply.value().fileDescriptor()) : -1;
            if (fd < 0) return;
            std::lock_guard lock(state->mutex);
            if (state->ended) ::close(fd);
            else state->fd = fd;
        }).detach();
    }
    ~LogindInhibitor() override {
        std::lock_guard lock(state_->mutex);
        state_->ended = true;
        if (state_->fd >= 0) ::close(state_->fd);
        state_->fd = -1;
    }

private:
    struct State {
        std::mutex mutex;
        int fd = -1;
        bool ended = false;
    };
    std::shared_ptr<State> state_;
};

BusinessError unfulfilled(const QString& message) {
    return BusinessError::make(BusinessError::Kind::unfulfilledRequirement, message);
}

bool isCancellation(const AppError& error) {
    const BusinessError* business = error.businessError();
    return business && business->kind == BusinessError::Kind::cancelled;
}

}  // namespace

// ---- errors

QString localizedDescription(BackupError error) {
    LocalizationController texts;
    switch (error) {
    case BackupError::notEnoughQuota: return texts.syAlertBackupQuotaViolationInformative();
    case BackupError::notEnoughFreeSpace: return texts.brAlertNotEnoughSpaceToBackupInformative();
    case BackupError::restoreInProgress: return texts.brAlertBackupWaitsForRestoreInformative();
    }
    return {};
}

std::optional<QString> localizedDescription(const AppError& error) {
    if (const auto* backup = error.backupError()) return localizedDescription(*backup);
    if (error.restoreError()) return LocalizationController().syAlertRestoreIncompleteMessage();
    if (const auto* business = error.businessError()) {
        const QString text = errorDescription(*business);
        if (!text.isEmpty()) return text;
    }
    return std::nullopt;
}

std::optional<BackupError> backupErrorFrom(const AppError& error) {
    if (const auto* backup = error.backupError()) return *backup;
    if (const auto* business = error.businessError()) {
        if (business->kind == BusinessError::Kind::api && business->apiError == APIError::insufficientStorage)
            return BackupError::notEnoughQuota;
        if (business->kind == BusinessError::Kind::insufficientLocalStorage) return BackupError::notEnoughFreeSpace;
    }
    OVLOG_INFO(AppLog::backupRestore(), QStringLiteral("Received unhandled error case ") + error.textualDescription());
    return std::nullopt;
}

bool isExemptFromDiskSpaceRelabelling(const BusinessError& error) {
    using Kind = BusinessError::Kind;
    switch (error.kind) {
    case Kind::api:
    case Kind::noConnection:
    case Kind::timeout:
    case Kind::cancelled:
    case Kind::invalidSession: return true;
    default: return false;
    }
}

AppError relabelledAsDiskSpaceProblem(const AppError& error, std::optional<qint64> freeCapacity, qint64 minimumDiskSpace) {
    if (error.backupError()) return error;
    if (const auto* business = error.businessError(); business && isExemptFromDiskSpaceRelabelling(*business)) return error;
    if (freeCapacity.value_or(0) > minimumDiskSpace) return error;
    return AppError(BackupError::notEnoughFreeSpace);
}

bool quotaSuffices(qint64 free, std::uint64_t need) {
    if (free < 0 || (free == 0 && need == 0)) return false;
    return need < std::uint64_t(free);
}

std::optional<qint64> backupVolumeAvailableCapacity(const QString& destination) {
    // The destination is made by the first backup; until then its parent's volume is the one it
    // will be made on.
    QFileInfo folder(destination.isEmpty() ? QDir::homePath() : destination);
    while (!folder.exists() && !folder.isRoot()) {
        const QString parent = folder.absolutePath();
        if (parent == folder.absoluteFilePath()) break;
        folder = QFileInfo(parent);
    }
    return volumeAvailableCapacity(folder.absoluteFilePath());
}

// ---- life

BackupController::BackupController(QuotaController& quotaController, UserController& userController,
                                   OVBackupDependencyProvider dependencyProvider, bool installObservationsNow,
                                   QObject* parent)
    : QObject(parent),
      quotaController_(quotaController),
      userController_(userController),
      dependencyProvider_(dependencyProvider),
      reachability_(std::make_unique<ReachabilityController>()),
      notificationController_(std::make_unique<UserNotificationController>(NotificationCenter::current())),
      capacitySource_([this] {
          auto* facade = backupFacade();
          return backupVolumeAvailableCapacity(facade ? facade->destinationFolder() : QString());
      }),
      activitySource_([](const QString& reason) { return std::make_unique<LogindInhibitor>(reason); }) {
    (void)updateLatestBackupStatus();
    // logind announces sleep and wake on the system bus; without one there is nothing to follow.
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() ||
        !bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                     QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                     SLOT(prepareForSleep(bool))))
        OVLOG_DEBUG(AppLog::backupRestore(), QStringLiteral("Sleep and wake are not reported on this system."));
    reachability_->setDelegate(this);
    // What the start rule and the shown status depend on; every change looks at them again.
    for (const auto signal : {&UserController::userChanged, &UserController::isLoggedInChanged,
                              &UserController::isLogoutInProgressChanged})
        connect(&userController_, signal, this, &BackupController::accountMayHaveChanged);
    connect(reachability_.get(), &ReachabilityController::isConnectedChanged, this,
            &BackupController::updateStartBackupAvailability);
    connect(SettingsController().settings(), &OrvellaSettingsManager::changed, this,
            &BackupController::updateStartBackupAvailability);
    accountMayHaveChanged();
    if (installObservationsNow) {
        installObservations();
    } else {
        QPointer<BackupController> self(this);
        MainQueue::async([self] {
            if (self) self->installObservations();
        });
    }
}

void BackupController::installObservations() {
    if (backupAutomaticallyObservation_) return;
    backupAutomaticallyObservation_ = connect(SettingsController().settings(), &OrvellaSettingsManager::backupAutomaticallyChanged,
                                              this, &BackupController::rescheduleTimers);
    isLogoutInProgressObservation_ = connect(&userController_, &UserController::isLogoutInProgressChanged, this, [this] {
        if (userController_.isLogoutInProgress()) cancel();
    });
}

std::optional<QString> BackupController::accountId() const {
    const auto user = userController_.user();
    if (!user) return std::nullopt;
    return user->accountId();
}

void BackupController::accountMayHaveChanged() {
    const auto account = accountId();
    if (account != account_) {
        account_ = account;
        auto* settings = SettingsController().settings();
        // A record kept from before records named their account belongs to the first account
        // that signs in; from then on no other account is shown it.
        if (account && settings->latestBackupStatus() && !settings->latestBackupStatusAccountId())
            settings->setLatestBackupStatusAccountId(account);
        emit latestBackupStatusChanged();
        emit accountChanged();
    }
    updateStartBackupAvailability();
}

void BackupController::updateStartBackupAvailability() {
    const SettingsController settings;
    const auto name = settings.settings()->backupName();
    const bool available = account_ && userController_.isLoggedIn() && !userController_.isLogoutInProgress() &&
                           reachability_->isConnected() && !isInProgress_ && !isRestoring_ && name &&
                           !name->isEmpty() && settings.isStartBackupAllowed();
    if (available == isStartBackupAvailable_) return;
    isStartBackupAvailable_ = available;
    emit isStartBackupAvailableChanged();
}

void BackupController::prepareForSleep(bool sleeping) {
    if (sleeping) workspaceWillSleep();
    else workspaceDidWake();
}

void BackupController::workspaceWillSleep() {
    stopAutomaticDailyBackgroundBackupService();
    cancelIfBackingUp();
}

void BackupController::workspaceDidWake() { launchAutomaticDailyBackgroundBackupService(); }

BackupController::~BackupController() {
    reachability_->setDelegate(nullptr);
    if (updateQuotaRequest_) updateQuotaRequest_->cancel();
}

// ---- observable state

QVariant BackupController::progress() const {
    if (backupProgress_) return QVariant::fromValue(backupProgress_);
    if (previewProgress_) return QVariant::fromValue(*previewProgress_);
    return {};
}

void BackupController::setBackupProgress(std::shared_ptr<ObjCBackupProgress> value) {
    backupProgress_ = std::move(value);
    emit backupProgressChanged();
    emit progressChanged();
}

void BackupController::setPreviewProgress(std::optional<OVProgress> value) {
    previewProgress_ = value;
    emit previewProgressChanged();
    emit progressChanged();
}

void BackupController::setIsInProgress(bool value) {
    if (isInProgress_ == value) return;
    isInProgress_ = value;
    emit isInProgressChanged();
    updateStartBackupAvailability();
}

void BackupController::setIsBackingUp(bool value) {
    const bool changed = isBackingUp_ != value;
    isBackingUp_ = value;
    if (changed) emit isBackingUpChanged();
    if (!value && backupProgress_) setBackupProgress(nullptr);
}

void BackupController::setIsCanceling(bool value) {
    if (isCanceling_ == value) return;
    isCanceling_ = value;
    emit isCancelingChanged();
}

void BackupController::setIsPreparing(bool value) {
    const bool changed = isPreparing_ != value;
    isPreparing_ = value;
    if (changed) emit isPreparingChanged();
    if (!value && previewProgress_) setPreviewProgress(std::nullopt);
}

void BackupController::setIsRestoring(bool value) {
    const bool changed = isRestoring_ != value;
    isRestoring_ = value;
    if (changed) emit isRestoringChanged();
    if (!value && backupProgress_) setBackupProgress(nullptr);
    updateStartBackupAvailability();
}

std::shared_ptr<ObjCBackupStatus> BackupController::latestBackupStatus() const {
    const auto account = accountId();
    if (!account) return nullptr;
    auto* settings = SettingsController().settings();
    const auto owner = settings->latestBackupStatusAccountId();
    if (owner && *owner != *account) return nullptr;
    const auto data = settings->latestBackupStatus();
    if (!data) return nullptr;
    return ObjCBackupStatus::fromJsonData(*data);
}

void BackupController::setLatestBackupStatus(const std::shared_ptr<ObjCBackupStatus>& status) {
    storeLatestBackupStatus(status, accountId());
}

void BackupController::storeLatestBackupStatus(const std::shared_ptr<ObjCBackupStatus>& status,
                                               const std::optional<QString>& account) {
    auto* settings = SettingsController().settings();
    const std::optional<QByteArray> data = status ? std::optional(status->backupStatus().encoded()) : std::nullopt;
    // The owner goes first, so that whoever hears of the record reads it with its owner.
    settings->setLatestBackupStatusAccountId(data ? account : std::nullopt);
    settings->setLatestBackupStatus(data);
    emit latestBackupStatusChanged();
}

bool BackupController::updateLatestBackupStatus() {
    auto* settings = SettingsController().settings();
    const auto legacy = settings->latestBackupDate();
    if (!legacy) return false;
    // The platform's distant past (year 1 in the legacy store) stood for a failed backup.
    const bool failed = !legacy->isValid() || legacy->date().year() <= 1;
    setLatestBackupStatus(std::make_shared<ObjCBackupStatus>(failed ? BackupStatus::failed() : BackupStatus::succeeded(*legacy)));
    settings->setLatestBackupDate(std::nullopt);
    return true;
}

// ---- helpers

BackupFacade* BackupController::backupFacade() const { return BusinessFacadeHolder::facade().backupFacade(); }

qint64 BackupController::freeCapacity() const { return capacitySource_ ? capacitySource_().value_or(0) : 0; }

void BackupController::beginActivity() {
    if (!activity_ && activitySource_) activity_ = activitySource_(activityReason);
}

void BackupController::endActivity() { activity_.reset(); }

void BackupController::deliver(const QString& title, const QString& text) {
    notificationController_->deliverNotification(title, text);
}

std::optional<BackupSettings> BackupController::backupSettings() const {
    auto* settings = SettingsController().settings();
    const auto name = settings->backupName();
    if (!name) {
        OVLOG_INFO(AppLog::backupRestore(), QStringLiteral("No backup name found. Aborting backup."));
        return std::nullopt;
    }
    const OVBackupAndRestoreOptions options{settings->backupContacts(), settings->backupCalendars(),
                                            settings->backupVideos(), settings->backupImages()};
    auto* facade = backupFacade();
    if (!facade) return std::nullopt;
    return facade->backupSettings(*name, options, settings->backupKeepDeletedItems());
}

// ---- backing up

void BackupController::startBackup(TextCompletion completion) {
    startBackup(Completion([completion = std::move(completion)](const std::optional<AppError>& error) {
        if (completion) completion(error ? std::optional<QString>(error->textualDescription()) : std::nullopt);
    }));
}

void BackupController::startBackup(Completion completion) {
    std::lock_guard lock(startMutex_);
    emit backupRequested();
    if (isInProgress_) {
        OVLOG_INFO(AppLog::backupRestore(), QStringLiteral("A backup is already running; the new start waits for its end."));
        joinedCompletions_.push_back(std::move(completion));
        return;
    }
    if (isRestoring_) {
        OVLOG_INFO(AppLog::backupRestore(), QStringLiteral("A restore is running; the backup does not start."));
        if (completion) completion(AppError(BackupError::restoreInProgress));
        return;
    }
    runAccount_ = accountId();
    if (dependencyProvider_.minimumDiskSpace >= freeCapacity()) {
        backupDidFinish(AppError(BackupError::notEnoughFreeSpace), completion);
        return;
    }
    ++run_;
    runCancelled_ = false;
    awaitingQuota_ = false;
    setIsInProgress(true);
    setIsBackingUp(true);
    setIsPreparing(true);
    SettingsController().settings()->setShouldBackupResumeOnStart(true);
    beginActivity();
    preview(backupSettings(), std::move(completion));
}

void BackupController::preview(const std::optional<BackupSettings>& settings, Completion completion) {
    auto* facade = backupFacade();
    if (!facade || !settings) {
        previewDidFinish(unfulfilled(QStringLiteral("Can't find backup facade or backup settings")), std::move(completion));
        return;
    }
    deliver(localizationController_.unBackupPreviewTitle(), localizationController_.unBackupPreviewInformative());
    setPreviewProgress(OVProgress{});
    QPointer<BackupController> self(this);
    facade->preview(
        *settings,
        [self](const OVProgress& progress) {
            MainQueue::async([self, progress] {
                if (self && self->isPreparing_) self->setPreviewProgress(progress);
            });
        },
        [self, run = run_, completion = std::move(completion)](BusinessResult<BackupPreview> result) {
            if (result.isSuccess())
                OVLOG_DEBUG(AppLog::backupRestore(), QStringLiteral("Received preview from framework."));
            else
                OVLOG_INFO(AppLog::backupRestore(), QStringLiteral("Backup preview could not be created. ") +
                                                        textualDescription(result.error()));
            MainQueue::async([self, run, result = std::move(result), completion] {
                if (self && self->run_ == run && self->isInProgress_) self->previewDidFinish(result, completion);
            });
        });
}

void BackupController::previewDidFinish(BusinessResult<BackupPreview> result, Completion completion) {
    if (!result.isSuccess()) {
        setIsPreparing(false);
        backupDidFinish(AppError(result.error()), completion);
        return;
    }
    // Cancelled while the preview was under way: the service will not be asked again.
    if (runCancelled_) {
        backupDidFinish(AppError(BusinessError::make(BusinessError::Kind::cancelled)), completion);
        return;
    }
    const BackupPreview preview = result.value();
    quotaWaitingCompletion_ = completion;
    awaitingQuota_ = true;
    const std::uint64_t run = run_;
    QPointer<BackupController> self(this);
    // The quota may answer at once, or join another caller's request and come back without a
    // handle; a cancel in between ends the run, and this answer then belongs to no one.
    auto request = quotaController_.updateQuota(false, [self, run, preview, completion](const QuotaResult& quota) {
        if (self && self->run_ == run && self->awaitingQuota_) self->quotaDidArrive(preview, quota, completion);
    });
    if (awaitingQuota_ && run_ == run) updateQuotaRequest_ = std::move(request);
}

void BackupController::quotaDidArrive(const BackupPreview& preview, const QuotaResult& result, Completion completion) {
    setIsPreparing(false);
    updateQuotaRequest_.reset();
    quotaWaitingCompletion_ = nullptr;
    awaitingQuota_ = false;
    if (const auto* error = std::get_if<AppError>(&result)) {
        backupDidFinish(*error, completion);
        return;
    }
    const auto& quota = std::get<std::shared_ptr<ObjCQuota>>(result);
    const qint64 free = quota ? quota->free() : 0;
    if (!quotaSuffices(free, preview.sizes.overall())) {
        backupDidFinish(AppError(BackupError::notEnoughQuota), completion);
        return;
    }
    backUp(preview, std::move(completion));
}

void BackupController::backUp(const BackupPreview& preview, Completion completion) {
    if (runCancelled_) {
        backupDidFinish(AppError(BusinessError::make(BusinessError::Kind::cancelled)), completion);
        return;
    }
    auto* facade = backupFacade();
    if (!facade) {
        OVLOG_ERROR(AppLog::framework(), QStringLiteral("Can't find backup facade"));
        backupDidFinish(AppError(unfulfilled(QStringLiteral("Can't find backup facade"))), completion);
        return;
    }
    deliver(localizationController_.unBackupStartedTitle(), localizationController_.unBackupStartedInformative());
    if (preview.itemCounts.overall() != 0)
        setBackupProgress(ObjCBackupProgress::starting(preview.itemCounts.overall(), preview.sizes.overall()));
    QPointer<BackupController> self(this);
    facade->backUp(
        preview,
        [self](const BackupProgress& progress) {
            OVLOG_DEBUG(AppLog::backupRestore(), QStringLiteral("Backup progress: %1 of %2.").arg(progress.processedSize).arg(progress.size));
            MainQueue::async([self, progress] {
                // A report that arrives after a cancel must not bring the progress back.
                if (self && self->isBackingUp_) self->setBackupProgress(std::make_shared<ObjCBackupProgress>(progress));
            });
        },
        [self, completion = std::move(completion)](BusinessResult<BackupProcessReport> result) {
            std::optional<AppError> error;
            if (result.isSuccess()) {
                OVLOG_DEBUG(AppLog::backupRestore(), QStringLiteral("Backup successfully finished."));
            } else {
                OVLOG_DEBUG(AppLog::backupRestore(), QStringLiteral("Backup could not be created. ") + textualDescription(result.error()));
                error = AppError(result.error());
            }
            MainQueue::async([self, error, completion] {
                if (self) self->backupDidFinish(error, completion);
            });
        });
}

void BackupController::backupDidFinish(std::optional<AppError> error, const Completion& completion) {
    setIsBackingUp(false);
    setIsInProgress(false);
    setIsCanceling(false);
    auto* settings = SettingsController().settings();
    settings->setShouldBackupResumeOnStart(false);
    endActivity();
    // Observers of the next date (its texts) hear of it again; the date itself stays.
    const auto next = settings->nextBackupDate();
    settings->setNextBackupDate(QDateTime::currentDateTime());
    settings->setNextBackupDate(next);

    const std::vector<Completion> joined = std::exchange(joinedCompletions_, {});
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // The outcome is the account's that started the run; once another account is signed in it
    // is no longer this one's to see, and a run nobody was signed in for is nobody's.
    const std::optional<QString> runAccount = std::exchange(runAccount_, std::nullopt);
    const auto record = [this, &runAccount](const BackupStatus& status) {
        const auto current = accountId();
        if (!runAccount || (current && current != runAccount)) return;
        storeLatestBackupStatus(std::make_shared<ObjCBackupStatus>(status), runAccount);
    };
    std::optional<AppError> answer;
    if (!error) {
        record(BackupStatus::succeeded(now));
        deliver(localizationController_.unBackupFinishedTitle(), localizationController_.unBackupFinishedInformative());
    } else {
        const AppError relabelled = relabelledAsDiskSpaceProblem(
            *error, capacitySource_ ? capacitySource_() : std::nullopt, dependencyProvider_.minimumDiskSpace);
        if (isCancellation(relabelled)) {
            record(BackupStatus::skipped());
            deliver(localizationController_.unBackupCancelledTitle(), localizationController_.unBackupCancelledInformative());
        } else {
            OVLOG_WARNING(AppLog::backupRestore(), QStringLiteral("Backup failed with error ") + relabelled.textualDescription() + u'.');
            record(BackupStatus::failedAt(now));
            deliver(localizationController_.unBackupErrorTitle(),
                    localizedDescription(relabelled).value_or(localizationController_.erBusGenericDescription()));
        }
        const auto backupError = backupErrorFrom(relabelled);
        answer = backupError ? AppError(*backupError) : relabelled;
    }
    if (completion) completion(answer);
    for (const auto& other : joined)
        if (other) other(answer);
}

// ---- cancel

void BackupController::cancel() {
    if (!isPreparing_ && !isBackingUp_ && !isRestoring_) return;
    if (isInProgress_) runCancelled_ = true;
    setIsPreparing(false);
    setIsBackingUp(false);
    setIsRestoring(false);
    setIsCanceling(true);
    if (awaitingQuota_) {
        // The backup ends here: a cancelled quota request never answers, and one this backup only
        // joined (no handle) answers later to a run that is over.
        awaitingQuota_ = false;
        if (updateQuotaRequest_) updateQuotaRequest_->cancel();
        updateQuotaRequest_.reset();
        Completion completion = std::move(quotaWaitingCompletion_);
        quotaWaitingCompletion_ = nullptr;
        backupDidFinish(AppError(BusinessError::make(BusinessError::Kind::cancelled)), completion);
    } else if (auto* facade = backupFacade()) {
        facade->cancel();
    }
}

void BackupController::cancelIfBackingUp() {
    if (isInProgress_ || isBackingUp_) cancel();
}

void BackupController::reachabilityChanged(ReachabilityController&, bool isConnected) {
    QPointer<BackupController> self(this);
    MainQueue::runOrAsync([self, isConnected] {
        if (self && !isConnected && (self->isInProgress_ || self->isBackingUp_)) self->cancel();
    });
}

// ---- restore

void BackupController::restore(const BackupObject& backup, const OVBackupAndRestoreOptions& options, Completion completion) {
    std::lock_guard lock(startMutex_);
    auto* facade = backupFacade();
    const auto settings = facade ? facade->restoreSettings(options) : std::nullopt;
    if (!facade || !settings) {
        presentError(AppError(unfulfilled(QStringLiteral("Can't find backup facade or restore settings"))));
        return;
    }
    setIsRestoring(true);
    beginActivity();
    QPointer<BackupController> self(this);
    facade->restore(
        backup, *settings,
        [self](const BackupProgress& progress) {
            MainQueue::async([self, progress] {
                if (self && self->isRestoring_) self->setBackupProgress(std::make_shared<ObjCBackupProgress>(progress));
            });
        },
        [self, completion = std::move(completion)](BusinessResult<BackupProcessReport> result) {
            MainQueue::async([self, result = std::move(result), completion] {
                if (self) {
                    self->setIsRestoring(false);
                    self->endActivity();
                    // Every end of a restore ends its cancelling, whatever the service answered.
                    self->setIsCanceling(false);
                }
                if (!completion) return;
                if (!result.isSuccess()) completion(AppError(result.error()));
                else if (result.value().isComplete) completion(std::nullopt);
                else completion(AppError(RestoreError::incompleteRestore));
            });
        });
}

// ---- list

void BackupController::availableBackups(std::function<void(std::vector<std::shared_ptr<ObjCBackupObject>>)> completion) {
    auto* facade = backupFacade();
    if (!facade) {
        OVLOG_ERROR(AppLog::backupRestore(), QStringLiteral("Can't find backup facade"));
        if (completion) completion({});
        return;
    }
    QPointer<BackupController> self(this);
    facade->list([self, completion = std::move(completion)](BusinessResult<std::vector<BackupObject>> result) {
        MainQueue::async([self, result = std::move(result), completion] {
            if (!completion) return;
            if (!result.isSuccess() || !self) return completion({});
            const auto& records = result.value();
            OVLOG_INFO(AppLog::backupRestore(), QString::number(records.size()) + QStringLiteral(" backup(s) in total."));
            const auto latest = self->latestBackupStatus();
            std::map<QString, bool> seen;
            std::vector<std::shared_ptr<ObjCBackupObject>> first, second;
            for (const auto& record : records) {
                if (!seen.emplace(uniqueKey(record), true).second) continue;
                auto object = std::make_shared<ObjCBackupObject>(record);
                // An unfinished run of this machine shows how the latest backup ended only when that
                // ended badly; a success belongs to a finished run, never to an interrupted one.
                if (!object->isCompleted() && object->isFromCurrentDevice() && latest) {
                    switch (latest->backupStatus().statusCase()) {
                    case BackupStatus::Case::skipped:
                        object->setStatus(std::make_shared<ObjCBackupStatus>(BackupStatus::skippedAt(record.modificationDate)));
                        break;
                    case BackupStatus::Case::skippedAt:
                    case BackupStatus::Case::failed:
                    case BackupStatus::Case::failedAt: object->setStatus(latest); break;
                    case BackupStatus::Case::succeeded: break;
                    }
                }
                (record.operatingSystem == OperatingSystem::linux ? first : second).push_back(object);
            }
            OVLOG_DEBUG(AppLog::backupRestore(), QString::number(first.size() + second.size()) + QStringLiteral(" unique backup(s)."));
            first.insert(first.end(), second.begin(), second.end());
            completion(first);
        });
    });
}

// ---- automatic backup

void BackupController::rescheduleTimers() {
    stopAutomaticDailyBackgroundBackupService();
    auto* settings = SettingsController().settings();
    const auto date = settings->nextBackupDate();
    if (!date) return;
    const auto next = nextOccurrenceOfTimeOfDay(*date);
    if (!next || !settings->backupAutomatically()) return;
    const auto logOnly = [](const std::optional<AppError>& error) {
        OVLOG_DEBUG(AppLog::backupRestore(), QStringLiteral("Scheduled backup finished with result: ") +
                                                 (error ? error->textualDescription() : QStringLiteral("success")));
    };
    firstAutomaticBackupTimer_ = new QTimer(this);
    firstAutomaticBackupTimer_->setSingleShot(true);
    const qint64 delay = std::clamp<qint64>(QDateTime::currentDateTime().msecsTo(*next), 0, 86400000);
    connect(firstAutomaticBackupTimer_, &QTimer::timeout, this, [this, logOnly] {
        automaticBackupTimer_ = new QTimer(this);
        connect(automaticBackupTimer_, &QTimer::timeout, this, [this, logOnly] { startBackup(Completion(logOnly)); });
        automaticBackupTimer_->start(86400 * 1000);
        startBackup(Completion(logOnly));
    });
    firstAutomaticBackupTimer_->start(int(delay));
}

void BackupController::stopAutomaticDailyBackgroundBackupService() {
    delete firstAutomaticBackupTimer_;
    firstAutomaticBackupTimer_ = nullptr;
    delete automaticBackupTimer_;
    automaticBackupTimer_ = nullptr;
}
