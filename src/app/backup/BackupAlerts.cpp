#include "app/backup/BackupAlerts.h"

#include <QPointer>
#include <QWidget>

#include "app/backup/BackupController.h"
#include "app/common/LocalizationController.h"
#include "app/core/AppError.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Workspace.h"
#include "platform/foundation/MainQueue.h"

namespace {

// A sheet on a window that is still there, else a modal alert; the answer goes to `answer`.
void present(const std::shared_ptr<Alert>& alert, QWidget* window, const std::function<void(int)>& answer) {
    if (window) {
        alert->beginSheetModal(window, [alert, answer](int response) {
            if (answer) answer(response);
        });
        return;
    }
    const int response = alert->runModal();
    if (answer) answer(response);
}

void showPlainAlert(const QString& message, const QString& informative) {
    Alert alert;
    alert.setMessageText(message);
    alert.setInformativeText(informative);
    (void)alert.runModal();
}

}  // namespace

void showNoConnectionAlert(QWidget* window) {
    QPointer<QWidget> target(window);
    const bool hadWindow = window != nullptr;
    MainQueue::async([target, hadWindow] {
        LocalizationController texts;
        auto alert = std::make_shared<Alert>();
        alert->setMessageText(texts.raAlertNoConnectionMessage());
        alert->setInformativeText(texts.raAlertNoConnectionInformative());
        alert->addButton(texts.raAlertButtonNoConnectionOK());
        // A window that closed in the meantime leaves the alert to run on its own.
        if (hadWindow && target) alert->beginSheetModal(target, [alert](int) {});
        else alert->runModal();
    });
}

void showRestoreStillRunningAlert(RestoreStillRunningReason reason, QWidget* window, std::function<void()> signOut) {
    if (reason != RestoreStillRunningReason::signOut) return;
    LocalizationController texts;
    auto alert = std::make_shared<Alert>();
    alert->setMessageText(texts.syAlertRestoreStillRunningMessage());
    alert->setInformativeText(texts.syAlertRestoreStillRunningFromSignOutInformative());
    alert->addButton(texts.geButtonSignOut());
    alert->addButton(texts.brButtonCancel());
    present(alert, window, [signOut = std::move(signOut)](int response) {
        if (response == Alert::FirstButtonReturn && signOut) signOut();
    });
}

void showBackupQuotaViolationAlert() {
    LocalizationController texts;
    if (Alert::runModal(texts.syAlertBackupQuotaViolationMessage(), texts.syAlertBackupQuotaViolationInformative(),
                        texts.syAlertButtonOK(), texts.syAlertButtonUpgrade()) != Alert::SecondButtonReturn)
        return;
    Workspace::openUrlText(texts.syAlertUpgradeURL());
}

void showSkipBackupAlert(BackupController* controller, QWidget* window) {
    LocalizationController texts;
    auto alert = std::make_shared<Alert>();
    alert->setMessageText(texts.brAlertSkipBackupMessage());
    alert->setInformativeText(texts.brAlertSkipBackupInformative());
    alert->addButton(texts.brAlertButtonSkipBackup()).setKeyEquivalent(Alert::ReturnKey);
    alert->addButton(texts.brAlertButtonCancel()).setKeyEquivalent(Alert::EscapeKey);
    QPointer<BackupController> target(controller);
    present(alert, window, [target](int response) {
        if (response == Alert::FirstButtonReturn && target) target->cancel();
    });
}

void showNotEnoughSpaceToBackupAlert() {
    LocalizationController texts;
    showPlainAlert(texts.brAlertNotEnoughSpaceToBackupMessage(), texts.brAlertNotEnoughSpaceToBackupInformative());
}

void showNotEnoughSpaceToRestoreAlert() {
    LocalizationController texts;
    showPlainAlert(texts.brAlertNotEnoughSpaceToRestoreMessage(), texts.brAlertNotEnoughSpaceToRestoreInformative());
}

void presentBackupError(const AppError& error) {
    if (const auto* backup = error.backupError()) {
        const BackupError kind = *backup;
        MainQueue::async([kind] {
            switch (kind) {
            case BackupError::notEnoughFreeSpace: showNotEnoughSpaceToBackupAlert(); break;
            case BackupError::notEnoughQuota: showBackupQuotaViolationAlert(); break;
            case BackupError::restoreInProgress: {
                const LocalizationController texts;
                showPlainAlert(texts.syAlertRestoreStillRunningMessage(), texts.brAlertBackupWaitsForRestoreInformative());
                break;
            }
            }
        });
        return;
    }
    const auto* business = error.businessError();
    if (!business || error.errorCase() != AppError::Case::handledBusinessError) return;
    using Kind = BusinessError::Kind;
    if (business->kind == Kind::contactsAccessDenied || business->kind == Kind::photosAccessDenied ||
        business->kind == Kind::calendarsAccessDenied) {
        // The error presentation shows alerts: on the main thread, wherever the failure came from.
        const AppError copy = error;
        MainQueue::runOrAsync([copy] { presentError(copy); });
    }
}
