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
    logURL(url);
    if (!syncDirectory_ || !isURL(url, QUrl::fromLocalFile(syncDirectory_->originalPath()))) return;
    const QString word = options_.badgeQuery ? options_.badgeQuery(url) : badgeIdentifier(url);
    FinderSyncController::defaultController().setBadgeIdentifier(word, url);
    monitoredURLs_.insert(url);
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
        if (path == oldPath) controller.setDirectoryURLs({});
    }
    syncDirectory_ = DirectoryIdentifier::make(path);
    const QUrl url = directoryURL(path);
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

QString FinderSync::badgeIdentifier(const QUrl& url) {
    MessagePortReply reply;
    // A connection the application dropped (it restarted) is made again once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto port = connectedBadgePort(attempt > 0);
        if (!port) {
            OVLOG_ERROR(AppLog::finderSync(), QStringLiteral("Cannot create server port."));
            return QStringLiteral("unknown");
        }
        reply = port->sendRequest(MessagePortProtocol::messageId, url.toEncoded(), MessagePortProtocol::sendTimeout,
                                  MessagePortProtocol::receiveTimeout, true);
        if (reply.result != MessagePortResult::isInvalid && reply.result != MessagePortResult::becameInvalid) break;
    }
    if (reply.result == MessagePortResult::success && reply.data) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString word = decoder(*reply.data);
        if (!decoder.hasError()) return word;
    }
    OVLOG_ERROR(AppLog::finderSync(), QStringLiteral("Result error: ") + QString::number(reply.result));
    return QStringLiteral("unknown");
}
