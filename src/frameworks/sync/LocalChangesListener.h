#pragma once

#include <QString>

// Receives the sync folder's local changes, one call per change, in order. Paths are absolute
// local file paths (directories without a trailing slash).
class LocalChangesListener {
public:
    virtual ~LocalChangesListener() = default;
    virtual void fileChanged(const QString& path) = 0;
    virtual void fileMoved(const QString& from, const QString& to) = 0;
    virtual void fileReplaced(const QString& from, const QString& to) = 0;
    virtual void directoryAdded(const QString& path) = 0;
    virtual void directoryMoved(const QString& from, const QString& to) = 0;
    virtual void directoryReplaced(const QString& from, const QString& to) = 0;
    virtual void itemDeleted(const QString& path) = 0;
    virtual void itemPermissionChanged(const QString& path, bool isDirectory) = 0;
    virtual void mustScanSubDirectories() = 0;
};
