#include <gtest/gtest.h>

#include <sqlite3.h>

#include "StoreTestTree.h"
#include "app/selectivesync/ObjectContext.h"
#include "app/selectivesync/PersistentContainer.h"
#include "platform/foundation/MainQueue.h"
#include "support/TestEnvironment.h"

using storetest::build;
using storetest::render;

namespace {

class ObjectContextTest : public ::testing::Test {
protected:
    storetest::StoreFile file;
    std::shared_ptr<StoreController> store = file.open();
    ObjectContext& view() { return store->viewContext(); }
    std::shared_ptr<FileSystemNode> node(const QString& path) { return store->nodeForRelativePath(path); }
    void reopen() {
        store.reset();
        store = file.open();
    }
    // Runs the task in a background context and waits for it on the main thread.
    void inBackground(std::function<void(ObjectContext&)> task) {
        bool done = false;
        store->container()->performBackgroundTask([&, task](ObjectContext& context) {
            EXPECT_FALSE(MainQueue::isMainThread());
            task(context);
            MainQueue::async([&] { done = true; });
        });
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return done; }));
    }
    static QStringList paths(const std::vector<std::shared_ptr<FileSystemNode>>& nodes) {
        QStringList list;
        for (const auto& n : nodes) list << n->cachedRelativePath().value_or("nil");
        return list;
    }
};

TEST_F(ObjectContextTest, EverythingSavedComesBackAfterReopening) {
    build(*store, "/:-1 /b:1 /A:0 /c:-1 /c/x:1");
    const auto pathless = view().insertNewNode();
    pathless->setParent(node("/"));
    node("/b")->setBookmarkData(QByteArray("\0bm", 3));
    node("/b")->setIsCached(true);
    node("/c")->setInitialSyncState(1);
    ASSERT_EQ(view().save(), std::nullopt);
    EXPECT_FALSE(view().hasChanges());
    reopen();

    EXPECT_EQ(render(*store), QStringLiteral("/:-1 /A:0 /b:1 /c:-1 /c/x:1 nil:-1"));
    const auto root = store->rootNode();
    EXPECT_EQ(paths(root->sortedChildren()), QStringList({"/A", "/b", "/c", "nil"}));
    EXPECT_EQ(node("/b")->bookmarkData(), QByteArray("\0bm", 3));
    EXPECT_TRUE(node("/b")->isCached());
    EXPECT_EQ(node("/c")->initialSyncState(), 1);
    EXPECT_EQ(node("/c")->remoteIdentifier(), QStringLiteral("id/c"));
    EXPECT_EQ(node("/c/x")->parent(), node("/c"));
    EXPECT_EQ(root->parent(), nullptr);
    EXPECT_EQ(node("/b")->objectID(), view().existingObject(node("/b")->objectID())->objectID());
}

TEST_F(ObjectContextTest, SortedChildrenFollowTheChildren) {
    build(*store, "/:1 /b:1 /c:1");
    const auto root = store->rootNode();
    EXPECT_EQ(paths(root->sortedChildren()), QStringList({"/b", "/c"}));
    store->createNode("/a", std::nullopt);
    EXPECT_EQ(paths(root->sortedChildren()), QStringList({"/a", "/b", "/c"}));
    store->deleteNode("/b");
    EXPECT_EQ(paths(root->sortedChildren()), QStringList({"/a", "/c"}));
    std::vector<QString> sizePaths;
    for (const auto* child : root->sizeCalculatorChildren()) sizePaths.push_back(*child->cachedRelativePath());
    EXPECT_EQ(sizePaths, (std::vector<QString>{"/a", "/c"}));
}

