#pragma once

#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// Medium date and medium time in a locale, such as "Jan 5, 2026, 3:04:05 PM". Without a locale it
// follows the application's current default locale at every call.
class DateFormatter {
public:
    QString string(const QDateTime& date) const;
    QString string(const QDateTime& date, const QLocale& locale) const;

    // The locale's long date without its weekday, such as "January 5, 2026".
    static QString longDateFormat(const QLocale& locale);
    static QString mediumDateFormat(const QLocale& locale);
    static QString mediumTimeFormat(const QLocale& locale);
};

// The application's shared constants, each made once on first use.
namespace C {

// None when the font is not installed.
std::optional<QFont> titleFont();
std::optional<QFont> subtitleFont();
const DateFormatter& dateFormatter();
// The choices, in days, offered for a share link's validity.
const std::vector<int>& shareValidityDays();
// The choices offered for a share link's maximum number of downloads.
const std::vector<int>& shareDownloadLimits();
// Seconds between automatic update checks.
inline constexpr double updateCheckInterval = 14400.0;

// This computer's name, a blank and the localized backup-name suffix; the suffix alone when the
// computer has no name or the joined name is not a valid backup name. Computed on every call.
QString defaultBackupName();
QString defaultBackupName(const std::optional<QString>& hostName, const QString& suffix);

// The computer's name as shown to the user; none when it has none (or only "localhost").
std::optional<QString> localizedHostName();
// Tests put their own host name in place; an empty function brings the real one back.
void setLocalizedHostNameProviderForTesting(std::function<std::optional<QString>()> provider);

// File-system event constants of the local observer.
namespace FSEvent {}

}  // namespace C

// The same local time of day as `receiver` (to the whole second) on the day of `now`, or on the
// next day when `now` lies strictly after it; none when the calendar cannot make that date.
std::optional<QDateTime> nextOccurrenceOfTimeOfDay(const QDateTime& receiver,
                                                   const QDateTime& now = QDateTime::currentDateTime());

// Bytes available on the volume holding the user's Documents folder; none without that folder or
// when the volume cannot be read.
std::optional<qint64> volumeAvailableCapacity();
std::optional<qint64> volumeAvailableCapacity(const QString& documentsPath);
