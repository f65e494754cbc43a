#include "app/shell/backup/BackupSplitViewController.h"

#include <QMainWindow>
#include <QProgressBar>
#include <QSplitter>
#include <QToolBar>

#include "app/backup/BackupController.h"
#include "app/shell/backup/BackupDetailsViewController.h"
#include "app/shell/backup/BackupListViewController.h"
#include "app/shell/backup/DataSource.h"
#include "app/shell/controls/ToolbarItem.h"

BackupSplitViewController::BackupSplitViewController(QObject* parent)
    : BackupBrowserPane(parent),
      listViewController_(new BackupListViewController(this)),
      detailsViewController_(new BackupDetailsViewController(this)) {}

BackupSplitViewController::~BackupSplitViewController() { disconnect(observation_); }

BackupController* BackupSplitViewController::backupController() const { return backupController_; }

void BackupSplitViewController::setBackupController(BackupController* controller) { backupController_ = controller; }

QProgressBar* BackupSplitViewController::progressIndicator() const { return progressIndicator_; }

void BackupSplitViewController::setProgressIndicator(QProgressBar* indicator) { progressIndicator_ = indicator; }

QWidget* BackupSplitViewController::loadView() {
    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->setObjectName(QStringLiteral("BackupSplitView"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(listViewController_->view());
    splitter->addWidget(detailsViewController_->view());
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    return splitter;
}

void BackupSplitViewController::viewWillAppear() {
    disconnect(observation_);
    if (backupController_) {
        QPointer<BackupSplitViewController> self(this);
        observation_ = connect(backupController_, &BackupController::latestBackupStatusChanged, this, [self] {
            if (self) self->refreshBackups();
        });
    }
    refreshBackups();
}

void BackupSplitViewController::viewDidDisappear() { disconnect(observation_); }

void BackupSplitViewController::refreshBackups(QObject*) {
    setIndicatorSpinning(true);
    if (!backupController_) return;
    QPointer<BackupSplitViewController> self(this);
    backupController_->availableBackups([self](std::vector<std::shared_ptr<ObjCBackupObject>> backups) {
        if (self) self->showList(backups);
    });
}

void BackupSplitViewController::showList(const std::vector<std::shared_ptr<ObjCBackupObject>>& backups) {
    auto dataSource = std::make_shared<DataSource>();
    for (const auto& backup : backups) dataSource->appendBackup(backup);
    dataSource->sortByName();
    // A reload (a backup just ended) must not move the user's choice to another backup: the
    // backup selected before stays selected while it is listed.
    if (const auto previous = representedObject()) {
        if (const auto selected = previous->selectedBackup()) {
            if (const auto row = dataSource->rowOf(DataSource::identity(*selected)))
                dataSource->setSelectionIndexPaths({*row});
        }
    }
    setRepresentedObject(dataSource);
    setIndicatorSpinning(false);
}

void BackupSplitViewController::setRepresentedObject(std::shared_ptr<DataSource> dataSource) {
    disconnect(selectionObservation_);
    BackupBrowserPane::setRepresentedObject(dataSource);
    listViewController_->setRepresentedObject(dataSource);
    detailsViewController_->setRepresentedObject(dataSource);
    if (dataSource)
        selectionObservation_ =
            connect(dataSource.get(), &DataSource::selectionIndexPathsChanged, this, [this] { validateToolbar(); });
    validateToolbar();
}

bool BackupSplitViewController::validateToolbarItem(QObject* item) const {
    const auto* toolbarItem = qobject_cast<const ToolbarItem*>(item);
    if (!toolbarItem || toolbarItem->itemIdentifier() != restoreItemIdentifier) return true;
    const auto dataSource = representedObject();
    // Without a selection the restore sheet would have nothing to restore.
    return dataSource && !dataSource->backups().empty() && dataSource->selectedBackup();
}

void BackupSplitViewController::setIndicatorSpinning(bool spinning) {
    if (!progressIndicator_) return;
    progressIndicator_->setRange(0, spinning ? 0 : 1);
    progressIndicator_->setVisible(spinning);
}

void BackupSplitViewController::validateToolbar() {
    if (!isViewLoaded()) return;
    auto* window = qobject_cast<QMainWindow*>(view()->window());
    if (!window) return;
    for (QToolBar* toolbar : window->findChildren<QToolBar*>()) ToolbarItem::validateItems(toolbar);
}
