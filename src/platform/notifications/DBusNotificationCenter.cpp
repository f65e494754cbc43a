#include "platform/notifications/DBusNotificationCenter.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDebug>

#include "platform/notifications/LoggingNotificationCenter.h"

namespace {

const QString busService = QStringLiteral("org.freedesktop.DBus");
const QString busPath = QStringLiteral("/org/freedesktop/DBus");
const QString busInterface = QStringLiteral("org.freedesktop.DBus");

// Calls `answered` with the reply once it arrives, unless `context` is gone by then.
void callAsync(const QDBusConnection& connection, const QDBusMessage& message, QObject* context,
               std::function<void(const QDBusMessage& reply)> answered) {
    QDBusPendingCall call = connection.asyncCall(message, DBusNotificationCenter::callTimeoutMs);
    auto* watcher = new QDBusPendingCallWatcher(call, context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [answered = std::move(answered)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         answered(finished->reply());
                     });
}

QDBusMessage busCall(const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(busService, busPath, busInterface, method);
    message.setArguments(arguments);
    return message;
}

QDBusMessage serviceCall(const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(DBusNotificationCenter::serviceName, DBusNotificationCenter::objectPath,
                                       DBusNotificationCenter::interfaceName, method);
    message.setArguments(arguments);
    return message;
}

bool isReply(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
}

}  // namespace

DBusNotificationCenter::DBusNotificationCenter(const QDBusConnection& connection, QObject* parent)
    : NotificationCenterBase(parent), connection_(connection) {
    connection_.connect(serviceName, objectPath, interfaceName, QStringLiteral("ActionInvoked"), this,
                        SLOT(actionInvoked(uint, QString)));
    connection_.connect(serviceName, objectPath, interfaceName, QStringLiteral("NotificationClosed"),
                        this, SLOT(notificationClosed(uint, uint)));
    watcher_ = new QDBusServiceWatcher(serviceName, connection_,
                                       QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                if (newOwner.isEmpty()) {
                    // Whatever it showed went with it; it may still be started on demand.
                    shown_.clear();
                    identifierById_.clear();
                }
                probeService();
            });
    probeService();
}

DBusNotificationCenter::~DBusNotificationCenter() {
    connection_.disconnect(serviceName, objectPath, interfaceName, QStringLiteral("ActionInvoked"),
                           this, SLOT(actionInvoked(uint, QString)));
    connection_.disconnect(serviceName, objectPath, interfaceName,
                           QStringLiteral("NotificationClosed"), this,
                           SLOT(notificationClosed(uint, uint)));
}

QStringList DBusNotificationCenter::deliveredNotificationIdentifiers() const {
    QStringList identifiers = shown_.keys();
    identifiers.sort();
    return identifiers;
}

QVariantList DBusNotificationCenter::notifyArguments(const NotificationRequest& request,
                                                     uint replacesId, bool bodyMarkup) {
    const NotificationContent& content = request.content;
    QString body = content.body;
    if (!content.subtitle.isEmpty()) body = body.isEmpty() ? content.subtitle : content.subtitle + u'\n' + body;
    if (bodyMarkup) body = body.toHtmlEscaped();

    QVariantMap hints;
    if (!content.categoryIdentifier.isEmpty())
        hints.insert(QStringLiteral("x-orvella-category"), content.categoryIdentifier);
    if (!content.threadIdentifier.isEmpty())
        hints.insert(QStringLiteral("x-orvella-thread"), content.threadIdentifier);

    // The desktop names and draws the notification after the application's desktop entry, whose
    // icon has the entry's name.
    const QString desktopEntry =
        QCoreApplication::instance() ? QCoreApplication::instance()->property("desktopFileName").toString() : QString();
    if (!desktopEntry.isEmpty()) hints.insert(QStringLiteral("desktop-entry"), desktopEntry);

    // "default" is the action a click on the notification itself invokes.
    const QStringList actions{NotificationResponse::defaultActionIdentifier, QString()};
    return {applicationName, QVariant::fromValue(replacesId), desktopEntry, content.title, body,
            actions, hints, QVariant::fromValue(qint32(-1))};
}

void DBusNotificationCenter::probeService() {
    const int generation = ++probeGeneration_;
    if (state_ != ServiceState::probing) setServiceState(ServiceState::probing);
    callAsync(connection_, busCall(QStringLiteral("NameHasOwner"), {serviceName}), this,
              [this, generation](const QDBusMessage& reply) {
                  if (generation != probeGeneration_) return;
                  if (isReply(reply) && reply.arguments().constFirst().toBool()) {
                      askCapabilities(generation);
                      return;
                  }
                  callAsync(connection_, busCall(QStringLiteral("ListActivatableNames")), this,
                            [this, generation](const QDBusMessage& names) {
                                if (generation != probeGeneration_) return;
                                if (isReply(names) &&
                                    names.arguments().constFirst().toStringList().contains(serviceName))
                                    askCapabilities(generation);
                                else
                                    setServiceState(ServiceState::unavailable);
                            });
              });
}

void DBusNotificationCenter::askCapabilities(int generation) {
    // Also starts a service that is only activatable.
    callAsync(connection_, serviceCall(QStringLiteral("GetCapabilities")), this,
              [this, generation](const QDBusMessage& reply) {
                  if (generation != probeGeneration_) return;
                  if (!isReply(reply)) {
                      qInfo().noquote() << "Notification service does not answer:" << reply.errorMessage();
                      setServiceState(ServiceState::unavailable);
                      return;
                  }
                  bodyMarkup_ = reply.arguments().constFirst().toStringList().contains(
                      QStringLiteral("body-markup"));
                  setServiceState(ServiceState::available);
              });
}

