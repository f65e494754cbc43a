#pragma once

#include <memory>
#include <optional>

#include "app/config/Api.h"
#include "app/config/OrvellaAuthenticationEndPoint.h"
#include "frameworks/api/OVAppConfig.h"

// The business framework's configuration for one brand: none when the brand's API base URL is
// not an http(s) URL with a host. An end point whose address is not one is left out (and logged);
// the configuration is still built.
std::optional<OVAppConfig> makeAppConfig(OVAppConfig::App app, Api api);
std::optional<OVAppConfig> makeAppConfig(OVAppConfig::App app, const ApiProtocol& api);

// An authorize end point with its OAuth parameters and fragment; null when the address is bad.
std::shared_ptr<OrvellaAuthenticationEndPoint> makeAuthorizeEndPoint(const EndPointAuthorizeProtocol& from);

// A token, token-information or revoke end point: the address alone; null when it is bad.
std::shared_ptr<OrvellaAuthenticationEndPoint> makeEndPoint(const EndPointAbsoluteURLProtocol& from);
