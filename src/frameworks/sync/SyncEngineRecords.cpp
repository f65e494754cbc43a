// The engine's memory: the state store and records, the trees let go of while idle, and what it
// tells of items and of itself.
#include "frameworks/sync/SyncEngineCore.h"

using namespace SyncEngineDetail;

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
        store_->value(QStringLiteral("remoteRoot")) != remote_->describe()) {
        store_->removeAllRecords();
        store_->setValue(QStringLiteral("localRoot"), localRoot_);
        store_->setValue(QStringLiteral("remoteRoot"), remote_->describe());
        store_->setValue(QStringLiteral("localRootId"), QString());
        store_->setValue(QStringLiteral("remoteRootId"), QString());
        store_->setValue(QStringLiteral("remoteCursor"), QString());
        store_->setValue(QStringLiteral("remoteInStepAt"), QString());
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
                                      .arg(localRoot_, remote_->describe())
                                      .arg(known));
}

void OrvellaSyncEngine::Core::compactTrees() {
    compactAt_.reset();
    if (treesCompact_) return;
    // Read without the lock: only this thread changes the records.
    keepDifferences(localTree_, localNodes_, records_, &SyncRecord::local, localGone_);
    keepDifferences(remoteTree_, remoteNodes_, records_, &SyncRecord::remote, remoteGone_);
    // Hashes keep the room they grew to: the echoes of a first upload alone held 100,000 entries.
    {
        // Made again when an item turns up that may have been moved away.
        std::lock_guard lock(stateMutex_);
        recordsByInode_ = {};
        inodesIndexed_ = false;
    }
    madeRemotely_.clear();
    for (QSet<QString>* paths : {&madeRemotely_, &active_, &stale_, &unreadable_}) paths->squeeze();
    echoes_.squeeze();
    treesCompact_ = true;
    keepRemoteKnownAt(remoteInStep() ? savedCursor_ : QString());
    ::malloc_trim(0);
}

// Compacted and idle: the remote tree is what the records say where the subscriptions hold
// anything, with nothing left to do, failed or unseen.
bool OrvellaSyncEngine::Core::remoteInStep() const {
    // Each of this engine's own changes must have come back from the journal by the cursor: one
    // not yet reported could be undone before it is (a file uploaded, then removed by another
    // client), and the journal would then tell nothing of it.
    if (!treesCompact_ || !healthy_ || !lastPlanDone_ || !journalWorks_ || !remoteGone_.empty() ||
        !remoteUnknown_.empty() || savedCursor_.isEmpty() || !echoes_.isEmpty())
        return false;
    std::lock_guard lock(stateMutex_);
    if (globalError_ || !errors_.empty() || !unreadable_.empty() || !notSynced_.empty()) return false;
    // What is left in the tree differs from its record, or has none. A folder's time changes
    // with what it holds, which its record does not follow: the same folder is still in step.
    // What is ignored by its name (or lies in an ignored folder) is ignored again after a start.
    const auto ignored = [this](const QString& path) {
        for (QString p = path; !p.isEmpty(); p = fs::parentOf(p))
            if (ignored_.contains(p)) return true;
        return false;
    };
    return std::none_of(remoteTree_.begin(), remoteTree_.end(), [&](const auto& item) {
        const auto& [path, entry] = item;
        if (!subscriptions_.contains(path, entry.isDirectory()) || ignored(path)) return false;
        const auto record = records_.find(path);
        return !entry.isDirectory() || record == records_.end() || !record->second.remote.isDirectory() ||
               record->second.remote.inode != entry.inode;
    });
}

