#include "app/backup/BackupAlerts.h"

#include <QPointer>
#include <QWidget>

#include "app/common/LocalizationController.h"
#include "platform/appkit/Alert.h"
#include "platform/foundation/MainQueue.h"

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
