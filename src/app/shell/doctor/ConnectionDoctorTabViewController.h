#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTabWidget>

#include <memory>
#include <vector>

#include "app/shell/doctor/ConnectionDoctorManageable.h"
#include "app/sync/SyncController.h"

class DebugMenuViewController;
class QWidget;
class SyncErrorsViewController;
class SyncLogsViewController;

// The connection doctor's tabs: sync errors and sync logs. The debug tab is built but taken out
// as the view loads. Hands the sync controller to its tabs. Main thread only.
class ConnectionDoctorTabViewController : public QObject, public ConnectionDoctorManageable {
    Q_OBJECT

public:
    // A tab: its label and the view controller whose view it shows.
    struct TabViewItem {
        QString label;
        QObject* viewController;
        QWidget* view;
    };

    explicit ConnectionDoctorTabViewController(QObject* parent = nullptr);
    ~ConnectionDoctorTabViewController() override;

    QWidget* view();
    QTabWidget* tabView() const { return tabView_; }
    // The tabs the tab view holds, in order.
    std::vector<const TabViewItem*> tabViewItems() const;

    const TabViewItem& syncErrorsTabViewItem() const { return syncErrorsTabViewItem_; }
    const TabViewItem& syncLogsTabViewItem() const { return syncLogsTabViewItem_; }
    const TabViewItem& debugMenuTabViewItem() const { return debugMenuTabViewItem_; }
    SyncErrorsViewController* syncErrorsViewController() const { return syncErrors_; }
    SyncLogsViewController* syncLogsViewController() const { return syncLogs_; }

    void viewDidLoad();
    SyncController* syncController() const override { return syncController_; }
    // Hands the controller to the logs tab, then to the errors tab.
    void setSyncController(SyncController* controller) override;
    // Empties every tab that can be emptied.
    Q_INVOKABLE void clearConnectionDoctorTabViews(QObject* sender = nullptr);

private:
    QPointer<SyncController> syncController_;
    SyncErrorsViewController* syncErrors_;
    SyncLogsViewController* syncLogs_;
    DebugMenuViewController* debugMenu_;
    TabViewItem syncErrorsTabViewItem_;
    TabViewItem syncLogsTabViewItem_;
    TabViewItem debugMenuTabViewItem_;
    QPointer<QTabWidget> tabView_;
};
