#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "app/selectivesync/ObjectID.h"
#include "app/selectivesync/SelectiveSyncSizeCalculatorNode.h"

class ObjectContext;

// One remote folder of the selective-sync store with its three-state selection. A node lives in
// exactly one object context, which owns it; handles stay safe to hold after that (a node whose
// context was reset, or that was deleted and saved, answers no context and has no relations).
// Not thread-safe: touch a node only on its context's thread.
class FileSystemNode : public SelectiveSyncSizeCalculatorNode, public std::enable_shared_from_this<FileSystemNode> {
public:
    // The selection: the folder with everything below it, nothing, or the folder itself with its
    // subfolders chosen one by one.
    static constexpr std::int16_t stateOn = 1;
    static constexpr std::int16_t stateOff = 0;
    static constexpr std::int16_t stateMixed = -1;
    // What a node gets when nobody sets its state: an ancestor that was only created so that a
    // subscribed folder has a place in the tree must itself stay subscribed, or the subscription
    // below it would be dropped the next time the list is built.
    static constexpr std::int16_t defaultSyncState = stateMixed;

    static inline const QString entityName = QStringLiteral("FileSystemNode");

    // The stored values of one node: what the store keeps and what predicates look at.
    struct Values {
        std::optional<QByteArray> bookmarkData;
        std::optional<QString> cachedRelativePath;
        std::int16_t initialSyncState = defaultSyncState;
        bool isCached = false;
        std::int16_t syncState = defaultSyncState;
        std::optional<QString> remoteIdentifier;
        ObjectID parent;  // invalid for the root

        bool operator==(const Values&) const = default;
    };

    ~FileSystemNode() override;
    FileSystemNode(const FileSystemNode&) = delete;
    FileSystemNode& operator=(const FileSystemNode&) = delete;

    ObjectID objectID() const { return id_; }
    // None once the node was deleted and saved, or its context was reset or went away.
    ObjectContext* managedObjectContext() const { return context_; }
    bool isInserted() const { return inserted_; }
    bool isDeleted() const { return deleted_; }
    // Stored before, changed since the last save or refresh.
    bool isUpdated() const;
    // Inserted, updated or deleted and not saved yet.
    bool hasChanges() const;
    const Values& values() const { return values_; }
    // The values as last read from or written to the store.
    const Values& committedValues() const { return committed_; }

    // Declared for the store's format; nothing reads or writes it.
    std::optional<QByteArray> bookmarkData() const { return values_.bookmarkData; }
    void setBookmarkData(std::optional<QByteArray> data);
    // The folder's path in the remote tree ("/" for the root); the key of every look-up.
    std::optional<QString> cachedRelativePath() const override { return values_.cachedRelativePath; }
    void setCachedRelativePath(std::optional<QString> path);
    // The state when the node was last loaded, shown or applied; differing means modified.
    std::int16_t initialSyncState() const { return values_.initialSyncState; }
    void setInitialSyncState(std::int16_t state);
    // Kept by the browser for the folders whose level it has cached.
    bool isCached() const { return values_.isCached; }
    void setIsCached(bool cached);
    std::int16_t syncState() const override { return values_.syncState; }
    void setSyncState(std::int16_t state);
    std::optional<QString> remoteIdentifier() const { return values_.remoteIdentifier; }
    void setRemoteIdentifier(std::optional<QString> identifier);

    // None for the root (and for a node without context).
    std::shared_ptr<FileSystemNode> parent() const;
    // Moves the node below `parent` (none detaches it); the inverse side follows. Refused (false)
    // for a parent of another context, a deleted one, or one that would make the node its own
    // ancestor.
    bool setParent(const std::shared_ptr<FileSystemNode>& parent);
    // An unordered set; its order is the order in which the children joined.
    std::vector<std::shared_ptr<FileSystemNode>> children() const;
    int childCount() const { return int(children_.size()); }
    bool hasChildren() const { return !children_.empty(); }
    bool addToChildren(const std::shared_ptr<FileSystemNode>& child);
    bool removeFromChildren(const std::shared_ptr<FileSystemNode>& child);

    // The children sorted case-insensitively by path (nodes without path last), computed on first
    // use and kept until cleared, or until a child joins or leaves.
    std::vector<std::shared_ptr<FileSystemNode>> sortedChildren() const;
    void clearSortedChildren();

    std::vector<const SelectiveSyncSizeCalculatorNode*> sizeCalculatorChildren() const override;

    // For log lines: "FileSystemNode(12, /Documents, state 1)".
    QString description() const;

private:
    friend class ObjectContext;
    FileSystemNode(ObjectContext* context, ObjectID id, Values values, bool inserted);
    void invalidateSortedChildren() { sortedChildren_.reset(); }
    void noteChange();
    void detachChild(FileSystemNode* child);
    bool isAncestorOrSelf(const FileSystemNode* node) const;

    ObjectContext* context_;
    ObjectID id_;
    Values values_;
    Values committed_;
    std::int64_t version_ = 0;  // the row's version when read or written last
    bool inserted_;
    bool deleted_ = false;
    bool listedAsChanged_ = false;  // in its context's list of changed nodes
    FileSystemNode* parent_ = nullptr;
    std::vector<FileSystemNode*> children_;
    mutable std::optional<std::vector<std::shared_ptr<FileSystemNode>>> sortedChildren_;
};
