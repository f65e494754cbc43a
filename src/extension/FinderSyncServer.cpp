#include "extension/FinderSyncServer.h"

#include <QUrl>

#include <variant>

#include "app/common/LogChannels.h"
#include "platform/findersync/FinderSyncController.h"
#include "protocol/MessagePortProtocol.h"

FinderSyncServer& FinderSyncServer::shared() {
    static FinderSyncServer* server = new FinderSyncServer;
    return *server;
}

std::optional<QByteArray> FinderSyncServer::handleMessage(std::int32_t, const QByteArray& data) {
    const MessagePortProtocol::Push push = MessagePortProtocol::decodePush(data);
    if (const auto* status = std::get_if<URLSyncStatus>(&push)) {
        FinderSyncController::defaultController().setBadgeIdentifier(status->itemStatusDescription,
                                                                     QUrl(status->url, QUrl::StrictMode));
        return std::nullopt;
    }
    if (const auto* root = std::get_if<RootDirectory>(&push)) {
        if (delegate_) delegate_->updateSyncDirectory(root->path);
    }
    return std::nullopt;
}

MessagePort::Callback FinderSyncServer::callback() {
    return [](std::int32_t messageID, const QByteArray& data) {
        return FinderSyncServer::shared().handleMessage(messageID, data);
    };
}

std::shared_ptr<MessagePort> FinderSyncServer::addSourceForNewLocalMessagePort(const QString& name) {
    auto port = MessagePort::createLocal(name, callback());
    if (!port) OVLOG_ERROR(AppLog::finderSync(), QStringLiteral("Cannot create message port."));
    return port;
}
