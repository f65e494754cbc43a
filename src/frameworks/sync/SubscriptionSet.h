#pragma once

#include <QString>

#include <vector>

#include "frameworks/sync/SelectiveSyncItem.h"

// Which remote items the sync folder holds. A recursive item holds its folder and everything
// below it; a non-recursive one its folder and the files directly in it. The folders on the way
// down to a held folder are held too, as containers. An empty list, or a recursive "/", holds
// everything: a list that comes empty must never empty the sync folder.
class SubscriptionSet {
public:
    SubscriptionSet() = default;
    explicit SubscriptionSet(std::vector<SelectiveSyncItem> items);

    const std::vector<SelectiveSyncItem>& items() const { return items_; }
    bool holdsEverything() const { return everything_; }
    // `relative` is a path below the remote root ("a/b"; "" is the root itself).
    bool contains(const QString& relative, bool isDirectory) const;
    // Adds a recursive item for a folder that is not held yet (a folder made locally is always
    // kept); false when it was held already.
    bool add(const QString& relativeFolder);

    // "/Documents/" -> "Documents"; "/" -> "".
    static QString normalized(const QString& itemPath);

private:
    std::vector<SelectiveSyncItem> items_;
    std::vector<std::pair<QString, bool>> paths_;  // normalized path, recursive
    bool everything_ = true;
};
