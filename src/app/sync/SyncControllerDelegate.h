#pragma once

#include <QString>

// What the sync controller asks of the application; may be called from any thread.
class SyncControllerDelegate {
public:
    virtual ~SyncControllerDelegate() = default;
    virtual void presentPreferencesGoneAlert() = 0;
    virtual void presentSystemFolderDeletedAlert(const QString& path) = 0;
    virtual void presentRootFolderMovedAlert() = 0;
};
