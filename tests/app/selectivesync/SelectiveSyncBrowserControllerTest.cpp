#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>

#include "BrowserTestSupport.h"
#include "app/common/LocalizationController.h"
#include "app/selectivesync/FileSystemNode.h"
#include "app/selectivesync/ObjCDirectoryNode.h"
#include "platform/foundation/MainQueue.h"

namespace {

using browsertest::BrowserFixture;

class BrowserLoadingTest : public BrowserFixture {};

TEST_F(BrowserLoadingTest, RootGoesFromNotRequestedToLoadingToCached) {
    seed("/:1");
    tree->setDelivery(TestDirectoryTree::Delivery::held);
    auto& c = make();
    ColumnBrowser& browser = *c.view()->findChild<ColumnBrowser*>();

    EXPECT_TRUE(SelectiveSyncBrowserController::isNullItem(c.rootItem(browser))) << "the first call starts the load";
    EXPECT_TRUE(c.isUpdating());
    EXPECT_TRUE(c.loadingChildrenNodes().value("/"));
    EXPECT_TRUE(SelectiveSyncBrowserController::isLoadingItem(c.rootItem(browser))) << "no second load";
    EXPECT_EQ(c.numberOfChildren(browser, c.rootItem(browser)), 1) << "room for the loading row";

    tree->releaseHeld();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return c.cachedLocalRootNode() != nullptr; }));
    tree->setDelivery(TestDirectoryTree::Delivery::otherThread);
    tree->releaseHeld();
    ASSERT_TRUE(waitSettled());
    const auto root = SelectiveSyncBrowserController::nodeOfItem(c.rootItem(browser));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->cachedRelativePath(), "/");
    EXPECT_FALSE(c.loadingChildrenNodes().value("/", true));
    EXPECT_EQ(c.numberOfChildren(browser, root), 3);
    EXPECT_EQ(tree->requests().size(), 2u) << "one root level, one count for the select-all box";
}

TEST_F(BrowserLoadingTest, ShownBrowserListsTheRootLevelWithItsStates) {
    seed("/:-1 /a:1 /b:0");
    auto& c = showLoaded();
    EXPECT_EQ(rows(0), "a:1 b:0 users:0") << "a new folder below a mixed root without subscription is off";
    EXPECT_EQ(c.browser()->lastColumn(), 0);
    EXPECT_EQ(selectAllState(), -1);
    EXPECT_FALSE(c.hasChanges());
}

TEST_F(BrowserLoadingTest, OpeningAFolderShowsOneUnselectableLoadingRowUntilItsLevelArrives) {
    seed("/:1");
    auto& c = showLoaded();
    tree->setDelivery(TestDirectoryTree::Delivery::held);
    click(0, "a", false);
    ASSERT_EQ(c.browser()->lastColumn(), 1);
    EXPECT_EQ(rows(1), LocalizationController().ssLabelLoading() + ":0");
    EXPECT_TRUE(c.isLeafItem(*c.browser(), c.browser()->itemAt(0, 1)));
    c.browser()->selectRow(0, 1);
    EXPECT_EQ(c.browser()->selectedRow(1), -1) << "a loading row cannot be selected";

    tree->setDelivery(TestDirectoryTree::Delivery::otherThread);
    tree->releaseHeld();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return settled() && rows(1) == "x:1 y:1"; })) << rows(1).toStdString();
    EXPECT_TRUE(c.loadedChildrenNodes().value(SelectiveSyncBrowserController::cacheKey("/a")));
    const int before = int(tree->requests().size());
    c.numberOfChildren(*c.browser(), c.browser()->itemAt(0, 0));
    EXPECT_EQ(int(tree->requests().size()), before) << "a loaded folder is not asked for again";
}

TEST_F(BrowserLoadingTest, FailedFolderLoadIsPresentedAndMarkedLoaded) {
    seed("/:1");
    tree->setLevel("/b", std::vector<QString>{"/b/z"});
    tree->fail("/b", BusinessError::make(BusinessError::Kind::noConnection));
    auto& c = showLoaded();
    click(0, "b", false);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return settled() && Alert::shownCount() == 1; }));
    EXPECT_EQ(Alert::shownAlerts().front().messageText(), LocalizationController().erBusNoConnectionDescription());
    EXPECT_TRUE(c.loadedChildrenNodes().value(SelectiveSyncBrowserController::cacheKey("/b")));
    EXPECT_TRUE(c.isLeafItem(*c.browser(), c.browser()->itemAt(rowTitled(0, "b"), 0)))
        << "a loaded folder without children is a leaf";
}

