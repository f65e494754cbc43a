#include "app/shell/doctor/SyncLogsViewController.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "app/sync/SyncController.h"

SyncLogsViewController::SyncLogsViewController(QObject* parent) : QObject(parent) {}

SyncLogsViewController::~SyncLogsViewController() {
    QObject::disconnect(observation_);
    delete view_.data();
}

QWidget* SyncLogsViewController::view() {
    if (!view_) {
        view_ = new QWidget;
        view_->setObjectName(QStringLiteral("SyncLogsView"));
        auto* layout = new QVBoxLayout(view_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new QLabel(localizationController_.cdTableViewColumnTitleSyncLogsMessages()));
        listView_ = new QListWidget(view_);
        layout->addWidget(listView_);
        reload();
    }
    return view_;
}

SyncController* SyncLogsViewController::syncController() const { return syncController_; }

void SyncLogsViewController::setSyncController(SyncController* controller) {
    QObject::disconnect(observation_);
    syncController_ = controller;
    if (controller)
        observation_ = connect(controller, &SyncController::debugMessagesChanged, this, &SyncLogsViewController::reload);
    reload();
    emit syncControllerChanged();
}

void SyncLogsViewController::wipe() {
    if (syncController_) syncController_->setDebugMessages({});
}

void SyncLogsViewController::reload() {
    if (!listView_) return;
    listView_->clear();
    if (syncController_) listView_->addItems(syncController_->debugMessages());
}
