#include "app/shell/doctor/SyncErrorsViewController.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/core/C.h"
#include "app/sync/ObjCSyncError.h"
#include "app/sync/SyncController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/foundation/Timer.h"

SyncErrorsViewController::SyncErrorsViewController(QObject* parent) : QObject(parent) {}

SyncErrorsViewController::~SyncErrorsViewController() {
    viewWillDisappear();
    delete view_.data();
}

QWidget* SyncErrorsViewController::view() {
    if (!view_) {
        loadView();
        viewDidLoad();
    }
    return view_;
}

void SyncErrorsViewController::loadView() {
    view_ = new QWidget;
    view_->setObjectName(QStringLiteral("SyncErrorsView"));
    auto* layout = new QVBoxLayout(view_);
    layout->setContentsMargins(0, 0, 0, 0);
    tableView_ = new QTableWidget(0, 3, view_);
    tableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView_->verticalHeader()->hide();
    tableView_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(tableView_);
    view_->installEventFilter(this);
}

void SyncErrorsViewController::viewDidLoad() {
    const LocalizationController& texts = localizationController_;
    tableView_->setHorizontalHeaderItem(dateTableColumn, new QTableWidgetItem(texts.cdTableViewColumnTitleSyncErrorsDate()));
    tableView_->setHorizontalHeaderItem(rootRelativePathTableColumn,
                                        new QTableWidgetItem(texts.cdTableViewColumnTitleSyncErrorsRelativePath()));
    tableView_->setHorizontalHeaderItem(errorTableColumn, new QTableWidgetItem(texts.cdTableViewColumnTitleSyncErrorsError()));
    reloadTable();
}

void SyncErrorsViewController::setSyncController(SyncController* controller) {
    syncController_ = controller;
    reloadErrors();
}

void SyncErrorsViewController::setErrors(Errors errors) {
    errors_ = std::move(errors);
    reloadTable();
    emit errorsChanged();
}

void SyncErrorsViewController::wipe() {
    if (errors_) setErrors(std::vector<std::shared_ptr<ObjCSyncError>>{});
}

void SyncErrorsViewController::reloadErrors() {
    setErrors(syncController_ ? syncController_->syncErrors() : std::nullopt);
}

void SyncErrorsViewController::reloadTable() {
    if (!tableView_) return;
    const auto rows = errors_ ? *errors_ : std::vector<std::shared_ptr<ObjCSyncError>>{};
    tableView_->setRowCount(int(rows.size()));
    for (int row = 0; row < int(rows.size()); ++row) {
        const ObjCSyncError& error = *rows[row];
        tableView_->setItem(row, dateTableColumn, new QTableWidgetItem(C::dateFormatter().string(error.date())));
        tableView_->setItem(row, rootRelativePathTableColumn,
                            new QTableWidgetItem(error.rootRelativePath().value_or(QString())));
        tableView_->setItem(row, errorTableColumn, new QTableWidgetItem(error.errorDescription().value_or(QString())));
    }
    tableView_->resizeColumnToContents(dateTableColumn);
    tableView_->resizeColumnToContents(rootRelativePathTableColumn);
}

void SyncErrorsViewController::viewWillAppear() {
    updateRefreshTimer();
    QObject::disconnect(observation_);
    OrvellaSettingsManager* settings = settingsController_.settings();
    QPointer<SyncErrorsViewController> self(this);
    observation_ = connect(settings, &OrvellaSettingsManager::continuouslyUpdateDebugInterfaceChanged, this, [self] {
        if (self) self->updateRefreshTimer();
    });
}

void SyncErrorsViewController::viewWillDisappear() {
    if (syncErrorsUpdateTimer_) syncErrorsUpdateTimer_->invalidate();
    syncErrorsUpdateTimer_.reset();
    QObject::disconnect(observation_);
}

bool SyncErrorsViewController::isRefreshing() const { return syncErrorsUpdateTimer_ && syncErrorsUpdateTimer_->isValid(); }

void SyncErrorsViewController::updateRefreshTimer() {
    if (syncErrorsUpdateTimer_) syncErrorsUpdateTimer_->invalidate();
    syncErrorsUpdateTimer_.reset();
    if (!settingsController_.settings()->continuouslyUpdateDebugInterface()) return;
    QPointer<SyncErrorsViewController> self(this);
    syncErrorsUpdateTimer_ = Timer::scheduledTimer(refreshInterval, true, [self](Timer&) {
        if (self) self->reloadErrors();
    });
}

bool SyncErrorsViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_) {
        // A tab's page is shown and hidden as its tab is chosen and left.
        if (event->type() == QEvent::Show) viewWillAppear();
        else if (event->type() == QEvent::Hide) viewWillDisappear();
    }
    return QObject::eventFilter(watched, event);
}
