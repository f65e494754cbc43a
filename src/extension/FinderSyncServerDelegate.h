#pragma once

#include <QString>

// Told when the application announces the sync folder in a push.
class FinderSyncServerDelegate {
public:
    virtual ~FinderSyncServerDelegate() = default;
    virtual void updateSyncDirectory(const QString& path) = 0;
};
