#pragma once

#include <QString>

#include "frameworks/sync/SyncTypes.h"

// What the engine tells and asks its owner. Called on the engine's own threads.
class SyncStatusDelegate {
public:
    virtual ~SyncStatusDelegate() = default;
    virtual void itemStatusChanged(const QString& path, OVItemSyncStatus status) = 0;
    virtual void syncStatusChanged(const SyncStatus& status) = 0;
    virtual bool shouldIgnoreItem(const QString& path) = 0;
    virtual bool isRegularItem(const QString& name, const QString& parentName) = 0;
    virtual bool isSystemFolder(const QString& name, const QString& path) = 0;
    virtual void handle(const SyncEvent& event) = 0;
};
