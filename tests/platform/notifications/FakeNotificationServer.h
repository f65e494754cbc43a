#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <vector>

// Plays the desktop's notification service on a test bus and records what it was asked.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notification {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
        uint id = 0;  // what the server answered
    };

    explicit FakeNotificationServer(QDBusConnection connection) : connection_(std::move(connection)) {}

    bool publish() {
        return connection_.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                          QDBusConnection::ExportAllSlots) &&
               connection_.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }

    void emitActionInvoked(uint id, const QString& action) {
        send(QStringLiteral("ActionInvoked"), {QVariant::fromValue(id), action});
    }
    void emitNotificationClosed(uint id, uint reason) {
        send(QStringLiteral("NotificationClosed"), {QVariant::fromValue(id), QVariant::fromValue(reason)});
    }

    std::vector<Notification> notifications;
    std::vector<uint> closed;
    QStringList capabilities{QStringLiteral("body"), QStringLiteral("actions")};

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int expireTimeout) {
        const uint id = replacesId != 0 ? replacesId : nextId_++;
        notifications.push_back({appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout, id});
        return id;
    }
    void CloseNotification(uint id) {
        closed.push_back(id);
        emitNotificationClosed(id, 3);
    }
    QStringList GetCapabilities() { return capabilities; }
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion) {
        vendor = QStringLiteral("test");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("fake");
    }

private:
    void send(const QString& name, const QVariantList& arguments) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                         QStringLiteral("org.freedesktop.Notifications"), name);
        signal.setArguments(arguments);
        connection_.send(signal);
    }

    QDBusConnection connection_;
    uint nextId_ = 41;
};
