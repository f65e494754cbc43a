#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

#include "app/backup/BackupController.h"
#include "app/core/QuotaController.h"
#include "app/core/UserController.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/core/support/TestBusinessUser.h"
#include "app/shell/backup/BackupListViewController.h"
#include "app/shell/backup/BackupRestoreSuccessViewController.h"
#include "app/shell/backup/BackupRestoreViewController.h"
#include "app/shell/backup/BackupRestoreWindowController.h"
#include "app/shell/backup/BackupSplitViewController.h"
#include "app/shell/backup/DataSource.h"
#include "app/shell/backup/RestoreSpace.h"
#include "app/shell/backup/RestoreSuccessWindowController.h"
#include "app/shell/backup/RestoreToolbarItem.h"
#include "platform/appkit/WindowSheet.h"
#include "app/shell/transformers/ValueTransformers.h"
#include "frameworks/business/OrvellaBackupFacade.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Storyboard.h"
#include "service/StorageService.h"
#include "support/TestEnvironment.h"
#include "service/EmbeddedServiceClient.h"

namespace {

// A backup service whose restores and lists the test answers.
class FakeBackupFacade : public BackupFacade {
public:
    std::optional<BackupSettings> backupSettings(const QString&, const OVBackupAndRestoreOptions&, bool) const override {
        return std::nullopt;
    }
    std::optional<RestoreSettings> restoreSettings(const OVBackupAndRestoreOptions& options) const override {
        if (options.isEmpty()) return std::nullopt;
        return RestoreSettings{options};
    }
    void preview(const BackupSettings&, PreviewProgressHandler, std::function<void(BusinessResult<BackupPreview>)>) override {}
    void backUp(const BackupPreview&, ProgressHandler, std::function<void(BusinessResult<BackupProcessReport>)>) override {}
    void restore(const BackupObject& backup, const RestoreSettings& settings, ProgressHandler,
                 std::function<void(BusinessResult<BackupProcessReport>)> c) override {
        restored.push_back({backup.identifier, settings.options});
        restoreDone = std::move(c);
    }
    void cancel(std::function<void()>) override {
        if (restoreDone) std::exchange(restoreDone, nullptr)(BusinessError::make(BusinessError::Kind::cancelled));
    }
    void list(std::function<void(BusinessResult<std::vector<BackupObject>>)> c) override { c(listResult); }

