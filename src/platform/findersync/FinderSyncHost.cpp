#include "platform/findersync/FinderSyncHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <algorithm>

#include <dirent.h>

#include "platform/findersync/FinderSyncExtension.h"

namespace {

QString cleanFolder(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

bool isInside(const QString& item, const QString& folder) {
    if (folder == QStringLiteral("/")) return true;
    return item == folder || item.startsWith(folder + QLatin1Char('/'));
}

QString itemPath(const QString& folder, const QString& name) {
    return folder == QStringLiteral("/") ? QLatin1Char('/') + name : folder + QLatin1Char('/') + name;
}

QUrl itemURL(const QString& folder, const QString& name) { return QUrl::fromLocalFile(itemPath(folder, name)); }

}  // namespace

FinderSyncHost::FinderSyncHost(QObject* parent) : QObject(parent) {
    controller_.setBadgeObserver([this](const QUrl& url, const QString& identifier) {
        emit badgeChanged(url, identifier);
    });
    // The extension may change its folders from inside one of our calls: look at them afterwards.
    controller_.setDirectoriesObserver([this](const QSet<QUrl>&) {
        ++directoriesGeneration_;
        scheduleRefresh();
    });
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& path) {
        const QString folder = cleanFolder(path);
        if (observed_.contains(folder)) requestItems(folder, true);
    });
}

FinderSyncHost::~FinderSyncHost() {
    extension_.reset();
    if (&FinderSyncController::defaultController() == &controller_)
        FinderSyncController::setDefaultController(nullptr);
    // The plug-in stays mapped: objects it handed to Qt may outlive the extension.
}

QString FinderSyncHost::defaultPluginPath() {
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& name : {QStringLiteral("libOrvella_Finder_extension.so"),
                                QStringLiteral("Orvella_Finder_extension.so")}) {
        const QString path = dir + QLatin1Char('/') + name;
        if (QFileInfo::exists(path)) return path;
    }
    return dir + QStringLiteral("/libOrvella_Finder_extension.so");
}

bool FinderSyncHost::load(const QString& pluginPath) {
    if (extension_) {
        error_ = QStringLiteral("An extension is already loaded.");
        return false;
    }
    library_.setFileName(pluginPath);
    if (!library_.load()) {
        error_ = library_.errorString();
        return false;
    }
    const auto factory = reinterpret_cast<FinderSyncExtensionFactory>(
        library_.resolve(kFinderSyncExtensionFactorySymbol));
    if (!factory) {
        error_ = QStringLiteral("%1 has no %2.").arg(pluginPath, QLatin1String(kFinderSyncExtensionFactorySymbol));
        return false;
    }
    // Our own code asking the default controller sees the same one as the plug-in.
    FinderSyncController::setDefaultController(&controller_);
    extension_.reset(factory(&controller_));
    if (!extension_) {
        error_ = QStringLiteral("The extension in %1 did not start.").arg(pluginPath);
        return false;
    }
    error_.clear();
    scheduleRefresh();
    return true;
}

QString FinderSyncHost::errorString() const { return error_; }
bool FinderSyncHost::isLoaded() const { return extension_ != nullptr; }
FinderSyncController& FinderSyncHost::controller() { return controller_; }

bool FinderSyncHost::isInsideWatchedFolders(const QString& path) const {
    const QString folder = cleanFolder(path);
    const QSet<QUrl> dirs = controller_.directoryURLs();
    return std::any_of(dirs.begin(), dirs.end(), [&](const QUrl& url) {
        return url.isLocalFile() && isInside(folder, FinderSyncController::itemKey(url));
    });
}

void FinderSyncHost::showFolder(const QString& path) {
    const QString folder = cleanFolder(path);
    if (shown_.contains(folder)) return;
    shown_.append(folder);
    watcher_->addPath(folder);
    if (isInsideWatchedFolders(folder)) observe(folder);
}

