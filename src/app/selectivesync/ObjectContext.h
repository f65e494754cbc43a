#pragma once

#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "app/selectivesync/ContextError.h"
#include "app/selectivesync/FileSystemNode.h"
#include "app/selectivesync/NodePredicate.h"
#include "app/selectivesync/ObjectID.h"

class PersistentStore;
struct StoredNodeRow;

// An editing scope over the selective-sync store: the nodes it has read, the changes made to them
// since the last save, and the operations to fetch, insert, delete, save and forget. Each node is
// registered once per context, so two fetches give the same object.
//
// The view context belongs to the main thread; a background context belongs to the task it was
// made for. Neither is thread-safe. A context reads every stored row the first time it is asked
// for anything but object() and firstNodesWithPaths(), and registers rows that other contexts
// insert later when it fetches again. Values of rows it already holds change only through
// refresh(): contexts do not merge each other's saves on their own.
class ObjectContext {
public:
    enum class ConcurrencyType { mainQueue, privateQueue };
    // How a save treats a row that another context changed since this one read it: fail, or
    // write the properties changed here over the store's and keep the store's for the rest.
    enum class MergePolicy { error, propertyObjectTrump };

    ObjectContext(std::shared_ptr<PersistentStore> store, ConcurrencyType type, QString name);
    ~ObjectContext();
    ObjectContext(const ObjectContext&) = delete;
    ObjectContext& operator=(const ObjectContext&) = delete;

    ConcurrencyType concurrencyType() const { return type_; }
    QString name() const { return name_; }
    MergePolicy mergePolicy() const { return mergePolicy_; }
    void setMergePolicy(MergePolicy policy) { mergePolicy_ = policy; }
    // For log lines: "ObjectContext(view)".
    QString description() const;

    // Runs the block on the context's thread and waits for it: in line for the view context on
    // the main thread (or for a background context in its task), else handed to the main thread.
    void performAndWait(const std::function<void()>& block);

    // A new node with the default values, inserted into this context; stored by the next save.
    std::shared_ptr<FileSystemNode> insertNewNode();
    // Deletes the node and everything below it; the rows go with the next save.
    void deleteObject(const std::shared_ptr<FileSystemNode>& node);

    // The nodes matching the predicate, evaluated on their current values (unsaved changes
    // included, deleted nodes left out), oldest first; at most `fetchLimit` when it is positive.
    ContextResult<std::vector<std::shared_ptr<FileSystemNode>>> fetch(const NodePredicate& predicate = NodePredicate::all(),
                                                                    int fetchLimit = 0);
    ContextResult<int> count(const NodePredicate& predicate = NodePredicate::all());
    // Deletes the stored rows matching the predicate (on their stored values) and everything
    // below them, at once in the store, without a save. Nodes of this context whose rows went
    // are forgotten with them, so nothing stale can be written back; nodes inserted and not
    // saved yet are untouched. Answers the number of rows deleted.
    ContextResult<int> executeBatchDelete(const NodePredicate& predicate);

    // The node with that identifier, registering it from the store when needed; none when the
    // store has no such row (or it was deleted here).
    std::shared_ptr<FileSystemNode> existingObject(ObjectID id);
    // The same, reading no row but the node's own when this context does not hold it yet: a
    // context used for a few nodes stays as small as its work. The node's children are then the
    // ones this context holds.
    std::shared_ptr<FileSystemNode> object(ObjectID id);
    // For each path, the first live node with it on current values, as fetch() would answer it
    // (none where there is none): the nodes held here, and the stored rows with those paths, read
    // at once. Reads no other rows.
    ContextResult<std::vector<std::shared_ptr<FileSystemNode>>> firstNodesWithPaths(const std::vector<QString>& paths);
    // Reads the node's row (and the rows of its children) again. With `mergeChanges` the values
    // changed here and not saved yet are kept over the store's; without, they are dropped.
    void refresh(const std::shared_ptr<FileSystemNode>& node, bool mergeChanges);

    bool hasChanges() const;
    // Writes every insertion, change and deletion in one transaction; nothing is written when
    // it fails, and the changes stay pending.
    std::optional<ContextError> save();
    // Drops every unsaved change: inserted nodes go, the others take their stored values again.
    void rollback();
    // Forgets every node; the next request reads the store afresh.
    void reset();

    // Every node the context holds, deleted ones included, oldest first.
    std::vector<std::shared_ptr<FileSystemNode>> registeredObjects() const;

private:
    friend class FileSystemNode;
    std::optional<ContextError> loadIfNeeded();
    std::shared_ptr<FileSystemNode> registerRow(ObjectID id, const FileSystemNode::Values& values, std::int64_t version);
    // Registers the rows not held yet and links them.
    void registerRows(const std::vector<StoredNodeRow>& rows);
    // Puts the nodes just registered below their stored parents, and the nodes waiting for one of
    // them below it.
    void linkNew(const std::vector<FileSystemNode*>& added);
    // Moves a node below the parent its values name; one whose parent is not here waits for it.
    void relink(FileSystemNode& node);
    void relinkAll();
    static void detach(FileSystemNode& node);
    // Drops a node from the context, unlinked from its parent and children.
    void forget(ObjectID id);

    // Lists a node whose values may now differ from the store's, for the next save.
    void noteChanged(FileSystemNode& node);
    void pathChanged(FileSystemNode& node, const std::optional<QString>& before);
    // Gives a node other values wholesale (the stored ones, or a merge), keeping the path index in
    // step.
    void assignValues(FileSystemNode& node, const FileSystemNode::Values& values);
    void index(FileSystemNode& node);
    void unindex(FileSystemNode& node, const std::optional<QString>& path);
    // The nodes held with the path, oldest first, deleted ones included; none when there are none.
    const std::vector<FileSystemNode*>* nodesWithPath(const QString& path) const;

    std::shared_ptr<PersistentStore> store_;
    ConcurrencyType type_;
    QString name_;
    MergePolicy mergePolicy_ = MergePolicy::error;
    std::map<ObjectID, std::shared_ptr<FileSystemNode>> objects_;
    // The nodes by their current path.
    QHash<QString, std::vector<FileSystemNode*>> byPath_;
    // The nodes inserted, deleted or changed since the last save, each once: a save looks at
    // these alone. A node forgotten since has no context any more and is passed over.
    std::vector<std::shared_ptr<FileSystemNode>> changed_;
    // Nodes whose stored parent was not here when they were linked.
    std::set<ObjectID> waitingForParent_;
    bool loaded_ = false;
    std::uint64_t seenGeneration_ = 0;
};
