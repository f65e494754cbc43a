#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

#include "app/backup/BackupController.h"
#include "app/common/LocalizationController.h"
#include "app/core/ReachabilityController.h"
#include "app/shell/preferences/PreferencesPane.h"
#include "frameworks/business/BackupTypes.h"

class QCheckBox;
class QDateTimeEdit;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QToolButton;

// The backup set-up sheet: the backup's name, the daily time, the four kinds of content, keeping
// deleted items, daily backups on or off, and starting a backup when confirmed. It reads the
// settings each time it is shown and writes them only when confirmed; dropping content from a
// backup that does not keep deleted items is asked first, as the next run deletes it online.
//
// A kind whose source folder exists but cannot be read is off and cannot be chosen; its warning
// button explains and shows the folder in the file manager. Main thread only.
class BackupPreferencesViewController : public PreferencesPane, public ReachabilityControllerDelegate {
    Q_OBJECT
    Q_PROPERTY(bool isDoneButtonEnabled READ isDoneButtonEnabled NOTIFY isDoneButtonEnabledChanged)
    Q_PROPERTY(ReachabilityController* reachability READ reachability CONSTANT)

public:
    static inline const QString storyboardIdentifier = QStringLiteral("BackupPreferencesViewController");

    // Where a kind of content comes from and whether it may be read; tests put fakes here.
    struct Environment {
        std::function<QString(BackupCategory)> sourceFolder;
        std::function<bool(const QString& folder)> isAccessDenied;
        static Environment standard();
    };

    explicit BackupPreferencesViewController(QObject* parent = nullptr);
    explicit BackupPreferencesViewController(Environment environment, QObject* parent = nullptr);
    ~BackupPreferencesViewController() override;

    BackupController* backupController() const { return backupController_; }
    void setBackupController(BackupController* controller) { backupController_ = controller; }
    ReachabilityController* reachability() const { return reachability_.get(); }
    bool isDoneButtonEnabled() const;

    void viewWillAppear() override;
    void reachabilityChanged(ReachabilityController& controller, bool isConnected) override;

    Q_INVOKABLE void ok(QObject* sender);
    Q_INVOKABLE void cancel(QObject* sender);
    Q_INVOKABLE void openHelp(QObject* sender);
    Q_INVOKABLE void checkboxStateChanged(QObject* sender);
    Q_INVOKABLE void handlePhotosWarningTapped(QObject* sender);
    Q_INVOKABLE void handleVideosWarningTapped(QObject* sender);
    Q_INVOKABLE void handleContactsWarningTapped(QObject* sender);
    Q_INVOKABLE void handleCalendarsWarningTapped(QObject* sender);
    // Shows the wrong-name alert; the text is never accepted.
    bool controlDidFailToFormatString(const QString& string);

    QGridLayout* gridView() const { return gridView_; }
    QLineEdit* nameTextField() const { return nameTextField_; }
    QDateTimeEdit* datePicker() const { return datePicker_; }
    QCheckBox* checkbox(BackupCategory category) const;
    QToolButton* checkboxWarning(BackupCategory category) const;
    QCheckBox* deletedItemsCheckbox() const { return deletedItemsCheckbox_; }
    QCheckBox* immediatelyStartBackupCheckbox() const { return immediatelyStartBackupCheckbox_; }
    QCheckBox* backupAutomaticallyCheckbox() const { return backupAutomaticallyCheckbox_; }
    QPushButton* doneButton() const { return doneButton_; }

signals:
    void isDoneButtonEnabledChanged();

protected:
    QWidget* loadView() override;
    void viewDidLoad() override;

private:
    void checkPrivacyPermissions();
    void showAccessDeniedAlert(BackupCategory category);
    void save(bool startNow);
    QWidget* sheetWindow();

    Environment environment_;
    const LocalizationController localizationController_;
    QPointer<BackupController> backupController_;
    std::unique_ptr<ReachabilityController> reachability_;

    QGridLayout* gridView_ = nullptr;
    QWidget* itemsSeparatorCell_ = nullptr;
    QWidget* advancedPreferencesSeparatorCell_ = nullptr;
    QWidget* bottomSeparatorCell_ = nullptr;
    QLineEdit* nameTextField_ = nullptr;
    QDateTimeEdit* datePicker_ = nullptr;
    QCheckBox* imagesCheckbox_ = nullptr;
    QCheckBox* videosCheckbox_ = nullptr;
    QCheckBox* contactsCheckbox_ = nullptr;
    QCheckBox* calendarsCheckbox_ = nullptr;
    QToolButton* imagesCheckboxWarning_ = nullptr;
    QToolButton* videosCheckboxWarning_ = nullptr;
    QToolButton* contactsCheckboxWarning_ = nullptr;
    QToolButton* calendarsCheckboxWarning_ = nullptr;
    QCheckBox* deletedItemsCheckbox_ = nullptr;
    QCheckBox* immediatelyStartBackupCheckbox_ = nullptr;
    QCheckBox* backupAutomaticallyCheckbox_ = nullptr;
    QPushButton* doneButton_ = nullptr;
};
