#include "app/common/LogChannels.h"
#include "app/sync/AppServer.h"
#include "app/sync/CommServer.h"

namespace {
// The local message-port transport arrives with the extension's road; until then no port can be
// created and the application runs on without one, as it must when creation fails.
bool createUnavailablePort(const QString&) {
    OVLOG_ERROR(AppLog::finderSync(), QStringLiteral("Cannot create message port."));
    return false;
}
}  // namespace

bool AppServer::addSourceForNewLocalMessagePort(const QString& name) { return createUnavailablePort(name); }
bool CommServer::addSourceForNewLocalMessagePort(const QString& name) { return createUnavailablePort(name); }

// Nothing is registered before the message ports exist, so there is nobody to push to yet.
void CommServer::sendStatus(OVItemSyncStatus, const QString&) {}
void CommServer::sendUpdatedRootDirectoryToExtensions(const QString&) {}
