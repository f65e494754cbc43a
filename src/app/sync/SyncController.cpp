#include "app/sync/SyncController.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <exception>
#include <utility>

#include <sys/statvfs.h>

#include "app/common/AppActions.h"
#include "app/common/LogChannels.h"
#include "app/config/Api.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/OVPathResolver.h"
#include "app/core/ReachabilityController.h"
#include "app/core/SettingsController.h"
#include "app/core/SyncFolderPaths.h"
#include "app/core/UserController.h"
#include "app/sync/CommServer.h"
#include "app/sync/FinderSidebarController.h"
#include "app/sync/FolderIcon.h"
#include "app/sync/IgnoreRules.h"
#include "app/sync/ObjCSyncError.h"
#include "app/sync/ObjCSyncQueueCount.h"
#include "app/sync/SyncControllerDelegate.h"
#include "app/sync/SyncErrorTexts.h"
#include "app/sync/SyncExtensionController.h"
#include "app/sync/SyncStatusImages.h"
#include "frameworks/business/BusinessFacade.h"
#include "frameworks/sync/SyncFacade.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Workspace.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/notifications/NotificationCenter.h"

namespace {

SyncFacade* engineFacade() { return BusinessFacadeHolder::facade().syncFacade(); }

bool isAlreadyLaunched() { return SettingsController().settings()->isAlreadyLaunched(); }

// A URL the configuration can use: absolute, with a scheme and a host.
std::optional<QUrl> configurationURL(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) return std::nullopt;
    return url;
}

std::optional<QString> userNameOf(const UserController& controller) {
    if (const auto user = controller.user()) return user->name();
    return std::nullopt;
}

SyncController::Services withDefaults(SyncController::Services services) {
    const SyncController::Services defaults = SyncController::defaultServices();
    if (!services.syncFolderPath) services.syncFolderPath = defaults.syncFolderPath;
    if (!services.updateFinderSidebar) services.updateFinderSidebar = defaults.updateFinderSidebar;
    if (!services.startLocalChangesObserver) services.startLocalChangesObserver = defaults.startLocalChangesObserver;
    if (!services.setFolderIcon) services.setFolderIcon = defaults.setFolderIcon;
    if (!services.freeDiskSpace) services.freeDiskSpace = defaults.freeDiskSpace;
    return services;
}

}  // namespace

SyncController::SyncController(CommServer* commServer, QuotaController& quotaController,
                               UserController& userController, ReachabilityController& reachabilityController,
                               QObject* parent)
    : SyncController(commServer, quotaController, userController, reachabilityController, defaultServices(),
                     parent) {}

SyncController::SyncController(CommServer* commServer, QuotaController& quotaController,
                               UserController& userController, ReachabilityController& reachabilityController,
                               Services services, QObject* parent)
    : QObject(parent),
      services_(withDefaults(std::move(services))),
      syncStatusImage_(SyncStatusImages::icon(SyncStatusImages::statusBarOffline)),
      syncStatusImageName_(SyncStatusImages::statusBarOffline),
      queueCount_(new ObjCSyncQueueCount(this)),
      syncStatusDescription_(LocalizationController().mbMenuItemSyncStatusDisconnected()),
      commServer_(commServer),
      pathResolver_(OVPathResolver::shared()),
      fileSystemMetadataController_(userController),
      quotaController_(quotaController),
      userController_(userController),
      reachabilityController_(reachabilityController),
      notificationController_(std::make_unique<UserNotificationController>(NotificationCenter::current())),
      userName_(userNameOf(userController)),
      pushQueue_(std::make_unique<SerialQueue>(QStringLiteral("SyncController.extensionPushes"))) {
    diskSpaceTimer_ = new QTimer(this);
    diskSpaceTimer_->setInterval(std::max(1, services_.diskSpaceCheckIntervalMs));
    connect(diskSpaceTimer_, &QTimer::timeout, this, [this] { checkDiskSpace(); });
    if (!services_.createAccountInfoFile) {
        services_.createAccountInfoFile = [this](const QString& path) {
            fileSystemMetadataController_.createAccountInfoFile(path);
        };
    }
    notificationController_->setDelegate(this);
    notificationController_->startDispatchTimer();
    // The desktop's theme change reaches the application as a change of its palette.
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
    observation_ = connect(&userController_, &UserController::userChanged, this, [this] { userDidChange(); });
    // A status held back is shown as soon as what held it back is over, not only at the next
    // sign-in: the network returning, or the user becoming available after onboarding.
    connect(&reachabilityController_, &ReachabilityController::isConnectedChanged, this,
            [this] { presentCachedSyncStatus(); });
    for (auto signal : {&UserController::isAvailableChanged, &UserController::isLoggedInChanged,
                        &UserController::isOnboardingChanged})
        connect(&userController_, signal, this, [this] { presentCachedSyncStatus(); });
}

