#include "app/core/BusinessFacadeHolder.h"

#include <mutex>

#include "app/common/ConfigurationProvider.h"
#include "app/config/ApiConfiguration.h"
#include "app/config/EmptyCaching.h"
#include "app/core/ServiceClients.h"
#include "frameworks/business/OrvellaFacade.h"
#include "frameworks/crypto/OVCryptoManager.h"
#include "frameworks/settings/OrvellaSettingsManager.h"

namespace {

std::mutex holderMutex;
// Never released: the facade's Qt objects must not be torn down after the application object.
std::shared_ptr<BusinessFacade>& heldFacade = *new std::shared_ptr<BusinessFacade>;

QString describe(BusinessFacadeError error) {
    switch (error) {
    case BusinessFacadeError::noConfig: return QStringLiteral("BusinessFacadeError.noConfig");
    }
    return {};
}

}  // namespace

QString BusinessFacadeHolder::fatalMessage(const QString& errorDescription) {
    return QStringLiteral("Business framework cannot be setup: ") + errorDescription;
}

std::variant<std::shared_ptr<BusinessFacade>, QString> BusinessFacadeHolder::makeFacade(
    std::optional<OVAppConfig> appConfig) {
    if (!appConfig) return describe(BusinessFacadeError::noConfig);
    const QString group = infoPlistString(QStringLiteral("AppGroupIdentifier"));
    OVFacadeConfiguration configuration{*appConfig,
                                        group,
                                        std::nullopt,
                                        std::nullopt,
                                        {},
                                        100000000,
                                        infoPlistString(QStringLiteral("TokenKeychainAccount"))};
    DependencyProvider dependencies;
    dependencies.settingsManager = std::make_shared<OrvellaSettingsManager>(group, false);
    dependencies.cachingManager = std::make_shared<EmptyCachingManager>();
    dependencies.cryptoManager = std::make_shared<OVCryptoManager>();
    dependencies.client = ServiceClients::forApplication();
    try {
        return std::shared_ptr<BusinessFacade>(
            std::make_shared<OrvellaFacade>(std::move(configuration), std::move(dependencies)));
    } catch (const std::exception& error) {
        return QString::fromStdString(error.what());
    }
}

BusinessFacade& BusinessFacadeHolder::facade() {
    std::lock_guard lock(holderMutex);
    if (!heldFacade) {
        (void)sharedConfigurationProvider();
        auto made = makeFacade(makeAppConfig(OVAppConfig::App{}, Api::orvella));
        if (auto* error = std::get_if<QString>(&made)) {
            const QByteArray message = fatalMessage(*error).toUtf8();
            QMessageLogger("Orvella/BusinessFacadeHolder", 50, nullptr).fatal("%s", message.constData());
        }
        heldFacade = std::get<std::shared_ptr<BusinessFacade>>(made);
    }
    return *heldFacade;
}

void BusinessFacadeHolder::setFacadeForTesting(std::shared_ptr<BusinessFacade> facade) {
    std::lock_guard lock(holderMutex);
    heldFacade = std::move(facade);
}
