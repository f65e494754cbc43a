#pragma once

#include <QHash>
#include <QImage>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

// What the file manager shows for an extension: the badges it registered (image and label per
// identifier), the badge identifier set on each item, the folders it asked to watch and whether the
// user has enabled it.
//
// The host owns the one default controller and hands it to the plug-in when it creates the extension;
// every member is virtual so that the plug-in's calls run the host's code even though the plug-in
// carries its own copy of this class. All calls happen on the host's main thread.
class FinderSyncController {
public:
    struct Badge {
        QImage image;
        QString label;
    };

    using BadgeObserver = std::function<void(const QUrl& url, const QString& identifier)>;
    using DirectoriesObserver = std::function<void(const QSet<QUrl>& directoryURLs)>;

    FinderSyncController() = default;
    FinderSyncController(const FinderSyncController&) = delete;
    FinderSyncController& operator=(const FinderSyncController&) = delete;
    virtual ~FinderSyncController() = default;

    // The controller the extension talks to; a process-own one until the host sets its own.
    static FinderSyncController& defaultController();
    // Makes `controller` the default; none brings the process-own one back. Not owned.
    static void setDefaultController(FinderSyncController* controller);

    // Registers (or replaces) the badge shown for an identifier. The empty identifier cannot be
    // registered: it always means "no badge".
    virtual void setBadgeImage(const QImage& image, const QString& label, const QString& badgeID);
    // Sets the badge of an item, at any time; the empty identifier clears it. An identifier that is
    // not registered is kept, but shows no badge.
    virtual void setBadgeIdentifier(const QString& badgeID, const QUrl& url);

    virtual QSet<QUrl> directoryURLs() const;
    virtual void setDirectoryURLs(const QSet<QUrl>& urls);

    virtual bool isExtensionEnabled() const;
    virtual void setExtensionEnabled(bool enabled);

    // The identifier last set on the item; empty when none.
    virtual QString badgeIdentifier(const QUrl& url) const;
    // The same for the item at a cleaned absolute path, without making its URL: a host asks for
    // every item of a folder it lists.
    QString badgeIdentifierAtPath(const QString& path) const;
    // The badge the item shows: none when it has no identifier or an unregistered one.
    virtual std::optional<Badge> badge(const QUrl& url) const;
    // The registration of an identifier, if any.
    virtual std::optional<Badge> registeredBadge(const QString& badgeID) const;
    // Registered identifiers in the order they were first registered.
    virtual QStringList registeredBadgeIdentifiers() const;
    // Items that carry a non-empty identifier.
    virtual QList<QUrl> badgedURLs() const;

    // Called after an item's identifier changed, and after the watched folders changed.
    virtual void setBadgeObserver(BadgeObserver observer);
    virtual void setDirectoriesObserver(DirectoriesObserver observer);

    // Items are keyed by their cleaned local path, so "file:///a/b/" and "file:///a/b" are one item.
    static QString itemKey(const QUrl& url);

private:
    QHash<QString, Badge> badges_;
    QStringList badgeOrder_;
    QHash<QString, QString> identifiers_;  // item key -> identifier
    QHash<QString, QUrl> urls_;            // item key -> the URL last set
    QSet<QUrl> directoryURLs_;
    bool enabled_ = true;
    BadgeObserver badgeObserver_;
    DirectoriesObserver directoriesObserver_;
};
