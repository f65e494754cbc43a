#include "app/selectivesync/StoreController.h"

#include <QSet>

#include <mutex>

#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "frameworks/logger/LogChannel.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/foundation/MainQueue.h"

namespace {

const QString kRootPath = QStringLiteral("/");

struct OVStoreControllerDependencyProvider : StoreControllerDependencyProvider {
    explicit OVStoreControllerDependencyProvider(std::shared_ptr<PersistentContainer> c) : container_(std::move(c)) {}
    std::shared_ptr<PersistentContainer> container() const override { return container_; }
    std::shared_ptr<PersistentContainer> container_;
};

// The path with its last component removed: /a/b gives /a, /a gives "/", "/" stays "/". A path
// without any separator gives the empty path, which has no parent.
QString parentPathOf(const QString& path) {
    if (path == kRootPath) return kRootPath;
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(u'/')) trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf(u'/');
    if (slash < 0) return QString();
    if (slash == 0) return kRootPath;
    return trimmed.left(slash);
}

std::optional<QString> identifierOf(const SelectiveSyncItem& item) {
    return item.remoteIdentifier.isEmpty() ? std::nullopt : std::optional<QString>(item.remoteIdentifier);
}

std::shared_ptr<StoreController>& sharedInstance() {
    static std::shared_ptr<StoreController> instance;
    return instance;
}

}  // namespace

StoreController::StoreController(std::unique_ptr<StoreControllerDependencyProvider> provider)
    : dependencyProvider_(std::move(provider)) {}

StoreController::~StoreController() = default;

QStringList StoreController::storeFiles() const {
    QStringList files;
    for (const PersistentStoreDescription& description : container()->persistentStoreDescriptions())
        files << description.path.value_or(QString());
    return files;
}

StoreController& StoreController::shared() { return *sharedPointer(); }

std::shared_ptr<StoreController> StoreController::sharedPointer() {
    static std::once_flag once;
    std::call_once(once, [] {
        sharedInstance() = make(std::make_shared<PersistentContainer>(QStringLiteral("Model")));
    });
    return sharedInstance();
}

std::shared_ptr<StoreController> StoreController::make(std::shared_ptr<PersistentContainer> container,
                                                       LoadFailureHandler onLoadFailure) {
    return make(std::make_unique<OVStoreControllerDependencyProvider>(std::move(container)), std::move(onLoadFailure));
}

std::shared_ptr<StoreController> StoreController::make(std::unique_ptr<StoreControllerDependencyProvider> provider,
                                                       LoadFailureHandler onLoadFailure) {
    std::shared_ptr<StoreController> controller(new StoreController(std::move(provider)));
    controller->load(onLoadFailure);
    return controller;
}

void StoreController::load(const LoadFailureHandler& onLoadFailure) {
    std::shared_ptr<PersistentContainer> storeContainer = container();
    std::optional<ContextError> failure;
    bool replacedDamagedStore = false;
    storeContainer->loadPersistentStores(
        [&](const PersistentStoreDescription& description, const std::optional<ContextError>& error) {
            failure = error;
            // The store is a cache of the remote tree and of the engine's subscriptions: a damaged
            // one is set aside and made anew rather than keeping the application from starting.
            if (!error || !error->isDamaged || !description.path) return;
            const ContextResult<QString> aside = storeContainer->setPersistentStoreAside();
            if (!aside.isSuccess()) {
                OVLOG_ERROR(AppLog::selectiveSyncBrowser(), QStringLiteral("Cannot set the damaged store aside: ") +
                                                                aside.error().description);
                return;
            }
            OVLOG_WARNING(AppLog::selectiveSyncBrowser(),
                          QStringLiteral("The selective-sync store was damaged (%1); it was moved to %2 and a new one "
                                         "is built from the remote tree and the current subscriptions.")
                              .arg(error->description, aside.value()));
            replacedDamagedStore = true;
        });
    if (replacedDamagedStore)
        storeContainer->loadPersistentStores(
            [&](const PersistentStoreDescription&, const std::optional<ContextError>& error) { failure = error; });
    if (failure) (onLoadFailure ? onLoadFailure : presentLoadFailureAndTerminate)(*failure);
    storeContainer->viewContext().setMergePolicy(ObjectContext::MergePolicy::propertyObjectTrump);
    // The new store must not speak for the user before it knows the choice: a list built from an
    // empty store would hand the engine nothing, which it takes for the whole tree.
    if (replacedDamagedStore && !failure) merge(BusinessFacadeHolder::facade().subscriptionItems(), {});
}

