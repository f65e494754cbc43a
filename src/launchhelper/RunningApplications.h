#pragma once

#include <QList>
#include <QString>

// The processes of this user that run a given executable, read from the proc file system.
class RunningApplications {
public:
    // Ids of this user's processes whose executable is `executablePath` (absolute, symbolic links
    // resolved), leaving out the calling process. A process whose executable file was replaced or
    // removed while it runs still counts: the kernel shows it as "<path> (deleted)". Processes
    // whose executable cannot be read (other users', zombies) never count.
    static QList<qint64> processIds(const QString& executablePath, const QString& procRoot = QStringLiteral("/proc"));
    static bool isRunning(const QString& executablePath, const QString& procRoot = QStringLiteral("/proc")) {
        return !processIds(executablePath, procRoot).isEmpty();
    }
};
