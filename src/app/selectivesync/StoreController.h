#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/selectivesync/ContextError.h"
#include "app/selectivesync/FileSystemNode.h"
#include "app/selectivesync/ObjectContext.h"
#include "app/selectivesync/PersistentContainer.h"
#include "app/selectivesync/SelectiveSyncError.h"
#include "app/selectivesync/SelectiveSyncLevel.h"
#include "app/selectivesync/SelectiveSyncStatistics.h"
#include "frameworks/business/BusinessError.h"
#include "frameworks/sync/SelectiveSyncItem.h"

class DirectoryHierarchyNode;

// Gives the store's container.
class StoreControllerDependencyProvider {
public:
    virtual ~StoreControllerDependencyProvider() = default;
    virtual std::shared_ptr<PersistentContainer> container() const = 0;
};

// The selective-sync store: the local copy of the remote folder tree with the user's three-state
// selection, the subscription list derived from it, and the loading of remote folder levels into
// it. Main thread only; every read and write goes through the view context in line.
class StoreController : public std::enable_shared_from_this<StoreController> {
public:
    // What happens when the store cannot be opened. A damaged store file is first set aside and a
    // new store made in its place, seeded with the engine's subscriptions; only when that fails too
    // does this run. The default shows the error in a modal alert and then terminates the application.
    using LoadFailureHandler = std::function<void(const ContextError&)>;

    // The process's store on "Model.sqlite" in the application's data folder, made and loaded on
    // first use.
    static StoreController& shared();
    static std::shared_ptr<StoreController> sharedPointer();

    // A store over a container of the caller's choice (another file, or memory), loaded at once.
    static std::shared_ptr<StoreController> make(std::shared_ptr<PersistentContainer> container,
                                                 LoadFailureHandler onLoadFailure = {});
    static std::shared_ptr<StoreController> make(std::unique_ptr<StoreControllerDependencyProvider> provider,
                                                 LoadFailureHandler onLoadFailure = {});
    // The default reaction to a store that cannot be opened.
    static void presentLoadFailureAndTerminate(const ContextError& error);

    ~StoreController();
    StoreController(const StoreController&) = delete;
    StoreController& operator=(const StoreController&) = delete;

    const StoreControllerDependencyProvider& dependencyProvider() const { return *dependencyProvider_; }
    std::shared_ptr<PersistentContainer> container() const { return dependencyProvider_->container(); }
    ObjectContext& viewContext() const { return container()->viewContext(); }
    // The files of the persistent stores; empty names for stores kept in memory.
    QStringList storeFiles() const;
    // The subscription list built last; empty until one is built.
    const std::vector<SelectiveSyncItem>& syncItems() const { return syncItems_; }

    // --- The tree ---

    // The first node stored for the path; none (after logging "Unknown local node for path: ")
    // when there is none or the store cannot be read. The completion runs before this returns.
    void nodeForRelativePath(const QString& path, const std::function<void(std::shared_ptr<FileSystemNode>)>& completion);
    std::shared_ptr<FileSystemNode> nodeForRelativePath(const QString& path);
    // The same lookup for a node that may well not exist yet (the root before the first
    // browse, the folders a merge seeds): none without a log line.
    std::shared_ptr<FileSystemNode> storedNode(const QString& path);
    std::shared_ptr<FileSystemNode> rootNode();
    // Some node's state differs from its snapshot.
    bool hasModifiedNodes();
    // None when a count fails.
    std::optional<SelectiveSyncStatistics> statistics();

    // Recomputes the ancestors of a node whose state changed: the root becomes mixed, any other
    // ancestor on when all its children are on, else mixed. Not saved.
    void updateParentSyncState(const std::shared_ptr<FileSystemNode>& node);
    // Pushes the node's state down its stored subtree (mixed gives off). Not saved.
    void applySyncStateToChildren(const std::shared_ptr<FileSystemNode>& node);
    int countChildren(const FileSystemNode& node, std::int16_t syncState) const;