    std::vector<std::pair<QString, OVBackupAndRestoreOptions>> restored;
    std::function<void(BusinessResult<BackupProcessReport>)> restoreDone;
    std::vector<BackupObject> listResult;
};

class BrowserFacade : public TestBusinessFacade {
public:
    using TestBusinessFacade::TestBusinessFacade;
    BackupFacade* backupFacade() const override { return backup; }
    BackupFacade* backup = nullptr;
};

struct OneUser : UserProvider {
    std::shared_ptr<TestBusinessUser> account = std::make_shared<TestBusinessUser>();
    std::shared_ptr<const BusinessUser> user() const override { return account; }
};

BackupObject record(const QString& id, const QString& name, bool contacts, bool images, std::uint64_t contactsBytes = 10,
                    std::uint64_t imagesBytes = 20) {
    BackupObject r;
    r.identifier = id;
    r.name = name;
    r.isCompleted = true;
    r.startDate = QDateTime(QDate(2026, 5, 1), QTime(9, 0), Qt::UTC);
    r.endDate = r.startDate.addSecs(60);
    r.modificationDate = *r.endDate;
    r.containsContacts = contacts;
    r.containsImages = images;
    r.sizes.contacts = contactsBytes;
    r.sizes.images = imagesBytes;
    return r;
}

class BackupBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        registerValueTransformers();
        registerBackupBrowserScenes();
        facade = std::make_shared<BrowserFacade>(QStringLiteral("test.group.browser.%1").arg(++counter));
        facade->backup = &fake;
        BusinessFacadeHolder::setFacadeForTesting(facade);
        quota = std::make_unique<QuotaController>(users, [this] { return clock; }, [] { return true; });
        controller = std::make_unique<BackupController>(*quota, userController, OVBackupDependencyProvider{100}, true);
        controller->setCapacitySourceForTesting([] { return std::optional<qint64>(qint64(1) << 40); });
        controller->setActivitySourceForTesting([](const QString&) { return std::unique_ptr<ProcessActivity>(); });
        Alert::clearShownAlerts();
        Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
    }
    void TearDown() override {
        window.reset();
        Alert::setResponder({});
        controller.reset();
        BusinessFacadeHolder::setFacadeForTesting(nullptr);
    }

    // The browser as the application opens it, with its first list shown.
    BackupSplitViewController* openBrowser() {
        window.reset(Storyboard::instantiateAs<BackupRestoreWindowController>(
            Storyboard::main(), BackupRestoreWindowController::storyboardIdentifier));
        if (!window) return nullptr;
        window->setBackupController(controller.get());
        window->showWindow();
        BackupSplitViewController* split = window->contentViewController();
        EXPECT_TRUE(TestEnvironment::waitUntil([split] { return split->representedObject() != nullptr; }));
        settle();
        return split;
    }
    static void settle() { QCoreApplication::processEvents(); }
    static QStringList names(const DataSource& source) {
        QStringList out;
        for (const auto& b : source.backups()) out << b->name();
        return out;
    }
    // A restore sheet over `dataSource` on its own parent window.
    std::unique_ptr<BackupRestoreViewController> sheetFor(std::shared_ptr<DataSource> dataSource) {
        auto sheet = std::make_unique<BackupRestoreViewController>();
        sheet->setRepresentedObject(std::move(dataSource));
        sheet->setBackupController(controller.get());
        sheet->setSoundPlayerForTesting([this](const QString& name) { sounds << name; });
        sheet->setVolumeReaderForTesting([](const QString&) { return std::optional<RestoreSpace::Volume>(); });
        sheet->presentAsSheet(&parent);
        return sheet;
    }
    static std::shared_ptr<DataSource> selected(const BackupObject& backup) {
        auto source = std::make_shared<DataSource>();
        source->appendBackup(std::make_shared<ObjCBackupObject>(backup));
        source->setSelectionIndexPaths({0});
        return source;
    }
    bool finishRestore(BusinessResult<BackupProcessReport> result) {
        if (!fake.restoreDone) return false;
        std::exchange(fake.restoreDone, nullptr)(std::move(result));
        return TestEnvironment::waitUntil([this] { return !controller->isRestoring(); });
    }

    FakeBackupFacade fake;
    std::shared_ptr<BrowserFacade> facade;
    std::shared_ptr<OneUser> users = std::make_shared<OneUser>();
    std::unique_ptr<QuotaController> quota;
    UserController userController;
    std::unique_ptr<BackupController> controller;
    std::chrono::system_clock::time_point clock = std::chrono::system_clock::now();
    std::unique_ptr<BackupRestoreWindowController> window;
    QWidget parent;
    QStringList sounds;
};

