#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class BackupController;
class BackupRestoreViewController;
class BackupSplitViewController;
class QMainWindow;
class QProgressBar;
class RestoreToolbarItem;
class ToolbarItem;

// The backup browser: a window with the list of the account's backups, their details and a
// toolbar to reload, open the restored folders and restore the selected backup in a sheet. Made
// from the main storyboard and kept by whoever opened it. Main thread only.
class BackupRestoreWindowController : public QObject {
    Q_OBJECT

public:
    static inline const QString storyboardIdentifier = QStringLiteral("BackupRestoreWindowController");
    static inline const QString restoreSegueIdentifier = QStringLiteral("Restore");

    explicit BackupRestoreWindowController(QObject* parent = nullptr);
    ~BackupRestoreWindowController() override;

    BackupSplitViewController* contentViewController() const { return contentViewController_; }
    // Made on first use; windowDidLoad() runs then.
    QMainWindow* window();
    bool isWindowVisible() const;

    BackupController* backupController() const;
    void setBackupController(BackupController* controller);

    ToolbarItem* refreshToolbarItem() const { return refreshToolbarItem_; }
    ToolbarItem* openPhotosToolbarItem() const { return openPhotosToolbarItem_; }
    ToolbarItem* openVideosToolbarItem() const { return openVideosToolbarItem_; }
    ToolbarItem* openContactsToolbarItem() const { return openContactsToolbarItem_; }
    ToolbarItem* openCalendarsToolbarItem() const { return openCalendarsToolbarItem_; }
    RestoreToolbarItem* restoreBackupToolbarItem() const { return restoreBackupToolbarItem_; }
    QProgressBar* progressIndicator() const { return progressIndicator_; }

    // Shows the window and brings it forward; the content loads the list when it comes on screen.
    void showWindow();
    // Ends every sheet on the window, in the order they began, then closes it.
    void close();

    // The restore item's action: the restore sheet for the selected backup.
    Q_INVOKABLE void restoreBackup(QObject* sender = nullptr);
    // Makes the segue's destination and shows it as a sheet; only "Restore" is known.
    void performSegue(const QString& identifier, QObject* sender = nullptr);
    // Hands the restore sheet the browser's data source and backup controller.
    void prepareForSegue(const QString& identifier, QObject* destination, QObject* sender = nullptr);
    // The restore sheet on screen, if any.
    BackupRestoreViewController* restoreViewController() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void windowDidLoad();

    BackupSplitViewController* contentViewController_;
    QPointer<QMainWindow> window_;
    QPointer<BackupController> backupController_;
    ToolbarItem* refreshToolbarItem_ = nullptr;
    ToolbarItem* openPhotosToolbarItem_ = nullptr;
    ToolbarItem* openVideosToolbarItem_ = nullptr;
    ToolbarItem* openContactsToolbarItem_ = nullptr;
    ToolbarItem* openCalendarsToolbarItem_ = nullptr;
    RestoreToolbarItem* restoreBackupToolbarItem_ = nullptr;
    QProgressBar* progressIndicator_ = nullptr;
    QPointer<BackupRestoreViewController> restoreViewController_;
};

// Registers the backup browser ("BackupRestoreWindowController"), its restore sheet and the
// restore-success sheet with the main storyboard. Call once at start-up.
void registerBackupBrowserScenes();