TEST_F(ObjectContextTest, BackgroundSavesReachTheViewThroughIdentifiersAndRefresh) {
    build(*store, "/:-1 /p:-1");
    ASSERT_EQ(view().save(), std::nullopt);
    const auto parent = node("/p");
    parent->setSyncState(1);  // unsaved here; must survive the refresh

    std::vector<ObjectID> created;
    inBackground([&](ObjectContext& context) {
        const auto p = context.existingObject(parent->objectID());
        ASSERT_TRUE(p);
        EXPECT_EQ(p->syncState(), -1);  // the view's unsaved change is not visible here
        for (const char* path : {"/p/x", "/p/y"}) {
            const auto child = context.insertNewNode();
            child->setCachedRelativePath(QString::fromUtf8(path));
            child->setParent(p);
            child->setSyncState(0);
            created.push_back(child->objectID());
        }
        p->setSyncState(0);
        p->setIsCached(true);
        EXPECT_EQ(context.save(), std::nullopt);
    });

    view().refresh(parent, true);
    EXPECT_EQ(parent->syncState(), 1);    // changed here: ours wins
    EXPECT_TRUE(parent->isCached());      // unchanged here: the store's
    EXPECT_EQ(paths(parent->sortedChildren()), QStringList({"/p/x", "/p/y"}));
    EXPECT_EQ(view().existingObject(created[0]), parent->sortedChildren()[0]);
    ASSERT_EQ(view().save(), std::nullopt);

    reopen();
    EXPECT_EQ(render(*store), QStringLiteral("/:-1 /p:1 /p/x:0 /p/y:0"));
    EXPECT_TRUE(node("/p")->isCached());
}

TEST_F(ObjectContextTest, ABackgroundSaveOverAnotherContextsWriteFailsWithoutMergePolicy) {
    build(*store, "/:1");
    ASSERT_EQ(view().save(), std::nullopt);
    const ObjectID id = store->rootNode()->objectID();
    auto context = store->container()->newBackgroundContext();
    const auto root = context->existingObject(id);
    store->rootNode()->setSyncState(0);
    ASSERT_EQ(view().save(), std::nullopt);  // the view context writes over others

    root->setSyncState(-1);
    EXPECT_NE(context->save(), std::nullopt);
    EXPECT_TRUE(root->hasChanges());
    context->setMergePolicy(ObjectContext::MergePolicy::propertyObjectTrump);
    EXPECT_EQ(context->save(), std::nullopt);
    reopen();
    EXPECT_EQ(render(*store), QStringLiteral("/:-1"));
}

TEST_F(ObjectContextTest, RollbackAndResetDropUnsavedChanges) {
    build(*store, "/:-1 /a:1 /a/x:1 /b:0");
    ASSERT_EQ(view().save(), std::nullopt);
    const auto a = node("/a");
    const auto inserted = store->createNode("/new", std::nullopt);
    node("/b")->setSyncState(1);
    store->deleteNode("/a");
    EXPECT_TRUE(a->isDeleted());
    EXPECT_EQ(render(*store), QStringLiteral("/:-1 /b:1 /new:-1"));

    view().rollback();
    EXPECT_EQ(render(*store), QStringLiteral("/:-1 /a:1 /a/x:1 /b:0"));
    EXPECT_EQ(inserted->managedObjectContext(), nullptr);
    EXPECT_EQ(paths(a->children()), QStringList({"/a/x"}));
    EXPECT_FALSE(view().hasChanges());

    node("/b")->setSyncState(1);
    view().reset();
    EXPECT_EQ(a->managedObjectContext(), nullptr);
    EXPECT_EQ(node("/b")->syncState(), 0);
    EXPECT_NE(node("/a"), a);
}

TEST_F(ObjectContextTest, BatchDeleteTakesSubtreesAndLeavesUnsavedNodes) {
    build(*store, "/:-1 /a:1 /a/x:1 /a/x/y:1 /b:0");
    ASSERT_EQ(view().save(), std::nullopt);
    const auto unsaved = store->createNode("/a/x/new", std::nullopt);
    const auto deleted = view().executeBatchDelete(NodePredicate::pathEquals("/a"));
    ASSERT_TRUE(deleted.isSuccess());
    EXPECT_EQ(deleted.value(), 3);
    EXPECT_EQ(render(*store), QStringLiteral("/:-1 /a/x/new:-1 /b:0"));
    EXPECT_EQ(unsaved->parent(), nullptr);
    ASSERT_EQ(view().save(), std::nullopt);
    reopen();
    EXPECT_EQ(render(*store), QStringLiteral("/:-1 /a/x/new:-1 /b:0"));
}

