#include "app/shell/preferences/BackupPreferencesViewController.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QWidget>

#include <array>

#include "app/common/AppActions.h"
#include "app/core/BackupNameFormatter.h"
#include "app/core/SettingsController.h"
#include "frameworks/business/BackupSources.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Workspace.h"
#include "platform/foundation/MainQueue.h"

namespace {

constexpr std::array categories{BackupCategory::images, BackupCategory::videos, BackupCategory::contacts,
                                BackupCategory::calendars};

}  // namespace

BackupPreferencesViewController::Environment BackupPreferencesViewController::Environment::standard() {
    Environment environment;
    environment.sourceFolder = [](BackupCategory category) { return BackupSources::fromEnvironment().folder(category); };
    // A folder that is there but cannot be listed keeps its files from the backup: the way this
    // system denies an application its contacts, calendars or pictures.
    environment.isAccessDenied = [](const QString& folder) {
        const QFileInfo info(folder);
        return !folder.isEmpty() && info.exists() && (!info.isReadable() || (info.isDir() && !info.isExecutable()));
    };
    return environment;
}

BackupPreferencesViewController::BackupPreferencesViewController(QObject* parent)
    : BackupPreferencesViewController(Environment::standard(), parent) {}

BackupPreferencesViewController::BackupPreferencesViewController(Environment environment, QObject* parent)
    : PreferencesPane(parent),
      environment_(std::move(environment)),
      reachability_(std::make_unique<ReachabilityController>()) {}

BackupPreferencesViewController::~BackupPreferencesViewController() {
    reachability_->setDelegate(nullptr);
}

QCheckBox* BackupPreferencesViewController::checkbox(BackupCategory category) const {
    switch (category) {
    case BackupCategory::images: return imagesCheckbox_;
    case BackupCategory::videos: return videosCheckbox_;
    case BackupCategory::contacts: return contactsCheckbox_;
    case BackupCategory::calendars: return calendarsCheckbox_;
    }
    return nullptr;
}

QToolButton* BackupPreferencesViewController::checkboxWarning(BackupCategory category) const {
    switch (category) {
    case BackupCategory::images: return imagesCheckboxWarning_;
    case BackupCategory::videos: return videosCheckboxWarning_;
    case BackupCategory::contacts: return contactsCheckboxWarning_;
    case BackupCategory::calendars: return calendarsCheckboxWarning_;
    }
    return nullptr;
}

bool BackupPreferencesViewController::isDoneButtonEnabled() const {
    for (const BackupCategory category : categories)
        if (QCheckBox* box = checkbox(category); box && box->checkState() == Qt::Checked) return true;
    return false;
}

