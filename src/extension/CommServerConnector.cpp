#include "extension/CommServerConnector.h"

#include <QStringDecoder>

#include "app/common/LogChannels.h"
#include "extension/ExtensionPorts.h"
#include "platform/foundation/MainQueue.h"
#include "platform/messageport/MessagePort.h"
#include "protocol/MessagePortProtocol.h"

CommServerConnector& CommServerConnector::shared() {
    static CommServerConnector* connector = new CommServerConnector;
    return *connector;
}

void CommServerConnector::connect() {
    auto port = MessagePort::createRemote(ExtensionPorts::registrationPortName());
    if (!port) {
        OVLOG_WARNING(AppLog::finderSync(),
                      QStringLiteral("Cannot create server port for registration communication. Retrying in ") +
                          QString::number(retryDelayMs_ / 1000.0, 'f', 1) + QStringLiteral(" seconds."));
        MainQueue::asyncAfter(retryDelayMs_, [] { CommServerConnector::shared().connect(); });
        return;
    }
    if (registrationPort_ && registrationPort_ != port) registrationPort_->setInvalidationCallback({});
    registrationPort_ = port;
    port->setInvalidationCallback([] { CommServerConnector::shared().scheduleReconnect(); });
    sendLocalPortName(port);
}

void CommServerConnector::scheduleReconnect() {
    registrationPort_.reset();
    if (delegate_) delegate_->applicationWentAway();
    MainQueue::asyncAfter(retryDelayMs_, [] { CommServerConnector::shared().connect(); });
}

void CommServerConnector::sendLocalPortName(const std::shared_ptr<MessagePort>& serverPort) {
    if (!localPortName_ || localPortName_->isEmpty()) {
        OVLOG_ERROR(AppLog::finderSync(),
                    QStringLiteral("CommServerConnector localPortName not set or failed to convert to data"));
        return;
    }
    // A port replaced by a newer connection is of no use any more.
    if (serverPort != registrationPort_) return;
    const MessagePortReply reply =
        serverPort->sendRequest(MessagePortProtocol::messageId, localPortName_->toUtf8(),
                                MessagePortProtocol::sendTimeout, MessagePortProtocol::receiveTimeout, true);
    if (reply.result == MessagePortResult::isInvalid || reply.result == MessagePortResult::becameInvalid) return;
    if (reply.result == MessagePortResult::success) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString path = reply.data ? decoder(*reply.data) : QString();
        if (!path.isEmpty() && !decoder.hasError()) {
            if (delegate_) delegate_->updateSyncDirectory(path);
            return;
        }
        OVLOG_ERROR(AppLog::finderSync(), QStringLiteral("Result error: ") + QString::number(reply.result));
        return;
    }
    MainQueue::asyncAfter(retryDelayMs_, [serverPort] { CommServerConnector::shared().sendLocalPortName(serverPort); });
}
