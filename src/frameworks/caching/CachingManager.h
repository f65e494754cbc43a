#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QSize>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "frameworks/caching/CachedItem.h"
#include "frameworks/caching/Filter.h"
#include "frameworks/caching/FilterBuilder.h"

// The business facade's cache of remote listings, item dates, downloaded data and thumbnails.
// Every operation comes as a direct query or with a completion; a completion may be empty, and an
// implementation may call it on any thread.
class CachingManager {
public:
    using ItemsCompletion = std::function<void(std::vector<CachedItem>)>;
    using ItemCompletion = std::function<void(std::optional<CachedItem>)>;
    using DateCompletion = std::function<void(std::optional<QDateTime>)>;
    using DataCompletion = std::function<void(std::optional<QByteArray>)>;
    using CountCompletion = std::function<void(qint64)>;
    using DoneCompletion = std::function<void()>;

    virtual ~CachingManager() = default;

    // Items by remote path.
    virtual std::vector<CachedItem> cachedItems(const QString& parentPath) const = 0;
    virtual void cachedItems(const QString& parentPath, ItemsCompletion completion) const = 0;
    virtual std::optional<CachedItem> cachedItem(const QString& path) const = 0;
    virtual void cachedItem(const QString& path, ItemCompletion completion) const = 0;
    virtual std::vector<CachedItem> cachedItems(const Filter& filter) const = 0;
    virtual void cachedItems(const Filter& filter, ItemsCompletion completion) const = 0;
    virtual qint64 itemCount(const QString& parentPath) const = 0;
    virtual qint64 itemCount(const Filter& filter) const = 0;
    virtual void storeItem(const CachedItem& item, DoneCompletion completion) = 0;
    // Replaces the listing of `parentPath`.
    virtual void storeItems(const QString& parentPath, const std::vector<CachedItem>& items,
                            DoneCompletion completion) = 0;
    virtual void removeItem(const QString& path, DoneCompletion completion) = 0;
    virtual void removeItems(const QString& parentPath, DoneCompletion completion) = 0;
    virtual void moveItem(const QString& fromPath, const QString& toPath, DoneCompletion completion) = 0;

    // Dates: an item's last modification, a listing's last refresh from the service.
    virtual std::optional<QDateTime> lastModified(const QString& path) const = 0;
    virtual void lastModified(const QString& path, DateCompletion completion) const = 0;
    virtual void setLastModified(const QString& path, const QDateTime& date) = 0;
    virtual std::optional<QDateTime> lastRefresh(const QString& parentPath) const = 0;
    virtual void lastRefresh(const QString& parentPath, DateCompletion completion) const = 0;
    virtual void setLastRefresh(const QString& parentPath, const QDateTime& date) = 0;

    // Downloaded data by its remote URL.
    virtual std::optional<QByteArray> cachedData(const QUrl& url) const = 0;
    virtual void cachedData(const QUrl& url, DataCompletion completion) const = 0;
    virtual void storeData(const QByteArray& data, const QUrl& url, DoneCompletion completion) = 0;
    virtual void removeData(const QUrl& url, DoneCompletion completion) = 0;
    virtual std::optional<QUrl> cachedFileURL(const QUrl& url) const = 0;
    virtual void storeFile(const QUrl& localFileURL, const QUrl& url, DoneCompletion completion) = 0;
    virtual qint64 cachedDataSize() const = 0;

    // Thumbnails by remote path and pixel size.
    virtual std::optional<QByteArray> cachedThumbnail(const QString& path, const QSize& size) const = 0;
    virtual void storeThumbnail(const QByteArray& image, const QString& path, const QSize& size) = 0;

    // Queries and housekeeping.
    virtual std::shared_ptr<FilterBuilder> filterBuilder() const = 0;
    virtual qint64 cacheSize() const = 0;
    // Drops what was stored before `date`; the completion receives how many entries went.
    virtual void purge(const QDateTime& olderThan, CountCompletion completion) = 0;
    virtual void clear(DoneCompletion completion) = 0;
};