// The whole way: two real backups made by the controller over a temporary service, the browser
// lists them, the user picks the second, restores it and finds its file again.
TEST_F(BackupBrowserTest, RestoresThePickedBackupIntoItsFolders) {
    QTemporaryDir dir(QStringLiteral("/dev/shm/backup-browser-XXXXXX"));
    auto service = std::make_shared<StorageService>(dir.filePath(QStringLiteral("service")));
    ASSERT_TRUE(service->createAccount(QStringLiteral("anna"), QStringLiteral("a@example.com"), QStringLiteral("correct horse 1")));
    const BackupSources sources{dir.filePath(QStringLiteral("contacts")), dir.filePath(QStringLiteral("calendars")),
                                dir.filePath(QStringLiteral("Pictures")), dir.filePath(QStringLiteral("Videos"))};
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    ASSERT_TRUE(write(sources.contacts + QStringLiteral("/anna.vcf"), "BEGIN:VCARD\nFN:Anna\nEND:VCARD\n"));
    ASSERT_TRUE(write(sources.images + QStringLiteral("/sea.jpg"), "jpeg bytes"));
    auto client = std::make_shared<EmbeddedServiceClient>(service);
    ASSERT_TRUE(client->signIn(QStringLiteral("anna"), QStringLiteral("correct horse 1")));
    OrvellaBackupFacade real(client, [] { return std::optional<QString>(QStringLiteral("anna")); }, sources,
                             BackupDeviceIdentity{QStringLiteral("this"), QStringLiteral("desk")});
    facade->backup = &real;
    auto* s = facade->settings();
    const auto backUp = [&](const QString& name, bool contacts, bool images) {
        s->setBackupName(name);
        s->setBackupContacts(contacts);
        s->setBackupImages(images);
        clock += std::chrono::minutes(1);
        bool done = false;
        controller->startBackup(BackupController::Completion([&](const std::optional<AppError>&) { done = true; }));
        const size_t before = users->account->requests.size();
        if (!TestEnvironment::waitUntil([&] { return users->account->requests.size() > before; })) return false;
        users->account->requests.back()->answer(OVQuota{1 << 20, 0, 1 << 20});
        return TestEnvironment::waitUntil([&] { return done; });
    };
    ASSERT_TRUE(backUp(QStringLiteral("zeta"), true, false));
    ASSERT_TRUE(backUp(QStringLiteral("Alpha"), false, true));

    BackupSplitViewController* split = openBrowser();
    ASSERT_TRUE(split);
    const auto listed = split->representedObject();
    ASSERT_EQ(names(*listed), (QStringList{"Alpha", "zeta"}));
    EXPECT_EQ(listed->selectionIndexPaths(), QList<int>{0});
    QTreeWidget* list = split->listViewController()->outlineView();
    list->setCurrentItem(list->topLevelItem(1));
    ASSERT_EQ(listed->selectedBackup()->name(), QStringLiteral("zeta"));
    EXPECT_TRUE(window->restoreBackupToolbarItem()->view()->isEnabled());

    ASSERT_TRUE(QFile::remove(sources.contacts + QStringLiteral("/anna.vcf")));
    static_cast<QToolButton*>(window->restoreBackupToolbarItem()->view())->click();
    BackupRestoreViewController* sheet = window->restoreViewController();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(WindowSheet::attachedSheets(window->window()), QList<QWidget*>{sheet->view()});
    EXPECT_TRUE(sheet->shouldRestoreContacts());
    EXPECT_FALSE(sheet->shouldRestoreImages());
    sheet->setSourcesForTesting(sources);
    sheet->setSoundPlayerForTesting([this](const QString& name) { sounds << name; });
    sheet->restoreButton()->click();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return sheet->restoreSuccessSheetWindowController() != nullptr; }));
    EXPECT_EQ(sounds, QStringList{"Glass"});
    BackupRestoreSuccessViewController* success = sheet->restoreSuccessSheetWindowController()->contentViewController();
    EXPECT_TRUE(success->shouldRestoreContacts());
    EXPECT_FALSE(success->shouldRestoreImages());
    QFile card(sources.contacts + QStringLiteral("/anna.vcf"));
    ASSERT_TRUE(card.open(QIODevice::ReadOnly));
    EXPECT_EQ(card.readAll(), QByteArray("BEGIN:VCARD\nFN:Anna\nEND:VCARD\n"));

    // Done closes both sheets.
    success->doneButton()->click();
    EXPECT_TRUE(WindowSheet::attachedSheets(window->window()).isEmpty());
    EXPECT_EQ(window->restoreViewController(), nullptr);
    EXPECT_TRUE(window->isWindowVisible());
    window.reset();
}

// A reload (a backup just ended) keeps the backup the user picked; only a backup that is gone
// gives way to the first row.
TEST_F(BackupBrowserTest, AReloadKeepsThePickedBackupSelected) {
    struct Row {
        const char* name;
        bool pickedStaysListed;
        const char* selectedAfter;
    } rows[] = {{"still listed", true, "c"}, {"gone", false, "a"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fake.listResult = {record("1", "b", true, false), record("2", "a", true, false), record("3", "c", true, false)};
        BackupSplitViewController* split = openBrowser();
        ASSERT_TRUE(split);
        split->representedObject()->setSelectionIndexPaths({2});
        if (!row.pickedStaysListed) fake.listResult.pop_back();
        controller->setLatestBackupStatus(std::make_shared<ObjCBackupStatus>(BackupStatus::skipped()));
        settle();
        settle();
        const auto reloaded = split->representedObject();
        ASSERT_TRUE(reloaded);
        ASSERT_TRUE(reloaded->selectedBackup());
        EXPECT_EQ(reloaded->selectedBackup()->name(), QString::fromLatin1(row.selectedAfter));
        QList<QTreeWidgetItem*> shown = split->listViewController()->outlineView()->selectedItems();
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0]->text(BackupListViewController::nameColumn), QString::fromLatin1(row.selectedAfter));
    }
}

