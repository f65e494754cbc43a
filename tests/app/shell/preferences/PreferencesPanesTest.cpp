#include <gtest/gtest.h>

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include "PreferencesTestSupport.h"
#include "app/common/LocalizationController.h"
#include "app/selectivesync/SelectiveSyncViewController.h"
#include "app/shell/preferences/AutoImportViewController.h"
#include "app/shell/preferences/CreateEncryptionKeyViewController.h"
#include "app/shell/preferences/EncryptionQRCodeController.h"
#include "app/shell/preferences/EncryptionUpsellViewController.h"
#include "app/shell/preferences/EncryptionViewController.h"
#include "app/shell/preferences/ImportEncryptionKeyViewController.h"
#include "app/shell/preferences/PreferencesSoftwareUpdatePane.h"
#include "app/shell/preferences/PreferencesTabViewController.h"
#include "app/shell/preferences/SyncViewController.h"
#include "app/sync/ObjCSyncError.h"
#include "app/sync/SyncController.h"
#include "support/TestEnvironment.h"

namespace {

class PanesTest : public ::testing::Test, public PreferencesTestBase {
protected:
    const LocalizationController texts;
};

int columnSpanOf(QGridLayout* grid, QWidget* cell) {
    int row, column, rowSpan, columnSpan;
    grid->getItemPosition(grid->indexOf(cell), &row, &column, &rowSpan, &columnSpan);
    return column == 0 ? columnSpan : -1;
}

TEST_F(PanesTest, SyncPaneHandsTheSheetItsSyncControllerEveryTime) {
    QuotaController quota;
    ReachabilityController reachability;
    SyncController sync(nullptr, quota, users, reachability);
    SyncViewController pane;
    pane.setSyncController(&sync);
    for (int i = 0; i < 2; ++i) {
        SelectiveSyncViewController sheet;
        pane.prepareForSegue(SyncViewController::selectiveSyncSegue, &sheet);
        EXPECT_EQ(sheet.syncController(), &sync);
    }
    // Without a controller the sheet gets none; another destination is left alone.
    SyncViewController empty;
    SelectiveSyncViewController sheet;
    sheet.setSyncController(&sync);
    empty.prepareForSegue(SyncViewController::selectiveSyncSegue, &sheet);
    EXPECT_EQ(sheet.syncController(), nullptr);
    QObject other;
    empty.prepareForSegue(SyncViewController::selectiveSyncSegue, &other);
}

TEST_F(PanesTest, SyncPaneOpensTheSheetOnlySignedInAndOnline) {
    struct Row {
        bool signedIn;
        bool connected;
    };
    for (const Row row : {Row{false, false}, Row{false, true}, Row{true, false}, Row{true, true}}) {
        SCOPED_TRACE(testing::Message() << row.signedIn << row.connected);
        users.setIsLoggedIn(row.signedIn);
        SyncViewController pane;
        pane.setUserController(&users);
        pane.reachability()->setIsConnected(row.connected);
        pane.view();
        EXPECT_EQ(pane.selectiveSyncButton()->isEnabled(), row.signedIn && row.connected);
    }

    registerSelectiveSyncScenes();
    SyncViewController pane;
    pane.setUserController(&users);
    pane.reachability()->setIsConnected(true);
    QWidget window;
    pane.view()->setParent(&window);
    window.show();
    grab(pane.view(), QStringLiteral("sync"));
    pane.selectiveSyncButton()->click();
    ASSERT_TRUE(pane.presentedSheet());
    SelectiveSyncViewController* first = pane.presentedSheet();
    pane.selectiveSyncButton()->click();  // one sheet at a time
    EXPECT_EQ(pane.presentedSheet(), first);
    first->dismiss(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(pane.presentedSheet());  // a dismissed sheet goes away
}

// Signed out, the engine's last word ("Up to date") is stale: the pane must not promise it.
TEST_F(PanesTest, SyncPaneSaysNotSignedInAndTheNewestProblem) {
    QuotaController quota;
    ReachabilityController reachability;
    SyncController sync(nullptr, quota, users, reachability);
    sync.syncStatusChanged(SyncStatus::of(SyncStatus::Kind::upToDate));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !sync.syncStatusDescription().isEmpty(); }));
    for (const bool signedIn : {true, false}) {
        SCOPED_TRACE(signedIn);
        users.setIsLoggedIn(signedIn);
        SyncViewController pane;
        pane.setSyncController(&sync);
        pane.setUserController(&users);
        pane.view();
        EXPECT_EQ(pane.statusLabel()->text(), signedIn ? sync.syncStatusDescription() : texts.mbMenuItemSignedOut());
        if (!signedIn) grab(pane.view(), QStringLiteral("sync-signed-out"));
    }

    const QDateTime now = QDateTime::currentDateTimeUtc();
    const std::vector<std::shared_ptr<ObjCSyncError>> errors{
        std::make_shared<ObjCSyncError>(SyncErrorInfo{now.addSecs(-60), QStringLiteral("old.txt"),
                                                      SyncError{SyncError::Kind::itemIsUnreadable, 0}}),
        std::make_shared<ObjCSyncError>(SyncErrorInfo{now, QStringLiteral("bad\uFFFD.txt"),
                                                      SyncError{SyncError::Kind::invalidItemName, 0}}),
        std::make_shared<ObjCSyncError>(SyncErrorInfo{now.addSecs(-30), std::nullopt,
                                                      SyncError{SyncError::Kind::setupFailure, 0}})};
    EXPECT_EQ(SyncViewController::latestErrorText(errors, texts),
              texts.ssLabelLatestError().arg(QStringLiteral("bad\uFFFD.txt: ") + texts.erSynInvalidItemNameDescription()));
    EXPECT_EQ(SyncViewController::latestErrorText({}, texts), QString());
}

