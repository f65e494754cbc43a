#include "launchhelper/RunningApplications.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace {

QString readLink(const QString& path) {
    char target[PATH_MAX];
    const QByteArray encoded = QFile::encodeName(path);
    const ssize_t size = ::readlink(encoded.constData(), target, sizeof target);
    if (size <= 0 || size >= static_cast<ssize_t>(sizeof target)) return {};
    return QFile::decodeName(QByteArray(target, static_cast<qsizetype>(size)));
}

}  // namespace

QList<qint64> RunningApplications::processIds(const QString& executablePath, const QString& procRoot) {
    QList<qint64> ids;
    if (executablePath.isEmpty()) return ids;
    const QString deleted = executablePath + QStringLiteral(" (deleted)");
    const qint64 self = ::getpid();
    const uid_t user = ::geteuid();
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric || pid <= 0 || pid == self) continue;
        const QString dir = procRoot + QLatin1Char('/') + entry;
        struct stat info {};
        if (::stat(QFile::encodeName(dir).constData(), &info) != 0 || info.st_uid != user) continue;
        const QString executable = readLink(dir + QStringLiteral("/exe"));
        if (executable == executablePath || executable == deleted) ids << pid;
    }
    return ids;
}
