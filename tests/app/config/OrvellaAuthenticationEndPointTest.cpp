#include <gtest/gtest.h>

#include "app/config/OrvellaAuthenticationEndPoint.h"

namespace {

struct Params {
    QString responseType;
    QString scope;
    std::optional<QString> redirectURIString;
    std::optional<QString> claims;
    QVariantMap additionalParams;
};

struct DictionaryCase {
    const char* name;
    std::optional<QVariantMap> dictionary;
    std::optional<QString> url;  // none: the initializer fails
    std::optional<QString> fragment = std::nullopt;
    std::optional<Params> params = std::nullopt;
};

const QString kURL = QStringLiteral("https://www.orvella.example/client/authorize");

QVariantMap withURL(QVariantMap more) {
    more.insert(QStringLiteral("AbsoluteURL"), kURL);
    return more;
}

class EndPointFromDictionary : public ::testing::TestWithParam<DictionaryCase> {};

TEST_P(EndPointFromDictionary, ReadsWhatIsThereAndRejectsABadAddress) {
    const DictionaryCase& c = GetParam();
    const auto endPoint = OrvellaAuthenticationEndPoint::init(c.dictionary);
    ASSERT_EQ(endPoint != nullptr, c.url.has_value());
    if (!endPoint) return;
    EXPECT_EQ(endPoint->endPointAbsoluteURL(), QUrl(*c.url));
    EXPECT_EQ(endPoint->urlFragment(), c.fragment);
    const auto params = endPoint->urlParams();
    ASSERT_EQ(params != nullptr, c.params.has_value());
    if (!params) return;
    EXPECT_EQ(params->responseType(), c.params->responseType);
    EXPECT_EQ(params->scope(), c.params->scope);
    EXPECT_EQ(params->redirectURIString(), c.params->redirectURIString);
    EXPECT_EQ(params->claims(), c.params->claims);
    EXPECT_EQ(params->additionalParams(), c.params->additionalParams);
}

INSTANTIATE_TEST_SUITE_P(
    OrvellaAuthenticationEndPoint, EndPointFromDictionary,
    ::testing::Values(
        DictionaryCase{"missing dictionary", std::nullopt, std::nullopt},
        DictionaryCase{"empty dictionary", QVariantMap{}, std::nullopt},
        DictionaryCase{"no address", QVariantMap{{"URLFragment", "login"}}, std::nullopt},
        DictionaryCase{"address is a number", QVariantMap{{"AbsoluteURL", 42}}, std::nullopt},
        DictionaryCase{"address is a URL object", QVariantMap{{"AbsoluteURL", QUrl(kURL)}}, std::nullopt},
        DictionaryCase{"address does not parse", QVariantMap{{"AbsoluteURL", "https://www.orv ella.example/"}},
                       std::nullopt},
        DictionaryCase{"address without host", QVariantMap{{"AbsoluteURL", "https://"}}, std::nullopt},
        DictionaryCase{"address without scheme", QVariantMap{{"AbsoluteURL", "www.orvella.example/x"}}, std::nullopt},
        DictionaryCase{"address only", withURL({}), kURL},
        DictionaryCase{"fragment", withURL({{"URLFragment", "login"}}), kURL, "login"},
        DictionaryCase{"fragment typed wrong", withURL({{"URLFragment", 7}}), kURL},
        DictionaryCase{"scope without response type", withURL({{"URLParamScope", "admin,rw"}}), kURL},
        DictionaryCase{"response type without scope", withURL({{"URLParamResponseType", "code"}}), kURL},
        DictionaryCase{"scope typed wrong",
                       withURL({{"URLParamScope", QStringList{"admin"}}, {"URLParamResponseType", "code"}}), kURL},
        DictionaryCase{"bare parameters", withURL({{"URLParamScope", "admin,rw"}, {"URLParamResponseType", "code"}}),
                       kURL, std::nullopt, Params{"code", "admin,rw", std::nullopt, std::nullopt, {}}},
        DictionaryCase{"all parameters",
                       withURL({{"URLFragment", "login"},
                                {"URLParamScope", "admin,rw"},
                                {"URLParamResponseType", "code"},
                                {"URLParamRedirectURIString", "https://developer.orvella.example/login/alpha"},
                                {"URLParamClaims", "{\"id_token\":null}"},
                                {"URLParamDisplay", "popup"},
                                {"URLParamPrompt", "consent"}}),
                       kURL, "login",
                       Params{"code", "admin,rw", "https://developer.orvella.example/login/alpha",
                              "{\"id_token\":null}", {{"display", "popup"}, {"prompt", "consent"}}}},
        DictionaryCase{"prompt as number kept",
                       withURL({{"URLParamScope", "s"}, {"URLParamResponseType", "t"}, {"URLParamPrompt", 1}}), kURL,
                       std::nullopt, Params{"t", "s", std::nullopt, std::nullopt, {{"prompt", 1}}}},
        DictionaryCase{"display alone",
                       withURL({{"URLParamScope", "s"}, {"URLParamResponseType", "t"}, {"URLParamDisplay", true}}),
                       kURL, std::nullopt, Params{"t", "s", std::nullopt, std::nullopt, {{"display", true}}}},
        DictionaryCase{"redirect and claims typed wrong",
                       withURL({{"URLParamScope", "s"},
                                {"URLParamResponseType", "t"},
                                {"URLParamRedirectURIString", QUrl(kURL)},
                                {"URLParamClaims", 3}}),
                       kURL, std::nullopt, Params{"t", "s", std::nullopt, std::nullopt, {}}},
        DictionaryCase{"display ignored without parameters", withURL({{"URLParamDisplay", "popup"}}), kURL}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (auto& ch : n) if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

TEST(OrvellaAuthenticationEndPointTest, PlainInitializerGivesAnEmptyEndPointToFillIn) {
    const auto endPoint = OrvellaAuthenticationEndPoint::init();
    ASSERT_NE(endPoint, nullptr);
    EXPECT_TRUE(endPoint->endPointAbsoluteURL().isEmpty());
    EXPECT_EQ(endPoint->urlParams(), nullptr);
    EXPECT_EQ(endPoint->urlFragment(), std::nullopt);
}

}  // namespace
