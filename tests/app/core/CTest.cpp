#include <gtest/gtest.h>

#include <QDir>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <QTimeZone>

#include <ctime>

#include "app/core/C.h"

namespace {

QDateTime local(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
}

struct OccurrenceCase {
    const char* name;
    QDateTime receiver;
    QDateTime now;
    QDateTime expected;
};

class NextOccurrence : public ::testing::TestWithParam<OccurrenceCase> {};

TEST_P(NextOccurrence, takesTheReceiversTimeOfDayTodayOrTomorrow) {
    const auto result = nextOccurrenceOfTimeOfDay(GetParam().receiver, GetParam().now);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, GetParam().expected) << result->toString(Qt::ISODateWithMs).toStdString();
    EXPECT_EQ(result->time().msec(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, NextOccurrence,
    ::testing::Values(
        OccurrenceCase{"laterToday", local(2019, 2, 3, 18, 30, 15), local(2026, 5, 12, 9, 0, 0),
                       local(2026, 5, 12, 18, 30, 15)},
        OccurrenceCase{"earlierToday", local(2019, 2, 3, 7, 0, 0), local(2026, 5, 12, 9, 0, 0),
                       local(2026, 5, 13, 7, 0, 0)},
        OccurrenceCase{"sameInstant", local(2019, 2, 3, 9, 0, 0), local(2026, 5, 12, 9, 0, 0),
                       local(2026, 5, 12, 9, 0, 0)},
        OccurrenceCase{"sameSecondWithAFractionElapsed", local(2019, 2, 3, 9, 0, 0), local(2026, 5, 12, 9, 0, 0, 1),
                       local(2026, 5, 13, 9, 0, 0)},
        // Only whole seconds of the receiver count: .900 is dropped, so .500 of now is past it.
        OccurrenceCase{"receiverFractionIgnored", local(2019, 2, 3, 9, 0, 0, 900), local(2026, 5, 12, 9, 0, 0, 500),
                       local(2026, 5, 13, 9, 0, 0)},
        OccurrenceCase{"oneSecondAhead", local(2019, 2, 3, 9, 0, 1), local(2026, 5, 12, 9, 0, 0, 999),
                       local(2026, 5, 12, 9, 0, 1)},
        OccurrenceCase{"lastDayOfMonth", local(2019, 2, 3, 22, 0, 0), local(2026, 4, 30, 23, 0, 0),
                       local(2026, 5, 1, 22, 0, 0)},
        OccurrenceCase{"endOfFebruary", local(2019, 2, 3, 9, 0, 0), local(2026, 2, 28, 10, 0, 0),
                       local(2026, 3, 1, 9, 0, 0)},
        OccurrenceCase{"lastDayOfYear", local(2019, 2, 3, 11, 59, 59), local(2026, 12, 31, 12, 0, 0),
                       local(2027, 1, 1, 11, 59, 59)},
        OccurrenceCase{"midnight", local(2019, 2, 3, 0, 0, 0), local(2026, 12, 31, 0, 0, 0, 1),
                       local(2027, 1, 1, 0, 0, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

// Runs with the process's local time zone set to `zone`, and restores it.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) : previous_(qgetenv("TZ")), hadPrevious_(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (hadPrevious_) qputenv("TZ", previous_);
        else qunsetenv("TZ");
        ::tzset();
    }

private:
    QByteArray previous_;
    bool hadPrevious_;
};

TEST(NextOccurrenceAcrossClockChanges, keepsTheWallClockTimeAndNeverLosesADay) {
    ScopedTimeZone berlin("Europe/Berlin");
    const QTimeZone utc = QTimeZone::utc();
    const struct {
        const char* name;
        QDateTime receiver, now, expectedUtc;
    } rows[] = {
        // 02:30 does not exist on 2026-03-29 in Berlin: it becomes 03:30 summer time.
        {"skippedHour", local(2019, 2, 3, 2, 30, 0), local(2026, 3, 29, 1, 0, 0),
         QDateTime(QDate(2026, 3, 29), QTime(1, 30), utc)},
        // The day after the change: plain summer time again.
        {"afterTheChange", local(2019, 2, 3, 2, 30, 0), local(2026, 3, 29, 4, 0, 0),
         QDateTime(QDate(2026, 3, 30), QTime(0, 30), utc)},
        // 17:00 UTC in January 1970 is 18:00 in Berlin; in summer that wall time is 16:00 UTC.
        {"defaultBackupTimeInSummer", QDateTime::fromSecsSinceEpoch(61200, utc), local(2026, 7, 1, 9, 0, 0),
         QDateTime(QDate(2026, 7, 1), QTime(16, 0), utc)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = nextOccurrenceOfTimeOfDay(row.receiver, row.now);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->toUTC(), row.expectedUtc) << result->toString(Qt::ISODate).toStdString();
    }
}

TEST(NextOccurrenceInvalid, invalidDatesGiveNone) {
    EXPECT_FALSE(nextOccurrenceOfTimeOfDay(QDateTime(), local(2026, 1, 1, 0, 0, 0)).has_value());
    EXPECT_FALSE(nextOccurrenceOfTimeOfDay(local(2026, 1, 1, 0, 0, 0), QDateTime()).has_value());
}

TEST(VolumeAvailableCapacity, isNoneWithoutADocumentsFolderAndTheVolumesFreeSpaceWithOne) {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_FALSE(documents.isEmpty());
    ASSERT_TRUE(documents.startsWith(QDir::homePath()));  // inside the tests' private home
    ASSERT_FALSE(QDir(documents).exists());
    EXPECT_FALSE(volumeAvailableCapacity().has_value());
    EXPECT_FALSE(volumeAvailableCapacity(QString()).has_value());

    ASSERT_TRUE(QDir().mkpath(documents));
    const auto available = volumeAvailableCapacity();
    const qint64 expected = QStorageInfo(documents).bytesAvailable();
    QDir(documents).removeRecursively();
    ASSERT_TRUE(available.has_value());
    EXPECT_GT(*available, 0);
    // Other tests write meanwhile: compare within a margin.
    EXPECT_NEAR(static_cast<double>(*available), static_cast<double>(expected), 64.0 * 1024 * 1024);
}

struct FormatCase {
    const char* name;
    QLocale locale;
    QString expected;
};

class MediumDateFormatter : public ::testing::TestWithParam<FormatCase> {};

TEST_P(MediumDateFormatter, showsAbbreviatedDateAndTimeWithSeconds) {
    const QDateTime when = local(2026, 1, 5, 15, 4, 5);
    EXPECT_EQ(C::dateFormatter().string(when, GetParam().locale), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Locales, MediumDateFormatter,
                         ::testing::Values(FormatCase{"enUS", QLocale(QStringLiteral("en_US")),
                                                      QStringLiteral("Jan 5, 2026, 3:04:05 PM")},
                                           FormatCase{"deDE", QLocale(QStringLiteral("de_DE")),
                                                      QStringLiteral("5. Jan. 2026, 15:04:05")}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MediumDateFormatter, followsTheCurrentDefaultLocale) {
    const QLocale previous;
    const QDateTime when = local(2026, 1, 5, 15, 4, 5);
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    const QString german = C::dateFormatter().string(when);
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    const QString english = C::dateFormatter().string(when);
    QLocale::setDefault(previous);
    EXPECT_EQ(german, C::dateFormatter().string(when, QLocale(QStringLiteral("de_DE"))));
    EXPECT_EQ(english, C::dateFormatter().string(when, QLocale(QStringLiteral("en_US"))));
    EXPECT_NE(german, english);
    EXPECT_EQ(C::dateFormatter().string(QDateTime()), QString());
}

}  // namespace
