#pragma once

#include "frameworks/logger/LogChannel.h"

// The channels the service frameworks log on. Each is named "<Group>.<member>" and created on first
// use; the application sets their verbosities at launch.
namespace Log {

namespace Business {
Channel& backup();
Channel& directoryListing();
Channel& caching();
Channel& setup();
Channel& imageOperations();
Channel& upload();
Channel& download();
Channel& connectivity();
}  // namespace Business

namespace API {
Channel& accessToken();
Channel& calls();
Channel& response();
Channel& removingPathErrors();
}  // namespace API

namespace Backup {
Channel& nimbusaveSDK();
Channel& flow();
}  // namespace Backup

namespace Sync {
Channel& hash();
Channel& remoteChangesListener();
Channel& localChangesListener();
Channel& localChangesChecker();
Channel& localItem();
Channel& fileSystemEvents();
Channel& sync();
Channel& syncFlow();
Channel& syncDecision();
Channel& conflictCopy();
Channel& syncLoopAction();
Channel& upload();
Channel& uploadQueue();
Channel& downloadQueue();
Channel& download();
Channel& persistence();
Channel& itemStatus();
Channel& selectiveSync();
Channel& syncAPICommunicatorImplementation();
Channel& checkLocalChangesTask();
Channel& errorConversion();
Channel& metaHashCalculation();
Channel& cleanupSelectiveSync();
}  // namespace Sync

}  // namespace Log
