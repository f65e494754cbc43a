#pragma once

#include "frameworks/caching/CachingManager.h"

// The desktop client keeps no cache of its own: the sync folder is the cache. These answer every
// query with nothing and call every completion at once, on the caller's thread.

class EmptyFilterBuilder final : public Filter,
                                 public FilterBuilder,
                                 public std::enable_shared_from_this<EmptyFilterBuilder> {
public:
    // Always shared, so that build() can hand out the builder itself.
    static std::shared_ptr<EmptyFilterBuilder> create();

    bool matches(const CachedItem& item) const override;
    int maximumCount() const override;

    FilterBuilder& withParentPath(const QString& parentPath, bool recursive) override;
    FilterBuilder& withNameContaining(const QString& text) override;
    FilterBuilder& withKind(Kind kind) override;
    FilterBuilder& withModifiedAfter(const QDateTime& date) override;
    FilterBuilder& withModifiedBefore(const QDateTime& date) override;
    FilterBuilder& withMinimumSize(qint64 bytes) override;
    FilterBuilder& withMaximumCount(int count) override;
    std::shared_ptr<const Filter> build() override;

private:
    EmptyFilterBuilder() = default;
};

class EmptyCachingManager final : public CachingManager {
public:
    std::vector<CachedItem> cachedItems(const QString& parentPath) const override;
    void cachedItems(const QString& parentPath, ItemsCompletion completion) const override;
    std::optional<CachedItem> cachedItem(const QString& path) const override;
    void cachedItem(const QString& path, ItemCompletion completion) const override;
    std::vector<CachedItem> cachedItems(const Filter& filter) const override;
    void cachedItems(const Filter& filter, ItemsCompletion completion) const override;
    qint64 itemCount(const QString& parentPath) const override;
    qint64 itemCount(const Filter& filter) const override;
    void storeItem(const CachedItem& item, DoneCompletion completion) override;
    void storeItems(const QString& parentPath, const std::vector<CachedItem>& items,
                    DoneCompletion completion) override;
    void removeItem(const QString& path, DoneCompletion completion) override;
    void removeItems(const QString& parentPath, DoneCompletion completion) override;
    void moveItem(const QString& fromPath, const QString& toPath, DoneCompletion completion) override;

    std::optional<QDateTime> lastModified(const QString& path) const override;
    void lastModified(const QString& path, DateCompletion completion) const override;
    void setLastModified(const QString& path, const QDateTime& date) override;
    std::optional<QDateTime> lastRefresh(const QString& parentPath) const override;
    void lastRefresh(const QString& parentPath, DateCompletion completion) const override;
    void setLastRefresh(const QString& parentPath, const QDateTime& date) override;

    std::optional<QByteArray> cachedData(const QUrl& url) const override;
    void cachedData(const QUrl& url, DataCompletion completion) const override;
    void storeData(const QByteArray& data, const QUrl& url, DoneCompletion completion) override;
    void removeData(const QUrl& url, DoneCompletion completion) override;
    std::optional<QUrl> cachedFileURL(const QUrl& url) const override;
    void storeFile(const QUrl& localFileURL, const QUrl& url, DoneCompletion completion) override;
    qint64 cachedDataSize() const override;

    std::optional<QByteArray> cachedThumbnail(const QString& path, const QSize& size) const override;
    void storeThumbnail(const QByteArray& image, const QString& path, const QSize& size) override;

    std::shared_ptr<FilterBuilder> filterBuilder() const override;
    qint64 cacheSize() const override;
    void purge(const QDateTime& olderThan, CountCompletion completion) override;
    void clear(DoneCompletion completion) override;
};