SyncController::~SyncController() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
    disconnect(observation_);
    // A look at the disk still under way finishes here; its answer finds the controller gone.
    diskSpaceTimer_->stop();
    diskSpaceQueue_.reset();
    if (localChangesListener_) localChangesListener_->stop();
    localChangesListener_.reset();
    // The engine reports to this controller from its own threads: it stops before the controller goes.
    BusinessFacadeHolder::facade().tearDownSync(this);
    // Every push already handed over is still sent, while the server is certainly alive.
    pushQueue_.reset();
    notificationController_->setDelegate(nullptr);
}

// MARK: - Set-up and control

void SyncController::setUp() {
    ++setUpCount_;
    // A new set-up starts the engine afresh: whatever paused the old one is over.
    noteSyncChoice();
    const auto presentPreferencesGone = [this] {
        if (delegate_) delegate_->presentPreferencesGoneAlert();
    };

    if (!isAlreadyLaunched()) return presentPreferencesGone();
    const std::unique_ptr<ApiProtocol> api = configuration(Api::orvella);
    const std::optional<QUrl> apiBaseURL = configurationURL(api->apiBaseURL());
    const std::optional<QUrl> chunkSizeURL = configurationURL(api->endPointChunkSize().absoluteURL());
    if (!apiBaseURL || !chunkSizeURL) return presentPreferencesGone();
    const std::optional<QString> path = services_.syncFolderPath();
    if (!path) return presentPreferencesGone();
    // Before the engine sees the folder: syncing another account's folder would upload its files
    // into this account and delete there what this one lacks.
    if (!claimSyncFolder(*path)) return;

    SyncFacadeConfiguration configuration;
    configuration.websocketBaseURL = *apiBaseURL;
    configuration.rootDirectoryLocalURL = *path;
    configuration.syncStatusDelegate = this;
    configuration.conflictSuffix = localizationController_.ssFileSuffixConflict();
    configuration.chunkSizeURL = *chunkSizeURL;
    configuration.minimumFreeDiskSpace = minimumFreeDiskSpace;
    configuredSyncFolder_ = *path;
    configuredMinimumFreeDiskSpace_ = configuration.minimumFreeDiskSpace;
    // The error report and the factory reset find the engine's state there.
    configuration.dataDirectoryLocalURL = syncDataDirectoryPath().value_or(QString());

    BusinessFacade& facade = BusinessFacadeHolder::facade();
    // The old observer feeds the old engine, which the set-up replaces: it must stop first.
    if (localChangesListener_) {
        localChangesListener_->stop();
        localChangesListener_.reset();
    }
    try {
        facade.setUpSync(SyncFacadeImplementation::standard, configuration);
        setIsSyncEnabled(true);
        OVLOG_DEBUG(AppLog::setup(), QStringLiteral("Setup sync framework completed with configuration: ") +
                                         describe(configuration));
    } catch (const std::exception& error) {
        setIsSyncEnabled(false);
        OVLOG_ERROR(AppLog::setup(), QStringLiteral("Could not setup sync framework with configuration: ") +
                                         describe(configuration) + QStringLiteral(". Error: ") +
                                         QString::fromUtf8(error.what()));
    }

    OVLOG_DEBUG(AppLog::setup(), QStringLiteral("Setting up local changes listener with root path: \"") + *path +
                                     QStringLiteral("\"."));
    SyncFacade* engine = facade.syncFacade();
    if (!engine) {
        OVLOG_ERROR(AppLog::setup(), QStringLiteral("Error: The sync facade is nil."));
        setIsSyncEnabled(false);
        return;
    }

    if (const std::optional<QString> error = prepareRootFolder(*path)) {
        OVLOG_ERROR(AppLog::setup(), QStringLiteral("Failed creating the root folder. Error: ") + *error);
        return presentPreferencesGone();
    }

    LocalChangesListener& listener = engine->localChangesListener();
    if (localChangesListener_) {
        localChangesListener_->stop();
        localChangesListener_.reset();
    }
    localChangesListener_ = services_.startLocalChangesObserver(*path, listener, *this);
}

