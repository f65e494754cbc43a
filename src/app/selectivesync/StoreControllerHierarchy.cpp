// The loading of remote folder levels into the store, and the clean-ups that keep the stored
// children in step with what the remote level lists.

#include <QHash>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <map>
#include <utility>

#include "app/common/LogChannels.h"
#include "app/core/AppError.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/RemotePath.h"
#include "app/selectivesync/StoreController.h"
#include "app/selectivesync/StoreHierarchyFilter.h"
#include "frameworks/business/DirectoryHierarchyNode.h"
#include "frameworks/logger/FrameworkChannels.h"
#include "platform/foundation/MainQueue.h"

namespace {

using RemoteChildren = std::vector<std::shared_ptr<DirectoryHierarchyNode>>;
using LevelResult = BusinessResult<std::shared_ptr<DirectoryHierarchyNode>>;

// What the background task needs of a remote child: plain values, so that nothing of the
// framework's objects is read off the main thread.
struct ChildValues {
    std::optional<QString> path;
    QString identifier;
    bool kept = false;
};

QString describe(const DirectoryHierarchyNode& node) {
    return QStringLiteral("DirectoryHierarchyNode(path: %1, identifier: %2, name: %3, flags: %4)")
        .arg(node.path().value_or(QStringLiteral("nil")), node.identifier(), node.name())
        .arg(node.flags());
}

std::optional<QString> identifierOrNone(const QString& identifier) {
    if (identifier.isEmpty()) return std::nullopt;
    return identifier;
}

void logMissingRoot() { OVLOG_ERROR(AppLog::framework(), QStringLiteral("Cannot get rootDirectory")); }

// Equal as text although perhaps not in bytes: two Unicode forms of one name.
QString canonical(const QString& path) { return path.normalized(QString::NormalizationForm_C); }

bool sameBytes(const QString& a, const QString& b) { return a.toUtf8() == b.toUtf8(); }

// The subscriptions by identifier and by path, each answering the first item with it, made once
// for all the children of a level rather than searched through for each.
class SubscriptionLookup {
public:
    explicit SubscriptionLookup(const std::vector<SelectiveSyncItem>& items) {
        for (const SelectiveSyncItem& item : items) {
            if (!item.remoteIdentifier.isEmpty() && !byIdentifier_.contains(item.remoteIdentifier))
                byIdentifier_.insert(item.remoteIdentifier, &item);
            if (!byPath_.contains(item.path)) byPath_.insert(item.path, &item);
        }
    }
    // The identifier first: a folder moved remotely keeps it and is still the one subscribed.
    const SelectiveSyncItem* find(const QString& path, const QString& identifier) const {
        if (const SelectiveSyncItem* match = identifier.isEmpty() ? nullptr : byIdentifier_.value(identifier))
            return match;
        return byPath_.value(path);
    }

private:
    QHash<QString, const SelectiveSyncItem*> byIdentifier_;
    QHash<QString, const SelectiveSyncItem*> byPath_;
};

// A new child's state: its parent's when that is on or off, else what the subscriptions say.
template <typename Match>
std::int16_t stateBelow(const FileSystemNode* parent, Match subscription) {
    if (parent && parent->syncState() == FileSystemNode::stateOn) return FileSystemNode::stateOn;
    if (parent && parent->syncState() == FileSystemNode::stateOff) return FileSystemNode::stateOff;
    const SelectiveSyncItem* match = subscription();
    if (!match) return FileSystemNode::stateOff;
    return match->recursive ? FileSystemNode::stateOn : FileSystemNode::stateMixed;
}

}  // namespace

bool StoreHierarchyFilter::isStoredChild(const DirectoryHierarchyNode& child) {
    if (child.flags() & DirectoryHierarchyNode::selectableFlag) return true;
    const QString name = child.name();
    if (name == QStringLiteral("root") || name == QStringLiteral("users")) return true;
    const auto path = child.path();
    return !path || path->isEmpty();
}

std::shared_ptr<DirectoryHierarchyNode> StoreController::remoteRootDirectory() const {
    const auto user = BusinessFacadeHolder::facade().currentUser();
    return user ? user->rootDirectory() : nullptr;
}