QWidget* BackupPreferencesViewController::loadView() {
    const LocalizationController& texts = localizationController_;
    auto* view = new QWidget;
    view->setWindowTitle(texts.brButtonConfigureBackup());
    gridView_ = new QGridLayout(view);
    gridView_->setContentsMargins(20, 20, 20, 20);
    gridView_->setHorizontalSpacing(12);
    gridView_->setVerticalSpacing(8);
    gridView_->setColumnStretch(1, 1);

    int row = 0;
    gridView_->addWidget(new QLabel(texts.brLabelBackupName(), view), row, 0, Qt::AlignRight);
    nameTextField_ = new QLineEdit(view);
    gridView_->addWidget(nameTextField_, row++, 1);

    gridView_->addWidget(new QLabel(texts.brLabelBackupAutomatically(), view), row, 0, Qt::AlignRight);
    auto* schedule = new QHBoxLayout;
    backupAutomaticallyCheckbox_ = new QCheckBox(texts.brLabelScheduleDailyAt(), view);
    datePicker_ = new QDateTimeEdit(view);
    datePicker_->setTimeSpec(Qt::LocalTime);
    // Only the time of day counts, to the minute.
    QString timeFormat = QLocale().timeFormat(QLocale::ShortFormat);
    timeFormat.remove(QStringLiteral(":ss"));
    datePicker_->setDisplayFormat(timeFormat);
    schedule->addWidget(backupAutomaticallyCheckbox_);
    schedule->addWidget(datePicker_);
    schedule->addStretch(1);
    gridView_->addLayout(schedule, row++, 1);

    itemsSeparatorCell_ = makeSeparatorLine(view);
    gridView_->addWidget(itemsSeparatorCell_, row++, 0);

    gridView_->addWidget(new QLabel(texts.brLabelBackupItems(), view), row, 0, Qt::AlignRight | Qt::AlignTop);
    const struct {
        QCheckBox** box;
        QToolButton** warning;
        QString title;
        QString toolTip;
        void (BackupPreferencesViewController::*tapped)(QObject*);
    } rows[] = {
        {&imagesCheckbox_, &imagesCheckboxWarning_, texts.brCheckBoxPhotos(), texts.brCheckBoxToolTipPhotos(),
         &BackupPreferencesViewController::handlePhotosWarningTapped},
        {&videosCheckbox_, &videosCheckboxWarning_, texts.brCheckBoxVideos(), texts.brCheckBoxToolTipVideos(),
         &BackupPreferencesViewController::handleVideosWarningTapped},
        {&contactsCheckbox_, &contactsCheckboxWarning_, texts.brCheckBoxContacts(), texts.brCheckBoxToolTipContacts(),
         &BackupPreferencesViewController::handleContactsWarningTapped},
        {&calendarsCheckbox_, &calendarsCheckboxWarning_, texts.brCheckBoxCalendars(),
         texts.brCheckBoxToolTipCalendars(), &BackupPreferencesViewController::handleCalendarsWarningTapped},
    };
    for (const auto& item : rows) {
        auto* line = new QHBoxLayout;
        *item.box = new QCheckBox(item.title, view);
        (*item.box)->setToolTip(item.toolTip);
        *item.warning = new QToolButton(view);
        (*item.warning)->setIcon(view->style()->standardIcon(QStyle::SP_MessageBoxWarning));
        (*item.warning)->setAutoRaise(true);
        (*item.warning)->hide();
        QToolButton* warning = *item.warning;
        connect(warning, &QToolButton::clicked, this, [this, warning, tapped = item.tapped] { (this->*tapped)(warning); });
        line->addWidget(*item.box);
        line->addWidget(*item.warning);
        line->addStretch(1);
        gridView_->addLayout(line, row++, 1);
    }

    advancedPreferencesSeparatorCell_ = makeSeparatorLine(view);
    gridView_->addWidget(advancedPreferencesSeparatorCell_, row++, 0);

    gridView_->addWidget(new QLabel(texts.brLabelOptions(), view), row, 0, Qt::AlignRight | Qt::AlignTop);
    deletedItemsCheckbox_ = new QCheckBox(texts.brCheckBoxKeepDeletedItems(), view);
    deletedItemsCheckbox_->setToolTip(texts.brCheckBoxToolTipKeepDeletedItems());
    gridView_->addWidget(deletedItemsCheckbox_, row++, 1);
    immediatelyStartBackupCheckbox_ = new QCheckBox(texts.brCheckBoxImmediatelyStartBackup(), view);
    immediatelyStartBackupCheckbox_->setToolTip(texts.brCheckBoxToolTipImmediatelyStartBackup());
    gridView_->addWidget(immediatelyStartBackupCheckbox_, row++, 1);

    bottomSeparatorCell_ = makeSeparatorLine(view);
    gridView_->addWidget(bottomSeparatorCell_, row++, 0);

    const SheetButtons buttons = makeSheetButtons(view, texts.brButtonCancel(), texts.brButtonDone());
    connect(buttons.help, &QPushButton::clicked, this, [this, help = buttons.help] { openHelp(help); });
    connect(buttons.cancel, &QPushButton::clicked, this, [this, cancelButton = buttons.cancel] { cancel(cancelButton); });
    doneButton_ = buttons.confirm;
    connect(doneButton_, &QPushButton::clicked, this, [this] { ok(doneButton_); });
    connect(this, &BackupPreferencesViewController::isDoneButtonEnabledChanged, doneButton_,
            [this] { doneButton_->setEnabled(isDoneButtonEnabled()); });
    gridView_->addLayout(buttons.layout, row++, 0, 1, 2);
    return view;
}

void BackupPreferencesViewController::viewDidLoad() {
    for (QWidget* cell : {itemsSeparatorCell_, advancedPreferencesSeparatorCell_, bottomSeparatorCell_})
        mergeRowAcrossColumns(gridView_, cell);
    for (const BackupCategory category : categories)
        connect(checkbox(category), &QCheckBox::stateChanged, this,
                [this, category] { checkboxStateChanged(checkbox(category)); });
    reachability_->setDelegate(this);
}

