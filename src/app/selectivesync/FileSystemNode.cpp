#include "app/selectivesync/FileSystemNode.h"

#include <algorithm>
#include <utility>

#include "app/selectivesync/ObjectContext.h"

FileSystemNode::FileSystemNode(ObjectContext* context, ObjectID id, Values values, bool inserted)
    : context_(context), id_(id), values_(values), committed_(std::move(values)), inserted_(inserted) {}

FileSystemNode::~FileSystemNode() = default;

bool FileSystemNode::isUpdated() const { return context_ && !inserted_ && !deleted_ && values_ != committed_; }

bool FileSystemNode::hasChanges() const { return context_ && (inserted_ || deleted_ || values_ != committed_); }

// A value set to what the node already holds changes nothing, and the node stays off the next save.
void FileSystemNode::noteChange() {
    if (context_) context_->noteChanged(*this);
}

void FileSystemNode::setBookmarkData(std::optional<QByteArray> data) {
    if (values_.bookmarkData == data) return;
    values_.bookmarkData = std::move(data);
    noteChange();
}

void FileSystemNode::setCachedRelativePath(std::optional<QString> path) {
    if (values_.cachedRelativePath == path) return;
    const std::optional<QString> before = std::exchange(values_.cachedRelativePath, std::move(path));
    if (context_) context_->pathChanged(*this, before);
    noteChange();
    if (parent_) parent_->invalidateSortedChildren();  // the order among its siblings may change
}

void FileSystemNode::setInitialSyncState(std::int16_t state) {
    if (values_.initialSyncState == state) return;
    values_.initialSyncState = state;
    noteChange();
}

void FileSystemNode::setIsCached(bool cached) {
    if (values_.isCached == cached) return;
    values_.isCached = cached;
    noteChange();
}

void FileSystemNode::setSyncState(std::int16_t state) {
    if (values_.syncState == state) return;
    values_.syncState = state;
    noteChange();
}

void FileSystemNode::setRemoteIdentifier(std::optional<QString> identifier) {
    if (values_.remoteIdentifier == identifier) return;
    values_.remoteIdentifier = std::move(identifier);
    noteChange();
}

std::shared_ptr<FileSystemNode> FileSystemNode::parent() const {
    return parent_ ? parent_->shared_from_this() : nullptr;
}

bool FileSystemNode::isAncestorOrSelf(const FileSystemNode* node) const {
    // Walks up from `node`; the step bound keeps a damaged chain from looping.
    std::size_t steps = 0;
    for (const FileSystemNode* current = node; current; current = current->parent_) {
        if (current == this) return true;
        if (++steps > 1'000'000) return true;
    }
    return false;
}

void FileSystemNode::detachChild(FileSystemNode* child) {
    const auto it = std::find(children_.begin(), children_.end(), child);
    if (it == children_.end()) return;
    children_.erase(it);
    sortedChildren_.reset();
}

bool FileSystemNode::setParent(const std::shared_ptr<FileSystemNode>& parent) {
    FileSystemNode* newParent = parent.get();
    if (newParent == parent_) return true;
    if (!context_ || deleted_) return false;
    if (newParent && (newParent->context_ != context_ || newParent->deleted_ || isAncestorOrSelf(newParent)))
        return false;
    if (parent_) parent_->detachChild(this);
    parent_ = newParent;
    const ObjectID parentID = newParent ? newParent->id_ : ObjectID();
    if (values_.parent != parentID) {
        values_.parent = parentID;
        noteChange();
    }
    if (newParent) {
        newParent->children_.push_back(this);
        newParent->sortedChildren_.reset();
    }
    return true;
}

std::vector<std::shared_ptr<FileSystemNode>> FileSystemNode::children() const {
    std::vector<std::shared_ptr<FileSystemNode>> result;
    result.reserve(children_.size());
    for (FileSystemNode* child : children_) result.push_back(child->shared_from_this());
    return result;
}

bool FileSystemNode::addToChildren(const std::shared_ptr<FileSystemNode>& child) {
    return child && child->setParent(shared_from_this());
}

bool FileSystemNode::removeFromChildren(const std::shared_ptr<FileSystemNode>& child) {
    return child && child->parent_ == this && child->setParent(nullptr);
}

std::vector<std::shared_ptr<FileSystemNode>> FileSystemNode::sortedChildren() const {
    if (!sortedChildren_) {
        std::vector<std::shared_ptr<FileSystemNode>> sorted = children();
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
            const auto& pa = a->values_.cachedRelativePath;
            const auto& pb = b->values_.cachedRelativePath;
            if (!pa || !pb) return pa.has_value() && !pb.has_value();
            return pa->compare(*pb, Qt::CaseInsensitive) < 0;
        });
        sortedChildren_ = std::move(sorted);
    }
    return *sortedChildren_;
}

void FileSystemNode::clearSortedChildren() { sortedChildren_.reset(); }

std::vector<const SelectiveSyncSizeCalculatorNode*> FileSystemNode::sizeCalculatorChildren() const {
    std::vector<const SelectiveSyncSizeCalculatorNode*> result;
    if (children_.empty()) return result;
    for (const auto& child : sortedChildren()) result.push_back(child.get());
    return result;
}

QString FileSystemNode::description() const {
    return QStringLiteral("FileSystemNode(%1, %2, state %3)")
        .arg(id_.value())
        .arg(values_.cachedRelativePath.value_or(QStringLiteral("nil")))
        .arg(values_.syncState);
}
