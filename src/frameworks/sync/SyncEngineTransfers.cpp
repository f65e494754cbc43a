// What the steps do to either side: copies in batches, folders made, items removed and moved.
#include "frameworks/sync/SyncEngineCore.h"

using namespace SyncEngineDetail;

namespace {

// What a worker's task threw, which cut its items short.
void logFailure(const QString& what, std::exception_ptr thrown) {
    try {
        std::rethrow_exception(thrown);
    } catch (const std::exception& error) {
        OVLOG_ERROR(Log::Sync::sync(), QStringLiteral("%1: %2").arg(what, QString::fromUtf8(error.what())));
    } catch (...) {
        OVLOG_ERROR(Log::Sync::sync(), what);
    }
}

}  // namespace

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
    if (const int error = remote_->move(from, to, remoteTree_.at(from))) {
        OVLOG_INFO(Log::Sync::syncDecision(), QStringLiteral("Cannot move \"%1\" to \"%2\" remotely (%3); copying instead")
                                                  .arg(from, to, QString::fromUtf8(std::strerror(error))));
        return false;
    }
    OVLOG_INFO(Log::Sync::syncDecision(), QStringLiteral("Moved \"%1\" to \"%2\" remotely").arg(from, to));
    rekey(remoteTree_, from, to);
    noteEcho(from, std::nullopt);
    {
        std::lock_guard lock(stateMutex_);
        rekeyRecords(from, to);
    }
    for (const auto& [path, record] : records) {
        store_->removeRecord(path);
        store_->putRecord(to + path.mid(from.size()), record);
        noteStoreChange();
    }
    return true;
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

bool OrvellaSyncEngine::Core::remove(const Planned& item, SyncAction action, bool clearingTheWay) {
    const QString& path = item.path;
    if (path.isEmpty()) return false;  // the sync folder itself is never removed
    const bool onRemote = action == SyncAction::deleteRemote;
    const std::optional<FsEntry>& entry = onRemote ? item.remote : item.local;
    if (!entry) return true;
    std::vector<fs::Removal> one{fs::Removal{path, *entry, ECANCELED}};
    Folders folders(2);
    fs::FolderLookup lookup(folders);
    if (onRemote) remote_->removeAll(one, lookup, cancel_);
    else fs::removeAll(localRoot_, one, lookup, cancel_);
    return removed(path, action, clearingTheWay, one.front().error);
}

bool OrvellaSyncEngine::Core::removed(const QString& path, SyncAction action, bool clearingTheWay, int error) {
    const bool onRemote = action == SyncAction::deleteRemote;
    if (error == ENOTEMPTY || error == EEXIST) {
        // Something inside came back or stays (changed, new, ignored): keep the folder. Unless
        // it is only no longer held, the other side gets it again.
        if (action != SyncAction::removeUnsubscribed) dropRecord(path);
        return false;
    }
    if (error == ESTALE || error == ECANCELED) {
        // Changed since the comparison (or not reached): it is looked at again, never deleted unseen.
        markStale(path);
        return false;
    }
    if (error) {
        failTransfer(path, onRemote, error);
        return false;
    }
    OVLOG_DEBUG(Log::Sync::syncLoopAction(),
               QStringLiteral("Removed \"%1\" %2").arg(path, onRemote ? QStringLiteral("remotely") : QStringLiteral("locally")));
    fs::eraseSubtree(onRemote ? remoteTree_ : localTree_, path);
    if (onRemote) noteEcho(path, std::nullopt);
    if (!clearingTheWay) dropRecord(path);
    if (action == SyncAction::removeUnsubscribed) reportItem(path, OVItemSyncStatus::selectivelyNotSynced);
    return true;
}

