#pragma once

#include <optional>

#include "app/config/ApiProtocol.h"
#include "app/config/EndPoints.h"

// The configuration value of each `Api` case. Every brand type has the same fields; only those
// that sign in through the service's own web pages have authorize and revoke end points.
namespace ApiConfigurations {

struct AuthorizeValues {
    QString absoluteURL;
    QString uRLFragment;
    QString uRLParamResponseType;
    QString uRLParamScope;
    std::optional<QString> uRLParamRedirectURIString;
};

struct BrandValues {
    QString configurationName;
    QString apiBaseURL;
    QString clientId;
    QString clientSecret;
    QString endPointChunkSize;
    QString endPointToken;
    QString endPointTokenInfo;
    std::optional<AuthorizeValues> endPointAuthorize;
    std::optional<QString> endPointRevoke;
};

// The stored fields shared by every brand type.
class StoredConfiguration : public ApiProtocol {
public:
    using EndPointToken = AbsoluteURLEndPoint<EndPointTokenProtocol>;
    using EndPointTokenInfo = AbsoluteURLEndPoint<EndPointTokenInfoProtocol>;
    using EndPointChunkSize = AbsoluteURLEndPoint<EndPointChunkSizeProtocol>;

    QString apiBaseURL() const override { return m_values.apiBaseURL; }
    QString clientId() const override { return m_values.clientId; }
    QString clientSecret() const override { return m_values.clientSecret; }
    const EndPointTokenProtocol& endPointToken() const override { return m_token; }
    const EndPointTokenInfoProtocol& endPointTokenInfo() const override { return m_tokenInfo; }
    std::unique_ptr<EndPointAuthorizeProtocol> endPointAuthorize() const override;
    std::unique_ptr<EndPointRevokeProtocol> endPointRevoke() const override;
    const EndPointChunkSizeProtocol& endPointChunkSize() const override { return m_chunkSize; }
    QString configurationName() const override { return m_values.configurationName; }

protected:
    explicit StoredConfiguration(BrandValues values);

private:
    BrandValues m_values;
    EndPointToken m_token;
    EndPointTokenInfo m_tokenInfo;
    EndPointChunkSize m_chunkSize;
};

// Brands with the service's own sign-in pages.
class SignInConfiguration : public StoredConfiguration {
public:
    using EndPointAuthorize = AuthorizeEndPoint;
    using EndPointRevoke = AbsoluteURLEndPoint<EndPointRevokeProtocol>;

protected:
    using StoredConfiguration::StoredConfiguration;
};

struct Orvella final : SignInConfiguration { Orvella(); };
struct OrvellaStaging final : SignInConfiguration { OrvellaStaging(); };
struct Varno final : SignInConfiguration { Varno(); };
struct Brimvale final : StoredConfiguration { Brimvale(); };
struct BrimvaleStaging final : StoredConfiguration { BrimvaleStaging(); };
struct Tallmere final : SignInConfiguration { Tallmere(); };

}  // namespace ApiConfigurations
