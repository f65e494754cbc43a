#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>
#include <vector>

#include "app/core/PathResolver.h"
#include "platform/sidebar/SidebarBookmarks.h"

// One entry of the file manager's sidebar favourites.
struct FinderSidebarFavorite {
    std::optional<QUrl> url;  // none when the entry does not resolve (its target is gone, or remote)
    QString name;             // what the sidebar shows

    // Favourites are the same when their URLs are; the name does not count.
    bool operator==(const FinderSidebarFavorite& other) const { return url == other.url; }

    // "<data home>/<executable name>/Finder Sidebar Items"; none without a data home.
    static std::optional<QUrl> storageDirectoryURL();
};

// Keeps the sync folder among the sidebar favourites: removes the entries of the current and of
// earlier sync folders and of the user's own folder in it, and adds the current sync folder at the
// end. The favourites live in the sidebar bookmarks; each call reads them afresh and keeps no state.
// Failures to read or write them skip the step that needed them and never reach the user. Main
// thread only.
class FinderSidebarController {
public:
    explicit FinderSidebarController(std::shared_ptr<const PathResolver> pathResolver,
                                     SidebarBookmarks bookmarks = SidebarBookmarks());

    // The standard-defaults key under which the folders this controller added are remembered, so
    // that their entries can be removed after the sync root has moved on.
    static inline const QString addedFoldersKey = QStringLiteral("FinderSidebarAddedFolders");

    // The favourites in sidebar order; none when they cannot be read.
    std::optional<std::vector<FinderSidebarFavorite>> favorites() const;
    // Adds the favourite after the last one; one without URL, or one already there, adds nothing.
    void addFavorite(const FinderSidebarFavorite& favorite) const;
    // Removes the entries of the sync folder and of the user's folder in it, entries without target
    // named like the signed-in user, and the entries of earlier sync folders.
    void removeSyncRootFavorite() const;
    // The update on every sync set-up: earlier entries out, the sync folder in, named after itself.
    void replaceSyncRootFavorite(const QString& syncFolder) const;

private:
    FinderSidebarFavorite favoriteOf(const SidebarBookmark& bookmark) const;
    // Removes every entry matching the reference: both resolve to the same path, or neither resolves
    // and they carry the same name.
    void removeMatches(const FinderSidebarFavorite& reference) const;
    void removeEarlierSyncFolders(const std::vector<FinderSidebarFavorite>& reference) const;
    QStringList addedFolders() const;
    void setAddedFolders(const QStringList& folders) const;

    std::shared_ptr<const PathResolver> pathResolver_;
    mutable SidebarBookmarks bookmarks_;
};