void StoreController::rootNode(const std::vector<SelectiveSyncItem>& selectiveSyncItems,
                               std::function<void(SelectiveSyncLevelResult)> completion) {
    const auto remoteRoot = remoteRootDirectory();
    const auto remotePath = remoteRoot ? remoteRoot->path() : std::nullopt;
    if (!remotePath) {
        logMissingRoot();
        if (completion) completion(AppError(StoreError::invalidRootNode));
        return;
    }
    OVLOG_INFO(AppLog::flow(), QStringLiteral("Root: ") + describe(*remoteRoot));

    std::shared_ptr<FileSystemNode> root;
    viewContext().performAndWait([&] {
        // The first browse finds no root yet: that is no error.
        root = storedNode(*remotePath);
        if (root) {
            root->setInitialSyncState(root->syncState());
            return;
        }
        createNodeForPath(*remotePath, identifierOrNone(remoteRoot->identifier()), nullptr,
                          [&](std::shared_ptr<FileSystemNode> created) { root = std::move(created); });
    });
    // A remote root whose path is not "/" has no parent to be created under: say so rather than
    // leave the browser waiting for an answer that never comes.
    if (!root) {
        logMissingRoot();
        if (completion) completion(AppError(StoreError::invalidRootNode));
        return;
    }

    // The answer comes on the framework's queue; only the root's identifier travels with it, and
    // the store is looked at again on the main queue, where a released store drops the answer.
    const ObjectID rootID = root->objectID();
    remoteRoot->loadLevel(
        1, 1,
        [weak = weak_from_this(), rootID, remoteRoot, items = selectiveSyncItems,
         completion = std::move(completion)](LevelResult result) mutable {
            MainQueue::async([weak, rootID, remoteRoot, items = std::move(items), completion = std::move(completion),
                              result = std::move(result)]() mutable {
                const auto self = weak.lock();
                if (!self) return;
                std::shared_ptr<FileSystemNode> root;
                self->viewContext().performAndWait([&] { root = self->viewContext().existingObject(rootID); });
                if (!root) {
                    logMissingRoot();
                    if (completion) completion(AppError(StoreError::invalidRootNode));
                    return;
                }
                self->selectiveSyncHierarchy(
                    result, root, items,
                    [pair = SelectiveSyncLevelPair(root, remoteRoot),
                     completion = std::move(completion)](SelectiveSyncLevelResult level) {
                        if (!completion) return;
                        if (!level.isSuccess()) return completion(std::move(level));
                        SelectiveSyncLevel pairs{pair};
                        pairs.insert(pairs.end(), level.value().begin(), level.value().end());
                        completion(std::move(pairs));
                    });
            });
        });
}

void StoreController::selectiveSyncHierarchy(const LevelResult& result, const std::shared_ptr<FileSystemNode>& remoteNode,
                                             const std::vector<SelectiveSyncItem>& selectiveSyncItems,
                                             std::function<void(SelectiveSyncLevelResult)> completion) {
    if (!MainQueue::isMainThread()) {
        // Straight from a level request: the store and its nodes are the main thread's.
        MainQueue::async([weak = weak_from_this(), result, remoteNode, items = selectiveSyncItems,
                          completion = std::move(completion)]() mutable {
            if (const auto self = weak.lock()) self->selectiveSyncHierarchy(result, remoteNode, items, std::move(completion));
        });
        return;
    }
    if (!result.isSuccess()) {
        OVLOG_ERROR(AppLog::framework(), textualDescription(result.error()));
        if (completion) completion(AppError(result.error()));
        return;
    }
    const auto loaded = result.value();
    const auto listed = loaded ? loaded->children() : std::nullopt;
    const RemoteChildren children = listed.value_or(RemoteChildren{});
    createChildNodesIfNeededInBackground(
        children, remoteNode, selectiveSyncItems,
        [weak = weak_from_this(), children, known = listed.has_value(), remoteNode,
         completion = std::move(completion)](SelectiveSyncLevel pairs) {
            const auto self = weak.lock();
            if (!self) return;
            // A level known to be empty still clears the folders removed remotely; only a level
            // whose children were not read at all leaves the stored ones alone.
            if (known && remoteNode) {
                self->viewContext().performAndWait([&] {
                    self->cleanupDuplicatedNodes(children, remoteNode);
                    self->removeVanishedChildren(children, remoteNode);
                });
            }
            // The clean-ups keep the node of each listed child; a pair never hands out a deleted one.
            std::erase_if(pairs, [](const SelectiveSyncLevelPair& pair) {
                return !pair.first || pair.first->isDeleted() || !pair.first->managedObjectContext();
            });
            if (completion) completion(std::move(pairs));
        });
}

