#pragma once

#include <QString>

// What the sync controller asks of the application; may be called from any thread.
class SyncControllerDelegate {
public:
    virtual ~SyncControllerDelegate() = default;
    virtual void presentPreferencesGoneAlert() = 0;
    virtual void presentSystemFolderDeletedAlert(const QString& path) = 0;
    virtual void presentRootFolderMovedAlert() = 0;
    // The sync folder is marked for another account, or its marker is damaged and the folder cannot
    // be shown to be this account's: it is not synced, and the user has to choose another one.
    virtual void presentSyncFolderNotOwnedAlert(const QString& path) {
        (void)path;
        presentPreferencesGoneAlert();
    }
};
