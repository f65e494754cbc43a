#include "frameworks/sync/OrvellaSyncEngine.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>

#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <semaphore>
#include <set>
#include <stop_token>
#include <stdexcept>
#include <thread>
#include <utility>

#include "frameworks/logger/FrameworkChannels.h"
#include "frameworks/sync/SubscriptionSet.h"
#include "frameworks/sync/SyncDecision.h"
#include "frameworks/sync/SyncFileSystem.h"
#include "frameworks/sync/SyncStateStore.h"
#include "frameworks/sync/WorkerPool.h"
#include "service/StorageService.h"

namespace fs = SyncFileSystem;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr int settleMs = 30;
constexpr int progressIntervalMs = 100;
constexpr int commitEvery = 2000;
// Transfers are collected up to this many, then run side by side; each thread takes a slice of up
// to `transferSlice` items of one folder at a time.
constexpr std::size_t transferBatch = 512;
constexpr std::size_t transferSlice = 16;
constexpr std::ptrdiff_t transferThreads = 4;
// Folders a batch holds open at most, however many descriptors are free.
constexpr std::size_t maxFolderHandles = 128;
constexpr unsigned localFolderMode = 0755;
constexpr unsigned remoteFolderMode = 0700;

QString cleanAbsolute(const QString& path) {
    if (path.isEmpty()) return {};
    return QDir::cleanPath(QDir(path).absolutePath());
}

// The subscriptions until the caller sets its own: the whole tree.
std::vector<SelectiveSyncItem> everything() { return {SelectiveSyncItem{QStringLiteral("/"), true, QString()}}; }

// Device and inode: a folder deleted and made anew under the same path is another folder.
std::optional<QString> identityOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

SyncError::Kind localWriteError(int error) {
    if (error == ENOSPC || error == EDQUOT) return SyncError::Kind::insufficientLocalStorage;
    return SyncError::Kind::itemIsInReadonlyDirectory;
}

SyncError::Kind remoteWriteError(int error) {
    if (error == ENOSPC || error == EDQUOT) return SyncError::Kind::insufficientRemoteStorage;
    return SyncError::Kind::itemIsReadonlyOnRemote;
}

bool isRemoval(SyncAction action) {
    return action == SyncAction::deleteRemote || action == SyncAction::deleteLocal ||
           action == SyncAction::removeUnsubscribed;
}

QString childPath(const QString& parent, const QString& name) {
    return parent.isEmpty() ? name : parent + QLatin1Char('/') + name;
}

// Whether the tree saw the folder (the root always exists: it was checked at the pass's start).
bool knownFolder(const FileTree& tree, const QString& folder) {
    if (folder.isEmpty()) return true;
    const auto it = tree.find(folder);
    return it != tree.end() && it->second.isDirectory();
}

// Calls `fn` for the entry at `root` and everything below it.
template <typename Map, typename F>
void forEachInSubtree(const Map& map, const QString& root, F&& fn) {
    if (auto it = map.find(root); it != map.end()) fn(it->first, it->second);
    const QString prefix = root + QLatin1Char('/');
    for (auto it = map.lower_bound(prefix); it != map.end() && it->first.startsWith(prefix); ++it) fn(it->first, it->second);
}

// Moves the entry at `from` and everything below it to `to`.
template <typename Map>
void rekey(Map& map, const QString& from, const QString& to) {
    std::vector<std::pair<QString, typename Map::mapped_type>> moved;
    if (auto it = map.find(from); it != map.end()) {
        moved.emplace_back(to, it->second);
        map.erase(it);
    }
    const QString prefix = from + QLatin1Char('/');
    for (auto it = map.lower_bound(prefix); it != map.end() && it->first.startsWith(prefix);) {
        moved.emplace_back(to + it->first.mid(from.size()), it->second);
        it = map.erase(it);
    }
    for (auto& [key, value] : moved) map[key] = std::move(value);
}

using NodePool = std::pmr::unsynchronized_pool_resource;

// The trees share their keys' text with the records once settled: the same text is the same key,
// without comparing it.
bool sameKey(const QString& a, const QString& b) {
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

// Leaves in `tree` only the entries that differ from their record's `side`; `gone` receives the
// paths of the records the tree has no entry for. What is left moves to a fresh pool, so that the
// old one's blocks go back whole rather than as holes among what other parts keep.
void keepDifferences(FileTree& tree, std::unique_ptr<NodePool>& pool, const std::map<QString, SyncRecord>& records,
                     FsEntry SyncRecord::*side, std::vector<QString>& gone) {
    auto fresh = std::make_unique<NodePool>();
    FileTree kept(fresh.get());
    auto t = tree.begin();
    const auto keepUpTo = [&](const QString* path) {
        for (; t != tree.end() && (!path || t->first < *path); ++t) kept.emplace_hint(kept.end(), t->first, t->second);
    };
    for (const auto& [path, record] : records) {
        if (t == tree.end() || !sameKey(t->first, path)) keepUpTo(&path);
        if (t == tree.end() || !sameKey(t->first, path)) {
            gone.push_back(path);
        } else {
            if (!(t->second == record.*side)) kept.emplace_hint(kept.end(), t->first, t->second);
            ++t;
        }
    }
    keepUpTo(nullptr);
    std::destroy_at(&tree);
    pool = std::move(fresh);
    std::construct_at(&tree, std::move(kept));
}

// Makes `tree` whole again from what keepDifferences left over the same records.
void restoreEntries(FileTree& tree, const std::map<QString, SyncRecord>& records, FsEntry SyncRecord::*side,
                    std::vector<QString>& gone) {
    auto t = tree.begin();
    auto g = gone.cbegin();
    for (const auto& [path, record] : records) {
        while (t != tree.end() && t->first < path) ++t;
        while (g != gone.cend() && *g < path) ++g;
        if ((t != tree.end() && t->first == path) || (g != gone.cend() && *g == path)) continue;
        tree.emplace_hint(t, path, record.*side);
    }
    gone = {};
}

}  // namespace

class OrvellaSyncEngine::Core {
public:
    Core(SyncFacadeConfiguration configuration, std::shared_ptr<StorageService> service, const QString& remoteRoot,
         const QString& dataFolder, Options options);
    ~Core();

    std::vector<SelectiveSyncItem> subscriptions() const;
    void setSubscriptions(const std::vector<SelectiveSyncItem>& items);
    std::vector<SyncErrorInfo> syncErrors() const;
    void triggerSync();
    void setSyncEnabled(bool enabled);
    OVItemSyncStatus itemSyncStatus(const QString& path) const;
    SyncStatus currentStatus() const;
    std::uint64_t idlePassCount() const { return idlePasses_.load(); }
    std::uint64_t passCount() const { return passes_.load(); }
    std::uint64_t requestCheck();
    std::uint64_t checkedCount() const { return checksAnswered_.load(); }

    void localChange(const QString& path);
    void localMove(const QString& from, const QString& to);
    void permissionChange(const QString& path);
    void requestFullScan();
    // With mutex_ held.
    void eventsArrive() {
        if (!eventsArrived_) firstEventAt_ = SteadyClock::now();
        wake_ = eventsArrived_ = true;
    }

private:
    struct Pending {
        QSet<QString> paths;
        std::vector<std::pair<QString, QString>> moves;
        bool fullScan = false;
        bool clearBackoff = false;
        QSet<QString> remotePaths;  // from the journal
        bool remoteFullScan = false;
        QString cursor;  // the journal's, after the remote paths; set when taken
    };
    struct Side {
        FileTree& tree;
        fs::Unreadable& unknown;
        const QString& root;
        std::set<QString>* undecodable;
    };
    struct ItemError {
        SyncErrorInfo info;
        int attempts = 0;
        SteadyClock::time_point retryAt;
    };
    struct Planned {
        QString path;
        SyncStep step;
        std::optional<FsEntry> local;
        std::optional<FsEntry> remote;
        std::optional<SyncRecord> base;
        bool subscribed = true;
    };
    struct IgnoreAnswer {
        std::optional<FsEntry> entry;
        bool ignored = false;
    };

    bool load();
    void openStore();
    void idleUntilStopped();
    void run();
    std::optional<SteadyClock::time_point> nextLook();
    void watchRemote(std::stop_token stop);
    bool fetchRemoteChanges(std::chrono::milliseconds timeout, std::stop_token stop);
    bool applyRemoteDirty(QSet<QString>& paths);
    bool pass(Pending& pending);
    void settle();
    void compactTrees();
    void restoreTrees();
    fs::KeySource recordKeys() const;
    bool work(Pending& pending);
    bool checkRoots();
    void serviceUnreachable(int error);
    void keepPending(Pending& pending);
    void checkIdentity(const QString& key, const QString& path);
    // Both add to the paths the folders that had to be looked at instead of them.
    std::vector<QString> applyDirty(Side side, QSet<QString>& paths);
    std::vector<QString> applyDirty(Side side, const QStringList& tops, QSet<QString>& widened);
    static QStringList topmostOf(const QSet<QString>& paths);
    Side localSide() { return Side{localTree_, localUnknown_, localRoot_, &localUndecodable_}; }
    Side remoteSide() { return Side{remoteTree_, remoteUnknown_, remoteRoot_, nullptr}; }
    void findMovedAway(const std::vector<QString>& seen, std::vector<std::pair<QString, QString>>& moves);
    bool rootsReadable(int localError, int remoteError);
    void noteUnreadable();
    void applyMoves(const std::vector<std::pair<QString, QString>>& moves);
    bool moveRemote(const QString& from, const QString& to);
    // Over the whole tree, or over `scope` (paths without their ancestors in it) and what
    // they hold.
    std::vector<Planned> plan(const SubscriptionSet& subscriptions, const std::set<QString>* scope = nullptr);
    bool execute(std::vector<Planned>& steps);
    bool remove(const Planned& item, SyncAction action, bool clearingTheWay);
    void perform(const Planned& item);
    struct Transfer {
        QString path;
        bool upload = true;
        QString sourceFolder;  // absolute
        QString targetFolder;
        FsEntry expectedSource;
        std::optional<FsEntry> expectedTarget;  // none: nothing may be there
        fs::TransferResult result;
    };
    using Folders = fs::FolderHandles;
    std::optional<Transfer> prepareUpload(const Planned& item, Folders& folders);
    std::optional<Transfer> prepareDownload(const QString& path, const FsEntry& remote,
                                            const std::optional<FsEntry>& expectedLocal, Folders& folders);
    // The target's folder, made when the tree does not know it (the sync root never is); false
    // when it cannot be made, the item failed.
    bool prepareTargetFolder(const QString& path, bool upload, Folders& folders);
    void runTransfer(Transfer& transfer, Folders& folders) const;
    // False when it ran short of descriptors and may be tried again at once.
    bool finishTransfer(const Transfer& transfer, bool lastTry);
    void transferAll(std::vector<const Planned*>& batch);
    void download(const QString& path, const FsEntry& remote, const std::optional<FsEntry>& expectedLocal);
    void createRemoteFolder(const Planned& item);
    void createLocalFolder(const QString& path, const FsEntry& remote);
    void resolveBothChanged(const Planned& item);

    bool interrupted() const;
    bool hasPendingErrors() const;
    void removeTemporaries(const QString& root, const std::vector<QString>& paths, std::chrono::seconds minimumAge);
    void removeLeftovers();
    bool keepsItems(const QString& folder) const;
    bool isIgnored(const QString& path, const std::optional<FsEntry>& local);
    void markIgnored(const QString& path, bool ignored);
    void subscribeFolder(const QString& path);
    bool inBackoff(const QString& path, SteadyClock::time_point now) const;
    void clearBackoff(const QString& below);

    QString local(const QString& path) const { return fs::join(localRoot_, path); }
    QString remote(const QString& path) const { return fs::join(remoteRoot_, path); }

    void setRecord(const QString& path, const SyncRecord& record);
    void dropRecord(const QString& path);
    void noteStoreChange();
    void markStale(const QString& path);

    void reportStatus(const SyncStatus& status);
    void reportProgress(bool force);
    void reportItem(const QString& path, OVItemSyncStatus status);
    void failItem(const QString& path, SyncError::Kind kind, int error);
    void resolveError(const QString& path);
    void setGlobalError(std::optional<SyncError::Kind> kind);
    SyncStatus idleStatus() const;
    void sendEvent(const SyncEvent& event);

    // Fixed at construction.
    const QString localRoot_;
    const QString remoteRoot_;
    SyncStatusDelegate* const delegate_;
    const QString conflictSuffix_;
    const std::int64_t minimumFreeDiskSpace_;
    const std::chrono::milliseconds pollInterval_;
    const std::chrono::milliseconds longPoll_;
    const std::shared_ptr<StorageService> service_;
    QString userName_;  // for the quota; empty when the service does not know the tree's owner
    QString statePath_;
    int lockFd_ = -1;