bool SyncController::claimSyncFolder(const QString& path) {
    // A folder yet to be made is made and marked for this account below, and something that is no
    // folder fails there; without a user the engine refuses to start anyway.
    if (!QFileInfo(path).isDir()) return true;
    const auto claim = fileSystemMetadataController_.claimSyncFolder(path);
    if (!claim.isSuccess() || claim.value() == OVSyncFolderClaim::usable) return true;
    OVLOG_ERROR(AppLog::setup(),
                (claim.value() == OVSyncFolderClaim::otherAccount
                     ? QStringLiteral("The folder \"%1\" belongs to another account; it is not synced.")
                     : QStringLiteral("The account marker of \"%1\" is damaged and the folder cannot be shown to "
                                      "belong to this account; it is not synced."))
                    .arg(path));
    if (localChangesListener_) {
        localChangesListener_->stop();
        localChangesListener_.reset();
    }
    // An engine from an earlier set-up would go on syncing the folder now found to be foreign.
    BusinessFacadeHolder::facade().tearDownSync(this);
    setIsSyncEnabled(false);
    if (delegate_) delegate_->presentSyncFolderNotOwnedAlert(path);
    return false;
}

std::optional<QString> SyncController::prepareRootFolder(const QString& path) {
    if (!QFileInfo::exists(path)) {
        if (!QDir().mkpath(path)) return QStringLiteral("Cannot create the folder at ") + path;
        if (QString error = OVFileSystemMetadataController::makeItemOwnerExclusive(path); !error.isEmpty())
            return error;
    }
    services_.updateFinderSidebar(path);
    // The sidebar entry shows the folder's own icon, so the folder gets ours with it.
    services_.setFolderIcon(path, SyncStatusImages::finderSyncRootIcon);
    pushToExtensions([path](CommServer& server) { server.sendUpdatedRootDirectoryToExtensions(path); });
    services_.createAccountInfoFile(path);
    return std::nullopt;
}

void SyncController::pauseSync() {
    noteSyncChoice();
    SyncFacade* engine = engineFacade();
    setIsSyncEnabled(false);
    if (engine) engine->setSyncEnabled(isSyncEnabled_);
}

void SyncController::toggleSync() {
    noteSyncChoice();
    SyncFacade* engine = engineFacade();
    if (!engine) return setIsSyncEnabled(false);
    setIsSyncEnabled(!isSyncEnabled_);
    engine->setSyncEnabled(isSyncEnabled_);
}

void SyncController::setSubscriptions(const std::vector<SelectiveSyncItem>& items) {
    if (SyncFacade* engine = engineFacade()) engine->setSubscriptions(items);
}

std::optional<std::vector<std::shared_ptr<ObjCSyncError>>> SyncController::syncErrors() const {
    SyncFacade* engine = engineFacade();
    if (!engine) return std::nullopt;
    std::vector<std::shared_ptr<ObjCSyncError>> rows;
    for (const SyncErrorInfo& info : engine->syncErrors()) rows.push_back(std::make_shared<ObjCSyncError>(info));
    return rows;
}

