#pragma once

#include "app/sync/Server.h"

// Answers the extensions' badge queries.
class AppServer : public Server {
public:
    bool addSourceForNewLocalMessagePort(const QString& name) override;
};
