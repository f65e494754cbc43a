#pragma once

#include <QString>

#include <cstdint>
#include <optional>

#include "frameworks/sync/SyncFileSystem.h"

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
