#include "app/shell/backup/RestoreSuccessWindowController.h"

#include <QVBoxLayout>

#include "app/shell/backup/BackupRestoreSuccessViewController.h"

RestoreSuccessWindowController::RestoreSuccessWindowController(QObject* parent)
    : QObject(parent), contentViewController_(new BackupRestoreSuccessViewController(this)) {}

RestoreSuccessWindowController::~RestoreSuccessWindowController() {
    delete contentViewController_;
    delete window_.data();
}

QWidget* RestoreSuccessWindowController::window() {
    if (!window_) {
        window_ = new QWidget(nullptr, Qt::Dialog);
        window_->setObjectName(QStringLiteral("RestoreSuccessWindow"));
        auto* layout = new QVBoxLayout(window_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(contentViewController_->view());
        window_->setMinimumWidth(380);
    }
    return window_;
}