    // Hand-over between the callers' threads and the engine's thread.
    mutable std::mutex mutex_;
    std::condition_variable wakeUp_;
    Pending pending_;
    bool wake_ = false;
    bool eventsArrived_ = false;
    SteadyClock::time_point firstEventAt_{};  // of those that arrived since the last pass began
    std::atomic<bool> stop_{false};
    std::atomic<bool> enabled_{true};
    std::atomic<bool> cancel_{false};
    std::atomic<std::uint64_t> idlePasses_{0};
    std::atomic<std::uint64_t> passes_{0};
    std::uint64_t checksRequested_ = 0;
    std::atomic<std::uint64_t> checksAnswered_{0};
    // The journal's cursor: the remote changes up to it are in pending_ or taken.
    QString remoteCursor_;
    // Whether the journal answers; until then, and when it cannot, every pass scans the remote tree.
    std::atomic<bool> journalWorks_{false};

    // Read by any thread, written by the engine's thread (subscriptions also by callers).
    mutable std::mutex stateMutex_;
    enum class Load { loading, loaded, failed };
    Load load_ = Load::loading;
    mutable std::condition_variable loadEnded_;
    std::map<QString, SyncRecord> records_;
    SubscriptionSet subscriptions_;
    bool subscriptionsDirty_ = false;
    std::map<QString, ItemError> errors_;
    std::optional<SyncErrorInfo> globalError_;
    QSet<QString> active_;
    QSet<QString> ignored_;
    QSet<QString> notHeld_;  // the topmost remote items the subscriptions leave out
    QSet<QString> unreadable_;  // paths whose contents the last scans could not see, either side
    std::map<QString, SyncErrorInfo> notSynced_;  // left out, with why; listed, not failing sync
    SyncStatus status_ = SyncStatus::of(SyncStatus::Kind::preparing);
    bool statusReported_ = false;
    bool busy_ = true;

    // The engine's thread only.
    std::unique_ptr<SyncStateStore> store_;
    std::unique_ptr<NodePool> localNodes_ = std::make_unique<NodePool>();
    std::unique_ptr<NodePool> remoteNodes_ = std::make_unique<NodePool>();
    FileTree localTree_{localNodes_.get()};
    FileTree remoteTree_{remoteNodes_.get()};
    // What the trees could not see: nothing at or below these paths is compared, so that an
    // unreadable folder never reads as an emptied one.
    fs::Unreadable localUnknown_;
    fs::Unreadable remoteUnknown_;
    // Local names that are not valid text: never synced, but the user hears of them.
    std::set<QString> localUndecodable_;
    std::map<QString, IgnoreAnswer> ignoreCache_;
    QSet<QString> stale_;
    bool needFullScan_ = true;
    bool temporariesCleaned_ = false;
    QString temporaryTag_;          // in the names of this engine's temp files, kept with the state
    std::set<QString> leftovers_;   // temp files that could not be removed yet (absolute)
    bool lastPassQuiet_ = false;
    bool healthy_ = false;  // the last pass reached both trees: nothing to look at again by itself
    bool lastPlanDone_ = false;  // the last plan was carried out whole (or had nothing to do)
    std::set<QString> lastPlanned_;  // the paths it had steps for
    QString savedCursor_;
    bool settled_ = false;  // idle since the last pass that did work
    // While idle a while, each tree holds only its entries that differ from the records, and the
    // paths of records it has no entry for: an item in step is then known once, by its record.
    const std::chrono::milliseconds compactAfterIdle_;
    std::optional<SteadyClock::time_point> compactAt_;
    bool treesCompact_ = false;
    std::vector<QString> localGone_;
    std::vector<QString> remoteGone_;
    bool lowSpaceReported_ = false;
    int uncommitted_ = 0;
    SyncProgress downloadProgress_;
    SyncProgress uploadProgress_;
    SteadyClock::time_point lastProgress_;

    // Runs transfers; made before the engine's thread and gone after it.
    WorkerPool workers_{transferThreads};
    std::thread thread_;
    std::condition_variable_any remoteWait_;
    std::jthread remoteWatch_;
};

// ---------------------------------------------------------------------------------------------
// Set-up and tear-down

OrvellaSyncEngine::Core::Core(SyncFacadeConfiguration configuration, std::shared_ptr<StorageService> service,
                              const QString& remoteRoot, const QString& dataFolder, Options options)
    : localRoot_(cleanAbsolute(configuration.rootDirectoryLocalURL)),
      remoteRoot_(cleanAbsolute(remoteRoot)),
      delegate_(configuration.syncStatusDelegate),
      conflictSuffix_(configuration.conflictSuffix),
      minimumFreeDiskSpace_(configuration.minimumFreeDiskSpace),
      pollInterval_(std::max(10, options.pollIntervalMs)),
      longPoll_(std::max(10, options.longPollMs)),
      service_(std::move(service)),
      subscriptions_(everything()),
      compactAfterIdle_(std::max(0, options.compactAfterIdleMs)) {
    const QString data = cleanAbsolute(dataFolder);
    if (localRoot_.isEmpty() || remoteRoot_.isEmpty() || data.isEmpty())
        throw std::runtime_error("The sync folder, the remote folder and the data folder are all needed");
    if (localRoot_ == QStringLiteral("/") || fs::relativeTo(localRoot_, remoteRoot_) ||
        fs::relativeTo(remoteRoot_, localRoot_))
        throw std::runtime_error("The sync folder and the remote folder must not contain one another");
    if (fs::makeFolders(data, 0700) != 0)
        throw std::runtime_error("Cannot create the sync data folder " + data.toStdString());

    // Two engines on one state would each take the other's writes for the user's changes.
    const QByteArray lockPath = QFile::encodeName(fs::join(data, QStringLiteral("SyncState.lock")));
    lockFd_ = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) throw std::runtime_error("Cannot open " + lockPath.toStdString());
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(lockFd_);
        throw std::runtime_error("The sync state in " + data.toStdString() + " is in use by another engine");
    }
    if (service_) {
        const QString users = cleanAbsolute(service_->usersFolder());
        if (fs::parentOf(remoteRoot_) == users) userName_ = fs::nameOf(remoteRoot_);
    }
    // The state is opened and read on the engine's thread: with many records that takes long
    // enough to hold up the caller's start.
    statePath_ = fs::join(data, stateFileName());
    thread_ = std::thread([this] { run(); });
}

OrvellaSyncEngine::Core::~Core() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        cancel_ = true;
    }
    wakeUp_.notify_all();
    // The engine's thread first: it is the one that starts the remote watch.
    if (thread_.joinable()) thread_.join();
    if (remoteWatch_.joinable()) {
        remoteWatch_.request_stop();
        remoteWatch_.join();
    }
    store_.reset();
    if (lockFd_ >= 0) ::close(lockFd_);
    OVLOG_INFO(Log::Sync::sync(), QStringLiteral("Sync engine stopped"));
}

bool OrvellaSyncEngine::Core::load() {
    try {
        try {
            openStore();
        } catch (const SqliteError& error) {
            if (!error.isDamage()) throw;
            // Without records both sides are compared as at a first sync, which only copies and
            // keeps both versions of what differs: nothing is deleted for the lost memory.
            store_.reset();
            const QString aside = SyncStateStore::setAside(statePath_);
            OVLOG_WARNING(Log::Sync::persistence(),
                          QStringLiteral("The sync state is damaged (%1); it was set aside as \"%2\" and is rebuilt "
                                         "by comparing both sides")
                              .arg(QString::fromUtf8(error.what()), aside));
            openStore();
        }
    } catch (const std::exception& error) {
        store_.reset();
        OVLOG_ERROR(Log::Sync::persistence(),
                    QStringLiteral("Cannot open the sync state: %1").arg(QString::fromUtf8(error.what())));
        setGlobalError(SyncError::Kind::setupFailure);
        {
            std::lock_guard lock(stateMutex_);
            load_ = Load::failed;
            busy_ = false;
        }
        loadEnded_.notify_all();
        reportStatus(SyncStatus::makeError(SyncError{SyncError::Kind::setupFailure, 0}));
        return false;
    }
    return true;
}

void OrvellaSyncEngine::Core::openStore() {
    store_ = std::make_unique<SyncStateStore>(statePath_);
    // State kept for other folders says nothing about these: start over with a comparison.
    if (store_->value(QStringLiteral("localRoot")) != localRoot_ ||
        store_->value(QStringLiteral("remoteRoot")) != remoteRoot_) {
        store_->removeAllRecords();
        store_->setValue(QStringLiteral("localRoot"), localRoot_);
        store_->setValue(QStringLiteral("remoteRoot"), remoteRoot_);
        store_->setValue(QStringLiteral("localRootId"), QString());
        store_->setValue(QStringLiteral("remoteRootId"), QString());
        store_->setValue(QStringLiteral("remoteCursor"), QString());
    }
    auto records = store_->loadRecords();
    auto items = store_->loadSubscriptions();
    temporaryTag_ = store_->value(QStringLiteral("temporaryTag")).value_or(QString());
    if (temporaryTag_.isEmpty()) {
        static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (int i = 0; i < 8; ++i) temporaryTag_ += QLatin1Char(letters[QRandomGenerator::global()->bounded(36)]);
        store_->setValue(QStringLiteral("temporaryTag"), temporaryTag_);
    }
    store_->commit();
    const std::size_t known = records.size();
    {
        std::lock_guard lock(stateMutex_);
        records_ = std::move(records);
        // Subscriptions the caller set while this was loading are newer than the stored ones.
        if (items && !subscriptionsDirty_) subscriptions_ = SubscriptionSet(std::move(*items));
        load_ = Load::loaded;
    }
    loadEnded_.notify_all();
    OVLOG_INFO(Log::Sync::sync(), QStringLiteral("Sync engine starts on \"%1\" with the remote tree \"%2\" (%3 items known)")
                                      .arg(localRoot_, remoteRoot_)
                                      .arg(known));
}

// Without its state the engine cannot tell a deletion from an item never synced: it syncs nothing
// and drops the changes it hears of, which the comparison at a next start finds again.
void OrvellaSyncEngine::Core::idleUntilStopped() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wakeUp_.wait_for(lock, pollInterval_, [this] { return stop_.load() || wake_; });
        if (stop_) return;
        wake_ = eventsArrived_ = false;
        pending_ = Pending{};
        ++idlePasses_;
        checksAnswered_ = checksRequested_;
    }
}

// ---------------------------------------------------------------------------------------------
// Calls from other threads

std::vector<SelectiveSyncItem> OrvellaSyncEngine::Core::subscriptions() const {
    std::unique_lock lock(stateMutex_);
    // The stored ones are not known before loading ended, unless the caller has set its own since.
    loadEnded_.wait(lock, [this] { return load_ != Load::loading || subscriptionsDirty_; });
    return subscriptions_.items();
}

void OrvellaSyncEngine::Core::setSubscriptions(const std::vector<SelectiveSyncItem>& items) {
    {
        std::lock_guard lock(stateMutex_);
        subscriptions_ = SubscriptionSet(items);
        subscriptionsDirty_ = true;
    }
    OVLOG_INFO(Log::Sync::selectiveSync(), QStringLiteral("%1 subscriptions set").arg(items.size()));
    {
        std::lock_guard lock(mutex_);
        wake_ = true;
    }
    wakeUp_.notify_all();
}

std::vector<SyncErrorInfo> OrvellaSyncEngine::Core::syncErrors() const {
    std::lock_guard lock(stateMutex_);
    std::vector<SyncErrorInfo> list;
    if (globalError_) list.push_back(*globalError_);
    for (const auto& [path, error] : errors_) list.push_back(error.info);
    for (const auto& [path, info] : notSynced_) list.push_back(info);
    std::stable_sort(list.begin(), list.end(),
                     [](const SyncErrorInfo& a, const SyncErrorInfo& b) { return a.date < b.date; });
    return list;
}

void OrvellaSyncEngine::Core::triggerSync() {
    {
        std::lock_guard lock(mutex_);
        pending_.fullScan = true;
        pending_.clearBackoff = true;
        wake_ = true;
    }
    wakeUp_.notify_all();
}

void OrvellaSyncEngine::Core::setSyncEnabled(bool enabled) {
    {
        std::lock_guard lock(mutex_);
        enabled_ = enabled;
        cancel_ = !enabled || stop_;
        if (enabled) pending_.fullScan = true;
        wake_ = true;
    }
    OVLOG_INFO(Log::Sync::syncFlow(), enabled ? QStringLiteral("Sync resumed") : QStringLiteral("Sync paused"));
    wakeUp_.notify_all();
}

