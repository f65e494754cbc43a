// The plan: the three trees walked together, a step decided per path, then carried out in order.
#include "frameworks/sync/SyncEngineCore.h"

using namespace SyncEngineDetail;

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
        if (step.action == SyncAction::upload) {
            if (!quotaLooked) {
                quotaLooked = true;
                remoteRoom = remote_->freeBytes();
            }
            const std::int64_t growth = localEntry->size - (remoteEntry && remoteEntry->isFile() ? remoteEntry->size : 0);
            if (remoteRoom && growth > 0) {
                if (growth > *remoteRoom) {
                    const SyncError::Kind kind = noRemoteRoomError(*remoteRoom, growth);
                    failItem(path, kind, 0, kind == SyncError::Kind::fileTooLargeForRemoteStorage ? localEntry->size : 0);
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
    madeRemotely_.clear();
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

    // Removals first and deepest first, so that folders are empty when their turn comes: the
    // deletions of either side together, then what makes way for an item of the other kind or
    // is no longer held (which a deleted folder never holds: its other side is gone).
    removeAll(steps);
    QSet<QString> blocked;
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        if (interrupted()) return false;
        if (it->step.removal != SyncAction::none && !remove(*it, it->step.removal, true)) blocked.insert(it->path);
        if (it->step.action == SyncAction::removeUnsubscribed) remove(*it, it->step.action, false);
    }
    // Then the new remote folders, side by side a level at a time, so that the uploads into them
    // find them there; across the network each is a request.
    std::vector<const Planned*> folders;
    for (const Planned& item : steps)
        if (item.step.action == SyncAction::createRemoteFolder && !blocked.contains(item.path)) folders.push_back(&item);
    createRemoteFolders(folders);
    // Then everything else, parents first; file transfers in batches that run side by side.
    std::vector<const Planned*> batch;
    for (const Planned& item : steps) {
        if (interrupted()) return false;
        if (item.step.action == SyncAction::none || item.step.action == SyncAction::createRemoteFolder ||
            isRemoval(item.step.action) || blocked.contains(item.path))
            continue;
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
    bool moreComing = false;
    {
        std::lock_guard lock(mutex_);
        moreComing = localChangesWaiting() || burstEnds();
    }
    // This plan's last transfers are done; with local changes waiting or still coming in the
    // work is not ending.
    reportStatus(moreComing ? SyncStatus::syncing(true) : SyncStatus::finishing(downloadProgress_, uploadProgress_));
    return true;
}

void OrvellaSyncEngine::Core::perform(const Planned& item) {
    switch (item.step.action) {
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
