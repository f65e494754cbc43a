#pragma once

#include <QString>

#include <optional>

// The end points of a brand configuration as plain texts; they become URLs only when the REST
// client's configuration is built from them.

class EndPointAbsoluteURLProtocol {
public:
    virtual ~EndPointAbsoluteURLProtocol() = default;
    virtual QString absoluteURL() const = 0;
};

class EndPointTokenProtocol : public EndPointAbsoluteURLProtocol {};
class EndPointTokenInfoProtocol : public EndPointAbsoluteURLProtocol {};
class EndPointRevokeProtocol : public EndPointAbsoluteURLProtocol {};
class EndPointChunkSizeProtocol : public EndPointAbsoluteURLProtocol {};

// Deliberately not an EndPointAbsoluteURLProtocol: building a plain end point from an authorize
// end point would silently drop its parameters.
class EndPointAuthorizeProtocol {
public:
    virtual ~EndPointAuthorizeProtocol() = default;
    virtual QString absoluteURL() const = 0;
    virtual QString uRLFragment() const = 0;
    virtual std::optional<QString> uRLParamRedirectURIString() const = 0;
    virtual QString uRLParamResponseType() const = 0;
    virtual QString uRLParamScope() const = 0;
};
