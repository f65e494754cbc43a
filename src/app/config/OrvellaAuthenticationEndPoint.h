#pragma once

#include <QVariantMap>

#include <memory>
#include <optional>

#include "frameworks/api/OrvellaAuthenticationEndPointProtocol.h"

// The application's OAuth end point handed to the REST client.
class OrvellaAuthenticationEndPoint final : public OrvellaAuthenticationEndPointProtocol {
public:
    using URLParams = std::shared_ptr<const OrvellaAuthenticationURLParamsProtocol>;

    // An end point without address, parameters or fragment, for the caller to fill in. It does
    // not fail: an address is only ever set from a URL that has already been checked.
    static std::unique_ptr<OrvellaAuthenticationEndPoint> init();

    // An end point described by a dictionary: "AbsoluteURL" (required, a string holding an
    // http(s) URL with a host), "URLFragment", and the parameters "URLParamResponseType",
    // "URLParamScope", "URLParamRedirectURIString", "URLParamClaims", "URLParamDisplay",
    // "URLParamPrompt". Null for a missing or empty dictionary or a missing or bad address;
    // wrongly typed optional keys count as absent.
    static std::unique_ptr<OrvellaAuthenticationEndPoint> init(const std::optional<QVariantMap>& dictionary);

    QUrl endPointAbsoluteURL() const override { return m_endPointAbsoluteURL; }
    URLParams urlParams() const override { return m_urlParams; }
    std::optional<QString> urlFragment() const override { return m_urlFragment; }

    void setEndPointAbsoluteURL(QUrl url) { m_endPointAbsoluteURL = std::move(url); }
    void setUrlParams(URLParams params) { m_urlParams = std::move(params); }
    void setUrlFragment(std::optional<QString> fragment) { m_urlFragment = std::move(fragment); }

private:
    OrvellaAuthenticationEndPoint() = default;

    QUrl m_endPointAbsoluteURL;
    URLParams m_urlParams;
    std::optional<QString> m_urlFragment;
};
