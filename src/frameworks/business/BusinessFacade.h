#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "frameworks/business/BusinessError.h"

class ConnectivityManager;
class OrvellaSettingsManager;

// The signed-in account as the facade reports it.
class BusinessUser {
public:
    virtual ~BusinessUser() = default;
    virtual QString name() const = 0;
    virtual QString accountId() const = 0;
    virtual QString mailAddress() const = 0;
};

// One subscription of the sync engine: a remote folder, alone or with everything below it.
struct SelectiveSyncItem {
    QString path;
    bool recursive = true;
    QString remoteIdentifier;
    bool operator==(const SelectiveSyncItem&) const = default;
};

enum class ConnectAPIOptions { all };

// The service facade through which every controller reaches the service.
class BusinessFacade {
public:
    virtual ~BusinessFacade() = default;

    // The signed-in user; none before a session exists.
    virtual std::shared_ptr<const BusinessUser> currentUser() const = 0;
    virtual OrvellaSettingsManager* settings() const = 0;
    virtual ConnectivityManager& connectivityManager() = 0;
    // Runs the completion once, on any thread.
    virtual void connect(ConnectAPIOptions options, std::function<void(VoidResult)> completion) = 0;
    // Ends the session (`reset` also drops the facade's local state); afterwards currentUser() is none.
    virtual void logout(bool reset, std::function<void(VoidResult)> completion) = 0;
    // The stored subscription list; none when nothing was ever stored.
    virtual std::optional<std::vector<SelectiveSyncItem>> subscriptionItems() const = 0;
};
