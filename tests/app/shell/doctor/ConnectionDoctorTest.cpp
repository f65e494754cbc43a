#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

#include "app/shell/doctor/ConnectionDoctorTabViewController.h"
#include "app/shell/doctor/ConnectionDoctorViewController.h"
#include "app/shell/doctor/ConnectionDoctorWindowController.h"
#include "app/shell/doctor/SyncErrorsViewController.h"
#include "app/shell/doctor/SyncLogsViewController.h"
#include "app/sync/ObjCSyncError.h"
#include "app/sync/SyncControllerTestSupport.h"
#include "platform/appkit/Storyboard.h"
#include "support/TestEnvironment.h"

namespace {

SyncErrorInfo errorAt(int minute, const QString& path, SyncError::Kind kind) {
    return SyncErrorInfo{QDateTime(QDate(2026, 3, 4), QTime(10, minute), Qt::UTC), path, SyncError{kind}};
}

class ConnectionDoctorTest : public synctest::SyncControllerFixture {
protected:
    void SetUp() override {
        SyncControllerFixture::SetUp();
        registerConnectionDoctorScenes();
        facade->engine.errors = {errorAt(1, QStringLiteral("/Docs/a.txt"), SyncError::Kind::itemIsReadonlyOnRemote),
                                 errorAt(2, QStringLiteral("/b.txt"), SyncError::Kind::tooManyRepeatedUploads)};
        facade->settings()->setContinuouslyUpdateDebugInterface(false);
    }

    // The window as the application delegate opens it: from the storyboard, with the sync
    // controller handed to its content.
    std::unique_ptr<ConnectionDoctorWindowController> openDoctor() {
        std::unique_ptr<ConnectionDoctorWindowController> window(Storyboard::instantiateAs<ConnectionDoctorWindowController>(
            ConnectionDoctorWindowController::storyboardName, ConnectionDoctorWindowController::storyboardIdentifier));
        if (!window) return window;
        window->window();
        if (auto* manageable = dynamic_cast<ConnectionDoctorManageable*>(window->contentViewController()))
            manageable->setSyncController(controller.get());
        window->showWindow();
        return window;
    }

