#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

#include "frameworks/api/OVAppConfig.h"

class CachingManager;
class OrvellaSettingsManager;
class OVCryptoManager;
class ServiceClient;
class StorageService;

struct OVFacadeConfiguration {
    OVAppConfig appConfiguration;
    QString userDefaultsGroup;
    std::optional<QString> externalIDMConfig;
    std::optional<double> cacheLifeTime;
    QStringList urlProtocols;
    std::int64_t minimumFreeDiskSpace = 0;
    QString tokenKeychainAccount;
};

// What the facade is built from besides its configuration.
struct DependencyProvider {
    std::shared_ptr<OrvellaSettingsManager> settingsManager;
    std::shared_ptr<CachingManager> cachingManager;
    std::shared_ptr<OVCryptoManager> cryptoManager;
    // How the facade reaches the service; when empty, the service's own objects in this process.
    std::shared_ptr<ServiceClient> client;
    // The service in this process the facade then reaches; the process-wide one when empty.
    std::shared_ptr<StorageService> service;
};
