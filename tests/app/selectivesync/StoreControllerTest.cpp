#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sqlite3.h>
#include <sys/stat.h>

#include "app/core/support/TestBusinessFacade.h"

#include "app/common/LogChannels.h"
#include "app/selectivesync/StoreController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/foundation/MainQueue.h"
#include "StoreTestTree.h"
#include "support/TestEnvironment.h"

using storetest::build;
using storetest::render;

namespace {

class StoreControllerTest : public ::testing::Test {
protected:
    storetest::StoreFile file;
    std::shared_ptr<StoreController> store = file.open();
    storetest::LogCapture log{AppLog::selectiveSyncBrowser().name()};

    std::shared_ptr<FileSystemNode> node(const QString& path) { return store->nodeForRelativePath(path); }
    void reopen() {
        store.reset();
        store = file.open();
    }
};

struct PropagationCase {
    const char* name;
    const char* tree;
    const char* start;
    bool upward;
    const char* expected;
};

class PropagationTest : public StoreControllerTest, public ::testing::WithParamInterface<PropagationCase> {};

TEST_P(PropagationTest, ChangesExactlyTheExpectedStates) {
    const PropagationCase& c = GetParam();
    build(*store, QString::fromUtf8(c.tree));
    const auto start = node(QString::fromUtf8(c.start));
    ASSERT_TRUE(start);
    if (c.upward) store->updateParentSyncState(start);
    else store->applySyncStateToChildren(start);
    EXPECT_EQ(render(*store), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Store, PropagationTest,
    ::testing::Values(
        PropagationCase{"RootWithOnOnOffBecomesMixed", "/:1 /a:1 /b:1 /c:0", "/c", true, "/:-1 /a:1 /b:1 /c:0"},
        PropagationCase{"RootStaysMixedWhenAllOn", "/:1 /a:1 /b:1", "/a", true, "/:-1 /a:1 /b:1"},
        PropagationCase{"FolderWithAllOnBecomesOn", "/:0 /p:0 /p/a:1 /p/b:1", "/p/a", true,
                        "/:-1 /p:1 /p/a:1 /p/b:1"},
        PropagationCase{"FolderWithAllOffBecomesMixedNotOff", "/:1 /p:1 /p/a:0 /p/b:0", "/p/b", true,
                        "/:-1 /p:-1 /p/a:0 /p/b:0"},
        PropagationCase{"ClimbsEveryLevel", "/:0 /a:0 /a/b:0 /a/b/c:1", "/a/b/c", true, "/:-1 /a:1 /a/b:1 /a/b/c:1"},
        PropagationCase{"RootHasNothingAbove", "/:0 /a:1", "/", true, "/:0 /a:1"},
        PropagationCase{"MixedTurnsEveryDescendantOff", "/:-1 /a:-1 /a/x:1 /a/x/y:1 /a/z:-1 /b:1", "/a", false,
                        "/:-1 /a:-1 /a/x:0 /a/x/y:0 /a/z:0 /b:1"},
        PropagationCase{"OnTurnsEveryDescendantOn", "/:-1 /a:1 /a/x:0 /a/x/y:-1 /b:0", "/a", false,
                        "/:-1 /a:1 /a/x:1 /a/x/y:1 /b:0"},
        PropagationCase{"OffTurnsEveryDescendantOff", "/:0 /a:1 /a/x:-1", "/", false, "/:0 /a:0 /a/x:0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreControllerTest, CreatingANodeCreatesItsMissingAncestorsUnsaved) {
    const auto c = store->createNode(QStringLiteral("/a/b/c"), QStringLiteral("rc"));
    ASSERT_TRUE(c);
    QStringList chain;
    for (auto n = c; n; n = n->parent())
        chain << n->cachedRelativePath().value_or("nil") + u'=' + n->remoteIdentifier().value_or("none");
    EXPECT_EQ(chain, QStringList({"/a/b/c=rc", "/a/b=none", "/a=none", "/=none"}));
    EXPECT_EQ(node("/a")->syncState(), FileSystemNode::defaultSyncState);
    // An existing ancestor is reused, not duplicated.
    store->createNode(QStringLiteral("/a/d"), std::nullopt);
    EXPECT_EQ(store->viewContext().count(NodePredicate::pathEquals("/a")).value(), 1);
    EXPECT_EQ(node("/a")->childCount(), 2);

    EXPECT_TRUE(store->viewContext().hasChanges());
    reopen();
    EXPECT_EQ(render(*store), QString());
}

TEST_F(StoreControllerTest, LookupsThatFindNothingLogAndGiveNone) {
    bool called = false;
    store->nodeForRelativePath(QStringLiteral("/missing"), [&](std::shared_ptr<FileSystemNode> found) {
        called = true;
        EXPECT_FALSE(found);
    });
    EXPECT_TRUE(called);
    EXPECT_FALSE(store->rootNode());
    EXPECT_EQ(store->deleteNode(QStringLiteral("/missing")), SelectiveSyncError::unknownLocalNode);

    std::shared_ptr<FileSystemNode> created = store->createNode("/x", std::nullopt);
    store->createNodeForPath(QStringLiteral("/x/y"), std::nullopt, nullptr,
                             [&](std::shared_ptr<FileSystemNode> n) { created = n; });
    EXPECT_FALSE(created);
    EXPECT_EQ(log.lines(), QStringList({"Unknown local node for path: /missing",
                                        "Parent node missing for child with path: /x/y"}));
}

TEST_F(StoreControllerTest, StatisticsCountTheSelectionWithoutTheRoot) {
    EXPECT_EQ(store->statistics(), SelectiveSyncStatistics{});
    build(*store, "/:1 /a:1 /b:0 /b/x:0 /c:-1 /c/y:1");
    EXPECT_EQ(store->statistics(), (SelectiveSyncStatistics{.on = 2, .off = 2, .mixed = 1, .total = 5, .unfiltered = 6}));
}

TEST_F(StoreControllerTest, ModifiedNodesAreThoseOffTheirSnapshot) {
    build(*store, "/:-1 /a:1 /b:0");
    EXPECT_FALSE(store->hasModifiedNodes());
    node("/b")->setSyncState(1);
    EXPECT_TRUE(store->hasModifiedNodes());
    node("/b")->setSyncState(0);
    EXPECT_FALSE(store->hasModifiedNodes());
}

TEST_F(StoreControllerTest, DeletingANodeTakesItsSubtreeAlongForGood) {
    build(*store, "/:-1 /a:1 /a/x:1 /a/x/y:1 /b:0");
    ASSERT_FALSE(store->viewContext().save());
    EXPECT_EQ(store->deleteNode("/a"), std::nullopt);
    EXPECT_EQ(node("/")->childCount(), 1);
    ASSERT_FALSE(store->viewContext().save());
    reopen();
    EXPECT_EQ(render(*store), QStringLiteral("/:-1 /b:0"));
}

TEST_F(StoreControllerTest, ResolvingALostParentCreatesItMixed) {
    build(*store, "/:1 /a:1");
    const auto a = node("/a");
    a->setParent(nullptr);
    EXPECT_EQ(store->resolveParent(a), node("/"));

    const auto orphan = store->viewContext().insertNewNode();
    orphan->setCachedRelativePath(QStringLiteral("/p/q"));
    const auto parent = store->resolveParent(orphan);
    ASSERT_TRUE(parent);
    EXPECT_EQ(parent->cachedRelativePath(), QStringLiteral("/p"));
    EXPECT_EQ(parent->syncState(), -1);
    EXPECT_EQ(parent->initialSyncState(), -1);
    EXPECT_EQ(parent->parent(), node("/"));
    EXPECT_FALSE(store->resolveParent(node("/")));
}

TEST_F(StoreControllerTest, ResetEmptiesTheStoreAndDropsUnsavedNodes) {
    store->resetSelectiveSyncItems();  // nothing there: silent
    EXPECT_TRUE(log.lines().isEmpty());

    build(*store, "/:1 /a:1 /a/b:1");
    ASSERT_FALSE(store->viewContext().save());
    const auto held = node("/a");
    store->createNode("/new", std::nullopt);
    store->resetSelectiveSyncItems();
    EXPECT_EQ(render(*store), QString());
    EXPECT_EQ(held->managedObjectContext(), nullptr);
    EXPECT_FALSE(store->viewContext().hasChanges());
    reopen();
    EXPECT_EQ(render(*store), QString());
    EXPECT_TRUE(log.lines().isEmpty());
}

struct ItemsCase {
    const char* name;
    const char* tree;
    const char* expected;  // "path R|N" joined by ", "
};

class SubscriptionListTest : public StoreControllerTest, public ::testing::WithParamInterface<ItemsCase> {};

TEST_P(SubscriptionListTest, FollowsTheTree) {
    build(*store, QString::fromUtf8(GetParam().tree));
    std::vector<SelectiveSyncItem> items;
    store->selectiveSyncItems([&](const std::vector<SelectiveSyncItem>& built) { items = built; });
    QStringList words;
    for (const auto& item : items) words << item.path + (item.recursive ? " R" : " N");
    EXPECT_EQ(words.join(", "), QString::fromUtf8(GetParam().expected));
    EXPECT_EQ(store->syncItems(), items);
    EXPECT_EQ(items.front().remoteIdentifier, QStringLiteral("id/"));
    EXPECT_FALSE(store->viewContext().hasChanges());  // the list is built over a saved tree
}

INSTANTIATE_TEST_SUITE_P(
    Store, SubscriptionListTest,
    ::testing::Values(ItemsCase{"AllOnIsOneRecursiveRoot", "/:-1 /a:1 /b:1", "/ R"},
                      ItemsCase{"RootWithoutChildrenIsRecursive", "/:0", "/ R"},
                      ItemsCase{"MixedFoldersAreWalked", "/:1 /a:1 /b:-1 /b/x:1 /b/y:0 /c:0",
                                "/ N, /a R, /b N, /b/x R"},
                      ItemsCase{"NothingBelowAnOffFolder", "/:-1 /a:0 /a/x:1 /b:1", "/ N, /b R"},
                      ItemsCase{"OnFolderCoversItsChildren", "/:-1 /a:1 /a/x:0 /b:0", "/ N, /a R"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreControllerTest, NoRootGivesAnEmptyListAndKeepsTheLastOne) {
    build(*store, "/:1");
    store->selectiveSyncItems({});
    store->resetSelectiveSyncItems();
    bool called = false;
    store->selectiveSyncItems([&](const std::vector<SelectiveSyncItem>& items) {
        called = true;
        EXPECT_TRUE(items.empty());
    });
    EXPECT_TRUE(called);
    EXPECT_EQ(store->syncItems().size(), 1u);
}

struct MergeCase {
    const char* name;
    const char* saved;            // saved before the merge
    std::vector<const char*> items;  // "path R|N"
    const char* expected;         // after the merge, also after reopening
};

class MergeTest : public StoreControllerTest, public ::testing::WithParamInterface<MergeCase> {};

TEST_P(MergeTest, SeedsTheTreeFromTheSubscriptions) {
    const MergeCase& c = GetParam();
    build(*store, QString::fromUtf8(c.saved));
    ASSERT_FALSE(store->viewContext().save());
    std::vector<SelectiveSyncItem> items;
    for (const char* word : c.items) {
        const QStringList parts = QString::fromUtf8(word).split(u' ');
        items.push_back({parts[0], parts[1] == "R", QStringLiteral("rid") + parts[0]});
    }
    bool done = false;
    store->merge(items, [&] {
        EXPECT_TRUE(MainQueue::isMainThread());
        done = true;
    });
    EXPECT_FALSE(done);  // the tail runs in a later turn of the main queue
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return done; }));
    EXPECT_EQ(render(*store), QString::fromUtf8(c.expected));
    reopen();
    EXPECT_EQ(render(*store), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Store, MergeTest,
    ::testing::Values(
        MergeCase{"IntoAnEmptyStore", "", {"/ N", "/a/b R"}, "/:-1 /a:-1 /a/b:1"},
        MergeCase{"EmptyListDeletesEverything", "/:1 /a:1 /a/x:1", {}, ""},
        MergeCase{"DropsWhatTheListDoesNotName", "/:1 /a:1 /b:1 /b/x:1", {"/ N", "/a R"}, "/:-1 /a:1"},
        MergeCase{"ExistingNodesTakeTheListsStates", "/:1 /a:1 /b:0", {"/ N", "/a N", "/b R"}, "/:-1 /a:-1 /b:1"},
        // The list lacks the folders above /a/b: they stay, and an off one no longer hides it.
        MergeCase{"KeepsAncestorsOfListedFolders", "/:-1 /a:0 /a/b:0 /c:1", {"/a/b R"}, "/:-1 /a:-1 /a/b:1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreControllerTest, MergingNothingCompletesAtOnceAndChangesNothing) {
    build(*store, "/:1 /a:0");
    bool done = false;
    store->merge(std::nullopt, [&] { done = true; });
    EXPECT_TRUE(done);
    EXPECT_EQ(render(*store), QStringLiteral("/:1 /a:0"));
    EXPECT_TRUE(store->viewContext().hasChanges());
}

TEST_F(StoreControllerTest, MergedStatesCountAsModifiedAndSubscriptionsRoundTrip) {
    build(*store, "/:-1 /a:1 /b:-1 /b/x:1 /b/y:0 /c:0");
    std::vector<SelectiveSyncItem> built;
    store->selectiveSyncItems([&](const std::vector<SelectiveSyncItem>& items) { built = items; });
    node("/b/y")->setSyncState(1);
    node("/c")->setSyncState(1);
    store->viewContext().save();

    bool done = false;
    store->merge(built, [&] { done = true; });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return done; }));
    EXPECT_EQ(render(*store), QStringLiteral("/:-1 /a:1 /b:-1 /b/x:1"));
    EXPECT_FALSE(store->hasModifiedNodes());  // the engine's list matched the snapshot
}

mode_t modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A damaged store no longer ends every launch: it is set aside with its journal, a new one takes
// its place and holds the engine's subscriptions at once, so the user's choice is not lost.
TEST(StoreLoadTest, ADamagedStoreIsSetAsideAndANewOneKeepsTheEnginesChoice) {
    const struct {
        const char* name;
        std::function<void(const QString& path)> damage;
    } cases[] = {
        {"not a database", [](const QString& path) {
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write(QByteArray(8192, 'x'));
         }},
        {"a broken page", [](const QString& path) {
             {
                 auto store = StoreController::make(std::make_shared<PersistentContainer>(
                     "Model", PersistentStoreDescription::file(path)));
                 for (int i = 0; i < 400; ++i) store->createNode(QStringLiteral("/folder %1").arg(i), QString::number(i));
                 ASSERT_EQ(store->viewContext().save(), std::nullopt);
             }
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             ASSERT_GT(file.size(), 3 * 4096);
             file.seek(2 * 4096);
             file.write(QByteArray(4096, '\x5a'));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTestBusinessFacade facade;
        facade.facade().subscriptions =
            std::vector<SelectiveSyncItem>{{"/", false, "r"}, {"/a", true, "ia"}, {"/b", false, "ib"}, {"/b/x", true, "ix"}};
        storetest::StoreFile file;
        c.damage(file.path());
        const QByteArray damaged = contentOf(file.path());
        {
            QFile journal(file.path() + "-wal");
            ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
            journal.write("the damaged store's journal");
        }
        std::vector<LogLevel> warnings;
        const auto sink = Logger::addSink([&](const LogEntry& entry) {
            if (entry.channel == AppLog::selectiveSyncBrowser().name() && entry.message.contains("damaged"))
                warnings.push_back(entry.level);
        });
        int failures = 0;
        const auto store = StoreController::make(
            std::make_shared<PersistentContainer>("Model", PersistentStoreDescription::file(file.path())),
            [&](const ContextError&) { ++failures; });
        Logger::flush();
        Logger::removeSink(sink);

        EXPECT_EQ(failures, 0);
        ASSERT_TRUE(store->container()->isLoaded());
        const QStringList aside = QDir(file.dir.path()).entryList({"Model.sqlite.damaged-*"}, QDir::Files, QDir::Name);
        ASSERT_GE(aside.size(), 2) << aside.join(' ').toStdString();
        EXPECT_EQ(contentOf(file.dir.filePath(aside[0])), damaged);
        EXPECT_EQ(contentOf(file.dir.filePath(aside[0] + "-wal")), QByteArray("the damaged store's journal"));
        EXPECT_FALSE(QFile::exists(file.path() + "-wal"));
        EXPECT_EQ(warnings, std::vector<LogLevel>{LogLevel::warning});

        EXPECT_EQ(render(*store), QStringLiteral("/:-1 /a:1 /b:-1 /b/x:1"));
        std::vector<SelectiveSyncItem> built;
        store->selectiveSyncItems([&](const std::vector<SelectiveSyncItem>& items) { built = items; });
        std::sort(built.begin(), built.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
        EXPECT_EQ(built, *facade.facade().subscriptions);
        // What the new store saved is there at the next launch.
        bool merged = false;
        MainQueue::async([&] { merged = true; });
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return merged; }));
        EXPECT_EQ(render(*file.open()), QStringLiteral("/:-1 /a:1 /b:-1 /b/x:1"));
    }
}

// Folders not stored yet are what a rebuild is for: finding none of them is no error. Only the
// lookup of a node that should be there says so.
TEST(StoreLoadTest, RebuildingTheStoreLogsNoError) {
    const std::vector<SelectiveSyncItem> subscriptions{{"/", false, "r"}, {"/a", true, "ia"}, {"/b", false, "ib"}, {"/b/x", true, "ix"}};
    const struct {
        const char* name;
        std::function<std::shared_ptr<StoreController>(const storetest::StoreFile&)> rebuild;
    } cases[] = {
        {"damagedStoreReplaced", [](const storetest::StoreFile& file) {
             QFile damaged(file.path());
             EXPECT_TRUE(damaged.open(QIODevice::WriteOnly));
             damaged.write(QByteArray(8192, 'x'));
             damaged.close();
             return file.open();
         }},
        {"emptyStoreSeeded", [&](const storetest::StoreFile& file) {
             auto store = file.open();
             store->merge(subscriptions, {});
             return store;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTestBusinessFacade facade;
        facade.facade().subscriptions = subscriptions;
        storetest::StoreFile file;
        QStringList errors;
        const auto sink = Logger::addSink([&](const LogEntry& entry) {
            if (entry.level == LogLevel::error) errors << entry.message;
        });
        const auto store = c.rebuild(file);
        bool merged = false;
        MainQueue::async([&] { merged = true; });
        EXPECT_TRUE(TestEnvironment::waitUntil([&] { return merged; }));
        EXPECT_EQ(render(*store), QStringLiteral("/:-1 /a:1 /b:-1 /b/x:1"));
        store->nodeForRelativePath(QStringLiteral("/c"));
        Logger::flush();
        Logger::removeSink(sink);
        EXPECT_EQ(errors.join(u'|'), QStringLiteral("Unknown local node for path: /c"));
    }
}

// The store lists the user's folders: owner-only, also when an earlier run left it wider.
TEST(StoreLoadTest, TheStoreAndItsFolderAreOwnerOnly) {
    storetest::StoreFile file;
    const QString folder = file.dir.filePath("data");
    const QString path = folder + "/Model.sqlite";
    for (const bool existedWider : {false, true}) {
        SCOPED_TRACE(existedWider);
        if (existedWider) {
            ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
        }
        auto store = StoreController::make(std::make_shared<PersistentContainer>("Model", PersistentStoreDescription::file(path)));
        store->createNode("/", std::nullopt);
        ASSERT_EQ(store->viewContext().save(), std::nullopt);
        EXPECT_EQ(modeOf(folder), 0700u);
        EXPECT_EQ(modeOf(path), 0600u);
    }
}

// No new store can be made where the folder should be: the old failure path remains.
TEST(StoreLoadTest, AStoreThatCannotBeOpenedIsShownAndEndsTheApplication) {
    storetest::StoreFile file;
    QFile blocker(file.dir.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    std::vector<QString> shown;
    Alert::setResponder([&](const Alert& alert) {
        shown.push_back(alert.messageText());
        return Alert::FirstButtonReturn;
    });
    int terminated = 0;
    const auto connection = QObject::connect(&Application::shared(), &Application::willTerminate, [&] { ++terminated; });
    const auto store = StoreController::make(std::make_shared<PersistentContainer>(
        "Model", PersistentStoreDescription::file(file.dir.filePath("blocked/Model.sqlite"))));
    Alert::setResponder({});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown.front().contains("blocked")) << shown.front().toStdString();
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return terminated == 1; }));
    QObject::disconnect(connection);
    EXPECT_FALSE(store->container()->isLoaded());
    EXPECT_FALSE(store->rootNode());
    EXPECT_EQ(store->statistics(), std::nullopt);
}

}  // namespace
