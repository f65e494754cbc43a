#pragma once

#include <QDateTime>
#include <QString>

// What the cache remembers of one remote item.
struct CachedItem {
    QString path;  // remote path, "/" separated
    QString name;
    bool isDirectory = false;
    qint64 size = 0;
    QDateTime modificationDate;
    QString revision;

    friend bool operator==(const CachedItem&, const CachedItem&) = default;
};