OVItemSyncStatus OrvellaSyncEngine::Core::itemSyncStatus(const QString& path) const {
    const auto relative = fs::relativeTo(localRoot_, QDir::cleanPath(path));
    if (!relative) return OVItemSyncStatus::ignored;
    const auto entry = relative->isEmpty() ? std::nullopt : fs::stat(path);
    std::lock_guard lock(stateMutex_);
    // Until the records are read nothing can be told to be in step.
    if (load_ == Load::loading) return OVItemSyncStatus::syncing;
    if (load_ == Load::failed) return OVItemSyncStatus::error;
    if (relative->isEmpty()) {
        if (busy_) return OVItemSyncStatus::syncing;
        return globalError_ || !errors_.empty() ? OVItemSyncStatus::error : OVItemSyncStatus::synced;
    }
    if (fs::isTemporaryName(fs::nameOf(*relative))) return OVItemSyncStatus::ignored;
    if (errors_.count(*relative)) return OVItemSyncStatus::error;
    for (QString p = *relative; !unreadable_.isEmpty(); p = fs::parentOf(p)) {
        if (unreadable_.contains(p)) return OVItemSyncStatus::error;
        if (p.isEmpty()) break;
    }
    if (active_.contains(*relative)) return OVItemSyncStatus::syncing;
    for (QString p = *relative;; p = fs::parentOf(p)) {
        if (ignored_.contains(p)) return OVItemSyncStatus::ignored;
        if (p.isEmpty() || !p.contains(QLatin1Char('/'))) break;
    }
    if (entry && entry->type == FsEntry::Type::other) return OVItemSyncStatus::ignored;
    const auto record = records_.find(*relative);
    const bool known = record != records_.end();
    bool held = true;
    if (entry) held = subscriptions_.contains(*relative, entry->isDirectory());
    else if (known) held = subscriptions_.contains(*relative, record->second.isDirectory());
    for (QString p = *relative; held && !p.isEmpty(); p = fs::parentOf(p))
        if (notHeld_.contains(p)) held = false;
    if (!held && (!entry || known)) return OVItemSyncStatus::selectivelyNotSynced;
    if (known && entry && entry->sameVersion(record->second.local)) return OVItemSyncStatus::synced;
    return OVItemSyncStatus::syncing;
}

SyncStatus OrvellaSyncEngine::Core::currentStatus() const {
    std::lock_guard lock(stateMutex_);
    return status_;
}

void OrvellaSyncEngine::Core::localChange(const QString& path) {
    const auto relative = fs::relativeTo(localRoot_, QDir::cleanPath(path));
    if (!relative) return;
    if (relative->isEmpty()) return requestFullScan();
    {
        std::lock_guard lock(mutex_);
        pending_.paths.insert(*relative);
        eventsArrive();
    }
    wakeUp_.notify_all();
}

void OrvellaSyncEngine::Core::localMove(const QString& from, const QString& to) {
    const auto source = from.isEmpty() ? std::nullopt : fs::relativeTo(localRoot_, QDir::cleanPath(from));
    const auto target = to.isEmpty() ? std::nullopt : fs::relativeTo(localRoot_, QDir::cleanPath(to));
    if ((source && source->isEmpty()) || (target && target->isEmpty())) return requestFullScan();
    {
        std::lock_guard lock(mutex_);
        if (source) pending_.paths.insert(*source);
        if (target) pending_.paths.insert(*target);
        if (source && target) pending_.moves.emplace_back(*source, *target);
        eventsArrive();
    }
    wakeUp_.notify_all();
}

void OrvellaSyncEngine::Core::permissionChange(const QString& path) {
    // A changed permission can turn an ignored (unreadable, read-only) item into a syncable one and
    // unblock a folder an earlier write failed in: the dirty path clears both memories.
    localChange(path);
}

void OrvellaSyncEngine::Core::requestFullScan() {
    {
        std::lock_guard lock(mutex_);
        pending_.fullScan = true;
        eventsArrive();
    }
    wakeUp_.notify_all();
}

// ---------------------------------------------------------------------------------------------
// The engine's thread

std::uint64_t OrvellaSyncEngine::Core::requestCheck() {
    std::uint64_t number = 0;
    {
        std::lock_guard lock(mutex_);
        number = ++checksRequested_;
        wake_ = true;
    }
    wakeUp_.notify_all();
    return number;
}

void OrvellaSyncEngine::Core::run() {
    reportStatus(SyncStatus::of(SyncStatus::Kind::preparing));
    if (!load()) return idleUntilStopped();
    {
        std::lock_guard lock(mutex_);
        remoteCursor_ = savedCursor_ = store_->value(QStringLiteral("remoteCursor")).value_or(QString());
    }
    // Asked only now, so that the journal is followed from the cursor kept with the state; once
    // before the first pass, whose whole scan then counts as the one the journal needs after a
    // reset instead of a second one.
    if (!userName_.isEmpty()) {
        fetchRemoteChanges(std::chrono::milliseconds(0), {});
        remoteWatch_ = std::jthread([this](std::stop_token stop) { watchRemote(stop); });
    }
    bool again = true;
    bool firstPass = true;
    std::optional<SteadyClock::time_point> wakeAt;
    std::uint64_t checking = 0;  // the latest check a pass since the last idle one took
    for (;;) {
        Pending pending;
        std::uint64_t check = 0;
        {
            std::unique_lock lock(mutex_);
            const auto woken = [this] { return stop_.load() || wake_; };
            while (!again) {
                auto until = wakeAt;
                if (compactAt_ && (!until || *compactAt_ < *until)) until = compactAt_;
                if (until) wakeUp_.wait_until(lock, *until, woken);
                else wakeUp_.wait(lock, woken);
                if (woken() || !compactAt_ || SteadyClock::now() < *compactAt_) break;
                // Idle long enough: no pass, only the trees let go of what is in step.
                lock.unlock();
                compactTrees();
                lock.lock();
            }
            if (stop_) break;
            // Changes come in bursts: a short pause after the first lets one pass take the whole
            // burst. Those that came while a pass was busy have waited already; the first pass
            // looks at everything anyway.
            if (eventsArrived_ && !firstPass)
                wakeUp_.wait_until(lock, firstEventAt_ + std::chrono::milliseconds(settleMs), [this] { return stop_.load(); });
            firstPass = false;
            if (stop_) break;
            check = checksRequested_;
        }
        // A check covers the remote changes made before it was asked for, also those the journal
        // has not handed over yet.
        if (check > checking && journalWorks_) fetchRemoteChanges(std::chrono::milliseconds(0), {});
        {
            std::lock_guard lock(mutex_);
            // A check asked for since `check` was read is not this pass's: its wake-up stays.
            wake_ = checksRequested_ > check;
            eventsArrived_ = false;
            pending = std::move(pending_);
            pending_ = Pending{};
            pending.cursor = remoteCursor_;
        }
        checking = std::max(checking, check);
        ++passes_;
        try {
            again = pass(pending);
        } catch (const std::exception& error) {
            keepPending(pending);
            OVLOG_ERROR(Log::Sync::persistence(), QStringLiteral("Sync pass failed: %1").arg(QString::fromUtf8(error.what())));
            setGlobalError(SyncError::Kind::setupFailure);
            {
                std::lock_guard lock(stateMutex_);
                busy_ = false;
            }
            reportStatus(SyncStatus::makeError(SyncError{SyncError::Kind::setupFailure, 0}));
            needFullScan_ = true;
            healthy_ = false;
            again = false;
            ++idlePasses_;
        }
        if (!again) {
            checksAnswered_ = checking;
            wakeAt = nextLook();
        }
    }
    try {
        store_->commit();
    } catch (const std::exception& error) {
        OVLOG_ERROR(Log::Sync::persistence(), QStringLiteral("Cannot write the sync state: %1").arg(QString::fromUtf8(error.what())));
    }
}

// When to look again without being told of a change: never while the journal reports every remote
// change and nothing waits; at the next retry of a failed item; soon while something is away,
// unreadable or in error, or the remote tree has to be polled.
std::optional<SteadyClock::time_point> OrvellaSyncEngine::Core::nextLook() {
    const auto now = SteadyClock::now();
    const auto soon = now + pollInterval_;
    if (!journalWorks_ || !healthy_ || !localUnknown_.empty() || !remoteUnknown_.empty()) return soon;
    std::optional<SteadyClock::time_point> next;
    std::lock_guard lock(stateMutex_);
    if (globalError_ || !unreadable_.isEmpty()) return soon;
    for (const auto& [path, error] : errors_) {
        const auto at = std::max(error.retryAt, soon);
        if (!next || at < *next) next = at;
    }
    return next;
}

// The remote changes, asked for on a thread of its own so that a question waiting for the next
// change never holds up a pass.
void OrvellaSyncEngine::Core::watchRemote(std::stop_token stop) {
    std::mutex pause;
    while (!stop.stop_requested()) {
        if (fetchRemoteChanges(longPoll_, stop)) continue;
        std::unique_lock lock(pause);
        remoteWait_.wait_for(lock, stop, pollInterval_, [] { return false; });
    }
}

// Takes the changes after the cursor into the pending ones; false when the journal could not be
// asked. Two callers may ask at once: the later answer to the same cursor is dropped.
bool OrvellaSyncEngine::Core::fetchRemoteChanges(std::chrono::milliseconds timeout, std::stop_token stop) {
    QString cursor;
    {
        std::lock_guard lock(mutex_);
        cursor = remoteCursor_;
    }
    const auto answer = service_->changesOfUser(userName_, cursor, timeout, std::move(stop));
    if (!answer) {
        // Away, the engine finds out by itself; without a journal it has to poll the remote tree.
        if (answer.error() != ServiceError::noConnection && journalWorks_.exchange(false))
            OVLOG_WARNING(Log::Sync::remoteChangesListener(),
                          QStringLiteral("Remote changes cannot be followed (%1); the remote tree is polled")
                              .arg(answer.failure().message));
        return false;
    }
    const ServiceChanges& changes = answer.value();
    bool news = changes.reset || !changes.paths.isEmpty();
    {
        std::lock_guard lock(mutex_);
        if (remoteCursor_ != cursor) return true;
        remoteCursor_ = changes.cursor;
        if (!journalWorks_.exchange(true)) {
            // The tree is known from this cursor on only after a scan that starts after it.
            pending_.remoteFullScan = true;
            news = true;
        }
        if (changes.reset) pending_.remoteFullScan = true;
        for (const QString& path : changes.paths) {
            if (path.isEmpty()) pending_.remoteFullScan = true;
            else pending_.remotePaths.insert(path);
        }
        if (news) eventsArrive();
    }
    if (news) wakeUp_.notify_all();
    return true;
}

bool OrvellaSyncEngine::Core::pass(Pending& pending) {
    const bool rescans = pending.fullScan || pending.remoteFullScan || needFullScan_;
    const bool worked = work(pending);
    keepPending(pending);
    if (worked) {
        settled_ = false;
        compactAt_.reset();
    } else {
        if (!settled_ || rescans) settle();
        if (!treesCompact_ && !compactAt_) compactAt_ = SteadyClock::now() + compactAfterIdle_;
        if (compactAfterIdle_.count() == 0) compactTrees();
        ++idlePasses_;
    }
    return worked;
}

void OrvellaSyncEngine::Core::compactTrees() {
    compactAt_.reset();
    if (treesCompact_) return;
    // Read without the lock: only this thread changes the records.
    keepDifferences(localTree_, localNodes_, records_, &SyncRecord::local, localGone_);
    keepDifferences(remoteTree_, remoteNodes_, records_, &SyncRecord::remote, remoteGone_);
    treesCompact_ = true;
    ::malloc_trim(0);
}

// Before anything looks at the trees; the records have not changed since they were compacted.
void OrvellaSyncEngine::Core::restoreTrees() {
    if (!treesCompact_) return;
    restoreEntries(localTree_, records_, &SyncRecord::local, localGone_);
    restoreEntries(remoteTree_, records_, &SyncRecord::remote, remoteGone_);
    treesCompact_ = false;
}

// Once the engine goes idle after loading, scanning or work, each path's text is kept once for
// the records and both trees, and the heap a busy pass left free (scans, plans, the transfer
// threads' arenas), which glibc keeps mapped, goes back to the system.
void OrvellaSyncEngine::Core::settle() {
    const std::size_t shared = fs::shareKeys(localTree_, records_) + fs::shareKeys(remoteTree_, records_);
    if (!settled_ || shared) ::malloc_trim(0);
    settled_ = true;
}

// Scans key the trees with the records' strings: a path in step is then stored once, and no
// copy is made only to be dropped when the engine settles.
fs::KeySource OrvellaSyncEngine::Core::recordKeys() const {
    // Only the engine's thread changes the records, and only it scans.
    return [this](const QString& path) -> const QString* {
        const auto it = records_.find(path);
        return it == records_.end() ? nullptr : &it->first;
    };
}

