// Local changes: what the file events name, looked at again in the sync folder, moves included.
#include "frameworks/sync/SyncEngineCore.h"

using namespace SyncEngineDetail;

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
            const auto now = statOn(side, ancestor, nullptr);
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
        const auto entry = statOn(side, path, &error);
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
            const auto folder = statOn(side, ancestor, &error);
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
            if (side.remote) side.remote->scan(path, tree, unknown, nullptr, recordKeys());
            else fs::scan(localRoot_, path, tree, unknown, nullptr, side.undecodable ? &undecodable : nullptr, recordKeys());
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
    if (!inodesIndexed_) reindexRecords();
    {
        std::lock_guard lock(stateMutex_);
        for (const auto& [inode, arrivedPath] : arrived) {
            const FsEntry::Type type = localTree_.at(arrivedPath).type;
            for (auto [it, end] = recordsByInode_.equal_range(inode); it != end; ++it) {
                const QString& path = *it->second;
                if (!localTree_.count(path)) continue;
                const SyncRecord& record = records_.at(path);
                if (record.local.inode == inode && record.local.type == type) candidates.emplace_back(path, record.local);
            }
        }
    }
    // In the order of the paths, as a walk of the records would find them.
    std::sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
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
    const bool knownKind = localEntry && localEntry->type != FsEntry::Type::other;
    const bool ignored = knownKind ? delegate_->shouldIgnoreFileOrFolder(local(path)) : delegate_->shouldIgnoreItem(local(path));
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
