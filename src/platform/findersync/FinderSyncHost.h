#pragma once

#include <QHash>
#include <QLibrary>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>

#include "platform/findersync/FinderSyncController.h"

class FinderSyncExtension;
class QFileSystemWatcher;

// Plays the file manager for one extension plug-in in this process: loads it, owns its default
// controller and, on the main thread, tells it which of the shown folders lie inside its watched
// folders and asks for the badge of every item shown there. It never waits for the extension beyond
// the extension's own calls.
class FinderSyncHost : public QObject {
    Q_OBJECT

public:
    struct Item {
        QString name;
        QString badge;  // the registered identifier shown, empty when none
    };

    explicit FinderSyncHost(QObject* parent = nullptr);
    ~FinderSyncHost() override;

    // Loads the plug-in and creates its extension. False, with `errorString()`, when the file cannot
    // be loaded, lacks the factory or the factory answers none.
    bool load(const QString& pluginPath);
    QString errorString() const;
    bool isLoaded() const;
    FinderSyncController& controller();

    // The plug-in next to the running program, as the build lays it out.
    static QString defaultPluginPath();
    // A name or path fit for one line of a listing: a backslash, tabs, line breaks and every other
    // control character are written as escapes ("\\", "\t", "\n", "\x1b", "\u0085"), so that
    // no name can break a line or forge another entry.
    static QString escapedForListing(const QString& text);

    // The user opens or closes a folder window. An open folder inside the watched folders is observed
    // and its items are asked for; new items are asked for as they appear.
    void showFolder(const QString& path);
    void hideFolder(const QString& path);
    QStringList shownFolders() const;

    // The items of a folder, sorted by name, with the badge each one shows now.
    QList<Item> listing(const QString& path) const;
    // Whether every listed item of the folder shows a badge.
    bool allItemsBadged(const QString& path) const;
    // Whether the folder is one of the watched folders or lies inside one.
    bool isInsideWatchedFolders(const QString& path) const;

signals:
    // An item's identifier changed (empty when cleared).
    void badgeChanged(const QUrl& url, const QString& identifier);
    // The extension changed its watched folders.
    void directoriesChanged();

private:
    void scheduleRefresh();
    void refresh();
    void observe(const QString& folder);
    void requestItems(const QString& folder, bool onlyNew);
    // The names a file manager shows in the folder, by name when `sorted`.
    static QStringList entryNames(const QString& folder, bool sorted);
    // The identifier the item shows; empty when none or an unregistered one.
    QString shownBadge(const QString& folder, const QString& name) const;

    FinderSyncController controller_;
    QLibrary library_;
    std::unique_ptr<FinderSyncExtension> extension_;
    QString error_;
    QStringList shown_;
    QSet<QString> observed_;                // shown folders the extension observes
    QHash<QString, QSet<QString>> asked_;   // folder -> item names asked for
    QHash<QString, int> askedGeneration_;  // folder -> directoriesGeneration_ when all were asked
    int directoriesGeneration_ = 0;       // bumped whenever the extension sets its folders
    QFileSystemWatcher* watcher_ = nullptr;
    bool refreshPending_ = false;
};
