#include "app/sync/FinderSidebarController.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QVariant>

#include <algorithm>

#include "app/common/LogChannels.h"
#include "app/core/SyncFolderPaths.h"
#include "app/sync/OVFileSystemMetadataController.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/UserDefaults.h"

namespace {

// Paths name the same entry when they are equal once cleaned, canonically equivalent Unicode forms
// counting as equal.
QString comparable(const QString& path) { return QDir::cleanPath(path).normalized(QString::NormalizationForm_C); }

bool samePath(const QString& a, const QString& b) { return comparable(a) == comparable(b); }

// A folder this application has made a sync folder carries the account marker.
bool carriesAccountMarker(const QString& folder) {
    return QFileInfo(SyncFolderPaths::appendingPathComponent(
                         SyncFolderPaths::appendingPathComponent(folder, OVFileSystemMetadataController::markerFolderName),
                         OVFileSystemMetadataController::accountIdFileName))
        .isFile();
}

}  // namespace

std::optional<QUrl> FinderSidebarFavorite::storageDirectoryURL() {
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty()) return std::nullopt;
    const QVariant executable = Bundle::main().object(QStringLiteral("CFBundleExecutable"));
    const QString name = executable.metaType().id() == QMetaType::QString ? executable.toString() : QString();
    return QUrl::fromLocalFile(SyncFolderPaths::appendingPathComponent(
        SyncFolderPaths::appendingPathComponent(dataHome, name), QStringLiteral("Finder Sidebar Items")));
}

FinderSidebarController::FinderSidebarController(std::shared_ptr<const PathResolver> pathResolver,
                                                 SidebarBookmarks bookmarks)
    : pathResolver_(std::move(pathResolver)), bookmarks_(std::move(bookmarks)) {
    if (const auto directory = FinderSidebarFavorite::storageDirectoryURL()) {
        if (!QDir().mkpath(directory->toLocalFile()))
            OVLOG_ERROR(AppLog::finderSidebar(), QStringLiteral("Cannot create symbolic links directory at: ") +
                                                     directory->toString(QUrl::FullyEncoded));
    }
}

FinderSidebarFavorite FinderSidebarController::favoriteOf(const SidebarBookmark& bookmark) const {
    FinderSidebarFavorite favorite;
    if (const auto path = bookmark.resolvedPath()) favorite.url = QUrl::fromLocalFile(*path);
    favorite.name = bookmark.displayName();
    return favorite;
}

std::optional<std::vector<FinderSidebarFavorite>> FinderSidebarController::favorites() const {
    const auto list = bookmarks_.bookmarks();
    if (!list) return std::nullopt;
    std::vector<FinderSidebarFavorite> result;
    result.reserve(size_t(list->size()));
    for (const SidebarBookmark& bookmark : *list) result.push_back(favoriteOf(bookmark));
    return result;
}

void FinderSidebarController::addFavorite(const FinderSidebarFavorite& favorite) const {
    if (!favorite.url || !favorite.url->isLocalFile()) return;
    // The bookmarks file holds only what the user added; the desktop's own places (home, desktop,
    // ...) are always shown before it. So an empty file is still a sidebar with favourites, and the
    // new entry goes at its end. Only a list that cannot be read stops here.
    if (!bookmarks_.bookmarks()) return;
    // The bookmarks file has no place for an icon; the entry shows the folder's own icon.
    const QString path = QDir::cleanPath(favorite.url->toLocalFile());
    if (!bookmarks_.add(path, favorite.name)) {
        OVLOG_WARNING(AppLog::finderSidebar(), QStringLiteral("Cannot add the sidebar entry for ") + path);
        return;
    }
    QStringList folders = addedFolders();
    if (!folders.contains(path)) {
        folders.append(path);
        setAddedFolders(folders);
    }
}

void FinderSidebarController::removeMatches(const FinderSidebarFavorite& reference) const {
    const std::optional<QString> referencePath =
        reference.url ? std::optional<QString>(reference.url->toLocalFile()) : std::nullopt;
    bookmarks_.removeIf([&](const SidebarBookmark& bookmark) {
        const FinderSidebarFavorite item = favoriteOf(bookmark);
        if (item.url && referencePath) return samePath(item.url->toLocalFile(), *referencePath);
        return !item.url && !referencePath && item.name == reference.name;
    });
}

void FinderSidebarController::removeSyncRootFavorite() const {
    const auto reference = favorites();
    if (!reference) return;

    for (const QString& path : pathResolver_->localSystemPaths()) {
        for (const FinderSidebarFavorite& favorite : *reference) {
            if (favorite.url && samePath(favorite.url->toLocalFile(), path)) removeMatches(favorite);
        }
    }
    for (const QString& name : pathResolver_->remoteSystemNames()) {
        for (const FinderSidebarFavorite& favorite : *reference) {
            if (!favorite.url && favorite.name == name) removeMatches(favorite);
        }
    }
    removeEarlierSyncFolders(*reference);
}

void FinderSidebarController::removeEarlierSyncFolders(const std::vector<FinderSidebarFavorite>& reference) const {
    // Two ways to know an earlier sync folder: this controller added it (remembered even when the
    // folder has gone since), or it still carries the account marker.
    QStringList folders = addedFolders();
    for (const FinderSidebarFavorite& favorite : reference) {
        if (favorite.url && carriesAccountMarker(favorite.url->toLocalFile()))
            folders.append(favorite.url->toLocalFile());
    }
    if (folders.isEmpty()) return;
    const auto removed = bookmarks_.removeIf([&](const SidebarBookmark& bookmark) {
        const auto path = bookmark.localPath();
        return path && std::any_of(folders.cbegin(), folders.cend(),
                                   [&](const QString& folder) { return samePath(*path, folder); });
    });
    if (!removed) {
        OVLOG_WARNING(AppLog::finderSidebar(), QStringLiteral("Cannot remove the sidebar entries of earlier sync folders"));
        return;
    }
    if (!addedFolders().isEmpty()) setAddedFolders({});
}

void FinderSidebarController::replaceSyncRootFavorite(const QString& syncFolder) const {
    removeSyncRootFavorite();
    const QString path = QDir::cleanPath(syncFolder);
    addFavorite({QUrl::fromLocalFile(path), QFileInfo(path).fileName()});
}

QStringList FinderSidebarController::addedFolders() const {
    const auto stored = UserDefaults::standard().arrayForKey(addedFoldersKey);
    QStringList folders;
    if (!stored) return folders;
    for (const QVariant& value : *stored) {
        if (value.metaType().id() == QMetaType::QString && !value.toString().isEmpty()) folders << value.toString();
    }
    return folders;
}

void FinderSidebarController::setAddedFolders(const QStringList& folders) const {
    if (folders.isEmpty()) {
        UserDefaults::standard().removeObject(addedFoldersKey);
        return;
    }
    QVariantList list;
    for (const QString& folder : folders) list << folder;
    UserDefaults::standard().setObject(addedFoldersKey, list);
}
