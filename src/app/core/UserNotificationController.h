#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "app/common/LocalizationController.h"
#include "platform/foundation/Timer.h"
#include "platform/notifications/NotificationCenter.h"

// The kind of a sync-status notification; the raw value is the case name.
enum class NotificationIdentifier { synced, syncing, offline, error, criticalError };

// How a status notification is coalesced: `begin` opens a run of work, `end` closes it,
// `immediate` stands on its own.
enum class NotificationCategory { begin, immediate, end };

QString rawValue(NotificationIdentifier identifier);
std::optional<NotificationIdentifier> notificationIdentifierFromRawValue(const QString& rawValue);
NotificationCategory notificationCategory(NotificationIdentifier identifier);

// A status notification held back until `deliveryDate`.
struct NotificationContainer {
    NotificationRequest notification;
    NotificationIdentifier identifier;
    std::chrono::steady_clock::time_point deliveryDate;
};

// The center the controller posts through; the desktop's, or any stand-in (tests).
using UserNotificationControllerNotificationCenter = NotificationCenter;

class UserNotificationControllerDelegate {
public:
    virtual ~UserNotificationControllerDelegate() = default;
    // The user clicked a notification with this title.
    virtual void handleNotificationResponse(const QString& title) = 0;
};

// Posts the application's notifications. Direct delivery shows one at once. Coalesced delivery
// is for the sync status: a status of the category last shown is dropped, and one that ends a run
// is held for a while and given up when a status of another category arrives meanwhile, so that
// short flips never reach the user. Main thread only.
class UserNotificationController : public QObject, public NotificationCenterDelegate {
    Q_OBJECT

public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr double dispatchInterval = 2.0;    // seconds
    static constexpr double dispatchTolerance = 1.0;   // seconds
    static constexpr double scheduleDelay = 5.0;       // seconds

    // Makes itself the center's delegate. `clock` defaults to the steady clock; tests drive it.
    explicit UserNotificationController(
        std::shared_ptr<UserNotificationControllerNotificationCenter> notificationCenter,
        Clock clock = {}, QObject* parent = nullptr);
    ~UserNotificationController() override;

    // Not owned; must outlive the controller or be cleared first.
    UserNotificationControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(UserNotificationControllerDelegate* delegate) { delegate_ = delegate; }

    // Starts the repeating timer that hands held notifications over; without it they never show.
    void startDispatchTimer();

    void deliverNotification(const QString& title, const QString& informativeText);
    void deliverCoalescedNotification(const QString& title, const QString& informativeText,
                                      NotificationIdentifier identifier);

    void userNotificationCenterDidReceiveNotificationResponse(
        NotificationCenter& center, const NotificationResponse& response,
        std::function<void()> completionHandler) override;

    const LocalizationController& localizationController() const { return localizationController_; }
    UserNotificationControllerNotificationCenter& notificationCenter() const { return *notificationCenter_; }
    const std::shared_ptr<Timer>& notificationDispatchTimer() const { return notificationDispatchTimer_; }
    std::optional<NotificationCategory> lastPresentedNotificationCategory() const {
        return lastPresentedNotificationCategory_;
    }
    const std::optional<NotificationContainer>& scheduledNotification() const { return scheduledNotification_; }

public slots:
    // The dispatch timer's action: hands over the held notification once its date has come.
    void dispatchCoalescedNotifications();

private:
    static NotificationRequest makeRequest(const QString& title, const QString& informativeText);
    void scheduleNotification(const QString& title, const QString& informativeText,
                              NotificationIdentifier identifier);

    UserNotificationControllerDelegate* delegate_ = nullptr;
    LocalizationController localizationController_;
    std::shared_ptr<UserNotificationControllerNotificationCenter> notificationCenter_;
    std::shared_ptr<Timer> notificationDispatchTimer_;
    std::optional<NotificationCategory> lastPresentedNotificationCategory_;
    std::optional<NotificationContainer> scheduledNotification_;
    Clock clock_;
};