    // Inserts a node for the path, with every missing ancestor first (those without identifier
    // and with the default state). Not saved.
    std::shared_ptr<FileSystemNode> createNode(const QString& path, const std::optional<QString>& remoteIdentifier);
    // Inserts one node below `parent` (none only for "/"); the completion gets none when the
    // parent is missing. The completion runs before this returns. Not saved.
    void createNodeForPath(const QString& path, const std::optional<QString>& remoteIdentifier,
                           const std::shared_ptr<FileSystemNode>& parent,
                           const std::function<void(std::shared_ptr<FileSystemNode>)>& completion);
    // The stored node of the path's parent folder, if any.
    std::shared_ptr<FileSystemNode> parentNode(const QString& path);
    // The node's parent; for a node that has lost it, the stored one of its parent path, created
    // (mixed) when there is none.
    std::shared_ptr<FileSystemNode> resolveParent(const std::shared_ptr<FileSystemNode>& node);
    // Deletes the node of the path and everything below it. Not saved.
    std::optional<SelectiveSyncError> deleteNode(const QString& path);
    // Deletes every node (sign-out) and saves.
    void resetSelectiveSyncItems();

    // --- Subscriptions ---

    // Builds the list from the stored tree into `syncItems` and hands it over (empty, with
    // `syncItems` untouched, when there is no root). Saves the view context; a failure is ignored.
    void selectiveSyncItems(const std::function<void(const std::vector<SelectiveSyncItem>&)>& completion);
    std::vector<SelectiveSyncItem> selectiveSyncItems(const FileSystemNode& parentNode);
    SelectiveSyncItem rootDirectorySelectiveSyncItem(const FileSystemNode& rootNode);
    // Seeds the tree from the engine's subscriptions: a node per path (on for a recursive item,
    // mixed otherwise), drops stored nodes the list does not name, saves, and completes on the
    // main queue. None: completes at once and changes nothing.
    void merge(const std::optional<std::vector<SelectiveSyncItem>>& items, std::function<void()> completion);
    // Deletes every stored node whose path is not listed (ancestors of listed nodes stay) and saves.
    void removeOrphanedSelectiveSyncItems(const QStringList& modifiedItems);

    // --- Remote levels (StoreControllerHierarchy.cpp) ---

    // The signed-in user's remote root folder; none without user or root.
    std::shared_ptr<DirectoryHierarchyNode> remoteRootDirectory() const;
    // Creates or refreshes the root node and loads the root level; the root's own pair first.
    void rootNode(const std::vector<SelectiveSyncItem>& selectiveSyncItems,
                  std::function<void(SelectiveSyncLevelResult)> completion);
    // Stores the children of one loaded level below `remoteNode` (the stored node of the folder).
    void selectiveSyncHierarchy(const BusinessResult<std::shared_ptr<DirectoryHierarchyNode>>& result,
                                const std::shared_ptr<FileSystemNode>& remoteNode,
                                const std::vector<SelectiveSyncItem>& selectiveSyncItems,
                                std::function<void(SelectiveSyncLevelResult)> completion);
    void createChildNodesIfNeededInBackground(const std::vector<std::shared_ptr<DirectoryHierarchyNode>>& children,
                                              const std::shared_ptr<FileSystemNode>& parent,
                                              const std::vector<SelectiveSyncItem>& selectiveSyncItems,
                                              std::function<void(SelectiveSyncLevel)> completion);
    static std::int16_t initialSyncState(const QString& childPath, const QString& remoteIdentifier,
                                         const FileSystemNode* parent,
                                         const std::vector<SelectiveSyncItem>& selectiveSyncItems);
    void cleanupDuplicatedNodes(const std::vector<std::shared_ptr<DirectoryHierarchyNode>>& apiChildren,
                                const std::shared_ptr<FileSystemNode>& parent);
    void removeVanishedChildren(const std::vector<std::shared_ptr<DirectoryHierarchyNode>>& apiChildren,
                                const std::shared_ptr<FileSystemNode>& parent);
    // The number of the remote root's children the store keeps, and the stored root's state
    // (none without a stored root); on the main queue.
    void rootNodeChildrenCount(std::function<void(int count, std::optional<std::int16_t> rootSyncState)> completion);

private:
    explicit StoreController(std::unique_ptr<StoreControllerDependencyProvider> provider);
    void load(const LoadFailureHandler& onLoadFailure);

    std::unique_ptr<StoreControllerDependencyProvider> dependencyProvider_;
    std::vector<SelectiveSyncItem> syncItems_;
};