void StoreController::presentLoadFailureAndTerminate(const ContextError& error) {
    Alert alert;
    alert.setMessageText(error.description);
    alert.setAlertStyle(Alert::Style::critical);
    alert.runModal();
    // Through the event loop, so that a failure before the loop runs still ends the application.
    MainQueue::async([] { Application::shared().terminate(); });
}

// --- The tree ---

void StoreController::nodeForRelativePath(const QString& path,
                                          const std::function<void(std::shared_ptr<FileSystemNode>)>& completion) {
    viewContext().performAndWait([&] {
        std::shared_ptr<FileSystemNode> node = storedNode(path);
        if (!node) OVLOG_ERROR(AppLog::selectiveSyncBrowser(), QStringLiteral("Unknown local node for path: ") + path);
        if (completion) completion(std::move(node));
    });
}

std::shared_ptr<FileSystemNode> StoreController::storedNode(const QString& path) {
    std::shared_ptr<FileSystemNode> node;
    viewContext().performAndWait([&] {
        const auto found = viewContext().fetch(NodePredicate::pathEquals(path), 1);
        if (found.isSuccess() && !found.value().empty()) node = found.value().front();
    });
    return node;
}

std::shared_ptr<FileSystemNode> StoreController::nodeForRelativePath(const QString& path) {
    std::shared_ptr<FileSystemNode> result;
    nodeForRelativePath(path, [&](std::shared_ptr<FileSystemNode> node) { result = std::move(node); });
    return result;
}

std::shared_ptr<FileSystemNode> StoreController::rootNode() {
    std::shared_ptr<FileSystemNode> result;
    viewContext().performAndWait([&] {
        const auto found = viewContext().fetch(NodePredicate::isRoot(), 1);
        if (found.isSuccess() && !found.value().empty()) result = found.value().front();
    });
    return result;
}

bool StoreController::hasModifiedNodes() {
    bool modified = false;
    viewContext().performAndWait([&] {
        const auto found = viewContext().fetch();
        if (!found.isSuccess()) return;
        for (const auto& node : found.value())
            if (node->syncState() != node->initialSyncState()) {
                modified = true;
                return;
            }
    });
    return modified;
}

std::optional<SelectiveSyncStatistics> StoreController::statistics() {
    std::optional<SelectiveSyncStatistics> result;
    viewContext().performAndWait([&] {
        ObjectContext& context = viewContext();
        const auto unfiltered = context.count(NodePredicate::all());
        const auto mixed = context.count(NodePredicate::syncStateExcludingRoot(FileSystemNode::stateMixed));
        const auto on = context.count(NodePredicate::syncStateExcludingRoot(FileSystemNode::stateOn));
        const auto off = context.count(NodePredicate::syncStateExcludingRoot(FileSystemNode::stateOff));
        const auto total = context.count(NodePredicate::notRoot());
        if (!unfiltered.isSuccess() || !mixed.isSuccess() || !on.isSuccess() || !off.isSuccess() || !total.isSuccess())
            return;
        SelectiveSyncStatistics statistics;
        statistics.unfiltered = unfiltered.value();
        statistics.mixed = mixed.value();
        statistics.on = on.value();
        statistics.off = off.value();
        statistics.total = total.value();
        result = statistics;
    });
    return result;
}

void StoreController::updateParentSyncState(const std::shared_ptr<FileSystemNode>& node) {
    if (!node) return;
    for (auto parent = node->parent(); parent; parent = parent->parent()) {
        std::int16_t state = FileSystemNode::stateMixed;
        if (parent->cachedRelativePath() != kRootPath && countChildren(*parent, FileSystemNode::stateOn) == parent->childCount())
            state = FileSystemNode::stateOn;
        parent->setSyncState(state);
    }
}

