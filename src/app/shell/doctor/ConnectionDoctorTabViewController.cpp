#include "app/shell/doctor/ConnectionDoctorTabViewController.h"

#include <QTabWidget>

#include "app/common/LocalizationController.h"
#include "app/shell/doctor/ConnectionDoctorWiper.h"
#include "app/shell/doctor/DebugMenuViewController.h"
#include "app/shell/doctor/SyncErrorsViewController.h"
#include "app/shell/doctor/SyncLogsViewController.h"
#include "app/sync/SyncController.h"

ConnectionDoctorTabViewController::ConnectionDoctorTabViewController(QObject* parent)
    : QObject(parent),
      syncErrors_(new SyncErrorsViewController(this)),
      syncLogs_(new SyncLogsViewController(this)),
      debugMenu_(new DebugMenuViewController(this)) {
    LocalizationController texts;
    syncErrorsTabViewItem_ = {texts.cdTabItemSyncErrors(), syncErrors_, nullptr};
    syncLogsTabViewItem_ = {texts.cdTabItemSyncLogs(), syncLogs_, nullptr};
    debugMenuTabViewItem_ = {texts.cdTabItemDebugMenu(), debugMenu_, nullptr};
}

ConnectionDoctorTabViewController::~ConnectionDoctorTabViewController() {
    // The pages belong to their view controllers, which go with this object.
    if (tabView_) {
        while (tabView_->count() > 0) tabView_->removeTab(0);
        delete tabView_.data();
    }
}

QWidget* ConnectionDoctorTabViewController::view() {
    if (!tabView_) {
        tabView_ = new QTabWidget;
        tabView_->setObjectName(QStringLiteral("ConnectionDoctorTabView"));
        for (TabViewItem* item : {&syncErrorsTabViewItem_, &syncLogsTabViewItem_, &debugMenuTabViewItem_}) {
            if (item->viewController == syncErrors_) item->view = syncErrors_->view();
            else if (item->viewController == syncLogs_) item->view = syncLogs_->view();
            else item->view = debugMenu_->view();
            tabView_->addTab(item->view, item->label);
        }
        viewDidLoad();
    }
    return tabView_;
}

void ConnectionDoctorTabViewController::viewDidLoad() {
    // The debug tab is for development only.
    const int index = tabView_->indexOf(debugMenuTabViewItem_.view);
    if (index >= 0) tabView_->removeTab(index);
}

std::vector<const ConnectionDoctorTabViewController::TabViewItem*> ConnectionDoctorTabViewController::tabViewItems() const {
    std::vector<const TabViewItem*> items;
    if (!tabView_) return items;
    for (int i = 0; i < tabView_->count(); ++i)
        for (const TabViewItem* item : {&syncErrorsTabViewItem_, &syncLogsTabViewItem_, &debugMenuTabViewItem_})
            if (item->view == tabView_->widget(i)) items.push_back(item);
    return items;
}

void ConnectionDoctorTabViewController::setSyncController(SyncController* controller) {
    syncController_ = controller;
    for (const TabViewItem* item : {&syncLogsTabViewItem_, &syncErrorsTabViewItem_})
        if (auto* manageable = dynamic_cast<ConnectionDoctorManageable*>(item->viewController))
            manageable->setSyncController(controller);
}

void ConnectionDoctorTabViewController::clearConnectionDoctorTabViews(QObject*) {
    view();
    for (const TabViewItem* item : tabViewItems())
        if (auto* wiper = dynamic_cast<ConnectionDoctorWiper*>(item->viewController)) wiper->wipe();
}