void OrvellaSyncEngine::Core::keepRemoteKnownAt(const QString& cursor) {
    if (cursor == inStepAt_) return;
    store_->setValue(QStringLiteral("remoteInStepAt"), cursor);
    store_->commit();
    inStepAt_ = cursor;
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
    std::size_t shared = 0;
    const std::size_t touched = touchedSinceSettle_.size();
    // After a few changes only their paths are looked at: walking both trees against every record
    // made each small change cost as much as the whole tree.
    const bool whole = settleWholeTree_ || touched * 16 > records_.size();
    if (whole) {
        shared = fs::shareKeys(localTree_, records_) + fs::shareKeys(remoteTree_, records_);
    } else {
        for (const QString& path : touchedSinceSettle_)
            shared += fs::shareKeysUnder(localTree_, records_, path) + fs::shareKeysUnder(remoteTree_, records_, path);
    }
    touchedSinceSettle_.clear();
    settleWholeTree_ = false;
    // The heap a busy pass left free goes back; a pass of a few changes leaves too little to be
    // worth the walk over the heap.
    if (whole || shared || touched > 256) ::malloc_trim(0);
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

void OrvellaSyncEngine::Core::indexRecord(const QString& key, const SyncRecord& record) {
    if (inodesIndexed_ && record.local.inode != 0) recordsByInode_.emplace(record.local.inode, &key);
}

void OrvellaSyncEngine::Core::unindexRecord(const QString& key, const SyncRecord& record) {
    if (!inodesIndexed_) return;
    auto [it, end] = recordsByInode_.equal_range(record.local.inode);
    for (; it != end; ++it) {
        if (it->second != &key) continue;
        recordsByInode_.erase(it);
        return;
    }
}

// Made without the lock, which only this thread's changes of the records need, so that an item
// status asked meanwhile is not held up by a walk over every record.
void OrvellaSyncEngine::Core::reindexRecords() {
    std::unordered_multimap<std::uint64_t, const QString*> index;
    index.reserve(records_.size());
    for (const auto& [path, record] : records_)
        if (record.local.inode != 0) index.emplace(record.local.inode, &path);
    std::lock_guard lock(stateMutex_);
    recordsByInode_.swap(index);
    inodesIndexed_ = true;
}

void OrvellaSyncEngine::Core::rekeyRecords(const QString& from, const QString& to) {
    // The moved records get new nodes, and so new keys; records they replace go.
    const auto unindex = [&](const QString& path, const SyncRecord& record) { unindexRecord(path, record); };
    forEachInSubtree(records_, from, unindex);
    forEachInSubtree(records_, to, unindex);
    rekey(records_, from, to);
    forEachInSubtree(records_, to, [&](const QString& path, const SyncRecord& record) { indexRecord(path, record); });
}

void OrvellaSyncEngine::Core::setRecord(const QString& path, const SyncRecord& record) {
    {
        std::lock_guard lock(stateMutex_);
        if (const auto it = records_.find(path); it != records_.end()) {
            if (it->second.local.inode != record.local.inode) {
                unindexRecord(it->first, it->second);
                indexRecord(it->first, record);
            }
            it->second = record;
        } else {
            // The key stays as long as the item: not with the room a path built by appending has spare.
            const auto added =
                records_.emplace(path.capacity() > path.size() ? QString(path.constData(), path.size()) : path, record);
            indexRecord(added.first->first, record);
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
        const auto it = records_.find(path);
        if (it == records_.end()) return;
        unindexRecord(it->first, it->second);
        records_.erase(it);
        errors_.erase(path);
    }
    store_->removeRecord(path);
    noteStoreChange();
}

void OrvellaSyncEngine::Core::dropRecordsBelow(const QString& path) {
    {
        std::lock_guard lock(stateMutex_);
        const auto drop = [&](auto first, auto last) {
            for (auto it = first; it != last; ++it) {
                unindexRecord(it->first, it->second);
                errors_.erase(it->first);
            }
            records_.erase(first, last);
        };
        if (const auto it = records_.find(path); it != records_.end()) drop(it, std::next(it));
        const QString prefix = path + QLatin1Char('/');
        auto last = records_.lower_bound(prefix);
        const auto first = last;
        while (last != records_.end() && last->first.startsWith(prefix)) ++last;
        drop(first, last);
    }
    store_->removeRecordsBelow(path);
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

void OrvellaSyncEngine::Core::failItem(const QString& path, SyncError::Kind kind, int error, std::int64_t value) {
    {
        std::lock_guard lock(stateMutex_);
        ItemError& entry = errors_[path];
        entry.info = SyncErrorInfo{QDateTime::currentDateTimeUtc(), path, SyncError{kind, value}};
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

void OrvellaSyncEngine::Core::failTransfer(const QString& path, bool onRemote, int error, std::int64_t needed) {
    if (fs::meansServiceAway(error)) {
        markStale(path);
        serviceUnreachable(error);
        return;
    }
    if (!onRemote) return failItem(path, localWriteError(error), error);
    if (!meansNoRoom(error)) return failItem(path, SyncError::Kind::itemIsReadonlyOnRemote, error);
    // Refused for room: the storage full, or only this file too large for what is left.
    const SyncError::Kind kind = noRemoteRoomError(remote_->freeBytes(), needed);
    failItem(path, kind, error, kind == SyncError::Kind::fileTooLargeForRemoteStorage ? needed : 0);
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

bool OrvellaSyncEngine::Core::localChangesWaiting() const {
    return !pending_.paths.isEmpty() || !pending_.moves.empty() || pending_.fullScan;
}

bool OrvellaSyncEngine::Core::passQueued() const {
    return wake_ || localChangesWaiting() || !pending_.remotePaths.isEmpty() || pending_.remoteFullScan;
}

std::optional<SteadyClock::time_point> OrvellaSyncEngine::Core::burstEnds() const {
    if (!lastLocalEventAt_) return std::nullopt;
    const auto ends = *lastLocalEventAt_ + burstQuiet_;
    if (SteadyClock::now() >= ends) return std::nullopt;
    return ends;
}

// A pass that finds nothing to do is not the end while more is known: the pass waiting takes it
// at once, and a burst still coming in is looked at again once it has stopped.
void OrvellaSyncEngine::Core::reportIdle() {
    bool queued = false;
    {
        std::lock_guard lock(mutex_);
        queued = passQueued();
        holdUntil_ = queued ? std::nullopt : burstEnds();
    }
    const bool more = queued || holdUntil_;
    SyncStatus::Kind shown = SyncStatus::Kind::upToDate;
    {
        std::lock_guard lock(stateMutex_);
        busy_ = more;
        shown = status_.kind;
    }
    if (!more) return reportStatus(idleStatus());
    // What was shown stays, unless it says the work is ending.
    if (shown == SyncStatus::Kind::finishing || shown == SyncStatus::Kind::preparing)
        reportStatus(SyncStatus::syncing(true));
}

void OrvellaSyncEngine::Core::sendEvent(const SyncEvent& event) {
    if (delegate_) delegate_->handle(event);
}
