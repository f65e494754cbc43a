#include "app/sync/SyncExtensionController.h"

#include "app/core/SettingsController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"

SyncExtensionController& SyncExtensionController::shared() {
    static SyncExtensionController* controller = new SyncExtensionController;
    return *controller;
}

void SyncExtensionController::updateExtensionState(bool enabled) {
    if (enabled && SettingsController().settings()->showBadgesInFinder()) requestedEnabled_ = true;
    else disableExtension();
}

void SyncExtensionController::disableExtension() { requestedEnabled_ = false; }
