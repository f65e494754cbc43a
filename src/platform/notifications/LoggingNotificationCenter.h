#pragma once

#include <QSet>

#include "platform/notifications/NotificationCenterBase.h"

// For a desktop without a notification service: notifications are written to the log (qInfo) at
// the time they would show. The user never sees them, so nobody clicks them.
class LoggingNotificationCenter : public NotificationCenterBase {
    Q_OBJECT

public:
    explicit LoggingNotificationCenter(QObject* parent = nullptr);

    // The log line for a notification shown.
    static QString describe(const NotificationRequest& request);

    // Identifiers of notifications logged and not removed since.
    QStringList deliveredNotificationIdentifiers() const;

protected:
    void present(const NotificationRequest& request, CompletionHandler completionHandler) override;
    void withdraw(const QStringList& identifiers) override;

private:
    QSet<QString> delivered_;
};
