#include "app/sync/AppServer.h"

#include <QFile>
#include <QUrl>

#include <sys/stat.h>

#include <cerrno>

#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "frameworks/sync/SyncFacade.h"
#include "platform/messageport/MessagePort.h"

std::shared_ptr<MessagePort> AppServer::createMessagePortWithName(const QString& name) {
    return MessagePort::createLocal(name, [](std::int32_t messageId, const QByteArray& data) {
        AppServer server;
        return server.handleMessageWithID(messageId, data);
    });
}

std::optional<QByteArray> AppServer::handleMessageWithID(std::int32_t, const QByteArray& data) {
    if (data.isEmpty()) return std::nullopt;
    const QUrl url = QUrl::fromEncoded(data, QUrl::StrictMode);
    // The engine knows items by path: only a file URL names one.
    if (!url.isValid() || !url.isLocalFile()) return std::nullopt;
    SyncFacade* syncFacade = BusinessFacadeHolder::facade().syncFacade();
    if (!syncFacade) return std::nullopt;
    const QString path = url.toLocalFile();
    const OVItemSyncStatus status = syncFacade->itemSyncStatus(path);
    // Nothing there, nothing to badge: "syncing" on a path that is gone would promise work that
    // never comes. Without an answer the extension shows no badge. In step, the item was there when
    // the engine looked: most items of a folder are, and are spared the second look.
    struct stat info {};
    if (status != OVItemSyncStatus::synced && ::lstat(QFile::encodeName(path).constData(), &info) != 0 && errno == ENOENT)
        return std::nullopt;
    const QString word = badgeWord(status);
    // Once per item the file manager shows: at info level a folder of thousands would flood the log.
    OVLOG_DEBUG(AppLog::finderSync(), QStringLiteral("Sync Framework returned item status \"") + word +
                                         QStringLiteral("\" for URL \"") + QString::fromUtf8(url.toEncoded()) +
                                         QStringLiteral("\"."));
    return word.toUtf8();
}