// Changes a pass could not take (paused, offline, a root away) wait for the next one.
void OrvellaSyncEngine::Core::keepPending(Pending& pending) {
    if (pending.paths.isEmpty() && pending.moves.empty() && !pending.fullScan && !pending.clearBackoff &&
        pending.remotePaths.isEmpty() && !pending.remoteFullScan)
        return;
    std::lock_guard lock(mutex_);
    pending_.paths.unite(pending.paths);
    pending_.remotePaths.unite(pending.remotePaths);
    pending_.remoteFullScan = pending_.remoteFullScan || pending.remoteFullScan;
    // The kept moves happened first.
    pending.moves.insert(pending.moves.end(), pending_.moves.begin(), pending_.moves.end());
    pending_.moves = std::move(pending.moves);
    pending_.fullScan = pending_.fullScan || pending.fullScan;
    pending_.clearBackoff = pending_.clearBackoff || pending.clearBackoff;
    pending = Pending{};
}

bool OrvellaSyncEngine::Core::work(Pending& pending) {
    healthy_ = false;
    if (!enabled_) {
        needFullScan_ = true;
        healthy_ = true;  // resuming wakes the engine
        reportStatus(SyncStatus::of(SyncStatus::Kind::paused));
        return false;
    }
    if (service_ && !service_->isReachable()) {
        needFullScan_ = true;
        reportStatus(SyncStatus::of(SyncStatus::Kind::offline));
        return false;
    }
    restoreTrees();
    if (!checkRoots()) return false;

    if (pending.clearBackoff) clearBackoff(QString());
    for (const QString& path : std::as_const(pending.paths)) clearBackoff(path);
    // An event can only name an item whose name is not valid text by a look-alike that does not
    // exist; the whole scan finds the real one and lists it.
    const bool namesUndecodable = std::any_of(pending.paths.begin(), pending.paths.end(), [](const QString& path) {
        return path.contains(QChar::ReplacementCharacter);
    });
    const bool fullScan = pending.fullScan || needFullScan_ || namesUndecodable;
    const bool dirty = !pending.paths.isEmpty() || !pending.moves.empty() || !stale_.isEmpty();
    std::vector<QString> localTemporaries, remoteTemporaries;
    const bool firstScan = !temporariesCleaned_;
    int localError = 0;
    std::set<QString> scope;  // the paths that changed, when not everything is looked at
    if (fullScan) {
        localTree_.clear();
        localUnknown_.clear();
        std::vector<QString> undecodable;
        localError = fs::scan(localRoot_, QString(), localTree_, localUnknown_, firstScan ? &localTemporaries : nullptr,
                              &undecodable, recordKeys());
        localUndecodable_ = std::set<QString>(undecodable.begin(), undecodable.end());
        needFullScan_ = false;
        stale_.clear();
    } else {
        QSet<QString> paths = pending.paths;
        paths.unite(stale_);
        stale_.clear();
        // Folders that could not be read are looked at again, so that sync resumes once they can be.
        for (const auto& [path, error] : localUnknown_) paths.insert(path);
        findMovedAway(applyDirty(localSide(), paths), pending.moves);
        scope.insert(paths.begin(), paths.end());
    }
    bool remoteChanged = false;
    int remoteError = 0;
    const bool remoteFullScan = fullScan || pending.remoteFullScan || !journalWorks_;
    if (remoteFullScan) {
        FileTree previousRemote = std::move(remoteTree_);
        remoteTree_.clear();
        remoteUnknown_.clear();
        remoteError = fs::scan(remoteRoot_, QString(), remoteTree_, remoteUnknown_, firstScan ? &remoteTemporaries : nullptr,
                               nullptr, recordKeys());
        remoteChanged = remoteTree_ != previousRemote;
    } else if (fs::stat(remoteRoot_, &remoteError)) {
        // The root is looked at as a scan would, so that a tree gone away is never taken for an
        // unchanged one.
        QSet<QString> paths = pending.remotePaths;
        for (const auto& [path, error] : remoteUnknown_) paths.insert(path);
        remoteChanged = applyRemoteDirty(paths);
        scope.insert(paths.begin(), paths.end());
    }
    if (!rootsReadable(localError, remoteError)) return false;
    healthy_ = true;
    noteUnreadable();
    if (firstScan) {
        temporariesCleaned_ = true;
        // Nothing of this engine is being written before its first pass: what is there was left by
        // an interrupted run. Remotely another client might still be writing into its own, unless
        // they are old.
        removeTemporaries(localRoot_, localTemporaries, std::chrono::seconds(0));
        removeTemporaries(remoteRoot_, remoteTemporaries, std::chrono::hours(24));
    } else if (!leftovers_.empty()) {
        removeLeftovers();
    }

    SubscriptionSet subscriptions;
    bool subscriptionsChanged = false;
    {
        std::lock_guard lock(stateMutex_);
        subscriptionsChanged = subscriptionsDirty_;
        if (subscriptionsDirty_) {
            store_->saveSubscriptions(subscriptions_.items());
            subscriptionsDirty_ = false;
        }
        subscriptions = subscriptions_;
    }
    for (const auto& [from, to] : pending.moves) {
        scope.insert(from);
        scope.insert(to);
    }
    applyMoves(pending.moves);
    // Taken: from here on what is left to do lives in the trees and in the stale paths. A restart
    // asks the journal from here on.
    if (pending.cursor != savedCursor_) {
        store_->setValue(QStringLiteral("remoteCursor"), pending.cursor);
        savedCursor_ = pending.cursor;
    }
    pending = Pending{};

    // Quiet: nothing changed on either side since a pass that found nothing to do.
    if (!fullScan && !dirty && lastPassQuiet_ && !remoteChanged &&
        !subscriptionsChanged && !hasPendingErrors()) {
        reportStatus(idleStatus());
        return false;
    }
    // A pass costs what changed: unless everything was looked at, or the last plan was not carried
    // out whole, only the changed paths are planned, with what failed before (to retry it).
    bool wholeTree = fullScan || remoteFullScan || subscriptionsChanged || !lastPlanDone_;
    {
        std::lock_guard lock(stateMutex_);
        wholeTree = wholeTree || globalError_;
        for (const auto& [path, error] : errors_) scope.insert(path);
        scope.insert(unreadable_.begin(), unreadable_.end());
    }
    // A step may end undone without an error (a folder kept for what it still holds): what the
    // last plan meant to do is looked at again.
    scope.merge(lastPlanned_);
    lastPlanned_.clear();
    for (auto it = scope.begin(); it != scope.end();) {
        bool covered = false;
        for (QString p = fs::parentOf(*it); !covered && !it->isEmpty(); p = fs::parentOf(p)) {
            covered = scope.count(p) > 0;
            if (p.isEmpty()) break;
        }
        it = covered ? scope.erase(it) : std::next(it);
    }
    wholeTree = wholeTree || scope.count(QString());
    std::vector<Planned> steps = plan(subscriptions, wholeTree ? nullptr : &scope);
    for (const Planned& item : steps) lastPlanned_.insert(item.path);
    lastPassQuiet_ = steps.empty();
    lastPlanDone_ = true;
    if (steps.empty()) {
        store_->commit();
        {
            std::lock_guard lock(stateMutex_);
            busy_ = false;
        }
        reportStatus(idleStatus());
        return false;
    }
    lastPlanDone_ = execute(steps);
    store_->commit();
    {
        std::lock_guard lock(stateMutex_);
        if (subscriptionsDirty_) {
            store_->saveSubscriptions(subscriptions_.items());
            subscriptionsDirty_ = false;
            store_->commit();
        }
    }
    return true;
}

bool OrvellaSyncEngine::Core::checkRoots() {
    const auto root = fs::stat(localRoot_);
    if (!root || !root->isDirectory()) {
        needFullScan_ = true;
        setGlobalError(SyncError::Kind::rootDirectoryNotFound);
        reportStatus(idleStatus());
        return false;
    }
    int error = 0;
    if (!fs::stat(remoteRoot_, &error)) {
        // A missing remote tree is only made anew while nothing is known to be in it; otherwise
        // its absence would read as "everything deleted".
        bool empty = false;
        {
            std::lock_guard lock(stateMutex_);
            empty = records_.empty();
        }
        if (!fs::meansGone(error) || !empty || (error = fs::makeFolders(remoteRoot_, remoteFolderMode)) != 0) {
            serviceUnreachable(error);
            return false;
        }
    }
    {
        std::lock_guard lock(stateMutex_);
        if (globalError_ && (globalError_->error.kind == SyncError::Kind::rootDirectoryNotFound ||
                             globalError_->error.kind == SyncError::Kind::setupFailure))
            globalError_.reset();
    }
    checkIdentity(QStringLiteral("localRootId"), localRoot_);
    checkIdentity(QStringLiteral("remoteRootId"), remoteRoot_);
    return true;
}

// The sync folder is there but the remote tree is not: the service is away, not the folder.
void OrvellaSyncEngine::Core::serviceUnreachable(int error) {
    if (currentStatus().kind != SyncStatus::Kind::offline)
        OVLOG_WARNING(Log::Sync::sync(), QStringLiteral("The remote tree \"%1\" cannot be reached (%2); changes wait until it can")
                                             .arg(remoteRoot_, QString::fromUtf8(std::strerror(error))));
    reportStatus(SyncStatus::of(SyncStatus::Kind::offline));
}

void OrvellaSyncEngine::Core::checkIdentity(const QString& key, const QString& path) {
    const auto identity = identityOf(path);
    if (!identity) return;
    const auto stored = store_->value(key);
    if (stored && *stored == *identity) return;
    if (stored && !stored->isEmpty()) {
        // The folder was replaced (deleted and made anew, or another one mounted there): what was
        // in step with the old one must not turn into deletions on the other side.
        OVLOG_WARNING(Log::Sync::persistence(),
                      QStringLiteral("\"%1\" is not the folder it was; comparing both sides afresh").arg(path));
        std::lock_guard lock(stateMutex_);
        records_.clear();
        store_->removeAllRecords();
        needFullScan_ = true;
    }
    store_->setValue(key, *identity);
    store_->commit();
}

// Looks at the remote paths the journal named again; whether anything differs from before.
bool OrvellaSyncEngine::Core::applyRemoteDirty(QSet<QString>& paths) {
    if (paths.isEmpty()) return false;
    // The topmost paths' subtrees hold every path's and do not overlap: walked in the same order
    // before and after, they compare item by item. The engine's own uploads come back this way,
    // 100,000 at a time after a first sync.
    const QStringList tops = topmostOf(paths);
    std::size_t count = 0;
    for (const QString& path : tops) forEachInSubtree(remoteTree_, path, [&](const QString&, const FsEntry&) { ++count; });
    // Sized first: a change over the whole tree must not grow the copy by doubling.
    std::vector<std::pair<QString, FsEntry>> before;
    before.reserve(count);
    for (const QString& path : tops)
        forEachInSubtree(remoteTree_, path, [&](const QString& item, const FsEntry& entry) { before.emplace_back(item, entry); });
    const std::size_t size = remoteTree_.size();
    QSet<QString> widened;
    applyDirty(remoteSide(), tops, widened);
    if (!widened.isEmpty()) {
        paths.unite(widened);
        return true;
    }
    if (remoteTree_.size() != size) return true;
    std::size_t at = 0;
    bool changed = false;
    for (const QString& path : tops)
        forEachInSubtree(remoteTree_, path, [&](const QString& item, const FsEntry& entry) {
            changed = changed || at >= before.size() || before[at].first != item || !(before[at].second == entry);
            ++at;
        });
    return changed || at != before.size();
}

// The paths, sorted, without those inside another of them.
QStringList OrvellaSyncEngine::Core::topmostOf(const QSet<QString>& paths) {
    QStringList tops;
    tops.reserve(paths.size());
    for (const QString& path : paths) {
        bool covered = false;
        for (QString p = fs::parentOf(path); !p.isEmpty() && !covered; p = fs::parentOf(p)) covered = paths.contains(p);
        if (!covered) tops.append(path);
    }
    std::sort(tops.begin(), tops.end());
    return tops;
}

std::vector<QString> OrvellaSyncEngine::Core::applyDirty(Side side, QSet<QString>& paths) {
    QSet<QString> widened;
    auto seen = applyDirty(side, topmostOf(paths), widened);
    paths.unite(widened);
    return seen;
}

