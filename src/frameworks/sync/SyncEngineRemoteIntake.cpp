// Remote changes: the journal followed on a thread of its own, and the paths it names looked at again.
#include "frameworks/sync/SyncEngineCore.h"

using namespace SyncEngineDetail;

// The remote changes, asked for on a thread of its own so that a question waiting for the next
// change never holds up a pass.
void OrvellaSyncEngine::Core::watchRemote(std::stop_token stop) {
    std::mutex pause;
    while (!stop.stop_requested()) {
        const auto news = fetchRemoteChanges(longPoll_, stop);
        std::unique_lock lock(pause);
        // In a burst (a folder copied in, this engine's own uploads) a moment's wait lets the rest
        // come in one answer instead of one question each; a change alone is asked for at once.
        if (news && *news >= burstPaths) remoteWait_.wait_for(lock, stop, remoteGather, [] { return false; });
        if (!news) remoteWait_.wait_for(lock, stop, pollInterval_, [] { return false; });
    }
}

// Takes the changes after the cursor into the pending ones; false when the journal could not be
// asked, else how many paths it named. Two callers may ask at once: the later answer to the same
// cursor is dropped.
std::optional<qsizetype> OrvellaSyncEngine::Core::fetchRemoteChanges(std::chrono::milliseconds timeout, std::stop_token stop) {
    QString cursor;
    {
        std::lock_guard lock(mutex_);
        cursor = remoteCursor_;
    }
    // The passes before the one under way have made all their changes by now.
    const std::uint64_t passesDone = passes_.load();
    const auto answer = remote_->changes(cursor, timeout, std::move(stop));
    if (!answer) {
        // Away, the engine finds out by itself; without a journal it has to poll the remote tree.
        if (answer.error() != ServiceError::noConnection && answer.error() != ServiceError::timeout &&
            journalWorks_.exchange(false))
            OVLOG_WARNING(Log::Sync::remoteChangesListener(),
                          QStringLiteral("Remote changes cannot be followed (%1); the remote tree is polled")
                              .arg(answer.failure().message));
        return std::nullopt;
    }
    const ServiceChanges& changes = answer.value();
    bool news = changes.reset || !changes.paths.isEmpty();
    {
        std::lock_guard lock(mutex_);
        if (remoteCursor_ != cursor) return 0;
        remoteCursor_ = changes.cursor;
        if (!journalWorks_.exchange(true)) {
            // The tree is known from this cursor on only after a scan that starts after it, or
            // from the records when it was in step at this cursor.
            if (cursor != knownAt_) pending_.remoteFullScan = true;
            news = true;
        }
        if (changes.reset) pending_.remoteFullScan = true;
        // Nothing since the cursor: every change made before the question was reported.
        if (!changes.reset && changes.paths.isEmpty())
            pending_.echoesReportedBefore = std::max(pending_.echoesReportedBefore, passesDone);
        const bool told = changes.states.size() == std::size_t(changes.paths.size());
        for (qsizetype i = 0; i < changes.paths.size(); ++i) {
            const QString& path = changes.paths[i];
            if (path.isEmpty()) pending_.remoteFullScan = true;
            else pending_.remotePaths.insert(path, told ? std::optional(changes.states[std::size_t(i)]) : std::nullopt);
        }
        if (news) eventsArrive(false);
    }
    if (news) wakeUp_.notify_all();
    return changes.paths.size();
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

void OrvellaSyncEngine::Core::noteEcho(const QString& path, const std::optional<FsEntry>& written) {
    if (remote_->hasJournal()) echoes_.insert(path, Echo{written, passes_.load()});
}

void OrvellaSyncEngine::Core::dropEchoes(RemotePaths& paths, std::uint64_t reportedBefore) {
    using Kind = ServicePathState::Kind;
    std::vector<QString> reported;
    // An echo: the item is as this engine left it, or gone below a folder it removed.
    const auto echo = [&](const QString& path, const ServicePathState& state) {
        if (const auto own = echoes_.constFind(path); own != echoes_.cend()) {
            reported.push_back(path);
            if (!own->written) return state.kind == Kind::gone;
            const FsEntry& written = *own->written;
            return state.kind == Kind::file && written.isFile() && state.size == written.size &&
                   state.mtimeNs == written.mtimeNs && state.inode == (written.inode & ServicePathState::inodeMask);
        }
        if (state.kind != Kind::gone) return false;
        for (QString p = fs::parentOf(path); !p.isEmpty(); p = fs::parentOf(p))
            if (const auto own = echoes_.constFind(p); own != echoes_.cend()) return !own->written;
        return false;
    };
    if (!echoes_.isEmpty()) {
        std::size_t dropped = 0;
        for (auto it = paths.begin(); it != paths.end();) {
            if (!it.value() && echoes_.contains(it.key())) reported.push_back(it.key());
            if (it.value() && echo(it.key(), *it.value())) {
                it = paths.erase(it);
                ++dropped;
            } else {
                ++it;
            }
        }
        // A folder's report comes with those of what it held: it goes after all of them.
        for (const QString& path : reported) echoes_.remove(path);
        if (dropped)
            OVLOG_DEBUG(Log::Sync::remoteChangesListener(), QStringLiteral("%1 remote changes were this engine's own").arg(dropped));
    }
    if (reportedBefore) echoes_.removeIf([&](const auto& item) { return item.value().pass < reportedBefore; });
}