void SyncController::rootFolderRemoved() {
    // The folder's watch reports from its own queue; the state it changes belongs to the main thread.
    QPointer<SyncController> self(this);
    MainQueue::runOrAsync([self] {
        if (!self) return;
        self->pauseSync();
        if (self->delegate_) self->delegate_->presentRootFolderMovedAlert();
    });
}

void SyncController::userDidChange() {
    {
        std::lock_guard lock(userNameMutex_);
        userName_ = userNameOf(userController_);
    }
    replayCachedSyncStatus();
}

void SyncController::replayCachedSyncStatus() {
    if (!userController_.user() || !isAlreadyLaunched()) return;
    if (SyncFacade* engine = engineFacade()) engine->triggerSync();
    // Taken out before it is presented: a status the replay has to hold back again stays held.
    if (std::optional<SyncStatus> cached = std::exchange(cachedSyncStatus_, std::nullopt)) presentSyncStatus(*cached);
}

void SyncController::presentCachedSyncStatus() {
    if (!cachedSyncStatus_ || !userController_.user() || !isAlreadyLaunched()) return;
    presentSyncStatus(*std::exchange(cachedSyncStatus_, std::nullopt));
}

void SyncController::interfaceThemeChanged() { refreshFinderIntegration(); }

void SyncController::refreshFinderIntegration() {
    const std::optional<QString> path = services_.syncFolderPath();
    if (!path) return;
    SyncExtensionController::shared().disableExtension();
    QPointer<SyncController> self(this);
    MainQueue::asyncAfter(services_.themeRefreshDelayMs, [self, folder = *path] {
        if (!self) return;
        self->services_.setFolderIcon(folder, SyncStatusImages::finderSyncRootIcon);
        SyncExtensionController::shared().updateExtensionState(self->userController_.isLoggedIn());
    });
}

bool SyncController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() &&
        (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::ThemeChange)) {
        interfaceThemeChanged();
    }
    return QObject::eventFilter(watched, event);
}

// MARK: - Observable properties

void SyncController::setIsSyncEnabled(bool value) {
    if (isSyncEnabled_ == value) return;
    isSyncEnabled_ = value;
    emit isSyncEnabledChanged();
}

void SyncController::setSyncStatusImageName(const QString& name) {
    if (syncStatusImageName_ == name) return;
    syncStatusImageName_ = name;
    syncStatusImage_ = SyncStatusImages::icon(name);
    emit syncStatusImageChanged();
}

void SyncController::setShowSyncingUIElements(bool value) {
    if (showSyncingUIElements_ == value) return;
    showSyncingUIElements_ = value;
    emit showSyncingUIElementsChanged();
}

void SyncController::setSyncStatusDescription(const QString& text) {
    if (syncStatusDescription_ == text) return;
    syncStatusDescription_ = text;
    emit syncStatusDescriptionChanged();
}

void SyncController::setDebugMessages(const QStringList& messages) {
    if (debugMessages_ == messages) return;
    debugMessages_ = messages;
    emit debugMessagesChanged();
}

const QString& SyncController::ignoreCharacterSet() const { return IgnoreRules::ignoreCharacters(); }

// MARK: - Sync status

void SyncController::syncStatusChanged(const SyncStatus& status) {
    QPointer<SyncController> self(this);
    MainQueue::runOrAsync([self, status] {
        if (self) self->presentSyncStatus(status);
    });
}

void SyncController::presentSyncStatus(const SyncStatus& status) {
    if (!reachabilityController_.isConnected() && status.kind != SyncStatus::Kind::offline) {
        OVLOG_INFO(AppLog::syncStatus(),
                   QStringLiteral("Received ") + ::describe(status) + QStringLiteral(" while offline. Caching status"));
        cachedSyncStatus_ = status;
        return;
    }
    if (userController_.isAvailable() && userController_.isLoggedIn() && !userController_.isOnboarding()) {
        updateSyncStatus(status);
        postStatusNotification(status, shouldReportSyncingStatus_);
        if (status.isInterruptingSync()) shouldReportSyncingStatus_ = false;
        return;
    }
    OVLOG_INFO(AppLog::syncStatus(), QStringLiteral("Received ") + ::describe(status) +
                                         QStringLiteral(" while user is logged out. Caching status"));
    cachedSyncStatus_ = status;
}

