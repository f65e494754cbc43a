#include "app/config/EmptyCaching.h"

namespace {

// Completions are optional; one that is given is answered before the operation returns.
template <class Completion, class... Args>
void answer(const Completion& completion, Args&&... args) {
    if (completion) completion(std::forward<Args>(args)...);
}

}  // namespace

std::shared_ptr<EmptyFilterBuilder> EmptyFilterBuilder::create() {
    return std::shared_ptr<EmptyFilterBuilder>(new EmptyFilterBuilder());
}

bool EmptyFilterBuilder::matches(const CachedItem&) const { return false; }
int EmptyFilterBuilder::maximumCount() const { return 0; }
FilterBuilder& EmptyFilterBuilder::withParentPath(const QString&, bool) { return *this; }
FilterBuilder& EmptyFilterBuilder::withNameContaining(const QString&) { return *this; }
FilterBuilder& EmptyFilterBuilder::withKind(Kind) { return *this; }
FilterBuilder& EmptyFilterBuilder::withModifiedAfter(const QDateTime&) { return *this; }
FilterBuilder& EmptyFilterBuilder::withModifiedBefore(const QDateTime&) { return *this; }
FilterBuilder& EmptyFilterBuilder::withMinimumSize(qint64) { return *this; }
FilterBuilder& EmptyFilterBuilder::withMaximumCount(int) { return *this; }
std::shared_ptr<const Filter> EmptyFilterBuilder::build() { return shared_from_this(); }

std::vector<CachedItem> EmptyCachingManager::cachedItems(const QString&) const { return {}; }
void EmptyCachingManager::cachedItems(const QString&, ItemsCompletion completion) const {
    answer(completion, std::vector<CachedItem>{});
}
std::optional<CachedItem> EmptyCachingManager::cachedItem(const QString&) const { return std::nullopt; }
void EmptyCachingManager::cachedItem(const QString&, ItemCompletion completion) const {
    answer(completion, std::nullopt);
}
std::vector<CachedItem> EmptyCachingManager::cachedItems(const Filter&) const { return {}; }
void EmptyCachingManager::cachedItems(const Filter&, ItemsCompletion completion) const {
    answer(completion, std::vector<CachedItem>{});
}
qint64 EmptyCachingManager::itemCount(const QString&) const { return 0; }
qint64 EmptyCachingManager::itemCount(const Filter&) const { return 0; }
void EmptyCachingManager::storeItem(const CachedItem&, DoneCompletion completion) { answer(completion); }
void EmptyCachingManager::storeItems(const QString&, const std::vector<CachedItem>&, DoneCompletion completion) {
    answer(completion);
}
void EmptyCachingManager::removeItem(const QString&, DoneCompletion completion) { answer(completion); }
void EmptyCachingManager::removeItems(const QString&, DoneCompletion completion) { answer(completion); }
void EmptyCachingManager::moveItem(const QString&, const QString&, DoneCompletion completion) {
    answer(completion);
}

std::optional<QDateTime> EmptyCachingManager::lastModified(const QString&) const { return std::nullopt; }
void EmptyCachingManager::lastModified(const QString&, DateCompletion completion) const {
    answer(completion, std::nullopt);
}
void EmptyCachingManager::setLastModified(const QString&, const QDateTime&) {}
std::optional<QDateTime> EmptyCachingManager::lastRefresh(const QString&) const { return std::nullopt; }
void EmptyCachingManager::lastRefresh(const QString&, DateCompletion completion) const {
    answer(completion, std::nullopt);
}
void EmptyCachingManager::setLastRefresh(const QString&, const QDateTime&) {}

std::optional<QByteArray> EmptyCachingManager::cachedData(const QUrl&) const { return std::nullopt; }
void EmptyCachingManager::cachedData(const QUrl&, DataCompletion completion) const {
    answer(completion, std::nullopt);
}
void EmptyCachingManager::storeData(const QByteArray&, const QUrl&, DoneCompletion completion) {
    answer(completion);
}
void EmptyCachingManager::removeData(const QUrl&, DoneCompletion completion) { answer(completion); }
std::optional<QUrl> EmptyCachingManager::cachedFileURL(const QUrl&) const { return std::nullopt; }
void EmptyCachingManager::storeFile(const QUrl&, const QUrl&, DoneCompletion completion) { answer(completion); }
qint64 EmptyCachingManager::cachedDataSize() const { return 0; }

std::optional<QByteArray> EmptyCachingManager::cachedThumbnail(const QString&, const QSize&) const {
    return std::nullopt;
}
void EmptyCachingManager::storeThumbnail(const QByteArray&, const QString&, const QSize&) {}

std::shared_ptr<FilterBuilder> EmptyCachingManager::filterBuilder() const { return EmptyFilterBuilder::create(); }
qint64 EmptyCachingManager::cacheSize() const { return 0; }
void EmptyCachingManager::purge(const QDateTime&, CountCompletion completion) { answer(completion, qint64{0}); }
void EmptyCachingManager::clear(DoneCompletion completion) { answer(completion); }
