#pragma once

#include <QDateTime>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "frameworks/sync/SelectiveSyncItem.h"
#include "frameworks/sync/SqliteDatabase.h"
#include "frameworks/sync/SyncDecision.h"

// The engine's memory across runs, in one SQLite file: what was last in step for every path, the
// subscriptions, and a few facts about the two roots. Changes are collected in a transaction
// that `commit()` ends; a crash loses at most the uncommitted ones, which the next start then
// finds again by comparing both sides. Used from one thread at a time.
class SyncStateStore {
public:
    // Opens or creates the file; throws SqliteError when that fails, one that `isDamage()` when
    // the file does not pass SQLite's integrity check.
    explicit SyncStateStore(const QString& path);
    // Renames a damaged state file and its journal files aside (beside it, with the time in the
    // name), so that a new one can take its place; returns the new name, throws when it cannot.
    static QString setAside(const QString& path);
    ~SyncStateStore();
    SyncStateStore(const SyncStateStore&) = delete;
    SyncStateStore& operator=(const SyncStateStore&) = delete;

    std::map<QString, SyncRecord> loadRecords();
    void putRecord(const QString& path, const SyncRecord& record);
    void removeRecord(const QString& path);
    // The record of `path` and those of everything below it.
    void removeRecordsBelow(const QString& path);
    void removeAllRecords();

    std::optional<std::vector<SelectiveSyncItem>> loadSubscriptions();
    void saveSubscriptions(const std::vector<SelectiveSyncItem>& items);

    std::optional<QString> value(const QString& key);
    void setValue(const QString& key, const QString& value);

    void commit();

private:
    void begin();

    std::unique_ptr<SqliteDatabase> db_;
    std::optional<SqliteStatement> put_;
    std::optional<SqliteStatement> remove_;
    std::optional<SqliteStatement> removeBelow_;
    bool inTransaction_ = false;
};