void SyncController::updateSyncStatus(const SyncStatus& status) {
    using Kind = SyncStatus::Kind;
    const LocalizationController& texts = localizationController_;
    switch (status.kind) {
    case Kind::syncing:
        if (!status.flag && !shouldReportSyncingStatus_) return;
        setSyncStatusImageName(SyncStatusImages::statusBarSyncing);
        shouldReportSyncingStatus_ = true;
        setSyncStatusDescription(texts.mbMenuItemSyncStatusSyncingGeneral());
        return;
    case Kind::progress: {
        setSyncStatusImageName(SyncStatusImages::statusBarSyncing);
        queueCount_->setDownload(status.download);
        queueCount_->setUpload(status.upload);
        setShowSyncingUIElements(true);
        shouldReportSyncingStatus_ = true;
        const auto transferring = [](const SyncProgress& progress) {
            return progress.total != 0 && !progress.isFinished;
        };
        if (transferring(status.download) || transferring(status.upload) || status.flag)
            setSyncStatusDescription(texts.mbMenuItemSyncStatusSyncingGeneral());
        return;
    }
    case Kind::finishing:
        queueCount_->setDownload(status.download);
        queueCount_->setUpload(status.upload);
        setSyncStatusDescription(texts.mbMenuItemSyncStatusFinishing());
        OVLOG_DEBUG(AppLog::syncStatus(), QStringLiteral("Sync status: finishing"));
        return;
    case Kind::error: {
        setShowSyncingUIElements(false);
        setSyncStatusDescription(texts.mbMenuItemSyncStatusError());
        const bool interrupts = status.error && status.error->shouldInterruptSync();
        setSyncStatusImageName(interrupts ? SyncStatusImages::statusBarErrorInactive
                                          : SyncStatusImages::statusBarErrorActive);
        OVLOG_ERROR(AppLog::framework(), ::describe(status));
        return;
    }
    case Kind::paused:
        setShowSyncingUIElements(false);
        setSyncStatusDescription(texts.mbMenuItemSyncStatusPaused());
        setSyncStatusImageName(SyncStatusImages::statusBarPaused);
        return;
    case Kind::upToDate:
        setShowSyncingUIElements(false);
        setSyncStatusDescription(texts.mbMenuItemSyncStatusUpToDate());
        setSyncStatusImageName(SyncStatusImages::statusBarDefault);
        return;
    case Kind::offline:
        setShowSyncingUIElements(false);
        setSyncStatusDescription(texts.mbMenuItemSyncStatusDisconnected());
        setSyncStatusImageName(SyncStatusImages::statusBarOffline);
        return;
    case Kind::preparing:
        setShowSyncingUIElements(false);
        setSyncStatusDescription(texts.mbMenuItemSyncStatusPreparing());
        setSyncStatusImageName(SyncStatusImages::statusBarSyncing);
        return;
    }
}