TEST_F(PanesTest, AutoImportPaneChangesNothingButOpensHelp) {
    AutoImportViewController pane;
    QWidget* view = pane.view();
    view->show();
    EXPECT_FALSE(pane.clearDevicesButton()->isVisible());
    EXPECT_EQ(columnSpanOf(pane.gridView(), pane.importDescriptionCell()), pane.gridView()->columnCount());
    const int index = pane.contentTypeButton()->currentIndex();
    pane.clearDevices(pane.clearDevicesButton());
    pane.setContentType(pane.contentTypeButton());
    EXPECT_EQ(pane.contentTypeButton()->currentIndex(), index);
    EXPECT_TRUE(openedURLs.empty());
    pane.openHelp(nullptr);
    ASSERT_EQ(openedURLs.size(), 1u);
    EXPECT_EQ(openedURLs[0], QUrl(texts.auButtonHelpURL()));
    grab(view, QStringLiteral("autoimport"));
}

TEST_F(PanesTest, EncryptionPanesOpenTheirLinksAndHandTheUserOnlyToTheQRCodeSheet) {
    EncryptionViewController pane;
    pane.setUserController(&users);
    pane.view()->show();
    EXPECT_FALSE(pane.importDebugKeysButton()->isVisible());
    grab(pane.view(), QStringLiteral("encryption"));

    EncryptionQRCodeController qr;
    pane.prepareForSegue(QStringLiteral("Other"), &qr);
    EXPECT_EQ(qr.userController(), nullptr);
    pane.prepareForSegue(EncryptionViewController::qrCodeSegue, &qr);
    EXPECT_EQ(qr.userController(), &users);

    EncryptionUpsellViewController upsell;
    grab(upsell.view(), QStringLiteral("encryption-upsell"));
    upsell.upgrade(nullptr);
    upsell.openHelp(nullptr);
    EXPECT_EQ(openedURLs, std::vector<QUrl>({QUrl(texts.crButtonUpsellURL()), QUrl(texts.crButtonUpsellHelpURL())}));
}

TEST_F(PanesTest, DebugKeyImportNeedsAWindowAUserAndAWellFormedResource) {
    struct Row {
        const char* name;
        QVariant resource;
        bool signedIn;
        bool inWindow;
        bool alert;
        bool imported = false;
    };
    const QVariantMap good{{"name", "debug"}, {"key", "KEY"}, {"password", "pw"}};
    const QVariantMap wrongPassword{{"name", "debug"}, {"key", "KEY"}, {"password", "not it"}};
    const Row rows[] = {
        {"NoResource", QVariant(), true, true, false},
        {"NotAList", QVariant(good), true, true, false},
        {"MissingPassword", QVariantList{QVariantMap{{"name", "debug"}, {"key", "KEY"}}}, true, true, false},
        {"SignedOut", QVariantList{good}, false, true, false},
        {"NoWindow", QVariantList{good}, true, false, false},
        {"WrongPassword", QVariantList{wrongPassword}, true, true, true, false},
        {"Imports", QVariantList{good}, true, true, true, true},
    };
    Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Alert::clearShownAlerts();
        testFacade.facade().user.reset();
        users.update();
        if (row.signedIn) signIn();
        EncryptionViewController pane;
        pane.setUserController(&users);
        pane.setKeysResource([&] { return row.resource; });
        QWidget window;
        if (row.inWindow) pane.view()->setParent(&window);
        pane.importDebugKeys(nullptr);
        TestEnvironment::waitUntil([] { return Alert::shownCount() > 0; }, row.alert ? 2000 : 50);
        ASSERT_EQ(Alert::shownCount(), row.alert ? 1 : 0);
        if (row.alert) {
            EXPECT_EQ(Alert::shownAlerts()[0].messageText(),
                      (row.imported ? texts.crAlertDebugKeySuccessMessage() : texts.crAlertDebugKeyFailedMessage())
                          .replace(QStringLiteral("%1"), QStringLiteral("anna")));
            EXPECT_EQ(Alert::shownAlerts()[0].buttonTitles(), QStringList({texts.crAlertButtonDebugKeyOK()}));
        }
    }
    testFacade.facade().user.reset();
    std::optional<bool> signedOut;
    importCryptoKey(QStringLiteral("KEY"), QStringLiteral("pw"), [&](bool imported) { signedOut = imported; });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return signedOut.has_value(); }));
    EXPECT_FALSE(*signedOut);
}

