#include <gtest/gtest.h>

#include <QUrl>
#include <QWidget>

#include <memory>

#include "app/backup/BackupAlerts.h"
#include "app/backup/BackupController.h"
#include "app/common/LocalizationController.h"
#include "app/core/AppError.h"
#include "app/core/QuotaController.h"
#include "app/core/UserController.h"
#include "app/core/support/TestBusinessFacade.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Workspace.h"
#include "support/TestEnvironment.h"

namespace {

class BackupAlertsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Alert::clearShownAlerts();
        Alert::setResponder([this](const Alert& alert) {
            if (answerKey.isEmpty()) return answer;
            return alert.responseForKey(answerKey).value_or(alert.closeResponse());
        });
        Workspace::setOpener([this](const QUrl& url) {
            opened << url.toString();
            return true;
        });
    }
    void TearDown() override {
        Alert::setResponder({});
        Workspace::setOpener({});
    }
    QStringList messages() const {
        QStringList list;
        for (const auto& alert : Alert::shownAlerts()) list << alert.messageText();
        return list;
    }
    int answer = Alert::FirstButtonReturn;
    QString answerKey;
    QStringList opened;
    LocalizationController texts;
};

TEST_F(BackupAlertsTest, BackupErrorsShowTheirAlert) {
    ScopedTestBusinessFacade facade(QStringLiteral("alerts"));
    const struct {
        const char* name;
        AppError error;
        QStringList shown;
    } rows[] = {
        {"no space", AppError(BackupError::notEnoughFreeSpace), {texts.brAlertNotEnoughSpaceToBackupMessage()}},
        {"no quota", AppError(BackupError::notEnoughQuota), {texts.syAlertBackupQuotaViolationMessage()}},
        {"restore running", AppError(BackupError::restoreInProgress), {texts.syAlertRestoreStillRunningMessage()}},
        {"contacts denied", AppError(BusinessError::make(BusinessError::Kind::contactsAccessDenied)),
         {errorDescription(BusinessError::make(BusinessError::Kind::contactsAccessDenied))}},
        {"offline", AppError(BusinessError::make(BusinessError::Kind::noConnection)), {}},
        {"quota unknown", AppError(QuotaError::quotaUnavailable), {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Alert::clearShownAlerts();
        presentBackupError(row.error);
        TestEnvironment::waitUntil([&] { return Alert::shownCount() >= row.shown.size(); }, 2000);
        TestEnvironment::waitUntil([] { return false; }, 20);  // nothing more arrives
        EXPECT_EQ(messages(), row.shown);
    }
    EXPECT_TRUE(opened.isEmpty());  // the first button of the quota alert opens nothing
}

TEST_F(BackupAlertsTest, UpgradeOpensThePage) {
    answer = Alert::SecondButtonReturn;
    showBackupQuotaViolationAlert();
    const QUrl url(texts.syAlertUpgradeURL(), QUrl::StrictMode);
    EXPECT_EQ(opened.size(), url.isValid() && !url.host().isEmpty() ? 1 : 0);
    ASSERT_EQ(Alert::shownCount(), 1);
    EXPECT_EQ(Alert::shownAlerts()[0].buttonTitles(), (QStringList{texts.syAlertButtonOK(), texts.syAlertButtonUpgrade()}));
}

TEST_F(BackupAlertsTest, SkippingCancelsOnlyOnReturn) {
    ScopedTestBusinessFacade facade(QStringLiteral("skip"));
    QuotaController quota;
    UserController users;
    BackupController controller(quota, users, OVBackupDependencyProvider{100}, true);
    controller.setIsRestoring(true);  // something to cancel
    QWidget window;
    const struct {
        const char* key;
        QWidget* window;
        bool cancelled;
    } rows[] = {{"\x1b", nullptr, false}, {"\x1b", &window, false}, {"\r", &window, true}, {"\r", nullptr, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << (row.window ? "sheet " : "modal ") << int(row.key[0]));
        controller.setIsRestoring(true);
        controller.setIsCanceling(false);
        answerKey = QString::fromLatin1(row.key);
        Alert::clearShownAlerts();
        showSkipBackupAlert(&controller, row.window);
        TestEnvironment::waitUntil([&] { return controller.isCanceling(); }, row.cancelled ? 2000 : 50);
        EXPECT_EQ(controller.isCanceling(), row.cancelled);
        ASSERT_EQ(Alert::shownCount(), 1);
        EXPECT_EQ(Alert::shownAlerts()[0].buttonTitles(),
                  (QStringList{texts.brAlertButtonSkipBackup(), texts.brAlertButtonCancel()}));
    }
}

TEST_F(BackupAlertsTest, SignOutDuringARestoreAsksFirst) {
    const struct {
        RestoreStillRunningReason reason;
        int answer;
        int signOuts;
        int shown;
    } rows[] = {{RestoreStillRunningReason::signOut, Alert::FirstButtonReturn, 1, 1},
                {RestoreStillRunningReason::signOut, Alert::SecondButtonReturn, 0, 1},
                {RestoreStillRunningReason::quit, Alert::FirstButtonReturn, 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answer);
        Alert::clearShownAlerts();
        answer = row.answer;
        int signOuts = 0;
        showRestoreStillRunningAlert(row.reason, nullptr, [&] { ++signOuts; });
        EXPECT_EQ(signOuts, row.signOuts);
        EXPECT_EQ(Alert::shownCount(), row.shown);
    }
    Alert::clearShownAlerts();
    showNotEnoughSpaceToRestoreAlert();
    ASSERT_EQ(Alert::shownCount(), 1);
    EXPECT_EQ(Alert::shownAlerts()[0].messageText(), texts.brAlertNotEnoughSpaceToRestoreMessage());
    EXPECT_LE(Alert::shownAlerts()[0].buttons().size(), 1u);
}

}  // namespace