// The restore item asks the content; every other item is the content's to enable.
TEST_F(BackupBrowserTest, TheRestoreItemNeedsAPickedBackup) {
    struct Row {
        const char* name;
        std::vector<BackupObject> list;
        bool deselect;
        bool restoreEnabled;
    } rows[] = {
        {"empty list", {}, false, false},
        {"listed and picked", {record("1", "a", true, false)}, false, true},
        {"listed, nothing picked", {record("1", "a", true, false)}, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fake.listResult = row.list;
        BackupSplitViewController* split = openBrowser();
        ASSERT_TRUE(split);
        if (row.deselect) split->listViewController()->outlineView()->clearSelection();
        EXPECT_EQ(window->restoreBackupToolbarItem()->view()->isEnabled(), row.restoreEnabled);
        EXPECT_TRUE(split->validateToolbarItem(window->refreshToolbarItem()));
        EXPECT_TRUE(split->validateToolbarItem(window->openPhotosToolbarItem()));
    }
}

// Closing the browser ends the restore sheet and the success sheet on it before the window goes.
TEST_F(BackupBrowserTest, ClosingTheBrowserEndsItsSheetsFirst) {
    fake.listResult = {record("1", "a", true, false)};
    BackupSplitViewController* split = openBrowser();
    ASSERT_TRUE(split);
    window->restoreBackup();
    QPointer<BackupRestoreViewController> sheet = window->restoreViewController();
    ASSERT_TRUE(sheet);
    sheet->setSoundPlayerForTesting({});
    sheet->restore();
    ASSERT_TRUE(finishRestore(BackupProcessReport{true, 1, 0}));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return sheet->restoreSuccessSheetWindowController() != nullptr; }));
    QPointer<QWidget> successWindow = sheet->restoreSuccessSheetWindowController()->window();
    ASSERT_TRUE(successWindow->isVisible());
    // Only the success sheet is in use: the restore sheet beneath offers no second restore.
    EXPECT_EQ(WindowSheet::shownSheet(window->window()), successWindow.data());
    EXPECT_FALSE(sheet->restoreButton()->isEnabled());
    QStringList ended;
    QObject::connect(sheet.data(), &BackupRestoreViewController::dismissed, [&] { ended << QStringLiteral("restore sheet"); });

    window->close();
    EXPECT_FALSE(successWindow && successWindow->isVisible());
    EXPECT_EQ(ended, QStringList{"restore sheet"});
    EXPECT_TRUE(WindowSheet::attachedSheets(window->window()).isEmpty());
    EXPECT_FALSE(window->isWindowVisible());
    EXPECT_EQ(window->restoreViewController(), nullptr);
}

// What the restore sheet may start, and what it tells the user afterwards.
TEST_F(BackupBrowserTest, ARestoreStartsOnceAndIsReportedAsItEnded) {
    auto sheet = sheetFor(selected(record("1", "a", true, true, 10, 20)));
    // A category the backup does not hold cannot be chosen, so it is never reported restored.
    sheet->setShouldRestoreVideos(true);
    EXPECT_FALSE(sheet->shouldRestoreVideos());
    EXPECT_EQ(sheet->restoreSize().value, 30u);

    // No restore beside a running backup; the button comes back when it ends.
    controller->setIsBackingUp(true);
    EXPECT_FALSE(sheet->restoreButton()->isEnabled());
    sheet->restore();
    EXPECT_TRUE(fake.restored.empty());
    controller->setIsBackingUp(false);
    EXPECT_TRUE(sheet->restoreButton()->isEnabled());

    // A second press while the first restore runs starts nothing.
    sheet->restore();
    sheet->restore();
    ASSERT_EQ(fake.restored.size(), 1u);
    EXPECT_EQ(fake.restored[0].second, (OVBackupAndRestoreOptions{true, false, false, true}));

    // Changing the boxes meanwhile does not change what the success sheet reports.
    sheet->setShouldRestoreImages(false);
    ASSERT_TRUE(finishRestore(BackupProcessReport{true, 2, 0}));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return sheet->restoreSuccessSheetWindowController() != nullptr; }));
    auto* success = sheet->restoreSuccessSheetWindowController()->contentViewController();
    EXPECT_TRUE(success->shouldRestoreImages());
    EXPECT_TRUE(success->shouldRestoreContacts());
    EXPECT_FALSE(success->shouldRestoreVideos());
    EXPECT_EQ(sounds, QStringList{"Glass"});
}

