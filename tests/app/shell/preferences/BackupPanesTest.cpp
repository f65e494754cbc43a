#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <unistd.h>

#include "PreferencesTestSupport.h"
#include "app/backup/BackupController.h"
#include "app/backup/BackupItemsTransformer.h"
#include "app/backup/CreateBackupProgressTransformer.h"
#include "app/backup/LatestBackupStatusTransformer.h"
#include "app/backup/NextBackupDateTransformer.h"
#include "app/common/AppActions.h"
#include "app/core/SettingsController.h"
#include "app/shell/preferences/BackupPreferencesViewController.h"
#include "app/shell/preferences/BackupUpsellViewController.h"
#include "app/shell/preferences/BackupViewController.h"
#include "app/shell/preferences/PreferencesTabViewController.h"
#include "platform/appkit/Application.h"
#include "support/TestEnvironment.h"

namespace {

class BackupPanesTest : public ::testing::Test, public PreferencesTestBase {
protected:
    BackupPanesTest() {
        ValueTransformer::setValueTransformer(std::make_shared<CreateBackupProgressTransformer>(),
                                              QStringLiteral("CreateBackupProgressTransformer"));
        Application::shared().registerAction(AppAction::startBackup, [this](QObject*) { ++backupsStarted; });
        settings().setIsAlreadyLaunched(true);
        signIn();
    }
    ~BackupPanesTest() override { Application::shared().unregisterAction(AppAction::startBackup); }

    OrvellaSettingsManager& settings() { return *SettingsController().settings(); }
    QString progressText(const QVariant& progress) {
        return CreateBackupProgressTransformer().transformedValue(progress).toString();
    }
    // The sheet as the pane shows it, online unless told otherwise.
    std::unique_ptr<BackupPreferencesViewController> shownSheet(BackupPreferencesViewController::Environment environment,
                                                                 bool connected = true) {
        auto sheet = std::make_unique<BackupPreferencesViewController>(std::move(environment));
        sheet->setBackupController(&controller);
        sheet->reachability()->setIsConnected(connected);
        sheet->presentAsSheet(nullptr);
        return sheet;
    }
    static BackupPreferencesViewController::Environment nothingDenied() {
        return {[](BackupCategory) { return QString(); }, [](const QString&) { return false; }};
    }

    QuotaController quota;
    BackupController controller{quota, users, OVBackupDependencyProvider{0}, true};
    int backupsStarted = 0;
    const LocalizationController texts;
};

TEST_F(BackupPanesTest, ThePaneShowsEachPhaseOfABackup) {
    const auto backing = std::make_shared<ObjCBackupProgress>(BackupProgress{4, 1, 4000, 0, 1000});
    constexpr qint64 MB = 1000 * 1000;
    const auto large = QVariant::fromValue(std::make_shared<ObjCBackupProgress>(BackupProgress{9, 2, 600 * MB, 0, 128 * MB}));
    const auto noTotal = QVariant::fromValue(std::make_shared<ObjCBackupProgress>(BackupProgress{0, 0, 0, 0, 5}));
    const struct {
        const char* name;
        bool launched;
        bool inProgress;
        bool canceling;
        QVariant progress;  // an OVProgress or an ObjCBackupProgress
        bool visible;
        QString text;  // empty: the text before stays
        bool skipButton;
        std::optional<double> fraction;  // none: the bar spins
    } rows[] = {
        {"idle", true, false, false, {}, false, {}, false, {}},
        {"before the first launch", false, true, false, QVariant::fromValue(OVProgress{4, 1}), false, {}, true, {}},
        {"preparing", true, true, false, QVariant::fromValue(OVProgress{4, 1}), true,
         progressText(QVariant::fromValue(OVProgress{4, 1})), true, 0.25},
        {"preparing, size not known yet", true, true, false, QVariant::fromValue(OVProgress{0, 0}), true,
         progressText(QVariant::fromValue(OVProgress{0, 0})), true, {}},
        {"backing up", true, true, false, QVariant::fromValue(backing), true, progressText(QVariant::fromValue(backing)), true,
         0.25},
        {"128 MB of 600 MB", true, true, false, large, true, progressText(large), true, 128.0 / 600.0},
        {"backing up without a total", true, true, false, noTotal, true, progressText(noTotal), true, {}},
        {"between the phases", true, true, false, {}, true, {}, true, {}},
        {"skipping with progress left", true, true, true, QVariant::fromValue(backing), true, texts.brLabelSkipping(), true,
         {}},
    };
    BackupViewController pane;
    pane.setBackupController(&controller);
    pane.reachability()->setIsConnected(true);
    pane.viewWillAppear();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString before = pane.progressLabel()->text();
        settings().setIsAlreadyLaunched(row.launched);
        controller.setIsInProgress(row.inProgress);
        controller.setIsCanceling(row.canceling);
        if (row.progress.canConvert<OVProgress>()) controller.setPreviewProgress(row.progress.value<OVProgress>());
        else controller.setPreviewProgress(std::nullopt);
        controller.setBackupProgress(row.progress.value<std::shared_ptr<ObjCBackupProgress>>());
        EXPECT_EQ(!pane.progressLabel()->isHidden(), row.visible);
        EXPECT_EQ(pane.isIndicatorAnimating(), row.visible && !row.fraction);
        EXPECT_EQ(pane.indicatorFraction().has_value(), row.visible && row.fraction);
        if (row.visible && row.fraction) {
            EXPECT_NEAR(*pane.indicatorFraction(), *row.fraction, 0.001);
        }
        if (row.visible) {
            EXPECT_EQ(pane.progressLabel()->text(), row.text.isEmpty() ? before : row.text);
        }
        EXPECT_EQ(!pane.cancelButton()->isHidden(), row.skipButton);
        EXPECT_EQ(pane.startButton()->isHidden(), row.skipButton);
    }

