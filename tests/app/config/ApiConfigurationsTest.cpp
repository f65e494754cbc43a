#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>

#include "app/config/Api.h"
#include "BrandTable.h"
#include "frameworks/api/WebURL.h"

namespace {

// An https URL with a host and exactly this path.
void expectHttpsURL(const QString& text, const char* path) {
    SCOPED_TRACE(text.toStdString());
    const std::optional<QUrl> url = WebURL::parse(text);
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->scheme(), "https");
    EXPECT_EQ(url->path(), path);
    EXPECT_FALSE(url->hasQuery());
    EXPECT_FALSE(url->hasFragment());
}

QString host(const QString& text) { return QUrl(text).host(); }

class BrandConfiguration : public ::testing::TestWithParam<BrandCase> {};

TEST_P(BrandConfiguration, FollowsTheBrandRules) {
    const BrandCase& c = GetParam();
    EXPECT_EQ(static_cast<int>(c.api), c.ordinal);
    EXPECT_EQ(allApis.at(c.ordinal), c.api);

    const auto config = configuration(c.api);
    ASSERT_NE(config, nullptr);
    EXPECT_EQ(config->configurationName(), c.configurationName);

    expectHttpsURL(config->apiBaseURL(), "/2.1");
    static const QRegularExpression hex32(QStringLiteral("^[0-9a-f]{32}$"));
    EXPECT_TRUE(hex32.match(config->clientId()).hasMatch()) << config->clientId().toStdString();
    EXPECT_TRUE(hex32.match(config->clientSecret()).hasMatch()) << config->clientSecret().toStdString();
    EXPECT_NE(config->clientId(), config->clientSecret());

    const QString token = config->endPointToken().absoluteURL();
    expectHttpsURL(token, "/oauth2/token");
    expectHttpsURL(config->endPointTokenInfo().absoluteURL(), "/oauth2/tokeninfo");
    EXPECT_EQ(host(config->endPointTokenInfo().absoluteURL()), host(token));
    EXPECT_NE(host(token), host(config->apiBaseURL()));
    expectHttpsURL(config->endPointChunkSize().absoluteURL(), "/macos/chunksize.json");

    const auto authorize = config->endPointAuthorize();
    const auto revoke = config->endPointRevoke();
    ASSERT_EQ(authorize != nullptr, c.signsInThroughWebPages);
    ASSERT_EQ(revoke != nullptr, c.signsInThroughWebPages);
    if (!authorize) return;

    expectHttpsURL(authorize->absoluteURL(), "/client/authorize");
    EXPECT_EQ(authorize->uRLFragment(), "login");
    EXPECT_EQ(authorize->uRLParamResponseType(), "code");
    EXPECT_EQ(authorize->uRLParamScope(), "admin,rw");
    ASSERT_EQ(authorize->uRLParamRedirectURIString().has_value(), c.hasRedirectURI);
    if (c.hasRedirectURI) expectHttpsURL(*authorize->uRLParamRedirectURIString(), "/login/alpha");

    expectHttpsURL(revoke->absoluteURL(), "/oauth2/revoke");
    EXPECT_EQ(host(revoke->absoluteURL()), host(token));
}

INSTANTIATE_TEST_SUITE_P(Api, BrandConfiguration, ::testing::ValuesIn(brandTable()),
                         [](const auto& info) { return brandCaseName(info.param); });

TEST(ApiTest, BrandsShareOnlyTheChunkSizeDocument) {
    ASSERT_EQ(brandTable().size(), allApis.size());
    QSet<QString> chunkSizes, apiHosts, webHosts, clientIds;
    for (const Api api : allApis) {
        const auto config = configuration(api);
        SCOPED_TRACE(config->configurationName().toStdString());
        chunkSizes.insert(config->endPointChunkSize().absoluteURL());
        EXPECT_FALSE(apiHosts.contains(host(config->apiBaseURL())));
        apiHosts.insert(host(config->apiBaseURL()));
        EXPECT_FALSE(webHosts.contains(host(config->endPointToken().absoluteURL())));
        webHosts.insert(host(config->endPointToken().absoluteURL()));
        EXPECT_FALSE(clientIds.contains(config->clientId()));
        clientIds.insert(config->clientId());
    }
    EXPECT_EQ(chunkSizes.size(), 1);
}

}  // namespace
