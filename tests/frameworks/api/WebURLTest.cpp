#include <gtest/gtest.h>

#include "frameworks/api/WebURL.h"

namespace {

struct WebURLCase {
    const char* name;
    const char* text;
    bool accepted;
    const char* host = "";
    const char* path = "";
};

class WebURLParsing : public ::testing::TestWithParam<WebURLCase> {};

TEST_P(WebURLParsing, AcceptsOnlyWebURLsWithAHost) {
    const WebURLCase& c = GetParam();
    const std::optional<QUrl> url = WebURL::parse(QString::fromUtf8(c.text));
    ASSERT_EQ(url.has_value(), c.accepted);
    if (!url) return;
    EXPECT_EQ(url->host(), QString::fromUtf8(c.host));
    EXPECT_EQ(url->path(), QString::fromUtf8(c.path));
    EXPECT_TRUE(url->scheme() == "https" || url->scheme() == "http");
}

INSTANTIATE_TEST_SUITE_P(
    WebURL, WebURLParsing,
    ::testing::Values(
        WebURLCase{"https with path", "https://api.orvella.example/2.1", true, "api.orvella.example", "/2.1"},
        WebURLCase{"http with port", "http://localhost:8080/oauth2/token", true, "localhost", "/oauth2/token"},
        WebURLCase{"upper case scheme", "HTTPS://www.orvella.example/a", true, "www.orvella.example", "/a"},
        WebURLCase{"query kept", "https://www.orvella.example/a?x=1", true, "www.orvella.example", "/a"},
        WebURLCase{"scheme only", "https://", false},
        WebURLCase{"no host", "https:///client/authorize", false},
        WebURLCase{"empty", "", false},
        WebURLCase{"no scheme", "www.orvella.example/2.1", false},
        WebURLCase{"relative path", "/oauth2/token", false},
        WebURLCase{"other scheme", "ftp://files.orvella.example/x", false},
        WebURLCase{"file URL", "file:///etc/passwd", false},
        WebURLCase{"mail address", "mailto:someone@orvella.example", false},
        WebURLCase{"blank in host", "https://www.orv ella.example/x", false},
        WebURLCase{"leading blank", " https://www.orvella.example/x", false},
        WebURLCase{"trailing newline", "https://www.orvella.example/x\n", false},
        WebURLCase{"broken IPv6 host", "https://[::1/x", false},
        WebURLCase{"bad port", "https://www.orvella.example:99999999/x", false}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (auto& ch : n) if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

}  // namespace
