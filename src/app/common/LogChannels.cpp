#include "app/common/LogChannels.h"

#include "frameworks/logger/FrameworkChannels.h"
#include "frameworks/logger/Logger.h"

#define OV_APP_CHANNEL(function, name, verbosity)                                  \
    Log::Channel& function() {                                                     \
        static Log::Channel& channel = Logger::channel(QStringLiteral(name), verbosity); \
        return channel;                                                            \
    }

namespace AppLog {

OV_APP_CHANNEL(backupRestore, "Backup & Restore", 3)
OV_APP_CHANNEL(flow, "Flow", 3)
OV_APP_CHANNEL(framework, "Framework", 1)
OV_APP_CHANNEL(frameworkSync, "FrameworkSync", 4)
OV_APP_CHANNEL(gui, "GUI", 3)
OV_APP_CHANNEL(setup, "Setup", 3)
OV_APP_CHANNEL(tracking, "Tracking", 3)
OV_APP_CHANNEL(autoImport, "AutoImport", 3)
OV_APP_CHANNEL(fsEvents, "FSEvents", 3)
OV_APP_CHANNEL(finderSidebar, "FinderSidebar", 3)
OV_APP_CHANNEL(selectiveSyncBrowser, "SelectiveSyncBrowser", 3)
OV_APP_CHANNEL(notification, "Notification", 3)
OV_APP_CHANNEL(syncStatus, "Sync status", 3)
OV_APP_CHANNEL(appLifeCycle, "App life cycle", 3)
OV_APP_CHANNEL(finderSync, "FinderSync", 3)

void setVerbosities() {
    for (Log::Channel* channel : {&finderSync(), &flow(), &framework(), &frameworkSync(), &gui(), &setup(),
                                  &tracking(), &autoImport(), &fsEvents(), &notification(), &syncStatus(),
                                  &selectiveSyncBrowser(), &finderSidebar(), &backupRestore()})
        channel->setVerbosity(2);
    appLifeCycle().setVerbosity(3);

    for (Log::Channel* channel :
         {&Log::Business::backup(), &Log::Business::directoryListing(), &Log::Business::caching(),
          &Log::Business::setup(), &Log::Business::imageOperations(), &Log::Business::upload(),
          &Log::Business::download(), &Log::Business::connectivity()})
        channel->setVerbosity(1);

    Log::API::accessToken().setVerbosity(2);
    Log::API::calls().setVerbosity(2);
    Log::API::response().setVerbosity(0);
    Log::API::removingPathErrors().setVerbosity(2);

    Log::Backup::nimbusaveSDK().setVerbosity(1);
    Log::Backup::flow().setVerbosity(1);

    for (Log::Channel* channel :
         {&Log::Sync::hash(), &Log::Sync::remoteChangesListener(), &Log::Sync::localChangesListener(),
          &Log::Sync::localChangesChecker(), &Log::Sync::localItem(), &Log::Sync::fileSystemEvents(),
          &Log::Sync::sync(), &Log::Sync::syncFlow(), &Log::Sync::syncDecision(), &Log::Sync::conflictCopy(),
          &Log::Sync::syncLoopAction(), &Log::Sync::upload(), &Log::Sync::uploadQueue(),
          &Log::Sync::downloadQueue(), &Log::Sync::download(), &Log::Sync::persistence(),
          &Log::Sync::itemStatus(), &Log::Sync::selectiveSync(), &Log::Sync::syncAPICommunicatorImplementation(),
          &Log::Sync::checkLocalChangesTask(), &Log::Sync::errorConversion(), &Log::Sync::metaHashCalculation(),
          &Log::Sync::cleanupSelectiveSync()})
        channel->setVerbosity(2);
}

}  // namespace AppLog
