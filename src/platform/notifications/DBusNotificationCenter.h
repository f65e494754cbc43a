#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QSet>
#include <QVariantList>

#include <utility>
#include <vector>

#include "platform/notifications/NotificationCenterBase.h"

class QDBusServiceWatcher;

// The desktop's notification service (org.freedesktop.Notifications) on a bus. Every call to the
// service is asynchronous. Until the service is known to be there, requests wait; while there is
// none, they are written to the log instead. A click on a notification reaches the delegate.
class DBusNotificationCenter : public NotificationCenterBase {
    Q_OBJECT

public:
    static inline const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");
    static inline const QString interfaceName = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString applicationName = QStringLiteral("Orvella");
    // How long a call to the service may take before it counts as failed.
    static constexpr int callTimeoutMs = 10000;

    enum class ServiceState { probing, available, unavailable };

    explicit DBusNotificationCenter(const QDBusConnection& connection, QObject* parent = nullptr);
    ~DBusNotificationCenter() override;

    ServiceState serviceState() const { return state_; }
    // Identifiers of notifications on screen as far as the service told us.
    QStringList deliveredNotificationIdentifiers() const;

    // The arguments of a Notify call, in order. Servers that read markup in the body get it
    // escaped, so that text such as file names shows as written.
    static QVariantList notifyArguments(const NotificationRequest& request, uint replacesId,
                                        bool bodyMarkup);

signals:
    void serviceStateChanged(DBusNotificationCenter::ServiceState state);

protected:
    void present(const NotificationRequest& request, CompletionHandler completionHandler) override;
    void withdraw(const QStringList& identifiers) override;

private slots:
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:
    using Queued = std::pair<NotificationRequest, CompletionHandler>;

    struct Shown {
        uint id = 0;
        NotificationRequest request;
    };
    // A Notify call on its way. Its identifier has no server id yet: later requests under it wait
    // here, and a removal takes effect when the answer comes.
    struct InFlight {
        std::optional<Queued> next;
        bool withdrawn = false;
    };

    void probeService();
    void askCapabilities(int generation);
    void setServiceState(ServiceState state);
    void send(const NotificationRequest& request, CompletionHandler completionHandler);
    void notifyAnswered(const NotificationRequest& request, CompletionHandler completionHandler,
                        std::optional<uint> id, const QString& error, bool serviceGone);
    void closeOnServer(uint id);
    void forget(uint id);
    static void logInstead(const NotificationRequest& request, const QString& reason);

    QDBusConnection connection_;
    QDBusServiceWatcher* watcher_ = nullptr;
    ServiceState state_ = ServiceState::probing;
    int probeGeneration_ = 0;
    bool bodyMarkup_ = false;
    std::vector<Queued> waiting_;
    QHash<QString, Shown> shown_;
    QHash<uint, QString> identifierById_;
    QHash<QString, InFlight> inFlight_;
};
