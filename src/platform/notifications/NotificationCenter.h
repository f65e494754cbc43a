#pragma once

#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

#include "platform/notifications/NotificationRequest.h"

class NotificationCenter;

// Told when the user acted on a notification of the center. Called on the main thread.
class NotificationCenterDelegate {
public:
    virtual ~NotificationCenterDelegate() = default;
    // The delegate calls `completionHandler` once it has dealt with the response.
    virtual void userNotificationCenterDidReceiveNotificationResponse(
        NotificationCenter& center, const NotificationResponse& response,
        std::function<void()> completionHandler) = 0;
};

// The desktop's notification center, as the application posts to it. Every call belongs to the
// main thread; nothing blocks.
class NotificationCenter {
public:
    using CompletionHandler = std::function<void(const std::optional<NotificationError>& error)>;

    virtual ~NotificationCenter() = default;

    // Not owned; whoever sets it clears it before it goes away.
    virtual NotificationCenterDelegate* delegate() const = 0;
    virtual void setDelegate(NotificationCenterDelegate* delegate) = 0;

    // Shows the request now or when its trigger says. The completion, when given, learns whether
    // the center took the request; it runs later on the main thread.
    virtual void addNotificationRequest(const NotificationRequest& request,
                                        CompletionHandler completionHandler = {}) = 0;
    // Takes shown notifications with these request identifiers off the screen. Requests still
    // waiting for their trigger stay.
    virtual void removeDeliveredNotifications(const QStringList& identifiers) = 0;

    // The process's center, made on first use: the session bus's notification service when there
    // is a session bus, else one that writes notifications to the log. Main thread, with the
    // application object alive; it is released when the application object goes.
    static std::shared_ptr<NotificationCenter> current();
    // Replaces the process's center (tests, or a desktop without notifications); null restores
    // the default choice on the next `current()`.
    static void setCurrent(std::shared_ptr<NotificationCenter> center);
};
