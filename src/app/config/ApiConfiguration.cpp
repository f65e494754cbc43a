#include "app/config/ApiConfiguration.h"

#include <QLoggingCategory>

#include "frameworks/api/OrvellaAuthenticationURLParams.h"
#include "frameworks/api/OrvellaConfig.h"
#include "frameworks/api/WebURL.h"

namespace {

Q_LOGGING_CATEGORY(lcConfig, "orvella.config")

std::optional<QUrl> endPointURL(const QString& text) {
    std::optional<QUrl> url = WebURL::parse(text);
    if (!url) qCWarning(lcConfig) << "End point left out, its address is not a web URL:" << text;
    return url;
}

}  // namespace

std::optional<OVAppConfig> makeAppConfig(OVAppConfig::App app, Api api) {
    return makeAppConfig(app, *configuration(api));
}

std::optional<OVAppConfig> makeAppConfig(OVAppConfig::App app, const ApiProtocol& api) {
    const std::optional<QUrl> baseURL = WebURL::parse(api.apiBaseURL());
    if (!baseURL) {
        qCWarning(lcConfig) << "No configuration for" << api.configurationName()
                            << "- its API base URL is not a web URL:" << api.apiBaseURL();
        return std::nullopt;
    }

    std::shared_ptr<OrvellaAuthenticationEndPoint> authorize;
    if (const auto value = api.endPointAuthorize()) authorize = makeAuthorizeEndPoint(*value);
    std::shared_ptr<OrvellaAuthenticationEndPoint> revoke;
    if (const auto value = api.endPointRevoke()) revoke = makeEndPoint(*value);

    auto config = std::make_shared<OrvellaConfig>(api.clientId(), api.clientSecret(), std::nullopt, *baseURL,
                                                  std::move(authorize), makeEndPoint(api.endPointToken()),
                                                  makeEndPoint(api.endPointTokenInfo()), std::move(revoke));
    return OVAppConfig(app, OVAppConfig::TargetType::desktop, std::move(config));
}

std::shared_ptr<OrvellaAuthenticationEndPoint> makeAuthorizeEndPoint(const EndPointAuthorizeProtocol& from) {
    const std::optional<QUrl> url = endPointURL(from.absoluteURL());
    if (!url) return nullptr;
    std::shared_ptr<OrvellaAuthenticationEndPoint> endPoint = OrvellaAuthenticationEndPoint::init();
    endPoint->setEndPointAbsoluteURL(*url);
    endPoint->setUrlParams(std::make_shared<OrvellaAuthenticationURLParams>(
        from.uRLParamResponseType(), from.uRLParamScope(), from.uRLParamRedirectURIString()));
    endPoint->setUrlFragment(from.uRLFragment());
    return endPoint;
}

std::shared_ptr<OrvellaAuthenticationEndPoint> makeEndPoint(const EndPointAbsoluteURLProtocol& from) {
    const std::optional<QUrl> url = endPointURL(from.absoluteURL());
    if (!url) return nullptr;
    std::shared_ptr<OrvellaAuthenticationEndPoint> endPoint = OrvellaAuthenticationEndPoint::init();
    endPoint->setEndPointAbsoluteURL(*url);
    return endPoint;
}
