#include <gtest/gtest.h>

#include "BrandTable.h"
#include "app/config/EndPoints.h"
#include "app/config/ApiConfiguration.h"

namespace {

using EndPoint = std::shared_ptr<OrvellaAuthenticationEndPointProtocol>;

void expectPlainEndPoint(const EndPoint& endPoint, const QString& expectedURL) {
    SCOPED_TRACE(expectedURL.toStdString());
    ASSERT_NE(endPoint, nullptr);
    EXPECT_EQ(endPoint->endPointAbsoluteURL(), QUrl(expectedURL));
    EXPECT_EQ(endPoint->urlParams(), nullptr);
    EXPECT_EQ(endPoint->urlFragment(), std::nullopt);
}

class AppConfigForBrand : public ::testing::TestWithParam<BrandCase> {};

TEST_P(AppConfigForBrand, CarriesTheBrandsClientAndEndPoints) {
    const BrandCase& c = GetParam();
    const auto brand = configuration(c.api);
    const std::optional<OVAppConfig> appConfig = makeAppConfig(OVAppConfig::App::desktopClient, c.api);
    ASSERT_TRUE(appConfig.has_value());
    EXPECT_EQ(appConfig->app, OVAppConfig::App::desktopClient);
    EXPECT_EQ(appConfig->targetType, OVAppConfig::TargetType::desktop);
    EXPECT_EQ(static_cast<int>(appConfig->targetType), 2);

    const auto& config = appConfig->orvellaConfig;
    ASSERT_NE(config, nullptr);
    EXPECT_EQ(config->clientId(), brand->clientId());
    EXPECT_EQ(config->clientSecret(), brand->clientSecret());
    EXPECT_EQ(config->backgroundSessionConfiguration(), std::nullopt);
    EXPECT_EQ(config->apiBaseURL(), QUrl(brand->apiBaseURL()));

    expectPlainEndPoint(config->tokenEndPoint(), brand->endPointToken().absoluteURL());
    expectPlainEndPoint(config->tokenInfoEndPoint(), brand->endPointTokenInfo().absoluteURL());

    ASSERT_EQ(config->authorizeEndPoint() != nullptr, c.signsInThroughWebPages);
    ASSERT_EQ(config->revokeEndPoint() != nullptr, c.signsInThroughWebPages);
    if (!c.signsInThroughWebPages) return;

    expectPlainEndPoint(config->revokeEndPoint(), brand->endPointRevoke()->absoluteURL());

    const EndPoint authorize = config->authorizeEndPoint();
    EXPECT_EQ(authorize->endPointAbsoluteURL(), QUrl(brand->endPointAuthorize()->absoluteURL()));
    EXPECT_EQ(authorize->urlFragment(), "login");
    const auto params = authorize->urlParams();
    ASSERT_NE(params, nullptr);
    EXPECT_EQ(params->responseType(), "code");
    EXPECT_EQ(params->scope(), "admin,rw");
    EXPECT_EQ(params->redirectURIString().has_value(), c.hasRedirectURI);
    EXPECT_EQ(params->redirectURIString(), brand->endPointAuthorize()->uRLParamRedirectURIString());
    EXPECT_EQ(params->claims(), std::nullopt);
    EXPECT_EQ(params->additionalParams(), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(MakeAppConfig, AppConfigForBrand, ::testing::ValuesIn(brandTable()),
                         [](const auto& info) { return brandCaseName(info.param); });

TEST(MakeAppConfigTest, PassesTheApplicationThrough) {
    for (const auto app : {OVAppConfig::App::desktopClient, OVAppConfig::App::mobileClient,
                           OVAppConfig::App::webClient}) {
        SCOPED_TRACE(static_cast<int>(app));
        const auto appConfig = makeAppConfig(app, Api::orvella);
        ASSERT_TRUE(appConfig.has_value());
        EXPECT_EQ(appConfig->app, app);
        EXPECT_EQ(appConfig->targetType, OVAppConfig::TargetType::desktop);
    }
}

// A brand whose addresses a test can spoil one at a time.
class FakeApi final : public ApiProtocol {
public:
    QString base = QStringLiteral("https://api.test.example/2.1");
    AbsoluteURLEndPoint<EndPointTokenProtocol> token{QStringLiteral("https://www.test.example/oauth2/token")};
    AbsoluteURLEndPoint<EndPointTokenInfoProtocol> tokenInfo{QStringLiteral("https://www.test.example/oauth2/tokeninfo")};
    QString authorize = QStringLiteral("https://www.test.example/client/authorize");
    QString revoke = QStringLiteral("https://www.test.example/oauth2/revoke");
    AbsoluteURLEndPoint<EndPointChunkSizeProtocol> chunk{QStringLiteral("https://static.test.example/c.json")};

    QString apiBaseURL() const override { return base; }
    QString clientId() const override { return QStringLiteral("id"); }
    QString clientSecret() const override { return QStringLiteral("secret"); }
    const EndPointTokenProtocol& endPointToken() const override { return token; }
    const EndPointTokenInfoProtocol& endPointTokenInfo() const override { return tokenInfo; }
    std::unique_ptr<EndPointAuthorizeProtocol> endPointAuthorize() const override {
        return std::make_unique<AuthorizeEndPoint>(authorize, "login", "code", "admin,rw", std::nullopt);
    }
    std::unique_ptr<EndPointRevokeProtocol> endPointRevoke() const override {
        return std::make_unique<AbsoluteURLEndPoint<EndPointRevokeProtocol>>(revoke);
    }
    const EndPointChunkSizeProtocol& endPointChunkSize() const override { return chunk; }
    QString configurationName() const override { return QStringLiteral("Fake"); }
};

TEST(MakeAppConfigTest, ABaseURLThatIsNoWebURLGivesNoConfiguration) {
    for (const char* base : {"", "https://", "/2.1", "api.test.example/2.1", "ftp://api.test.example/2.1",
                             "https://api test.example/2.1", "https://[::1/2.1"}) {
        SCOPED_TRACE(base);
        FakeApi api;
        api.base = QString::fromUtf8(base);
        EXPECT_EQ(makeAppConfig(OVAppConfig::App::desktopClient, api), std::nullopt);
    }
    EXPECT_NE(makeAppConfig(OVAppConfig::App::desktopClient, FakeApi{}), std::nullopt);
}

TEST(MakeAppConfigTest, ABadEndPointAddressLeavesOnlyThatEndPointOut) {
    const struct {
        const char* name;
        void (*spoil)(FakeApi&, const QString&);
        EndPoint (OrvellaConfigProtocol::*endPoint)() const;
    } cases[] = {
        {"token", [](FakeApi& a, const QString& s) { a.token = AbsoluteURLEndPoint<EndPointTokenProtocol>(s); },
         &OrvellaConfigProtocol::tokenEndPoint},
        {"token info",
         [](FakeApi& a, const QString& s) { a.tokenInfo = AbsoluteURLEndPoint<EndPointTokenInfoProtocol>(s); },
         &OrvellaConfigProtocol::tokenInfoEndPoint},
        {"authorize", [](FakeApi& a, const QString& s) { a.authorize = s; }, &OrvellaConfigProtocol::authorizeEndPoint},
        {"revoke", [](FakeApi& a, const QString& s) { a.revoke = s; }, &OrvellaConfigProtocol::revokeEndPoint},
    };
    const auto all = {&OrvellaConfigProtocol::tokenEndPoint, &OrvellaConfigProtocol::tokenInfoEndPoint,
                      &OrvellaConfigProtocol::authorizeEndPoint, &OrvellaConfigProtocol::revokeEndPoint};
    for (const auto& c : cases) {
        for (const char* bad : {"https://", "www.test.example/x", "https://www.test .example/x"}) {
            SCOPED_TRACE(std::string(c.name) + " = " + bad);
            FakeApi api;
            c.spoil(api, QString::fromUtf8(bad));
            const auto appConfig = makeAppConfig(OVAppConfig::App::desktopClient, api);
            ASSERT_TRUE(appConfig.has_value());
            const OrvellaConfigProtocol& config = *appConfig->orvellaConfig;
            for (const auto endPoint : all)
                EXPECT_EQ((config.*endPoint)() == nullptr, endPoint == c.endPoint);
        }
    }
}

}  // namespace