void StoreController::createChildNodesIfNeededInBackground(const RemoteChildren& children,
                                                           const std::shared_ptr<FileSystemNode>& parent,
                                                           const std::vector<SelectiveSyncItem>& selectiveSyncItems,
                                                           std::function<void(SelectiveSyncLevel)> completion) {
    // The background context reads the store, so the parent's current state must be in it.
    if (parent && parent->hasChanges()) viewContext().performAndWait([&] { (void)viewContext().save(); });

    std::vector<ChildValues> values;
    values.reserve(children.size());
    for (const auto& child : children) {
        ChildValues v;
        if (child) {
            v.path = child->path();
            v.identifier = child->identifier();
            v.kept = StoreHierarchyFilter::isStoredChild(*child);
        }
        values.push_back(std::move(v));
    }
    const ObjectID parentID = parent ? parent->objectID() : ObjectID();

    container()->performBackgroundTask([weak = weak_from_this(), parentID, values = std::move(values),
                                        items = selectiveSyncItems, children, parent,
                                        completion = std::move(completion)](ObjectContext& context) mutable {
        std::vector<std::pair<ObjectID, std::size_t>> records;
        context.performAndWait([&] {
            // The parent and the level's paths alone are read: the task's context stays as small as
            // the level, however large the store.
            const auto backgroundParent = parentID.isValid() ? context.object(parentID) : nullptr;
            std::vector<QString> paths;
            for (const ChildValues& child : values)
                if (child.path && child.kept) paths.push_back(*child.path);
            const auto found = context.firstNodesWithPaths(paths);
            std::optional<SubscriptionLookup> subscriptions;
            QHash<QString, ObjectID> known;
            if (found.isSuccess())
                for (std::size_t i = 0; i < paths.size(); ++i)
                    if (const auto& node = found.value()[i]) known.insert(paths[i], node->objectID());
            for (std::size_t i = 0; i < values.size(); ++i) {
                const ChildValues& child = values[i];
                if (!child.path || !child.kept) continue;
                if (const ObjectID id = known.value(*child.path); id.isValid()) {
                    records.emplace_back(id, i);
                    continue;
                }
                OVLOG_DEBUG(AppLog::selectiveSyncBrowser(), QStringLiteral("Unknown local node for path: ") + *child.path);
                const auto node = context.insertNewNode();
                // A path listed twice gets one node.
                known.insert(*child.path, node->objectID());
                if (backgroundParent) node->setParent(backgroundParent);
                node->setRemoteIdentifier(identifierOrNone(child.identifier));
                node->setCachedRelativePath(*child.path);
                if (backgroundParent)
                    node->setSyncState(stateBelow(backgroundParent.get(), [&] {
                        if (!subscriptions) subscriptions.emplace(items);
                        return subscriptions->find(*child.path, child.identifier);
                    }));
                records.emplace_back(node->objectID(), i);
            }
            if (context.hasChanges()) (void)context.save();
        });

        // Only identifiers cross over; the view context turns them back into its own objects.
        MainQueue::async([weak = std::move(weak), records = std::move(records), children = std::move(children),
                          parent = std::move(parent), completion = std::move(completion)] {
            const auto self = weak.lock();
            if (!self) return;
            SelectiveSyncLevel pairs;
            ObjectContext& view = self->viewContext();
            view.performAndWait([&] {
                for (const auto& [id, index] : records) {
                    const auto node = view.existingObject(id);
                    if (!node) continue;
                    node->setInitialSyncState(node->syncState());
                    pairs.emplace_back(node, children[index]);
                }
                if (parent && parent->managedObjectContext() == &view) view.refresh(parent, true);
            });
            if (completion) completion(std::move(pairs));
        });
    });
}

std::int16_t StoreController::initialSyncState(const QString& childPath, const QString& remoteIdentifier,
                                               const FileSystemNode* parent,
                                               const std::vector<SelectiveSyncItem>& selectiveSyncItems) {
    return stateBelow(parent, [&] { return SubscriptionLookup(selectiveSyncItems).find(childPath, remoteIdentifier); });
}

