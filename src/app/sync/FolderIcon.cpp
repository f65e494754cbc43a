#include "app/sync/FolderIcon.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThreadPool>
#include <QUrl>

#include "app/common/ConfigurationProvider.h"
#include "app/common/LogChannels.h"
#include "app/core/ProcessLauncher.h"
#include "app/sync/SyncStatusImages.h"

namespace FolderIcon {

QString imageFilePath(const QString& imageName) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(infoPlistString(QStringLiteral("AppBundleIdentifier")) + QStringLiteral("/Icons/") +
                               imageName + QStringLiteral(".png"));
}

bool setIcon(const QString& folderPath, const QString& imageName) {
    const QString imagePath = imageFilePath(imageName);
    if (!QFileInfo::exists(imagePath)) {
        const QImage image = SyncStatusImages::image(imageName, QSize(256, 256));
        if (image.isNull()) return false;
        QDir().mkpath(QFileInfo(imagePath).absolutePath());
        QSaveFile file(imagePath);
        if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
            OVLOG_ERROR(AppLog::setup(), QStringLiteral("Cannot write the icon image at ") + imagePath);
            return false;
        }
    }
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty()) return false;
    const auto [output, status] = ProcessLauncher().launchAndWait(
        gio, QStringList{QStringLiteral("set"), QStringLiteral("-t"), QStringLiteral("string"), folderPath,
                         QStringLiteral("metadata::custom-icon"), QUrl::fromLocalFile(imagePath).toString()});
    (void)output;
    return status == 0;
}

void setIconAsync(const QString& folderPath, const QString& imageName) {
    QThreadPool::globalInstance()->start([folderPath, imageName] { setIcon(folderPath, imageName); });
}

}  // namespace FolderIcon
