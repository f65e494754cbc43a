#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <mutex>
#include <ostream>

#include "app/common/LogChannels.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/core/support/TestDirectoryNode.h"
#include "app/selectivesync/StoreController.h"
#include "frameworks/logger/FrameworkChannels.h"
#include "frameworks/logger/Logger.h"
#include "platform/foundation/MainQueue.h"
#include "support/TestEnvironment.h"

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

const QString eAcute = QString::fromUtf8("/caf\u00e9");         // composed
const QString eDecomposed = QString::fromUtf8("/cafe\u0301");   // decomposed

SelectiveSyncItem item(const QString& path, bool recursive, const QString& id = {}) { return {path, recursive, id}; }

// "/a 1/1": path, state and snapshot; a decomposed path is marked "(D)".
QString render(const FileSystemNode& node) {
    const QString path = node.cachedRelativePath().value_or("nil");
    return path + (path == path.normalized(QString::NormalizationForm_C) ? "" : "(D)") +
           QStringLiteral(" %1/%2").arg(node.syncState()).arg(node.initialSyncState());
}

QStringList renderChildren(const FileSystemNode& node) {
    QStringList lines;
    for (const auto& child : node.sortedChildren()) lines << render(*child);
    return lines;
}

QStringList pairPaths(const SelectiveSyncLevel& level) {
    QStringList paths;
    for (const auto& [node, remote] : level) {
        EXPECT_EQ(node->cachedRelativePath(), remote->path());
        paths << node->cachedRelativePath().value_or("nil");
    }
    return paths;
}

struct StoredRow {
    QString path;
    std::int16_t state;
    std::int16_t initial;
};

class StoreHierarchyFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        store = StoreController::make(std::make_shared<PersistentContainer>(
            "Model", PersistentStoreDescription::file(dir.filePath("Model.sqlite"))));
        tree = TestDirectoryTree::make();
        user = std::make_shared<TestDirectoryUser>();
        user->setRootDirectory(tree->root());
        facade.facade().user = user;
    }

    void seed(const std::vector<StoredRow>& rows) {
        for (const auto& row : rows) {
            auto node = store->nodeForRelativePath(row.path);
            if (!node) node = store->createNode(row.path, "id:" + row.path);
            ASSERT_TRUE(node);
            node->setSyncState(row.state);
            node->setInitialSyncState(row.initial);
        }
        ASSERT_FALSE(store->viewContext().save());
    }

    SelectiveSyncLevelResult loadRoot(const std::vector<SelectiveSyncItem>& items = {}) {
        std::optional<SelectiveSyncLevelResult> result;
        store->rootNode(items, [&](SelectiveSyncLevelResult r) {
            EXPECT_TRUE(MainQueue::isMainThread());
            result.emplace(std::move(r));
        });
        EXPECT_TRUE(TestEnvironment::waitUntil([&] { return result.has_value(); }));
        return result.value_or(SelectiveSyncLevelResult(AppError(UnknownError{"no answer"})));
    }

    // Loads the level of a stored folder the way the browser does: the answer goes from the
    // framework's thread straight into the store.
    SelectiveSyncLevelResult loadLevel(const QString& path, const std::vector<SelectiveSyncItem>& items = {}) {
        const auto node = store->nodeForRelativePath(path);
        EXPECT_TRUE(node);
        std::optional<SelectiveSyncLevelResult> result;
        tree->node(TestDirectoryTree::folder(path))->loadLevel(1, 1, [&, node](BusinessResult<std::shared_ptr<DirectoryHierarchyNode>> r) {
            store->selectiveSyncHierarchy(r, node, items, [&](SelectiveSyncLevelResult level) { result.emplace(std::move(level)); });
        });
        EXPECT_TRUE(TestEnvironment::waitUntil([&] { return result.has_value(); }));
        return result.value_or(SelectiveSyncLevelResult(AppError(UnknownError{"no answer"})));
    }

    QTemporaryDir dir{"/dev/shm/store-hierarchy-XXXXXX"};
    ScopedTestBusinessFacade facade{"hierarchy"};
    std::shared_ptr<StoreController> store;
    std::shared_ptr<TestDirectoryTree> tree;
    std::shared_ptr<TestDirectoryUser> user;
};

struct StateCase {
    const char* name;
    std::int16_t parentState;
    std::vector<SelectiveSyncItem> items;
    std::int16_t expected;
};

class InitialSyncStateTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(InitialSyncStateTest, FollowsTheParentThenTheSubscriptions) {
    const auto& c = GetParam();
    auto store = StoreController::make(std::make_shared<PersistentContainer>("Model", PersistentStoreDescription::inMemory()));
    const auto parent = store->createNode("/p", std::nullopt);
    parent->setSyncState(c.parentState);
    EXPECT_EQ(StoreController::initialSyncState("/p/c", "id-c", parent.get(), c.items), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InitialSyncStateTest,
    ::testing::Values(StateCase{"ParentOn", 1, {item("/p/c", false, "id-c")}, 1},
                      StateCase{"ParentOff", 0, {item("/p/c", true, "id-c")}, 0},
                      StateCase{"MixedRecursiveById", -1, {item("/elsewhere", true, "id-c")}, 1},
                      StateCase{"MixedNonRecursiveByPath", -1, {item("/p/c", false)}, -1},
                      StateCase{"MixedNoSubscription", -1, {item("/p/d", true, "id-d")}, 0},
                      StateCase{"IdentifierWinsOverPath", -1, {item("/p/c", true), item("/x", false, "id-c")}, -1},
                      StateCase{"ItemsWithoutIdentifierMatchByPathOnly", -1, {item("/other", true, "")}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct LevelCase {
    const char* name;
    std::vector<StoredRow> stored;
    std::vector<TestDirectorySpec> remote;  // the level of /p
    std::vector<SelectiveSyncItem> items;
    QStringList expectedPairs;
    QStringList expectedChildren;  // of /p afterwards, as saved and read back
};

TestDirectorySpec spec(const QString& path, std::int64_t flags = 256) { return TestDirectoryTree::folder(path, flags); }

class LevelLoadingTest : public StoreHierarchyFixture, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(LevelLoadingTest, StoresTheLevel) {
    const auto& c = GetParam();
    seed(c.stored);
    tree->setLevel("/p", c.remote);
    const auto level = loadLevel("/p", c.items);
    ASSERT_TRUE(level.isSuccess());
    EXPECT_EQ(pairPaths(level.value()), c.expectedPairs);
    const auto error = store->viewContext().save();
    ASSERT_FALSE(error) << error->description.toStdString();
    // What another launch would read.
    auto reopened = StoreController::make(
        std::make_shared<PersistentContainer>("Model", PersistentStoreDescription::file(dir.filePath("Model.sqlite"))));
    const auto parent = reopened->nodeForRelativePath("/p");
    ASSERT_TRUE(parent);
    EXPECT_EQ(renderChildren(*parent), c.expectedChildren);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LevelLoadingTest,
    ::testing::Values(
        LevelCase{"ParentOnGivesOn", {{"/p", 1, 1}}, {spec("/p/a"), spec("/p/b")}, {}, {"/p/a", "/p/b"}, {"/p/a 1/1", "/p/b 1/1"}},
        LevelCase{"ParentOffGivesOff", {{"/p", 0, 0}}, {spec("/p/a")}, {item("/p/a", true)}, {"/p/a"}, {"/p/a 0/0"}},
        LevelCase{"APathListedTwiceGetsOneNode", {{"/p", 1, 1}}, {spec("/p/a"), spec("/p/a")}, {}, {"/p/a", "/p/a"}, {"/p/a 1/1"}},
        LevelCase{"MixedParentFollowsSubscriptions",
                  {{"/p", -1, -1}},
                  {spec("/p/a"), spec("/p/b"), spec("/p/c")},
                  {item("/p/a", true, "id:/p/a"), item("/p/b", false)},
                  {"/p/a", "/p/b", "/p/c"},
                  {"/p/a 1/1", "/p/b -1/-1", "/p/c 0/0"}},
        LevelCase{"ExistingChildKeepsItsStateButNotItsSnapshot",
                  {{"/p", 1, 1}, {"/p/a", 0, 1}},
                  {spec("/p/a")}, {}, {"/p/a"}, {"/p/a 0/0"}},
        LevelCase{"VanishedChildIsDeleted", {{"/p", 1, 1}, {"/p/gone", 1, 1}, {"/p/gone/x", 1, 1}}, {spec("/p/a")}, {}, {"/p/a"}, {"/p/a 1/1"}},
        LevelCase{"AFolderEmptiedRemotelyLosesItsChildren", {{"/p", 1, 1}, {"/p/gone", 1, 1}}, {}, {}, {}, {}},
        LevelCase{"FilteredAndPathlessChildrenLeftOut",
                  {{"/p", 1, 1}, {"/p/hidden", 1, 1}},
                  {spec("/p/hidden", 0), spec("/p/users", 0), TestDirectorySpec{std::nullopt, "n", "nameless", 256, 0}},
                  {}, {"/p/users"}, {"/p/users 1/1"}},
        LevelCase{"DuplicateKeepsTheRemoteBytesAndTheFirstChoiceNotOff",
                  {{"/p", -1, -1}, {"/p" + eAcute, 0, 0}, {"/p" + eDecomposed, 1, 1}, {"/p" + eDecomposed + "/sub", 1, 1}},
                  {spec("/p" + eAcute)}, {}, {"/p" + eAcute}, {"/p" + eAcute + " 1/1"}},
        LevelCase{"NoDuplicateCleanUpWhenTheLevelIsAsLong",
                  {{"/p", -1, -1}, {"/p" + eDecomposed, 1, 1}, {"/p" + eAcute, 0, 0}},
                  {spec("/p" + eAcute), spec("/p/skipped", 0)}, {}, {"/p" + eAcute}, {"/p" + eAcute + " 0/0"}},
        LevelCase{"BothFormsListedBothKept",
                  {{"/p", -1, -1}, {"/p" + eAcute, 1, 1}, {"/p" + eDecomposed, 0, 0}, {"/p/gone", 0, 0}},
                  {spec("/p" + eAcute), spec("/p" + eDecomposed)}, {},
                  {"/p" + eAcute, "/p" + eDecomposed}, {"/p" + eDecomposed + "(D) 0/0", "/p" + eAcute + " 1/1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreHierarchyFixture, ADuplicatesSubfoldersMoveToTheSurvivor) {
    seed({{"/p", -1, -1}, {"/p" + eAcute, 0, 0}, {"/p" + eDecomposed, -1, -1}, {"/p" + eDecomposed + "/sub", 1, 1}});
    tree->setLevel("/p", std::vector<TestDirectorySpec>{spec("/p" + eAcute)});
    ASSERT_TRUE(loadLevel("/p").isSuccess());
    const auto survivor = store->nodeForRelativePath("/p" + eAcute);
    ASSERT_TRUE(survivor);
    EXPECT_EQ(renderChildren(*survivor), QStringList{"/p" + eDecomposed + "/sub(D) 1/1"});
    EXPECT_EQ(survivor->remoteIdentifier(), "id:/p" + eDecomposed);
}

struct RootCase {
    const char* name;
    std::function<void(TestBusinessFacade&, TestDirectoryUser&, TestDirectoryTree&)> arrange;
    std::optional<BusinessError::Kind> businessError;  // none: the store's invalid root
};

class RootFailureTest : public StoreHierarchyFixture, public ::testing::WithParamInterface<RootCase> {};

TEST_P(RootFailureTest, CompletesWithTheError) {
    GetParam().arrange(facade.facade(), *user, *tree);
    const auto result = loadRoot();
    ASSERT_FALSE(result.isSuccess());
    if (GetParam().businessError) {
        ASSERT_TRUE(result.error().businessError());
        EXPECT_EQ(result.error().businessError()->kind, *GetParam().businessError);
    } else {
        EXPECT_EQ(result.error(), AppError(StoreError::invalidRootNode));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RootFailureTest,
    ::testing::Values(
        RootCase{"NoUser", [](auto& facade, auto&, auto&) { facade.user.reset(); }, std::nullopt},
        RootCase{"NoRootDirectory", [](auto&, auto& user, auto&) { user.setRootDirectory(nullptr); }, std::nullopt},
        RootCase{"RootWithoutPath",
                 [](auto&, auto& user, auto& tree) {
                     user.setRootDirectory(tree.node(TestDirectorySpec{std::nullopt, "r", "root", 256, 0}));
                 },
                 std::nullopt},
        RootCase{"RootThatCannotBeCreated",
                 [](auto&, auto& user, auto& tree) { user.setRootDirectory(tree.node(TestDirectoryTree::folder("/elsewhere"))); },
                 std::nullopt},
        RootCase{"LevelRequestFails",
                 [](auto&, auto&, auto& tree) { tree.fail("/", BusinessError::make(BusinessError::Kind::noConnection)); },
                 BusinessError::Kind::noConnection}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreHierarchyFixture, RootLevelComesWithTheRootFirst) {
    tree->setLevel("/", std::vector<QString>{"/a", "/b"});
    // The first browse of an empty store is no error: an ERROR line there sends people hunting.
    std::mutex mutex;
    QStringList errors;
    const auto sink = Logger::addSink([&](const LogEntry& entry) {
        std::lock_guard lock(mutex);
        if (entry.level == LogLevel::error) errors << entry.message;
    });
    auto result = loadRoot();
    Logger::flush();
    Logger::removeSink(sink);
    EXPECT_EQ(errors, QStringList());
    ASSERT_TRUE(result.isSuccess());
    EXPECT_EQ(pairPaths(result.value()), (QStringList{"/", "/a", "/b"}));
    const auto root = result.value().front().first;
    EXPECT_EQ(root->remoteIdentifier(), "id:/");
    EXPECT_FALSE(root->parent());

    // Loaded again: the same root, its snapshot taken afresh, a vanished child gone.
    root->setSyncState(1);
    tree->setLevel("/", std::vector<QString>{"/a"});
    result = loadRoot();
    ASSERT_TRUE(result.isSuccess());
    EXPECT_EQ(result.value().front().first, root);
    EXPECT_EQ(render(*root), "/ 1/1");
    // Created under a mixed root without subscriptions: off; a stored child keeps its state.
    EXPECT_EQ(renderChildren(*root), QStringList{"/a 0/0"});
    for (const auto& request : tree->requests()) EXPECT_EQ(std::make_pair(request.depth, request.batch), std::make_pair(1, 1));
}

TEST_F(StoreHierarchyFixture, AReleasedStoreDropsTheAnswer) {
    // Released before the answer reaches the main queue, and while the level is being stored.
    for (const bool whileStoring : {false, true}) {
        SCOPED_TRACE(whileStoring);
        store = StoreController::make(std::make_shared<PersistentContainer>(
            "Model", PersistentStoreDescription::file(dir.filePath(QStringLiteral("Model%1.sqlite").arg(whileStoring)))));
        tree->setLevel("/", std::vector<QString>{"/a"});
        tree->setDelivery(TestDirectoryTree::Delivery::held);
        int calls = 0;
        store->rootNode({}, [&](SelectiveSyncLevelResult) { ++calls; });
        tree->releaseHeld();
        tree->drain();  // the answer now waits for the main queue
        if (whileStoring) QCoreApplication::processEvents();  // the background task is under way
        store.reset();
        TestEnvironment::waitUntil([] { return false; }, 50);
        EXPECT_EQ(calls, 0);
    }
}

struct CountCase {
    const char* name;
    bool storedRoot;
    bool remoteRoot;
    bool fails;
    int expectedCount;
};

class RootChildrenCountTest : public StoreHierarchyFixture, public ::testing::WithParamInterface<CountCase> {};

TEST_P(RootChildrenCountTest, CountsTheKeptChildren) {
    const auto& c = GetParam();
    if (c.storedRoot) seed({{"/", 1, 1}});
    if (!c.remoteRoot) user->setRootDirectory(nullptr);
    tree->setLevel("/", {spec("/a"), spec("/users", 0), spec("/x/root", 0), spec("/tmp", 0),
                         TestDirectorySpec{std::nullopt, "n", "x", 0, 0}});
    if (c.fails) tree->fail("/", BusinessError::make(BusinessError::Kind::timeout));
    std::optional<std::pair<int, std::optional<std::int16_t>>> answer;
    store->rootNodeChildrenCount([&](int count, std::optional<std::int16_t> state) {
        EXPECT_TRUE(MainQueue::isMainThread());
        answer.emplace(count, state);
    });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return answer.has_value(); }));
    EXPECT_EQ(answer->first, c.expectedCount);
    EXPECT_EQ(answer->second, c.storedRoot ? std::optional<std::int16_t>(1) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Cases, RootChildrenCountTest,
                         ::testing::Values(CountCase{"NoStoredRoot", false, true, false, 0},
                                           CountCase{"NoRemoteRoot", true, false, false, 0},
                                           CountCase{"RequestFails", true, true, true, 0},
                                           CountCase{"KeptChildren", true, true, false, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreHierarchyFixture, LogLines) {
    std::mutex mutex;
    QStringList lines;
    const auto sink = Logger::addSink([&](const LogEntry& entry) {
        std::lock_guard lock(mutex);
        if (entry.message.startsWith("Cannot get") || entry.message.startsWith("Not enough"))
            lines << entry.channel + ": " + entry.message;
    });
    // More stored than listed overall, but fewer stored than listed for one path.
    seed({{"/p", -1, -1}, {"/p/x", 0, 0}, {"/p/y", 0, 0}, {"/p/z", 0, 0}});
    store->cleanupDuplicatedNodes({tree->node(spec("/p/w")), tree->node(spec("/p/x"))}, store->nodeForRelativePath("/p"));
    user->setRootDirectory(nullptr);
    (void)loadRoot();
    Logger::flush();
    Logger::removeSink(sink);
    std::lock_guard lock(mutex);
    EXPECT_EQ(lines, (QStringList{Log::Sync::selectiveSync().name() + ": Not enough FileSystemNode for /p/w",
                                  AppLog::framework().name() + ": Cannot get rootDirectory"}));
}

}  // namespace
