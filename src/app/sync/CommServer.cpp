#include "app/sync/CommServer.h"

#include <QUrl>

#include <algorithm>

#include "app/common/LogChannels.h"
#include "app/core/SyncFolderPaths.h"
#include "app/sync/FinderSyncInstance.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/messageport/MessagePort.h"
#include "protocol/MessagePortProtocol.h"
#include "protocol/RootDirectory.h"
#include "protocol/URLSyncStatus.h"

CommServer::CommServer() : pushQueue_(std::make_unique<SerialQueue>(QStringLiteral("CommServer.pushes"))) {}

CommServer::~CommServer() {
    alive_.reset();
    // Drains the pushes still queued before the registry goes away.
    pushQueue_.reset();
}

std::optional<QByteArray> CommServer::handleMessageWithID(std::int32_t, const QByteArray& data) {
    const auto registration = registrationFor(data);
    if (!registration) return std::nullopt;
    return addInstance(*registration, MessagePort::createRemote(registration->portName));
}

std::shared_ptr<MessagePort> CommServer::createMessagePortWithName(const QString& name) {
    return MessagePort::createLocal(name, [this, alive = std::weak_ptr<int>(alive_)](
                                              std::int32_t, const QByteArray& data, MessagePort::Responder respond) {
        const auto registration = registrationFor(data);
        if (!registration) {
            respond(std::nullopt);
            return;
        }
        // An extension whose port does not take the connection must not hold up the main thread.
        MessagePort::createRemote(registration->portName, MessagePortProtocol::sendTimeout,
                                  [this, alive, registration = *registration, respond](std::shared_ptr<MessagePort> port) {
                                      if (alive.lock()) respond(addInstance(registration, std::move(port)));
                                  });
    });
}

std::optional<CommServer::Registration> CommServer::registrationFor(const QByteArray& data) {
    const auto name = MessagePortProtocol::decodeUtf8(data);
    if (!name || !MessagePort::isValidName(*name)) return std::nullopt;
    const auto folder = syncFolderPath();
    if (!folder) return std::nullopt;
    return Registration{*name, *folder};
}

std::optional<QByteArray> CommServer::addInstance(const Registration& registration, std::shared_ptr<MessagePort> port) {
    if (!port) return std::nullopt;
    {
        // One entry per port name: an instance that registers again (after a time-out, or when
        // the application came back) must not be pushed to twice.
        std::lock_guard lock(mutex_);
        if (!registeredSyncExtensions_.count(registration.portName)) dropRegistrationsOverTheCap();
        registeredSyncExtensions_[registration.portName] = {
            std::make_shared<FinderSyncInstance>(registration.portName, std::move(port)), nextRegistration_++};
    }
    OVLOG_INFO(AppLog::finderSync(), QStringLiteral("Registered Finder Sync Extension with message port: \"") +
                                         registration.portName + QStringLiteral("\"."));
    return registration.folder.toUtf8();
}

void CommServer::dropRegistrationsOverTheCap() {
    if (registeredSyncExtensions_.size() < maximumRegistrations) return;
    for (auto it = registeredSyncExtensions_.begin(); it != registeredSyncExtensions_.end();) {
        if (it->second.instance->isValid()) ++it;
        else it = registeredSyncExtensions_.erase(it);
    }
    if (registeredSyncExtensions_.size() < maximumRegistrations) return;
    const auto oldest = std::min_element(registeredSyncExtensions_.begin(), registeredSyncExtensions_.end(),
                                         [](const auto& a, const auto& b) { return a.second.order < b.second.order; });
    OVLOG_WARNING(AppLog::finderSync(), QStringLiteral("Too many Finder Sync Extensions registered; dropped message port: \"") +
                                            oldest->first + QStringLiteral("\"."));
    registeredSyncExtensions_.erase(oldest);
}

void CommServer::sendStatus(OVItemSyncStatus status, const QString& path) {
    {
        // With nobody to tell, a status costs no encoding: an extension that registers later
        // asks for the badges it shows.
        std::lock_guard lock(mutex_);
        if (registeredSyncExtensions_.empty()) return;
    }
    const URLSyncStatus record(QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded()),
                               badgeWord(status));
    sendDataToExtensions(record.encoded());
}

void CommServer::sendUpdatedRootDirectoryToExtensions(const QString& path) {
    sendDataToExtensions(RootDirectory{path}.encoded());
}

void CommServer::sendDataToExtensions(const QByteArray& data) {
    if (MainQueue::isMainThread()) pushQueue_->async([this, data] { push(data); });
    else push(data);
}

void CommServer::push(const QByteArray& data) {
    std::vector<std::shared_ptr<FinderSyncInstance>> instances;
    {
        std::lock_guard lock(mutex_);
        for (auto it = registeredSyncExtensions_.begin(); it != registeredSyncExtensions_.end();) {
            if (it->second.instance->isValid()) {
                instances.push_back(it->second.instance);
                ++it;
            } else {
                it = registeredSyncExtensions_.erase(it);
            }
        }
    }
    // Sent without the lock: a registration must not wait behind an instance that does not answer.
    // One instance that fails must not cost the others the update, so every one is tried.
    std::vector<bool> delivered;
    delivered.reserve(instances.size());
    for (const auto& instance : instances) {
        const auto reply = instance->messagePort().sendRequest(MessagePortProtocol::messageId, data,
                                                                 MessagePortProtocol::sendTimeout,
                                                                 MessagePortProtocol::receiveTimeout, false);
        delivered.push_back(reply.result == MessagePortResult::success);
        if (!delivered.back())
            OVLOG_ERROR(AppLog::finderSync(), QStringLiteral("Result error: ") + QString::number(reply.result));
    }
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < instances.size(); ++i) {
        const auto it = registeredSyncExtensions_.find(instances[i]->messagePortName());
        // The name may have registered anew meanwhile; the new instance starts with a clean count.
        if (it == registeredSyncExtensions_.end() || it->second.instance != instances[i]) continue;
        if (delivered[i]) {
            it->second.failedPushes = 0;
        } else if (++it->second.failedPushes >= maximumFailedPushes) {
            // Each failed push holds the pusher up to the time-outs; an instance that keeps failing
            // would slow every status change, and registers again when it comes back.
            OVLOG_ERROR(AppLog::finderSync(), QStringLiteral("Dropping extension after failed pushes: ") + it->first);
            registeredSyncExtensions_.erase(it);
        }
    }
}

std::vector<std::shared_ptr<FinderSyncInstance>> CommServer::registeredSyncExtensions() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<FinderSyncInstance>> instances;
    for (const auto& [name, registered] : registeredSyncExtensions_) instances.push_back(registered.instance);
    return instances;
}

void CommServer::waitForPendingPushes() { pushQueue_->sync([] {}); }
