#include <gtest/gtest.h>

#include <memory>

#include "app/backup/BackupItemsTransformer.h"
#include "app/common/LocalizationController.h"
#include "app/core/SettingsController.h"
#include "app/core/support/TestBusinessFacade.h"

namespace {

struct KindsCase {
    const char* name;
    bool images, videos, contacts, calendars;
    QStringList expectedTexts;  // getter names, in order
};

class BackupItemsText : public ::testing::TestWithParam<KindsCase> {};

QString textOf(const QStringList& getters) {
    if (getters.isEmpty()) return QStringLiteral("-");
    QStringList texts;
    for (const QString& getter : getters) texts << LocalizationController().text(getter).value_or(QString());
    return texts.join(QStringLiteral(", "));
}

TEST_P(BackupItemsText, namesTheChosenKindsInFixedOrder) {
    ScopedTestBusinessFacade facade(QStringLiteral("backupitems"));
    OrvellaSettingsManager& s = facade.settings();
    const KindsCase& c = GetParam();
    s.setBackupImages(c.images);
    s.setBackupVideos(c.videos);
    s.setBackupContacts(c.contacts);
    s.setBackupCalendars(c.calendars);

    const BackupItemsTransformer transformer;
    const QString expected = textOf(c.expectedTexts);
    EXPECT_EQ(transformer.transformedValue(QVariant()), expected);
    // The input plays no part.
    EXPECT_EQ(transformer.transformedValue(QStringLiteral("ignored")), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, BackupItemsText,
    ::testing::Values(
        KindsCase{"none", false, false, false, false, {}},
        KindsCase{"imagesOnly", true, false, false, false, {QStringLiteral("brCheckBoxPhotos")}},
        KindsCase{"calendarsOnly", false, false, false, true, {QStringLiteral("brCheckBoxCalendars")}},
        KindsCase{"videosAndContacts", false, true, true, false,
                  {QStringLiteral("brCheckBoxVideos"), QStringLiteral("brCheckBoxContacts")}},
        KindsCase{"imagesAndCalendars", true, false, false, true,
                  {QStringLiteral("brCheckBoxPhotos"), QStringLiteral("brCheckBoxCalendars")}},
        KindsCase{"all", true, true, true, true,
                  {QStringLiteral("brCheckBoxPhotos"), QStringLiteral("brCheckBoxVideos"),
                   QStringLiteral("brCheckBoxContacts"), QStringLiteral("brCheckBoxCalendars")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BackupItemsThroughSettingsController, followsTheSettingsAndSignalsEachChange) {
    ScopedTestBusinessFacade facade(QStringLiteral("backupitemsbinding"));
    const QString name = QStringLiteral("BackupItemsTransformer");
    const auto previous = ValueTransformer::forName(name);
    ValueTransformer::setValueTransformer(std::make_shared<BackupItemsTransformer>(), name);

    SettingsController controller;
    QStringList seen;
    QObject::connect(&controller, &SettingsController::backupItemsChanged,
                     [&] { seen << controller.backupItems().value_or(QStringLiteral("<none>")); });
    EXPECT_EQ(controller.backupItems(), QStringLiteral("-"));
    facade.settings().setBackupVideos(true);
    facade.settings().setBackupImages(true);
    facade.settings().setBackupVideos(false);

    const LocalizationController texts;
    EXPECT_EQ(seen, (QStringList{texts.brCheckBoxVideos(), texts.brCheckBoxPhotos() + QStringLiteral(", ") +
                                                               texts.brCheckBoxVideos(),
                                 texts.brCheckBoxPhotos()}));
    ValueTransformer::setValueTransformer(previous, name);
}

}  // namespace
