#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "app/common/LocalizationController.h"
#include "app/shell/doctor/ConnectionDoctorManageable.h"
#include "app/sync/SyncController.h"

class ConnectionDoctorTabViewController;
class QCheckBox;
class QPushButton;
class QWidget;

// The connection doctor window's content: the tabs, the help and show-logs buttons, the clear
// button and the switch for refreshing the error list continuously. Main thread only.
class ConnectionDoctorViewController : public QObject, public ConnectionDoctorManageable {
    Q_OBJECT

public:
    // The embedding of the tab view controller.
    static inline const QString tabsSegueIdentifier = QStringLiteral("ConnectionDoctorTabs");

    explicit ConnectionDoctorViewController(QObject* parent = nullptr);
    ~ConnectionDoctorViewController() override;

    QWidget* view();
    ConnectionDoctorTabViewController* tabViewController() const { return tabViewController_; }
    QPushButton* helpButton() const { return helpButton_; }
    QPushButton* showLogsButton() const { return showLogsButton_; }
    QPushButton* clearLogsButton() const { return clearLogsButton_; }
    QCheckBox* continuouslyUpdateCheckBox() const { return continuouslyUpdateCheckBox_; }

    // A destination that takes the sync controller becomes the one this controller hands it to.
    void prepareForSegue(const QString& identifier, QObject* destination);
    ConnectionDoctorManageable* destinationController() const { return destinationController_; }

    SyncController* syncController() const override { return syncController_; }
    void setSyncController(SyncController* controller) override;

    // Opens the help page when its text forms a URL.
    Q_INVOKABLE void openHelp(QObject* sender = nullptr);
    // Shows the folder of the current log file in the file manager.
    Q_INVOKABLE void showLogs(QObject* sender = nullptr);

private:
    void loadView();

    QPointer<QWidget> view_;
    LocalizationController localizationController_;
    QPointer<SyncController> syncController_;
    ConnectionDoctorManageable* destinationController_ = nullptr;
    ConnectionDoctorTabViewController* tabViewController_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    QPushButton* showLogsButton_ = nullptr;
    QPushButton* clearLogsButton_ = nullptr;
    QCheckBox* continuouslyUpdateCheckBox_ = nullptr;
};