void DBusNotificationCenter::setServiceState(ServiceState state) {
    if (state_ == state) return;
    state_ = state;
    if (state == ServiceState::unavailable)
        qInfo().noquote() << "No desktop notification service; notifications go to the log only";
    if (state != ServiceState::probing) {
        std::vector<Queued> waiting = std::move(waiting_);
        waiting_.clear();
        for (auto& [request, completion] : waiting) present(request, std::move(completion));
    }
    emit serviceStateChanged(state);
}

void DBusNotificationCenter::present(const NotificationRequest& request,
                                     CompletionHandler completionHandler) {
    switch (state_) {
    case ServiceState::probing:
        waiting_.emplace_back(request, std::move(completionHandler));
        return;
    case ServiceState::unavailable:
        logInstead(request, {});
        complete(std::move(completionHandler), std::nullopt);
        return;
    case ServiceState::available:
        send(request, std::move(completionHandler));
        return;
    }
}

void DBusNotificationCenter::send(const NotificationRequest& request, CompletionHandler completionHandler) {
    const QString identifier = request.identifier;
    if (const auto it = inFlight_.find(identifier); it != inFlight_.end()) {
        // The earlier one still waits for its server id; this one replaces it once that is known.
        if (it->next) complete(std::move(it->next->second), std::nullopt);
        it->next = Queued{request, std::move(completionHandler)};
        return;
    }
    const uint replacesId = shown_.contains(identifier) ? shown_.value(identifier).id : 0;
    inFlight_.insert(identifier, InFlight{});
    const QDBusMessage call =
        serviceCall(QStringLiteral("Notify"), notifyArguments(request, replacesId, bodyMarkup_));
    callAsync(connection_, call, this,
              [this, request, completion = std::move(completionHandler)](const QDBusMessage& reply) mutable {
                  if (isReply(reply)) {
                      const uint id = reply.arguments().constFirst().toUInt();
                      notifyAnswered(request, std::move(completion), id, {}, false);
                      return;
                  }
                  const bool gone =
                      reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown");
                  notifyAnswered(request, std::move(completion), std::nullopt, reply.errorMessage(), gone);
              });
}

void DBusNotificationCenter::notifyAnswered(const NotificationRequest& request,
                                            CompletionHandler completionHandler, std::optional<uint> id,
                                            const QString& error, bool serviceGone) {
    const QString identifier = request.identifier;
    InFlight inFlight = inFlight_.take(identifier);

    if (!id) {
        logInstead(request, error);
        complete(std::move(completionHandler), NotificationError{error});
    } else if (inFlight.withdrawn) {
        closeOnServer(*id);
        complete(std::move(completionHandler), std::nullopt);
    } else {
        if (const auto old = shown_.find(identifier); old != shown_.end() && old->id != *id)
            identifierById_.remove(old->id);
        shown_.insert(identifier, Shown{*id, request});
        identifierById_.insert(*id, identifier);
        complete(std::move(completionHandler), std::nullopt);
    }

    if (inFlight.next) present(inFlight.next->first, std::move(inFlight.next->second));
    if (serviceGone) probeService();
}

void DBusNotificationCenter::withdraw(const QStringList& identifiers) {
    for (const QString& identifier : identifiers) {
        if (const auto it = shown_.find(identifier); it != shown_.end()) {
            const uint id = it->id;
            shown_.erase(it);
            identifierById_.remove(id);
            closeOnServer(id);
        }
        if (const auto it = inFlight_.find(identifier); it != inFlight_.end()) {
            it->withdrawn = true;
            if (it->next) complete(std::move(it->next->second), std::nullopt);
            it->next.reset();
        }
        std::erase_if(waiting_, [&](Queued& queued) {
            if (queued.first.identifier != identifier) return false;
            complete(std::move(queued.second), std::nullopt);
            return true;
        });
    }
}

void DBusNotificationCenter::closeOnServer(uint id) {
    callAsync(connection_, serviceCall(QStringLiteral("CloseNotification"), {QVariant::fromValue(id)}),
              this, [](const QDBusMessage&) {});
}

void DBusNotificationCenter::forget(uint id) {
    const QString identifier = identifierById_.take(id);
    if (identifier.isNull()) return;
    if (const auto it = shown_.find(identifier); it != shown_.end() && it->id == id) shown_.erase(it);
}

void DBusNotificationCenter::actionInvoked(uint id, const QString& actionKey) {
    const QString identifier = identifierById_.value(id);
    if (identifier.isNull()) return;  // another application's notification
    const auto it = shown_.constFind(identifier);
    if (it == shown_.constEnd()) return;
    respond(NotificationResponse{it->request, actionKey});
}

void DBusNotificationCenter::notificationClosed(uint id, uint) {
    forget(id);
}

void DBusNotificationCenter::logInstead(const NotificationRequest& request, const QString& reason) {
    if (reason.isEmpty())
        qInfo().noquote() << LoggingNotificationCenter::describe(request);
    else
        qInfo().noquote() << LoggingNotificationCenter::describe(request) << "(not shown:" << reason + ')';
}
