#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

// The OAuth query parameters of an authorize request.
class OrvellaAuthenticationURLParamsProtocol {
public:
    virtual ~OrvellaAuthenticationURLParamsProtocol() = default;

    virtual QString responseType() const = 0;
    virtual QString scope() const = 0;
    virtual std::optional<QString> redirectURIString() const = 0;
    virtual std::optional<QString> claims() const = 0;
    // Further parameters by name ("display", "prompt", ...); values of any type.
    virtual std::optional<QVariantMap> additionalParams() const = 0;
};
