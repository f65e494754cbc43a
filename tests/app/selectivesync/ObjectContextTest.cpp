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

}  // namespace
