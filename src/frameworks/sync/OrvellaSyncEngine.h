#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "frameworks/sync/SyncFacade.h"

class RemoteTree;
class StorageService;

// The sync engine: keeps the sync folder and the user's remote tree (see RemoteTree) in
// step, both ways, on a thread of its own.
//
// It compares both sides with what was last in step (kept in a state database in its data
// folder) and carries every difference over: new and changed items, deletions on one side of
// items the other side left alone, and, for items changed on both sides, both versions (the local
// one under a conflict name). Local changes arrive through the listener, remote ones from the
// service's change journal (asked for the changes after the engine's cursor, waiting for them);
// only a remote tree the service does not journal is polled. With nothing changing no pass runs,
// except to retry what failed once its back-off is over, or to look again at what could not be
// read or reached.
// Every write goes to a temp file beside its target and is renamed into place, so a failed
// transfer leaves the old version as it was; a local item is deleted for a remote deletion only
// while it is unchanged since it was last in step, and the sync folder itself is never deleted.
//
// The status is idle (up to date, or the error of what failed) only while nothing is known to be
// left: no pass waiting, no change handed over and not yet taken, no burst of local changes still
// coming in. Until then it stays syncing, between passes and between batches alike.
//
// Status and item-status changes, ignore questions and events go to the configuration's delegate,
// always from the engine's thread.
class OrvellaSyncEngine final : public SyncFacade, public LocalChangesListener {
public:
    struct Options {
        // How often the remote tree is compared with what was seen before when the service does
        // not journal it, and what is away or unreadable is looked at again.
        int pollIntervalMs = 1000;
        // How long one question for remote changes waits for one.
        int longPollMs = 30000;
        // How long the engine stays idle before it lets go of what it knows of items that are in
        // step (the next pass takes it back from the sync state): kept while changes keep coming,
        // so that a pass costs what changed.
        int compactAfterIdleMs = 10000;
        // How long after the last local change the engine still takes a burst of them to be
        // coming in: file events reach it in batches (the event stream's, every half second), and
        // between two batches of one copy it is not up to date.
        int burstQuietMs = 1000;
    };

    // `remoteRootPath` is the user's remote tree (the service's "users/<name>" folder); the quota
    // of that user is respected when the service knows the account. `dataFolderPath` holds the
    // state database and is created when missing. Throws std::runtime_error when a path is
    // missing, the two trees overlap, or the state is in use by another engine.
    //
    // The state is read on the engine's thread, so that construction returns at once: until then
    // items are syncing, the status is preparing and `subscriptions()` waits for the stored ones
    // (or returns those set since). A damaged state is set aside and rebuilt by comparing both
    // sides; one that cannot be opened at all leaves the engine idle with a setup failure.
    OrvellaSyncEngine(SyncFacadeConfiguration configuration, std::shared_ptr<StorageService> service,
                      const QString& remoteRootPath, const QString& dataFolderPath);
    OrvellaSyncEngine(SyncFacadeConfiguration configuration, std::shared_ptr<StorageService> service,
                      const QString& remoteRootPath, const QString& dataFolderPath, Options options);
    // Any remote tree: a folder of this machine (as above) or a service across the network.
    OrvellaSyncEngine(SyncFacadeConfiguration configuration, std::shared_ptr<RemoteTree> remote,
                      const QString& dataFolderPath, Options options);
    // Stops the thread (a transfer under way is abandoned, its target left as it was) and writes the
    // state.
    ~OrvellaSyncEngine() override;
    OrvellaSyncEngine(const OrvellaSyncEngine&) = delete;
    OrvellaSyncEngine& operator=(const OrvellaSyncEngine&) = delete;

    // SyncFacade
    LocalChangesListener& localChangesListener() override { return *this; }
    std::vector<SelectiveSyncItem> subscriptions() const override;
    void setSubscriptions(const std::vector<SelectiveSyncItem>& items) override;
    std::vector<SyncErrorInfo> syncErrors() const override;
    void triggerSync() override;
    void setSyncEnabled(bool enabled) override;
    OVItemSyncStatus itemSyncStatus(const QString& path) const override;

    // LocalChangesListener: absolute paths inside the sync folder; anything else is dropped.
    void fileChanged(const QString& path) override;
    void fileMoved(const QString& from, const QString& to) override;
    void fileReplaced(const QString& from, const QString& to) override;
    void directoryAdded(const QString& path) override;
    void directoryMoved(const QString& from, const QString& to) override;
    void directoryReplaced(const QString& from, const QString& to) override;
    void itemDeleted(const QString& path) override;
    void itemPermissionChanged(const QString& path, bool isDirectory) override;
    void mustScanSubDirectories() override;

    // The status last reported to the delegate.
    SyncStatus currentStatus() const;
    // Passes that ended with nothing (more) to do, paused and offline ones included. An idle
    // engine runs none: `requestCheck` tells when everything changed before now was looked at.
    std::uint64_t idlePassCount() const;
    // Passes started since the engine was made.
    std::uint64_t passCount() const;
    // Asks for a pass that looks at everything reported before now, the remote changes included;
    // returns the number `checkedCount` reaches once a pass after it ended with nothing left to do.
    std::uint64_t requestCheck();
    std::uint64_t checkedCount() const;
    // The state database's file name inside the data folder.
    static QString stateFileName();
    // Sets the process's heap up for a long-running engine, which keeps large trees and frees
    // much after every busy pass; to be called first in main, before any thread starts.
    static void configureProcessHeap();

    class Core;

private:
    std::unique_ptr<Core> core_;
};
