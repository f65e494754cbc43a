#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// A report the crash handler left behind, as read at the next launch.
struct CrashReport {
    QString path;
    // The file name without its suffix: the report's identity in the crash service.
    QString identifier;
    QString version;
    qint64 processIdentifier = 0;
    int signal = 0;
    QString signalName;
    QDateTime time;
    QStringList backtrace;
    // The handler wrote the report to its end.
    bool isComplete = false;

    // None when the file cannot be read or is not a crash report.
    static std::optional<CrashReport> read(const QString& path);
    // The complete reports in the folder, oldest name first.
    static QStringList pendingReportPaths(const QString& folder);
};