    static QStringList column(QTableWidget* table, int columnIndex) {
        QStringList out;
        for (int row = 0; row < table->rowCount(); ++row) out << table->item(row, columnIndex)->text();
        return out;
    }
};

TEST_F(ConnectionDoctorTest, ShowsTwoTabsAndTheErrorsHandedDown) {
    make();
    facade->installed = true;
    auto window = openDoctor();
    ASSERT_TRUE(window);
    ConnectionDoctorTabViewController* tabs = window->contentViewController()->tabViewController();
    ASSERT_TRUE(tabs);
    // The debug tab is built but never part of the window.
    ASSERT_EQ(tabs->tabView()->count(), 2);
    EXPECT_EQ(tabs->tabView()->tabText(0), LocalizationController().cdTabItemSyncErrors());
    EXPECT_EQ(tabs->tabView()->tabText(1), LocalizationController().cdTabItemSyncLogs());
    EXPECT_EQ(tabs->tabView()->indexOf(tabs->debugMenuTabViewItem().view), -1);
    EXPECT_EQ(window->window()->windowTitle(), LocalizationController().cdWindowTitleMainWindow());

    SyncErrorsViewController* errors = tabs->syncErrorsViewController();
    EXPECT_EQ(errors->syncController(), controller.get());
    EXPECT_EQ(tabs->syncLogsViewController()->syncController(), controller.get());
    QTableWidget* table = errors->tableView();
    EXPECT_EQ(table->horizontalHeaderItem(SyncErrorsViewController::rootRelativePathTableColumn)->text(),
              LocalizationController().cdTableViewColumnTitleSyncErrorsRelativePath());
    EXPECT_EQ(column(table, SyncErrorsViewController::rootRelativePathTableColumn),
              (QStringList{"/Docs/a.txt", "/b.txt"}));
    EXPECT_EQ(column(table, SyncErrorsViewController::errorTableColumn),
              (QStringList{*(*errors->errors())[0]->errorDescription(), *(*errors->errors())[1]->errorDescription()}));
    EXPECT_FALSE(column(table, SyncErrorsViewController::dateTableColumn).first().isEmpty());

    // Without the setting the list is what was read when the controller came.
    facade->engine.errors.pop_back();
    TestEnvironment::waitUntil([] { return false; }, 50);
    EXPECT_EQ(table->rowCount(), 2);
    EXPECT_FALSE(errors->isRefreshing());

    // Opening again hands the controller down anew and reloads.
    window->contentViewController()->setSyncController(controller.get());
    EXPECT_EQ(table->rowCount(), 1);

    EXPECT_TRUE(TestEnvironment::keepSnapshot(window->window()->grab().toImage(), QStringLiteral("doctor")));
}

struct RefreshCase {
    const char* name;
    bool settingBefore;       // on when the tab appears
    bool switchTo;            // the setting's value after appearing
    bool expectRefreshing;
};

class ConnectionDoctorRefresh : public ConnectionDoctorTest, public ::testing::WithParamInterface<RefreshCase> {};

TEST_P(ConnectionDoctorRefresh, FollowsTheSettingWhileVisible) {
    const RefreshCase& c = GetParam();
    make();
    facade->installed = true;
    facade->settings()->setContinuouslyUpdateDebugInterface(c.settingBefore);
    SyncErrorsViewController errors;
    errors.setSyncController(controller.get());
    errors.view()->show();  // appearing
    EXPECT_EQ(errors.isRefreshing(), c.settingBefore);

    facade->settings()->setContinuouslyUpdateDebugInterface(c.switchTo);
    EXPECT_EQ(errors.isRefreshing(), c.expectRefreshing);
    facade->engine.errors.push_back(errorAt(3, QStringLiteral("/c.txt"), SyncError::Kind::insufficientLocalStorage));
    const bool refreshed = TestEnvironment::waitUntil([&] { return errors.errors() && errors.errors()->size() == 3; }, 2400);
    EXPECT_EQ(refreshed, c.expectRefreshing);

    // Leaving the tab stops the refresh and the observation.
    errors.view()->hide();
    EXPECT_FALSE(errors.isRefreshing());
    facade->settings()->setContinuouslyUpdateDebugInterface(true);
    EXPECT_FALSE(errors.isRefreshing());
}

INSTANTIATE_TEST_SUITE_P(Shell, ConnectionDoctorRefresh,
                         ::testing::Values(RefreshCase{"switchedOn", false, true, true},
                                           RefreshCase{"switchedOff", true, false, false},
                                           RefreshCase{"stayingOn", true, true, true},
                                           RefreshCase{"stayingOff", false, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ClearCase {
    const char* name;
    bool engineSetUp;    // none from syncErrors() otherwise
    bool withController;
};

class ConnectionDoctorClear : public ConnectionDoctorTest, public ::testing::WithParamInterface<ClearCase> {};

TEST_P(ConnectionDoctorClear, EmptiesBothTabs) {
    const ClearCase& c = GetParam();
    make();
    facade->installed = c.engineSetUp;
    controller->setDebugMessages({QStringLiteral("renamed a"), QStringLiteral("renamed b")});
    ConnectionDoctorViewController content;
    content.view();
    if (c.withController) content.setSyncController(controller.get());
    ConnectionDoctorTabViewController* tabs = content.tabViewController();
    QListWidget* list = tabs->syncLogsViewController()->listView();
    EXPECT_EQ(list->count(), c.withController ? 2 : 0);

    content.clearLogsButton()->click();

    const auto& errors = tabs->syncErrorsViewController()->errors();
    // An errors list that was none stays none.
    EXPECT_EQ(errors.has_value(), c.withController && c.engineSetUp);
    if (errors) {
        EXPECT_TRUE(errors->empty());
    }
    EXPECT_EQ(tabs->syncErrorsViewController()->tableView()->rowCount(), 0);
    EXPECT_EQ(controller->debugMessages().isEmpty(), c.withController);
    EXPECT_EQ(list->count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Shell, ConnectionDoctorClear,
                         ::testing::Values(ClearCase{"withErrors", true, true}, ClearCase{"engineNotSetUp", false, true},
                                           ClearCase{"noController", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConnectionDoctorTest, LogListFollowsTheSyncController) {
    make();
    SyncLogsViewController logs;
    logs.view();
    logs.setSyncController(controller.get());
    controller->setDebugMessages({QStringLiteral("one")});
    controller->setDebugMessages({QStringLiteral("one"), QStringLiteral("two")});
    ASSERT_EQ(logs.listView()->count(), 2);
    EXPECT_EQ(logs.listView()->item(1)->text(), QStringLiteral("two"));
    // A controller handed before the tabs are embedded still reaches them.
    ConnectionDoctorViewController content;
    content.setSyncController(controller.get());
    content.view();
    EXPECT_EQ(content.tabViewController()->syncLogsViewController()->listView()->count(), 2);
}

TEST_F(ConnectionDoctorTest, HelpAndLogFolder) {
    QList<QUrl> opened;
    Workspace::setOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    synctest::LogRecorder log({&AppLog::flow()});
    ConnectionDoctorViewController content;
    content.openHelp();
    const QUrl help(LocalizationController().cdButtonHelpURL());
    ASSERT_TRUE(help.isValid() && !help.scheme().isEmpty());
    EXPECT_EQ(opened, QList<QUrl>{help});

    opened.clear();
    Logger::removeFileLogger();
    content.showLogs();
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(log.matching(QStringLiteral("No file logger has been configured")).size(), 1);

    Logger::FileConfiguration configuration;
    configuration.folderName = QStringLiteral("doctor.logs");
    ASSERT_TRUE(Logger::addFileLogger(QStringLiteral("group.doctor"), configuration, nullptr));
    content.showLogs();
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(Logger::logFolderPath(QStringLiteral("group.doctor"),
                                                                             QStringLiteral("doctor.logs")))});
    Logger::removeFileLogger();
}

}  // namespace