void BackupPreferencesViewController::viewWillAppear() {
    view();
    OrvellaSettingsManager* settings = SettingsController().settings();
    nameTextField_->setText(settings->backupName().value_or(QString()));
    datePicker_->setDateTime(settings->nextBackupDate().value_or(SettingsController::defaultNextBackupDate()).toLocalTime());
    const std::pair<QCheckBox*, bool> boxes[] = {
        {imagesCheckbox_, settings->backupImages()},
        {videosCheckbox_, settings->backupVideos()},
        {contactsCheckbox_, settings->backupContacts()},
        {calendarsCheckbox_, settings->backupCalendars()},
        {deletedItemsCheckbox_, settings->backupKeepDeletedItems()},
        {backupAutomaticallyCheckbox_, settings->backupAutomatically()},
        {immediatelyStartBackupCheckbox_, settings->backupImmediately()},
    };
    for (const auto& [box, on] : boxes) box->setChecked(on);

    checkPrivacyPermissions();
    emit isDoneButtonEnabledChanged();

    const BackupController* controller = backupController_;
    const bool canStartNow = reachability_->isConnected() &&
                             (!controller || (!controller->isPreparing() && !controller->isBackingUp() &&
                                              !controller->isRestoring()));
    immediatelyStartBackupCheckbox_->setEnabled(canStartNow);
    if (!canStartNow) immediatelyStartBackupCheckbox_->setChecked(false);
}

void BackupPreferencesViewController::checkPrivacyPermissions() {
    for (const BackupCategory category : categories) {
        const QString folder = environment_.sourceFolder ? environment_.sourceFolder(category) : QString();
        const bool denied = environment_.isAccessDenied && environment_.isAccessDenied(folder);
        QCheckBox* box = checkbox(category);
        box->setEnabled(!denied);
        if (denied) box->setChecked(false);
        checkboxWarning(category)->setVisible(denied);
    }
}

void BackupPreferencesViewController::reachabilityChanged(ReachabilityController&, bool isConnected) {
    // Reported on the framework's thread.
    QPointer<BackupPreferencesViewController> self(this);
    MainQueue::runOrAsync([self, isConnected] {
        if (self && !isConnected && self->immediatelyStartBackupCheckbox_)
            self->immediatelyStartBackupCheckbox_->setChecked(false);
    });
}

QWidget* BackupPreferencesViewController::sheetWindow() {
    if (!isViewLoaded()) return nullptr;
    QWidget* window = view()->window();
    return window && window->isVisible() ? window : nullptr;
}

void BackupPreferencesViewController::ok(QObject*) {
    QWidget* window = sheetWindow();
    if (!window) return;
    // Without keeping deleted items, the next run deletes online what is no longer chosen. The
    // stored choice decides, not the check box, which only takes effect once saved.
    OrvellaSettingsManager* settings = SettingsController().settings();
    const bool removing = !settings->backupKeepDeletedItems() &&
                          ((settings->backupImages() && !imagesCheckbox_->isChecked()) ||
                           (settings->backupVideos() && !videosCheckbox_->isChecked()) ||
                           (settings->backupContacts() && !contactsCheckbox_->isChecked()));
    if (!removing) {
        save(immediatelyStartBackupCheckbox_->isChecked());
        return;
    }
    const LocalizationController& texts = localizationController_;
    Alert alert = Alert::question(texts.brAlertBackupContentRemovedMessage(), texts.brAlertBackupContentRemovedInformative(),
                                  texts.brAlertBackupContentRemovedOK(), texts.brAlertBackupContentRemovedCancel());
    alert.setAlertStyle(Alert::Style::critical);
    QPointer<BackupPreferencesViewController> self(this);
    alert.beginSheetModal(window, [self](int response) {
        if (self && response == Alert::FirstButtonReturn) self->save(self->immediatelyStartBackupCheckbox_->isChecked());
    });
}

