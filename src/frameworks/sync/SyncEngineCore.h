#pragma once

// The engine's inside, shared by the files it is written in; nothing outside the engine includes it.
#include "frameworks/sync/OrvellaSyncEngine.h"
#include "frameworks/sync/RemoteTree.h"

#include <QDir>
#include <QFile>
#include <QHash>
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
#include <unordered_map>
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

namespace SyncEngineDetail {

constexpr int settleMs = 30;
constexpr int progressIntervalMs = 100;
constexpr int commitEvery = 2000;
// Transfers are collected up to this many, then run side by side; each thread takes a slice of
// items of one folder at a time (as many as the remote tree takes at once).
constexpr std::size_t transferBatch = 512;
// An answer of the remote journal naming this many paths is a burst: the journal is left this long
// to gather the rest before it is asked again.
constexpr qsizetype burstPaths = 16;
constexpr auto remoteGather = std::chrono::milliseconds(50);
// Folders a batch holds open at most, however many descriptors are free.
constexpr std::size_t maxFolderHandles = 128;
// Removals of files that stay in their folder are run in slices of up to this many.
constexpr std::size_t removalSlice = 128;
constexpr unsigned localFolderMode = 0755;

inline QString cleanAbsolute(const QString& path) {
    if (path.isEmpty()) return {};
    return QDir::cleanPath(QDir(path).absolutePath());
}

// The subscriptions until the caller sets its own: the whole tree.
inline std::vector<SelectiveSyncItem> everything() { return {SelectiveSyncItem{QStringLiteral("/"), true, QString()}}; }

inline bool meansNoRoom(int error) { return error == ENOSPC || error == EDQUOT; }

inline SyncError::Kind localWriteError(int error) {
    if (meansNoRoom(error)) return SyncError::Kind::insufficientLocalStorage;
    return SyncError::Kind::itemIsInReadonlyDirectory;
}

inline bool isRemoval(SyncAction action) {
    return action == SyncAction::deleteRemote || action == SyncAction::deleteLocal ||
           action == SyncAction::removeUnsubscribed;
}

inline QString childPath(const QString& parent, const QString& name) {
    return parent.isEmpty() ? name : parent + QLatin1Char('/') + name;
}

// Whether the tree saw the folder (the root always exists: it was checked at the pass's start).
inline bool knownFolder(const FileTree& tree, const QString& folder) {
    if (folder.isEmpty()) return true;
    const auto it = tree.find(folder);
    return it != tree.end() && it->second.isDirectory();
}

// Calls `fn` for the entry at `root` and everything below it.
template <typename Map, typename F>
inline void forEachInSubtree(const Map& map, const QString& root, F&& fn) {
    if (auto it = map.find(root); it != map.end()) fn(it->first, it->second);
    const QString prefix = root + QLatin1Char('/');
    for (auto it = map.lower_bound(prefix); it != map.end() && it->first.startsWith(prefix); ++it) fn(it->first, it->second);
}

// Moves the entry at `from` and everything below it to `to`.
template <typename Map>
inline void rekey(Map& map, const QString& from, const QString& to) {
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
inline bool sameKey(const QString& a, const QString& b) {
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

// Leaves in `tree` only the entries that differ from their record's `side`; `gone` receives the
// paths of the records the tree has no entry for. What is left moves to a fresh pool, so that the
// old one's blocks go back whole rather than as holes among what other parts keep.
inline void keepDifferences(FileTree& tree, std::unique_ptr<NodePool>& pool, const std::map<QString, SyncRecord>& records,
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
inline void restoreEntries(FileTree& tree, const std::map<QString, SyncRecord>& records, FsEntry SyncRecord::*side,
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

}  // namespace SyncEngineDetail

using SyncEngineDetail::NodePool;

class OrvellaSyncEngine::Core {
public:
    Core(SyncFacadeConfiguration configuration, std::shared_ptr<RemoteTree> remote, const QString& dataFolder,
         Options options);
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
    // With mutex_ held; `local` for the sync folder's changes, which come in bursts of batches.
    void eventsArrive(bool local = true) {
        const auto now = SteadyClock::now();
        if (!eventsArrived_) firstEventAt_ = now;
        if (local) lastLocalEventAt_ = now;
        wake_ = eventsArrived_ = true;
    }

private:
    // The journal's paths, with what each was when it answered (when it tells).
    using RemotePaths = QHash<QString, std::optional<ServicePathState>>;
    struct Pending {
        QSet<QString> paths;
        std::vector<std::pair<QString, QString>> moves;
        bool fullScan = false;
        bool clearBackoff = false;
        RemotePaths remotePaths;
        bool remoteFullScan = false;
        QString cursor;  // the journal's, after the remote paths; set when taken
        // The journal has reported every change of the passes before this one (see echoes_).
        std::uint64_t echoesReportedBefore = 0;
    };
    // One side's tree with what it could not see; `remote` is null for the sync folder.
    struct Side {
        FileTree& tree;
        fs::Unreadable& unknown;
        RemoteTree* remote;
        std::set<QString>* undecodable;
    };
    std::optional<FsEntry> statOn(const Side& side, const QString& path, int* error) const {
        return side.remote ? side.remote->stat(path, error) : fs::stat(local(path), error);
    }
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
    std::optional<qsizetype> fetchRemoteChanges(std::chrono::milliseconds timeout, std::stop_token stop);
    bool applyRemoteDirty(QSet<QString>& paths);
    bool pass(Pending& pending);
    void settle();
    void compactTrees();
    void restoreTrees();
    bool remoteInStep() const;
    void keepRemoteKnownAt(const QString& cursor);
    fs::KeySource recordKeys() const;
    bool work(Pending& pending);
    bool checkRoots();
    void serviceUnreachable(int error);
    void keepPending(Pending& pending);
    void checkIdentity(const QString& key, const std::optional<QString>& identity, const QString& path);
    // Both add to the paths the folders that had to be looked at instead of them.
    std::vector<QString> applyDirty(Side side, QSet<QString>& paths);
    std::vector<QString> applyDirty(Side side, const QStringList& tops, QSet<QString>& widened);
    static QStringList topmostOf(const QSet<QString>& paths);
    Side localSide() { return Side{localTree_, localUnknown_, nullptr, &localUndecodable_}; }
    Side remoteSide() { return Side{remoteTree_, remoteUnknown_, remote_.get(), nullptr}; }
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
    // The plan's deletions of either side, as one batch on the workers (see SyncEngineTransfers).
    void removeAll(const std::vector<Planned>& steps);
    // What removing `path` ended with (see SyncFileSystem::Removal); true when it is gone.
    bool removed(const QString& path, SyncAction action, bool clearingTheWay, int error);
    // Remembers a change this engine made remotely, so that the journal's report of it is known
    // for an echo; `written` is the new file, none for an item removed with all below it.
    void noteEcho(const QString& path, const std::optional<FsEntry>& written);
    // Drops the reports of `paths` that are echoes of this engine's own changes, as the journal
    // saw them when it answered; forgets the echoes the journal has reported all of.
    void dropEchoes(RemotePaths& paths, std::uint64_t reportedBefore);
    void perform(const Planned& item);
    using Transfer = RemoteTree::Transfer;
    using Folders = fs::FolderHandles;
    std::optional<Transfer> prepareUpload(const Planned& item, Folders& folders, QSet<QString>& ready);
    std::optional<Transfer> prepareDownload(const QString& path, const FsEntry& remote,
                                            const std::optional<FsEntry>& expectedLocal, Folders& folders);
    // The target's folder, made when the tree does not know it (the sync root never is); false
    // when it cannot be made, the item failed. `ready` holds the remote folders looked at already.
    bool prepareTargetFolder(const QString& path, bool upload, Folders& folders, QSet<QString>& ready);
    void runTransfers(std::span<Transfer* const> transfers, fs::FolderLookup& folders) const;
    // False when it ran short of descriptors and may be tried again at once.
    bool finishTransfer(const Transfer& transfer, bool lastTry);
    void transferAll(std::vector<const Planned*>& batch);
    void download(const QString& path, const FsEntry& remote, const std::optional<FsEntry>& expectedLocal);
    // Makes them on the workers, parents before what they hold; the outcomes are taken in here.
    void createRemoteFolders(std::vector<const Planned*>& items);
    void createdRemoteFolder(const Planned& item, int error, const FsEntry& created);
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

    void setRecord(const QString& path, const SyncRecord& record);
    void dropRecord(const QString& path);
    // dropRecord of `path` and of everything below it.
    void dropRecordsBelow(const QString& path);
    // Keep recordsByInode_ in step with records_; called with stateMutex_ held (reindexRecords
    // takes it itself).
    void indexRecord(const QString& key, const SyncRecord& record);
    void unindexRecord(const QString& key, const SyncRecord& record);
    void reindexRecords();
    void rekeyRecords(const QString& from, const QString& to);
    void noteStoreChange();
    void markStale(const QString& path);

    void reportStatus(const SyncStatus& status);
    void reportProgress(bool force);
    void reportItem(const QString& path, OVItemSyncStatus status);
    // `value` goes with the error (a file's size when it is too large for the room left).
    void failItem(const QString& path, SyncError::Kind kind, int error, std::int64_t value = 0);
    // A step that failed on the remote side (or, `local`, on this side): with the service away the
    // item is not at fault and is only tried again once the service answers; the engine says it
    // is offline meanwhile. `needed` is what the step would have added remotely (an upload's size).
    void failTransfer(const QString& path, bool onRemote, int error, std::int64_t needed = 0);
    void resolveError(const QString& path);
    void setGlobalError(std::optional<SyncError::Kind> kind);
    SyncStatus idleStatus() const;
    // The idle status, unless more is known to come (see holdUntil_); then the engine is syncing.
    void reportIdle();
    // With mutex_ held: local changes were handed over and not taken yet.
    bool localChangesWaiting() const;
    // With mutex_ held: a pass is waiting, or changes of either side were handed over and not taken yet.
    bool passQueued() const;
    // With mutex_ held: local changes came in less than burstQuiet_ ago; when they stop.
    std::optional<SteadyClock::time_point> burstEnds() const;
    void sendEvent(const SyncEvent& event);

    // Fixed at construction.
    const QString localRoot_;
    const std::shared_ptr<RemoteTree> remote_;
    SyncStatusDelegate* const delegate_;
    const QString conflictSuffix_;
    const std::int64_t minimumFreeDiskSpace_;
    const std::chrono::milliseconds pollInterval_;
    const std::chrono::milliseconds longPoll_;
    const std::chrono::milliseconds burstQuiet_;
    QString statePath_;
    int lockFd_ = -1;

    // Hand-over between the callers' threads and the engine's thread.
    mutable std::mutex mutex_;
    std::condition_variable wakeUp_;
    Pending pending_;
    bool wake_ = false;
    bool eventsArrived_ = false;
    SteadyClock::time_point firstEventAt_{};  // of those that arrived since the last pass began
    std::optional<SteadyClock::time_point> lastLocalEventAt_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> enabled_{true};
    std::atomic<bool> cancel_{false};
    std::atomic<std::uint64_t> idlePasses_{0};
    std::atomic<std::uint64_t> passes_{0};
    std::uint64_t checksRequested_ = 0;
    std::atomic<std::uint64_t> checksAnswered_{0};
    // The journal's cursor: the remote changes up to it are in pending_ or taken.
    QString remoteCursor_;
    // A cursor at which the remote tree was what the records say: a start from it takes the tree
    // from the records instead of scanning it, and the journal's first answer needs no scan.
    QString knownAt_;
    // Whether the journal answers; until then, and when it cannot, every pass scans the remote tree.
    std::atomic<bool> journalWorks_{false};

    // Read by any thread, written by the engine's thread (subscriptions also by callers).
    mutable std::mutex stateMutex_;
    enum class Load { loading, loaded, failed };
    Load load_ = Load::loading;
    mutable std::condition_variable loadEnded_;
    std::map<QString, SyncRecord> records_;
    // The records' keys by their local inode, so that an item that appears can be matched with
    // one that was moved away without walking every record. Points into records_'s nodes.
    std::unordered_multimap<std::uint64_t, const QString*> recordsByInode_;
    bool inodesIndexed_ = false;  // made when first needed, let go of while idle
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
    // The stored cursor at which the remote tree was last known to be what the records say; empty
    // once the engine has changed anything since.
    QString inStepAt_;
    // Taken from the records at the start, the remote tree holds nothing the subscriptions left
    // out: which they were, so that holding anything more takes a scan first.
    std::optional<std::vector<SelectiveSyncItem>> remotePartialFor_;
    bool settled_ = false;  // idle since the last pass that did work
    // What the passes since the last settle planned, so that settling costs what changed; the
    // whole tree after a scan or a plan of everything.
    std::set<QString> touchedSinceSettle_;
    bool settleWholeTree_ = true;
    // Idle but for a burst of local changes that may still be coming in: the look that reports
    // idle once it is over.
    std::optional<SteadyClock::time_point> holdUntil_;
    // While idle a while, each tree holds only its entries that differ from the records, and the
    // paths of records it has no entry for: an item in step is then known once, by its record.
    const std::chrono::milliseconds compactAfterIdle_;
    std::optional<SteadyClock::time_point> compactAt_;
    bool treesCompact_ = false;
    std::vector<QString> localGone_;
    std::vector<QString> remoteGone_;
    // This engine's recent remote changes, by path, with the pass that made them: the journal
    // reports them too, and a report that finds an item as the engine left it is no news. Each is
    // forgotten once reported, or once the journal has reported everything up to a later pass.
    struct Echo {
        std::optional<FsEntry> written;  // none: removed, with everything below it
        std::uint64_t pass = 0;
    };
    QHash<QString, Echo> echoes_;
    // The remote folders the plan under way made: the uploads into them need not look for them.
    QSet<QString> madeRemotely_;
    bool lowSpaceReported_ = false;
    int uncommitted_ = 0;
    SyncProgress downloadProgress_;
    SyncProgress uploadProgress_;
    SteadyClock::time_point lastProgress_;

    // Runs transfers; made before the engine's thread and gone after it.
    WorkerPool workers_{remote_->parallelTransfers()};
    std::thread thread_;
    std::condition_variable_any remoteWait_;
    std::jthread remoteWatch_;
};
