#pragma once

#include <QString>

// Told the sync folder that the application answered a registration with.
class CommServerConnectorDelegate {
public:
    virtual ~CommServerConnectorDelegate() = default;
    virtual void updateSyncDirectory(const QString& path) = 0;
};
