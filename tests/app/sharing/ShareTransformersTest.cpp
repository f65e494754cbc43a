#include <gtest/gtest.h>

#include <QImage>
#include <QStringList>

#include "ShareTestSupport.h"
#include "app/common/LocalizationController.h"
#include "app/sharing/ObjCShareInfo.h"
#include "app/sharing/ShareDownloadTransformer.h"
#include "app/sharing/ShareInfoDaysValidLimitTransformer.h"
#include "app/sharing/ShareInfoMaxDownloadsLimitTransformer.h"
#include "app/sharing/ShareInfoMaxDownloadsSelectionTransformer.h"
#include "app/sharing/ShareInfoPasswordTransformer.h"
#include "app/sharing/ShareInfoTtlTransformer.h"
#include "app/sharing/ShareViaEmailTransformer.h"
#include "app/sharing/StringHasValidEmails.h"
#include "app/sharing/StringHasValidEmailsTransformer.h"

namespace {

constexpr std::int64_t unlimited = OVFacadeConstants::unlimitedValue;
const double day = 86400;

struct TtlRow {
    const char* name;
    QVariant seconds;
    QVariant expectedIndex;  // invalid: no value
};

class TtlForwardTest : public ::testing::TestWithParam<TtlRow> {};

TEST_P(TtlForwardTest, FindsTheDayCountsIndex) {
    ShareInfoTtlTransformer transformer;
    transformer.setDaysValidLimits({1, 2, 7, unlimited});
    const QVariant got = transformer.transformedValue(GetParam().seconds);
    EXPECT_EQ(got.isValid(), GetParam().expectedIndex.isValid());
    if (got.isValid()) {
        EXPECT_EQ(got.toLongLong(), GetParam().expectedIndex.toLongLong());
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, TtlForwardTest,
                         ::testing::Values(TtlRow{"OneAndAHalfDaysIsTwo", 1.5 * day, 1},
                                           TtlRow{"JustUnderHalfADayIsOne", day / 2 - 1, 0},
                                           TtlRow{"ZeroIsOne", 0.0, 0},
                                           TtlRow{"SevenDays", qint64(7 * day), 2},
                                           TtlRow{"Unlimited", double(unlimited), 3},
                                           TtlRow{"NotAChoice", 30 * day, QVariant()},
                                           TtlRow{"NoValue", QVariant(), 0},
                                           TtlRow{"Text", QStringLiteral("86400"), 0}),
                         [](const ::testing::TestParamInfo<TtlRow>& info) { return std::string(info.param.name); });

TEST(ShareTransformersTest, ReverseIndexesGiveSecondsOrLimitsAndMinusOneOutside) {
    ShareInfoTtlTransformer ttl;
    ttl.setDaysValidLimits({1, 7, unlimited});
    ShareInfoMaxDownloadsSelectionTransformer downloads;
    downloads.setMaxDownloadLimits({unlimited, 1, 10});
    struct Row {
        QVariant index;
        qint64 seconds;
        qint64 limit;
    };
    const Row rows[] = {
        {0, qint64(day), unlimited}, {1, qint64(7 * day), 1}, {2, unlimited, 10}, {3, -1, -1},
        {-1, -1, -1},                {1.5, -1, -1},           {QStringLiteral("1"), -1, -1}, {QVariant(), -1, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.index.toString().toStdString());
        EXPECT_EQ(ttl.reverseTransformedValue(row.index).toLongLong(), row.seconds);
        EXPECT_EQ(downloads.reverseTransformedValue(row.index).toLongLong(), row.limit);
    }
    // A limit that is not offered selects the first entry.
    EXPECT_EQ(downloads.transformedValue(10).toLongLong(), 2);
    EXPECT_EQ(downloads.transformedValue(5).toLongLong(), 0);
    EXPECT_EQ(downloads.transformedValue(QVariant()).toLongLong(), 0);
    EXPECT_EQ(ShareInfoTtlTransformer::daysFromTimeToLive(-1.5 * day), -2);
}

TEST(ShareTransformersTest, MenuTitlesNameTheUnlimitedEntry) {
    const LocalizationController texts;
    const QVariantList limits{1, qint64(7), qint64(unlimited)};
    EXPECT_EQ(ShareInfoDaysValidLimitTransformer().transformedValue(limits).toStringList(),
              (QStringList{QStringLiteral("1"), QStringLiteral("7"), texts.shItemMenuItemDaysValidUnlimited()}));
    EXPECT_EQ(ShareInfoMaxDownloadsLimitTransformer().transformedValue(QVariant::fromValue(QList<qint64>{unlimited, 3})).toStringList(),
              (QStringList{texts.shItemMenuItemMaximumDownloadsUnlimited(), QStringLiteral("3")}));
    EXPECT_FALSE(ShareInfoDaysValidLimitTransformer().transformedValue(QVariantList{1, QStringLiteral("x")}).isValid());
    EXPECT_FALSE(ShareInfoMaxDownloadsLimitTransformer().transformedValue(5).isValid());
}

TEST(ShareTransformersTest, LockImageFollowsThePasswordFlag) {
    const ShareInfoPasswordTransformer transformer;
    struct Row {
        QVariant value;
        QString imageName;  // empty: an empty image
    };
    const Row rows[] = {
        {true, ShareInfoPasswordTransformer::lockedImageName},
        {1, ShareInfoPasswordTransformer::lockedImageName},
        {false, ShareInfoPasswordTransformer::unlockedImageName},
        {2, ShareInfoPasswordTransformer::unlockedImageName},
        {QVariant(), QString()},
        {QStringLiteral("yes"), QString()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value.toString().toStdString());
        const QVariant got = transformer.transformedValue(row.value);
        ASSERT_EQ(got.metaType(), QMetaType::fromType<QImage>());
        const QImage image = got.value<QImage>();
        EXPECT_EQ(image.isNull(), row.imageName.isEmpty());
        EXPECT_EQ(image.text(QStringLiteral("name")), row.imageName);
    }
    EXPECT_NE(ShareInfoPasswordTransformer::namedImage(ShareInfoPasswordTransformer::lockedImageName),
              ShareInfoPasswordTransformer::namedImage(ShareInfoPasswordTransformer::unlockedImageName));
}

TEST(ShareTransformersTest, AccessAndMailTextsFormatTheirArgument) {
    const LocalizationController texts;
    ShareInfo info;
    info.downloadCount = 1;
    ObjCShareInfo once(info);
    info.downloadCount = 12;
    ObjCShareInfo often(info);
    const ShareDownloadTransformer access;
    EXPECT_EQ(access.transformedValue(QVariant::fromValue(&once)).toString(), texts.shItemLabelAccessSingle().arg(QStringLiteral("1")));
    EXPECT_EQ(access.transformedValue(QVariant::fromValue(&often)).toString(), texts.shItemLabelAccessMultiple().arg(QStringLiteral("12")));
    EXPECT_NE(access.transformedValue(QVariant::fromValue(&often)).toString(), texts.shItemLabelAccessMultiple());
    EXPECT_EQ(access.transformedValue(7), QVariant(7));
    const ShareViaEmailTransformer mail;
    EXPECT_EQ(mail.transformedValue(QStringLiteral("a.txt")).toString(), texts.shItemLabelShareViaEmail().arg(QStringLiteral("a.txt")));
    EXPECT_EQ(mail.transformedValue(3), QVariant(3));
}

TEST(ShareTransformersTest, MailAddressListsFollowTheRule) {
    struct Row {
        QString text;
        bool valid;
    };
    const Row rows[] = {
        {QStringLiteral("a@b.example"), true},
        {QStringLiteral("a@b.example,c.d@e.example"), true},
        {QStringLiteral("a@b.example, c@d.example"), false},
        {QStringLiteral("a@b.example,,c@d.example"), true},
        {QStringLiteral(",,,"), false},
        {QStringLiteral(","), false},
        {QString(), false},
        {QStringLiteral("a@b.c"), false},
        {QStringLiteral("a@b.example x"), false},
        {QStringLiteral("ab.example"), false},
    };
    const StringHasValidEmailsTransformer transformer;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        EXPECT_EQ(hasValidEmails(row.text), row.valid);
    }
    EXPECT_TRUE(transformer.transformedValue(QStringList{QStringLiteral("a@b.example"), QStringLiteral("c@d.example")}).toBool());
    EXPECT_FALSE(transformer.transformedValue(QStringList{QStringLiteral("a@b.example"), QStringLiteral(" c@d.example")}).toBool());
    EXPECT_FALSE(transformer.transformedValue(QStringLiteral("a@b.example")).toBool());
    EXPECT_FALSE(transformer.transformedValue(QStringList{QString(), QString()}).toBool());
}

}  // namespace
