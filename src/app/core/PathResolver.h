#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Names the folders that stand for the signed-in user's own area: locally the sync folder and the
// user's folder in it, remotely the user's name.
class PathResolver {
public:
    virtual ~PathResolver() = default;

    // The folder under the sync folder that holds the users' areas ("users").
    virtual QString usersFolderName() const = 0;
    // The sync folder plus the users folder plus the user's name; none without a sync folder or a
    // signed-in user.
    virtual std::optional<QString> userHomeLocalPath() const = 0;
    // The sync folder, then the user's home folder: those of the two that exist as values.
    virtual QStringList localSystemPaths() const = 0;
    // The signed-in user's name, or nothing.
    virtual QStringList remoteSystemNames() const = 0;
};
