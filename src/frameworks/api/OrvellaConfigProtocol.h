#pragma once

#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

#include "frameworks/api/OrvellaAuthenticationEndPointProtocol.h"
#include "frameworks/api/OrvellaBackgroundSessionConfiguration.h"

// Everything the REST client needs to reach one service: credentials, base URL, OAuth end points.
class OrvellaConfigProtocol {
public:
    using EndPoint = std::shared_ptr<OrvellaAuthenticationEndPointProtocol>;

    virtual ~OrvellaConfigProtocol() = default;

    virtual QString clientId() const = 0;
    virtual std::optional<QString> clientSecret() const = 0;
    virtual std::optional<OrvellaBackgroundSessionConfiguration> backgroundSessionConfiguration() const = 0;
    virtual QUrl apiBaseURL() const = 0;
    virtual EndPoint authorizeEndPoint() const = 0;
    virtual EndPoint tokenEndPoint() const = 0;
    virtual EndPoint tokenInfoEndPoint() const = 0;
    virtual EndPoint revokeEndPoint() const = 0;
};
