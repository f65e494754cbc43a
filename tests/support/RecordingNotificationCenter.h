#pragma once

// A notification center that keeps every request and removal it is handed and shows nothing.

#include <QStringList>

#include <vector>

#include "platform/notifications/NotificationCenter.h"

class RecordingNotificationCenter : public NotificationCenter {
public:
    NotificationCenterDelegate* delegate() const override { return delegate_; }
    void setDelegate(NotificationCenterDelegate* delegate) override { delegate_ = delegate; }
    void addNotificationRequest(const NotificationRequest& request, CompletionHandler) override {
        added.push_back(request);
    }
    void removeDeliveredNotifications(const QStringList& identifiers) override { removed.push_back(identifiers); }

    QStringList titles() const {
        QStringList out;
        for (const auto& request : added) out << request.content.title;
        return out;
    }
    QStringList texts() const {
        QStringList out;
        for (const auto& request : added) out << request.content.body;
        return out;
    }

    std::vector<NotificationRequest> added;
    std::vector<QStringList> removed;

private:
    NotificationCenterDelegate* delegate_ = nullptr;
};
