#include "app/sync/FileController.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/SyncFolderPaths.h"
#include "frameworks/settings/OrvellaSettingsManager.h"

namespace {

QString errorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Renames without ever replacing what is at `to`; the reason on failure, none on success.
std::optional<QString> renameWithoutReplacing(const QString& from, const QString& to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return std::nullopt;
    int error = errno;
    // File systems without the flag: a check before the rename is the best there is.
    if (error == EINVAL || error == ENOSYS) {
        struct stat info {};
        if (::lstat(target.constData(), &info) == 0) error = EEXIST;
        else if (::rename(source.constData(), target.constData()) == 0) return std::nullopt;
        else error = errno;
    }
    if (error == EEXIST || error == ENOTEMPTY)
        return QStringLiteral("An item with this name is already in %1.").arg(QFileInfo(to).absolutePath());
    return errorText(error);
}

}  // namespace

QString FileMoveReport::description() const {
    if (destinationFailure) return *destinationFailure;
    QStringList lines;
    for (const FileMoveFailure& failure : notMoved) lines << failure.name + QStringLiteral(": ") + failure.reason;
    return lines.join(u'\n');
}

FileMoveReport FileController::move(const QString& directory, const QString& destination) const {
    FileMoveReport report;
    if (!QDir().mkpath(destination)) {
        OVLOG_ERROR(AppLog::setup(), QStringLiteral("Cannot create directory at ") + destination + QStringLiteral("."));
        BusinessFacadeHolder::facade().settings()->setSyncRoot(directory);
        report.destinationFailure = QStringLiteral("Cannot create the folder %1.").arg(destination);
        return report;
    }
    // Only the top level moves: a moved folder takes its contents along, and walking below it would
    // report every descendant as a failed move.
    const QString target = QFileInfo(destination).absoluteFilePath();
    QDir source(directory);
    const QStringList names = source.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (names.isEmpty() && !source.isReadable())
        report.notMoved.push_back({QDir(directory).dirName(), QStringLiteral("The folder's contents cannot be read.")});
    for (const QString& name : names) {
        const QString from = SyncFolderPaths::appendingPathComponent(directory, name);
        const QString to = SyncFolderPaths::appendingPathComponent(destination, name);
        if (QFileInfo(from).absoluteFilePath() == target) continue;
        if (const std::optional<QString> reason = renameWithoutReplacing(from, to)) {
            OVLOG_ERROR(AppLog::setup(), QStringLiteral("Cannot move item from ") + from + QStringLiteral(" to ") + to +
                                             QStringLiteral("."));
            report.notMoved.push_back({name, *reason});
        }
    }
    return report;
}
