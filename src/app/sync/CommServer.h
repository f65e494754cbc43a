#pragma once

#include "app/sync/Server.h"

// Takes the extensions' registrations and pushes status changes to them.
class CommServer : public Server {
public:
    bool addSourceForNewLocalMessagePort(const QString& name) override;
};