// The plan's deletions of both sides as one batch, run on the workers while this thread takes in
// what each unit did. A folder whose whole subtree is to go (every item below it is a deletion,
// with nothing else known there) is one unit, deepest first; the files of a folder that stays
// are taken in slices; the folders that may keep something come last, deepest first. Every item
// is removed only while it is the version the plan saw, so an item changed since stays and is
// looked at again.
void OrvellaSyncEngine::Core::removeAll(const std::vector<Planned>& steps) {
    struct Unit {
        bool onRemote = false;
        bool whole = false;  // the last item is a folder that goes with everything below it
        std::vector<fs::Removal> items;
    };
    std::vector<Unit> units;  // side by side
    std::vector<Unit> last;   // once they are done
    for (const bool onRemote : {true, false}) {
        const SyncAction action = onRemote ? SyncAction::deleteRemote : SyncAction::deleteLocal;
        const auto entryOf = [onRemote](const Planned* item) -> const std::optional<FsEntry>& {
            return onRemote ? item->remote : item->local;
        };
        std::vector<const Planned*> items;
        for (const Planned& item : steps)
            if (item.step.action == action && !item.path.isEmpty() && entryOf(&item)) items.push_back(&item);
        if (items.empty()) continue;
        const auto byPath = [](const Planned* a, const Planned* b) { return a->path < b->path; };
        if (!std::is_sorted(items.begin(), items.end(), byPath)) std::sort(items.begin(), items.end(), byPath);
        const FileTree& tree = onRemote ? remoteTree_ : localTree_;
        const auto removal = [&](const Planned* item) { return fs::Removal{item->path, *entryOf(item), ECANCELED}; };
        std::vector<bool> taken(items.size());
        Unit files{onRemote, false, {}};
        Unit folders{onRemote, false, {}};
        // Last name first, as everywhere else.
        const auto flush = [&] {
            if (files.items.empty()) return;
            std::reverse(files.items.begin(), files.items.end());
            units.push_back(std::exchange(files, Unit{onRemote, false, {}}));
        };
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (taken[i]) continue;
            const Planned* item = items[i];
            if (!entryOf(item)->isDirectory()) {
                if (!files.items.empty() && (files.items.size() >= removalSlice ||
                                             fs::parentOf(files.items.back().path) != fs::parentOf(item->path)))
                    flush();
                files.items.push_back(removal(item));
                continue;
            }
            // What lies below it follows it in path order, as the range of "<folder>/".
            const QString prefix = item->path + QLatin1Char('/');
            const auto first = std::lower_bound(items.begin() + std::ptrdiff_t(i) + 1, items.end(), prefix,
                                                [](const Planned* a, const QString& p) { return a->path < p; });
            auto end = first;
            while (end != items.end() && (*end)->path.startsWith(prefix)) ++end;
            const std::size_t count = std::size_t(end - first) + 1;
            std::size_t known = 0, recorded = 0;
            forEachInSubtree(tree, item->path, [&](const QString&, const FsEntry&) { ++known; });
            forEachInSubtree(records_, item->path, [&](const QString&, const SyncRecord&) { ++recorded; });
            if (known != count || recorded != count) {
                folders.items.push_back(removal(item));
                continue;
            }
            Unit unit{onRemote, true, {}};
            unit.items.reserve(count);
            // Backwards, what a folder holds comes before it.
            for (auto it = end; it != first;) {
                --it;
                unit.items.push_back(removal(*it));
                taken[std::size_t(it - items.begin())] = true;
            }
            unit.items.push_back(removal(item));
            units.push_back(std::move(unit));
        }
        flush();
        std::reverse(folders.items.begin(), folders.items.end());
        if (!folders.items.empty()) last.push_back(std::move(folders));
    }

    const auto take = [&](const Unit& unit) {
        const SyncAction action = unit.onRemote ? SyncAction::deleteRemote : SyncAction::deleteLocal;
        const bool allGone = std::all_of(unit.items.begin(), unit.items.end(), [](const fs::Removal& item) { return !item.error; });
        if (!unit.whole || !allGone) {
            for (const fs::Removal& item : unit.items) removed(item.path, action, false, item.error);
            return;
        }
        const QString& folder = unit.items.back().path;
        OVLOG_DEBUG(Log::Sync::syncLoopAction(), QStringLiteral("Removed \"%1\" %2 with the %3 items below it")
                                                     .arg(folder, unit.onRemote ? QStringLiteral("remotely") : QStringLiteral("locally"))
                                                     .arg(unit.items.size() - 1));
        fs::eraseSubtree(unit.onRemote ? remoteTree_ : localTree_, folder);
        if (unit.onRemote) noteEcho(folder, std::nullopt);
        dropRecordsBelow(folder);
    };
    for (std::vector<Unit>* batch : {&units, &last}) {
        if (batch->empty()) continue;
        // Each thread keeps two folders at hand; what the process has to spare bounds the rest.
        const std::size_t spare = fs::freeDescriptors().value_or(1024);
        const std::size_t budget = spare > 16 ? spare - 16 : 0;
        Folders folders(std::clamp<std::size_t>(budget / 2, 2, maxFolderHandles));
        workers_.run(
            batch->size(),
            [&](std::size_t i) {
                Unit& unit = (*batch)[i];
                if (interrupted()) return;  // every item stays cancelled
                fs::FolderLookup lookup(folders);
                if (unit.onRemote) remote_->removeAll(unit.items, lookup, cancel_);
                else fs::removeAll(localRoot_, unit.items, lookup, cancel_);
            },
            [&](std::size_t i, std::exception_ptr thrown) {
                if (thrown) logFailure(QStringLiteral("A removal failed"), thrown);
                take((*batch)[i]);
                reportProgress(false);
            });
    }
}

