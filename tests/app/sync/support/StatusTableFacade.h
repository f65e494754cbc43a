#pragma once

#include "app/core/support/TestBusinessFacade.h"
#include "app/sync/support/StatusTableEngine.h"

// A test facade whose sync engine answers item statuses from a table the test fills, `unknown`
// for any other path; with `engineSetUp` off it has no engine, as before sync is set up.
class StatusTableFacade : public TestBusinessFacade {
public:
    StatusTableFacade(const QString& suiteName, OVItemSyncStatus unknown)
        : TestBusinessFacade(suiteName), engine(unknown) {}
    SyncFacade* syncFacade() const override { return engineSetUp ? &engine : nullptr; }
    mutable StatusTableEngine engine;
    bool engineSetUp = true;
};
