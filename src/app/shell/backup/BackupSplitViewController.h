#pragma once

#include <QMetaObject>
#include <QPointer>

#include <memory>
#include <vector>

#include "app/shell/backup/BackupBrowserPane.h"

class BackupController;
class BackupDetailsViewController;
class BackupListViewController;
class ObjCBackupObject;
class QProgressBar;

// The browser's content: loads the list of backups from the backup controller, owns the data
// source the panes show and answers for the toolbar. The list is loaded each time the content
// appears and again whenever the latest backup status changes. Main thread only.
class BackupSplitViewController : public BackupBrowserPane {
    Q_OBJECT

public:
    static inline const QString restoreItemIdentifier = QStringLiteral("restore");

    explicit BackupSplitViewController(QObject* parent = nullptr);
    ~BackupSplitViewController() override;

    BackupListViewController* listViewController() const { return listViewController_; }
    BackupDetailsViewController* detailsViewController() const { return detailsViewController_; }

    BackupController* backupController() const;
    void setBackupController(BackupController* controller);
    QProgressBar* progressIndicator() const;
    void setProgressIndicator(QProgressBar* indicator);

    // Follows the latest backup status from now on and loads the list.
    void viewWillAppear();
    // Stops following the status while the window is away.
    void viewDidDisappear();
    Q_INVOKABLE void refreshBackups(QObject* sender = nullptr);

    // Every item but the restore item is enabled; that one while a backup is selected.
    Q_INVOKABLE bool validateToolbarItem(QObject* item) const;

    // Hands the data source on to the panes, then has the window's toolbar validate its items.
    void setRepresentedObject(std::shared_ptr<DataSource> dataSource) override;

protected:
    QWidget* loadView() override;

private:
    void showList(const std::vector<std::shared_ptr<ObjCBackupObject>>& backups);
    void setIndicatorSpinning(bool spinning);
    void validateToolbar();

    BackupListViewController* listViewController_;
    BackupDetailsViewController* detailsViewController_;
    QPointer<BackupController> backupController_;
    QPointer<QProgressBar> progressIndicator_;
    QMetaObject::Connection observation_;
    QMetaObject::Connection selectionObservation_;
};