TEST_F(ObjectContextTest, ParentLinksNeverFormALoop) {
    build(*store, "/:1 /a:1 /a/b:1");
    EXPECT_FALSE(node("/")->setParent(node("/a/b")));
    EXPECT_FALSE(node("/a")->setParent(node("/a")));
    ASSERT_EQ(view().save(), std::nullopt);
    store.reset();

    // A damaged file whose parent links run in a circle.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.path().toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE FileSystemNode SET parent = (SELECT id FROM FileSystemNode WHERE "
                               "cachedRelativePath = '/a/b') WHERE cachedRelativePath = '/'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    store = file.open();
    const auto b = node("/a/b");
    b->setSyncState(0);
    store->updateParentSyncState(b);      // ends
    store->applySyncStateToChildren(node("/"));  // ends
    int links = 0;
    const auto all = view().fetch().value();
    for (const auto& n : all) links += n->parent() ? 1 : 0;
    EXPECT_EQ(links, 2);
    store->deleteNode("/");
    EXPECT_EQ(view().save(), std::nullopt);
    reopen();
    EXPECT_EQ(render(*store), QString());
}

TEST_F(ObjectContextTest, PathLookupsFollowRenamesDeletionsAndRollback) {
    build(*store, "/:-1 /a:1 /b:0");
    ASSERT_EQ(view().save(), std::nullopt);
    const auto a = node("/a");
    a->setCachedRelativePath("/moved");
    EXPECT_EQ(store->storedNode("/a"), nullptr);
    EXPECT_EQ(store->storedNode("/moved"), a);
    const auto taker = store->createNode("/a", std::nullopt);  // a new node takes the old path
    EXPECT_EQ(store->storedNode("/a"), taker);
    store->deleteNode("/b");
    EXPECT_EQ(store->storedNode("/b"), nullptr);

    view().rollback();
    EXPECT_EQ(store->storedNode("/a"), a);
    EXPECT_EQ(store->storedNode("/moved"), nullptr);
    EXPECT_TRUE(store->storedNode("/b"));

    // Two nodes with one path: the older answers, and the younger once the older is deleted.
    const auto older = store->createNode("/twin", std::nullopt);
    const auto younger = store->createNode("/twin", std::nullopt);
    EXPECT_EQ(store->storedNode("/twin"), older);
    view().deleteObject(older);
    EXPECT_EQ(store->storedNode("/twin"), younger);

    // A rename saved by another context reaches the view's look-ups through a refresh.
    a->setCachedRelativePath("/renamed");
    ASSERT_EQ(view().save(), std::nullopt);
    inBackground([&](ObjectContext& context) {
        context.object(a->objectID())->setCachedRelativePath("/elsewhere");
        EXPECT_EQ(context.save(), std::nullopt);
    });
    view().refresh(a, false);
    EXPECT_EQ(store->storedNode("/renamed"), nullptr);
    EXPECT_EQ(store->storedNode("/elsewhere"), a);
    reopen();
    EXPECT_EQ(render(*store), QStringLiteral("/:-1 /b:0 /elsewhere:1 /twin:-1"));
}

