#pragma once

#include <stdexcept>

#include "frameworks/business/BusinessFacade.h"
#include "frameworks/business/ConnectivityManager.h"
#include "frameworks/business/OVFacadeConfiguration.h"

struct FacadeSetupError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The facade over the embedded storage service.
class OrvellaFacade : public BusinessFacade {
public:
    // Throws FacadeSetupError when the service's storage cannot be created.
    OrvellaFacade(OVFacadeConfiguration configuration, DependencyProvider dependencies);
    ~OrvellaFacade() override;

    std::shared_ptr<const BusinessUser> currentUser() const override;
    OrvellaSettingsManager* settings() const override;
    ConnectivityManager& connectivityManager() override;
    void connect(ConnectAPIOptions options, std::function<void(VoidResult)> completion) override;
    void logout(bool reset, std::function<void(VoidResult)> completion) override;
    std::optional<std::vector<SelectiveSyncItem>> subscriptionItems() const override;

    const OVFacadeConfiguration& configuration() const { return configuration_; }
    StorageService& service() const { return *dependencies_.service; }

private:
    OVFacadeConfiguration configuration_;
    DependencyProvider dependencies_;
    ConnectivityManager connectivity_;
    std::shared_ptr<const BusinessUser> user_;
};