QByteArray pngOfColor(Qt::GlobalColor color) {
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

TEST_F(PanesTest, QRCodeSheetShowsTheKeyAndEmptiesOnSignOut) {
    auto user = std::make_shared<TestBusinessUser>();
    user->key = OVCryptoKey{QStringLiteral("KEY"), pngOfColor(Qt::black)};
    testFacade.facade().user = user;
    users.update();
    users.setIsLoggedIn(true);

    EncryptionQRCodeController sheet;
    sheet.setUserController(&users);
    sheet.viewWillAppear();
    EXPECT_FALSE(sheet.imageView()->pixmap().isNull());
    grab(sheet.view(), QStringLiteral("encryption-qrcode"));

    testFacade.facade().user.reset();
    users.update();
    users.setIsLoggedIn(false);
    EXPECT_TRUE(sheet.imageView()->pixmap().isNull());
}

TEST_F(PanesTest, CreateKeySheetCollectsInputAndCreatesNothing) {
    CreateEncryptionKeyViewController sheet;
    std::vector<QStringList> answers = {{}, {QStringLiteral("/dev/shm/keys"), QStringLiteral("/tmp")}};
    size_t next = 0;
    int panels = 0;
    sheet.setOpenPanel([&](QWidget*, bool chooseDirectories, std::function<void(const QStringList&)> done) {
        EXPECT_TRUE(chooseDirectories);
        ++panels;
        done(answers[next++]);
    });
    sheet.view();
    EXPECT_EQ(sheet.backupKeyPath(), CreateEncryptionKeyViewController::defaultBackupKeyPath());
    EXPECT_TRUE(sheet.backupKeyPath().endsWith(QStringLiteral("/Downloads")));
    for (QWidget* cell : {static_cast<QWidget*>(sheet.createEncryptionKeyDescriptionCell()),
                          sheet.passwordSeparatorCell(), sheet.userConsentSeparatorCell()})
        EXPECT_EQ(columnSpanOf(sheet.gridView(), cell), sheet.gridView()->columnCount());

    sheet.showOpenPanel(nullptr);  // not in a window: no panel
    EXPECT_EQ(panels, 0);
    QWidget window;
    sheet.presentAsSheet(&window);
    sheet.showOpenPanel(nullptr);  // cancelled
    EXPECT_EQ(sheet.backupKeyPath(), CreateEncryptionKeyViewController::defaultBackupKeyPath());
    sheet.showOpenPanel(nullptr);
    EXPECT_EQ(sheet.backupKeyPath(), QStringLiteral("/dev/shm/keys"));
    EXPECT_EQ(sheet.backupKeyMenu()->currentIndex(), 0);

    struct Row {
        const char* password;
        const char* verify;
        bool agreed;
        bool canCreate;
    };
    for (const Row row : {Row{"", "", true, false}, Row{"secret", "secret", false, false},
                          Row{"secret", "Secret", true, false}, Row{"secret", "secret", true, true}}) {
        SCOPED_TRACE(row.verify);
        sheet.setPassword(QString::fromLatin1(row.password));
        sheet.setVerifyPassword(QString::fromLatin1(row.verify));
        sheet.setHasUserAgreed(row.agreed);
        EXPECT_EQ(sheet.createButton()->isEnabled(), row.canCreate);
    }
    grab(sheet.view(), QStringLiteral("encryption-createkey"));
    sheet.create(nullptr);
    EXPECT_FALSE(sheet.view()->isVisible());
}

TEST_F(PanesTest, ImportKeySheetShowsTheChosenFile) {
    ImportEncryptionKeyViewController sheet;
    sheet.setOpenPanel([](QWidget*, bool chooseDirectories, std::function<void(const QStringList&)> done) {
        done(chooseDirectories ? QStringList() : QStringList{QStringLiteral("/dev/shm/my.key")});
    });
    QWidget window;
    sheet.presentAsSheet(&window);
    sheet.chooseKey(nullptr);
    EXPECT_EQ(sheet.keyTextField()->text(), QStringLiteral("/dev/shm/my.key"));
    grab(sheet.view(), QStringLiteral("encryption-importkey"));
    sheet.cancel(nullptr);
    EXPECT_FALSE(sheet.view()->isVisible());
}

TEST_F(PanesTest, TheSoftwareUpdateTabShowsTheUpdatePaneWithTheUpdater) {
    SparkleUpdaterController sparkle(true);
    PreferencesTabViewController tabs;
    tabs.sparkleController = &sparkle;
    tabs.viewWillAppear();
    auto* pane = qobject_cast<PreferencesSoftwareUpdatePane*>(tabs.softwareUpdateTabViewItem()->viewController());
    ASSERT_TRUE(pane);
    EXPECT_EQ(pane->controller()->sparkleController(), &sparkle);
    EXPECT_EQ(pane->view(), pane->controller()->view());
}

}  // namespace