std::optional<OrvellaSyncEngine::Core::Transfer> OrvellaSyncEngine::Core::prepareUpload(const Planned& item,
                                                                                       Folders& folders,
                                                                                       QSet<QString>& ready) {
    const QString& path = item.path;
    reportItem(path, OVItemSyncStatus::syncing);
    if (!prepareTargetFolder(path, true, folders, ready)) return std::nullopt;
    Transfer transfer{path, true, local(fs::parentOf(path)), *item.local, std::nullopt, {}};
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
    QSet<QString> ready;
    if (!prepareTargetFolder(path, false, folders, ready)) return std::nullopt;
    return Transfer{path, false, local(fs::parentOf(path)), remoteEntry, expectedLocal, {}};
}

bool OrvellaSyncEngine::Core::prepareTargetFolder(const QString& path, bool upload, Folders& folders,
                                                  QSet<QString>& ready) {
    const QString parent = fs::parentOf(path);
    // A folder the tree saw and that is gone now was removed meanwhile: it is not made again, and
    // the copy fails for it.
    int error = 0;
    if (upload) {
        if (parent.isEmpty() || ready.contains(parent) || madeRemotely_.contains(parent)) return true;
        const bool there = remote_->stat(parent, &error).has_value();
        if (there || !fs::meansGone(error) || knownFolder(remoteTree_, parent)) {
            ready.insert(parent);
            return true;
        }
        error = remote_->makeFolder(parent);
        if (!error) ready.insert(parent);
    } else {
        const QString absolute = local(parent);
        const auto folder = folders.open(absolute);
        if (folder->isOpen() || !fs::meansGone(folder->error()) || knownFolder(localTree_, parent)) return true;
        error = fs::makeFolders(absolute, localFolderMode, localRoot_);
        if (!error) folders.reopen(absolute);
    }
    if (error) failTransfer(path, upload, error);
    return !error;
}

// Only files are touched here, so several transfers may run at once on other threads.
void OrvellaSyncEngine::Core::runTransfers(std::span<Transfer* const> transfers, fs::FolderLookup& folders) const {
    remote_->transferAll(transfers, folders, cancel_, temporaryTag_);
}

