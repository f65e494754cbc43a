#include "app/selectivesync/ObjectContext.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>

#include "app/selectivesync/PersistentStore.h"
#include "platform/foundation/MainQueue.h"

ObjectContext::ObjectContext(std::shared_ptr<PersistentStore> store, ConcurrencyType type, QString name)
    : store_(std::move(store)), type_(type), name_(std::move(name)) {}

ObjectContext::~ObjectContext() { reset(); }

QString ObjectContext::description() const { return QStringLiteral("ObjectContext(%1)").arg(name_); }

void ObjectContext::performAndWait(const std::function<void()>& block) {
    if (type_ == ConcurrencyType::mainQueue && !MainQueue::isMainThread() && QCoreApplication::instance()) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), block, Qt::BlockingQueuedConnection);
        return;
    }
    block();
}

std::optional<ContextError> ObjectContext::loadIfNeeded() {
    if (loaded_ && store_->generation() == seenGeneration_) return std::nullopt;
    // Holding every row of the generation seen, the context can only miss rows inserted since.
    const auto read = loaded_ ? store_->readInsertedSince(seenGeneration_) : store_->readAll();
    if (!read.isSuccess()) return read.error();
    registerRows(read.value().rows);
    loaded_ = true;
    seenGeneration_ = read.value().generation;
    return std::nullopt;
}

std::shared_ptr<FileSystemNode> ObjectContext::registerRow(ObjectID id, const FileSystemNode::Values& values,
                                                           std::int64_t version) {
    std::shared_ptr<FileSystemNode> node(new FileSystemNode(this, id, values, false));
    node->version_ = version;
    objects_[id] = node;
    index(*node);
    return node;
}

void ObjectContext::registerRows(const std::vector<StoredNodeRow>& rows) {
    std::vector<FileSystemNode*> added;
    for (const StoredNodeRow& row : rows)
        if (!objects_.contains(row.id)) added.push_back(registerRow(row.id, row.values, row.version).get());
    if (!added.empty()) linkNew(added);
}

void ObjectContext::linkNew(const std::vector<FileSystemNode*>& added) {
    for (FileSystemNode* node : added)
        if (!node->parent_ && !node->deleted_ && node->values_.parent.isValid()) relink(*node);
    if (waitingForParent_.empty()) return;
    std::set<ObjectID> arrived;
    for (const FileSystemNode* node : added) arrived.insert(node->id_);
    const std::vector<ObjectID> waiting(waitingForParent_.begin(), waitingForParent_.end());
    for (const ObjectID id : waiting) {
        const auto it = objects_.find(id);
        FileSystemNode* node = it == objects_.end() ? nullptr : it->second.get();
        if (!node || node->parent_ || node->deleted_ || !node->values_.parent.isValid()) {
            waitingForParent_.erase(id);
            continue;
        }
        if (arrived.contains(node->values_.parent)) relink(*node);
    }
}

void ObjectContext::relink(FileSystemNode& node) {
    if (node.parent_) node.parent_->detachChild(&node);
    node.parent_ = nullptr;
    if (node.deleted_ || !node.values_.parent.isValid()) {
        waitingForParent_.erase(node.id_);
        return;
    }
    const auto it = objects_.find(node.values_.parent);
    FileSystemNode* parent = it == objects_.end() ? nullptr : it->second.get();
    // A stored parent chain that loops back is left broken here rather than followed forever.
    if (!parent || parent->deleted_ || node.isAncestorOrSelf(parent)) {
        waitingForParent_.insert(node.id_);
        return;
    }
    waitingForParent_.erase(node.id_);
    node.parent_ = parent;
    parent->children_.push_back(&node);
    parent->sortedChildren_.reset();
}

void ObjectContext::relinkAll() {
    waitingForParent_.clear();
    for (auto& [id, node] : objects_) {
        node->parent_ = nullptr;
        node->children_.clear();
        node->sortedChildren_.reset();
    }
    for (auto& [id, node] : objects_)
        if (!node->deleted_ && node->values_.parent.isValid()) relink(*node);
}

void ObjectContext::detach(FileSystemNode& node) {
    node.context_ = nullptr;
    node.parent_ = nullptr;
    node.children_.clear();
    node.sortedChildren_.reset();
    node.listedAsChanged_ = false;
}

