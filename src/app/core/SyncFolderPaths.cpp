#include "app/core/SyncFolderPaths.h"

#include <QDir>
#include <QStandardPaths>
#include <QStringList>

#include "app/common/ConfigurationProvider.h"

#include "app/core/SettingsController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"

namespace {

std::optional<QString> syncRoot() {
    auto root = SettingsController().settings()->syncRoot();
    if (!root || root->isEmpty()) return std::nullopt;
    return root;
}

}  // namespace

std::optional<QString> syncFolderPath() {
    const auto root = syncRoot();
    if (!root) return std::nullopt;
    return SyncFolderPaths::appendingPathComponent(*root, SyncFolderPaths::folderName);
}

std::optional<QString> syncRootPath(const QString& appendingPathComponent) {
    const auto root = syncRoot();
    if (!root) return std::nullopt;
    return SyncFolderPaths::appendingPathComponent(*root, appendingPathComponent);
}

std::optional<QString> pathRelativeToSyncFolder(const QString& path) {
    const auto folder = syncFolderPath();
    if (!folder) return std::nullopt;
    return SyncFolderPaths::relativePath(path, *folder);
}

bool isInsideSyncFolder(const QString& path) { return pathRelativeToSyncFolder(path).has_value(); }

std::optional<QString> syncDataDirectoryPath() {
    const QString support = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (support.isEmpty()) return std::nullopt;
    return QDir(support).filePath(infoPlistString(QStringLiteral("AppBundleIdentifier")) + QStringLiteral("/SyncData"));
}

namespace SyncFolderPaths {

QString appendingPathComponent(const QString& base, const QString& component) {
    const QStringList baseParts = base.split(u'/', Qt::SkipEmptyParts);
    const QStringList parts = baseParts + component.split(u'/', Qt::SkipEmptyParts);
    const QString joined = parts.join(u'/');
    if (base.startsWith(u'/')) return u'/' + joined;
    return joined;
}

std::optional<QString> relativePath(const QString& path, const QString& folder) {
    if (!path.startsWith(u'/') || !folder.startsWith(u'/')) return std::nullopt;
    const QStringList pathParts = QDir::cleanPath(path).split(u'/', Qt::SkipEmptyParts);
    const QStringList folderParts = QDir::cleanPath(folder).split(u'/', Qt::SkipEmptyParts);
    if (pathParts.size() < folderParts.size()) return std::nullopt;
    for (qsizetype i = 0; i < folderParts.size(); ++i) {
        if (pathParts[i] != folderParts[i]) return std::nullopt;
    }
    return u'/' + pathParts.mid(folderParts.size()).join(u'/');
}

bool isInside(const QString& path, const QString& folder) { return relativePath(path, folder).has_value(); }

}  // namespace SyncFolderPaths