void StoreController::applySyncStateToChildren(const std::shared_ptr<FileSystemNode>& node) {
    if (!node) return;
    std::vector<std::shared_ptr<FileSystemNode>> pending{node};
    while (!pending.empty()) {
        const std::shared_ptr<FileSystemNode> current = pending.back();
        pending.pop_back();
        const std::int16_t state =
            current->syncState() == FileSystemNode::stateMixed ? FileSystemNode::stateOff : current->syncState();
        for (const auto& child : current->children()) {
            child->setSyncState(state);
            pending.push_back(child);
        }
    }
}

int StoreController::countChildren(const FileSystemNode& node, std::int16_t syncState) const {
    int count = 0;
    for (const auto& child : node.children())
        if (child->syncState() == syncState) ++count;
    return count;
}

std::shared_ptr<FileSystemNode> StoreController::createNode(const QString& path,
                                                            const std::optional<QString>& remoteIdentifier) {
    std::shared_ptr<FileSystemNode> parent;
    if (path != kRootPath) {
        parent = parentNode(path);
        const QString parentPath = parentPathOf(path);
        // A path without a parent path ends the climb instead of looping on itself.
        if (!parent && !parentPath.isEmpty() && parentPath != path) parent = createNode(parentPath, std::nullopt);
    }
    std::shared_ptr<FileSystemNode> node;
    viewContext().performAndWait([&] {
        node = viewContext().insertNewNode();
        node->setParent(parent);
        node->setRemoteIdentifier(remoteIdentifier);
        node->setCachedRelativePath(path);
    });
    return node;
}

void StoreController::createNodeForPath(const QString& path, const std::optional<QString>& remoteIdentifier,
                                        const std::shared_ptr<FileSystemNode>& parent,
                                        const std::function<void(std::shared_ptr<FileSystemNode>)>& completion) {
    ObjectContext* parentContext = parent ? parent->managedObjectContext() : nullptr;
    OVLOG_DEBUG(AppLog::selectiveSyncBrowser(), QStringLiteral("Path: ") + path);
    OVLOG_DEBUG(AppLog::selectiveSyncBrowser(),
                QStringLiteral("Parent path: ") +
                    (parent ? parent->cachedRelativePath().value_or(QStringLiteral("nil")) : QStringLiteral("nil")));
    OVLOG_DEBUG(AppLog::selectiveSyncBrowser(),
                QStringLiteral("Parent context: ") + (parentContext ? parentContext->description() : QStringLiteral("nil")));
    // A parent outside the view context (deleted, or of another context) cannot take the child.
    if (path != kRootPath && (!parent || parentContext != &viewContext() || parent->isDeleted())) {
        OVLOG_ERROR(AppLog::selectiveSyncBrowser(), QStringLiteral("Parent node missing for child with path: ") + path);
        if (completion) completion(nullptr);
        return;
    }
    viewContext().performAndWait([&] {
        auto node = viewContext().insertNewNode();
        if (parent && parentContext == &viewContext()) node->setParent(parent);
        node->setRemoteIdentifier(remoteIdentifier);
        node->setCachedRelativePath(path);
        if (completion) completion(node);
    });
}

std::shared_ptr<FileSystemNode> StoreController::parentNode(const QString& path) {
    const QString parentPath = parentPathOf(path);
    if (parentPath.isEmpty()) return nullptr;
    std::shared_ptr<FileSystemNode> result;
    viewContext().performAndWait([&] {
        const auto found = viewContext().fetch(NodePredicate::pathEquals(parentPath), 1);
        if (found.isSuccess() && !found.value().empty()) result = found.value().front();
    });
    if (result || parentPath == kRootPath || parentPath == path) return result;
    const auto grandparent = parentNode(parentPath);
    if (!grandparent) return nullptr;
    std::vector<std::shared_ptr<FileSystemNode>> matches;
    for (const auto& child : grandparent->children())
        if (child->cachedRelativePath() == parentPath) matches.push_back(child);
    return matches.size() == 1 ? matches.front() : nullptr;
}

