#pragma once

#include <QString>

#include <optional>

// From the setting `syncRoot` (the folder the user chose) to the paths of the sync folder, the
// folder named "Orvella" inside it. Nothing is cached: each call reads the setting again, so a new
// sync root counts from the next call. Safe from any thread.

// The sync folder: `syncRoot` plus "Orvella"; none without a sync root.
std::optional<QString> syncFolderPath();
// A path below the sync root (not the sync folder); `appendingPathComponent` may hold several
// components. None without a sync root.
std::optional<QString> syncRootPath(const QString& appendingPathComponent);
// An absolute path written from the sync folder, always starting with "/" (the folder itself is
// "/"); none outside the sync folder or without a sync root.
std::optional<QString> pathRelativeToSyncFolder(const QString& path);
// The path is the sync folder or lies below it.
bool isInsideSyncFolder(const QString& path);
// Where the sync engine keeps its state: "<application data>/<AppBundleIdentifier>/SyncData". The
// error report packs it and the factory reset deletes it. None without a data location.
std::optional<QString> syncDataDirectoryPath();

// The same rules for a given folder, without reading the setting.
namespace SyncFolderPaths {

// The name of the sync folder inside the sync root.
inline const QString folderName = QStringLiteral("Orvella");

// Joins with exactly one separator and leaves no trailing separator; an empty component gives the
// base alone.
QString appendingPathComponent(const QString& base, const QString& component);
// The path written from `folder` ("/" for the folder itself), comparing whole path components:
// "/x/Orvella 1/a" is not inside "/x/Orvella". "." and ".." are resolved first, so a path cannot
// climb out of the folder and still count as inside. Both paths must be absolute.
std::optional<QString> relativePath(const QString& path, const QString& folder);
bool isInside(const QString& path, const QString& folder);

}  // namespace SyncFolderPaths
