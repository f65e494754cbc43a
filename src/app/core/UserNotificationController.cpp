#include "app/core/UserNotificationController.h"

#include <QUuid>

#include "app/common/LogChannels.h"
#include "frameworks/logger/LogChannel.h"

QString rawValue(NotificationIdentifier identifier) {
    switch (identifier) {
    case NotificationIdentifier::synced: return QStringLiteral("synced");
    case NotificationIdentifier::syncing: return QStringLiteral("syncing");
    case NotificationIdentifier::offline: return QStringLiteral("offline");
    case NotificationIdentifier::error: return QStringLiteral("error");
    case NotificationIdentifier::criticalError: return QStringLiteral("criticalError");
    }
    return {};
}

std::optional<NotificationIdentifier> notificationIdentifierFromRawValue(const QString& value) {
    for (const auto identifier : {NotificationIdentifier::synced, NotificationIdentifier::syncing,
                                  NotificationIdentifier::offline, NotificationIdentifier::error,
                                  NotificationIdentifier::criticalError}) {
        if (rawValue(identifier) == value) return identifier;
    }
    return std::nullopt;
}

NotificationCategory notificationCategory(NotificationIdentifier identifier) {
    switch (identifier) {
    case NotificationIdentifier::syncing: return NotificationCategory::begin;
    case NotificationIdentifier::criticalError: return NotificationCategory::immediate;
    case NotificationIdentifier::synced:
    case NotificationIdentifier::offline:
    case NotificationIdentifier::error: return NotificationCategory::end;
    }
    return NotificationCategory::end;
}

UserNotificationController::UserNotificationController(
    std::shared_ptr<UserNotificationControllerNotificationCenter> notificationCenter, Clock clock,
    QObject* parent)
    : QObject(parent),
      notificationCenter_(notificationCenter ? std::move(notificationCenter) : NotificationCenter::current()),
      clock_(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); })) {
    notificationCenter_->setDelegate(this);
}

UserNotificationController::~UserNotificationController() {
    if (notificationDispatchTimer_) notificationDispatchTimer_->invalidate();
    // The center may be shared; another controller may have become its delegate since.
    if (notificationCenter_->delegate() == this) notificationCenter_->setDelegate(nullptr);
}

void UserNotificationController::startDispatchTimer() {
    if (notificationDispatchTimer_) notificationDispatchTimer_->invalidate();
    // The timer belongs to this controller, so the block never outlives it.
    notificationDispatchTimer_ = Timer::scheduledTimer(dispatchInterval, true,
                                                       [this](Timer&) { dispatchCoalescedNotifications(); });
    notificationDispatchTimer_->setTolerance(dispatchTolerance);
}

NotificationRequest UserNotificationController::makeRequest(const QString& title, const QString& informativeText) {
    NotificationRequest request;
    request.identifier = QUuid::createUuid().toString(QUuid::WithoutBraces);
    request.content.title = title;
    request.content.body = informativeText;
    return request;
}

void UserNotificationController::deliverNotification(const QString& title, const QString& informativeText) {
    OVLOG_INFO(AppLog::notification(), QStringLiteral("Deliver notification directly: ") + title);
    notificationCenter_->addNotificationRequest(makeRequest(title, informativeText));
}

void UserNotificationController::deliverCoalescedNotification(const QString& title, const QString& informativeText,
                                                              NotificationIdentifier identifier) {
    const QString name = rawValue(identifier);
    OVLOG_DEBUG(AppLog::notification(), QStringLiteral("CoalescedNotification called: ") + name);
    const NotificationCategory category = notificationCategory(identifier);

    // An immediate notification (the storage-full offer) is never coalesced away: it is shown every time and
    // leaves a held status notification to go out on its own date.
    if (category == NotificationCategory::immediate && lastPresentedNotificationCategory_) {
        OVLOG_INFO(AppLog::notification(), QStringLiteral("Deliver ") + name + QStringLiteral(" notification directly"));
        deliverNotification(title, informativeText);
        return;
    }

    if (!lastPresentedNotificationCategory_) {
        if (category == NotificationCategory::end) {
            OVLOG_INFO(AppLog::notification(), QStringLiteral("Nothing presented before, we stop here for ") + name);
            return;
        }
        lastPresentedNotificationCategory_ = category;
        OVLOG_INFO(AppLog::notification(), QStringLiteral("Deliver ") + name + QStringLiteral(" notification directly"));
        deliverNotification(title, informativeText);
        return;
    }

    if (!scheduledNotification_) {
        if (category == *lastPresentedNotificationCategory_) {
            OVLOG_DEBUG(AppLog::notification(), QStringLiteral("We already presented a ") + name +
                                                    QStringLiteral(" notification. No notification will be displayed"));
            return;
        }
        OVLOG_INFO(AppLog::notification(), QStringLiteral("Schedule ") + name + QStringLiteral(" notification"));
        scheduleNotification(title, informativeText, identifier);
        return;
    }

    // With one held, only its category counts: a flip to another category cancels both.
    const NotificationIdentifier pending = scheduledNotification_->identifier;
    if (category == notificationCategory(pending)) {
        OVLOG_DEBUG(AppLog::notification(),
                    QStringLiteral("Re-Schedule ") + name + QStringLiteral(" notification for later"));
        scheduleNotification(title, informativeText, identifier);
        return;
    }
    scheduledNotification_.reset();
    OVLOG_DEBUG(AppLog::notification(), QStringLiteral("Cancel previously scheduled: Optional(") + rawValue(pending) +
                                            QStringLiteral(") AND ") + name +
                                            QStringLiteral(". No notification will be displayed"));
}

void UserNotificationController::scheduleNotification(const QString& title, const QString& informativeText,
                                                      NotificationIdentifier identifier) {
    NotificationRequest request = makeRequest(title, informativeText);
    request.trigger = NotificationTimeIntervalTrigger{scheduleDelay, false};
    const auto delay = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(scheduleDelay));
    scheduledNotification_ = NotificationContainer{std::move(request), identifier, clock_() + delay};
}

void UserNotificationController::dispatchCoalescedNotifications() {
    if (!scheduledNotification_) return;
    // The timer may fire early within its tolerance; a held notification never leaves early.
    if (clock_() < scheduledNotification_->deliveryDate) return;

    NotificationContainer container = std::move(*scheduledNotification_);
    OVLOG_INFO(AppLog::notification(),
               QStringLiteral("Deliver notification for: ") + rawValue(container.identifier));
    if (notificationCategory(container.identifier) == NotificationCategory::end)
        lastPresentedNotificationCategory_.reset();
    scheduledNotification_.reset();
    notificationCenter_->addNotificationRequest(container.notification);
}

void UserNotificationController::userNotificationCenterDidReceiveNotificationResponse(
    NotificationCenter& center, const NotificationResponse& response, std::function<void()> completionHandler) {
    const QString identifier = response.request.identifier;
    const QString title = response.request.content.title;
    center.removeDeliveredNotifications({identifier});
    if (delegate_) delegate_->handleNotificationResponse(title);
    if (completionHandler) completionHandler();
}
