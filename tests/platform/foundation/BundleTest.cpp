#include <gtest/gtest.h>

#include "platform/foundation/Bundle.h"

namespace {

struct StringsCase {
    const char* name;
    const char* data;
    QHash<QString, QString> expected;
};

class StringsParsing : public ::testing::TestWithParam<StringsCase> {};

TEST_P(StringsParsing, ParsesEntriesAndSkipsMalformedOnes) {
    EXPECT_EQ(Bundle::parseStrings(GetParam().data), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bundle, StringsParsing,
    ::testing::Values(
        StringsCase{"plain", R"("A.B" = "Text";)", {{"A.B", "Text"}}},
        StringsCase{"comments", "/* c */ \"A\" = \"1\"; // x\n\"B\"=\"2\";", {{"A", "1"}, {"B", "2"}}},
        StringsCase{"escapes", R"("A" = "say \"hi\"\n\u00e9";)", {{"A", QString::fromUtf8("say \"hi\"\n\xc3\xa9")}}},
        StringsCase{"missing semicolon drops entry", R"("A" = "1" "B" = "2";)", {}},
        StringsCase{"garbage before entry", R"(junk; "A" = "1";)", {{"A", "1"}}},
        StringsCase{"unterminated string", R"("A" = "1)", {}},
        StringsCase{"utf8 text", "\"K\" = \"\xc3\xbc" "ber\";", {{"K", QString::fromUtf8("\xc3\xbc" "ber")}}}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (auto& c : n) if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

TEST(BundleTest, LookupFallsBackToValueThenKey) {
    Bundle b;
    b.setStringsTable({}, {{"Known", "Text"}});
    EXPECT_EQ(b.localizedString("Known"), "Text");
    EXPECT_EQ(b.localizedString("Missing"), "Missing");
    EXPECT_EQ(b.localizedString("Missing", "Fallback"), "Fallback");
    EXPECT_EQ(b.localizedString("Known", {}, "Other"), "Known");
}

TEST(BundleTest, InfoJsonRejectsNonObjects) {
    Bundle b;
    EXPECT_TRUE(b.setInfoJson(R"({"A": "x", "N": 3})"));
    EXPECT_EQ(b.object("A").toString(), "x");
    EXPECT_FALSE(b.setInfoJson("[1,2]"));
    EXPECT_FALSE(b.setInfoJson("{"));
    EXPECT_EQ(b.object("A").toString(), "x");
    EXPECT_FALSE(b.object("Missing").isValid());
}

}  // namespace
