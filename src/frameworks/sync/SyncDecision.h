#pragma once

#include <QString>

#include <cstdint>
#include <optional>

#include "frameworks/sync/SyncFileSystem.h"
#include "frameworks/sync/SyncTypes.h"

// What both sides of one path looked like when they were last in step.
struct SyncRecord {
    FsEntry local;
    FsEntry remote;
    bool isDirectory() const { return local.isDirectory(); }
    bool operator==(const SyncRecord&) const = default;
};

enum class SyncAction : std::uint8_t {
    none,
    upload,
    download,
    createRemoteFolder,
    createLocalFolder,
    deleteRemote,        // gone locally, unchanged remotely
    deleteLocal,         // gone remotely, unchanged locally
    removeUnsubscribed,  // in step but no longer held locally
    recordInSync,        // both sides already agree
    forget,              // gone on both sides
    resolveBothChanged,  // same bytes: record; else a conflict copy keeps both
};

// One path's work: an optional removal that clears the way (done deepest first, before
// everything else), then the main action (done parents first).
struct SyncStep {
    SyncAction removal = SyncAction::none;
    SyncAction action = SyncAction::none;
    bool operator==(const SyncStep&) const = default;
};

bool localChanged(const std::optional<FsEntry>& local, const std::optional<SyncRecord>& base);
bool remoteChanged(const std::optional<FsEntry>& remote, const std::optional<SyncRecord>& base);

// The reconciliation rule. Nothing a user made is ever lost: an item deleted on one side but
// changed on the other comes back, and changes on both sides end as two items.
SyncStep decide(const std::optional<FsEntry>& local, const std::optional<FsEntry>& remote,
                const std::optional<SyncRecord>& base, bool subscribed);

// "report.txt" -> "report (conflicted copy).txt"; with number 2: "report (conflicted copy 2).txt".
// Folders and names starting with a dot keep the whole name before the suffix.
QString conflictCopyName(const QString& name, const QString& suffix, bool isDirectory, int number = 1);

QString actionName(SyncAction action);

// Below this much room the online storage counts as full: nearly every file a user adds (a photo,
// a document) would be refused. With more room left, a file that does not fit is too large for
// it, and smaller ones still go.
inline constexpr std::int64_t remoteStorageFullBelow = 1'000'000;

// Why `needed` bytes found no room remotely, given the free bytes the service reports (none when
// they could not be asked). A refusal says the room is less than what was refused, whatever the
// quota says: a small file refused means the storage is full.
SyncError::Kind noRemoteRoomError(std::optional<std::int64_t> freeBytes, std::int64_t needed);
