#include "platform/notifications/NotificationCenter.h"

#include <QDBusConnection>

#include "platform/notifications/DBusNotificationCenter.h"
#include "platform/notifications/LoggingNotificationCenter.h"

namespace {

std::shared_ptr<NotificationCenter>& currentCenter() {
    static std::shared_ptr<NotificationCenter> center;
    return center;
}

}  // namespace

std::shared_ptr<NotificationCenter> NotificationCenter::current() {
    auto& center = currentCenter();
    if (!center) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            center = std::make_shared<DBusNotificationCenter>(bus);
        } else {
            qInfo().noquote() << "No session bus; notifications go to the log only";
            center = std::make_shared<LoggingNotificationCenter>();
        }
    }
    return center;
}

void NotificationCenter::setCurrent(std::shared_ptr<NotificationCenter> center) {
    currentCenter() = std::move(center);
}