TEST_F(BrowserLoadingTest, OfflineShowsNothingAndRefreshAlerts) {
    seed("/:1");
    facade->reachable = false;
    facade->connectivityManager().refresh();
    auto& c = make();
    c.view()->show();
    QCoreApplication::processEvents();
    ColumnBrowser& browser = *c.browser();
    EXPECT_FALSE(c.rootItem(browser).has_value());
    EXPECT_EQ(numberOfRows(0), 0);
    EXPECT_TRUE(tree->requests().empty());

    c.refreshSelectiveSyncBrowser(c.refreshButton());
    ASSERT_TRUE(TestEnvironment::waitUntil([] { return Alert::shownCount() == 1; }));
    EXPECT_EQ(Alert::shownAlerts().front().messageText(), LocalizationController().raAlertNoConnectionMessage());
    EXPECT_EQ(browser.lastColumn(), 0);

    facade->reachable = true;
    facade->connectivityManager().refresh();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return settled() && numberOfRows(0) == 3; }))
        << "the connection coming back reloads";
}

TEST_F(BrowserLoadingTest, ReloadWalksTheRememberedPathLevelByLevel) {
    seed("/:1");
    auto& c = showLoaded();
    open(0, "a");
    click(1, "x", false);
    ASSERT_TRUE(waitSettled());
    ASSERT_EQ(c.lastSelectedPath(), "/a/x");
    const int before = int(tree->requests().size());
    c.reloadBrowser();
    ASSERT_TRUE(waitSettled());
    QStringList walked;
    const auto requests = tree->requests();
    for (std::size_t i = std::size_t(before); i < requests.size(); ++i) walked << requests[i].path.value_or("nil");
    // The root level, /a's and /a/x's, then the count for the select-all box.
    EXPECT_EQ(walked.join(' '), "/ /a /a/x /");
    EXPECT_EQ(rows(1), "x:1 y:1");
}

TEST_F(BrowserLoadingTest, ReloadOfARootWithoutFoldersShowsTheEmptyBox) {
    tree->setLevel("/", std::vector<QString>{});
    seed("/:1");
    auto& c = make();
    c.view()->show();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return c.cachedLocalRootNode() && settled(); }));
    EXPECT_TRUE(c.browser()->isVisible());
    c.reloadBrowser();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return settled() && !c.browser()->isVisible(); }));
    EXPECT_TRUE(c.emptyView()->isVisible());
}

TEST_F(BrowserLoadingTest, DisappearingResetsTheCachesAndTheSnapshots) {
    seed("/:1");
    auto& c = showLoaded();
    open(0, "a");
    click(0, "a", true);
    ASSERT_TRUE(c.hasChanges());
    c.view()->hide();
    EXPECT_EQ(c.lastSelectedPath(), "/");
    EXPECT_FALSE(c.cachedLocalRootNode());
    EXPECT_TRUE(c.cachedDirectoryNodes().isEmpty());
    EXPECT_FALSE(c.hasChanges());
    for (const auto& node : store->viewContext().fetch().valueOr({})) {
        EXPECT_EQ(node->initialSyncState(), node->syncState());
        EXPECT_FALSE(node->isCached());
    }
}

// --- Clicks ---------------------------------------------------------------------------------

struct ClickStep {
    int column;
    const char* title;
    bool onCheckbox;
    const char* store;   // every node after the step
    const char* shown;   // the last column's rows after the step
    bool hasChanges;
    int selectAll;
};

struct ClickCase {
    const char* name;
    std::vector<ClickStep> steps;
};

