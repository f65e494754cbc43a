#include "app/shell/archive/ErrorReportArchive.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include "app/common/ConfigurationProvider.h"
#include "app/selectivesync/StoreController.h"
#include "frameworks/logger/Logger.h"

namespace ErrorReportArchive {

Sources currentSources(const std::optional<QString>& syncDataDirectory) {
    return {syncDataDirectory, StoreController::shared().storeFiles(), Logger::currentLogFilePath()};
}

QList<QUrl> itemsToZip(const Sources& sources) {
    QList<QUrl> items;
    if (sources.syncDataDirectory && !sources.syncDataDirectory->isEmpty() &&
        QFileInfo::exists(*sources.syncDataDirectory))
        items << QUrl::fromLocalFile(*sources.syncDataDirectory);
    for (const QString& file : sources.storeFiles) {
        if (!file.isEmpty() && QFileInfo::exists(file)) items << QUrl::fromLocalFile(file);
    }
    if (sources.currentLogFile && !sources.currentLogFile->isEmpty()) {
        const QString folder = QFileInfo(*sources.currentLogFile).absolutePath();
        if (QFileInfo(folder).isDir()) items << QUrl::fromLocalFile(folder);
    }
    return items;
}

QString replacingPathSeparators(QString text) {
    static const QRegularExpression separators(QStringLiteral("[:/]"));
    return text.replace(separators, QStringLiteral("-"));
}

QString dateText(const QDateTime& date, const QLocale& locale) {
    return replacingPathSeparators(locale.toString(date.date(), QLocale::LongFormat) + QLatin1Char(' ') +
                                   locale.toString(date.time(), QLocale::ShortFormat));
}

QString archiveName(const QString& executableName, const QString& versionText, const QString& dateText) {
    return executableName + QLatin1Char(' ') + versionText + QLatin1Char(' ') + dateText + QStringLiteral(".zip");
}

QString currentArchiveName(const QDateTime& now) {
    return archiveName(infoPlistString(QStringLiteral("CFBundleExecutable")), applicationVersionString(),
                       dateText(now));
}

std::optional<QString> downloadsFolder() {
    const QStringList folders = QStandardPaths::standardLocations(QStandardPaths::DownloadLocation);
    if (folders.isEmpty() || folders.first().isEmpty()) return std::nullopt;
    QDir().mkpath(folders.first());
    return folders.first();
}

}  // namespace ErrorReportArchive