bool OrvellaSyncEngine::Core::finishTransfer(const Transfer& transfer, bool lastTry) {
    const QString& path = transfer.path;
    const fs::TransferResult& result = transfer.result;
    if (!result.leftover.isEmpty()) leftovers_.insert(result.leftover);
    switch (result.outcome) {
    case fs::Outcome::done:
        if (transfer.upload) {
            remoteTree_[path] = result.written;
            noteEcho(path, result.written);
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
        // The remote side is not what the tree says: it is looked at again too rather than left
        // to a report of the journal that may have come before the tree was taken.
        if (result.outcome == (transfer.upload ? fs::Outcome::targetChanged : fs::Outcome::sourceChanged)) {
            std::lock_guard lock(mutex_);
            if (!pending_.remotePaths.contains(path)) pending_.remotePaths.insert(path, std::nullopt);
        }
        return true;
    case fs::Outcome::failed:
        // Out of descriptors is the process's shortage, not the item's fault.
        if (!lastTry && fs::meansOutOfDescriptors(result.error)) return false;
        failTransfer(path, transfer.upload, result.error, transfer.upload ? transfer.expectedSource.size : 0);
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
    const std::size_t parallel = std::clamp<std::size_t>(budget / 8, 1, workers_.threadCount());
    const std::size_t sliceSize = std::max<std::size_t>(1, remote_->transferSlice());
    Folders folders(std::clamp<std::size_t>((budget - std::min(budget, 2 * parallel)) / 2, 2, maxFolderHandles));
    std::vector<Transfer> transfers;
    transfers.reserve(batch.size());
    QSet<QString> ready;
    for (const Planned* item : batch) {
        auto transfer = item->step.action == SyncAction::upload
                            ? prepareUpload(*item, folders, ready)
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
        auto& items = byFolder[fs::parentOf(transfers[i].path)];
        if (items.empty()) order.push_back(&items);
        items.push_back(i);
    }
    std::vector<std::pair<std::size_t, std::size_t>> slices;  // (first, end) in `queue`
    std::vector<std::size_t> queue;
    queue.reserve(transfers.size());
    for (std::size_t round = 0; queue.size() < transfers.size(); ++round) {
        for (const auto* items : order) {
            const std::size_t first = round * sliceSize;
            if (first >= items->size()) continue;
            const std::size_t end = std::min(items->size(), first + sliceSize);
            slices.emplace_back(queue.size(), queue.size() + end - first);
            queue.insert(queue.end(), items->begin() + std::ptrdiff_t(first), items->begin() + std::ptrdiff_t(end));
        }
    }

    std::counting_semaphore<> running{std::ptrdiff_t(parallel)};
    std::vector<std::size_t> short_;  // ran out of descriptors: tried again, one at a time
    workers_.run(
        slices.size(),
        [&](std::size_t slice) {
            running.acquire();
            try {
                fs::FolderLookup lookup(folders);
                std::vector<Transfer*> items;
                for (std::size_t i = slices[slice].first; i < slices[slice].second; ++i) items.push_back(&transfers[queue[i]]);
                runTransfers(items, lookup);
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
            if (thrown) logFailure(QStringLiteral("A transfer failed"), thrown);
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
            fs::FolderLookup lookup(folders);
            Transfer* const item = &transfers[i];
            runTransfers({&item, 1}, lookup);
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
    fs::FolderLookup lookup(folders);
    Transfer* const item = &*transfer;
    runTransfers({&item, 1}, lookup);
    finishTransfer(*transfer, true);
}

void OrvellaSyncEngine::Core::createRemoteFolders(std::vector<const Planned*>& items) {
    const auto depth = [](const Planned* item) { return item->path.count(u'/'); };
    std::stable_sort(items.begin(), items.end(), [&](const Planned* a, const Planned* b) { return depth(a) < depth(b); });
    std::vector<std::pair<int, FsEntry>> made(items.size());
    for (std::size_t first = 0; first < items.size() && !interrupted();) {
        std::size_t end = first;
        while (end < items.size() && depth(items[end]) == depth(items[first])) ++end;
        workers_.run(
            end - first, [&](std::size_t i) { made[first + i].first = remote_->makeFolder(items[first + i]->path, &made[first + i].second); },
            [&](std::size_t i, std::exception_ptr thrown) {
                if (thrown) logFailure(QStringLiteral("Creating a remote folder failed"), thrown);
                const int error = made[first + i].first ? made[first + i].first : thrown ? EIO : 0;
                createdRemoteFolder(*items[first + i], error, made[first + i].second);
            });
        first = end;
    }
    items.clear();
}

void OrvellaSyncEngine::Core::createdRemoteFolder(const Planned& item, int error, const FsEntry& created) {
    const QString& path = item.path;
    if (error) return failTransfer(path, true, error);
    remoteTree_[path] = created;
    madeRemotely_.insert(path);
    setRecord(path, SyncRecord{*item.local, created});
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
        remote_->sameContent(local(path), path)) {
        const auto localNow = fs::stat(local(path));
        const auto remoteNow = remote_->stat(path);
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