void SyncController::postStatusNotification(const SyncStatus& status, bool shouldReport) {
    using Kind = SyncStatus::Kind;
    if (lastSyncStatus_ == status) return;
    // A run of progress reports is one piece of work: only its first one may notify.
    if (lastSyncStatus_ && lastSyncStatus_->kind == Kind::progress && status.kind == Kind::progress) return;
    lastSyncStatus_ = status;

    const LocalizationController& texts = localizationController_;
    UserNotificationController& notifications = *notificationController_;
    switch (status.kind) {
    case Kind::progress:
        if (status.download.completed == 0 && status.upload.completed == 0)
            notifications.deliverCoalescedNotification(texts.unSyncPreparingTitle(), texts.unSyncPreparingInformative(),
                                                       NotificationIdentifier::syncing);
        return;
    case Kind::error:
        if (status.error && status.error->kind == SyncError::Kind::insufficientRemoteStorage) {
            notifications.deliverCoalescedNotification(texts.unSyncUpsellTitle(), texts.unSyncUpsellInformative(),
                                                       NotificationIdentifier::criticalError);
        } else if (shouldReport) {
            const QString description = status.error ? errorDescription(*status.error).value_or(QString()) : QString();
            notifications.deliverCoalescedNotification(texts.unSyncErrorTitle(), description,
                                                       NotificationIdentifier::error);
        }
        return;
    case Kind::upToDate:
        if (shouldReport)
            notifications.deliverCoalescedNotification(texts.unSyncSyncedTitle(), texts.unSyncSyncedInformative(),
                                                       NotificationIdentifier::synced);
        return;
    default: return;
    }
}

void SyncController::notificationActivated(const QString& title) {
    if (title == localizationController_.unSyncUpsellTitle()) {
        Workspace::openUrlText(localizationController_.unSyncUpsellURL());
        return;
    }
    // The doctor lists the items that did not sync and why.
    if (title == localizationController_.unSyncErrorTitle())
        Application::shared().sendAction(AppAction::showConnectionDoctor, this);
}

// MARK: - Items

void SyncController::itemStatusChanged(const QString& path, OVItemSyncStatus status) {
    OVLOG_DEBUG(AppLog::framework(), QStringLiteral("Status changed for item at URL: ") + path +
                                         QStringLiteral(" New status: ") + itemSyncStatusWord(status));
    if (!commServer_) return;
    // Extensions slower than the transfers (a first sync of many small files) must not make two
    // pushes per file wait in memory: only each item's latest status waits.
    bool queued = false;
    {
        std::lock_guard lock(statusMutex_);
        queued = !waitingStatuses_.empty();
        if (const auto at = waitingIndex_.constFind(path); at != waitingIndex_.constEnd()) {
            waitingStatuses_[*at].second = status;
        } else {
            waitingIndex_.insert(path, waitingStatuses_.size());
            waitingStatuses_.emplace_back(path, status);
        }
    }
    if (!queued) pushQueue_->async([this] { pushWaitingStatuses(); });
}

void SyncController::pushWaitingStatuses() {
    std::vector<std::pair<QString, OVItemSyncStatus>> statuses;
    {
        std::lock_guard lock(statusMutex_);
        statuses.swap(waitingStatuses_);
        waitingIndex_ = {};
    }
    for (const auto& [path, status] : statuses) commServer_->sendStatus(status, path);
}

void SyncController::pushToExtensions(std::function<void(CommServer&)> push) {
    if (!commServer_) return;
    pushQueue_->async([server = commServer_, push = std::move(push)] { push(*server); });
}

void SyncController::waitForPendingPushes() const {
    pushQueue_->sync([] {});
}

// MARK: - Ignore rules and events

bool SyncController::shouldIgnoreItem(const QString& path) { return IgnoreRules::shouldIgnoreItem(path); }
bool SyncController::shouldIgnoreFileOrFolder(const QString& path) { return IgnoreRules::shouldIgnoreItem(path, true); }

bool SyncController::isRegularItem(const QString& name, const QString& parentName) {
    std::optional<QString> userName;
    {
        std::lock_guard lock(userNameMutex_);
        userName = userName_;
    }
    return IgnoreRules::isRegularItem(name, parentName, userName);
}

bool SyncController::isSystemFolder(const QString& name, const QString& path) {
    return IgnoreRules::isSystemFolder(name, path);
}

void SyncController::handle(const SyncEvent& event) {
    QPointer<SyncController> self(this);
    MainQueue::runOrAsync([self, event] {
        if (self) self->handleOnMainThread(event);
    });
}

