#include "app/shell/backup/BackupBrowserPane.h"

#include "app/shell/backup/DataSource.h"
#include "platform/appkit/ColumnBrowser.h"

BackupBrowserPane::BackupBrowserPane(QObject* parent) : QObject(parent) {}

BackupBrowserPane::~BackupBrowserPane() {
    // The view may sit in a window that outlives the controller.
    delete view_.data();
}

QWidget* BackupBrowserPane::view() {
    if (!view_) {
        view_ = loadView();
        if (!view_) view_ = new QWidget;
        view_->setProperty(ResponderChain::viewControllerProperty, QVariant::fromValue<QObject*>(this));
        viewDidLoad();
    }
    return view_;
}

void BackupBrowserPane::setRepresentedObject(std::shared_ptr<DataSource> dataSource) {
    representedObject_ = std::move(dataSource);
}