void StoreController::cleanupDuplicatedNodes(const RemoteChildren& apiChildren, const std::shared_ptr<FileSystemNode>& parent) {
    if (!parent || !parent->hasChildren()) return;
    if (apiChildren.size() >= std::size_t(parent->childCount())) return;

    // Remote paths grouped by their text, in the order listed; a group holds more than one path
    // only where the service keeps both forms of a name as folders of their own.
    std::vector<QString> order;
    std::map<QString, QStringList> remotePaths;
    for (const auto& child : apiChildren) {
        const auto path = child ? child->path() : std::nullopt;
        if (!path) continue;
        const QString key = canonical(*path);
        if (!remotePaths.count(key)) order.push_back(key);
        remotePaths[key].append(*path);
    }

    std::vector<std::shared_ptr<FileSystemNode>> doomed;
    for (const QString& key : order) {
        const QStringList& remote = remotePaths[key];
        std::vector<std::shared_ptr<FileSystemNode>> stored;
        for (const auto& node : parent->children())
            if (node->cachedRelativePath() && canonical(*node->cachedRelativePath()) == key) stored.push_back(node);
        if (stored.size() == std::size_t(remote.size())) continue;
        if (stored.size() < std::size_t(remote.size())) {
            for (const QString& path : remote)
                OVLOG_INFO(Log::Sync::selectiveSync(), QStringLiteral("Not enough FileSystemNode for ") + path);
            continue;
        }

        // The node holding a listed path's exact bytes stays; the others go.
        std::vector<std::shared_ptr<FileSystemNode>> survivors;
        QStringList claimed;
        for (const auto& node : stored) {
            const QString path = *node->cachedRelativePath();
            const auto bytesOf = [&](const QString& other) { return sameBytes(path, other); };
            if (std::any_of(remote.begin(), remote.end(), bytesOf) && std::none_of(claimed.begin(), claimed.end(), bytesOf)) {
                claimed.append(path);
                survivors.push_back(node);
            } else {
                doomed.push_back(node);
            }
        }
        // One survivor takes over the choice the user made on any of its duplicates; where both
        // forms exist remotely each keeps its own.
        if (survivors.size() != 1) continue;
        const auto& survivor = survivors.front();
        std::shared_ptr<FileSystemNode> source;
        for (const auto& node : stored) {
            if (node->syncState() != FileSystemNode::stateOff) {
                source = node;
                break;
            }
        }
        if (!source) {
            survivor->setSyncState(FileSystemNode::stateOff);
            survivor->setInitialSyncState(FileSystemNode::stateOff);
            continue;
        }
        survivor->setSyncState(source->syncState());
        survivor->setInitialSyncState(source->syncState());
        if (source->remoteIdentifier()) survivor->setRemoteIdentifier(source->remoteIdentifier());
        // Moved before the duplicates are deleted, or they would go down with them.
        if (source != survivor)
            for (const auto& child : source->children()) child->setParent(survivor);
    }
    for (const auto& node : doomed)
        if (!node->isDeleted() && node->managedObjectContext()) viewContext().deleteObject(node);
}

void StoreController::removeVanishedChildren(const RemoteChildren& apiChildren, const std::shared_ptr<FileSystemNode>& parent) {
    if (!parent) return;
    QSet<RemotePath> vanished;
    for (const auto& node : parent->children())
        if (const auto path = node->cachedRelativePath()) vanished.insert(RemotePath::fromPath(*path));
    for (const auto& child : apiChildren) {
        if (!child || !StoreHierarchyFilter::isStoredChild(*child)) continue;
        if (const auto path = child->path()) vanished.remove(RemotePath::fromPath(*path));
    }
    if (vanished.isEmpty()) return;
    // Each stored child itself, not the first node found for its path, which could be another.
    for (const auto& node : parent->children()) {
        const auto path = node->cachedRelativePath();
        if (path && vanished.contains(RemotePath::fromPath(*path)) && !node->isDeleted()) viewContext().deleteObject(node);
    }
}

void StoreController::rootNodeChildrenCount(std::function<void(int, std::optional<std::int16_t>)> completion) {
    std::optional<std::int16_t> rootState;
    viewContext().performAndWait([&] {
        if (const auto root = rootNode()) rootState = root->syncState();
    });
    if (!rootState) {
        if (completion) completion(0, std::nullopt);
        return;
    }
    const auto remoteRoot = remoteRootDirectory();
    if (!remoteRoot) {
        logMissingRoot();
        if (completion) completion(0, rootState);
        return;
    }
    remoteRoot->loadLevel(1, 1, [weak = weak_from_this(), rootState, completion = std::move(completion)](LevelResult result) mutable {
        int count = 0;
        if (result.isSuccess() && result.value()) {
            for (const auto& child : result.value()->children().value_or(RemoteChildren{}))
                if (child && StoreHierarchyFilter::isStoredChild(*child)) ++count;
        } else if (!result.isSuccess()) {
            OVLOG_ERROR(AppLog::framework(), textualDescription(result.error()));
        }
        MainQueue::async([weak, count, rootState, completion = std::move(completion)] {
            if (!weak.lock()) return;
            if (completion) completion(count, rootState);
        });
    });
}