void ObjectContext::forget(ObjectID id) {
    const auto it = objects_.find(id);
    if (it == objects_.end()) return;
    FileSystemNode& node = *it->second;
    if (node.parent_) node.parent_->detachChild(&node);
    // Children that stay (unsaved ones) lose the parent for good, or their save would name a row
    // that is gone.
    for (FileSystemNode* child : node.children_) {
        child->parent_ = nullptr;
        child->values_.parent = ObjectID();
        noteChanged(*child);
    }
    unindex(node, node.values_.cachedRelativePath);
    waitingForParent_.erase(id);
    detach(node);
    objects_.erase(it);
}

void ObjectContext::noteChanged(FileSystemNode& node) {
    if (node.listedAsChanged_) return;
    node.listedAsChanged_ = true;
    changed_.push_back(node.shared_from_this());
}

void ObjectContext::pathChanged(FileSystemNode& node, const std::optional<QString>& before) {
    unindex(node, before);
    index(node);
}

void ObjectContext::assignValues(FileSystemNode& node, const FileSystemNode::Values& values) {
    const std::optional<QString> before = node.values_.cachedRelativePath;
    node.values_ = values;
    if (before != values.cachedRelativePath) pathChanged(node, before);
}

void ObjectContext::index(FileSystemNode& node) {
    if (!node.values_.cachedRelativePath) return;
    std::vector<FileSystemNode*>& nodes = byPath_[*node.values_.cachedRelativePath];
    const auto older = [](const FileSystemNode* a, const FileSystemNode* b) { return a->id_ < b->id_; };
    nodes.insert(std::upper_bound(nodes.begin(), nodes.end(), &node, older), &node);
}

void ObjectContext::unindex(FileSystemNode& node, const std::optional<QString>& path) {
    if (!path) return;
    const auto it = byPath_.find(*path);
    if (it == byPath_.end()) return;
    std::erase(*it, &node);
    if (it->empty()) byPath_.erase(it);
}

const std::vector<FileSystemNode*>* ObjectContext::nodesWithPath(const QString& path) const {
    const auto it = byPath_.constFind(path);
    return it == byPath_.constEnd() ? nullptr : &*it;
}

std::shared_ptr<FileSystemNode> ObjectContext::insertNewNode() {
    const ObjectID id = store_->newObjectID();
    std::shared_ptr<FileSystemNode> node(new FileSystemNode(this, id, FileSystemNode::Values{}, true));
    node->committed_ = FileSystemNode::Values{};
    objects_[id] = node;
    noteChanged(*node);
    return node;
}

void ObjectContext::deleteObject(const std::shared_ptr<FileSystemNode>& node) {
    if (!node || node->context_ != this || node->deleted_) return;
    // The whole subtree goes: children left without their parent would stay in the store for good.
    std::vector<FileSystemNode*> subtree{node.get()};
    for (std::size_t i = 0; i < subtree.size(); ++i)
        for (FileSystemNode* child : subtree[i]->children_) subtree.push_back(child);
    if (node->parent_) node->parent_->detachChild(node.get());
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) {
        FileSystemNode* member = *it;
        if (member->inserted_) {
            forget(member->id_);
            continue;
        }
        member->deleted_ = true;
        noteChanged(*member);
        member->parent_ = nullptr;
        member->children_.clear();
        member->sortedChildren_.reset();
    }
}

ContextResult<std::vector<std::shared_ptr<FileSystemNode>>> ObjectContext::fetch(const NodePredicate& predicate,
                                                                                 int fetchLimit) {
    if (const auto error = loadIfNeeded()) return *error;
    std::vector<std::shared_ptr<FileSystemNode>> result;
    const auto take = [&](FileSystemNode& node) {
        if (node.deleted_ || !predicate.evaluate(node.values_)) return true;
        result.push_back(node.shared_from_this());
        return fetchLimit <= 0 || int(result.size()) < fetchLimit;
    };
    if (const auto& path = predicate.requiredPath()) {
        if (const auto* nodes = nodesWithPath(*path))
            for (FileSystemNode* node : *nodes)
                if (!take(*node)) break;
        return result;
    }
    for (const auto& [id, node] : objects_)
        if (!take(*node)) break;
    return result;
}

