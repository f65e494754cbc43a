// Remote changes: the journal followed on a thread of its own, and the paths it names looked at again.
#include "frameworks/sync/SyncEngineCore.h"

using namespace SyncEngineDetail;

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
    const auto answer = remote_->changes(cursor, timeout, std::move(stop));
    if (!answer) {
        // Away, the engine finds out by itself; without a journal it has to poll the remote tree.
        if (answer.error() != ServiceError::noConnection && answer.error() != ServiceError::timeout &&
            journalWorks_.exchange(false))
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
        if (news) eventsArrive(false);
    }
    if (news) wakeUp_.notify_all();
    return true;
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