void SyncController::handleOnMainThread(const SyncEvent& event) {
    const LocalizationController& texts = localizationController_;
    switch (event.kind) {
    case SyncEvent::Kind::moveActionReverted:
        if (event.reason == MoveActionRevertReason::regularItem)
            notificationController_->deliverNotification(texts.unSyncEventRegularItemMoveActionRevertTitle(),
                                                         texts.unSyncEventRegularItemMoveActionRevertInformative());
        else
            notificationController_->deliverNotification(texts.unSyncEventSystemFolderMoveActionRevertTitle(),
                                                         texts.unSyncEventSystemFolderMoveActionRevertInformative());
        return;
    case SyncEvent::Kind::systemFolderDeleted:
        if (delegate_) delegate_->presentSystemFolderDeletedAlert(event.first);
        return;
    case SyncEvent::Kind::teamfolderAccessGranted:
        notificationController_->deliverNotification(
            texts.unSyncEventTeamfolderAccessGrantedTitle(),
            texts.unSyncEventTeamfolderAccessGrantedInformative().arg(event.first));
        return;
    case SyncEvent::Kind::teamfolderAccessRemoved:
        notificationController_->deliverNotification(
            texts.unSyncEventTeamfolderAccessRemovedTitle(),
            texts.unSyncEventTeamfolderAccessRemovedInformative().arg(event.first));
        return;
    case SyncEvent::Kind::localItemRenamed: {
        QStringList messages = debugMessages_;
        messages.append(texts.cdSyncNotificationMessageLocalItemRenamed().arg(event.first, event.second));
        setDebugMessages(messages);
        return;
    }
    case SyncEvent::Kind::notEnoughDiskSpace:
        handleNotEnoughDiskSpace();
        return;
    }
}

// MARK: - Disk space

void SyncController::handleNotEnoughDiskSpace() {
    // The alert's modal loop goes on delivering the engine's reports: one alert is enough, and so
    // is one pause until the space is back.
    if (isShowingDiskSpaceAlert_ || isPausedForDiskSpace_) {
        OVLOG_INFO(AppLog::syncStatus(), QStringLiteral("Not enough disk space again; the user has been told already"));
        return;
    }
    const LocalizationController& texts = localizationController_;
    Alert alert;
    alert.setMessageText(texts.syAlertNotEnoughDiskSpaceToSyncMessage());
    alert.setInformativeText(texts.syAlertNotEnoughDiskSpaceToSyncInformative());
    alert.addButton(texts.syAlertNotEnoughDiskSpaceToSyncButtonPauseSync());
    const std::uint64_t choicesBefore = syncChoices_;
    isShowingDiskSpaceAlert_ = true;
    Application::shared().activate(true);
    alert.runModal();
    isShowingDiskSpaceAlert_ = false;
    // The user paused or resumed while the alert was up (or sync was set up anew): that stands.
    if (syncChoices_ != choicesBefore) {
        OVLOG_INFO(AppLog::syncStatus(),
                   QStringLiteral("Not enough disk space, but sync was paused or resumed meanwhile; that choice stands"));
        return;
    }
    // However the alert was closed, syncing stops: there is no room for it.
    pauseForDiskSpace();
}

void SyncController::pauseForDiskSpace() {
    SyncFacade* engine = engineFacade();
    // Already paused by someone else (the user, a removed sync folder): that pause is not the disk's,
    // and free space must not end it.
    const bool wasRunning = isSyncEnabled_ && engine;
    setIsSyncEnabled(false);
    if (engine) engine->setSyncEnabled(false);
    if (!wasRunning) return;
    isPausedForDiskSpace_ = true;
    ++diskSpaceGeneration_;
    OVLOG_WARNING(AppLog::syncStatus(),
                  QStringLiteral("Sync paused: not enough disk space at \"%1\"; it resumes once space is freed")
                      .arg(configuredSyncFolder_));
    diskSpaceTimer_->start();
}

void SyncController::endDiskSpacePause() {
    if (!isPausedForDiskSpace_) return;
    isPausedForDiskSpace_ = false;
    ++diskSpaceGeneration_;
    diskSpaceTimer_->stop();
}

