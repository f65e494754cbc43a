#include <gtest/gtest.h>

#include <QLocale>

#include <ctime>
#include <memory>

#include "app/backup/BackupDateStatusTransformer.h"
#include "app/backup/BackupLatestStatusTransformer.h"
#include "app/backup/BackupModels.h"
#include "app/backup/BackupNextTransformer.h"
#include "app/backup/BackupProgressTransformer.h"
#include "app/backup/CreateBackupProgressTransformer.h"
#include "app/backup/LatestBackupStatusTransformer.h"
#include "app/core/SettingsController.h"
#include "app/core/support/TestBusinessFacade.h"

namespace {

// Dates read in UTC and US English, so that the expected texts can be written out.
struct PinnedLocaleAndZone {
    PinnedLocaleAndZone() {
        qputenv("TZ", "UTC");
        ::tzset();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    ~PinnedLocaleAndZone() {
        QLocale::setDefault(locale);
        if (zone.isNull()) qunsetenv("TZ");
        else qputenv("TZ", zone);
        ::tzset();
    }
    const QLocale locale;
    const QByteArray zone = qgetenv("TZ");
};

QDateTime at(int month, int day, int hour, int minute) {
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), Qt::UTC);
}

struct Case {
    const char* name;
    QVariant input;
    QString first, second = {};  // what the transformers of the test should give
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class NextBackup : public ::testing::TestWithParam<Case> {};

// `second` is "off" for a case run with automatic backups off.
TEST_P(NextBackup, showsTheNextOccurrenceOnlyWhileBackupsAreAutomatic) {
    const PinnedLocaleAndZone pinned;
    ScopedTestBusinessFacade facade(QStringLiteral("nextbackup"));
    facade.settings().setBackupAutomatically(GetParam().second != QLatin1String("off"));
    const auto now = [] { return at(12, 9, 10, 0); };
    EXPECT_EQ(NextBackupDateTransformer(now).transformedValue(GetParam().input), GetParam().first);
    EXPECT_EQ(BackupNextTransformer(now).transformedValue(GetParam().input),
              LocalizationController().mbMenuItemNextBackup().arg(GetParam().first));
}

INSTANTIATE_TEST_SUITE_P(
    Dates, NextBackup,
    ::testing::Values(Case{"laterToday", at(3, 4, 21, 30), "December 9, 2026, 9:30 PM"},
                      Case{"passedToday", at(3, 4, 8, 15), "December 10, 2026, 8:15 AM"},
                      Case{"inOptional", QVariant::fromValue(std::optional(at(1, 1, 23, 0))), "December 9, 2026, 11:00 PM"},
                      // The registered default lies in 1970; only its time of day may show.
                      Case{"registeredDefault", SettingsController::defaultNextBackupDate(), "December 9, 2026, 5:00 PM"},
                      Case{"notAutomatic", at(3, 4, 21, 30), "-", "off"},
                      Case{"unsetOptional", QVariant::fromValue(std::optional<QDateTime>()), "-"},
                      Case{"invalidDate", QDateTime(), "-"}, Case{"nothing", QVariant(), "-"},
                      Case{"notADate", QStringLiteral("tomorrow"), "-"}),
    [](const auto& info) { return std::string(info.param.name); });

QVariant status(const BackupStatus& s) { return QVariant::fromValue(std::make_shared<ObjCBackupStatus>(s)); }
const QString failed = QStringLiteral("Failed"), skipped = QStringLiteral("Skipped"), day = QStringLiteral("May 1, 2026, 2:05 PM");

class StatusTexts : public ::testing::TestWithParam<Case> {};

// first: LatestBackupStatusTransformer (and within the menu label BackupLatestStatusTransformer);
// second: BackupDateStatusTransformer.
TEST_P(StatusTexts, tellEachOutcomeAndNeverShowAnUnknownDate) {
    const PinnedLocaleAndZone pinned;
    const Case& c = GetParam();
    EXPECT_EQ(LatestBackupStatusTransformer().transformedValue(c.input), c.first);
    EXPECT_EQ(BackupLatestStatusTransformer().transformedValue(c.input),
              LocalizationController().mbMenuItemLatestBackup().arg(c.first));
    EXPECT_EQ(BackupDateStatusTransformer().transformedValue(c.input), c.second);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, StatusTexts,
    ::testing::Values(Case{"succeeded", status(BackupStatus::succeeded(at(5, 1, 14, 5))), day, day},
                      Case{"failedAt", status(BackupStatus::failedAt(at(5, 1, 14, 5))), failed, day + " (failed)"},
                      Case{"failed", status(BackupStatus::failed()), failed, failed},
                      Case{"skippedAt", status(BackupStatus::skippedAt(at(5, 1, 14, 5))), skipped, day + " (skipped)"},
                      Case{"skipped", status(BackupStatus::skipped()), skipped, skipped},
                      // A failure whose date is lost stays a failure; a success without a date claims none.
                      Case{"failedAtNoDate", status(BackupStatus::failedAt(QDateTime())), failed, failed},
                      Case{"succeededNoDate", status(BackupStatus::succeeded(QDateTime())), "-", "-"},
                      Case{"nullStatus", QVariant::fromValue(std::shared_ptr<ObjCBackupStatus>()), "-", "-"},
                      Case{"nothing", QVariant(), "-", "-"}, Case{"notAStatus", QStringLiteral("failed"), "-", "-"}),
    [](const auto& info) { return std::string(info.param.name); });

QVariant bytes(qint64 size, qint64 processed) {
    return QVariant::fromValue(std::make_shared<ObjCBackupProgress>(4, 1, size, processed));
}
QVariant preview(qint64 total, qint64 completed) { return QVariant::fromValue(OVProgress{total, completed}); }

class ProgressTexts : public ::testing::TestWithParam<Case> {};

// first: CreateBackupProgressTransformer ("" for no value); second: BackupProgressTransformer.
TEST_P(ProgressTexts, stayWithinTheWholeAndShowNothingForNoProgress) {
    const PinnedLocaleAndZone pinned;
    const Case& c = GetParam();
    const QVariant backup = CreateBackupProgressTransformer().transformedValue(c.input);
    EXPECT_EQ(backup.isValid() ? backup.toString() : QString(), c.first);
    EXPECT_EQ(BackupProgressTransformer().transformedValue(c.input), c.second);
}

INSTANTIATE_TEST_SUITE_P(
    Amounts, ProgressTexts,
    ::testing::Values(
        Case{"bytes", bytes(10'000'000, 1'500'000), "Backed up 1.5 MB of 10 MB", "Restored 1.5 MB of 10 MB"},
        // A total that fell behind or is unknown never reads as more than all of it.
        Case{"beyondTotal", bytes(1'000, 5'000), "Backed up 5 KB of 5 KB", "Restored 5 KB of 5 KB"},
        Case{"unknownTotal", bytes(0, 2'000), "Backed up 2 KB of 2 KB", "Restored 2 KB of 2 KB"},
        Case{"negative", bytes(-1, -7), "Backed up 0 bytes of 0 bytes", "Restored 0 bytes of 0 bytes"},
        Case{"previewThird", preview(1000, 333), "Preparing backup… 33%", "Restoring…"},
        Case{"previewOverrun", preview(10, 25), "Preparing backup… 100%", "Restoring…"},
        Case{"previewNegative", preview(10, -3), "Preparing backup… 0%", "Restoring…"},
        Case{"previewNoTotal", preview(0, 5), "Preparing backup… 0%", "Restoring…"},
        Case{"inOptional", QVariant::fromValue(std::optional(OVProgress{4, 1})), "Preparing backup… 25%", "Restoring…"},
        Case{"emptyOptional", QVariant::fromValue(std::optional<OVProgress>()), "", "Restoring…"},
        Case{"nullProgress", QVariant::fromValue(std::shared_ptr<ObjCBackupProgress>()), "", "Restoring…"},
        Case{"text", QStringLiteral("50%"), "", "Restoring…"}, Case{"nothing", QVariant(), "", "Restoring…"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