TEST_F(BackupBrowserTest, AFailedRestoreIsNeverQuiet) {
    struct Row {
        const char* name;
        BusinessResult<BackupProcessReport> result;
        int alerts;
    } rows[] = {
        {"incomplete", BackupProcessReport{false, 1, 1}, 1},
        {"service failure without a text", BusinessError::make(BusinessError::Kind::internalError), 1},
        {"cancelled by the user", BusinessError::make(BusinessError::Kind::cancelled), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Alert::clearShownAlerts();
        auto sheet = sheetFor(selected(record("1", "a", true, false)));
        bool dismissed = false;
        QObject::connect(sheet.get(), &BackupRestoreViewController::dismissed, [&] { dismissed = true; });
        sheet->restore();
        ASSERT_TRUE(finishRestore(row.result));
        settle();
        ASSERT_EQ(Alert::shownCount(), row.alerts);
        if (row.alerts) {
            EXPECT_EQ(Alert::shownAlerts()[0].messageText(), LocalizationController().syAlertRestoreIncompleteMessage());
        }
        EXPECT_EQ(sheet->restoreSuccessSheetWindowController(), nullptr);
        EXPECT_FALSE(dismissed);
        EXPECT_TRUE(sheet->restoreButton()->isEnabled());
    }
}

// The space check counts each volume a restore writes to, and an amount beyond 64 bits never
// wraps round into a small one.
TEST(RestoreSpace, EachVolumeKeepsItsReserve) {
    constexpr std::uint64_t huge = std::uint64_t(1) << 63;
    const RestoreSpace::VolumeReader twoDisks = [](const QString& folder) {
        return std::optional<RestoreSpace::Volume>(
            {folder.startsWith(QStringLiteral("/b")) ? QStringLiteral("b") : QStringLiteral("a"), 1'100'000'000});
    };
    struct Row {
        const char* name;
        std::vector<RestoreSpace::Need> needs;
        bool fits;
    } rows[] = {
        {"just below the limit", {{"/a/x", 999'999'999}}, true},
        {"at the limit", {{"/a/x", 1'000'000'000}}, false},
        {"two folders on one disk", {{"/a/x", 600'000'000}, {"/a/y", 600'000'000}}, false},
        {"two folders on two disks", {{"/a/x", 600'000'000}, {"/b/y", 600'000'000}}, true},
        {"beyond 64 bits", {{"/a/x", huge}, {"/a/y", huge}}, false},
    };
    for (const Row& row : rows) EXPECT_EQ(RestoreSpace::fits(row.needs, twoDisks), row.fits) << row.name;
    EXPECT_TRUE(RestoreSpace::fits({{"/a/x", huge}}, [](const QString&) { return std::optional<RestoreSpace::Volume>(); }));
    // A folder still to be made is measured on the disk of its nearest parent.
    QTemporaryDir dir(QStringLiteral("/dev/shm/restore-space-XXXXXX"));
    const auto volume = RestoreSpace::volumeOf(dir.filePath(QStringLiteral("not/yet/there")));
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->identity, RestoreSpace::volumeOf(dir.path())->identity);
}

TEST_F(BackupBrowserTest, ARestoreThatDoesNotFitIsNotStarted) {
    auto sheet = sheetFor(selected(record("1", "a", true, false, 1'000'000'000)));
    sheet->setVolumeReaderForTesting([](const QString&) { return std::optional<RestoreSpace::Volume>({"a", 1'100'000'000}); });
    bool dismissed = false;
    QObject::connect(sheet.get(), &BackupRestoreViewController::dismissed, [&] { dismissed = true; });
    sheet->restore();
    EXPECT_TRUE(fake.restored.empty());
    ASSERT_EQ(Alert::shownCount(), 1);
    EXPECT_EQ(Alert::shownAlerts()[0].messageText(), LocalizationController().brAlertNotEnoughSpaceToRestoreMessage());
    EXPECT_TRUE(dismissed);
}

}  // namespace
