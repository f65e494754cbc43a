#include "extension/FinderSync.h"

#include <QDir>
#include <QStringDecoder>

#include <mutex>

#include <dlfcn.h>

#include "app/common/LogChannels.h"
#include "extension/BadgeImages.h"
#include "extension/CommServerConnector.h"
#include "extension/ExtensionPorts.h"
#include "extension/FinderSyncServer.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/findersync/FinderSyncController.h"
#include "platform/foundation/MainQueue.h"
#include "platform/messageport/MessagePort.h"
#include "protocol/MessagePortProtocol.h"

namespace {

QStringList components(const QUrl& url) {
    const QStringList parts = url.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QStringList normalized;
    normalized.reserve(parts.size());
    for (const QString& part : parts) normalized.append(part.normalized(QString::NormalizationForm_C));
    return normalized;
}

QStringList pathComponents(const QString& path) { return components(QUrl::fromLocalFile(path)); }

QUrl directoryURL(const QString& path) {
    return QUrl::fromLocalFile(path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/'));
}

// Where the code of this extension was loaded from: the plug-in's file in a host.
QString bundlePath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&bundlePath), &info) && info.dli_fname)
        return QString::fromLocal8Bit(info.dli_fname);
    return {};
}

// The word for an item the application gave no answer for; no badge is registered under it.
const QString unknownWord = QStringLiteral("unknown");

void logURL(const QUrl& url) {
    OVLOG_INFO(AppLog::finderSync(), QStringLiteral("URL Path: ") + url.path());
}

}  // namespace

FinderSync::FinderSync() : FinderSync(Options{}) {}

FinderSync::FinderSync(Options options) : options_(std::move(options)), alive_(std::make_shared<int>(0)) {
    portName_ = ExtensionPorts::appGroupIdentifier() + QLatin1Char('.') + ExtensionPorts::randomPortSuffix(7);
    BadgeImages::registerBadgeIdentifiers(FinderSyncController::defaultController());

    settings_ = std::make_unique<OrvellaSettingsManager>(ExtensionPorts::appGroupIdentifier(), false);
    if (const std::optional<QString> root = settings_->syncRoot()) {
        const QString path = root->endsWith(QLatin1Char('/')) ? *root + QStringLiteral("Orvella")
                                                              : *root + QStringLiteral("/Orvella");
        MainQueue::async([this, alive = std::weak_ptr<int>(alive_), path] {
            if (alive.lock()) updateSyncDirectory(path);
        });
    }
    OVLOG_INFO(AppLog::finderSync(), QStringLiteral("FinderSync() launched from ") + bundlePath());

    if (!options_.connectToApplication) return;
    FinderSyncServer::shared().setDelegate(this);
    port_ = FinderSyncServer::addSourceForNewLocalMessagePort(portName_);
    CommServerConnector& connector = CommServerConnector::shared();
    connector.setLocalPortName(portName_);
    connector.setDelegate(this);
    connector.connect();
}

FinderSync::~FinderSync() {
    if (FinderSyncServer::shared().delegate() == this) FinderSyncServer::shared().setDelegate(nullptr);
    if (CommServerConnector::shared().delegate() == this) CommServerConnector::shared().setDelegate(nullptr);
}

void FinderSync::beginObservingDirectoryAtURL(const QUrl& url) { logURL(url); }

void FinderSync::endObservingDirectoryAtURL(const QUrl& url) {
    logURL(url);
    monitoredURLs_ -= monitoredURLs(url, false);
}

void FinderSync::requestBadgeIdentifierForURL(const QUrl& url) {
    // Once per item the file manager shows: at info level a folder of thousands would flood the log.
    OVLOG_DEBUG(AppLog::finderSync(), QStringLiteral("URL Path: ") + url.path());
    if (!isInSyncDirectory(url)) return;
    monitoredURLs_.insert(url);
    if (options_.badgeQuery) return setBadge(url, options_.badgeQuery(url));
    // The file manager asks item by item as it shows a folder; the application is asked for all of
    // them together once it is done, which costs a fraction of a round trip each.
    pendingBadgeURLs_.append(url);
    if (pendingBadgeURLs_.size() > 1) return;
    MainQueue::async([this, alive = std::weak_ptr<int>(alive_)] {
        if (alive.lock()) askForPendingBadges();
    });
}

bool FinderSync::isInSyncDirectory(const QUrl& url) const {
    if (!syncDirectory_) return false;
    // Asked once per item shown: the path as the folder's own spelling, then slash, settles it
    // without comparing component by component.
    const QString path = url.path();
    if (path.startsWith(syncDirectoryPrefix_) || path == syncDirectoryPrefix_.chopped(1)) return true;
    return isURL(url, QUrl::fromLocalFile(syncDirectory_->originalPath()));
}

void FinderSync::setBadge(const QUrl& url, const QString& word) {
    if (word == unknownWord) badgesMayBeStale_ = true;
    FinderSyncController::defaultController().setBadgeIdentifier(word, url);
}

void FinderSync::askForPendingBadges() {
    QList<QUrl> urls;
    urls.swap(pendingBadgeURLs_);
    // Items no longer shown, or outside a sync folder set since, keep what they have.
    urls.removeIf([this](const QUrl& url) { return !monitoredURLs_.contains(url) || !isInSyncDirectory(url); });
    const QStringList words = badgeIdentifiers(urls);
    for (qsizetype i = 0; i < urls.size(); ++i) setBadge(urls.at(i), words.at(i));
}

