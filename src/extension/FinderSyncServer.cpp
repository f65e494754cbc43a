#include "extension/FinderSyncServer.h"

#include "app/common/LogChannels.h"
#include "extension/ExtensionMessages.h"
#include "platform/findersync/FinderSyncController.h"

FinderSyncServer& FinderSyncServer::shared() {
    static FinderSyncServer* server = new FinderSyncServer;
    return *server;
}

std::optional<QByteArray> FinderSyncServer::handleMessage(std::int32_t, const QByteArray& data) {
    if (const auto status = ExtensionMessages::URLSyncStatus::decode(data)) {
        FinderSyncController::defaultController().setBadgeIdentifier(status->itemStatusDescription, status->url);
        return std::nullopt;
    }
    if (const auto root = ExtensionMessages::RootDirectory::decode(data)) {
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
