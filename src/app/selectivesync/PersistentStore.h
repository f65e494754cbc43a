#pragma once

#include <QString>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "app/selectivesync/ContextError.h"
#include "app/selectivesync/FileSystemNode.h"
#include "app/selectivesync/NodePredicate.h"
#include "app/selectivesync/ObjectID.h"
#include "app/selectivesync/PersistentContainer.h"

struct sqlite3;

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

// One node's pending change, as a context hands it to a save.
struct NodeChange {
    enum class Kind { insert, update, remove };
    Kind kind = Kind::insert;
    ObjectID id;
    FileSystemNode::Values values;
    FileSystemNode::Values committed;  // what the context read; update only
    std::int64_t version = 0;          // the version the context read; update only
};

// What a save did: the rows of the inserted and updated nodes as stored now, and every row that
// went, those below a deleted node included.
struct NodeCommit {
    std::vector<StoredNodeRow> rows;
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
    ContextResult<StoredNodeRows> readLocked(const char* sql, std::optional<std::int64_t> argument);

    PersistentStoreDescription description_;
    mutable std::mutex mutex_;
    sqlite3* db_ = nullptr;
    std::int64_t lastID_ = 0;
    std::uint64_t generation_ = 1;
};
