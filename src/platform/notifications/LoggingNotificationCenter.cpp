#include "platform/notifications/LoggingNotificationCenter.h"

#include <QDebug>

LoggingNotificationCenter::LoggingNotificationCenter(QObject* parent) : NotificationCenterBase(parent) {}

QString LoggingNotificationCenter::describe(const NotificationRequest& request) {
    const NotificationContent& content = request.content;
    QString line = QStringLiteral("Notification %1: \"%2\"").arg(request.identifier, content.title);
    if (!content.subtitle.isEmpty()) line += QStringLiteral(" \"%1\"").arg(content.subtitle);
    if (!content.body.isEmpty()) line += QStringLiteral(": %1").arg(content.body);
    return line;
}

QStringList LoggingNotificationCenter::deliveredNotificationIdentifiers() const {
    QStringList identifiers(delivered_.begin(), delivered_.end());
    identifiers.sort();
    return identifiers;
}

void LoggingNotificationCenter::present(const NotificationRequest& request,
                                        CompletionHandler completionHandler) {
    qInfo().noquote() << describe(request);
    delivered_.insert(request.identifier);
    complete(std::move(completionHandler), std::nullopt);
}

void LoggingNotificationCenter::withdraw(const QStringList& identifiers) {
    for (const QString& identifier : identifiers) {
        if (delivered_.remove(identifier))
            qInfo().noquote() << QStringLiteral("Notification %1 removed").arg(identifier);
    }
}
