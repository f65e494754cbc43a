#include <gtest/gtest.h>

#include <functional>

#include "app/config/EmptyCaching.h"

namespace {

const QString kPath = QStringLiteral("/users/anna/Documents");
const QUrl kURL(QStringLiteral("https://api.orvella.example/2.1/files/1"));
const CachedItem kItem{kPath + "/a.txt", "a.txt", false, 3, QDateTime::currentDateTimeUtc(), "r1"};

// Each operation that takes a completion, handed one that records what it carried.
struct CompletionCase {
    const char* name;
    // Calls the operation; `carried` is set to whether the completion received anything.
    std::function<void(EmptyCachingManager&, int& calls, bool& carried)> run;
};

std::vector<CompletionCase> completionCases() {
    using M = EmptyCachingManager;
    const auto items = [](int& calls, bool& carried) {
        return [&](std::vector<CachedItem> v) { ++calls; carried = carried || !v.empty(); };
    };
    const auto item = [](int& calls, bool& carried) {
        return [&](std::optional<CachedItem> v) { ++calls; carried = carried || v.has_value(); };
    };
    const auto date = [](int& calls, bool& carried) {
        return [&](std::optional<QDateTime> v) { ++calls; carried = carried || v.has_value(); };
    };
    const auto data = [](int& calls, bool& carried) {
        return [&](std::optional<QByteArray> v) { ++calls; carried = carried || v.has_value(); };
    };
    const auto done = [](int& calls, bool&) { return [&] { ++calls; }; };
    const auto filter = EmptyFilterBuilder::create();
    return {
        {"cachedItems", [=](M& m, int& n, bool& c) { m.cachedItems(kPath, items(n, c)); }},
        {"cachedItem", [=](M& m, int& n, bool& c) { m.cachedItem(kItem.path, item(n, c)); }},
        {"cachedItemsFiltered", [=](M& m, int& n, bool& c) { m.cachedItems(*filter->build(), items(n, c)); }},
        {"storeItem", [=](M& m, int& n, bool& c) { m.storeItem(kItem, done(n, c)); }},
        {"storeItems", [=](M& m, int& n, bool& c) { m.storeItems(kPath, {kItem}, done(n, c)); }},
        {"removeItem", [=](M& m, int& n, bool& c) { m.removeItem(kItem.path, done(n, c)); }},
        {"removeItems", [=](M& m, int& n, bool& c) { m.removeItems(kPath, done(n, c)); }},
        {"moveItem", [=](M& m, int& n, bool& c) { m.moveItem(kItem.path, kPath + "/b.txt", done(n, c)); }},
        {"lastModified", [=](M& m, int& n, bool& c) { m.lastModified(kItem.path, date(n, c)); }},
        {"lastRefresh", [=](M& m, int& n, bool& c) { m.lastRefresh(kPath, date(n, c)); }},
        {"cachedData", [=](M& m, int& n, bool& c) { m.cachedData(kURL, data(n, c)); }},
        {"storeData", [=](M& m, int& n, bool& c) { m.storeData("abc", kURL, done(n, c)); }},
        {"removeData", [=](M& m, int& n, bool& c) { m.removeData(kURL, done(n, c)); }},
        {"storeFile",
         [=](M& m, int& n, bool& c) { m.storeFile(QUrl::fromLocalFile("/dev/shm/none"), kURL, done(n, c)); }},
        {"purge",
         [=](M& m, int& n, bool& c) {
             m.purge(QDateTime::currentDateTimeUtc(), [&](qint64 count) { ++n; c = c || count != 0; });
         }},
        {"clear", [=](M& m, int& n, bool& c) { m.clear(done(n, c)); }},
    };
}

TEST(EmptyCachingManagerTest, CallsEveryCompletionOnceBeforeReturningWithNothing) {
    for (const CompletionCase& c : completionCases()) {
        SCOPED_TRACE(c.name);
        EmptyCachingManager manager;
        int calls = 0;
        bool carried = false;
        c.run(manager, calls, carried);
        EXPECT_EQ(calls, 1);
        EXPECT_FALSE(carried);
    }
}

// Completions left out must not be called (an empty std::function throws).
TEST(EmptyCachingManagerTest, FindsNothingEvenAfterStoring) {
    EmptyCachingManager manager;
    manager.storeItem(kItem, {});
    manager.storeItems(kPath, {kItem}, {});
    manager.setLastModified(kItem.path, kItem.modificationDate);
    manager.setLastRefresh(kPath, kItem.modificationDate);
    manager.storeData("abc", kURL, {});
    manager.storeThumbnail("png", kItem.path, QSize(64, 64));
    manager.cachedData(kURL, {});
    manager.purge(QDateTime(), {});

    const auto filter = manager.filterBuilder()->build();
    EXPECT_TRUE(manager.cachedItems(kPath).empty());
    EXPECT_TRUE(manager.cachedItems(*filter).empty());
    EXPECT_EQ(manager.cachedItem(kItem.path), std::nullopt);
    EXPECT_EQ(manager.itemCount(kPath), 0);
    EXPECT_EQ(manager.itemCount(*filter), 0);
    EXPECT_EQ(manager.lastModified(kItem.path), std::nullopt);
    EXPECT_EQ(manager.lastRefresh(kPath), std::nullopt);
    EXPECT_EQ(manager.cachedData(kURL), std::nullopt);
    EXPECT_EQ(manager.cachedFileURL(kURL), std::nullopt);
    EXPECT_EQ(manager.cachedThumbnail(kItem.path, QSize(64, 64)), std::nullopt);
    EXPECT_EQ(manager.cachedDataSize(), 0);
    EXPECT_EQ(manager.cacheSize(), 0);
}

TEST(EmptyFilterBuilderTest, ConfiguringReturnsTheSameBuilderWhichIsItsOwnFilter) {
    const EmptyCachingManager manager;
    const std::shared_ptr<FilterBuilder> builder = manager.filterBuilder();
    ASSERT_NE(builder, nullptr);
    EXPECT_NE(manager.filterBuilder(), builder);

    FilterBuilder& chained = builder->withParentPath(kPath, true)
                                 .withNameContaining("a")
                                 .withKind(FilterBuilder::Kind::file)
                                 .withModifiedAfter(QDateTime::fromSecsSinceEpoch(0))
                                 .withModifiedBefore(QDateTime::currentDateTimeUtc())
                                 .withMinimumSize(1)
                                 .withMaximumCount(10);
    EXPECT_EQ(&chained, builder.get());

    const std::shared_ptr<const Filter> filter = builder->build();
    EXPECT_EQ(dynamic_cast<const FilterBuilder*>(filter.get()), builder.get());
    EXPECT_FALSE(filter->matches(kItem));
    EXPECT_EQ(filter->maximumCount(), 0);
}

}  // namespace
