#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

#include "extension/CommServerConnectorDelegate.h"
#include "extension/DirectoryIdentifier.h"
#include "extension/FinderSyncServerDelegate.h"
#include "platform/findersync/FinderSyncExtension.h"

class MessagePort;
class OrvellaSettingsManager;

// The file-manager extension: a badge on the sync folder and on every item inside it, the words
// coming from the application; the watched-folder list follows the sync folder when it moves.
class FinderSync final : public FinderSyncExtension,
                         public FinderSyncServerDelegate,
                         public CommServerConnectorDelegate {
public:
    struct Options {
        // Opens the own port and registers with the application.
        bool connectToApplication = true;
        // Answers an item's badge word; the application's badge server when empty.
        std::function<QString(const QUrl&)> badgeQuery;
    };

    FinderSync();
    explicit FinderSync(Options options);
    ~FinderSync() override;

    void beginObservingDirectoryAtURL(const QUrl& url) override;
    void endObservingDirectoryAtURL(const QUrl& url) override;
    void requestBadgeIdentifierForURL(const QUrl& url) override;

    // The same folder again sets the watched folders again only when the badges shown may be out
    // of date; otherwise the file manager would ask for every item anew.
    void updateSyncDirectory(const QString& path) override;
    // What it answered while away is lost, and what changed meanwhile was never pushed here.
    void applicationWentAway() override { badgesMayBeStale_ = true; }
    QSet<QUrl> monitoredURLs(const QUrl& inside, bool includingItself) const;

    const std::optional<DirectoryIdentifier>& syncDirectory() const { return syncDirectory_; }
    const QSet<QUrl>& monitoredURLs() const { return monitoredURLs_; }
    const QString& finderSyncExtensionMessagePortName() const { return portName_; }

    // Asks the application for the item's badge word; "unknown" when there is no answer.
    static QString badgeIdentifier(const QUrl& url);
    // The same for many items over one connection, the words in the items' order.
    static QStringList badgeIdentifiers(const QList<QUrl>& urls);

    // Whether the folder's path components begin the item's (equal URLs included; a folder with no
    // components holds everything). Components compare case-sensitively, canonically equivalent
    // Unicode forms as equal.
    static bool isURL(const QUrl& item, const QUrl& inside);
    // Clears the badge of each item at the place it has moved to: a leading `oldPath` of its path is
    // replaced by `newPath`.
    static void clearBadges(const QSet<QUrl>& urls, const QString& oldPath, const QString& newPath);
    // The item's path with a leading folder path replaced; the path unchanged when it does not lie
    // in that folder.
    static QString movedPath(const QString& path, const QString& oldPath, const QString& newPath);

private:
    bool isInSyncDirectory(const QUrl& url) const;
    void setBadge(const QUrl& url, const QString& word);
    void askForPendingBadges();

    Options options_;
    std::optional<DirectoryIdentifier> syncDirectory_;
    QString syncDirectoryPrefix_;  // the sync folder's URL path, ending in a slash
    QSet<QUrl> monitoredURLs_;
    QString portName_;
    std::unique_ptr<OrvellaSettingsManager> settings_;
    std::shared_ptr<MessagePort> port_;
    // Since the watched folders were last set: an item went without an answer, or the application
    // went away.
    bool badgesMayBeStale_ = false;
    // Asked for by the file manager, to be asked of the application once its burst of asking ends.
    QList<QUrl> pendingBadgeURLs_;
    std::shared_ptr<int> alive_;  // async work checks it so that none outlives the extension
};