void FinderSyncHost::hideFolder(const QString& path) {
    const QString folder = cleanFolder(path);
    if (!shown_.removeOne(folder)) return;
    watcher_->removePath(folder);
    asked_.remove(folder);
    askedGeneration_.remove(folder);
    if (observed_.remove(folder) && extension_ && controller_.isExtensionEnabled())
        extension_->endObservingDirectoryAtURL(QUrl::fromLocalFile(folder));
}

QStringList FinderSyncHost::shownFolders() const { return shown_; }

void FinderSyncHost::scheduleRefresh() {
    if (refreshPending_) return;
    refreshPending_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshPending_ = false;
        refresh();
    });
}

void FinderSyncHost::refresh() {
    if (!extension_) return;
    for (const QString& folder : QStringList(shown_)) {
        const bool inside = isInsideWatchedFolders(folder);
        if (!inside && observed_.remove(folder)) {
            asked_.remove(folder);
            if (controller_.isExtensionEnabled())
                extension_->endObservingDirectoryAtURL(QUrl::fromLocalFile(folder));
        } else if (inside && askedGeneration_.value(folder, -1) != directoriesGeneration_) {
            // Folders set again since the items were asked for: look at every item afresh.
            observe(folder);
        }
    }
    emit directoriesChanged();
}

void FinderSyncHost::observe(const QString& folder) {
    if (!extension_ || !controller_.isExtensionEnabled()) return;
    if (!observed_.contains(folder)) {
        observed_.insert(folder);
        extension_->beginObservingDirectoryAtURL(QUrl::fromLocalFile(folder));
    }
    requestItems(folder, false);
}

void FinderSyncHost::requestItems(const QString& folder, bool onlyNew) {
    if (!extension_ || !controller_.isExtensionEnabled()) return;
    const QStringList names = entryNames(folder, true);
    if (!onlyNew) {
        asked_.remove(folder);
        askedGeneration_.insert(folder, directoriesGeneration_);
    }
    for (const QString& name : names) {
        // No reference into asked_ is kept across the call: the extension may run the event loop.
        if (asked_.value(folder).contains(name)) continue;
        asked_[folder].insert(name);
        extension_->requestBadgeIdentifierForURL(itemURL(folder, name));
        if (!observed_.contains(folder) || !extension_) return;
    }
}

QStringList FinderSyncHost::entryNames(const QString& folder, bool sorted) {
    // Read directly: a folder of thousands is listed on every look, and needs no more than names.
    // Every kind of item but the hidden ones, as a file manager shows them.
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.') names.append(QFile::decodeName(entry->d_name));
    ::closedir(dir);
    if (sorted) std::sort(names.begin(), names.end());
    return names;
}

QString FinderSyncHost::shownBadge(const QString& folder, const QString& name) const {
    const QString identifier = controller_.badgeIdentifierAtPath(itemPath(folder, name));
    return controller_.registeredBadge(identifier) ? identifier : QString();
}

QList<FinderSyncHost::Item> FinderSyncHost::listing(const QString& path) const {
    const QString folder = cleanFolder(path);
    QList<Item> items;
    for (const QString& name : entryNames(folder, true)) items.append(Item{name, shownBadge(folder, name)});
    return items;
}

bool FinderSyncHost::allItemsBadged(const QString& path) const {
    const QString folder = cleanFolder(path);
    const QStringList names = entryNames(folder, false);
    return std::all_of(names.begin(), names.end(), [&](const QString& name) { return !shownBadge(folder, name).isEmpty(); });
}

QString FinderSyncHost::escapedForListing(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'\\': out += QStringLiteral("\\\\"); continue;
        case u'\t': out += QStringLiteral("\\t"); continue;
        case u'\n': out += QStringLiteral("\\n"); continue;
        case u'\r': out += QStringLiteral("\\r"); continue;
        default: break;
        }
        if (u < 0x20 || u == 0x7f) out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else if ((u >= 0x80 && u < 0xa0) || u == 0x2028 || u == 0x2029)
            out += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        else out += c;
    }
    return out;
}
