#include "frameworks/sync/SyncEngineCore.h"

#include "frameworks/sync/LocalRemoteTree.h"

using namespace SyncEngineDetail;

// ---------------------------------------------------------------------------------------------
// Set-up and tear-down

OrvellaSyncEngine::Core::Core(SyncFacadeConfiguration configuration, std::shared_ptr<RemoteTree> remote,
                              const QString& dataFolder, Options options)
    : localRoot_(cleanAbsolute(configuration.rootDirectoryLocalURL)),
      remote_(std::move(remote)),
      delegate_(configuration.syncStatusDelegate),
      conflictSuffix_(configuration.conflictSuffix),
      minimumFreeDiskSpace_(configuration.minimumFreeDiskSpace),
      pollInterval_(std::max(10, options.pollIntervalMs)),
      longPoll_(std::max(10, options.longPollMs)),
      burstQuiet_(std::max(0, options.burstQuietMs)),
      subscriptions_(everything()),
      compactAfterIdle_(std::max(0, options.compactAfterIdleMs)) {
    const QString data = cleanAbsolute(dataFolder);
    if (localRoot_.isEmpty() || !remote_ || remote_->describe().isEmpty() || data.isEmpty())
        throw std::runtime_error("The sync folder, the remote tree and the data folder are all needed");
    const QString remoteFolder = remote_->localFolder();
    if (localRoot_ == QStringLiteral("/") ||
        (!remoteFolder.isEmpty() && (fs::relativeTo(localRoot_, remoteFolder) || fs::relativeTo(remoteFolder, localRoot_))))
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
        inStepAt_ = store_->value(QStringLiteral("remoteInStepAt")).value_or(QString());
        // Nothing was taken from the journal since the tree was last in step: what changed since
        // is what the journal tells from here on.
        if (remote_->hasJournal() && !inStepAt_.isEmpty() && inStepAt_ == savedCursor_) knownAt_ = savedCursor_;
    }
    // Asked only now, so that the journal is followed from the cursor kept with the state; once
    // before the first pass, whose whole scan then counts as the one the journal needs after a
    // reset instead of a second one.
    if (remote_->hasJournal()) {
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
            if (holdUntil_ && (!wakeAt || *holdUntil_ < *wakeAt)) wakeAt = holdUntil_;
        }
    }
    try {
        // Stopped while idle: the next start may take the remote tree from the records.
        if (!again && lastPlanDone_ && !treesCompact_) compactTrees();
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

bool OrvellaSyncEngine::Core::pass(Pending& pending) {
    holdUntil_.reset();
    const bool rescans = pending.fullScan || pending.remoteFullScan || needFullScan_;
    const bool worked = work(pending);
    keepPending(pending);
    if (worked) {
        settled_ = false;
        compactAt_.reset();
    } else {
        if (rescans) settleWholeTree_ = true;
        if (!settled_ || rescans) settle();
        if (!treesCompact_ && !compactAt_) compactAt_ = SteadyClock::now() + compactAfterIdle_;
        if (compactAfterIdle_.count() == 0) compactTrees();
        ++idlePasses_;
    }
    return worked;
}

// Changes a pass could not take (paused, offline, a root away) wait for the next one.
void OrvellaSyncEngine::Core::keepPending(Pending& pending) {
    if (pending.paths.isEmpty() && pending.moves.empty() && !pending.fullScan && !pending.clearBackoff &&
        pending.remotePaths.isEmpty() && !pending.remoteFullScan && !pending.echoesReportedBefore)
        return;
    std::lock_guard lock(mutex_);
    pending_.paths.unite(pending.paths);
    // What the journal said since is newer.
    for (auto it = pending.remotePaths.cbegin(); it != pending.remotePaths.cend(); ++it)
        if (!pending_.remotePaths.contains(it.key())) pending_.remotePaths.insert(it.key(), it.value());
    pending_.remoteFullScan = pending_.remoteFullScan || pending.remoteFullScan;
    pending_.echoesReportedBefore = std::max(pending_.echoesReportedBefore, pending.echoesReportedBefore);
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
    if (!remote_->isReachable()) {
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
        // A folder deleted with all it held is told item by item: the folder stands for them.
        const QStringList tops = topmostOf(paths);
        QSet<QString> widened;
        findMovedAway(applyDirty(localSide(), tops, widened), pending.moves);
        scope.insert(tops.begin(), tops.end());
        scope.insert(widened.begin(), widened.end());
    }
    bool remoteChanged = false;
    int remoteError = 0;
    {
        // Taken from the records, the remote tree holds nothing of what was not held.
        std::lock_guard lock(stateMutex_);
        if (remotePartialFor_ && subscriptions_.items() != *remotePartialFor_) pending.remoteFullScan = true;
    }
    bool fromRecords = false;
    {
        std::lock_guard lock(mutex_);
        fromRecords = !knownAt_.isEmpty() && journalWorks_ && !pending.remoteFullScan;
        knownAt_.clear();
    }
    const bool remoteFullScan = (fullScan && !fromRecords) || pending.remoteFullScan || !journalWorks_;
    if (remoteFullScan) {
        remotePartialFor_.reset();
        // What the scan finds is what the journal would report.
        echoes_.clear();
        FileTree previousRemote = std::move(remoteTree_);
        remoteTree_.clear();
        remoteUnknown_.clear();
        remoteError = remote_->scan(QString(), remoteTree_, remoteUnknown_, firstScan ? &remoteTemporaries : nullptr,
                                    recordKeys());
        remoteChanged = remoteTree_ != previousRemote;
    } else if (remote_->stat(QString(), &remoteError)) {
        // The root is looked at as a scan would, so that a tree gone away is never taken for an
        // unchanged one.
        if (fromRecords) {
            remoteTree_.clear();
            std::vector<QString> none;
            restoreEntries(remoteTree_, records_, &SyncRecord::remote, none);
            {
                std::lock_guard lock(stateMutex_);
                remotePartialFor_ = subscriptions_.items();
            }
            OVLOG_INFO(Log::Sync::sync(), QStringLiteral("The remote tree is taken from the sync state (%1 items); only "
                                                         "what the journal reports since is looked at")
                                              .arg(remoteTree_.size()));
        }
        dropEchoes(pending.remotePaths, pending.echoesReportedBefore);
        QSet<QString> paths;
        paths.reserve(pending.remotePaths.size() + qsizetype(remoteUnknown_.size()));
        for (auto it = pending.remotePaths.cbegin(); it != pending.remotePaths.cend(); ++it) paths.insert(it.key());
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
        if (!remote_->localFolder().isEmpty())
            removeTemporaries(remote_->localFolder(), remoteTemporaries, std::chrono::hours(24));
    } else if (!leftovers_.empty()) {
        removeLeftovers();
    }

    SubscriptionSet subscriptions;
    bool subscriptionsChanged = false;
    {
        std::lock_guard lock(stateMutex_);
        if (remotePartialFor_ && subscriptions_.items() != *remotePartialFor_) {
            // Set since the remote tree was looked at, which knows nothing of what was not held:
            // the next pass scans it first.
            subscriptions = SubscriptionSet(*remotePartialFor_);
        } else {
            subscriptionsChanged = subscriptionsDirty_;
            if (subscriptionsDirty_) {
                store_->saveSubscriptions(subscriptions_.items());
                subscriptionsDirty_ = false;
            }
            subscriptions = subscriptions_;
        }
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
        reportIdle();
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
    if (wholeTree || fullScan) settleWholeTree_ = true;
    else touchedSinceSettle_.insert(scope.begin(), scope.end());
    std::vector<Planned> steps = plan(subscriptions, wholeTree ? nullptr : &scope);
    // The topmost paths are enough: a scope takes everything below them. Steps below a path mostly
    // come right after it; one kept besides costs little.
    const QString* top = nullptr;
    for (const Planned& item : steps) {
        if (top && fs::isInside(item.path, *top)) continue;
        top = &*lastPlanned_.insert(item.path).first;
    }
    lastPassQuiet_ = steps.empty();
    lastPlanDone_ = true;
    if (steps.empty()) {
        store_->commit();
        reportIdle();
        return false;
    }
    // From here on the stored cursor no longer tells what the remote tree holds.
    keepRemoteKnownAt(QString());
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
    if (!remote_->stat(QString(), &error)) {
        // A missing remote tree is only made anew while nothing is known to be in it; otherwise
        // its absence would read as "everything deleted".
        bool empty = false;
        {
            std::lock_guard lock(stateMutex_);
            empty = records_.empty();
        }
        if (!fs::meansGone(error) || !empty || (error = remote_->createRoot()) != 0) {
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
    checkIdentity(QStringLiteral("localRootId"), fs::identityOf(localRoot_), localRoot_);
    checkIdentity(QStringLiteral("remoteRootId"), remote_->identity(), remote_->describe());
    return true;
}

// The sync folder is there but the remote tree is not: the service is away, not the folder.
void OrvellaSyncEngine::Core::serviceUnreachable(int error) {
    if (currentStatus().kind != SyncStatus::Kind::offline)
        OVLOG_WARNING(Log::Sync::sync(), QStringLiteral("The remote tree \"%1\" cannot be reached (%2); changes wait until it can")
                                             .arg(remote_->describe(), QString::fromUtf8(std::strerror(error))));
    reportStatus(SyncStatus::of(SyncStatus::Kind::offline));
}

void OrvellaSyncEngine::Core::checkIdentity(const QString& key, const std::optional<QString>& identity,
                                            const QString& path) {
    if (!identity) return;
    const auto stored = store_->value(key);
    if (stored && *stored == *identity) return;
    if (stored && !stored->isEmpty()) {
        // The folder was replaced (deleted and made anew, or another one mounted there): what was
        // in step with the old one must not turn into deletions on the other side.
        OVLOG_WARNING(Log::Sync::persistence(),
                      QStringLiteral("\"%1\" is not the folder it was; comparing both sides afresh").arg(path));
        {
            std::lock_guard lock(stateMutex_);
            records_.clear();
            recordsByInode_.clear();
        }
        store_->removeAllRecords();
        needFullScan_ = true;
        {
            std::lock_guard lock(mutex_);
            knownAt_.clear();
        }
        keepRemoteKnownAt(QString());
    }
    store_->setValue(key, *identity);
    store_->commit();
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

bool OrvellaSyncEngine::Core::hasPendingErrors() const {
    std::lock_guard lock(stateMutex_);
    return globalError_ || !errors_.empty();
}

bool OrvellaSyncEngine::Core::interrupted() const {
    return stop_ || !enabled_ || !remote_->isReachable();
}

// ---------------------------------------------------------------------------------------------
// The facade

OrvellaSyncEngine::OrvellaSyncEngine(SyncFacadeConfiguration configuration, std::shared_ptr<StorageService> service,
                                     const QString& remoteRootPath, const QString& dataFolderPath)
    : OrvellaSyncEngine(std::move(configuration), std::move(service), remoteRootPath, dataFolderPath, Options{}) {}

OrvellaSyncEngine::OrvellaSyncEngine(SyncFacadeConfiguration configuration, std::shared_ptr<StorageService> service,
                                     const QString& remoteRootPath, const QString& dataFolderPath, Options options)
    : OrvellaSyncEngine(std::move(configuration), std::make_shared<LocalRemoteTree>(remoteRootPath, std::move(service)),
                        dataFolderPath, options) {}

OrvellaSyncEngine::OrvellaSyncEngine(SyncFacadeConfiguration configuration, std::shared_ptr<RemoteTree> remote,
                                     const QString& dataFolderPath, Options options)
    : core_(std::make_unique<Core>(std::move(configuration), std::move(remote), dataFolderPath, options)) {}

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