// Returns the paths it found present, the subtrees of rescanned folders included. `tops` as
// topmostOf gives them: a folder's own rescan sees what lies inside it.
std::vector<QString> OrvellaSyncEngine::Core::applyDirty(Side side, const QStringList& tops, QSet<QString>& widened) {
    FileTree& tree = side.tree;
    fs::Unreadable& unknown = side.unknown;
    std::vector<QString> seen;
    // A file that became a folder at once, or a folder a file: the changes may name only what
    // lies inside, so the item itself is looked at again from there.
    QSet<QString> retyped;
    const auto notAFolderOnTheWay = [&](const QString& path, bool look) -> std::optional<QString> {
        QStringList ancestors;
        for (QString p = fs::parentOf(path); !p.isEmpty(); p = fs::parentOf(p)) ancestors.prepend(p);
        for (const QString& ancestor : std::as_const(ancestors)) {
            const auto known = tree.find(ancestor);
            if (known != tree.end() && !known->second.isDirectory()) return ancestor;
            if (!look) continue;
            const auto now = fs::stat(fs::join(side.root, ancestor));
            if (!now) return std::nullopt;
            if (!now->isDirectory()) return ancestor;
        }
        return std::nullopt;
    };
    for (const QString& path : tops) {
        if (const auto folder = notAFolderOnTheWay(path, false)) {
            retyped.insert(*folder);
            continue;
        }
        fs::eraseSubtree(tree, path);
        fs::eraseSubtree(unknown, path);
        if (fs::isTemporaryName(fs::nameOf(path))) continue;
        int error = 0;
        const auto entry = fs::stat(fs::join(side.root, path), &error);
        if (!entry) {
            if (error == ENOTDIR) {
                if (const auto folder = notAFolderOnTheWay(path, true)) retyped.insert(*folder);
            } else if (!fs::meansGone(error)) {
                unknown[path] = error;
            }
            continue;
        }
        // The folders on the way down, when the events never named them.
        QStringList ancestors;
        for (QString p = fs::parentOf(path); !p.isEmpty(); p = fs::parentOf(p)) ancestors.prepend(p);
        bool reachable = true;
        for (const QString& ancestor : std::as_const(ancestors)) {
            if (tree.count(ancestor)) continue;
            const auto folder = fs::stat(fs::join(side.root, ancestor), &error);
            if (!folder || !folder->isDirectory()) {
                if (!folder && !fs::meansGone(error)) unknown[ancestor] = error;
                reachable = false;
                break;
            }
            tree[ancestor] = *folder;
        }
        if (!reachable) continue;
        tree[path] = *entry;
        if (entry->isDirectory()) {
            std::vector<QString> undecodable;
            fs::scan(side.root, path, tree, unknown, nullptr, side.undecodable ? &undecodable : nullptr, recordKeys());
            if (side.undecodable) {
                std::erase_if(*side.undecodable, [&](const QString& name) { return fs::isInside(name, path); });
                side.undecodable->insert(undecodable.begin(), undecodable.end());
            }
        }
        forEachInSubtree(tree, path, [&](const QString& item, const FsEntry&) { seen.push_back(item); });
    }
    if (retyped.isEmpty()) return seen;
    OVLOG_DEBUG(Log::Sync::syncDecision(), QStringLiteral("%1 items changed their kind").arg(retyped.size()));
    widened.unite(retyped);
    const auto more = applyDirty(side, topmostOf(retyped), widened);
    // What the second look took again, or found gone, is listed once, as it is now.
    std::erase_if(seen, [&](const QString& path) {
        return !tree.count(path) ||
               std::any_of(retyped.begin(), retyped.end(), [&](const QString& folder) { return fs::isInside(path, folder); });
    });
    seen.insert(seen.end(), more.begin(), more.end());
    return seen;
}

// An item that turns up under a new name while its old name still looks present was moved
// without the old name being told (a chain of quick moves can hide it, say files moved into a
// folder that is renamed at once): the old name is looked at again, and the pair tried as a move.
void OrvellaSyncEngine::Core::findMovedAway(const std::vector<QString>& seen,
                                            std::vector<std::pair<QString, QString>>& moves) {
    std::map<std::uint64_t, QString> arrived;  // inode -> new path, of items not in step under it
    {
        std::lock_guard lock(stateMutex_);
        for (const QString& path : seen) {
            const FsEntry& entry = localTree_.at(path);
            if (entry.type != FsEntry::Type::other && !records_.count(path)) arrived.emplace(entry.inode, path);
        }
    }
    if (arrived.empty()) return;
    std::vector<std::pair<QString, FsEntry>> candidates;  // old path, its entry when last in step
    {
        std::lock_guard lock(stateMutex_);
        for (const auto& [path, record] : records_) {
            const auto it = arrived.find(record.local.inode);
            if (it == arrived.end() || !localTree_.count(path)) continue;
            if (localTree_.at(it->second).type == record.local.type) candidates.emplace_back(path, record.local);
        }
    }
    QSet<QString> movedAway;
    for (const auto& [from, before] : candidates) {
        const auto now = fs::stat(local(from));
        if (now && now->inode == before.inode) continue;  // still there: a second link, not a move
        movedAway.insert(from);
        moves.emplace_back(from, arrived.at(before.inode));
    }
    if (movedAway.isEmpty()) return;
    OVLOG_DEBUG(Log::Sync::syncDecision(), QStringLiteral("%1 items were moved away unnoticed").arg(movedAway.size()));
    applyDirty(localSide(), movedAway);
}

// A root that cannot be read (or vanished since it was checked) holds nothing the pass could
// compare: it waits for the next one, never taking the root for an emptied one.
bool OrvellaSyncEngine::Core::rootsReadable(int localError, int remoteError) {
    if (!localError && !remoteError) return true;
    needFullScan_ = true;
    if (localError) {
        OVLOG_ERROR(Log::Sync::sync(), QStringLiteral("Cannot read \"%1\": %2")
                                           .arg(localRoot_, QString::fromUtf8(std::strerror(localError))));
        setGlobalError(SyncError::Kind::rootDirectoryNotFound);
        reportStatus(idleStatus());
    } else {
        serviceUnreachable(remoteError);
    }
    return false;
}

// Tells which folders cannot be read (once each, until they can), as errors of their paths.
void OrvellaSyncEngine::Core::noteUnreadable() {
    std::map<QString, std::pair<bool, int>> now;  // path -> (remote side, errno)
    for (const auto& [path, error] : localUnknown_) now.emplace(path, std::pair{false, error});
    for (const auto& [path, error] : remoteUnknown_) now.emplace(path, std::pair{true, error});
    QSet<QString> before;
    {
        std::lock_guard lock(stateMutex_);
        if (now.empty() && unreadable_.isEmpty()) return;
        before = unreadable_;
    }
    QSet<QString> paths;
    for (const auto& [path, side] : now) {
        paths.insert(path);
        if (before.contains(path)) continue;
        const auto& [remoteSide, error] = side;
        OVLOG_WARNING(Log::Sync::sync(), QStringLiteral("Cannot read \"%1\" %2 (%3): nothing in it is synced until it can be")
                                             .arg(path, remoteSide ? QStringLiteral("remotely") : QStringLiteral("locally"),
                                                  QString::fromUtf8(std::strerror(error))));
        {
            std::lock_guard lock(stateMutex_);
            ItemError& entry = errors_[path];
            entry.info = SyncErrorInfo{QDateTime::currentDateTimeUtc(), path,
                                       SyncError{remoteSide ? SyncError::Kind::itemIsReadonlyOnRemote
                                                            : SyncError::Kind::itemIsUnreadable,
                                                 0}};
            unreadable_.insert(path);
        }
        reportItem(path, OVItemSyncStatus::error);
    }
    for (const QString& path : std::as_const(before)) {
        if (paths.contains(path)) continue;
        {
            std::lock_guard lock(stateMutex_);
            unreadable_.remove(path);
        }
        OVLOG_INFO(Log::Sync::sync(), QStringLiteral("\"%1\" can be read again").arg(path));
        resolveError(path);
    }
}

void OrvellaSyncEngine::Core::applyMoves(const std::vector<std::pair<QString, QString>>& moves) {
    for (const auto& [from, to] : moves) {
        if (from == to || fs::isSameOrBelow(to, from) || localTree_.count(from)) continue;
        const auto moved = localTree_.find(to);
        if (moved == localTree_.end() || moved->second.type == FsEntry::Type::other) continue;
        std::optional<SyncRecord> base;
        {
            std::lock_guard lock(stateMutex_);
            if (auto it = records_.find(from); it != records_.end()) base = it->second;
            if (records_.count(to)) continue;
        }
        if (!base || base->local.type != moved->second.type) continue;
        if (moved->second.isFile() && moved->second.inode != base->local.inode) continue;
        if (remoteTree_.count(to)) continue;
        const QString parent = fs::parentOf(to);
        if (!parent.isEmpty()) {
            const auto folder = remoteTree_.find(parent);
            if (folder == remoteTree_.end() || !folder->second.isDirectory()) continue;
        }
        if (isIgnored(to, moved->second)) continue;
        if (!moveRemote(from, to)) continue;
        {
            std::lock_guard lock(stateMutex_);
            if (!subscriptions_.contains(to, moved->second.isDirectory()) && moved->second.isDirectory() &&
                subscriptions_.add(to))
                subscriptionsDirty_ = true;
        }
        reportItem(to, OVItemSyncStatus::synced);
    }
}

// Renames on the remote side what the user renamed locally, instead of uploading it again, when
// the remote item (with everything below it) is still the version last in step.
bool OrvellaSyncEngine::Core::moveRemote(const QString& from, const QString& to) {
    std::map<QString, SyncRecord> records;
    {
        std::lock_guard lock(stateMutex_);
        bool occupied = false;
        forEachInSubtree(records_, from, [&](const QString& path, const SyncRecord& record) { records.emplace(path, record); });
        forEachInSubtree(records_, to, [&](const QString&, const SyncRecord&) { occupied = true; });
        if (occupied) return false;
    }
    std::size_t remoteCount = 0;
    bool unchanged = true;
    forEachInSubtree(remoteTree_, from, [&](const QString& path, const FsEntry& entry) {
        const auto record = records.find(path);
        if (record == records.end() || !entry.sameVersion(record->second.remote)) unchanged = false;
        ++remoteCount;
    });
    forEachInSubtree(remoteTree_, to, [&](const QString&, const FsEntry&) { unchanged = false; });
    if (!unchanged || remoteCount != records.size()) return false;
    if (fs::writableFolderError(QFileInfo(remote(from)).absolutePath()) ||
        fs::writableFolderError(QFileInfo(remote(to)).absolutePath()))
        return false;
    if (const int error = fs::renameNoReplace(remote(from), remote(to))) {
        OVLOG_INFO(Log::Sync::syncDecision(), QStringLiteral("Cannot move \"%1\" to \"%2\" remotely (%3); copying instead")
                                                  .arg(from, to, QString::fromUtf8(std::strerror(error))));
        return false;
    }
    OVLOG_INFO(Log::Sync::syncDecision(), QStringLiteral("Moved \"%1\" to \"%2\" remotely").arg(from, to));
    rekey(remoteTree_, from, to);
    {
        std::lock_guard lock(stateMutex_);
        rekey(records_, from, to);
    }
    for (const auto& [path, record] : records) {
        store_->removeRecord(path);
        store_->putRecord(to + path.mid(from.size()), record);
        noteStoreChange();
    }
    return true;
}

