#include "app/selectivesync/SelectiveSyncSpaceCheck.h"

#include <memory>

#include "app/common/LocalizationController.h"
#include "platform/appkit/Alert.h"

namespace SelectiveSyncSpaceCheck {

void proceed(std::optional<bool> enoughSpace, QWidget* window, std::function<void()> apply) {
    if (enoughSpace == true) {
        if (apply) apply();
        return;
    }
    const LocalizationController texts;
    auto alert = std::make_shared<Alert>();
    if (enoughSpace == false) {
        alert->setMessageText(texts.ssAlertNotEnoughDiskSpaceMessage());
        alert->setInformativeText(texts.ssAlertNotEnoughDiskSpaceInformativeText());
        alert->beginSheetModal(window, [alert](int) {});
        return;
    }
    alert->setMessageText(texts.ssAlertFreeSpaceUnknownMessage());
    alert->setInformativeText(texts.ssAlertFreeSpaceUnknownInformativeText());
    // Return keeps the selection unapplied: going ahead blind takes a deliberate click.
    alert->addButton(texts.ssAlertButtonApplyAnyway()).setKeyEquivalent(QString());
    alert->addButton(texts.ssButtonCancel()).setKeyEquivalent(Alert::ReturnKey);
    alert->beginSheetModal(window, [alert, apply = std::move(apply)](int response) {
        if (response == Alert::FirstButtonReturn && apply) apply();
    });
}

}  // namespace SelectiveSyncSpaceCheck