class BrowserClickTest : public BrowserFixture, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(BrowserClickTest, ClicksCycleStatesAndRecomputeTheTree) {
    seed("/:1");
    auto& c = showLoaded();
    open(0, "a");
    int step = 0;
    for (const ClickStep& s : GetParam().steps) {
        SCOPED_TRACE(testing::Message() << "step " << ++step);
        click(s.column, s.title, s.onCheckbox);
        ASSERT_TRUE(waitSettled());
        EXPECT_EQ(storetest::render(*store), s.store);
        EXPECT_EQ(rows(c.browser()->lastColumn()), s.shown);
        EXPECT_EQ(c.hasChanges(), s.hasChanges);
        EXPECT_EQ(selectAllState(), s.selectAll);
        EXPECT_EQ(c.cellWithCheckboxClicked(), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cycles, BrowserClickTest,
    ::testing::Values(
        ClickCase{"FolderGoesOnMixedOffOn",
                  {{0, "a", true, "/:-1 /a:-1 /a/x:0 /a/y:0 /b:1 /users:1", "x:0 y:0", true, -1},
                   {0, "a", true, "/:-1 /a:0 /a/x:0 /a/y:0 /b:1 /users:1", "x:0 y:0", true, -1},
                   {0, "a", true, "/:-1 /a:1 /a/x:1 /a/y:1 /b:1 /users:1", "x:1 y:1", true, 1}}},
        ClickCase{"SubfolderMakesItsAncestorsMixed",
                  {{1, "x", true, "/:-1 /a:-1 /a/x:-1 /a/y:1 /b:1 /users:1", "x:-1 y:1", true, -1},
                   {1, "x", true, "/:-1 /a:-1 /a/x:0 /a/y:1 /b:1 /users:1", "x:0 y:1", true, -1},
                   {1, "x", true, "/:-1 /a:1 /a/x:1 /a/y:1 /b:1 /users:1", "x:1 y:1", true, 1}}},
        ClickCase{"NameClickChangesNoState",
                  {{0, "b", false, "/:1 /a:1 /a/x:1 /a/y:1 /b:1 /users:1", "a:1 b:1 users:1", false, 1}}},
        ClickCase{"RootStaysMixedAfterAFullCycle",
                  {{0, "b", true, "/:-1 /a:1 /a/x:1 /a/y:1 /b:-1 /users:1", "a:1 b:-1 users:1", true, -1},
                   {0, "b", true, "/:-1 /a:1 /a/x:1 /a/y:1 /b:0 /users:1", "a:1 b:0 users:1", true, -1},
                   {0, "b", true, "/:-1 /a:1 /a/x:1 /a/y:1 /b:1 /users:1", "a:1 b:1 users:1", true, 1}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Which path a reload walks after a selection.
struct RememberCase {
    const char* name;
    std::vector<std::pair<int, const char*>> selections;  // (column, title), each opened
    const char* remembered;
};

class BrowserRememberTest : public BrowserFixture, public ::testing::WithParamInterface<RememberCase> {};

TEST_P(BrowserRememberTest, SelectionMovesTheRememberedPathOnlyOffItsWay) {
    tree->setLevel("/", std::vector<QString>{"/a", "/ab", "/users"});
    tree->setLevel("/ab", std::vector<QString>{"/ab/c"});
    seed("/:1");
    auto& c = showLoaded();
    for (auto [column, title] : GetParam().selections) {
        click(column, title, false);
        ASSERT_TRUE(waitSettled());
        TestEnvironment::waitUntil([&] { return !rows(column + 1).contains("Loading"); }, 2000);
    }
    EXPECT_EQ(c.lastSelectedPath(), GetParam().remembered);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, BrowserRememberTest,
    ::testing::Values(
        RememberCase{"FolderWithoutStoredChildrenRemembersItself", {{0, "ab"}}, "/ab"},
        RememberCase{"FolderWithStoredChildrenRemembersAChild", {{0, "ab"}, {0, "a"}, {0, "ab"}}, "/ab/c"},
        RememberCase{"RememberedFolderAgain", {{0, "ab"}, {0, "a"}, {0, "ab"}, {1, "c"}}, "/ab/c"},
        RememberCase{"AncestorOfTheRememberedPath", {{0, "ab"}, {0, "a"}, {0, "ab"}, {1, "c"}, {0, "ab"}}, "/ab/c"},
        RememberCase{"NamePrefixIsNoAncestor", {{0, "ab"}, {0, "a"}, {0, "ab"}, {0, "a"}}, "/a/x"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Select-all -----------------------------------------------------------------------------

struct SelectAllCase {
    const char* name;
    const char* stored;
    std::vector<QString> remoteRoot;
    bool launched;
    int expected;
};

class SelectAllStateTest : public BrowserFixture, public ::testing::WithParamInterface<SelectAllCase> {};

TEST_P(SelectAllStateTest, FollowsCountsRootStateAndRemoteFolders) {
    const SelectAllCase& p = GetParam();
    facade->settings()->setIsAlreadyLaunched(p.launched);
    tree->setLevel("/", p.remoteRoot);
    if (*p.stored) seed(p.stored);
    auto& c = make();
    c.view();  // hidden: no root load of its own
    c.selectAllFoldersCheckbox()->setCheckState(p.expected == 1 ? Qt::Unchecked : Qt::Checked);
    c.updateSelectAllFoldersCheckbox();
    ASSERT_TRUE(waitSettled());
    EXPECT_EQ(selectAllState(), p.expected);
}

INSTANTIATE_TEST_SUITE_P(
    States, SelectAllStateTest,
    ::testing::Values(SelectAllCase{"NoRootNode", "", {"/a"}, true, 1},
                      SelectAllCase{"OnlyRootFirstLaunch", "/:0", {"/a"}, false, 1},
                      SelectAllCase{"OnlyRootOffAfterLaunch", "/:0", {"/a"}, true, 0},
                      SelectAllCase{"OnlyRootOnAfterLaunch", "/:1", {"/a"}, true, 1},
                      SelectAllCase{"EveryFolderOn", "/:-1 /a:1 /b:1", {"/a", "/b", "/c"}, true, 1},
                      SelectAllCase{"OneFolderOnOfOne", "/:-1 /a:1", {"/a"}, true, 1},
                      SelectAllCase{"OneFolderOnOfTwo", "/:-1 /a:1", {"/a", "/b"}, true, -1},
                      SelectAllCase{"AnyMixed", "/:-1 /a:1 /b:1 /b/c:-1", {"/a", "/b"}, true, -1},
                      SelectAllCase{"EveryFolderOffRootMixed", "/:-1 /a:0 /b:0", {"/a", "/b"}, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct ToggleCase {
    const char* name;
    Qt::CheckState after;  // the box as the click left it
    const char* store;
};

class SelectAllToggleTest : public BrowserFixture, public ::testing::WithParamInterface<ToggleCase> {};

TEST_P(SelectAllToggleTest, SetsEveryFolderWithoutSaving) {
    seed("/:-1 /a:1 /a/x:0 /b:-1");
    auto& c = make();
    c.view();
    c.selectAllFoldersCheckbox()->setCheckState(GetParam().after);
    c.toggleSelectAllFolders(c.selectAllFoldersCheckbox());
    EXPECT_EQ(storetest::render(*store), GetParam().store);
    EXPECT_TRUE(c.hasChanges());
    EXPECT_NE(c.selectAllFoldersCheckbox()->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(storetest::render(*storeFile.open()), "/:-1 /a:1 /a/x:0 /b:-1") << "nothing saved";
}

INSTANTIATE_TEST_SUITE_P(Toggles, SelectAllToggleTest,
                         ::testing::Values(ToggleCase{"MixedBecomesOn", Qt::PartiallyChecked, "/:1 /a:1 /a/x:1 /b:1"},
                                           ToggleCase{"On", Qt::Checked, "/:1 /a:1 /a/x:1 /b:1"},
                                           ToggleCase{"Off", Qt::Unchecked, "/:0 /a:0 /a/x:0 /b:0"}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Applying and discarding ----------------------------------------------------------------

struct ApplyCase {
    const char* name;
    bool withSyncFacade;
    bool withTree;
    int setCalls;
};

class ApplyTest : public BrowserFixture, public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(ApplyTest, SavesHandsTheSubscriptionsOverAndResetsTheCaches) {
    const ApplyCase& p = GetParam();
    if (!p.withSyncFacade) facade->sync = nullptr;
    auto& c = make();
    if (p.withTree) {
        seed("/:1");
        showLoaded();
        open(0, "a");
        click(1, "x", true);
        click(1, "x", true);
        ASSERT_TRUE(waitSettled());
        ASSERT_TRUE(c.hasChanges());
    }
    storetest::LogCapture log("SelectiveSyncBrowser");
    bool completed = false;
    c.applyChanges([&] { completed = true; });
    EXPECT_TRUE(completed);
    EXPECT_EQ(sync.setCalls, p.setCalls);
    EXPECT_FALSE(c.hasChanges());
    EXPECT_EQ(c.lastSelectedPath(), "/");
    EXPECT_TRUE(c.cachedDirectoryNodes().isEmpty());
    EXPECT_TRUE(log.lines().filter("Selective Sync subscription items: [").size() == 1) << log.lines().join('\n').toStdString();
    if (!p.withTree) return;
    EXPECT_EQ(storetest::render(*storeFile.open()), "/:-1 /a:-1 /a/x:0 /a/y:1 /b:1 /users:1") << "saved";
    if (!p.withSyncFacade) return;
    QStringList items;
    for (const auto& item : sync.items) items << item.path + (item.recursive ? "+" : "");
    items.sort();
    EXPECT_EQ(items.join(' '), "/ /a /a/y+ /b+ /users+");
}

INSTANTIATE_TEST_SUITE_P(Applies, ApplyTest,
                         ::testing::Values(ApplyCase{"ToTheEngine", true, true, 1},
                                           ApplyCase{"WithoutEngine", false, true, 0},
                                           ApplyCase{"NoTreeUnsubscribesNothing", true, false, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BrowserFixture, DiscardingRestoresTheSavedSelection) {
    seed("/:1");
    auto& c = showLoaded();
    open(0, "a");
    const QString saved = storetest::render(*store);
    // Opening a folder saves the edits made so far before its level is stored: b and then y
    // are opened after edits.
    click(0, "a", true);
    click(1, "y", true);
    click(0, "b", true);
    c.selectAllFoldersCheckbox()->setCheckState(Qt::Unchecked);
    c.toggleSelectAllFolders(c.selectAllFoldersCheckbox());
    ASSERT_TRUE(waitSettled());
    ASSERT_NE(storetest::render(*storeFile.open()), saved) << "the edits reached the file";
    ASSERT_NE(storetest::render(*store), saved);
    int changes = 0;
    QObject::connect(&c, &SelectiveSyncBrowserController::hasChangesChanged, [&] { ++changes; });
    c.discardChanges();
    EXPECT_EQ(storetest::render(*store), saved);
    EXPECT_EQ(storetest::render(*storeFile.open()), saved);
    EXPECT_FALSE(c.hasChanges());
    EXPECT_EQ(changes, 1);
}

// --- Free space -----------------------------------------------------------------------------

struct SpaceCase {
    const char* name;
    std::int64_t sizeOfA;
    std::optional<bool> expected;
};

class FreeSpaceTest : public BrowserFixture, public ::testing::WithParamInterface<SpaceCase> {};

TEST_P(FreeSpaceTest, ComparesTheSelectionWithTheVolumeAfterLoadingTheUsersHome) {
    auto a = TestDirectoryTree::folder("/a");
    a.size = GetParam().sizeOfA;
    tree->setLevel("/", std::vector<TestDirectorySpec>{a, TestDirectoryTree::folder("/users")});
    seed("/:1");
    auto& c = showLoaded();
    std::vector<std::optional<bool>> answers;
    c.hasEnoughFreeDiskSpaceToApplyChanges([&](std::optional<bool> enough) {
        EXPECT_TRUE(MainQueue::isMainThread());
        answers.push_back(enough);
    });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !answers.empty(); }));
    EXPECT_EQ(answers.front(), GetParam().expected);
    EXPECT_TRUE(c.cachedDirectoryNodes().contains("/users/anna")) << "the home was walked to";
    EXPECT_TRUE(c.loadedChildrenNodes().value("/users/anna"));
    EXPECT_FALSE(c.isCalculatingFreeSpace());
}

INSTANTIATE_TEST_SUITE_P(Sizes, FreeSpaceTest,
                         ::testing::Values(SpaceCase{"SmallSelectionFits", 4096, true},
                                           SpaceCase{"HugeSelectionDoesNot", std::int64_t(1) << 60, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BrowserFixture, FreeSpaceCheckWithoutRootLevelOrSyncRootAnswersNothing) {
    auto& c = make();
    std::vector<std::optional<bool>> answers;
    c.hasEnoughFreeDiskSpaceToApplyChanges([&](std::optional<bool> enough) { answers.push_back(enough); });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return answers.size() == 1; }));
    EXPECT_EQ(answers.front(), std::nullopt);

    seed("/:1");
    showLoaded();
    facade->settings()->setSyncRoot(std::nullopt);
    c.hasEnoughFreeDiskSpaceToApplyChanges([&](std::optional<bool> enough) { answers.push_back(enough); });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return answers.size() == 2; }));
    EXPECT_EQ(answers.back(), std::nullopt);
}

TEST_F(BrowserFixture, SecondFreeSpaceCheckDuringTheWalkIsNeverAnswered) {
    seed("/:1");
    auto& c = showLoaded();
    tree->setDelivery(TestDirectoryTree::Delivery::held);
    int first = 0;
    int second = 0;
    c.hasEnoughFreeDiskSpaceToApplyChanges([&](std::optional<bool>) { ++first; });
    ASSERT_TRUE(c.isCalculatingFreeSpace());
    c.hasEnoughFreeDiskSpaceToApplyChanges([&](std::optional<bool>) { ++second; });
    tree->setDelivery(TestDirectoryTree::Delivery::otherThread);
    tree->releaseHeld();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return first == 1; }));
    TestEnvironment::waitUntil([] { return false; }, 200);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
}

}  // namespace
