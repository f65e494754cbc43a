#include "app/sync/FileController.h"

#include <QDir>
#include <QFileInfo>

#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/sync/SyncFolderPaths.h"
#include "frameworks/settings/OrvellaSettingsManager.h"

void FileController::move(const QString& directory, const QString& destination) const {
    if (!QDir().mkpath(destination)) {
        OVLOG_ERROR(AppLog::setup(), QStringLiteral("Cannot create directory at ") + destination + QStringLiteral("."));
        BusinessFacadeHolder::facade().settings()->setSyncRoot(directory);
        return;
    }
    // Only the top level moves: a moved folder takes its contents along, and walking below it would
    // report every descendant as a failed move.
    const QString target = QFileInfo(destination).absoluteFilePath();
    const QStringList names =
        QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString from = SyncFolderPaths::appendingPathComponent(directory, name);
        const QString to = SyncFolderPaths::appendingPathComponent(destination, name);
        if (QFileInfo(from).absoluteFilePath() == target) continue;
        // Never replaces an item already at the destination: a clash keeps both where they are.
        if (QFileInfo::exists(to) || QFileInfo(to).isSymLink() || !QDir().rename(from, to)) {
            OVLOG_ERROR(AppLog::setup(), QStringLiteral("Cannot move item from ") + from + QStringLiteral(" to ") + to +
                                             QStringLiteral("."));
        }
    }
}
