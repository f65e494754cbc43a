#include "app/shell/crash/CrashReport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

#include "app/shell/crash/CrashHandler.h"

namespace {
constexpr qint64 maximumReportSize = 1024 * 1024;
}

std::optional<CrashReport> CrashReport::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maximumReportSize) return std::nullopt;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (lines.isEmpty() || lines.first() != u"Orvella crash report") return std::nullopt;
    CrashReport report;
    report.path = path;
    const QString name = QFileInfo(path).fileName();
    const QString suffix = QString::fromLatin1(CrashHandler::reportSuffix);
    report.identifier = name.endsWith(suffix) ? name.chopped(suffix.size()) : name;
    bool inBacktrace = false;
    bool sawSignal = false;
    for (const QString& line : lines.mid(1)) {
        if (inBacktrace) {
            if (line == u"End of report") {
                report.isComplete = true;
                break;
            }
            if (!line.isEmpty()) report.backtrace << line;
            continue;
        }
        const qsizetype colon = line.indexOf(QStringLiteral(": "));
        const QString key = colon < 0 ? line : line.left(colon);
        const QString value = colon < 0 ? QString() : line.mid(colon + 2);
        if (key == u"Version") {
            report.version = value;
        } else if (key == u"Process") {
            report.processIdentifier = value.toLongLong();
        } else if (key == u"Signal") {
            const QStringList parts = value.split(u' ');
            bool ok = false;
            report.signal = parts.value(0).toInt(&ok);
            sawSignal = ok;
            report.signalName = parts.value(1).remove(u'(').remove(u')');
        } else if (key == u"Time") {
            bool ok = false;
            const qint64 seconds = value.toLongLong(&ok);
            if (ok) report.time = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
        } else if (line == u"Backtrace:") {
            inBacktrace = true;
        }
    }
    if (!sawSignal) return std::nullopt;
    return report;
}

QStringList CrashReport::pendingReportPaths(const QString& folder) {
    const QDir dir(folder);
    QStringList paths;
    for (const QString& name :
         dir.entryList({QStringLiteral("*") + QString::fromLatin1(CrashHandler::reportSuffix)}, QDir::Files, QDir::Name))
        paths << dir.absoluteFilePath(name);
    return paths;
}
