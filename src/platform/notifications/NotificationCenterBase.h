#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "platform/notifications/NotificationCenter.h"

// What every desktop center shares: the delegate, and requests held back until their trigger
// fires. Subclasses only show and withdraw notifications.
class NotificationCenterBase : public QObject, public NotificationCenter {
    Q_OBJECT

public:
    explicit NotificationCenterBase(QObject* parent = nullptr);
    ~NotificationCenterBase() override;

    NotificationCenterDelegate* delegate() const override { return delegate_; }
    void setDelegate(NotificationCenterDelegate* delegate) override { delegate_ = delegate; }

    void addNotificationRequest(const NotificationRequest& request,
                                CompletionHandler completionHandler = {}) override;
    void removeDeliveredNotifications(const QStringList& identifiers) override;

    // Requests waiting for their trigger.
    QStringList pendingNotificationRequestIdentifiers() const;
    void removePendingNotificationRequests(const QStringList& identifiers);

protected:
    // Shows the request now; `completionHandler` may be empty.
    virtual void present(const NotificationRequest& request, CompletionHandler completionHandler) = 0;
    virtual void withdraw(const QStringList& identifiers) = 0;

    // Hands the user's action to the delegate, when there is one.
    void respond(const NotificationResponse& response);
    // Runs the completion later on this object's thread, never after the center is gone.
    void complete(CompletionHandler completionHandler, std::optional<NotificationError> error);

private:
    struct Pending {
        NotificationRequest request;
        QPointer<QTimer> timer;
    };

    void firePending(const QString& identifier);

    NotificationCenterDelegate* delegate_ = nullptr;
    QHash<QString, Pending> pending_;
};
