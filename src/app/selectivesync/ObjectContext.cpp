#include "app/selectivesync/ObjectContext.h"

#include <QCoreApplication>
#include <QMetaObject>

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
    const auto read = store_->readAll();
    if (!read.isSuccess()) return read.error();
    bool added = false;
    for (const StoredNodeRow& row : read.value().rows) {
        if (objects_.contains(row.id)) continue;
        registerRow(row.id, row.values, row.version);
        added = true;
    }
    if (added) linkUnattached();
    loaded_ = true;
    seenGeneration_ = read.value().generation;
    return std::nullopt;
}

std::shared_ptr<FileSystemNode> ObjectContext::registerRow(ObjectID id, const FileSystemNode::Values& values,
                                                           std::int64_t version) {
    std::shared_ptr<FileSystemNode> node(new FileSystemNode(this, id, values, false));
    node->version_ = version;
    objects_[id] = node;
    return node;
}

void ObjectContext::linkUnattached() {
    for (auto& [id, node] : objects_) {
        if (node->parent_ || node->deleted_ || !node->values_.parent.isValid()) continue;
        relink(*node);
    }
}

void ObjectContext::relink(FileSystemNode& node) {
    if (node.parent_) node.parent_->detachChild(&node);
    node.parent_ = nullptr;
    if (node.deleted_ || !node.values_.parent.isValid()) return;
    const auto it = objects_.find(node.values_.parent);
    if (it == objects_.end()) return;
    FileSystemNode* parent = it->second.get();
    // A stored parent chain that loops back is left broken here rather than followed forever.
    if (parent->deleted_ || node.isAncestorOrSelf(parent)) return;
    node.parent_ = parent;
    parent->children_.push_back(&node);
    parent->sortedChildren_.reset();
}

void ObjectContext::relinkAll() {
    for (auto& [id, node] : objects_) {
        node->parent_ = nullptr;
        node->children_.clear();
        node->sortedChildren_.reset();
    }
    linkUnattached();
}

void ObjectContext::detach(FileSystemNode& node) {
    node.context_ = nullptr;
    node.parent_ = nullptr;
    node.children_.clear();
    node.sortedChildren_.reset();
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
    }
    detach(node);
    objects_.erase(it);
}

std::shared_ptr<FileSystemNode> ObjectContext::insertNewNode() {
    loadIfNeeded();
    const ObjectID id = store_->newObjectID();
    std::shared_ptr<FileSystemNode> node(new FileSystemNode(this, id, FileSystemNode::Values{}, true));
    node->committed_ = FileSystemNode::Values{};
    objects_[id] = node;
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
        member->parent_ = nullptr;
        member->children_.clear();
        member->sortedChildren_.reset();
    }
}

ContextResult<std::vector<std::shared_ptr<FileSystemNode>>> ObjectContext::fetch(const NodePredicate& predicate,
                                                                                 int fetchLimit) {
    if (const auto error = loadIfNeeded()) return *error;
    std::vector<std::shared_ptr<FileSystemNode>> result;
    for (const auto& [id, node] : objects_) {
        if (node->deleted_ || !predicate.evaluate(node->values_)) continue;
        result.push_back(node);
        if (fetchLimit > 0 && int(result.size()) == fetchLimit) break;
    }
    return result;
}

ContextResult<int> ObjectContext::count(const NodePredicate& predicate) {
    if (const auto error = loadIfNeeded()) return *error;
    int n = 0;
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
    const auto read = store_->readRow(id);
    if (!read.isSuccess() || !read.value()) return nullptr;
    auto node = registerRow(id, read.value()->values, read.value()->version);
    linkUnattached();
    return node;
}

void ObjectContext::refresh(const std::shared_ptr<FileSystemNode>& node, bool mergeChanges) {
    if (!node || node->context_ != this || node->inserted_) return;
    const auto read = store_->readRow(node->id_);
    if (!read.isSuccess() || !read.value()) return;
    const StoredNodeRow& row = *read.value();
    FileSystemNode::Values& v = node->values_;
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
        if (node->deleted_) {
            node->deleted_ = false;
            for (const auto& [id, other] : objects_)
                if (!other->deleted_ && !other->parent_ && other->values_.parent == node->id_) relink(*other);
        }
    }
    node->committed_ = row.values;
    node->version_ = row.version;
    if (v.parent != parentBefore || (!node->deleted_ && !node->parent_ && v.parent.isValid())) relink(*node);
    if (node->deleted_) return;

    // The children as the store has them now: rows saved by other contexts join, and rows moved
    // here elsewhere follow unless they were moved in this context too.
    const auto children = store_->readChildren(node->id_);
    if (!children.isSuccess()) return;
    bool added = false;
    for (const StoredNodeRow& childRow : children.value()) {
        const auto it = objects_.find(childRow.id);
        if (it == objects_.end()) {
            registerRow(childRow.id, childRow.values, childRow.version);
            added = true;
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
    if (added) linkUnattached();
}

bool ObjectContext::hasChanges() const {
    for (const auto& [id, node] : objects_)
        if (node->hasChanges()) return true;
    return false;
}

std::optional<ContextError> ObjectContext::save() {
    std::vector<NodeChange> changes;
    for (const auto& [id, node] : objects_) {
        NodeChange change;
        change.id = id;
        change.values = node->values_;
        if (node->inserted_ && !node->deleted_) change.kind = NodeChange::Kind::insert;
        else if (node->deleted_) change.kind = NodeChange::Kind::remove;
        else if (node->values_ != node->committed_) {
            change.kind = NodeChange::Kind::update;
            change.committed = node->committed_;
            change.version = node->version_;
        } else continue;
        changes.push_back(std::move(change));
    }
    if (changes.empty()) return std::nullopt;
    const auto stored = store_->commit(changes, mergePolicy_ == MergePolicy::propertyObjectTrump);
    if (!stored.isSuccess()) return stored.error();
    for (const ObjectID id : stored.value().removed) forget(id);
    for (const StoredNodeRow& row : stored.value().rows) {
        const auto it = objects_.find(row.id);
        if (it == objects_.end()) continue;
        FileSystemNode& node = *it->second;
        const ObjectID parentBefore = node.values_.parent;
        node.inserted_ = false;
        node.values_ = row.values;
        node.committed_ = row.values;
        node.version_ = row.version;
        if (node.values_.parent != parentBefore) relink(node);
    }
    return std::nullopt;
}

void ObjectContext::rollback() {
    std::vector<ObjectID> inserted;
    for (const auto& [id, node] : objects_)
        if (node->inserted_) inserted.push_back(id);
    for (const ObjectID id : inserted) forget(id);
    for (auto& [id, node] : objects_) {
        node->values_ = node->committed_;
        node->deleted_ = false;
    }
    relinkAll();
}

void ObjectContext::reset() {
    for (auto& [id, node] : objects_) detach(*node);
    objects_.clear();
    loaded_ = false;
}

std::vector<std::shared_ptr<FileSystemNode>> ObjectContext::registeredObjects() const {
    std::vector<std::shared_ptr<FileSystemNode>> result;
    result.reserve(objects_.size());
    for (const auto& [id, node] : objects_) result.push_back(node);
    return result;
}
