#pragma once

#include <QString>

#include "app/sync/Server.h"
#include "frameworks/sync/SyncTypes.h"

// Takes the extensions' registrations and pushes status changes to them.
class CommServer : public Server {
public:
    bool addSourceForNewLocalMessagePort(const QString& name) override;

    // Pushes an item's new status to every registered extension. A push blocks for its sends, so
    // callers keep it off the main thread. The push arrives with the message ports.
    virtual void sendStatus(OVItemSyncStatus status, const QString& path);
    // Pushes the sync folder's path to every registered extension; blocks like sendStatus().
    virtual void sendUpdatedRootDirectoryToExtensions(const QString& path);
};