ContextResult<int> ObjectContext::count(const NodePredicate& predicate) {
    if (const auto error = loadIfNeeded()) return *error;
    int n = 0;
    if (const auto& path = predicate.requiredPath()) {
        if (const auto* nodes = nodesWithPath(*path))
            for (const FileSystemNode* node : *nodes)
                if (!node->deleted_ && predicate.evaluate(node->values_)) ++n;
        return n;
    }
    for (const auto& [id, node] : objects_)
        if (!node->deleted_ && predicate.evaluate(node->values_)) ++n;
    return n;
}

ContextResult<int> ObjectContext::executeBatchDelete(const NodePredicate& predicate) {
    const auto deleted = store_->batchDelete(predicate);
    if (!deleted.isSuccess()) return deleted.error();
    for (const ObjectID id : deleted.value()) {
        const auto it = objects_.find(id);
        if (it != objects_.end() && !it->second->inserted_) forget(id);
    }
    return int(deleted.value().size());
}

std::shared_ptr<FileSystemNode> ObjectContext::existingObject(ObjectID id) {
    if (!id.isValid()) return nullptr;
    loadIfNeeded();
    if (const auto it = objects_.find(id); it != objects_.end())
        return it->second->deleted_ ? nullptr : it->second;
    return object(id);
}

std::shared_ptr<FileSystemNode> ObjectContext::object(ObjectID id) {
    if (!id.isValid()) return nullptr;
    if (const auto it = objects_.find(id); it != objects_.end()) return it->second->deleted_ ? nullptr : it->second;
    const auto read = store_->readRow(id);
    if (!read.isSuccess() || !read.value()) return nullptr;
    registerRows({*read.value()});
    return objects_.at(id);
}

ContextResult<std::vector<std::shared_ptr<FileSystemNode>>> ObjectContext::firstNodesWithPaths(
    const std::vector<QString>& paths) {
    if (loaded_) {
        if (const auto error = loadIfNeeded()) return *error;
    } else {
        const auto read = store_->readWithPaths(paths);
        if (!read.isSuccess()) return read.error();
        registerRows(read.value().rows);
    }
    std::vector<std::shared_ptr<FileSystemNode>> result;
    result.reserve(paths.size());
    for (const QString& path : paths) {
        std::shared_ptr<FileSystemNode> first;
        if (const auto* nodes = nodesWithPath(path)) {
            const auto live = std::find_if(nodes->begin(), nodes->end(), [](const FileSystemNode* n) { return !n->deleted_; });
            if (live != nodes->end()) first = (*live)->shared_from_this();
        }
        result.push_back(std::move(first));
    }
    return result;
}

void ObjectContext::refresh(const std::shared_ptr<FileSystemNode>& node, bool mergeChanges) {
    if (!node || node->context_ != this || node->inserted_) return;
    const auto read = store_->readRow(node->id_);
    if (!read.isSuccess() || !read.value()) return;
    const StoredNodeRow& row = *read.value();
    FileSystemNode::Values v = node->values_;
    const FileSystemNode::Values& c = node->committed_;
    const ObjectID parentBefore = v.parent;
    if (mergeChanges) {
        // What was changed here wins; the rest takes what the store holds now.
        const FileSystemNode::Values& s = row.values;
        if (v.bookmarkData == c.bookmarkData) v.bookmarkData = s.bookmarkData;
        if (v.cachedRelativePath == c.cachedRelativePath) v.cachedRelativePath = s.cachedRelativePath;
        if (v.initialSyncState == c.initialSyncState) v.initialSyncState = s.initialSyncState;
        if (v.isCached == c.isCached) v.isCached = s.isCached;
        if (v.syncState == c.syncState) v.syncState = s.syncState;
        if (v.remoteIdentifier == c.remoteIdentifier) v.remoteIdentifier = s.remoteIdentifier;
        if (v.parent == c.parent) v.parent = s.parent;
    } else {
        v = row.values;
    }
    assignValues(*node, v);
    if (!mergeChanges && node->deleted_) {
        node->deleted_ = false;
        for (const auto& [id, other] : objects_)
            if (!other->deleted_ && !other->parent_ && other->values_.parent == node->id_) relink(*other);
    }
    node->committed_ = row.values;
    node->version_ = row.version;
    if (node->values_ != node->committed_) noteChanged(*node);
    if (v.parent != parentBefore || (!node->deleted_ && !node->parent_ && v.parent.isValid())) relink(*node);
    if (node->deleted_) return;

    // The children as the store has them now: rows saved by other contexts join, and rows moved
    // here elsewhere follow unless they were moved in this context too.
    const auto children = store_->readChildren(node->id_);
    if (!children.isSuccess()) return;
    std::vector<StoredNodeRow> joining;
    for (const StoredNodeRow& childRow : children.value()) {
        const auto it = objects_.find(childRow.id);
        if (it == objects_.end()) {
            joining.push_back(childRow);
            continue;
        }
        FileSystemNode& child = *it->second;
        if (child.deleted_ || child.values_.parent != child.committed_.parent) continue;
        child.committed_.parent = childRow.values.parent;
        if (child.values_.parent != childRow.values.parent) {
            child.values_.parent = childRow.values.parent;
            relink(child);
        }
    }
    registerRows(joining);
}