void SyncController::noteSyncChoice() {
    ++syncChoices_;
    if (isPausedForDiskSpace_)
        OVLOG_INFO(AppLog::syncStatus(),
                   QStringLiteral("Sync was paused for want of disk space; the new choice ends that pause"));
    endDiskSpacePause();
}

void SyncController::checkDiskSpace() {
    if (!isPausedForDiskSpace_ || isCheckingDiskSpace_) return;
    // Its thread is made for the first shortage, not for every controller.
    if (!diskSpaceQueue_) diskSpaceQueue_ = std::make_unique<SerialQueue>(QStringLiteral("SyncController.diskSpace"));
    isCheckingDiskSpace_ = true;
    QPointer<SyncController> self(this);
    diskSpaceQueue_->async([self, probe = services_.freeDiskSpace, folder = configuredSyncFolder_,
                            generation = diskSpaceGeneration_] {
        const std::optional<std::int64_t> freeBytes = probe ? probe(folder) : std::nullopt;
        MainQueue::async([self, generation, freeBytes] {
            if (self) self->diskSpaceChecked(generation, freeBytes);
        });
    });
}

void SyncController::diskSpaceChecked(std::uint64_t generation, std::optional<std::int64_t> freeBytes) {
    isCheckingDiskSpace_ = false;
    if (!isPausedForDiskSpace_ || generation != diskSpaceGeneration_) return;
    // Signed out, or the engine gone: there is nothing left to resume.
    SyncFacade* engine = engineFacade();
    if (!engine) return endDiskSpacePause();
    if (!freeBytes) return;  // the file system cannot tell now: look again later
    // The engine keeps the minimum free and skips what does not fit in the rest; it tells of a
    // shortage once until there is room again, so resuming cannot bring the alert back by itself.
    const std::int64_t room = *freeBytes - configuredMinimumFreeDiskSpace_;
    if (room <= 0) return;
    OVLOG_INFO(AppLog::syncStatus(), QStringLiteral("Disk space is available again (%1 bytes beyond the minimum); "
                                                    "sync resumes")
                                         .arg(room));
    endDiskSpacePause();
    setIsSyncEnabled(true);
    engine->setSyncEnabled(true);
}

// MARK: - Texts

QString SyncController::describe(const SyncFacadeConfiguration& configuration) {
    return QStringLiteral("SyncFacadeConfiguration(websocketBaseURL: %1, rootDirectoryLocalURL: %2, "
                          "conflictSuffix: \"%3\", chunkSizeURL: %4, minimumFreeDiskSpace: %5)")
        .arg(configuration.websocketBaseURL.toString(),
             QUrl::fromLocalFile(configuration.rootDirectoryLocalURL + QStringLiteral("/")).toString(),
             configuration.conflictSuffix, configuration.chunkSizeURL.toString())
        .arg(configuration.minimumFreeDiskSpace);
}

// MARK: - Services

SyncController::Services SyncController::defaultServices() {
    Services services;
    services.syncFolderPath = [] { return ::syncFolderPath(); };
    services.updateFinderSidebar = [](const QString& path) {
        FinderSidebarController(OVPathResolver::shared()).replaceSyncRootFavorite(path);
    };
    services.startLocalChangesObserver = [](const QString& path, LocalChangesListener& listener,
                                            LocalFSObserverDelegate& delegate) {
        return std::make_unique<LocalFSObserver>(path, &listener, LocalFSObserver::defaultFileExists(), &delegate);
    };
    services.setFolderIcon = [](const QString& path, const QString& imageName) {
        FolderIcon::setIconAsync(path, imageName);
    };
    services.freeDiskSpace = [](const QString& path) -> std::optional<std::int64_t> {
        struct statvfs info {};
        if (path.isEmpty() || ::statvfs(QFile::encodeName(path).constData(), &info) != 0) return std::nullopt;
        return std::int64_t(info.f_bavail) * std::int64_t(info.f_frsize);
    };
    return services;
}
