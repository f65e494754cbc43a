#pragma once

#include <memory>
#include <utility>

#include "frameworks/api/OrvellaConfigProtocol.h"

// The business framework's view of one application: which product it is, on what kind of
// device it runs, and how its REST client is configured.
struct OVAppConfig {
    enum class App { desktopClient, mobileClient, webClient };
    enum class TargetType { phone, tablet, desktop };

    OVAppConfig(App app, TargetType targetType, std::shared_ptr<const OrvellaConfigProtocol> orvellaConfig)
        : app(app), targetType(targetType), orvellaConfig(std::move(orvellaConfig)) {}

    App app;
    TargetType targetType;
    std::shared_ptr<const OrvellaConfigProtocol> orvellaConfig;
};
