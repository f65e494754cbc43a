#pragma once

#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

#include "frameworks/api/OrvellaAuthenticationURLParamsProtocol.h"

// One OAuth end point as the REST client uses it: where to go, and for an authorize request the
// query parameters and the fragment to add.
class OrvellaAuthenticationEndPointProtocol {
public:
    virtual ~OrvellaAuthenticationEndPointProtocol() = default;

    virtual QUrl endPointAbsoluteURL() const = 0;
    virtual std::shared_ptr<const OrvellaAuthenticationURLParamsProtocol> urlParams() const = 0;
    virtual std::optional<QString> urlFragment() const = 0;
};
