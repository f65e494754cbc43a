#include "platform/notifications/NotificationCenter.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include "platform/notifications/DBusNotificationCenter.h"
#include "platform/notifications/LoggingNotificationCenter.h"

namespace {

std::shared_ptr<NotificationCenter>& currentCenter() {
    static std::shared_ptr<NotificationCenter> center;
    return center;
}

// A center talks to the bus through the application's event loop: it goes before the application
// does, not with the static objects after it.
void releaseCurrentCenter() {
    currentCenter().reset();
}

}  // namespace

std::shared_ptr<NotificationCenter> NotificationCenter::current() {
    auto& center = currentCenter();
    if (!center) {
        static const bool releaseRegistered = [] {
            qAddPostRoutine(releaseCurrentCenter);
            return true;
        }();
        Q_UNUSED(releaseRegistered);
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
