#include "frameworks/business/OrvellaFacade.h"

#include "frameworks/settings/OrvellaSettingsManager.h"
#include "service/StorageService.h"

namespace {
std::shared_ptr<StorageService> serviceOrShared(const std::shared_ptr<StorageService>& service) {
    return service ? service : StorageService::shared();
}
}  // namespace

OrvellaFacade::OrvellaFacade(OVFacadeConfiguration configuration, DependencyProvider dependencies)
    : configuration_(std::move(configuration)),
      dependencies_([&] {
          dependencies.service = serviceOrShared(dependencies.service);
          return std::move(dependencies);
      }()),
      connectivity_([service = dependencies_.service] { return service->isReachable(); }) {
    if (!dependencies_.settingsManager) throw FacadeSetupError("No settings manager");
    if (!dependencies_.service->ensureCreated())
        throw FacadeSetupError("Cannot create the service storage at " + dependencies_.service->root().toStdString());
}

OrvellaFacade::~OrvellaFacade() = default;

std::shared_ptr<const BusinessUser> OrvellaFacade::currentUser() const { return user_; }

OrvellaSettingsManager* OrvellaFacade::settings() const { return dependencies_.settingsManager.get(); }

ConnectivityManager& OrvellaFacade::connectivityManager() { return connectivity_; }

void OrvellaFacade::connect(ConnectAPIOptions, std::function<void(VoidResult)> completion) {
    // Until a user signs in there is no session to connect.
    VoidResult result = !connectivity_.isConnected()
                            ? VoidResult(BusinessError::make(BusinessError::Kind::noConnection))
                            : user_ ? VoidResult(Success{})
                                    : VoidResult(BusinessError::make(BusinessError::Kind::invalidSession));
    if (completion) completion(result);
}

void OrvellaFacade::logout(bool, std::function<void(VoidResult)> completion) {
    user_.reset();
    if (completion) completion(VoidResult(Success{}));
}

std::optional<std::vector<SelectiveSyncItem>> OrvellaFacade::subscriptionItems() const { return std::nullopt; }
