#include "app/sync/Server.h"

#include "app/common/LogChannels.h"
#include "platform/messageport/MessagePort.h"

Server::~Server() = default;

bool Server::addSourceForNewLocalMessagePort(const QString& name) {
    auto port = createMessagePortWithName(name);
    if (!port) {
        OVLOG_ERROR(AppLog::finderSync(), QStringLiteral("Cannot create message port."));
        return false;
    }
    port_ = std::move(port);
    return true;
}

std::shared_ptr<MessagePort> Server::createMessagePortWithName(const QString& name) {
    return MessagePort::createLocal(name, [this](std::int32_t messageId, const QByteArray& data) {
        return handleMessageWithID(messageId, data);
    });
}
