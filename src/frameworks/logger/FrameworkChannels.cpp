#include "frameworks/logger/FrameworkChannels.h"

#include "frameworks/logger/Logger.h"

// The frameworks log at info by default; the REST client's responses are bulky and off once the
// application sets verbosities, but fully on until then for early start-up problems.
#define OV_FRAMEWORK_CHANNEL(group, member, verbosity)                                           \
    Channel& member() {                                                                           \
        static Channel& channel = Logger::channel(QStringLiteral(#group "." #member), (verbosity)); \
        return channel;                                                                           \
    }

namespace Log {

namespace Business {
OV_FRAMEWORK_CHANNEL(Business, backup, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Business, directoryListing, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Business, caching, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Business, setup, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Business, imageOperations, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Business, upload, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Business, download, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Business, connectivity, LogVerbosity::info)
}  // namespace Business

namespace API {
OV_FRAMEWORK_CHANNEL(API, accessToken, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(API, calls, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(API, response, LogVerbosity::debug)
OV_FRAMEWORK_CHANNEL(API, removingPathErrors, LogVerbosity::info)
}  // namespace API

namespace Backup {
OV_FRAMEWORK_CHANNEL(Backup, nimbusaveSDK, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Backup, flow, LogVerbosity::info)
}  // namespace Backup

namespace Sync {
OV_FRAMEWORK_CHANNEL(Sync, hash, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, remoteChangesListener, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, localChangesListener, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, localChangesChecker, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, localItem, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, fileSystemEvents, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, sync, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, syncFlow, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, syncDecision, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, conflictCopy, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, syncLoopAction, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, upload, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, uploadQueue, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, downloadQueue, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, download, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, persistence, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, itemStatus, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, selectiveSync, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, syncAPICommunicatorImplementation, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, checkLocalChangesTask, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, errorConversion, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, metaHashCalculation, LogVerbosity::info)
OV_FRAMEWORK_CHANNEL(Sync, cleanupSelectiveSync, LogVerbosity::info)
}  // namespace Sync

}  // namespace Log
