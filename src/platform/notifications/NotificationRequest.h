#pragma once

#include <QString>

#include <optional>

// What a notification shows. Fields left empty are not shown.
struct NotificationContent {
    QString title;
    QString subtitle;
    QString body;
    // Groups notifications of one kind; the desktop may use it to pick a look.
    QString categoryIdentifier;
    // Groups notifications that belong together.
    QString threadIdentifier;
};

// Shows a notification some time after it was handed to the center.
struct NotificationTimeIntervalTrigger {
    double timeInterval = 0;  // seconds
    bool repeats = false;
};

// A notification handed to a center. A request with the identifier of one the center still holds
// or shows replaces it.
struct NotificationRequest {
    QString identifier;
    NotificationContent content;
    // None: shown at once.
    std::optional<NotificationTimeIntervalTrigger> trigger;
};

// The user acted on a shown notification.
struct NotificationResponse {
    // The user clicked the notification itself.
    static inline const QString defaultActionIdentifier = QStringLiteral("default");

    NotificationRequest request;
    QString actionIdentifier;
};

// Why a center could not take a request.
struct NotificationError {
    QString message;
};
