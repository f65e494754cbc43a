#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

// Transfer progress of one direction: how many bytes of how many are done.
struct SyncProgress {
    std::int64_t total = 0;
    std::int64_t completed = 0;
    bool isFinished = false;
    bool operator==(const SyncProgress&) const = default;
};

// The engine's errors, in its case order. The first two carry a value the texts do not use; a file
// too large for the room left carries its size.
struct SyncError {
    enum class Kind {
        insufficientLocalStorage,
        tooManyRepeatedUploads,
        itemIsReadonlyOnRemote,
        itemIsReadonlyOnLocalFS,
        itemIsInReadonlyDirectory,
        insufficientRemoteStorage,
        rootDirectoryNotFound,
        setupFailure,
        // Items left out without stopping anything else: a name that is not valid text, a file
        // or folder its owner may not read.
        invalidItemName,
        itemIsUnreadable,
        // One file larger than the room left in the online storage: that file's error, while
        // smaller ones still go (insufficientRemoteStorage is the storage itself being full).
        fileTooLargeForRemoteStorage,
    };
    Kind kind = Kind::setupFailure;
    std::int64_t value = 0;

    // Whether the error stops syncing as a whole (not just one item).
    bool shouldInterruptSync() const;
    bool operator==(const SyncError&) const = default;
};

// The engine's status, in its case order.
struct SyncStatus {
    enum class Kind { syncing, progress, finishing, error, paused, upToDate, offline, preparing };
    Kind kind = Kind::preparing;
    bool flag = false;            // syncing, progress
    SyncProgress download;        // progress, finishing
    SyncProgress upload;          // progress, finishing
    std::optional<SyncError> error;  // error

    static SyncStatus syncing(bool flag) { return {Kind::syncing, flag, {}, {}, std::nullopt}; }
    static SyncStatus progress(SyncProgress down, SyncProgress up, bool flag) { return {Kind::progress, flag, down, up, std::nullopt}; }
    static SyncStatus finishing(SyncProgress down, SyncProgress up) { return {Kind::finishing, false, down, up, std::nullopt}; }
    static SyncStatus makeError(SyncError e) { return {Kind::error, false, {}, {}, e}; }
    static SyncStatus of(Kind kind) { return {kind, false, {}, {}, std::nullopt}; }

    bool isInterruptingSync() const;
    bool operator==(const SyncStatus&) const = default;
};

// Text of a status for log lines, e.g. "upToDate" or "error(setupFailure)".
QString describe(const SyncStatus& status);

// An item's state; the words travel to the file-manager extension.
enum class OVItemSyncStatus { error, readOnly, syncing, synced, selectivelyNotSynced, ignored };
QString itemSyncStatusWord(OVItemSyncStatus status);

struct SyncErrorInfo {
    QDateTime date;
    std::optional<QString> rootRelativePath;
    SyncError error;
};

enum class MoveActionRevertReason { systemFolder, regularItem };

// Events the engine reports besides statuses, in its case order.
struct SyncEvent {
    enum class Kind { moveActionReverted, systemFolderDeleted, teamfolderAccessGranted, teamfolderAccessRemoved,
                      localItemRenamed, notEnoughDiskSpace };
    Kind kind = Kind::notEnoughDiskSpace;
    QString first;   // URL path or name, by kind
    QString second;  // second URL path or name, by kind
    MoveActionRevertReason reason = MoveActionRevertReason::regularItem;
};