TEST_F(ObjectContextTest, ASaveThatFailsWritesNothingAndCanBeMadeAgain) {
    build(*store, "/:-1 /a:1");
    ASSERT_EQ(view().save(), std::nullopt);
    auto context = store->container()->newBackgroundContext();  // fails on rows others wrote
    const auto inserted = context->insertNewNode();
    inserted->setCachedRelativePath("/new");
    inserted->setParent(context->object(store->rootNode()->objectID()));
    const auto a = context->object(node("/a")->objectID());
    a->setSyncState(0);
    node("/a")->setIsCached(true);
    ASSERT_EQ(view().save(), std::nullopt);

    EXPECT_NE(context->save(), std::nullopt);
    EXPECT_TRUE(inserted->isInserted());
    EXPECT_TRUE(a->hasChanges());
    // The insertion ahead of the conflict went back with it.
    EXPECT_EQ(store->container()->newBackgroundContext()->count(NodePredicate::pathEquals("/new")).valueOr(-1), 0);

    context->setMergePolicy(ObjectContext::MergePolicy::propertyObjectTrump);
    ASSERT_EQ(context->save(), std::nullopt);
    EXPECT_FALSE(context->hasChanges());
    EXPECT_TRUE(a->isCached());  // the other context's write, taken back with the row
    reopen();
    EXPECT_EQ(render(*store), QStringLiteral("/:-1 /a:0 /new:-1"));
    EXPECT_TRUE(node("/a")->isCached());
}

TEST_F(ObjectContextTest, AFetchSeesRowsSavedOutOfTheOrderOfTheirIdentifiers) {
    build(*store, "/:-1");
    ASSERT_EQ(view().save(), std::nullopt);
    auto early = store->container()->newBackgroundContext();
    auto late = store->container()->newBackgroundContext();
    early->insertNewNode()->setCachedRelativePath("/early");  // the lower identifier
    late->insertNewNode()->setCachedRelativePath("/late");
    ASSERT_EQ(late->save(), std::nullopt);
    EXPECT_EQ(render(*store), QStringLiteral("/:-1 /late:-1"));
    ASSERT_EQ(early->save(), std::nullopt);
    EXPECT_EQ(render(*store), QStringLiteral("/:-1 /early:-1 /late:-1"));
}

// The view's node /a is read at state 1; another context then stores -1. A save writes what the
// view changed since its last save, so a value set back before saving leaves the other's write.
struct SetBackCase {
    const char* name;
    std::vector<int> steps;  // states set in the view, kSave for a save between them
    bool pending;            // the view has changes after the steps
    std::int16_t stored;     // after a last save of the view
};
constexpr int kSave = 99;

class SetBackTest : public ObjectContextTest, public ::testing::WithParamInterface<SetBackCase> {};

TEST_P(SetBackTest, OnlyValuesChangedSinceTheLastSaveAreWritten) {
    build(*store, "/:-1 /a:1");
    ASSERT_EQ(view().save(), std::nullopt);
    const auto a = node("/a");
    inBackground([&](ObjectContext& context) {
        context.object(a->objectID())->setSyncState(-1);
        EXPECT_EQ(context.save(), std::nullopt);
    });
    for (const int step : GetParam().steps) {
        if (step == kSave) ASSERT_EQ(view().save(), std::nullopt);
        else a->setSyncState(std::int16_t(step));
    }
    EXPECT_EQ(view().hasChanges(), GetParam().pending);
    ASSERT_EQ(view().save(), std::nullopt);
    reopen();
    EXPECT_EQ(node("/a")->syncState(), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Cases, SetBackTest,
                         ::testing::Values(SetBackCase{"SetToTheSameValue", {1}, false, -1},
                                           SetBackCase{"ChangedAndSetBack", {0, 1}, false, -1},
                                           SetBackCase{"Changed", {0}, true, 0},
                                           SetBackCase{"ChangedSavedAndChangedBack", {0, kSave, 1}, true, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ObjectContextTest, SelectAllSavedIsWhatAFreshStoreReads) {
    build(*store, "/:-1 /a:0 /a/x:-1 /a/x/y:0 /b:1");
    ASSERT_EQ(view().save(), std::nullopt);
    const auto all = view().fetch().value();
    for (const auto& n : all) n->setSyncState(1);
    ASSERT_EQ(view().save(), std::nullopt);
    EXPECT_FALSE(view().hasChanges());
    reopen();
    EXPECT_EQ(render(*store), QStringLiteral("/:1 /a:1 /a/x:1 /a/x/y:1 /b:1"));
}

}  // namespace
