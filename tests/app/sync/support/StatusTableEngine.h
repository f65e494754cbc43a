#pragma once

#include <QStringList>

#include <map>
#include <mutex>

#include "app/sync/support/NullListener.h"
#include "frameworks/sync/SyncFacade.h"

// An engine that answers item statuses from a table the test fills, `unknown` for any other path,
// and records what it was asked. Asked from the servers' threads, hence the lock.
class StatusTableEngine : public SyncFacade {
public:
    explicit StatusTableEngine(OVItemSyncStatus unknown) : unknown_(unknown) {}
    LocalChangesListener& localChangesListener() override { return listener; }
    std::vector<SelectiveSyncItem> subscriptions() const override { return {}; }
    void setSubscriptions(const std::vector<SelectiveSyncItem>&) override {}
    std::vector<SyncErrorInfo> syncErrors() const override { return {}; }
    void triggerSync() override {}
    void setSyncEnabled(bool) override {}
    OVItemSyncStatus itemSyncStatus(const QString& path) const override {
        std::lock_guard lock(mutex);
        asked.push_back(path);
        const auto it = statuses.find(path);
        return it == statuses.end() ? unknown_ : it->second;
    }
    NullListener listener;
    std::map<QString, OVItemSyncStatus> statuses;
    mutable std::mutex mutex;
    mutable QStringList asked;

private:
    OVItemSyncStatus unknown_;
};
