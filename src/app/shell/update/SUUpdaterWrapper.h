#pragma once

#include <QObject>

// What the software-update pane binds to: the shared updater's automatic-check switch, its check
// interval and the check-now action. Without a shared updater it reads false and 0 and ignores
// writes and the action.
class SUUpdaterWrapper : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
                   setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)
    Q_PROPERTY(double updateCheckInterval READ updateCheckInterval WRITE setUpdateCheckInterval NOTIFY
                   updateCheckIntervalChanged)

public:
    explicit SUUpdaterWrapper(QObject* parent = nullptr) : QObject(parent) {}

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool value);
    double updateCheckInterval() const;
    void setUpdateCheckInterval(double seconds);

    Q_INVOKABLE void checkForUpdates(QObject* sender = nullptr);

signals:
    void automaticallyChecksForUpdatesChanged();
    void updateCheckIntervalChanged();
};
