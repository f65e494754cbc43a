#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QPushButton>

#include "BrowserTestSupport.h"
#include "app/common/LocalizationController.h"
#include "app/selectivesync/SelectiveSyncViewController.h"
#include "platform/appkit/Storyboard.h"
#include "support/TestEnvironment.h"

namespace {

const QString browserScene = SelectiveSyncBrowserController::storyboardIdentifier;

class SheetTest : public browsertest::BrowserFixture {
protected:
    void SetUp() override {
        BrowserFixture::SetUp();
        // The browser scene over this test's store.
        Storyboard::registerScene(Storyboard::main(), browserScene,
                                  [store = store] { return new SelectiveSyncBrowserController(store); });
    }
    void TearDown() override {
        sheet.reset();
        Storyboard::registerScene(Storyboard::main(), browserScene, nullptr);
        BrowserFixture::TearDown();
    }

    // Shows the sheet and waits until its browser has walked the merged tree.
    void openSheet() {
        sheet = std::make_unique<SelectiveSyncViewController>();
        QObject::connect(sheet.get(), &SelectiveSyncViewController::dismissed, [this] { ++dismissals; });
        sheet->view()->resize(760, 460);
        sheet->view()->show();
        embedded = sheet->browserController();
        ASSERT_TRUE(embedded);
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return waitSettled() && numberOfRows(0) == 3; }))
            << rows(0).toStdString();
    }

    std::optional<bool> saveAndWait() {
        const int alertsBefore = Alert::shownCount();
        const int dismissalsBefore = dismissals;
        sheet->save(sheet->saveButton());
        EXPECT_TRUE(TestEnvironment::waitUntil(
            [&] { return Alert::shownCount() > alertsBefore || dismissals > dismissalsBefore; }));
        if (dismissals > dismissalsBefore) return true;
        if (Alert::shownCount() > alertsBefore) return false;
        return std::nullopt;
    }

    std::unique_ptr<SelectiveSyncViewController> sheet;
    int dismissals = 0;
};

TEST_F(SheetTest, ScenesAreRegisteredUnderTheirIdentifiers) {
    registerSelectiveSyncScenes();
    EXPECT_TRUE(Storyboard::hasScene(Storyboard::main(), "SelectiveSyncBrowserController"));
    std::unique_ptr<SelectiveSyncViewController> made(
        Storyboard::instantiateAs<SelectiveSyncViewController>(Storyboard::main(), "SelectiveSyncViewController"));
    EXPECT_TRUE(made);
    EXPECT_FALSE(made->browserController()) << "nothing is embedded before the view loads";
}

TEST_F(SheetTest, SeedsTheStoreFromTheEngineAndMirrorsTheBrowser) {
    facade->subscriptions = std::vector<SelectiveSyncItem>{{"/", false, "id:/"}, {"/a", true, "id:/a"}, {"/b", false, "id:/b"}};
    std::vector<std::pair<bool, bool>> loadStates;  // (sheet, browser) at each change
    openSheet();
    EXPECT_EQ(rows(0), "a:1 b:-1 users:0");
    EXPECT_EQ(selectAllState(), -1);

    QObject::connect(embedded, &SelectiveSyncBrowserController::isUpdatingChanged,
                     [&] { loadStates.emplace_back(sheet->didLoadData(), embedded->isUpdating()); });
    open(0, "a");
    ASSERT_GE(loadStates.size(), 2u);
    for (auto [sheetState, browserState] : loadStates) EXPECT_EQ(sheetState, browserState);
    EXPECT_FALSE(sheet->didLoadData());

    EXPECT_FALSE(sheet->hasChanges());
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    click(0, "a", true);
    EXPECT_TRUE(sheet->hasChanges());
    EXPECT_TRUE(sheet->saveButton()->isEnabled());
}

TEST_F(SheetTest, CancelRestoresTheStoredSelectionAndCloses) {
    seed("/:1");
    openSheet();
    const QString stored = storetest::render(*store);
    click(0, "a", true);
    ASSERT_TRUE(waitSettled());
    ASSERT_NE(storetest::render(*store), stored);
    sheet->cancel(sheet->cancelButton());
    EXPECT_EQ(storetest::render(*store), stored);
    EXPECT_FALSE(sheet->hasChanges());
    EXPECT_EQ(dismissals, 1);
    EXPECT_FALSE(sheet->view()->isVisible());
    EXPECT_EQ(sync.setCalls, 0);
}

