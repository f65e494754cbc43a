#pragma once

#include <QString>

#include <QByteArray>
#include <QHash>

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "app/selectivesync/ContextError.h"
#include "app/selectivesync/FileSystemNode.h"
#include "app/selectivesync/NodePredicate.h"
#include "app/selectivesync/ObjectID.h"
#include "app/selectivesync/PersistentContainer.h"

struct sqlite3;
struct sqlite3_stmt;

// One stored row of the node table.
struct StoredNodeRow {
    ObjectID id;
    std::int64_t version = 0;
    FileSystemNode::Values values;
};

// The rows of a read, and the store's generation they belong to.
struct StoredNodeRows {
    std::vector<StoredNodeRow> rows;
    std::uint64_t generation = 0;
};

// One node's pending change, as a context hands it to a save. The values are the context's own,
// read during the save only.
struct NodeChange {
    enum class Kind { insert, update, remove };
    Kind kind = Kind::insert;
    ObjectID id;
    const FileSystemNode::Values* values = nullptr;
    const FileSystemNode::Values* committed = nullptr;  // what the context read; update only
    std::int64_t version = 0;                           // the version the context read; update only
};

// A node that a save inserted or updated, as it is stored now.
struct WrittenNode {
    std::size_t change = 0;  // its place among the changes handed to the save
    std::int64_t version = 0;
    // What the row holds when that is not what was handed in: another context's write, kept in
    // the properties not changed here.
    std::optional<FileSystemNode::Values> stored;
};

// What a save did: the nodes inserted and updated that are still stored, and every row that went,
// those below a deleted node included.
struct NodeCommit {
    std::vector<WrittenNode> written;
    std::vector<ObjectID> removed;
};

// The node table in its SQLite file, shared by every context of a container. Every call takes the
// store's lock, so contexts on different threads may use it at once. A parent's rows take their
// children's rows with them.
class PersistentStore {
public:
    explicit PersistentStore(PersistentStoreDescription description);
    ~PersistentStore();
    PersistentStore(const PersistentStore&) = delete;
    PersistentStore& operator=(const PersistentStore&) = delete;

    const PersistentStoreDescription& description() const { return description_; }
    // Creates the folder, the file and the table when missing; idempotent once it succeeded. The
    // folder and the files are left to their owner alone. A file that is no readable store fails
    // with a damaged error.
    std::optional<ContextError> open();
    bool isOpen() const;
    // Renames a store that is not open, with its journal files, to "<file>.damaged-<UTC time>" beside
    // it, so that a new one can take its place; answers the new name, or the error.
    ContextResult<QString> setAside();

    // A new identifier, never handed out before for this store.
    ObjectID newObjectID();
    // Changes with every write, so that a context can tell whether there may be rows it has not seen.
    std::uint64_t generation() const;

    ContextResult<StoredNodeRows> readAll();
    // No row when there is none with that identifier.
    ContextResult<std::optional<StoredNodeRow>> readRow(ObjectID id);
    ContextResult<std::vector<StoredNodeRow>> readChildren(ObjectID parent);
    // The rows that saves since the store's generation `since` may have inserted, for a context
    // that held every row then; rows it already holds may come along.
    ContextResult<StoredNodeRows> readInsertedSince(std::uint64_t since);
    // The rows with any of the paths, in one read, by the path index.
    ContextResult<StoredNodeRows> readWithPaths(const std::vector<QString>& paths);

    // Writes the changes in one transaction. With `writeOverOthers` an update writes the changed
    // properties even when another context wrote the row since it was read; without, that is a
    // conflict and nothing is written. Deletions come last, so a change to a row that goes with
    // a deleted parent is no conflict.
    ContextResult<NodeCommit> commit(const std::vector<NodeChange>& changes, bool writeOverOthers);
    // Deletes the rows matching the predicate with everything below them; answers every
    // identifier deleted.
    ContextResult<std::vector<ObjectID>> batchDelete(const NodePredicate& predicate);

private:
    std::optional<ContextError> openLocked();
    ContextResult<StoredNodeRows> readLocked(const char* where, std::optional<std::int64_t> argument);
    // The statement for the SQL, prepared on its first use and kept while the store is open, so
    // that a save of many rows does not compile the same statement for each; none when it cannot
    // be prepared.
    sqlite3_stmt* prepared(const QByteArray& sql);
    // The update of the columns in `columns` (one bit per changed column), guarded by the version
    // read or not.
    sqlite3_stmt* preparedUpdate(unsigned columns, bool guarded);
    // Writes the columns in `columns` of the row, only while it has `version` when one is given;
    // false on an error.
    bool updateRow(ObjectID id, const FileSystemNode::Values& values, unsigned columns,
                   std::optional<std::int64_t> version);

    PersistentStoreDescription description_;
    mutable std::mutex mutex_;
    sqlite3* db_ = nullptr;
    QHash<QByteArray, sqlite3_stmt*> statements_;
    std::array<sqlite3_stmt*, 256> updates_{};
    std::int64_t lastID_ = 0;
    std::uint64_t generation_ = 1;
    // For each save that inserted rows: the generation it made and the lowest identifier it
    // inserted. Identifiers are handed out before their saves, which need not come in order.
    std::vector<std::pair<std::uint64_t, std::int64_t>> insertions_;
};
