#include "app/sync/Server.h"

#include "app/common/LogChannels.h"
#include "platform/messageport/MessagePort.h"
#include "protocol/BadgeWords.h"

Server::~Server() = default;

QString Server::badgeWord(OVItemSyncStatus status) {
    switch (status) {
    case OVItemSyncStatus::error: return BadgeWords::error;
    case OVItemSyncStatus::readOnly: return BadgeWords::readOnly;
    case OVItemSyncStatus::syncing: return BadgeWords::syncing;
    case OVItemSyncStatus::synced: return BadgeWords::synced;
    case OVItemSyncStatus::selectivelyNotSynced: return BadgeWords::selectivelyNotSynced;
    case OVItemSyncStatus::ignored: return BadgeWords::ignored;
    }
    return BadgeWords::readOnly;
}

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
