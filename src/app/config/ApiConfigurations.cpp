#include "app/config/ApiConfigurations.h"

#include <utility>

namespace ApiConfigurations {

namespace {

// One document for every brand: the chunk sizes are a property of the sync engine, not of a brand.
const QString kChunkSize = QStringLiteral("https://static.orvella.example/macos/chunksize.json");

AuthorizeValues signInPage(const QString& host, std::optional<QString> redirectURI = std::nullopt) {
    return {.absoluteURL = host + QStringLiteral("/client/authorize"),
            .uRLFragment = QStringLiteral("login"),
            .uRLParamResponseType = QStringLiteral("code"),
            .uRLParamScope = QStringLiteral("admin,rw"),
            .uRLParamRedirectURIString = std::move(redirectURI)};
}

}  // namespace

StoredConfiguration::StoredConfiguration(BrandValues values)
    : m_values(std::move(values)),
      m_token(m_values.endPointToken),
      m_tokenInfo(m_values.endPointTokenInfo),
      m_chunkSize(m_values.endPointChunkSize) {}

std::unique_ptr<EndPointAuthorizeProtocol> StoredConfiguration::endPointAuthorize() const {
    if (!m_values.endPointAuthorize) return nullptr;
    const AuthorizeValues& a = *m_values.endPointAuthorize;
    return std::make_unique<AuthorizeEndPoint>(a.absoluteURL, a.uRLFragment, a.uRLParamResponseType,
                                               a.uRLParamScope, a.uRLParamRedirectURIString);
}

std::unique_ptr<EndPointRevokeProtocol> StoredConfiguration::endPointRevoke() const {
    if (!m_values.endPointRevoke) return nullptr;
    return std::make_unique<AbsoluteURLEndPoint<EndPointRevokeProtocol>>(*m_values.endPointRevoke);
}

Orvella::Orvella()
    : SignInConfiguration({
          .configurationName = QStringLiteral("Orvella"),
          .apiBaseURL = QStringLiteral("https://api.orvella.example/2.1"),
          .clientId = QStringLiteral("5b0e2c9d7a41f3e8b6d0c2a9e7f14b3d"),
          .clientSecret = QStringLiteral("c3a7e1f90b5d2c48e6a1f7d3b9c0e2a5"),
          .endPointChunkSize = kChunkSize,
          .endPointToken = QStringLiteral("https://www.orvella.example/oauth2/token"),
          .endPointTokenInfo = QStringLiteral("https://www.orvella.example/oauth2/tokeninfo"),
          .endPointAuthorize = signInPage(QStringLiteral("https://www.orvella.example")),
          .endPointRevoke = QStringLiteral("https://www.orvella.example/oauth2/revoke"),
      }) {}

OrvellaStaging::OrvellaStaging()
    : SignInConfiguration({
          .configurationName = QStringLiteral("OrvellaStaging"),
          .apiBaseURL = QStringLiteral("https://api-ft.staging.orvella.example/2.1"),
          .clientId = QStringLiteral("9e4f1a7c2d8b0e5f3a6c9d1b7e2f4a08"),
          .clientSecret = QStringLiteral("1d7b3e9f5a2c8e0d4b6f1a3c7e9d5b21"),
          .endPointChunkSize = kChunkSize,
          .endPointToken = QStringLiteral("https://www-rt.staging.orvella.example/oauth2/token"),
          .endPointTokenInfo = QStringLiteral("https://www-rt.staging.orvella.example/oauth2/tokeninfo"),
          .endPointAuthorize = signInPage(QStringLiteral("https://app.staging.orvella.example"),
                                          QStringLiteral("https://developer.orvella.example/login/alpha")),
          .endPointRevoke = QStringLiteral("https://www-rt.staging.orvella.example/oauth2/revoke"),
      }) {}

Varno::Varno()
    : SignInConfiguration({
          .configurationName = QStringLiteral("Varno"),
          .apiBaseURL = QStringLiteral("https://api.varno.example/2.1"),
          .clientId = QStringLiteral("a8c2e4f6b0d1e3a5c7f9b2d4e6a8c0f1"),
          .clientSecret = QStringLiteral("47e9b1d3f5a7c9e2b4d6f8a0c1e3b5d7"),
          .endPointChunkSize = kChunkSize,
          .endPointToken = QStringLiteral("https://www.varno.example/oauth2/token"),
          .endPointTokenInfo = QStringLiteral("https://www.varno.example/oauth2/tokeninfo"),
          .endPointAuthorize = signInPage(QStringLiteral("https://www.varno.example")),
          .endPointRevoke = QStringLiteral("https://www.varno.example/oauth2/revoke"),
      }) {}

Brimvale::Brimvale()
    : StoredConfiguration({
          .configurationName = QStringLiteral("Brimvale"),
          .apiBaseURL = QStringLiteral("https://api.brimvale.example/2.1"),
          .clientId = QStringLiteral("e2b8d4f0a6c1e7b3d9f5a2c8e4b0d6f3"),
          .clientSecret = QStringLiteral("0f6a2d8c4e1b7f3a9d5c2e8b4f0a6d1c"),
          .endPointChunkSize = kChunkSize,
          .endPointToken = QStringLiteral("https://www.brimvale.example/oauth2/token"),
          .endPointTokenInfo = QStringLiteral("https://www.brimvale.example/oauth2/tokeninfo"),
          .endPointAuthorize = std::nullopt,
          .endPointRevoke = std::nullopt,
      }) {}

BrimvaleStaging::BrimvaleStaging()
    : StoredConfiguration({
          .configurationName = QStringLiteral("BrimvaleStaging"),
          .apiBaseURL = QStringLiteral("https://api-brimvale.staging.orvella.example/2.1"),
          .clientId = QStringLiteral("6c1e9a3f7b5d2e8c0a4f6b1d9e3c7a25"),
          .clientSecret = QStringLiteral("b5f3d1a9e7c2b8f4d0a6e3c9b1f7d5a4"),
          .endPointChunkSize = kChunkSize,
          .endPointToken = QStringLiteral("https://www-brimvale.staging.orvella.example/oauth2/token"),
          .endPointTokenInfo = QStringLiteral("https://www-brimvale.staging.orvella.example/oauth2/tokeninfo"),
          .endPointAuthorize = std::nullopt,
          .endPointRevoke = std::nullopt,
      }) {}

Tallmere::Tallmere()
    : SignInConfiguration({
          .configurationName = QStringLiteral("Tallmere"),
          .apiBaseURL = QStringLiteral("https://api.tallmere.example/2.1"),
          .clientId = QStringLiteral("3a9f5c1e7d2b8a4f0c6e9d3b5a1f7c82"),
          .clientSecret = QStringLiteral("d8e0b6f2a4c9e1d7b3f5a8c2e6d0b4f9"),
          .endPointChunkSize = kChunkSize,
          .endPointToken = QStringLiteral("https://www.tallmere.example/oauth2/token"),
          .endPointTokenInfo = QStringLiteral("https://www.tallmere.example/oauth2/tokeninfo"),
          .endPointAuthorize = signInPage(QStringLiteral("https://www.tallmere.example")),
          .endPointRevoke = QStringLiteral("https://www.tallmere.example/oauth2/revoke"),
      }) {}

}  // namespace ApiConfigurations
