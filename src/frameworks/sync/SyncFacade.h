#pragma once

#include <QString>
#include <QUrl>

#include <cstdint>
#include <memory>
#include <vector>

#include "frameworks/sync/SelectiveSyncItem.h"
#include "frameworks/sync/LocalChangesListener.h"
#include "frameworks/sync/SyncStatusDelegate.h"
#include "frameworks/sync/SyncTypes.h"

struct SyncFacadeConfiguration {
    QUrl websocketBaseURL;
    QString rootDirectoryLocalURL;  // the sync folder's absolute path
    SyncStatusDelegate* syncStatusDelegate = nullptr;  // not owned; outlives the engine
    QString conflictSuffix;
    QUrl chunkSizeURL;
    std::int64_t minimumFreeDiskSpace = 0;
    // Where the engine keeps each account's state (a folder per account inside); empty leaves the
    // choice to the facade.
    QString dataDirectoryLocalURL;
};

// The sync engine as its owner drives it.
class SyncFacade {
public:
    virtual ~SyncFacade() = default;
    virtual LocalChangesListener& localChangesListener() = 0;
    virtual std::vector<SelectiveSyncItem> subscriptions() const = 0;
    virtual void setSubscriptions(const std::vector<SelectiveSyncItem>& items) = 0;
    virtual std::vector<SyncErrorInfo> syncErrors() const = 0;
    virtual void triggerSync() = 0;
    virtual void setSyncEnabled(bool enabled) = 0;
    virtual OVItemSyncStatus itemSyncStatus(const QString& path) const = 0;
};

// Which engine implementation the facade sets up.
enum class SyncFacadeImplementation { standard };
