#include "app/shell/backup/BackupListViewController.h"

#include <QHeaderView>
#include <QTreeWidget>

#include <algorithm>

#include "app/backup/BackupModels.h"
#include "app/common/LocalizationController.h"
#include "app/shell/backup/BackupBrowserTexts.h"
#include "app/shell/backup/DataSource.h"
#include "platform/foundation/MainQueue.h"

BackupListViewController::BackupListViewController(QObject* parent) : BackupBrowserPane(parent) {}

QWidget* BackupListViewController::loadView() {
    const LocalizationController texts;
    auto* tree = new QTreeWidget;
    tree->setObjectName(QStringLiteral("BackupList"));
    tree->setColumnCount(3);
    tree->setHeaderLabels({texts.brLabelDevices(), texts.brLabelBackupDate(), texts.brLabelSize()});
    tree->setRootIsDecorated(false);
    tree->setItemsExpandable(false);
    tree->setUniformRowHeights(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(nameColumn, QHeaderView::Stretch);
    tree->header()->setSectionResizeMode(statusColumn, QHeaderView::ResizeToContents);
    tree->header()->setSectionResizeMode(sizeColumn, QHeaderView::ResizeToContents);
    tree->setMinimumWidth(360);
    connect(tree, &QTreeWidget::itemSelectionChanged, this, [this] { selectionDidChange(); });
    return tree;
}

QTreeWidget* BackupListViewController::outlineView() { return static_cast<QTreeWidget*>(view()); }

void BackupListViewController::setRepresentedObject(std::shared_ptr<DataSource> dataSource) {
    disconnect(backupsObservation_);
    disconnect(selectionObservation_);
    BackupBrowserPane::setRepresentedObject(dataSource);
    if (dataSource) {
        backupsObservation_ = connect(dataSource.get(), &DataSource::backupsChanged, this, [this] { reloadRows(); });
        selectionObservation_ =
            connect(dataSource.get(), &DataSource::selectionIndexPathsChanged, this, [this] { showSelection(); });
    }
    reloadRows();
    QPointer<BackupListViewController> self(this);
    std::weak_ptr<DataSource> shown = dataSource;
    MainQueue::async([self, shown] {
        const auto dataSource = shown.lock();
        // A later list replaced this one meanwhile: it schedules its own selection.
        if (!self || !dataSource || self->representedObject() != dataSource) return;
        if (dataSource->selectionIndexPaths().isEmpty() && !dataSource->backups().empty())
            dataSource->setSelectionIndexPaths({0});
        else
            self->showSelection();
    });
}

void BackupListViewController::reloadRows() {
    QTreeWidget* tree = outlineView();
    updatingSelection_ = true;
    tree->clear();
    if (const auto dataSource = representedObject()) {
        for (const auto& backup : dataSource->backups()) {
            auto* row = new QTreeWidgetItem(tree);
            row->setText(nameColumn, backup->name());
            row->setToolTip(nameColumn, BackupBrowserTexts::deviceText(*backup));
            row->setText(statusColumn, BackupBrowserTexts::statusText(*backup));
            row->setText(sizeColumn, BackupBrowserTexts::sizeText(*backup));
            row->setTextAlignment(sizeColumn, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    updatingSelection_ = false;
    showSelection();
}

void BackupListViewController::showSelection() {
    QTreeWidget* tree = outlineView();
    const auto dataSource = representedObject();
    updatingSelection_ = true;
    tree->clearSelection();
    if (dataSource) {
        for (int row : dataSource->selectionIndexPaths()) {
            if (QTreeWidgetItem* item = tree->topLevelItem(row)) {
                item->setSelected(true);
                tree->setCurrentItem(item, nameColumn, QItemSelectionModel::NoUpdate);
            }
        }
    }
    updatingSelection_ = false;
}

void BackupListViewController::selectionDidChange() {
    if (updatingSelection_) return;
    const auto dataSource = representedObject();
    if (!dataSource) return;
    QList<int> rows;
    for (QTreeWidgetItem* item : outlineView()->selectedItems()) rows << outlineView()->indexOfTopLevelItem(item);
    std::sort(rows.begin(), rows.end());
    dataSource->setSelectionIndexPaths(rows);
}