TEST_F(SheetTest, TooLittleRoomAlertsAndKeepsTheSheetUntilASmallerSelectionFits) {
    auto a = TestDirectoryTree::folder("/a");
    a.size = std::int64_t(1) << 60;
    tree->setLevel("/", std::vector<TestDirectorySpec>{a, TestDirectoryTree::folder("/b"),
                                                       TestDirectoryTree::folder("/users")});
    seed("/:1");
    openSheet();

    ASSERT_EQ(saveAndWait(), false);
    const Alert alert = Alert::shownAlerts().back();
    LocalizationController texts;
    EXPECT_EQ(alert.messageText(), texts.ssAlertNotEnoughDiskSpaceMessage());
    EXPECT_EQ(alert.informativeText(), texts.ssAlertNotEnoughDiskSpaceInformativeText());
    EXPECT_EQ(alert.buttonTitles().size(), 1);
    EXPECT_EQ(dismissals, 0);
    EXPECT_TRUE(sheet->view()->isVisible());
    EXPECT_EQ(sync.setCalls, 0) << "nothing applied";

    click(0, "a", true);
    click(0, "a", true);  // off: the huge folder is no longer needed
    ASSERT_TRUE(waitSettled());
    ASSERT_EQ(saveAndWait(), true);
    EXPECT_EQ(sync.setCalls, 1);
    EXPECT_FALSE(sheet->view()->isVisible());
}

// A check that could not read the free space never counts as room enough: the user is told and
// decides, and Return keeps the selection unapplied.
TEST_F(SheetTest, AnUncheckedSelectionIsAppliedOnlyWhenTheUserSaysSo) {
    const LocalizationController texts;
    for (const auto& row : browsertest::uncheckedSpaceAnswers) {
        SCOPED_TRACE(row.name);
        facade->settings()->setSyncRoot(syncRoot.path());
        seed("/:1");
        openSheet();
        click(0, "b", true);
        ASSERT_TRUE(waitSettled());
        facade->settings()->setSyncRoot(std::nullopt);
        const int setCallsBefore = sync.setCalls;
        const int dismissalsBefore = dismissals;
        Alert::setResponder([answer = row.answer](const Alert&) { return answer; });
        const int alertsBefore = Alert::shownCount();
        sheet->save(sheet->saveButton());
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return Alert::shownCount() > alertsBefore; })) << "asked first";
        const Alert asked = Alert::shownAlerts().back();
        EXPECT_EQ(asked.messageText(), texts.ssAlertFreeSpaceUnknownMessage());
        EXPECT_EQ(asked.informativeText(), texts.ssAlertFreeSpaceUnknownInformativeText());
        EXPECT_EQ(asked.responseForKey(Alert::ReturnKey), Alert::SecondButtonReturn);
        TestEnvironment::waitUntil([&] { return dismissals > dismissalsBefore; }, row.applied ? 5000 : 200);
        EXPECT_EQ(sync.setCalls - setCallsBefore, row.applied ? 1 : 0);
        EXPECT_EQ(dismissals - dismissalsBefore, row.applied ? 1 : 0);
        EXPECT_EQ(sheet->view()->isVisible(), !row.applied);
        sheet.reset();
    }
}

struct SaveCase {
    const char* name;
    bool withSyncController;
    int triggers;
};

class SheetSaveTest : public SheetTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SheetSaveTest, SaveAppliesAndTriggersASyncOnlyWithASyncController) {
    seed("/:1");
    QObject syncController;  // the sheet asks only whether there is one
    openSheet();
    if (GetParam().withSyncController) sheet->setSyncController(&syncController);
    click(0, "b", true);
    ASSERT_TRUE(waitSettled());
    ASSERT_EQ(saveAndWait(), true);
    EXPECT_EQ(sync.setCalls, 1);
    EXPECT_EQ(sync.triggerCalls, GetParam().triggers);
    EXPECT_FALSE(sheet->hasChanges());
    sheet.reset();
}

INSTANTIATE_TEST_SUITE_P(Saves, SheetSaveTest,
                         ::testing::Values(SaveCase{"WithSyncController", true, 1}, SaveCase{"WithoutSyncController", false, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// One look at the real sheet: the rows, their check boxes and the second column.
TEST_F(SheetTest, Screenshot) {
    tree->setLevel("/", std::vector<QString>{"/Documents", "/Photos", "/Projects with a rather long name to shorten",
                                             "/users"});
    tree->setLevel("/Documents", std::vector<QString>{"/Documents/Invoices", "/Documents/Letters"});
    seed("/:1");
    sheet = std::make_unique<SelectiveSyncViewController>();
    sheet->view()->resize(760, 460);
    sheet->view()->show();
    embedded = sheet->browserController();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return waitSettled() && numberOfRows(0) == 4; }));
    open(0, "Documents");
    click(1, "Letters", true);
    click(0, "Photos", true);
    click(0, "Photos", true);
    ASSERT_TRUE(waitSettled());
    embedded->browser()->selectRow(rowTitled(0, "Documents"), 0);
    ASSERT_TRUE(waitSettled());
    EXPECT_EQ(rows(0), "Documents:-1 Photos:0 Projects with a rather long name to shorten:1 users:1");
    EXPECT_EQ(rows(1), "Invoices:1 Letters:-1");
    EXPECT_EQ(selectAllState(), -1);
    const QImage image = sheet->view()->grab().toImage();
    EXPECT_FALSE(image.isNull());
    EXPECT_TRUE(TestEnvironment::keepSnapshot(image, QStringLiteral("selective-sync-sheet")));
}

}  // namespace
