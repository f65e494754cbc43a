#pragma once

#include <QMetaObject>
#include <QPointer>

#include "app/shell/backup/BackupBrowserPane.h"

class QTreeWidget;

// The browser's list of backups: one row per backup with its status and size. Its selection is
// the data source's. Main thread only.
class BackupListViewController : public BackupBrowserPane {
    Q_OBJECT

public:
    enum Column { nameColumn, statusColumn, sizeColumn };

    explicit BackupListViewController(QObject* parent = nullptr);

    QTreeWidget* outlineView();

    // Shows the list, then, on the next turn of the main queue, selects the row the data source
    // already has selected, else the first row.
    void setRepresentedObject(std::shared_ptr<DataSource> dataSource) override;

protected:
    QWidget* loadView() override;

private:
    void reloadRows();
    void showSelection();
    void selectionDidChange();

    QMetaObject::Connection backupsObservation_;
    QMetaObject::Connection selectionObservation_;
    bool updatingSelection_ = false;
};
