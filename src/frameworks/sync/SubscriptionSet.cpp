#include "frameworks/sync/SubscriptionSet.h"

#include <QDir>

#include "frameworks/sync/SyncFileSystem.h"

SubscriptionSet::SubscriptionSet(std::vector<SelectiveSyncItem> items) : items_(std::move(items)) {
    everything_ = items_.empty();
    for (const SelectiveSyncItem& item : items_) {
        const QString path = normalized(item.path);
        if (path.isEmpty() && item.recursive) everything_ = true;
        paths_.emplace_back(path, item.recursive);
    }
}

QString SubscriptionSet::normalized(const QString& itemPath) {
    QString path = QDir::cleanPath(QStringLiteral("/") + itemPath.trimmed());
    while (path.startsWith(QLatin1Char('/'))) path.remove(0, 1);
    return path;
}

bool SubscriptionSet::contains(const QString& relative, bool isDirectory) const {
    if (everything_ || relative.isEmpty()) return true;
    const QString parent = SyncFileSystem::parentOf(relative);
    for (const auto& [path, recursive] : paths_) {
        if (recursive && SyncFileSystem::isSameOrBelow(relative, path)) return true;
        if (relative == path) return true;
        if (isDirectory && SyncFileSystem::isSameOrBelow(path, relative)) return true;
        if (!isDirectory && !recursive && parent == path) return true;
    }
    return false;
}

bool SubscriptionSet::add(const QString& relativeFolder) {
    if (contains(relativeFolder, true)) return false;
    items_.push_back(SelectiveSyncItem{QStringLiteral("/") + relativeFolder, true, QString()});
    paths_.emplace_back(relativeFolder, true);
    return true;
}