void BackupPreferencesViewController::save(bool startNow) {
    if (!sheetWindow()) return;
    const QString name = nameTextField_->text();
    if (!isValidBackupName(name)) {
        controlDidFailToFormatString(name);
        return;
    }
    OrvellaSettingsManager* settings = SettingsController().settings();
    settings->setBackupName(name);
    settings->setBackupImages(imagesCheckbox_->isChecked());
    settings->setBackupVideos(videosCheckbox_->isChecked());
    settings->setBackupContacts(contactsCheckbox_->isChecked());
    settings->setBackupCalendars(calendarsCheckbox_->isChecked());
    settings->setBackupKeepDeletedItems(deletedItemsCheckbox_->isChecked());
    settings->setBackupAutomatically(backupAutomaticallyCheckbox_->isChecked());
    settings->setNextBackupDate(datePicker_->dateTime());
    if (immediatelyStartBackupCheckbox_->isEnabled()) settings->setBackupImmediately(immediatelyStartBackupCheckbox_->isChecked());
    // The backup controller reschedules at every change of the switch; flipping it there and back
    // makes it take up the new time while the stored choice stays.
    const bool automatically = settings->backupAutomatically();
    settings->setBackupAutomatically(!automatically);
    settings->setBackupAutomatically(automatically);
    if (startNow) Application::shared().sendAction(AppAction::startBackup, this);
    dismissController(this);
}

void BackupPreferencesViewController::cancel(QObject* sender) {
    nameTextField_->setText(SettingsController().settings()->backupName().value_or(QString()));
    dismissController(sender);
}

void BackupPreferencesViewController::openHelp(QObject*) {
    Workspace::openUrlText(localizationController_.brButtonHelpURL());
}

void BackupPreferencesViewController::checkboxStateChanged(QObject*) {
    emit isDoneButtonEnabledChanged();
}

void BackupPreferencesViewController::handlePhotosWarningTapped(QObject*) {
    showAccessDeniedAlert(BackupCategory::images);
}

void BackupPreferencesViewController::handleVideosWarningTapped(QObject*) {
    showAccessDeniedAlert(BackupCategory::videos);
}

void BackupPreferencesViewController::handleContactsWarningTapped(QObject*) {
    showAccessDeniedAlert(BackupCategory::contacts);
}

void BackupPreferencesViewController::handleCalendarsWarningTapped(QObject*) {
    showAccessDeniedAlert(BackupCategory::calendars);
}

void BackupPreferencesViewController::showAccessDeniedAlert(BackupCategory category) {
    QWidget* window = sheetWindow();
    if (!window) return;
    const LocalizationController& texts = localizationController_;
    QString message, informative;
    switch (category) {
    case BackupCategory::images:
    case BackupCategory::videos:
        message = texts.brAlertPreBackupPhotoLibraryAccessDeniedMessage();
        informative = texts.brAlertPreBackupPhotoLibraryAccessDeniedInformative();
        break;
    case BackupCategory::contacts:
        message = texts.brAlertPreBackupContactsAccessDeniedMessage();
        informative = texts.brAlertPreBackupContactsAccessDeniedInformative();
        break;
    case BackupCategory::calendars:
        message = texts.brAlertPreBackupCalendarsAccessDeniedMessage();
        informative = texts.brAlertPreBackupCalendarsAccessDeniedInformative();
        break;
    }
    Alert alert = Alert::question(message, informative, texts.brAlertButtonPreBackupPermissionDeniedOpenSystemPreferences(),
                                  texts.brAlertButtonPreBackupPermissionDeniedCancel());
    alert.setAlertStyle(Alert::Style::critical);
    // The folder's permissions are this system's privacy settings: the file manager is where the
    // user changes them.
    const QString folder = environment_.sourceFolder ? environment_.sourceFolder(category) : QString();
    QPointer<BackupPreferencesViewController> self(this);
    alert.beginSheetModal(window, [self, folder](int response) {
        if (self && response == Alert::FirstButtonReturn && !folder.isEmpty())
            Workspace::activateFileViewerSelecting({folder});
    });
}

bool BackupPreferencesViewController::controlDidFailToFormatString(const QString&) {
    if (QWidget* window = sheetWindow()) {
        const LocalizationController& texts = localizationController_;
        Alert alert;
        alert.setAlertStyle(Alert::Style::critical);
        alert.setMessageText(texts.brAlertWrongBackupNameMessage());
        alert.setInformativeText(texts.brAlertWrongBackupNameInformative());
        alert.addButton(texts.brAlertWrongBackupNameOK());
        alert.beginSheetModal(window, {});
    }
    return false;
}
