#include <gtest/gtest.h>

#include <QSet>

#include <typeinfo>

#include "app/shell/transformers/ValueTransformerName.h"
#include "app/shell/transformers/ValueTransformers.h"
#include "platform/appkit/ValueTransformer.h"

namespace {

// The name the compiler gives a class at namespace scope: its length, then the name.
QString mangledClassName(const ValueTransformer& transformer) { return QString::fromLatin1(typeid(transformer).name()); }

TEST(ValueTransformerNames, AreThirtyTwoDistinctClassNames) {
    const QStringList& names = ValueTransformerName::all();
    EXPECT_EQ(names.size(), 32);
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size());
    for (const QString& name : names) EXPECT_TRUE(name.endsWith(QLatin1String("Transformer"))) << name.toStdString();
    EXPECT_EQ(names.first(), ValueTransformerName::productVersion());
    EXPECT_EQ(names.last(), ValueTransformerName::remoteActivityDate());
    EXPECT_EQ(&ValueTransformerName::backupNext(), &ValueTransformerName::backupNext());
}

TEST(ValueTransformerRegistration, RegistersEachClassUnderItsOwnNameInTableOrder) {
    registerValueTransformers();
    const auto& rows = valueTransformerRegistrations();
    const QStringList& order = ValueTransformerName::all();
    qsizetype previous = -1;
    for (const ValueTransformerRegistration& row : rows) {
        SCOPED_TRACE(row.name.toStdString());
        const qsizetype position = order.indexOf(row.name);
        EXPECT_GT(position, previous);
        previous = position;
        const auto transformer = ValueTransformer::forName(row.name);
        ASSERT_NE(transformer, nullptr);
        EXPECT_EQ(mangledClassName(*transformer), QString::number(row.name.size()) + row.name);
    }
    QStringList registered = ValueTransformer::registeredNames();
    registered.removeIf([&](const QString& name) { return !order.contains(name); });
    QStringList expected;
    for (const auto& row : rows) expected << row.name;
    EXPECT_EQ(registered, expected);
    // Every transformer this build has is there.
    for (const char* name : {"ProductVersionTransformer", "UserButtonTransformer", "UserNameTransformer",
                             "PathToImageTransformer", "PathToLastPathComponentTransformer", "StringIsNotEmptyTransformer",
                             "StringIsValidPasswordTransformer", "StringIsValidEncryptionPasswordTransformer",
                             "DataToImageTransformer", "RelativeToAbsolutePathTransformer", "DownloadQueueCountTransformer",
                             "UploadQueueCountTransformer", "ErrorColorTransformer", "RemoteActivityDateTransformer",
                             "QuotaOverviewTransformer", "SelectiveSyncButtonTransformer", "BackupItemsTransformer",
                             "ShareDownloadTransformer", "ShareViaEmailTransformer", "ShareInfoMaxDownloadsLimitTransformer",
                             "ShareInfoMaxDownloadsSelectionTransformer", "ShareInfoPasswordTransformer", "ShareInfoTtlTransformer",
                             "ShareInfoDaysValidLimitTransformer", "StringHasValidEmailsTransformer"})
        EXPECT_TRUE(expected.contains(QLatin1String(name))) << name;
}

TEST(ValueTransformerRegistration, EveryNameResolvesToOneInstanceOfItsOwnClass) {
    registerValueTransformers();
    for (const QString& name : ValueTransformerName::all()) {
        SCOPED_TRACE(name.toStdString());
        const auto transformer = ValueTransformer::forName(name);
        ASSERT_NE(transformer, nullptr);
        EXPECT_EQ(mangledClassName(*transformer), QString::number(name.size()) + name);
        EXPECT_EQ(ValueTransformer::forName(name), transformer);
    }
}

TEST(ValueTransformerRegistration, HandsOutOneInstancePerNameAndKeepsItAcrossASecondRegistration) {
    registerValueTransformers();
    const auto first = ValueTransformer::forName(ValueTransformerName::userName());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ValueTransformer::forName(ValueTransformerName::userName()), first);
    registerValueTransformers();
    EXPECT_EQ(ValueTransformer::forName(ValueTransformerName::userName()), first);

    // A name taken out is registered anew.
    ValueTransformer::setValueTransformer(nullptr, ValueTransformerName::errorColor());
    ASSERT_EQ(ValueTransformer::forName(ValueTransformerName::errorColor()), nullptr);
    registerValueTransformers();
    EXPECT_NE(ValueTransformer::forName(ValueTransformerName::errorColor()), nullptr);

    EXPECT_EQ(ValueTransformer::forName(QStringLiteral("NoSuchTransformer")), nullptr);
}

}  // namespace
