#include "platform/findersync/FinderSyncController.h"

#include <QDir>

namespace {
FinderSyncController* hostController = nullptr;
}

FinderSyncController& FinderSyncController::defaultController() {
    if (hostController) return *hostController;
    static FinderSyncController* own = new FinderSyncController;
    return *own;
}

void FinderSyncController::setDefaultController(FinderSyncController* controller) {
    hostController = controller;
}

QString FinderSyncController::itemKey(const QUrl& url) {
    if (url.isLocalFile()) return QDir::cleanPath(url.toLocalFile());
    return url.adjusted(QUrl::StripTrailingSlash | QUrl::NormalizePathSegments).toString();
}

void FinderSyncController::setBadgeImage(const QImage& image, const QString& label,
                                         const QString& badgeID) {
    if (badgeID.isEmpty()) return;
    if (!badges_.contains(badgeID)) badgeOrder_.append(badgeID);
    badges_.insert(badgeID, Badge{image, label});
}

void FinderSyncController::setBadgeIdentifier(const QString& badgeID, const QUrl& url) {
    const QString key = itemKey(url);
    if (key.isEmpty()) return;
    const QString previous = identifiers_.value(key);
    if (badgeID.isEmpty()) {
        identifiers_.remove(key);
        urls_.remove(key);
    } else {
        identifiers_.insert(key, badgeID);
        urls_.insert(key, url);
    }
    if (previous != badgeID && badgeObserver_) badgeObserver_(url, badgeID);
}

QSet<QUrl> FinderSyncController::directoryURLs() const { return directoryURLs_; }

void FinderSyncController::setDirectoryURLs(const QSet<QUrl>& urls) {
    directoryURLs_ = urls;
    // Setting the same list again still tells the host: it then looks at those folders afresh.
    if (directoriesObserver_) directoriesObserver_(directoryURLs_);
}

bool FinderSyncController::isExtensionEnabled() const { return enabled_; }
void FinderSyncController::setExtensionEnabled(bool enabled) { enabled_ = enabled; }

QString FinderSyncController::badgeIdentifier(const QUrl& url) const {
    return identifiers_.value(itemKey(url));
}

QString FinderSyncController::badgeIdentifierAtPath(const QString& path) const { return identifiers_.value(path); }

std::optional<FinderSyncController::Badge> FinderSyncController::badge(const QUrl& url) const {
    return registeredBadge(badgeIdentifier(url));
}

std::optional<FinderSyncController::Badge> FinderSyncController::registeredBadge(
    const QString& badgeID) const {
    const auto it = badges_.constFind(badgeID);
    if (it == badges_.constEnd()) return std::nullopt;
    return *it;
}

QStringList FinderSyncController::registeredBadgeIdentifiers() const { return badgeOrder_; }

QList<QUrl> FinderSyncController::badgedURLs() const { return urls_.values(); }

void FinderSyncController::setBadgeObserver(BadgeObserver observer) {
    badgeObserver_ = std::move(observer);
}

void FinderSyncController::setDirectoriesObserver(DirectoriesObserver observer) {
    directoriesObserver_ = std::move(observer);
}