std::shared_ptr<FileSystemNode> StoreController::resolveParent(const std::shared_ptr<FileSystemNode>& node) {
    if (!node) return nullptr;
    if (auto parent = node->parent()) return parent;
    const auto path = node->cachedRelativePath();
    if (!path || *path == kRootPath) return nullptr;
    if (auto parent = parentNode(*path)) return parent;
    const QString parentPath = parentPathOf(*path);
    if (parentPath.isEmpty() || parentPath == *path) return nullptr;
    auto parent = createNode(parentPath, std::nullopt);
    parent->setSyncState(FileSystemNode::stateMixed);
    parent->setInitialSyncState(FileSystemNode::stateMixed);
    return parent;
}

std::optional<SelectiveSyncError> StoreController::deleteNode(const QString& path) {
    std::optional<SelectiveSyncError> error;
    viewContext().performAndWait([&] {
        const auto found = viewContext().fetch(NodePredicate::pathEquals(path), 1);
        if (!found.isSuccess() || found.value().empty()) {
            error = SelectiveSyncError::unknownLocalNode;
            return;
        }
        viewContext().deleteObject(found.value().front());
    });
    return error;
}

void StoreController::resetSelectiveSyncItems() {
    viewContext().performAndWait([&] {
        ObjectContext& context = viewContext();
        // Unsaved nodes go too: the next save would otherwise write them back into the emptied
        // store, and the next account would find them.
        context.rollback();
        const auto deleted = context.executeBatchDelete(NodePredicate::all());
        std::optional<ContextError> error = deleted.isSuccess() ? context.save() : deleted.error();
        if (error)
            OVLOG_ERROR(AppLog::selectiveSyncBrowser(),
                        QStringLiteral("Cannot reset Selective Sync subscription items: ") + error->description);
    });
}

// --- Subscriptions ---

void StoreController::selectiveSyncItems(const std::function<void(const std::vector<SelectiveSyncItem>&)>& completion) {
    const auto root = nodeForRelativePath(kRootPath);
    if (!root) {
        if (completion) completion({});
        return;
    }
    OVLOG_DEBUG(AppLog::selectiveSyncBrowser(), QStringLiteral("Updating Selective Sync subscriptions\u2026"));
    syncItems_.clear();
    const SelectiveSyncItem rootItem = rootDirectorySelectiveSyncItem(*root);
    syncItems_.push_back(rootItem);
    if (!rootItem.recursive) {
        const auto below = selectiveSyncItems(*root);
        syncItems_.insert(syncItems_.end(), below.begin(), below.end());
    }
    viewContext().performAndWait([&] { viewContext().save(); });
    if (completion) completion(syncItems_);
}

std::vector<SelectiveSyncItem> StoreController::selectiveSyncItems(const FileSystemNode& parentNode) {
    std::vector<SelectiveSyncItem> items;
    for (const auto& child : parentNode.children()) {
        const auto path = child->cachedRelativePath();
        if (!path) continue;
        OVLOG_DEBUG(AppLog::selectiveSyncBrowser(), QStringLiteral("Current node path: ") + *path);
        const QString identifier = child->remoteIdentifier().value_or(QString());
        if (child->syncState() == FileSystemNode::stateOn) {
            OVLOG_DEBUG(AppLog::selectiveSyncBrowser(), QStringLiteral("Subscribing recursively. Skipping children\u2026"));
            items.push_back(SelectiveSyncItem{*path, true, identifier});
        } else if (child->syncState() == FileSystemNode::stateMixed) {
            OVLOG_DEBUG(AppLog::selectiveSyncBrowser(),
                        QStringLiteral("Subscribing non-recursively and traversing to the node\u2019s children\u2026"));
            items.push_back(SelectiveSyncItem{*path, false, identifier});
            const auto below = selectiveSyncItems(*child);
            items.insert(items.end(), below.begin(), below.end());
        }
    }
    return items;
}