// Walks the three trees together (local, remote, last in step) and decides per path.
std::vector<OrvellaSyncEngine::Core::Planned> OrvellaSyncEngine::Core::plan(const SubscriptionSet& subscriptions,
                                                                           const std::set<QString>* scope) {
    std::vector<Planned> steps;
    // Read without the lock: this thread is the only one that changes the records, and planning
    // changes none.
    const auto& records = records_;
    QSet<QString> skipped;
    QSet<QString> notHeld;
    std::map<QString, SyncError::Kind> notSynced;
    for (const QString& path : localUndecodable_) notSynced.emplace(path, SyncError::Kind::invalidItemName);
    const auto insideNotHeld = [&](const QString& path) {
        for (QString p = fs::parentOf(path); !p.isEmpty(); p = fs::parentOf(p))
            if (notHeld.contains(p)) return true;
        return false;
    };
    const auto insideSkipped = [&](const QString& path) {
        for (QString p = fs::parentOf(path); !p.isEmpty(); p = fs::parentOf(p))
            if (skipped.contains(p)) return true;
        return false;
    };
    const auto now = SteadyClock::now();
    std::optional<std::int64_t> localRoom = fs::freeSpace(localRoot_);
    if (localRoom) *localRoom -= minimumFreeDiskSpace_;
    bool lowSpace = false;
    bool quotaLooked = false;
    std::optional<std::int64_t> remoteRoom;

    const auto visit = [&](const QString& path, const std::optional<FsEntry>& localEntry,
                           const std::optional<FsEntry>& remoteEntry, const std::optional<SyncRecord>& base) {
        if (fs::isUnknown(localUnknown_, path) || fs::isUnknown(remoteUnknown_, path)) return;
        if (!skipped.isEmpty() && insideSkipped(path)) return;
        if (localEntry && localEntry->type == FsEntry::Type::other) {
            // Links and special files are never followed nor synced.
            markIgnored(path, true);
            return;
        }
        if (remoteEntry && remoteEntry->type == FsEntry::Type::other) return;
        if ((localEntry && localChanged(localEntry, base)) || (!localEntry && !base && remoteEntry)) {
            if (isIgnored(path, localEntry)) {
                markIgnored(path, true);
                skipped.insert(path);
                // Hidden files are left out by choice; one its owner cannot read would be lost
                // silently, so the user hears of it.
                if (localEntry && !fs::isReadable(local(path))) notSynced.emplace(path, SyncError::Kind::itemIsUnreadable);
                return;
            }
            markIgnored(path, false);
        }
        const bool isDirectory = localEntry    ? localEntry->isDirectory()
                                 : remoteEntry ? remoteEntry->isDirectory()
                                               : base && base->isDirectory();
        const bool subscribed = subscriptions.contains(path, isDirectory);
        if (!subscribed && remoteEntry && !insideNotHeld(path)) notHeld.insert(path);
        SyncStep step = decide(localEntry, remoteEntry, base, subscribed);
        if (step.action == SyncAction::removeUnsubscribed && localEntry->isDirectory() && keepsItems(path)) step = {};
        if (step == SyncStep{}) {
            resolveError(path);
            return;
        }
        if (inBackoff(path, now)) return;

        const bool downloads = step.action == SyncAction::download ||
                               (step.action == SyncAction::resolveBothChanged && remoteEntry->isFile());
        if (downloads && localRoom) {
            if (*localRoom < remoteEntry->size) {
                lowSpace = true;
                return;
            }
            *localRoom -= remoteEntry->size;
        }
        if (step.action == SyncAction::upload && !userName_.isEmpty()) {
            if (!quotaLooked) {
                quotaLooked = true;
                const auto quota = service_->quotaOfUser(userName_);
                if (quota) remoteRoom = quota.value().free;
            }
            const std::int64_t growth = localEntry->size - (remoteEntry && remoteEntry->isFile() ? remoteEntry->size : 0);
            if (remoteRoom && growth > 0) {
                if (growth > *remoteRoom) {
                    failItem(path, SyncError::Kind::insufficientRemoteStorage, 0);
                    return;
                }
                *remoteRoom -= growth;
            }
        }
        OVLOG_DEBUG(Log::Sync::syncDecision(), QStringLiteral("\"%1\": %2%3")
                                                   .arg(path, step.removal == SyncAction::none
                                                                  ? QString()
                                                                  : actionName(step.removal) + QStringLiteral(", then "),
                                                        actionName(step.action)));
        steps.push_back(Planned{path, step, localEntry, remoteEntry, base, subscribed});
    };
    // The three trees together, in path order, from the given positions up to (not including) `end`
    // (none: to their ends).
    const auto walk = [&](const QString& from, const std::optional<QString>& end) {
        auto l = localTree_.lower_bound(from);
        auto r = remoteTree_.lower_bound(from);
        auto b = records.lower_bound(from);
        const auto lEnd = end ? localTree_.lower_bound(*end) : localTree_.end();
        const auto rEnd = end ? remoteTree_.lower_bound(*end) : remoteTree_.end();
        const auto bEnd = end ? records.lower_bound(*end) : records.end();
        while (l != lEnd || r != rEnd || b != bEnd) {
            const QString* next = nullptr;
            for (const QString* candidate : {l != lEnd ? &l->first : nullptr, r != rEnd ? &r->first : nullptr,
                                             b != bEnd ? &b->first : nullptr})
                if (candidate && (!next || *candidate < *next)) next = candidate;
            const QString path = *next;
            std::optional<FsEntry> localEntry, remoteEntry;
            std::optional<SyncRecord> base;
            if (l != lEnd && l->first == path) localEntry = (l++)->second;
            if (r != rEnd && r->first == path) remoteEntry = (r++)->second;
            if (b != bEnd && b->first == path) base = (b++)->second;
            visit(path, localEntry, remoteEntry, base);
        }
    };
    // With a scope, only its paths with everything below them, and the folders above them (which
    // the decisions below depend on), are looked at: nothing else changed since the last plan.
    QSet<QString> visitedAlone;
    const auto inScope = [&](const QString& path) {
        for (QString p = path;; p = fs::parentOf(p)) {
            if (scope->count(p)) return true;
            if (p.isEmpty()) return false;
        }
    };
    const auto visitAlone = [&](const QString& path) {
        visitedAlone.insert(path);
        std::optional<FsEntry> localEntry, remoteEntry;
        std::optional<SyncRecord> base;
        if (auto it = localTree_.find(path); it != localTree_.end()) localEntry = it->second;
        if (auto it = remoteTree_.find(path); it != remoteTree_.end()) remoteEntry = it->second;
        if (auto it = records.find(path); it != records.end()) base = it->second;
        if (localEntry || remoteEntry || base) visit(path, localEntry, remoteEntry, base);
    };
    if (!scope) {
        walk(QString(), std::nullopt);
    } else {
        for (const QString& top : *scope) {
            QStringList above;
            for (QString p = fs::parentOf(top); !p.isEmpty(); p = fs::parentOf(p)) above.prepend(p);
            for (const QString& folder : std::as_const(above))
                if (!visitedAlone.contains(folder) && !inScope(folder)) visitAlone(folder);
            visitAlone(top);
            // Everything that starts with "top/" sorts before "top0".
            walk(top + QLatin1Char('/'), top + QLatin1Char('0'));
        }
    }

    {
        std::lock_guard lock(stateMutex_);
        if (scope) {
            // What the plan did not look at stays as the last one found it.
            const auto looked = [&](const QString& path) { return visitedAlone.contains(path) || inScope(path); };
            for (const QString& path : std::as_const(notHeld_))
                if (!looked(path)) notHeld.insert(path);
            for (const auto& [path, info] : notSynced_)
                if (info.error.kind == SyncError::Kind::itemIsUnreadable && !looked(path))
                    notSynced.emplace(path, info.error.kind);
        }
        notHeld_ = std::move(notHeld);
        // An item keeps the date it was first left out on.
        std::map<QString, SyncErrorInfo> listed;
        for (const auto& [path, kind] : notSynced) {
            const auto before = notSynced_.find(path);
            listed[path] = before != notSynced_.end() && before->second.error.kind == kind
                ? before->second
                : SyncErrorInfo{QDateTime::currentDateTimeUtc(), path, SyncError{kind, 0}};
        }
        notSynced_ = std::move(listed);
    }
    if (lowSpace) {
        setGlobalError(SyncError::Kind::insufficientLocalStorage);
        if (!lowSpaceReported_) {
            lowSpaceReported_ = true;
            OVLOG_WARNING(Log::Sync::download(), QStringLiteral("Not enough free disk space to download"));
            sendEvent(SyncEvent{SyncEvent::Kind::notEnoughDiskSpace, {}, {}, MoveActionRevertReason::regularItem});
        }
    } else {
        lowSpaceReported_ = false;
        std::lock_guard lock(stateMutex_);
        if (globalError_ && globalError_->error.kind == SyncError::Kind::insufficientLocalStorage) globalError_.reset();
    }
    return steps;
}

bool OrvellaSyncEngine::Core::execute(std::vector<Planned>& steps) {
    downloadProgress_ = {};
    uploadProgress_ = {};
    for (const Planned& item : steps) {
        if (item.step.action == SyncAction::upload) uploadProgress_.total += item.local->size;
        if (item.step.action == SyncAction::download ||
            (item.step.action == SyncAction::resolveBothChanged && item.remote->isFile()))
            downloadProgress_.total += item.remote->size;
    }
    {
        std::lock_guard lock(stateMutex_);
        busy_ = true;
    }
    OVLOG_INFO(Log::Sync::syncFlow(), QStringLiteral("Syncing %1 items (%2 bytes down, %3 bytes up)")
                                          .arg(steps.size())
                                          .arg(downloadProgress_.total)
                                          .arg(uploadProgress_.total));
    reportStatus(SyncStatus::syncing(true));
    reportProgress(true);

    // Removals first and deepest first, so that folders are empty when their turn comes.
    QSet<QString> blocked;
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        if (interrupted()) return false;
        if (it->step.removal != SyncAction::none && !remove(*it, it->step.removal, true)) blocked.insert(it->path);
        if (isRemoval(it->step.action)) remove(*it, it->step.action, false);
    }
    // Then everything else, parents first; file transfers in batches that run side by side.
    std::vector<const Planned*> batch;
    for (const Planned& item : steps) {
        if (interrupted()) return false;
        if (item.step.action == SyncAction::none || isRemoval(item.step.action) || blocked.contains(item.path)) continue;
        if (item.step.action == SyncAction::upload || item.step.action == SyncAction::download) {
            batch.push_back(&item);
            if (batch.size() >= transferBatch) transferAll(batch);
            continue;
        }
        // New folders and records touch none of the files waiting in the batch, which lie
        // elsewhere; anything else waits for the batch to be done.
        const bool leavesBatchAlone =
            item.step.action == SyncAction::createRemoteFolder || item.step.action == SyncAction::createLocalFolder ||
            item.step.action == SyncAction::recordInSync || item.step.action == SyncAction::forget;
        if (!batch.empty() && !leavesBatchAlone) transferAll(batch);
        perform(item);
        reportProgress(false);
    }
    if (!batch.empty()) {
        if (interrupted()) return false;
        transferAll(batch);
    }
    downloadProgress_.isFinished = true;
    uploadProgress_.isFinished = true;
    reportProgress(true);
    reportStatus(SyncStatus::finishing(downloadProgress_, uploadProgress_));
    return true;
}

bool OrvellaSyncEngine::Core::hasPendingErrors() const {
    std::lock_guard lock(stateMutex_);
    return globalError_ || !errors_.empty();
}

// This engine's own temp files go whatever their age; another writer's only once they are old.
void OrvellaSyncEngine::Core::removeTemporaries(const QString& root, const std::vector<QString>& paths,
                                                std::chrono::seconds minimumAge) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const QString own = fs::temporaryNamePrefix(temporaryTag_);
    for (const QString& path : paths) {
        const QString absolute = fs::join(root, path);
        const auto entry = fs::stat(absolute);
        if (!entry || !entry->isFile()) continue;
        if (!fs::nameOf(path).startsWith(own) && now - std::chrono::nanoseconds(entry->mtimeNs) < minimumAge) continue;
        leftovers_.insert(absolute);
    }
    removeLeftovers();
}

// Temp files whose removal failed (the service went away mid-transfer) go once it is back.
void OrvellaSyncEngine::Core::removeLeftovers() {
    for (auto it = leftovers_.begin(); it != leftovers_.end();) {
        if (!fs::removeTemporary(*it)) {
            ++it;
            continue;
        }
        OVLOG_INFO(Log::Sync::sync(), QStringLiteral("Removed the abandoned temp file \"%1\"").arg(*it));
        it = leftovers_.erase(it);
    }
}

bool OrvellaSyncEngine::Core::interrupted() const {
    return stop_ || !enabled_ || (service_ && !service_->isReachable());
}

bool OrvellaSyncEngine::Core::remove(const Planned& item, SyncAction action, bool clearingTheWay) {
    const QString& path = item.path;
    if (path.isEmpty()) return false;  // the sync folder itself is never removed
    const bool onRemote = action == SyncAction::deleteRemote;
    const std::optional<FsEntry>& entry = onRemote ? item.remote : item.local;
    if (!entry) return true;
    const QString absolute = onRemote ? remote(path) : local(path);
    FileTree& tree = onRemote ? remoteTree_ : localTree_;
    int error = 0;
    if (!fs::stat(absolute, &error)) {
        if (fs::meansGone(error)) error = 0;  // already gone
    } else if (entry->isDirectory()) {
        error = fs::writableFolderError(QFileInfo(absolute).absolutePath());
        if (!error && ::rmdir(QFile::encodeName(absolute).constData()) != 0 && errno != ENOENT) error = errno;
        if (error == ENOTEMPTY || error == EEXIST) {
            // Something inside came back or stays (changed, new, ignored): keep the folder. Unless
            // it is only no longer held, the other side gets it again.
            if (action != SyncAction::removeUnsubscribed) dropRecord(path);
            return false;
        }
    } else {
        error = fs::removeFileIfUnchanged(absolute, *entry);
        if (error == ESTALE) {
            // Changed since the comparison: it is looked at again, never deleted unseen.
            markStale(path);
            return false;
        }
    }
    if (error) {
        failItem(path, onRemote ? remoteWriteError(error) : localWriteError(error), error);
        return false;
    }
    OVLOG_DEBUG(Log::Sync::syncLoopAction(),
               QStringLiteral("Removed \"%1\" %2").arg(path, onRemote ? QStringLiteral("remotely") : QStringLiteral("locally")));
    fs::eraseSubtree(tree, path);
    if (!clearingTheWay) dropRecord(path);
    if (action == SyncAction::removeUnsubscribed) reportItem(path, OVItemSyncStatus::selectivelyNotSynced);
    return true;
}

