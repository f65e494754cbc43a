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
    // The same question about an item the engine has just found to be a plain file or folder (not
    // a link): an owner that looks at the disk need not look at what it is again.
    virtual bool shouldIgnoreFileOrFolder(const QString& path) { return shouldIgnoreItem(path); }
    virtual bool isRegularItem(const QString& name, const QString& parentName) = 0;
    virtual bool isSystemFolder(const QString& name, const QString& path) = 0;
    virtual void handle(const SyncEvent& event) = 0;
};