    // A pane opened while a backup runs shows its progress at once.
    BackupViewController late;
    late.setBackupController(&controller);
    controller.setIsCanceling(false);
    late.viewWillAppear();
    EXPECT_FALSE(late.progressLabel()->isHidden());
    EXPECT_EQ(late.progressLabel()->text(), progressText(QVariant::fromValue(backing)));
}

TEST_F(BackupPanesTest, SigningOutClearsThePaneAndTheNextAccountSeesNoneOfIt) {
    ValueTransformer::setValueTransformer(std::make_shared<LatestBackupStatusTransformer>(),
                                          QStringLiteral("LatestBackupStatusTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<NextBackupDateTransformer>(),
                                          QStringLiteral("NextBackupDateTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<BackupItemsTransformer>(),
                                          QStringLiteral("BackupItemsTransformer"));
    settings().setBackupName(QStringLiteral("Desk"));
    settings().setBackupContacts(true);
    settings().setBackupAutomatically(true);
    settings().setNextBackupDate(QDateTime::currentDateTime());
    controller.reachability().setIsConnected(true);
    controller.setLatestBackupStatus(std::make_shared<ObjCBackupStatus>(BackupStatus::failed()));
    BackupViewController pane;
    pane.setBackupController(&controller);
    pane.reachability()->setIsConnected(true);
    pane.viewWillAppear();
    const struct {
        const char* name;
        QString account;  // empty: signed out
        QString latest;
    } rows[] = {
        {"the account whose backup failed", QStringLiteral("acc-1"), texts.brLabelLatestBackupFailed()},
        {"signed out", {}, QStringLiteral("-")},
        {"the next account", QStringLiteral("acc-2"), QStringLiteral("-")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testFacade.facade().user = row.account.isEmpty() ? nullptr : std::make_shared<TestBusinessUser>(row.account);
        users.update();
        const bool signedIn = !row.account.isEmpty();
        EXPECT_EQ(pane.latestBackupLabel()->text(), row.latest);
        EXPECT_EQ(pane.itemsLabel()->text() != QStringLiteral("-"), signedIn);
        EXPECT_EQ(pane.nextBackupLabel()->text() != QStringLiteral("-"), signedIn);
        for (QPushButton* button : {pane.startButton(), pane.configureButton(), pane.restoreButton()})
            EXPECT_EQ(button->isEnabled(), signedIn) << button->text().toStdString();
    }

    // A backup still winding down after the sign-out shows no progress.
    controller.setIsInProgress(true);
    EXPECT_FALSE(pane.progressLabel()->isHidden());
    testFacade.facade().user = nullptr;
    users.update();
    EXPECT_TRUE(pane.progressLabel()->isHidden());
    controller.setIsInProgress(false);
}

TEST_F(BackupPanesTest, TheBackupTabShowsThePaneWithItsControllerOrTheUpsell) {
    PreferencesTabViewController tabs;
    tabs.backupController = &controller;
    tabs.userController = &users;
    tabs.featuresController = &features;
    signIn();
    setBackupFeature(false);
    tabs.viewWillAppear();
    EXPECT_TRUE(qobject_cast<BackupUpsellViewController*>(tabs.backupUpsellTabViewItem()->viewController()));
    setBackupFeature(true);
    tabs.viewWillAppear();
    auto* pane = qobject_cast<BackupViewController*>(tabs.backupTabViewItem()->viewController());
    ASSERT_TRUE(pane);
    EXPECT_EQ(pane->backupController(), &controller);
    EXPECT_TRUE(tabs.backupTabViewItem()->tabView());

    // Its set-up sheet gets the same controller.
    pane->showBackupPreferences(nullptr);
    ASSERT_TRUE(pane->presentedSheet());
    EXPECT_EQ(pane->presentedSheet()->backupController(), &controller);
    pane->presentedSheet()->cancel(nullptr);
}

TEST_F(BackupPanesTest, SkippingAsksFirstAndKeepsTheBackupOnCancel) {
    controller.setIsInProgress(true);
    controller.setIsBackingUp(true);
    BackupViewController pane;
    pane.setBackupController(&controller);
    for (const int answer : {Alert::SecondButtonReturn, Alert::FirstButtonReturn}) {
        Alert::setResponder([answer](const Alert&) { return answer; });
        pane.cancelBackup(nullptr);
        EXPECT_EQ(controller.isCanceling(), answer == Alert::FirstButtonReturn);
        EXPECT_EQ(controller.isBackingUp(), answer != Alert::FirstButtonReturn);
    }
    EXPECT_EQ(Alert::shownAlerts().back().messageText(), texts.brAlertSkipBackupMessage());
}

TEST_F(BackupPanesTest, TheSheetReadsAndWritesTheSettings) {
    const QDateTime at(QDate(2026, 3, 1), QTime(6, 45), Qt::LocalTime);
    settings().setBackupName(QStringLiteral("Desk"));
    settings().setNextBackupDate(at);
    settings().setBackupImages(false);
    settings().setBackupVideos(true);
    settings().setBackupContacts(false);
    settings().setBackupCalendars(false);
    settings().setBackupKeepDeletedItems(true);
    settings().setBackupAutomatically(true);
    settings().setBackupImmediately(true);
    auto sheet = shownSheet(nothingDenied());
    EXPECT_EQ(sheet->nameTextField()->text(), QStringLiteral("Desk"));
    EXPECT_EQ(sheet->datePicker()->dateTime().time(), at.time());
    EXPECT_TRUE(sheet->checkbox(BackupCategory::videos)->isChecked());
    EXPECT_FALSE(sheet->checkbox(BackupCategory::images)->isChecked());
    EXPECT_TRUE(sheet->isDoneButtonEnabled());
    EXPECT_TRUE(sheet->doneButton()->isEnabled());

    // The done button needs some kind of content.
    sheet->checkbox(BackupCategory::videos)->setChecked(false);
    EXPECT_FALSE(sheet->doneButton()->isEnabled());
    sheet->checkbox(BackupCategory::calendars)->setChecked(true);
    EXPECT_TRUE(sheet->doneButton()->isEnabled());

    sheet->nameTextField()->setText(QStringLiteral("Laptop 2"));
    sheet->datePicker()->setTime(QTime(21, 30));
    sheet->deletedItemsCheckbox()->setChecked(false);
    sheet->ok(nullptr);
    EXPECT_EQ(settings().backupName(), QStringLiteral("Laptop 2"));
    EXPECT_FALSE(settings().backupVideos());
    EXPECT_TRUE(settings().backupCalendars());
    EXPECT_FALSE(settings().backupKeepDeletedItems());
    ASSERT_TRUE(settings().nextBackupDate());
    EXPECT_EQ(settings().nextBackupDate()->toLocalTime().time(), QTime(21, 30));
    // Saving reschedules the daily backup and leaves it on.
    EXPECT_TRUE(settings().backupAutomatically());
    EXPECT_NE(controller.firstAutomaticBackupTimer(), nullptr);
    EXPECT_EQ(backupsStarted, 1);
    EXPECT_FALSE(sheet->view()->isVisible());
}

TEST_F(BackupPanesTest, DroppingContentThatIsNotKeptIsAskedFirst) {
    const struct {
        const char* name;
        BackupCategory dropped;
        bool keepStored;
        bool keepInSheet;
        int answer;
        bool asked;
        bool saved;
    } rows[] = {
        {"photos dropped, confirmed", BackupCategory::images, false, false, Alert::FirstButtonReturn, true, true},
        {"photos dropped, cancelled", BackupCategory::images, false, false, Alert::SecondButtonReturn, true, false},
        {"contacts dropped, keep switched on now", BackupCategory::contacts, false, true, Alert::SecondButtonReturn, true, false},
        {"calendars dropped", BackupCategory::calendars, false, false, Alert::SecondButtonReturn, false, true},
        {"photos dropped but kept", BackupCategory::images, true, false, Alert::SecondButtonReturn, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        settings().setBackupName(QStringLiteral("Desk"));
        for (const auto set : {&OrvellaSettingsManager::setBackupImages, &OrvellaSettingsManager::setBackupVideos,
                               &OrvellaSettingsManager::setBackupContacts, &OrvellaSettingsManager::setBackupCalendars})
            (settings().*set)(true);
        settings().setBackupKeepDeletedItems(row.keepStored);
        Alert::clearShownAlerts();
        Alert::setResponder([&](const Alert&) { return row.answer; });
        auto sheet = shownSheet(nothingDenied(), false);
        sheet->checkbox(row.dropped)->setChecked(false);
        sheet->deletedItemsCheckbox()->setChecked(row.keepInSheet);
        sheet->ok(nullptr);
        TestEnvironment::waitUntil([] { return false; }, 20);  // the sheet's answer arrives
        ASSERT_EQ(Alert::shownCount(), row.asked ? 1 : 0);
        if (row.asked) {
            EXPECT_EQ(Alert::shownAlerts()[0].messageText(), texts.brAlertBackupContentRemovedMessage());
        }
        const bool stored = row.dropped == BackupCategory::images     ? settings().backupImages()
                            : row.dropped == BackupCategory::contacts ? settings().backupContacts()
                                                                      : settings().backupCalendars();
        EXPECT_EQ(stored, !row.saved);
        EXPECT_EQ(sheet->view()->isVisible(), !row.saved);
    }
    EXPECT_EQ(backupsStarted, 0);  // offline: nothing starts
}

TEST_F(BackupPanesTest, AnUnreadableSourceFolderCannotBeChosen) {
    QTemporaryDir dir(QStringLiteral("/dev/shm/backup-sources-XXXXXX"));
    const QString pictures = dir.filePath(QStringLiteral("Pictures"));
    const QString contacts = dir.filePath(QStringLiteral("contacts"));
    QDir().mkpath(pictures);
    QDir().mkpath(contacts);
    ASSERT_TRUE(QFile::setPermissions(pictures, QFileDevice::WriteOwner));
    const auto standard = BackupPreferencesViewController::Environment::standard();
    if (::geteuid() != 0) {
        EXPECT_TRUE(standard.isAccessDenied(pictures));
    }
    EXPECT_FALSE(standard.isAccessDenied(contacts));
    EXPECT_FALSE(standard.isAccessDenied(dir.filePath(QStringLiteral("missing"))));

    BackupPreferencesViewController::Environment environment{
        [&](BackupCategory category) { return category == BackupCategory::images ? pictures : contacts; },
        [&](const QString& folder) { return folder == pictures; }};
    for (const auto set : {&OrvellaSettingsManager::setBackupImages, &OrvellaSettingsManager::setBackupContacts})
        (settings().*set)(true);
    settings().setBackupName(QStringLiteral("Desk"));
    settings().setBackupKeepDeletedItems(true);
    auto sheet = shownSheet(environment);
    const struct {
        BackupCategory category;
        bool denied;
        bool checked;
    } rows[] = {{BackupCategory::images, true, false}, {BackupCategory::contacts, false, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.category));
        EXPECT_EQ(sheet->checkbox(row.category)->isEnabled(), !row.denied);
        EXPECT_EQ(sheet->checkbox(row.category)->isChecked(), row.checked);
        EXPECT_EQ(!sheet->checkboxWarning(row.category)->isHidden(), row.denied);
    }

    // The warning's first button shows the folder in the file manager.
    Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
    sheet->checkboxWarning(BackupCategory::images)->click();
    ASSERT_TRUE(TestEnvironment::waitUntil([this] { return !openedURLs.empty(); }, 2000));
    EXPECT_EQ(Alert::shownAlerts().back().messageText(), texts.brAlertPreBackupPhotoLibraryAccessDeniedMessage());
    EXPECT_EQ(openedURLs.back(), QUrl::fromLocalFile(dir.path()));

    sheet->ok(nullptr);
    EXPECT_FALSE(settings().backupImages());  // stored off, as shown
    QFile::setPermissions(pictures, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(BackupPanesTest, StartingNowNeedsAConnectionAndAnIdleController) {
    const struct {
        const char* name;
        bool connected;
        bool busy;
        bool stored;
        bool enabled;
    } rows[] = {
        {"online and idle", true, false, true, true},
        {"offline", false, false, true, false},
        {"backup running", true, true, true, false},
    };
    settings().setBackupName(QStringLiteral("Desk"));
    settings().setBackupContacts(true);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        backupsStarted = 0;
        settings().setBackupImmediately(row.stored);
        controller.setIsPreparing(row.busy);
        auto sheet = shownSheet(nothingDenied(), row.connected);
        EXPECT_EQ(sheet->immediatelyStartBackupCheckbox()->isEnabled(), row.enabled);
        EXPECT_EQ(sheet->immediatelyStartBackupCheckbox()->isChecked(), row.enabled);
        sheet->ok(nullptr);
        EXPECT_EQ(settings().backupImmediately(), row.stored);
        EXPECT_EQ(backupsStarted, row.enabled ? 1 : 0);
    }
    controller.setIsPreparing(false);

    // Going offline with the sheet open turns the choice off but leaves it to be chosen again.
    auto sheet = shownSheet(nothingDenied());
    sheet->reachabilityChanged(*sheet->reachability(), false);
    EXPECT_FALSE(sheet->immediatelyStartBackupCheckbox()->isChecked());
    EXPECT_TRUE(sheet->immediatelyStartBackupCheckbox()->isEnabled());
}

TEST_F(BackupPanesTest, AWrongNameSavesNothing) {
    settings().setBackupName(QStringLiteral("Desk"));
    settings().setBackupContacts(true);
    settings().setBackupKeepDeletedItems(true);
    Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
    auto sheet = shownSheet(nothingDenied(), false);
    sheet->nameTextField()->setText(QStringLiteral(" Desk/2"));
    sheet->checkbox(BackupCategory::calendars)->setChecked(true);
    sheet->ok(nullptr);
    EXPECT_EQ(Alert::shownAlerts().back().messageText(), texts.brAlertWrongBackupNameMessage());
    EXPECT_TRUE(sheet->view()->isVisible());
    EXPECT_FALSE(settings().backupCalendars());
    sheet->cancel(nullptr);
    EXPECT_EQ(sheet->nameTextField()->text(), QStringLiteral("Desk"));
    EXPECT_EQ(settings().backupName(), QStringLiteral("Desk"));
    EXPECT_FALSE(sheet->view()->isVisible());
}

}  // namespace
