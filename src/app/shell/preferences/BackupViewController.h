#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

#include "app/backup/BackupController.h"
#include "app/common/LocalizationController.h"
#include "app/core/ReachabilityController.h"
#include "app/core/SettingsController.h"
#include "app/shell/preferences/PreferencesPane.h"

class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class BackupPreferencesViewController;

// The backup tab: what the backup holds, when it last ran and runs next, the progress of a running
// backup with a spinning indicator, and the buttons that set the backup up (a sheet that gets this
// pane's backup controller), start or skip it, and open the backups to restore.
// Main thread only; the backup controller reports there.
class BackupViewController : public PreferencesPane {
    Q_OBJECT
    Q_PROPERTY(BackupController* backupController READ backupController WRITE setBackupController NOTIFY
                   backupControllerChanged)
    Q_PROPERTY(ReachabilityController* reachability READ reachability CONSTANT)

public:
    static inline const QString backupPreferencesSegue = QStringLiteral("BackupPreferences");

    explicit BackupViewController(QObject* parent = nullptr);
    ~BackupViewController() override;

    BackupController* backupController() const { return backupController_; }
    Q_INVOKABLE void setBackupController(BackupController* controller);
    ReachabilityController* reachability() const { return reachability_.get(); }

    void viewWillAppear() override;

    // Hands the backup controller to the set-up sheet, or to any window that takes one through an
    // invokable setBackupController(BackupController*).
    void prepareForSegue(const QString& identifier, QObject* destination);
    // Makes the set-up sheet, prepares it and shows it on the pane's window.
    Q_INVOKABLE void showBackupPreferences(QObject* sender);
    Q_INVOKABLE void startBackup(QObject* sender);
    Q_INVOKABLE void showBackups(QObject* sender);
    // Asks whether to skip the running backup; skipping cancels it.
    Q_INVOKABLE void cancelBackup(QObject* sender);
    Q_INVOKABLE void openHelp(QObject* sender);
    BackupPreferencesViewController* presentedSheet() const { return sheet_; }

    void updateProgress();

    QGridLayout* gridView() const { return gridView_; }
    QWidget* backupDescriptionCell() const { return backupDescriptionCell_; }
    QWidget* backupProgressCell() const { return backupProgressCell_; }
    QLabel* progressLabel() const { return progressLabel_; }
    QProgressBar* progressActivityIndicator() const { return progressActivityIndicator_; }
    // The indicator spins while its range is open, while the total of the work is unknown.
    bool isIndicatorAnimating() const;
    // The share of the work the indicator shows as done; none while it spins or is hidden.
    std::optional<double> indicatorFraction() const;
    QLabel* itemsLabel() const { return itemsLabel_; }
    QLabel* latestBackupLabel() const { return latestBackupLabel_; }
    QLabel* nextBackupLabel() const { return nextBackupLabel_; }
    QPushButton* configureButton() const { return configureButton_; }
    QPushButton* startButton() const { return startButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* restoreButton() const { return restoreButton_; }

signals:
    void backupControllerChanged();

protected:
    QWidget* loadView() override;
    void viewDidLoad() override;

private:
    void refreshDetails();
    void refreshButtons();
    QWidget* alertWindow();

    QPointer<BackupController> backupController_;
    const LocalizationController localizationController_;
    SettingsController settingsController_;
    std::unique_ptr<ReachabilityController> reachability_;
    QMetaObject::Connection backupProgressObservation_;
    QMetaObject::Connection cancelObservation_;
    QMetaObject::Connection isAlreadyLaunchedObservation_;
    QMetaObject::Connection stateObservation_;
    QMetaObject::Connection latestStatusObservation_;
    QMetaObject::Connection availabilityObservation_;
    QMetaObject::Connection accountObservation_;
    QPointer<BackupPreferencesViewController> sheet_;
    bool progressShown_ = false;
    // Fine enough that every step of a large backup moves the bar.
    static constexpr int indicatorSteps = 1000;

    QGridLayout* gridView_ = nullptr;
    QWidget* backupDescriptionCell_ = nullptr;
    QWidget* backupProgressCell_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    QProgressBar* progressActivityIndicator_ = nullptr;
    QLabel* itemsLabel_ = nullptr;
    QLabel* latestBackupLabel_ = nullptr;
    QLabel* nextBackupLabel_ = nullptr;
    QPushButton* configureButton_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* restoreButton_ = nullptr;
};
