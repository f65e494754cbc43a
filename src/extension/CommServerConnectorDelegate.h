#pragma once

#include <QString>

// Told the sync folder that the application answered a registration with, and that the
// application went away (a registration follows when it is back).
class CommServerConnectorDelegate {
public:
    virtual ~CommServerConnectorDelegate() = default;
    virtual void updateSyncDirectory(const QString& path) = 0;
    virtual void applicationWentAway() {}
};
