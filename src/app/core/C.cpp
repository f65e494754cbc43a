#include "app/core/C.h"

#include <QDir>
#include <QFontDatabase>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTimeZone>

#include <mutex>

#include "app/common/LocalizationController.h"
#include "app/core/BackupNameFormatter.h"

// ---- date formatter ---------------------------------------------------------------------------------

QString DateFormatter::longDateFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression leadingWeekday(QStringLiteral("^\\s*dddd[\\s,.]*"));
    static const QRegularExpression trailingWeekday(QStringLiteral("[\\s,.]*dddd\\s*$"));
    static const QRegularExpression innerWeekday(QStringLiteral("dddd[\\s,.]*"));
    format.remove(leadingWeekday).remove(trailingWeekday).remove(innerWeekday);
    return format.trimmed();
}

QString DateFormatter::mediumDateFormat(const QLocale& locale) {
    // The long date with the month abbreviated.
    QString format = longDateFormat(locale);
    static const QRegularExpression fullMonth(QStringLiteral("(?<!M)MMMM(?!M)"));
    format.replace(fullMonth, QStringLiteral("MMM"));
    return format.trimmed();
}

QString DateFormatter::mediumTimeFormat(const QLocale& locale) {
    // The long time (with seconds) without its time-zone name.
    QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?\\bt+\\b\\)?"));
    format.remove(zone);
    return format.trimmed();
}

QString DateFormatter::string(const QDateTime& date) const { return string(date, QLocale()); }

QString DateFormatter::string(const QDateTime& date, const QLocale& locale) const {
    if (!date.isValid()) return {};
    const QDateTime local = date.toLocalTime();
    return locale.toString(local.date(), mediumDateFormat(locale)) + QStringLiteral(", ") +
           locale.toString(local.time(), mediumTimeFormat(locale));
}

// ---- constants --------------------------------------------------------------------------------------

namespace {

std::optional<QFont> fontNamed(const QString& family, double pointSize) {
    if (!QFontDatabase::hasFamily(family)) return std::nullopt;
    QFont font(family);
    font.setPointSizeF(pointSize);
    return font;
}

std::mutex hostNameMutex;
std::function<std::optional<QString>()> hostNameProvider;

}  // namespace

namespace C {

std::optional<QFont> titleFont() {
    static const std::optional<QFont> font = fontNamed(QStringLiteral("OpenSans-Bold"), 19.0);
    return font;
}

std::optional<QFont> subtitleFont() {
    static const std::optional<QFont> font = fontNamed(QStringLiteral("OpenSans-Regular"), 17.0);
    return font;
}

const DateFormatter& dateFormatter() {
    static const DateFormatter formatter;
    return formatter;
}

const std::vector<int>& shareValidityDays() {
    static const std::vector<int> days{1, 3, 5, 7, 10, 30, 60, 90};
    return days;
}

const std::vector<int>& shareDownloadLimits() {
    static const std::vector<int> limits{1, 3, 5, 10, 50, 100, 200, 1000};
    return limits;
}

QString defaultBackupName(const std::optional<QString>& hostName, const QString& suffix) {
    const QString candidate = hostName ? *hostName + QLatin1Char(' ') + suffix : suffix;
    return isValidBackupName(candidate) ? candidate : suffix;
}

QString defaultBackupName() {
    return defaultBackupName(localizedHostName(), LocalizationController().brTextFieldBackupNameSuffix());
}

std::optional<QString> localizedHostName() {
    {
        std::lock_guard lock(hostNameMutex);
        if (hostNameProvider) return hostNameProvider();
    }
    const QString name = QSysInfo::machineHostName().trimmed();
    if (name.isEmpty() || name == QLatin1String("localhost") || name == QLatin1String("localhost.localdomain"))
        return std::nullopt;
    return name;
}

void setLocalizedHostNameProviderForTesting(std::function<std::optional<QString>()> provider) {
    std::lock_guard lock(hostNameMutex);
    hostNameProvider = std::move(provider);
}

}  // namespace C

// ---- helpers ----------------------------------------------------------------------------------------

namespace {

// A local wall-clock time on a date. A time skipped when the clocks went forward is read with the
// offset in force before the change, so it lands as far after the change as it was after the old
// hour (02:30 in a 02:00-03:00 gap is 03:30) rather than being lost.
QDateTime localDateTime(QDate date, QTime time) {
    const QDateTime local(date, time, Qt::LocalTime);
    if (local.isValid()) return local;
    const QDateTime dayBefore(date.addDays(-1), time, Qt::LocalTime);
    if (!dayBefore.isValid()) return {};
    return QDateTime(date, time, QTimeZone(dayBefore.offsetFromUtc())).toLocalTime();
}

}  // namespace

std::optional<QDateTime> nextOccurrenceOfTimeOfDay(const QDateTime& receiver, const QDateTime& now) {
    if (!receiver.isValid() || !now.isValid()) return std::nullopt;
    const QTime wallClock = receiver.toLocalTime().time();
    const QTime timeOfDay(wallClock.hour(), wallClock.minute(), wallClock.second());
    const QDate today = now.toLocalTime().date();

    QDateTime candidate = localDateTime(today, timeOfDay);
    if (!candidate.isValid()) return std::nullopt;
    if (now > candidate) {
        candidate = localDateTime(today.addDays(1), timeOfDay);
        if (!candidate.isValid()) return std::nullopt;
    }
    return candidate;
}

std::optional<qint64> volumeAvailableCapacity(const QString& documentsPath) {
    if (documentsPath.isEmpty() || !QDir(documentsPath).exists()) return std::nullopt;
    const QStorageInfo volume(documentsPath);
    if (!volume.isValid() || !volume.isReady()) return std::nullopt;
    const qint64 available = volume.bytesAvailable();
    if (available < 0) return std::nullopt;
    return available;
}

std::optional<qint64> volumeAvailableCapacity() {
    const QStringList documents = QStandardPaths::standardLocations(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty()) return std::nullopt;
    return volumeAvailableCapacity(documents.first());
}
