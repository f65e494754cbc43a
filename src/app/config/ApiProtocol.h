#pragma once

#include <QString>

#include <memory>

#include "app/config/EndPointProtocols.h"

// One brand or environment of the service: its API host, OAuth client and end points.
class ApiProtocol {
public:
    virtual ~ApiProtocol() = default;

    virtual QString apiBaseURL() const = 0;
    virtual QString clientId() const = 0;
    virtual QString clientSecret() const = 0;
    virtual const EndPointTokenProtocol& endPointToken() const = 0;
    virtual const EndPointTokenInfoProtocol& endPointTokenInfo() const = 0;
    // A fresh end point on every call; none for brands that sign in elsewhere.
    virtual std::unique_ptr<EndPointAuthorizeProtocol> endPointAuthorize() const = 0;
    virtual std::unique_ptr<EndPointRevokeProtocol> endPointRevoke() const = 0;
    // The JSON document with the upload chunk sizes, read by the sync engine.
    virtual const EndPointChunkSizeProtocol& endPointChunkSize() const = 0;
    virtual QString configurationName() const = 0;
};