SelectiveSyncItem StoreController::rootDirectorySelectiveSyncItem(const FileSystemNode& rootNode) {
    const bool recursive = countChildren(rootNode, FileSystemNode::stateOn) == rootNode.childCount();
    OVLOG_DEBUG(AppLog::selectiveSyncBrowser(), recursive ? QStringLiteral("Recursive root subscription created")
                                                          : QStringLiteral("Non-recursive root subscription created"));
    return SelectiveSyncItem{kRootPath, recursive, rootNode.remoteIdentifier().value_or(QString())};
}

void StoreController::merge(const std::optional<std::vector<SelectiveSyncItem>>& items, std::function<void()> completion) {
    if (!items) {
        if (completion) completion();
        return;
    }
    QStringList mergedPaths;
    std::vector<std::shared_ptr<FileSystemNode>> mergedNodes;
    for (const SelectiveSyncItem& item : *items) {
        viewContext().performAndWait([&] {
            // A path not stored yet is what the merge is for, a rebuilt store's every one: no error.
            std::shared_ptr<FileSystemNode> node = storedNode(item.path);
            if (!node && item.path == kRootPath) {
                createNodeForPath(kRootPath, identifierOf(item), nullptr,
                                  [&](std::shared_ptr<FileSystemNode> created) { node = std::move(created); });
            } else if (!node) {
                node = createNode(item.path, identifierOf(item));
            } else {
                node->setParent(resolveParent(node));
            }
            if (!node) return;
            node->setSyncState(item.recursive ? FileSystemNode::stateOn : FileSystemNode::stateMixed);
            mergedPaths << item.path;
            mergedNodes.push_back(node);
        });
    }
    // A stored ancestor that is off would hide a subscription below it from the next list built;
    // it becomes mixed unless the list names it itself.
    const QSet<QString> named(mergedPaths.begin(), mergedPaths.end());
    for (const auto& node : mergedNodes)
        for (auto ancestor = node->parent(); ancestor; ancestor = ancestor->parent())
            if (ancestor->syncState() == FileSystemNode::stateOff &&
                !named.contains(ancestor->cachedRelativePath().value_or(QString())))
                ancestor->setSyncState(FileSystemNode::stateMixed);

    std::weak_ptr<StoreController> weakSelf = weak_from_this();
    MainQueue::async([weakSelf, mergedPaths, completion = std::move(completion)] {
        if (const auto self = weakSelf.lock()) {
            self->viewContext().performAndWait([&] { self->removeOrphanedSelectiveSyncItems(mergedPaths); });
            self->viewContext().performAndWait([&] {
                if (const auto error = self->viewContext().save())
                    OVLOG_ERROR(AppLog::selectiveSyncBrowser(),
                                QStringLiteral("Cannot merge Selective Sync subscription items: ") + error->description);
            });
        }
        if (completion) completion();
    });
}

void StoreController::removeOrphanedSelectiveSyncItems(const QStringList& modifiedItems) {
    // The folders above a kept one stay as well: without them it would hang below a parent that
    // no longer exists, out of reach of the tree.
    QStringList kept = modifiedItems;
    QSet<QString> seen(modifiedItems.begin(), modifiedItems.end());
    for (const QString& path : modifiedItems)
        for (QString parent = parentPathOf(path), child = path; !parent.isEmpty() && parent != child;
             child = parent, parent = parentPathOf(parent))
            if (!seen.contains(parent)) {
                seen.insert(parent);
                kept << parent;
            }
    viewContext().performAndWait([&] {
        ObjectContext& context = viewContext();
        const auto deleted = context.executeBatchDelete(NodePredicate::pathNotIn(kept));
        std::optional<ContextError> error = deleted.isSuccess() ? context.save() : deleted.error();
        if (error)
            OVLOG_ERROR(AppLog::selectiveSyncBrowser(),
                        QStringLiteral("Cannot delete orphaned Selective Sync subscription items: ") + error->description);
    });
}
