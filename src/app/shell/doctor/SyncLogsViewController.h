#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include "app/common/LocalizationController.h"
#include "app/shell/doctor/ConnectionDoctorManageable.h"
#include "app/shell/doctor/ConnectionDoctorWiper.h"
#include "app/sync/SyncController.h"

class QListWidget;
class QWidget;

// The connection doctor's list of the sync controller's messages, kept current as they arrive.
// Main thread only.
class SyncLogsViewController : public QObject, public ConnectionDoctorManageable, public ConnectionDoctorWiper {
    Q_OBJECT

public:
    explicit SyncLogsViewController(QObject* parent = nullptr);
    ~SyncLogsViewController() override;

    QWidget* view();
    QListWidget* listView() const { return listView_; }

    SyncController* syncController() const override;
    void setSyncController(SyncController* controller) override;
    // Empties the sync controller's message list; nothing without a controller.
    void wipe() override;

signals:
    void syncControllerChanged();

private:
    void reload();

    QPointer<QWidget> view_;
    QListWidget* listView_ = nullptr;
    LocalizationController localizationController_;
    QPointer<SyncController> syncController_;
    QMetaObject::Connection observation_;
};