void OrvellaSyncEngine::Core::perform(const Planned& item) {
    switch (item.step.action) {
    case SyncAction::createRemoteFolder: return createRemoteFolder(item);
    case SyncAction::createLocalFolder: return createLocalFolder(item.path, *item.remote);
    case SyncAction::recordInSync:
        setRecord(item.path, SyncRecord{*item.local, *item.remote});
        if (!item.base && !item.subscribed) subscribeFolder(item.path);
        reportItem(item.path, OVItemSyncStatus::synced);
        return;
    case SyncAction::forget: dropRecord(item.path); return;
    case SyncAction::resolveBothChanged: return resolveBothChanged(item);
    default: return;
    }
}

std::optional<OrvellaSyncEngine::Core::Transfer> OrvellaSyncEngine::Core::prepareUpload(const Planned& item,
                                                                                       Folders& folders) {
    const QString& path = item.path;
    reportItem(path, OVItemSyncStatus::syncing);
    if (!prepareTargetFolder(path, true, folders)) return std::nullopt;
    Transfer transfer{path, true, local(fs::parentOf(path)), remote(fs::parentOf(path)), *item.local, std::nullopt, {}};
    // A remote folder the local file replaces is gone by now (removals come first).
    if (item.step.removal != SyncAction::deleteRemote) transfer.expectedTarget = item.remote;
    return transfer;
}

std::optional<OrvellaSyncEngine::Core::Transfer> OrvellaSyncEngine::Core::prepareDownload(
    const QString& path, const FsEntry& remoteEntry, const std::optional<FsEntry>& expectedLocal, Folders& folders) {
    reportItem(path, OVItemSyncStatus::syncing);
    if (expectedLocal && expectedLocal->isFile() && !(expectedLocal->mode & S_IWUSR)) {
        failItem(path, SyncError::Kind::itemIsReadonlyOnLocalFS, EACCES);
        return std::nullopt;
    }
    if (!prepareTargetFolder(path, false, folders)) return std::nullopt;
    return Transfer{path, false, remote(fs::parentOf(path)), local(fs::parentOf(path)), remoteEntry, expectedLocal, {}};
}

bool OrvellaSyncEngine::Core::prepareTargetFolder(const QString& path, bool upload, Folders& folders) {
    const QString parent = fs::parentOf(path);
    const QString absolute = upload ? remote(parent) : local(parent);
    const auto folder = folders.open(absolute);
    // A folder the tree saw and that is gone now was removed meanwhile: it is not made again, and
    // the copy fails for it.
    if (folder->isOpen() || !fs::meansGone(folder->error()) || knownFolder(upload ? remoteTree_ : localTree_, parent))
        return true;
    const int error = fs::makeFolders(absolute, upload ? remoteFolderMode : localFolderMode, upload ? remoteRoot_ : localRoot_);
    if (error) {
        failItem(path, upload ? remoteWriteError(error) : localWriteError(error), error);
        return false;
    }
    folders.reopen(absolute);
    return true;
}

// Only files are touched here, so several transfers may run at once on other threads.
void OrvellaSyncEngine::Core::runTransfer(Transfer& transfer, Folders& folders) const {
    const QString name = fs::nameOf(transfer.path);
    const auto source = folders.open(transfer.sourceFolder);
    const auto target = folders.open(transfer.targetFolder);
    transfer.result = fs::copyAtomically(*source, name, transfer.expectedSource, *target, name, transfer.expectedTarget,
                                         cancel_, temporaryTag_);
}

bool OrvellaSyncEngine::Core::finishTransfer(const Transfer& transfer, bool lastTry) {
    const QString& path = transfer.path;
    const fs::TransferResult& result = transfer.result;
    if (!result.leftover.isEmpty()) leftovers_.insert(result.leftover);
    switch (result.outcome) {
    case fs::Outcome::done:
        if (transfer.upload) {
            remoteTree_[path] = result.written;
            setRecord(path, SyncRecord{transfer.expectedSource, result.written});
            uploadProgress_.completed += transfer.expectedSource.size;
        } else {
            localTree_[path] = result.written;
            setRecord(path, SyncRecord{result.written, transfer.expectedSource});
            downloadProgress_.completed += transfer.expectedSource.size;
        }
        OVLOG_DEBUG(Log::Sync::syncLoopAction(), QStringLiteral("%1 \"%2\" (%3 bytes)")
                                                     .arg(transfer.upload ? QStringLiteral("Uploaded") : QStringLiteral("Downloaded"), path)
                                                     .arg(transfer.expectedSource.size));
        reportItem(path, OVItemSyncStatus::synced);
        return true;
    case fs::Outcome::sourceChanged:
    case fs::Outcome::targetChanged:
    case fs::Outcome::cancelled:
        // Changed while it was being copied: looked at again with what it is now.
        markStale(path);
        return true;
    case fs::Outcome::failed:
        // Out of descriptors is the process's shortage, not the item's fault.
        if (!lastTry && fs::meansOutOfDescriptors(result.error)) return false;
        failItem(path, transfer.upload ? remoteWriteError(result.error) : localWriteError(result.error), result.error);
        return true;
    }
    return true;
}

void OrvellaSyncEngine::Core::transferAll(std::vector<const Planned*>& batch) {
    // Each copy holds two descriptors while it runs, and the folder handles one each; what the
    // process has left decides how many of both, so that a low limit slows a batch down instead of
    // failing it.
    const std::size_t spare = fs::freeDescriptors().value_or(1024);
    const std::size_t reserve = 16;  // for the state, the scans and everything else of the process
    const std::size_t budget = spare > reserve ? spare - reserve : 0;
    const std::size_t parallel = std::clamp<std::size_t>(budget / 8, 1, transferThreads);
    Folders folders(std::clamp<std::size_t>((budget - std::min(budget, 2 * parallel)) / 2, 2, maxFolderHandles));
    std::vector<Transfer> transfers;
    transfers.reserve(batch.size());
    for (const Planned* item : batch) {
        auto transfer = item->step.action == SyncAction::upload
                            ? prepareUpload(*item, folders)
                            : prepareDownload(item->path, *item->remote,
                                              item->step.removal == SyncAction::deleteLocal ? std::nullopt : item->local,
                                              folders);
        if (transfer) transfers.push_back(std::move(*transfer));
    }
    batch.clear();

    // Writers in one folder wait for each other on its lock: the threads take slices of different
    // folders in turn, and the folders' own order is kept within each.
    std::map<QString, std::vector<std::size_t>> byFolder;
    std::vector<std::vector<std::size_t>*> order;
    for (std::size_t i = 0; i < transfers.size(); ++i) {
        auto& items = byFolder[transfers[i].targetFolder];
        if (items.empty()) order.push_back(&items);
        items.push_back(i);
    }
    std::vector<std::pair<std::size_t, std::size_t>> slices;  // (first, end) in `queue`
    std::vector<std::size_t> queue;
    queue.reserve(transfers.size());
    for (std::size_t round = 0; queue.size() < transfers.size(); ++round) {
        for (const auto* items : order) {
            const std::size_t first = round * transferSlice;
            if (first >= items->size()) continue;
            const std::size_t end = std::min(items->size(), first + transferSlice);
            slices.emplace_back(queue.size(), queue.size() + end - first);
            queue.insert(queue.end(), items->begin() + std::ptrdiff_t(first), items->begin() + std::ptrdiff_t(end));
        }
    }

    std::counting_semaphore<transferThreads> running{std::ptrdiff_t(parallel)};
    std::vector<std::size_t> short_;  // ran out of descriptors: tried again, one at a time
    workers_.run(
        slices.size(),
        [&](std::size_t slice) {
            running.acquire();
            try {
                for (std::size_t i = slices[slice].first; i < slices[slice].second; ++i)
                    runTransfer(transfers[queue[i]], folders);
            } catch (...) {
                running.release();
                throw;
            }
            running.release();
        },
        [&](std::size_t slice, std::exception_ptr thrown) {
            for (std::size_t i = slices[slice].first; i < slices[slice].second; ++i) {
                Transfer& transfer = transfers[queue[i]];
                // A transfer the failure cut short has no outcome of its own yet.
                if (thrown && transfer.result.outcome == fs::Outcome::failed && !transfer.result.error)
                    transfer.result.error = EIO;
                if (!finishTransfer(transfer, false)) short_.push_back(queue[i]);
            }
            if (thrown) {
                try {
                    std::rethrow_exception(thrown);
                } catch (const std::exception& error) {
                    OVLOG_ERROR(Log::Sync::sync(), QStringLiteral("A transfer failed: %1").arg(QString::fromUtf8(error.what())));
                } catch (...) {
                    OVLOG_ERROR(Log::Sync::sync(), QStringLiteral("A transfer failed"));
                }
            }
            reportProgress(false);
        });
    if (!short_.empty()) {
        // With the other copies done and all but one folder let go, each gets what is left; only
        // a shortage that remains then is the item's error.
        OVLOG_WARNING(Log::Sync::sync(), QStringLiteral("%1 transfers ran out of file descriptors; they are tried again "
                                                        "one at a time")
                                             .arg(short_.size()));
        folders.setLimit(2);
        for (const std::size_t i : short_) {
            if (interrupted()) break;
            runTransfer(transfers[i], folders);
            finishTransfer(transfers[i], true);
            reportProgress(false);
        }
    }
    reportProgress(false);
}

void OrvellaSyncEngine::Core::download(const QString& path, const FsEntry& remoteEntry,
                                       const std::optional<FsEntry>& expectedLocal) {
    Folders folders(2);
    auto transfer = prepareDownload(path, remoteEntry, expectedLocal, folders);
    if (!transfer) return;
    runTransfer(*transfer, folders);
    finishTransfer(*transfer, true);
}

void OrvellaSyncEngine::Core::createRemoteFolder(const Planned& item) {
    const QString& path = item.path;
    const QString target = remote(path);
    int error = fs::writableFolderError(QFileInfo(target).absolutePath());
    if (error == ENOENT) error = fs::makeFolders(QFileInfo(target).absolutePath(), remoteFolderMode, remoteRoot_);
    if (!error) error = fs::makeFolders(target, remoteFolderMode, remoteRoot_);
    const auto created = error ? std::nullopt : fs::stat(target);
    if (!created) return failItem(path, remoteWriteError(error ? error : ENOENT), error);
    remoteTree_[path] = *created;
    setRecord(path, SyncRecord{*item.local, *created});
    if (!item.subscribed) subscribeFolder(path);
    OVLOG_DEBUG(Log::Sync::upload(), QStringLiteral("Created the folder \"%1\" remotely").arg(path));
    reportItem(path, OVItemSyncStatus::synced);
}

void OrvellaSyncEngine::Core::createLocalFolder(const QString& path, const FsEntry& remoteEntry) {
    const QString target = local(path);
    int error = fs::writableFolderError(QFileInfo(target).absolutePath());
    if (error == ENOENT) error = fs::makeFolders(QFileInfo(target).absolutePath(), localFolderMode, localRoot_);
    if (!error) error = fs::makeFolders(target, localFolderMode, localRoot_);
    const auto created = error ? std::nullopt : fs::stat(target);
    if (!created) return failItem(path, localWriteError(error ? error : ENOENT), error);
    localTree_[path] = *created;
    setRecord(path, SyncRecord{*created, remoteEntry});
    OVLOG_DEBUG(Log::Sync::download(), QStringLiteral("Created the folder \"%1\" locally").arg(path));
    reportItem(path, OVItemSyncStatus::synced);
}

