#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class DirectoryHierarchyNode;

// What the disk-space check reads of a node of the selective-sync tree.
class SelectiveSyncSizeCalculatorNode {
public:
    virtual ~SelectiveSyncSizeCalculatorNode() = default;
    virtual std::optional<QString> cachedRelativePath() const = 0;
    // 1 on, 0 off, -1 mixed.
    virtual std::int16_t syncState() const = 0;
    // Empty when the node has no children; otherwise sorted case-insensitively by path.
    virtual std::vector<const SelectiveSyncSizeCalculatorNode*> sizeCalculatorChildren() const = 0;
};

// What the disk-space check reads of a remote folder the browser has loaded.
class SelectiveSyncSizeCalculatorRemoteItem {
public:
    virtual ~SelectiveSyncSizeCalculatorRemoteItem() = default;
    virtual std::shared_ptr<DirectoryHierarchyNode> directoryNode() const = 0;
};