bool ObjectContext::hasChanges() const {
    return std::any_of(changed_.begin(), changed_.end(), [](const auto& node) { return node->hasChanges(); });
}

std::optional<ContextError> ObjectContext::save() {
    // Oldest first, as the nodes were made; a select-all lists them so already.
    const auto older = [](const auto& a, const auto& b) { return a->id_ < b->id_; };
    if (!std::is_sorted(changed_.begin(), changed_.end(), older)) std::sort(changed_.begin(), changed_.end(), older);
    std::vector<NodeChange> changes;
    std::vector<FileSystemNode*> sent;
    for (const auto& node : changed_) {
        if (node->context_ != this) continue;
        NodeChange change;
        change.id = node->id_;
        change.values = &node->values_;
        if (node->inserted_ && !node->deleted_) change.kind = NodeChange::Kind::insert;
        else if (node->deleted_) change.kind = NodeChange::Kind::remove;
        else if (node->values_ != node->committed_) {
            change.kind = NodeChange::Kind::update;
            change.committed = &node->committed_;
            change.version = node->version_;
        } else continue;
        changes.push_back(change);
        sent.push_back(node.get());
    }
    if (!changes.empty()) {
        const auto stored = store_->commit(changes, mergePolicy_ == MergePolicy::propertyObjectTrump);
        if (!stored.isSuccess()) return stored.error();
        for (const ObjectID id : stored.value().removed) forget(id);
        for (const WrittenNode& written : stored.value().written) {
            FileSystemNode& node = *sent[written.change];
            if (node.context_ != this) continue;
            node.inserted_ = false;
            if (written.stored) {
                const ObjectID parentBefore = node.values_.parent;
                assignValues(node, *written.stored);
                if (node.values_.parent != parentBefore) relink(node);
            }
            node.committed_ = node.values_;
            node.version_ = written.version;
        }
    }
    // What is still listed went with the save, or was set back to its stored values.
    std::erase_if(changed_, [&](const auto& node) {
        if (node->context_ == this && node->hasChanges()) return false;
        node->listedAsChanged_ = false;
        return true;
    });
    return std::nullopt;
}

void ObjectContext::rollback() {
    std::vector<ObjectID> inserted;
    for (const auto& node : changed_)
        if (node->context_ == this && node->inserted_) inserted.push_back(node->id_);
    for (const ObjectID id : inserted) forget(id);
    for (const auto& node : changed_) {
        node->listedAsChanged_ = false;
        if (node->context_ != this) continue;
        assignValues(*node, node->committed_);
        node->deleted_ = false;
    }
    changed_.clear();
    relinkAll();
}

void ObjectContext::reset() {
    for (auto& [id, node] : objects_) detach(*node);
    objects_.clear();
    byPath_.clear();
    changed_.clear();
    waitingForParent_.clear();
    loaded_ = false;
}

std::vector<std::shared_ptr<FileSystemNode>> ObjectContext::registeredObjects() const {
    std::vector<std::shared_ptr<FileSystemNode>> result;
    result.reserve(objects_.size());
    for (const auto& [id, node] : objects_) result.push_back(node);
    return result;
}