void OrvellaSyncEngine::Core::resolveBothChanged(const Planned& item) {
    const QString& path = item.path;
    const FsEntry& localEntry = *item.local;
    const FsEntry& remoteEntry = *item.remote;
    if (localEntry.isFile() && remoteEntry.isFile() && localEntry.size == remoteEntry.size &&
        fs::sameContent(local(path), remote(path))) {
        const auto localNow = fs::stat(local(path));
        const auto remoteNow = fs::stat(remote(path));
        if (!localNow || !remoteNow || !localNow->sameVersion(localEntry) || !remoteNow->sameVersion(remoteEntry))
            return markStale(path);
        setRecord(path, SyncRecord{localEntry, remoteEntry});
        reportItem(path, OVItemSyncStatus::synced);
        return;
    }

    // Both versions stay: the local one moves aside under the conflict name and is uploaded as a
    // new item; the remote one takes the original name.
    const QString parent = fs::parentOf(path);
    const QString name = fs::nameOf(path);
    QString copyPath;
    for (int number = 1; number < 1000 && copyPath.isEmpty(); ++number) {
        const QString candidate = childPath(parent, conflictCopyName(name, conflictSuffix_, localEntry.isDirectory(), number));
        bool known = false;
        {
            std::lock_guard lock(stateMutex_);
            known = records_.count(candidate) > 0;
        }
        int error = 0;
        if (!known && !remoteTree_.count(candidate) && !fs::stat(local(candidate), &error) && fs::meansGone(error))
            copyPath = candidate;
    }
    if (copyPath.isEmpty()) return failItem(path, SyncError::Kind::itemIsInReadonlyDirectory, EEXIST);
    if (const int error = fs::writableFolderError(QFileInfo(local(path)).absolutePath()))
        return failItem(path, SyncError::Kind::itemIsInReadonlyDirectory, error);
    const auto localNow = fs::stat(local(path));
    if (!localNow || !localNow->sameVersion(localEntry)) return markStale(path);
    if (const int error = fs::renameNoReplace(local(path), local(copyPath))) {
        if (error == EEXIST) return markStale(path);
        return failItem(path, SyncError::Kind::itemIsInReadonlyDirectory, error);
    }
    const QString copyName = fs::nameOf(copyPath);
    OVLOG_INFO(Log::Sync::conflictCopy(), QStringLiteral("\"%1\" changed on both sides; the local version is now \"%2\"")
                                              .arg(path, copyName));
    rekey(localTree_, path, copyPath);
    markStale(copyPath);
    sendEvent(SyncEvent{SyncEvent::Kind::localItemRenamed, name, copyName, MoveActionRevertReason::regularItem});
    reportItem(copyPath, OVItemSyncStatus::syncing);
    if (remoteEntry.isDirectory()) createLocalFolder(path, remoteEntry);
    else download(path, remoteEntry, std::nullopt);
}

// ---------------------------------------------------------------------------------------------
// Helpers of the engine's thread

bool OrvellaSyncEngine::Core::keepsItems(const QString& folder) const {
    const QString prefix = folder + QLatin1Char('/');
    std::lock_guard lock(stateMutex_);
    for (auto it = localTree_.lower_bound(prefix); it != localTree_.end() && it->first.startsWith(prefix); ++it) {
        const auto record = records_.find(it->first);
        if (record == records_.end() || !it->second.sameVersion(record->second.local)) return true;
    }
    return false;
}

bool OrvellaSyncEngine::Core::isIgnored(const QString& path, const std::optional<FsEntry>& localEntry) {
    if (!delegate_) return false;
    if (auto it = ignoreCache_.find(path); it != ignoreCache_.end() && it->second.entry == localEntry)
        return it->second.ignored;
    const bool ignored = delegate_->shouldIgnoreItem(local(path));
    ignoreCache_[path] = IgnoreAnswer{localEntry, ignored};
    return ignored;
}

void OrvellaSyncEngine::Core::markIgnored(const QString& path, bool ignored) {
    {
        std::lock_guard lock(stateMutex_);
        if (ignored == ignored_.contains(path)) return;
        if (ignored) ignored_.insert(path);
        else ignored_.remove(path);
    }
    if (ignored) {
        OVLOG_DEBUG(Log::Sync::localItem(), QStringLiteral("\"%1\" is ignored").arg(path));
        if (delegate_) delegate_->itemStatusChanged(local(path), OVItemSyncStatus::ignored);
    }
}

void OrvellaSyncEngine::Core::subscribeFolder(const QString& path) {
    std::lock_guard lock(stateMutex_);
    if (subscriptions_.add(path)) {
        subscriptionsDirty_ = true;
        OVLOG_INFO(Log::Sync::selectiveSync(), QStringLiteral("The new local folder \"%1\" is kept locally").arg(path));
    }
}

bool OrvellaSyncEngine::Core::inBackoff(const QString& path, SteadyClock::time_point now) const {
    std::lock_guard lock(stateMutex_);
    const auto it = errors_.find(path);
    return it != errors_.end() && it->second.retryAt > now;
}

void OrvellaSyncEngine::Core::clearBackoff(const QString& below) {
    std::lock_guard lock(stateMutex_);
    for (auto& [path, error] : errors_)
        if (fs::isSameOrBelow(path, below)) error.retryAt = {};
}

void OrvellaSyncEngine::Core::setRecord(const QString& path, const SyncRecord& record) {
    {
        std::lock_guard lock(stateMutex_);
        if (const auto it = records_.find(path); it != records_.end()) {
            it->second = record;
        } else {
            // The key stays as long as the item: not with the room a path built by appending has spare.
            records_.emplace(path.capacity() > path.size() ? QString(path.constData(), path.size()) : path, record);
        }
        errors_.erase(path);
    }
    ignoreCache_.erase(path);
    store_->putRecord(path, record);
    noteStoreChange();
}

void OrvellaSyncEngine::Core::dropRecord(const QString& path) {
    {
        std::lock_guard lock(stateMutex_);
        if (!records_.erase(path)) return;
        errors_.erase(path);
    }
    store_->removeRecord(path);
    noteStoreChange();
}

void OrvellaSyncEngine::Core::noteStoreChange() {
    if (++uncommitted_ < commitEvery) return;
    uncommitted_ = 0;
    store_->commit();
}

void OrvellaSyncEngine::Core::markStale(const QString& path) { stale_.insert(path); }

void OrvellaSyncEngine::Core::reportStatus(const SyncStatus& status) {
    {
        std::lock_guard lock(stateMutex_);
        if (statusReported_ && status_ == status) return;
        status_ = status;
        statusReported_ = true;
    }
    OVLOG_DEBUG(Log::Sync::sync(), QStringLiteral("Sync status: ") + describe(status));
    if (delegate_) delegate_->syncStatusChanged(status);
}

void OrvellaSyncEngine::Core::reportProgress(bool force) {
    const auto now = SteadyClock::now();
    if (!force && now - lastProgress_ < std::chrono::milliseconds(progressIntervalMs)) return;
    lastProgress_ = now;
    reportStatus(SyncStatus::progress(downloadProgress_, uploadProgress_, true));
}

void OrvellaSyncEngine::Core::reportItem(const QString& path, OVItemSyncStatus status) {
    {
        std::lock_guard lock(stateMutex_);
        if (status == OVItemSyncStatus::syncing) active_.insert(path);
        else active_.remove(path);
        if (status != OVItemSyncStatus::ignored) ignored_.remove(path);
    }
    OVLOG_DEBUG(Log::Sync::itemStatus(), QStringLiteral("\"%1\": %2").arg(path, itemSyncStatusWord(status)));
    if (delegate_) delegate_->itemStatusChanged(local(path), status);
}

void OrvellaSyncEngine::Core::failItem(const QString& path, SyncError::Kind kind, int error) {
    {
        std::lock_guard lock(stateMutex_);
        ItemError& entry = errors_[path];
        entry.info = SyncErrorInfo{QDateTime::currentDateTimeUtc(), path, SyncError{kind, 0}};
        entry.attempts = std::min(entry.attempts + 1, 7);
        // 1, 2, 4 ... 60 s between attempts, so a lasting failure does not spin.
        entry.retryAt = SteadyClock::now() + std::min(std::chrono::milliseconds(60000),
                                                      std::chrono::milliseconds(1000LL << (entry.attempts - 1)));
    }
    markStale(path);
    OVLOG_ERROR(Log::Sync::errorConversion(),
                QStringLiteral("\"%1\" could not be synced: %2").arg(path, error ? QString::fromUtf8(std::strerror(error)) : QStringLiteral("no room")));
    reportItem(path, OVItemSyncStatus::error);
}

void OrvellaSyncEngine::Core::resolveError(const QString& path) {
    bool had = false;
    {
        std::lock_guard lock(stateMutex_);
        had = errors_.erase(path) > 0;
    }
    if (had && fs::stat(local(path))) reportItem(path, OVItemSyncStatus::synced);
}

void OrvellaSyncEngine::Core::setGlobalError(std::optional<SyncError::Kind> kind) {
    std::lock_guard lock(stateMutex_);
    if (!kind) {
        globalError_.reset();
        return;
    }
    if (globalError_ && globalError_->error.kind == *kind) return;
    globalError_ = SyncErrorInfo{QDateTime::currentDateTimeUtc(), std::nullopt, SyncError{*kind, 0}};
}

SyncStatus OrvellaSyncEngine::Core::idleStatus() const {
    std::lock_guard lock(stateMutex_);
    if (globalError_) return SyncStatus::makeError(globalError_->error);
    const ItemError* latest = nullptr;
    for (const auto& [path, error] : errors_)
        if (!latest || latest->info.date < error.info.date) latest = &error;
    if (latest) return SyncStatus::makeError(latest->info.error);
    return SyncStatus::of(SyncStatus::Kind::upToDate);
}

void OrvellaSyncEngine::Core::sendEvent(const SyncEvent& event) {
    if (delegate_) delegate_->handle(event);
}

// ---------------------------------------------------------------------------------------------
// The facade

OrvellaSyncEngine::OrvellaSyncEngine(SyncFacadeConfiguration configuration, std::shared_ptr<StorageService> service,
                                     const QString& remoteRootPath, const QString& dataFolderPath)
    : OrvellaSyncEngine(std::move(configuration), std::move(service), remoteRootPath, dataFolderPath, Options{}) {}

OrvellaSyncEngine::OrvellaSyncEngine(SyncFacadeConfiguration configuration, std::shared_ptr<StorageService> service,
                                     const QString& remoteRootPath, const QString& dataFolderPath, Options options)
    : core_(std::make_unique<Core>(std::move(configuration), std::move(service), remoteRootPath, dataFolderPath,
                                   options)) {}

OrvellaSyncEngine::~OrvellaSyncEngine() = default;

QString OrvellaSyncEngine::stateFileName() { return QStringLiteral("SyncState.sqlite"); }

void OrvellaSyncEngine::configureProcessHeap() {
    // Every thread that allocates (transfers, remote changes, the journal) would get a glibc arena
    // of its own, each keeping its free pages between passes: with one, the idle size stays flat.
    ::mallopt(M_ARENA_MAX, 1);
    // Fixed, so that glibc does not raise them after the first large buffer is freed: large
    // temporary buffers are mapped and unmapped, and free heap at the top goes back soon.
    ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    ::mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
}

std::vector<SelectiveSyncItem> OrvellaSyncEngine::subscriptions() const { return core_->subscriptions(); }
void OrvellaSyncEngine::setSubscriptions(const std::vector<SelectiveSyncItem>& items) { core_->setSubscriptions(items); }
std::vector<SyncErrorInfo> OrvellaSyncEngine::syncErrors() const { return core_->syncErrors(); }
void OrvellaSyncEngine::triggerSync() { core_->triggerSync(); }
void OrvellaSyncEngine::setSyncEnabled(bool enabled) { core_->setSyncEnabled(enabled); }
OVItemSyncStatus OrvellaSyncEngine::itemSyncStatus(const QString& path) const { return core_->itemSyncStatus(path); }
SyncStatus OrvellaSyncEngine::currentStatus() const { return core_->currentStatus(); }
std::uint64_t OrvellaSyncEngine::idlePassCount() const { return core_->idlePassCount(); }
std::uint64_t OrvellaSyncEngine::passCount() const { return core_->passCount(); }
std::uint64_t OrvellaSyncEngine::requestCheck() { return core_->requestCheck(); }
std::uint64_t OrvellaSyncEngine::checkedCount() const { return core_->checkedCount(); }

void OrvellaSyncEngine::fileChanged(const QString& path) { core_->localChange(path); }
void OrvellaSyncEngine::fileMoved(const QString& from, const QString& to) { core_->localMove(from, to); }
void OrvellaSyncEngine::fileReplaced(const QString& from, const QString& to) {
    // A save through a temp file: the old name is gone, the new one holds new content.
    core_->localChange(from);
    core_->localChange(to);
}
void OrvellaSyncEngine::directoryAdded(const QString& path) { core_->localChange(path); }
void OrvellaSyncEngine::directoryMoved(const QString& from, const QString& to) { core_->localMove(from, to); }
void OrvellaSyncEngine::directoryReplaced(const QString& from, const QString& to) {
    core_->localChange(from);
    core_->localChange(to);
}
void OrvellaSyncEngine::itemDeleted(const QString& path) { core_->localChange(path); }
void OrvellaSyncEngine::itemPermissionChanged(const QString& path, bool) { core_->permissionChange(path); }
void OrvellaSyncEngine::mustScanSubDirectories() { core_->requestFullScan(); }
