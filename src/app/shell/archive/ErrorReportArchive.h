#pragma once

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// What goes into the error report the user exports from the menu, and what the archive is called.
namespace ErrorReportArchive {

// The places the report collects from; whatever does not exist is left out.
struct Sources {
    std::optional<QString> syncDataDirectory;
    QStringList storeFiles;  // empty names stand for stores kept in memory
    std::optional<QString> currentLogFile;
};

// The running application's: the given sync data directory, the selective-sync store's files and
// the logging framework's current file.
Sources currentSources(const std::optional<QString>& syncDataDirectory);

// In order: the sync data directory, each store file, the folder of the current log file.
QList<QUrl> itemsToZip(const Sources& sources);

// The date with the locale's long date and short time, every ":" and "/" made "-".
QString dateText(const QDateTime& date, const QLocale& locale = QLocale());
QString replacingPathSeparators(QString text);

// "<executable> <version><blank><date>.zip"; the version text ends in a blank of its own.
QString archiveName(const QString& executableName, const QString& versionText, const QString& dateText);
// The same for this executable and the current moment.
QString currentArchiveName(const QDateTime& now = QDateTime::currentDateTime());

// The first downloads folder the platform lists, made when missing (a fresh desktop may not have
// one yet); nothing when the platform lists none.
std::optional<QString> downloadsFolder();

}  // namespace ErrorReportArchive
