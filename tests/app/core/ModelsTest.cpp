#include <gtest/gtest.h>

#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

#include "app/core/ObjCFeatures.h"
#include "app/core/ObjCQuota.h"
#include "app/core/ObjCUser.h"
#include "app/core/QuotaOverviewTransformer.h"
#include "app/core/support/TestBusinessUser.h"
#include "frameworks/business/BusinessFacade.h"

namespace {

// "-" for an absent member, else its flags as 0/1.
QString membersOf(const ObjCFeatures& features) {
    const auto flag = [](bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); };
    const QString backup = features.backup() ? flag(features.backup()->isEnabled()) : QStringLiteral("-");
    const QString encryption = features.encryption() ? flag(features.encryption()->isEnabled()) : QStringLiteral("-");
    QString sharing = QStringLiteral("-");
    if (const auto& s = features.sharing())
        sharing = flag(s->isDirectorySharingEnabled()) + flag(s->isFileSharingEnabled()) +
                  flag(s->isShareEmailViaBackendFeatureAvailable());
    return backup + u' ' + encryption + u' ' + sharing;
}

TEST(ModelsTest, featureSetBecomesMembersOnlyForPartsThatArePresent) {
    using Sharing = OVFeatureSet::Sharing;
    const struct {
        OVFeatureSet set;
        QString members;  // backup encryption sharing
    } cases[] = {
        {{}, "- - -"},
        {{false, std::nullopt, std::nullopt}, "0 - -"},
        {{true, std::nullopt, std::nullopt}, "1 - -"},
        {{std::nullopt, false, std::nullopt}, "- 0 -"},
        {{std::nullopt, true, std::nullopt}, "- 1 -"},
        {{std::nullopt, std::nullopt, Sharing{true, false, false}}, "- - 100"},
        {{std::nullopt, std::nullopt, Sharing{false, true, false}}, "- - 010"},
        {{std::nullopt, std::nullopt, Sharing{false, false, true}}, "- - 001"},
        {{true, false, Sharing{true, true, false}}, "1 0 110"},
        {{false, true, Sharing{false, false, false}}, "0 1 000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.members.toStdString());
        const ObjCFeatures features(c.set);
        EXPECT_EQ(membersOf(features), c.members);
        // Bindings see the same members through the properties.
        EXPECT_EQ(features.property("backup").value<ObjCBackupFeature*>() != nullptr, c.set.backupEnabled.has_value());
        EXPECT_EQ(features.property("sharing").value<ObjCSharingFeature*>() != nullptr, c.set.sharing.has_value());
    }
}

TEST(ModelsTest, userCopiesTheFrameworkUser) {
    const struct {
        const char* name;
        std::optional<QString> mail;
        std::optional<OVCryptoKey> key;
    } cases[] = {
        {"bare", std::nullopt, std::nullopt},
        {"mail", QStringLiteral("anna@example.org"), std::nullopt},
        {"key", std::nullopt, OVCryptoKey{QStringLiteral("ABCD-EFGH"), QByteArray("\x89PNG", 4)}},
        {"both", QStringLiteral("b@example.org"), OVCryptoKey{QStringLiteral("K"), QByteArray()}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestBusinessUser framework(QStringLiteral("acc-7"), QStringLiteral("anna"));
        framework.mail = c.mail;
        framework.key = c.key;
        const ObjCUser user(framework);
        EXPECT_EQ(user.name(), QStringLiteral("anna"));
        EXPECT_EQ(user.accountId(), QStringLiteral("acc-7"));
        EXPECT_EQ(user.mailAddress(), c.mail);
        EXPECT_EQ(user.property("mailAddress").isValid(), c.mail.has_value());
        ASSERT_EQ(user.cryptoKey() != nullptr, c.key.has_value());
        if (c.key) {
            EXPECT_EQ(user.cryptoKey()->stringRepresentation(), c.key->stringRepresentation);
            EXPECT_EQ(user.cryptoKey()->qrCodeImageData(), c.key->qrCodeImageData);
        }
    }
}

TEST(QuotaOverviewTransformerTest, showsUsedOfOverallOrThatNothingIsKnown) {
    const QString notAvailable = QStringLiteral("Storage details not available");
    const auto quota = [](std::int64_t overall, std::int64_t used) {
        return QVariant::fromValue(std::make_shared<ObjCQuota>(overall, used, overall - used));
    };
    ObjCQuota raw(10, 5, 5);
    const struct {
        const char* name;
        QVariant input;
        QString text;
    } cases[] = {
        {"typical", quota(10'000'000'000LL, 1'500'000), "1.5 MB of 10 GB used"},
        {"empty", quota(2'000'000'000LL, 0), "0 bytes of 2 GB used"},
        {"full", quota(999, 999), "999 bytes of 999 bytes used"},
        {"null_pointer", QVariant::fromValue(std::shared_ptr<ObjCQuota>()), notAvailable},
        {"nothing", QVariant(), notAvailable},
        {"text", QVariant(QStringLiteral("12 GB")), notAvailable},
        {"number", QVariant(qint64(5)), notAvailable},
        {"raw_pointer", QVariant::fromValue(&raw), notAvailable},
    };
    const QuotaOverviewTransformer transformer;
    EXPECT_FALSE(transformer.allowsReverseTransformation());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QVariant out = transformer.transformedValue(c.input);
        EXPECT_EQ(out.metaType(), QMetaType::fromType<QString>());
        EXPECT_EQ(out.toString(), c.text);
    }
}

}  // namespace
