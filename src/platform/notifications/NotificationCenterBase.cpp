#include "platform/notifications/NotificationCenterBase.h"

#include <QMetaObject>

#include <algorithm>
#include <cmath>
#include <limits>

NotificationCenterBase::NotificationCenterBase(QObject* parent) : QObject(parent) {}

NotificationCenterBase::~NotificationCenterBase() = default;

void NotificationCenterBase::addNotificationRequest(const NotificationRequest& request,
                                                    CompletionHandler completionHandler) {
    // A new request under a held identifier replaces the held one.
    removePendingNotificationRequests({request.identifier});

    const double interval = request.trigger ? request.trigger->timeInterval : 0;
    if (!(interval > 0)) {  // also NaN
        present(request, std::move(completionHandler));
        return;
    }

    auto* timer = new QTimer(this);
    timer->setSingleShot(!request.trigger->repeats);
    timer->setTimerType(Qt::PreciseTimer);
    const double ms = std::min(interval * 1000.0, double(std::numeric_limits<int>::max()));
    timer->setInterval(std::max(1, int(std::llround(ms))));
    const QString identifier = request.identifier;
    connect(timer, &QTimer::timeout, this, [this, identifier] { firePending(identifier); });
    pending_.insert(identifier, Pending{request, timer});
    timer->start();
    complete(std::move(completionHandler), std::nullopt);
}

void NotificationCenterBase::removeDeliveredNotifications(const QStringList& identifiers) {
    if (!identifiers.isEmpty()) withdraw(identifiers);
}

QStringList NotificationCenterBase::pendingNotificationRequestIdentifiers() const {
    QStringList identifiers = pending_.keys();
    identifiers.sort();
    return identifiers;
}

void NotificationCenterBase::removePendingNotificationRequests(const QStringList& identifiers) {
    for (const QString& identifier : identifiers) {
        const auto it = pending_.find(identifier);
        if (it == pending_.end()) continue;
        if (it->timer) it->timer->deleteLater();
        pending_.erase(it);
    }
}

void NotificationCenterBase::firePending(const QString& identifier) {
    const auto it = pending_.find(identifier);
    if (it == pending_.end()) return;
    NotificationRequest request = it->request;
    if (!request.trigger->repeats) {
        if (it->timer) it->timer->deleteLater();
        pending_.erase(it);
    }
    present(request, {});
}

void NotificationCenterBase::respond(const NotificationResponse& response) {
    if (delegate_) delegate_->userNotificationCenterDidReceiveNotificationResponse(*this, response, [] {});
}

void NotificationCenterBase::complete(CompletionHandler completionHandler,
                                      std::optional<NotificationError> error) {
    if (!completionHandler) return;
    QMetaObject::invokeMethod(
        this, [handler = std::move(completionHandler), error = std::move(error)] { handler(error); },
        Qt::QueuedConnection);
}
