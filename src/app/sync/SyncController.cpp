#include "app/sync/SyncController.h"

#include "app/common/LogChannels.h"
#include "app/core/SettingsController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"

SyncController::SyncController(CommServer* commServer, QuotaController& quotaController,
                               UserController& userController, ReachabilityController& reachabilityController,
                               QObject* parent)
    : QObject(parent),
      commServer_(commServer),
      quotaController_(quotaController),
      userController_(userController),
      reachabilityController_(reachabilityController) {}

void SyncController::setUp() {
    ++setUpCount_;
    if (!SettingsController().settings()->isAlreadyLaunched()) return;
    // The engine arrives with the sync road; until then a set-up installation only logs.
    OVLOG_INFO(AppLog::frameworkSync(), QStringLiteral("Sync set-up requested"));
}
