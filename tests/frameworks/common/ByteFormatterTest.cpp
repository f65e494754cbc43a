#include <gtest/gtest.h>

#include <limits>

#include "frameworks/common/ByteFormatter.h"

namespace {

struct ByteCase {
    const char* name;
    qint64 bytes;
    ByteFormatter::CountStyle style;
    const char* expected;
};

class ByteFormatting : public ::testing::TestWithParam<ByteCase> {};

TEST_P(ByteFormatting, FollowsTheUnitAndRoundingRule) {
    const ByteFormatter formatter(GetParam().style);
    EXPECT_EQ(formatter.string(GetParam().bytes).toStdString(), GetParam().expected);
}

constexpr auto dec = ByteFormatter::CountStyle::decimal;
constexpr auto bin = ByteFormatter::CountStyle::binary;

INSTANTIATE_TEST_SUITE_P(
    ByteFormatter, ByteFormatting,
    ::testing::Values(
        ByteCase{"zero", 0, dec, "0 bytes"},
        ByteCase{"one byte is singular", 1, dec, "1 byte"},
        ByteCase{"largest byte count", 999, dec, "999 bytes"},
        ByteCase{"first kilobyte", 1000, dec, "1 KB"},
        ByteCase{"kilobytes round down below half", 1499, dec, "1 KB"},
        ByteCase{"kilobytes round half up", 1500, dec, "2 KB"},
        ByteCase{"last whole kilobytes", 999499, dec, "999 KB"},
        ByteCase{"rounding reaches a megabyte", 999500, dec, "1 MB"},
        ByteCase{"megabyte drops trailing zero", 1040000, dec, "1 MB"},
        ByteCase{"megabyte half up exact", 1050000, dec, "1.1 MB"},
        ByteCase{"one and a half megabytes", 1500000, dec, "1.5 MB"},
        ByteCase{"last tenth of a megabyte", 999949999, dec, "999.9 MB"},
        ByteCase{"rounding reaches a gigabyte", 999950000, dec, "1 GB"},
        ByteCase{"gigabytes two decimals", 2340000000LL, dec, "2.34 GB"},
        ByteCase{"gigabytes half up", 2345000000LL, dec, "2.35 GB"},
        ByteCase{"gigabytes one decimal left", 2300000000LL, dec, "2.3 GB"},
        ByteCase{"gigabytes leading zero decimal", 1050000000LL, dec, "1.05 GB"},
        ByteCase{"rounding reaches a terabyte", 999995000000LL, dec, "1 TB"},
        ByteCase{"largest count", std::numeric_limits<qint64>::max(), dec, "9.22 EB"},
        ByteCase{"negative kilobytes", -1500, dec, "-2 KB"},
        ByteCase{"negative one byte", -1, dec, "-1 byte"},
        ByteCase{"most negative count", std::numeric_limits<qint64>::min(), dec, "-9.22 EB"},
        ByteCase{"binary keeps bytes below 1024", 1023, bin, "1023 bytes"},
        ByteCase{"binary first kilobyte", 1024, bin, "1 KB"},
        ByteCase{"binary one and a half megabytes", 1536LL * 1024, bin, "1.5 MB"},
        ByteCase{"binary gigabyte", 1024LL * 1024 * 1024, bin, "1 GB"}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (auto& c : n) if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

TEST(ByteFormatterTest, UsesTheLocaleDecimalSeparator) {
    ByteFormatter formatter;
    formatter.setLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(formatter.string(1500000), QStringLiteral("1,5 MB"));
    EXPECT_EQ(ByteFormatter::format(1500000), QStringLiteral("1.5 MB"));
}

}  // namespace
