#pragma once

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "app/common/LocalizationController.h"
#include "app/core/PathResolver.h"
#include "app/core/UserNotificationController.h"
#include "app/sync/LocalFSObserver.h"
#include "app/sync/LocalFSObserverDelegate.h"
#include "app/sync/OVFileSystemMetadataController.h"
#include "frameworks/sync/SelectiveSyncItem.h"
#include "frameworks/sync/SyncStatusDelegate.h"
#include "frameworks/sync/SyncTypes.h"

class CommServer;
class LocalChangesListener;
class ObjCSyncError;
class ObjCSyncQueueCount;
class QTimer;
class QuotaController;
class ReachabilityController;
class SerialQueue;
class SyncControllerDelegate;
class SyncFacade;
struct SyncFacadeConfiguration;
class UserController;

// Drives the sync engine for the main application: configures it for the sync folder, prepares
// that folder, starts the watch that feeds the engine local changes, and presents what the engine
// reports through observable properties, notifications and pushes to the file-manager extensions.
//
// Lives on the main thread. The engine calls its status-delegate operations from its own threads:
// whatever touches the controller's state is handed to the main queue first; the questions it asks
// (ignore rules, system folders) are answered on the calling thread from state that is safe there;
// item-status pushes to the extensions run on a queue of their own, never on the main thread.
class SyncController : public QObject,
                       public SyncStatusDelegate,
                       public LocalFSObserverDelegate,
                       public UserNotificationControllerDelegate {
    Q_OBJECT
    Q_PROPERTY(bool isSyncEnabled READ isSyncEnabled NOTIFY isSyncEnabledChanged)
    // The status item's image; the menu bar may set it by name too.
    Q_PROPERTY(QIcon syncStatusImage READ syncStatusImage NOTIFY syncStatusImageChanged)
    Q_PROPERTY(QString syncStatusImageName READ syncStatusImageName WRITE setSyncStatusImageName NOTIFY
                   syncStatusImageChanged)
    Q_PROPERTY(ObjCSyncQueueCount* queueCount READ queueCount CONSTANT)
    Q_PROPERTY(bool showSyncingUIElements READ showSyncingUIElements NOTIFY showSyncingUIElementsChanged)
    Q_PROPERTY(QString syncStatusDescription READ syncStatusDescription NOTIFY syncStatusDescriptionChanged)
    Q_PROPERTY(QStringList _debugMessages READ debugMessages WRITE setDebugMessages NOTIFY debugMessagesChanged)

public:
    // What the controller needs from the rest of the sync folder's road. Tests put their own in.
    struct Services {
        // The sync folder's absolute path; none while no sync root is chosen.
        std::function<std::optional<QString>()> syncFolderPath;
        // Replaces the sync folder's entry in the file manager's sidebar.
        std::function<void(const QString& syncFolderPath)> updateFinderSidebar;
        // Writes the account marker into the sync folder; failures are logged, never thrown. Left
        // empty, the controller's own metadata controller writes it.
        std::function<void(const QString& syncFolderPath)> createAccountInfoFile;
        // Starts watching the sync folder for the listener; `delegate` hears of the folder's removal.
        std::function<std::unique_ptr<LocalFSObserver>(const QString& syncFolderPath, LocalChangesListener& listener,
                                                       LocalFSObserverDelegate& delegate)>
            startLocalChangesObserver;
        // Gives a folder the named image as its icon in the file manager.
        std::function<void(const QString& path, const QString& imageName)> setFolderIcon;
        // How long after a theme change the file-manager extension is switched back on.
        int themeRefreshDelayMs = 3000;
        // The bytes free for this user on the file system holding the path; none when it cannot
        // tell. Called off the main thread, one call at a time. Left empty, statvfs answers.
        std::function<std::optional<std::int64_t>(const QString& path)> freeDiskSpace;
        // How often the free space is looked at while sync is paused for want of it.
        int diskSpaceCheckIntervalMs = 30000;
    };
    static Services defaultServices();

    // The engine's set-up keeps at least this much disk free.
    static constexpr std::int64_t minimumFreeDiskSpace = 500000000;

    SyncController(CommServer* commServer, QuotaController& quotaController, UserController& userController,
                   ReachabilityController& reachabilityController, QObject* parent = nullptr);
    SyncController(CommServer* commServer, QuotaController& quotaController, UserController& userController,
                   ReachabilityController& reachabilityController, Services services, QObject* parent = nullptr);
    ~SyncController() override;

    // Not owned; the application delegate outlives the controller.
    void setDelegate(SyncControllerDelegate* delegate) { delegate_ = delegate; }
    SyncControllerDelegate* delegate() const { return delegate_; }

    // Configures and starts the engine for the sync folder once the application has been set up.
    void setUp();
    // How often setUp() ran.
    int setUpCount() const { return setUpCount_; }
    // The user's (or the application's) own pause and resume. Either ends a pause for want of disk
    // space: the choice stands, and the free space no longer resumes sync.
    void pauseSync();
    void toggleSync();
    // Sync is paused because the disk was full, and resumes by itself once there is free space at
    // the sync folder beyond the configuration's minimum (looked at every
    // `diskSpaceCheckIntervalMs`). Main thread.
    bool isPausedForDiskSpace() const { return isPausedForDiskSpace_; }
    void setSubscriptions(const std::vector<SelectiveSyncItem>& items);
    // The engine's current errors as rows; none while the engine is not set up. Any thread.
    std::optional<std::vector<std::shared_ptr<ObjCSyncError>>> syncErrors() const;

    // The sync folder was moved or deleted: pause, then let the user decide. Any thread.
    void rootFolderRemoved() override;

    bool isSyncEnabled() const { return isSyncEnabled_; }
    QIcon syncStatusImage() const { return syncStatusImage_; }
    QString syncStatusImageName() const { return syncStatusImageName_; }
    // An unknown name leaves no image.
    void setSyncStatusImageName(const QString& name);
    ObjCSyncQueueCount* queueCount() const { return queueCount_; }
    bool showSyncingUIElements() const { return showSyncingUIElements_; }
    QString syncStatusDescription() const { return syncStatusDescription_; }
    QStringList debugMessages() const { return debugMessages_; }
    void setDebugMessages(const QStringList& messages);

    const std::optional<SyncStatus>& lastSyncStatus() const { return lastSyncStatus_; }
    const std::optional<SyncStatus>& cachedSyncStatus() const { return cachedSyncStatus_; }
    bool shouldReportSyncingStatus() const { return shouldReportSyncingStatus_; }
    UserNotificationController& notificationController() const { return *notificationController_; }
    LocalFSObserver* localChangesListener() const { return localChangesListener_.get(); }
    const std::shared_ptr<const PathResolver>& pathResolver() const { return pathResolver_; }
    const QString& ignoreCharacterSet() const;

    // The overall status: presented on the main thread, or held back while offline or signed out.
    void syncStatusChanged(const SyncStatus& status) override;
    // The presentation table of one status (main thread).
    void updateSyncStatus(const SyncStatus& status);
    // The notification rules of one status (main thread).
    void postStatusNotification(const SyncStatus& status, bool shouldReport);
    // Logs and pushes the item's new state to the extensions, off the main thread. Any thread.
    void itemStatusChanged(const QString& path, OVItemSyncStatus status) override;
    bool shouldIgnoreItem(const QString& path) override;
    bool shouldIgnoreFileOrFolder(const QString& path) override;
    bool isRegularItem(const QString& name, const QString& parentName) override;
    bool isSystemFolder(const QString& name, const QString& path) override;
    // Handled on the main thread (one hop when needed).
    void handle(const SyncEvent& event) override;

    // The user clicked a delivered notification with this title.
    void notificationActivated(const QString& title);
    void handleNotificationResponse(const QString& title) override { notificationActivated(title); }

    // Waits until every push handed to the extensions' queue so far has been sent (tests, quit).
    void waitForPendingPushes() const;

    // The configuration's text in log lines.
    static QString describe(const SyncFacadeConfiguration& configuration);

public slots:
    // The desktop's theme changed: the file-manager extension is switched off and on again so that
    // its badges are drawn anew.
    void interfaceThemeChanged();

signals:
    void isSyncEnabledChanged();
    void syncStatusImageChanged();
    void showSyncingUIElementsChanged();
    void syncStatusDescriptionChanged();
    void debugMessagesChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setIsSyncEnabled(bool value);
    void setShowSyncingUIElements(bool value);
    void setSyncStatusDescription(const QString& text);
    void presentSyncStatus(const SyncStatus& status);
    void replayCachedSyncStatus();
    void presentCachedSyncStatus();
    void refreshFinderIntegration();
    void handleOnMainThread(const SyncEvent& event);
    // The engine found no room for what it has to download: one alert, then a pause that the free
    // space ends (unless the user chose otherwise meanwhile).
    void handleNotEnoughDiskSpace();
    void pauseForDiskSpace();
    // Forgets a pause for disk space; results of a look at the disk still under way are dropped.
    void endDiskSpacePause();
    // One look at the free space, off the main thread; its answer comes back to the main thread.
    void checkDiskSpace();
    void diskSpaceChecked(std::uint64_t generation, std::optional<std::int64_t> freeBytes);
    // The pause and resume that are the user's (or the application's): they override the disk's.
    void noteSyncChoice();
    void userDidChange();
    void pushToExtensions(std::function<void(CommServer&)> push);
    void pushWaitingStatuses();
    // False, after stopping any sync and telling the user, when an existing sync folder is marked
    // for another account or its damaged marker cannot be mended.
    bool claimSyncFolder(const QString& path);
    // Creates the folder owner-only when missing, then sidebar, push and marker; the error text
    // when the folder could not be made.
    std::optional<QString> prepareRootFolder(const QString& path);

    Services services_;
    bool isSyncEnabled_ = false;
    QIcon syncStatusImage_;
    QString syncStatusImageName_;
    ObjCSyncQueueCount* queueCount_;
    bool showSyncingUIElements_ = false;
    QString syncStatusDescription_;
    QStringList debugMessages_;
    SyncControllerDelegate* delegate_ = nullptr;
    std::unique_ptr<LocalFSObserver> localChangesListener_;
    QMetaObject::Connection observation_;
    std::optional<SyncStatus> lastSyncStatus_;
    CommServer* commServer_;
    std::shared_ptr<const PathResolver> pathResolver_;
    OVFileSystemMetadataController fileSystemMetadataController_;
    QuotaController& quotaController_;
    UserController& userController_;
    ReachabilityController& reachabilityController_;
    LocalizationController localizationController_;
    std::unique_ptr<UserNotificationController> notificationController_;
    std::optional<SyncStatus> cachedSyncStatus_;
    bool shouldReportSyncingStatus_ = true;
    int setUpCount_ = 0;

    // The signed-in user's name, for the engine's questions on its own threads.
    mutable std::mutex userNameMutex_;
    std::optional<QString> userName_;
    // Item statuses not yet pushed, in the order their items first changed; an item that changes
    // again while it waits keeps its place with its latest status. Non-empty while a push of them
    // is queued.
    std::mutex statusMutex_;
    std::vector<std::pair<QString, OVItemSyncStatus>> waitingStatuses_;
    QHash<QString, std::size_t> waitingIndex_;
    // Pushes to the extensions block for their sends, so they run here, in order.
    std::unique_ptr<SerialQueue> pushQueue_;

    // Disk space (main thread). The sync folder and minimum of the last set-up, which the free
    // space is measured at and against.
    QString configuredSyncFolder_;
    std::int64_t configuredMinimumFreeDiskSpace_ = minimumFreeDiskSpace;
    bool isShowingDiskSpaceAlert_ = false;
    bool isPausedForDiskSpace_ = false;
    // Bumped by every pause, resume or set-up that is not the disk's own.
    std::uint64_t syncChoices_ = 0;
    // Bumped whenever a pause for disk space begins or ends: answers of older looks are stale.
    std::uint64_t diskSpaceGeneration_ = 0;
    bool isCheckingDiskSpace_ = false;
    QTimer* diskSpaceTimer_ = nullptr;
    // statvfs may block (a network or sleeping disk): the looks run here, never on the main thread.
    std::unique_ptr<SerialQueue> diskSpaceQueue_;
};