void FinderSync::updateSyncDirectory(const QString& path) {
    FinderSyncController& controller = FinderSyncController::defaultController();
    if (syncDirectory_) {
        const QString oldPath = syncDirectory_->originalPath();
        const std::optional<QString> current = syncDirectory_->currentPath();
        if (current && *current != oldPath) {
            const QSet<QUrl> moved = monitoredURLs(QUrl::fromLocalFile(oldPath), true);
            clearBadges(moved, oldPath, *current);
            monitoredURLs_ -= moved;
        }
        // The folder still where it was, every badge answered since: nothing to ask again.
        if (path == oldPath && current == oldPath && !badgesMayBeStale_) return;
        if (path == oldPath) controller.setDirectoryURLs({});
    }
    badgesMayBeStale_ = false;
    syncDirectory_ = DirectoryIdentifier::make(path);
    const QUrl url = directoryURL(path);
    syncDirectoryPrefix_ = url.path();
    controller.setDirectoryURLs({url});
    requestBadgeIdentifierForURL(url);
}

QSet<QUrl> FinderSync::monitoredURLs(const QUrl& inside, bool includingItself) const {
    const QStringList folder = components(inside);
    QSet<QUrl> found;
    for (const QUrl& url : monitoredURLs_) {
        if (!isURL(url, inside)) continue;
        if (!includingItself && components(url) == folder) continue;
        found.insert(url);
    }
    return found;
}

bool FinderSync::isURL(const QUrl& item, const QUrl& inside) {
    const QStringList folder = components(inside);
    const QStringList path = components(item);
    if (folder.size() > path.size()) return false;
    return std::equal(folder.begin(), folder.end(), path.begin());
}

QString FinderSync::movedPath(const QString& path, const QString& oldPath, const QString& newPath) {
    const QStringList old = pathComponents(oldPath);
    const QStringList item = pathComponents(path);
    if (old.size() > item.size() || !std::equal(old.begin(), old.end(), item.begin())) return path;
    QString result = newPath;
    while (result.size() > 1 && result.endsWith(QLatin1Char('/'))) result.chop(1);
    for (qsizetype i = old.size(); i < item.size(); ++i) {
        if (!result.endsWith(QLatin1Char('/'))) result += QLatin1Char('/');
        result += item.at(i);
    }
    return result;
}

void FinderSync::clearBadges(const QSet<QUrl>& urls, const QString& oldPath, const QString& newPath) {
    FinderSyncController& controller = FinderSyncController::defaultController();
    for (const QUrl& url : urls)
        controller.setBadgeIdentifier(QString(), QUrl::fromLocalFile(movedPath(url.path(), oldPath, newPath)));
}

namespace {

// One connection to the application's badge server, shared by every query: a folder of thousands
// of items would otherwise connect thousands of times. Requests on one port go one at a time.
// Never destroyed: the plug-in may be unloaded after the host's event loop is gone.
std::mutex badgePortMutex;
std::shared_ptr<MessagePort>* badgePort = new std::shared_ptr<MessagePort>;

std::shared_ptr<MessagePort> connectedBadgePort(bool fresh) {
    std::lock_guard lock(badgePortMutex);
    if (fresh || !*badgePort || !(*badgePort)->isValid())
        *badgePort = MessagePort::createRemote(ExtensionPorts::badgeServerPortName());
    return *badgePort;
}

}  // namespace

QString FinderSync::badgeIdentifier(const QUrl& url) { return badgeIdentifiers({url}).constFirst(); }

QStringList FinderSync::badgeIdentifiers(const QList<QUrl>& urls) {
    QStringList words(urls.size(), unknownWord);
    std::vector<QByteArray> payloads;
    std::vector<qsizetype> unanswered;  // indices into `urls` of what is (still) to be asked
    for (qsizetype i = 0; i < urls.size(); ++i) unanswered.push_back(i);
    std::int32_t failure = MessagePortResult::success;
    // A connection the application dropped (it restarted) is made again once.
    for (int attempt = 0; attempt < 2 && !unanswered.empty(); ++attempt) {
        const auto port = connectedBadgePort(attempt > 0);
        if (!port) {
            OVLOG_ERROR(AppLog::finderSync(), QStringLiteral("Cannot create server port."));
            return words;
        }
        payloads.clear();
        for (const qsizetype i : unanswered) payloads.push_back(urls.at(i).toEncoded());
        const std::vector<MessagePortReply> replies = port->sendRequests(
            MessagePortProtocol::messageId, payloads, MessagePortProtocol::sendTimeout, MessagePortProtocol::receiveTimeout);
        std::vector<qsizetype> lostConnection;
        for (std::size_t k = 0; k < replies.size(); ++k) {
            const MessagePortReply& reply = replies[k];
            if (reply.result == MessagePortResult::isInvalid || reply.result == MessagePortResult::becameInvalid) {
                lostConnection.push_back(unanswered[k]);
                failure = reply.result;
                continue;
            }
            if (reply.result == MessagePortResult::success && reply.data) {
                QStringDecoder decoder(QStringDecoder::Utf8);
                const QString word = decoder(*reply.data);
                if (!decoder.hasError()) {
                    words[unanswered[k]] = word;
                    continue;
                }
            }
            failure = reply.result;
        }
        unanswered = std::move(lostConnection);
    }
    // Once for the lot: an application that is away would otherwise fill the log item by item.
    if (failure != MessagePortResult::success || words.contains(unknownWord))
        OVLOG_ERROR(AppLog::finderSync(), QStringLiteral("Result error: ") + QString::number(failure));
    return words;
}
