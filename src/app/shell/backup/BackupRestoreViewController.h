#pragma once

#include <QMetaObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

#include "app/backup/BackupModels.h"
#include "app/shell/backup/BackupBrowserPane.h"
#include "app/shell/backup/RestoreSpace.h"
#include "frameworks/business/BackupSources.h"
#include "frameworks/business/BackupTypes.h"

class AppError;
class BackupController;
class QCheckBox;
class QGridLayout;
class QLabel;
class QPushButton;
class RestoreSuccessWindowController;

// The restore sheet of the backup browser: the user picks which of the selected backup's
// categories to restore, sees how much that is, and starts the restore through the backup
// controller. A success shows the success sheet on top; a failure is presented and the sheet
// stays. Its represented object is the browser's data source. Main thread only.
class BackupRestoreViewController : public BackupBrowserPane {
    Q_OBJECT
    Q_PROPERTY(bool shouldRestoreContacts READ shouldRestoreContacts WRITE setShouldRestoreContacts NOTIFY flagsChanged)
    Q_PROPERTY(bool shouldRestoreVideos READ shouldRestoreVideos WRITE setShouldRestoreVideos NOTIFY flagsChanged)
    Q_PROPERTY(bool shouldRestoreImages READ shouldRestoreImages WRITE setShouldRestoreImages NOTIFY flagsChanged)
    Q_PROPERTY(bool shouldRestoreCalendars READ shouldRestoreCalendars WRITE setShouldRestoreCalendars NOTIFY flagsChanged)

public:
    static inline const QString storyboardIdentifier = QStringLiteral("BackupRestoreViewController");
    using SoundPlayer = std::function<void(const QString& name)>;

    explicit BackupRestoreViewController(QObject* parent = nullptr);
    ~BackupRestoreViewController() override;

    QGridLayout* gridView() const { return gridView_; }
    QPushButton* restoreButton() const { return restoreButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QCheckBox* contactsCheckBox() const { return contactsCheckBox_; }
    QCheckBox* calendarsCheckBox() const { return calendarsCheckBox_; }
    QCheckBox* imagesCheckBox() const { return imagesCheckBox_; }
    QCheckBox* videosCheckBox() const { return videosCheckBox_; }
    QLabel* sizeTextField() const { return sizeTextField_; }

    BackupController* backupController() const;
    void setBackupController(BackupController* controller);

    // The chosen categories. A category the selected backup does not hold cannot be chosen.
    bool shouldRestoreContacts() const { return contacts_; }
    void setShouldRestoreContacts(bool value) { setFlag(contacts_, value, BackupCategory::contacts); }
    bool shouldRestoreVideos() const { return videos_; }
    void setShouldRestoreVideos(bool value) { setFlag(videos_, value, BackupCategory::videos); }
    bool shouldRestoreImages() const { return images_; }
    void setShouldRestoreImages(bool value) { setFlag(images_, value, BackupCategory::images); }
    bool shouldRestoreCalendars() const { return calendars_; }
    void setShouldRestoreCalendars(bool value) { setFlag(calendars_, value, BackupCategory::calendars); }
    // Bytes the chosen categories take in the backup.
    const DecimalNumber& restoreSize() const { return restoreSize_; }

    // The backup selected in the browser when the sheet opened.
    std::shared_ptr<ObjCBackupObject> selectedBackup() const;
    // Whether a restore can start now: a backup controller that neither backs up nor restores,
    // and at least one category chosen.
    bool canRestore() const;
    RestoreSuccessWindowController* restoreSuccessSheetWindowController() const { return successWindowController_; }

    // Shows the view as a sheet of `window`; dismissController() ends it.
    void presentAsSheet(QWidget* window);

    Q_INVOKABLE void restore(QObject* sender = nullptr);
    Q_INVOKABLE void cancel(QObject* sender = nullptr);
    Q_INVOKABLE void openHelp(QObject* sender = nullptr);
    Q_INVOKABLE void dismissController(QObject* sender = nullptr);

    // Tests give the folders a restore writes to, the volumes' free space and the sound.
    void setSourcesForTesting(BackupSources sources) { sources_ = std::move(sources); }
    void setVolumeReaderForTesting(RestoreSpace::VolumeReader reader) { volumeReader_ = std::move(reader); }
    void setSoundPlayerForTesting(SoundPlayer player) { soundPlayer_ = std::move(player); }

signals:
    void backupControllerChanged();
    void flagsChanged();
    void restoreSizeChanged();
    // The sheet has ended, however it ended.
    void dismissed();

protected:
    QWidget* loadView() override;
    void viewDidLoad() override;

private:
    void setFlag(bool& flag, bool value, BackupCategory category);
    void updateRestoreButton();
    void updateRestoreSize();
    void updateProgress();
    OVBackupAndRestoreOptions chosenOptions() const;
    bool fitsOnDisk(const ObjCBackupObject& backup, const OVBackupAndRestoreOptions& options) const;
    void showSuccessSheet(const OVBackupAndRestoreOptions& restored);

    QGridLayout* gridView_ = nullptr;
    QWidget* itemsSeparatorCell_ = nullptr;
    QWidget* sizeSeparatorCell_ = nullptr;
    QCheckBox* contactsCheckBox_ = nullptr;
    QCheckBox* calendarsCheckBox_ = nullptr;
    QCheckBox* imagesCheckBox_ = nullptr;
    QCheckBox* videosCheckBox_ = nullptr;
    QLabel* sizeTextField_ = nullptr;
    QLabel* progressTextField_ = nullptr;
    QPushButton* restoreButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;

    QPointer<BackupController> backupController_;
    std::shared_ptr<ObjCBackupObject> selectedBackup_;
    RestoreSuccessWindowController* successWindowController_ = nullptr;
    QMetaObject::Connection restoringObservation_, backingUpObservation_, inProgressObservation_, progressObservation_;
    bool contacts_ = false, videos_ = false, images_ = false, calendars_ = false;
    DecimalNumber restoreSize_;
    bool isDismissed_ = false;

    BackupSources sources_;
    RestoreSpace::VolumeReader volumeReader_;
    SoundPlayer soundPlayer_;
};
