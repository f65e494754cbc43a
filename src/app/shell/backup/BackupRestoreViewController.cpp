#include "app/shell/backup/BackupRestoreViewController.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVariant>

#include <thread>

#include "app/backup/BackupAlerts.h"
#include "app/backup/BackupController.h"
#include "app/common/LocalizationController.h"
#include "app/common/LogChannels.h"
#include "app/core/AppError.h"
#include "app/shell/backup/BackupBrowserTexts.h"
#include "app/shell/backup/DataSource.h"
#include "app/shell/backup/RestoreSuccessWindowController.h"
#include "app/shell/backup/BackupRestoreSuccessViewController.h"
#include "platform/appkit/WindowSheet.h"
#include "platform/appkit/Storyboard.h"
#include "platform/appkit/ValueTransformer.h"
#include "platform/appkit/Workspace.h"

namespace {

// The sound a finished restore makes: the desktop's "complete" event where the desktop plays
// event sounds, the plain bell elsewhere. The player is a process: started off the main thread.
void playNamedSound(const QString& name) {
    const QString player = QStandardPaths::findExecutable(QStringLiteral("canberra-gtk-play"));
    if (player.isEmpty()) {
        QApplication::beep();
        return;
    }
    std::thread([player, name] {
        QProcess::startDetached(player, {QStringLiteral("-i"), QStringLiteral("complete"), QStringLiteral("-d"), name});
    }).detach();
}

bool contains(const ObjCBackupObject& backup, BackupCategory category) {
    switch (category) {
    case BackupCategory::contacts: return backup.containsContacts();
    case BackupCategory::calendars: return backup.containsCalendars();
    case BackupCategory::images: return backup.containsImages();
    case BackupCategory::videos: return backup.containsVideo();
    }
    return false;
}

std::uint64_t sizeOf(const ObjCBackupObject& backup, BackupCategory category) {
    const auto sizes = backup.sizes();
    if (!sizes) return 0;
    switch (category) {
    case BackupCategory::contacts: return sizes->contacts();
    case BackupCategory::calendars: return sizes->calendars();
    case BackupCategory::images: return sizes->images();
    case BackupCategory::videos: return sizes->videos();
    }
    return 0;
}

bool chosen(const OVBackupAndRestoreOptions& options, BackupCategory category) {
    switch (category) {
    case BackupCategory::contacts: return options.contacts;
    case BackupCategory::calendars: return options.calendars;
    case BackupCategory::images: return options.images;
    case BackupCategory::videos: return options.videos;
    }
    return false;
}

constexpr BackupCategory kCategories[] = {BackupCategory::contacts, BackupCategory::videos, BackupCategory::images,
                                          BackupCategory::calendars};

bool isCancellation(const AppError& error) {
    const BusinessError* business = error.businessError();
    return business && business->kind == BusinessError::Kind::cancelled;
}

// A restore the user started never ends without a word: an error that has no text of its own
// for the user is shown as an incomplete restore; one the user asked for (cancel) only logged.
void presentRestoreFailure(const AppError& error) {
    if (isCancellation(error) || error.presentedTexts()) {
        presentError(error);
        return;
    }
    OVLOG_WARNING(AppLog::backupRestore(), QStringLiteral("Restore failed with error ") + error.textualDescription());
    presentError(AppError(RestoreError::incompleteRestore));
}

}  // namespace

BackupRestoreViewController::BackupRestoreViewController(QObject* parent)
    : BackupBrowserPane(parent),
      sources_(BackupSources::fromEnvironment()),
      volumeReader_(RestoreSpace::volumeOf),
      soundPlayer_(playNamedSound) {}

BackupRestoreViewController::~BackupRestoreViewController() {
    for (const auto& observation : {restoringObservation_, backingUpObservation_, inProgressObservation_, progressObservation_})
        disconnect(observation);
}

BackupController* BackupRestoreViewController::backupController() const { return backupController_; }

void BackupRestoreViewController::setBackupController(BackupController* controller) {
    backupController_ = controller;
    emit backupControllerChanged();
}

std::shared_ptr<ObjCBackupObject> BackupRestoreViewController::selectedBackup() const {
    if (selectedBackup_) return selectedBackup_;
    const auto dataSource = representedObject();
    return dataSource ? dataSource->selectedBackup() : nullptr;
}

QWidget* BackupRestoreViewController::loadView() {
    const LocalizationController texts;
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("RestoreSheet"));
    view->setWindowTitle(texts.brButtonRestoreBackup());
    view->setMinimumWidth(420);
    gridView_ = new QGridLayout(view);
    gridView_->setContentsMargins(20, 20, 20, 20);
    gridView_->setHorizontalSpacing(12);

    auto* description = new QLabel(texts.brLabelRestoreDescription());
    description->setWordWrap(true);
    gridView_->addWidget(description, 0, 0, 1, 2);
    const auto separator = [] {
        auto* line = new QFrame;
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        return line;
    };
    itemsSeparatorCell_ = separator();
    gridView_->addWidget(itemsSeparatorCell_, 1, 0);
    const auto checkBox = [&](const QString& title, int row, void (BackupRestoreViewController::*set)(bool)) {
        auto* box = new QCheckBox(title);
        connect(box, &QCheckBox::toggled, this, [this, set](bool on) { (this->*set)(on); });
        gridView_->addWidget(box, row, 1);
        return box;
    };
    gridView_->addWidget(new QLabel(texts.brLabelBackupItems()), 2, 0, Qt::AlignRight);
    imagesCheckBox_ = checkBox(texts.brCheckBoxPhotos(), 2, &BackupRestoreViewController::setShouldRestoreImages);
    videosCheckBox_ = checkBox(texts.brCheckBoxVideos(), 3, &BackupRestoreViewController::setShouldRestoreVideos);
    contactsCheckBox_ = checkBox(texts.brCheckBoxContacts(), 4, &BackupRestoreViewController::setShouldRestoreContacts);
    calendarsCheckBox_ = checkBox(texts.brCheckBoxCalendars(), 5, &BackupRestoreViewController::setShouldRestoreCalendars);
    sizeSeparatorCell_ = separator();
    gridView_->addWidget(sizeSeparatorCell_, 6, 0);
    gridView_->addWidget(new QLabel(texts.brLabelSize() + u':'), 7, 0, Qt::AlignRight);
    sizeTextField_ = new QLabel;
    gridView_->addWidget(sizeTextField_, 7, 1);
    progressTextField_ = new QLabel;
    progressTextField_->setVisible(false);
    gridView_->addWidget(progressTextField_, 8, 0, 1, 2);

    auto* buttons = new QHBoxLayout;
    auto* help = new QPushButton(QStringLiteral("?"));
    help->setFixedWidth(help->sizeHint().height());
    connect(help, &QPushButton::clicked, this, [this, help] { openHelp(help); });
    buttons->addWidget(help);
    buttons->addStretch();
    cancelButton_ = new QPushButton(texts.brButtonCancel());
    cancelButton_->setShortcut(Qt::Key_Escape);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { cancel(cancelButton_); });
    buttons->addWidget(cancelButton_);
    restoreButton_ = new QPushButton(texts.brButtonRestore());
    restoreButton_->setDefault(true);
    restoreButton_->setEnabled(false);
    connect(restoreButton_, &QPushButton::clicked, this, [this] { restore(restoreButton_); });
    buttons->addWidget(restoreButton_);
    gridView_->addLayout(buttons, 9, 0, 1, 2);
    return view;
}

void BackupRestoreViewController::viewDidLoad() {
    // The separators run across the whole grid.
    for (QWidget* cell : {itemsSeparatorCell_, sizeSeparatorCell_}) {
        const int index = gridView_->indexOf(cell);
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        gridView_->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        delete gridView_->takeAt(index);
        gridView_->addWidget(cell, row, 0, 1, gridView_->columnCount());
    }
    selectedBackup_ = selectedBackup();
    updateRestoreSize();
    if (!selectedBackup_) {
        for (QCheckBox* box : {contactsCheckBox_, calendarsCheckBox_, imagesCheckBox_, videosCheckBox_}) box->setEnabled(false);
        return;
    }
    const ObjCBackupObject& backup = *selectedBackup_;
    contactsCheckBox_->setEnabled(backup.containsContacts());
    calendarsCheckBox_->setEnabled(backup.containsCalendars());
    imagesCheckBox_->setEnabled(backup.containsImages());
    videosCheckBox_->setEnabled(backup.containsVideo());
    setShouldRestoreContacts(backup.containsContacts());
    setShouldRestoreVideos(backup.containsVideo());
    setShouldRestoreImages(backup.containsImages());
    setShouldRestoreCalendars(backup.containsCalendars());
    if (backupController_) {
        QPointer<BackupRestoreViewController> self(this);
        const auto update = [self] {
            if (self) self->updateRestoreButton();
        };
        restoringObservation_ = connect(backupController_, &BackupController::isRestoringChanged, this, update);
        backingUpObservation_ = connect(backupController_, &BackupController::isBackingUpChanged, this, update);
        inProgressObservation_ = connect(backupController_, &BackupController::isInProgressChanged, this, update);
        progressObservation_ = connect(backupController_, &BackupController::backupProgressChanged, this, [self] {
            if (self) self->updateProgress();
        });
    }
    updateRestoreButton();
}

void BackupRestoreViewController::setFlag(bool& flag, bool value, BackupCategory category) {
    // A category the backup does not hold would "restore" nothing and still be reported restored.
    if (value && selectedBackup_ && !contains(*selectedBackup_, category)) value = false;
    flag = value;
    if (isViewLoaded()) {
        QCheckBox* box = category == BackupCategory::contacts    ? contactsCheckBox_
                         : category == BackupCategory::calendars ? calendarsCheckBox_
                         : category == BackupCategory::images    ? imagesCheckBox_
                                                                 : videosCheckBox_;
        const QSignalBlocker blocker(box);
        box->setChecked(value);
    }
    emit flagsChanged();
    updateRestoreButton();
    updateRestoreSize();
}

bool BackupRestoreViewController::canRestore() const {
    return backupController_ && !backupController_->isBackingUp() && !backupController_->isInProgress() &&
           !backupController_->isRestoring() && !chosenOptions().isEmpty();
}

void BackupRestoreViewController::updateRestoreButton() {
    if (!isViewLoaded()) return;
    restoreButton_->setEnabled(canRestore());
    updateProgress();
}

void BackupRestoreViewController::updateProgress() {
    if (!isViewLoaded()) return;
    const bool restoring = backupController_ && backupController_->isRestoring();
    // What is being restored stays as it was chosen until the restore ends.
    for (QCheckBox* box : {contactsCheckBox_, calendarsCheckBox_, imagesCheckBox_, videosCheckBox_})
        box->setAttribute(Qt::WA_TransparentForMouseEvents, restoring);
    progressTextField_->setVisible(restoring);
    if (!restoring) return;
    const auto transformer = ValueTransformer::forName(QStringLiteral("BackupProgressTransformer"));
    const QVariant progress = QVariant::fromValue(backupController_->backupProgress());
    progressTextField_->setText(transformer ? transformer->transformedValue(progress).toString()
                                            : LocalizationController().brLabelRestoring());
}

void BackupRestoreViewController::updateRestoreSize() {
    const auto backup = selectedBackup_;
    if (!backup) return;
    DecimalNumber sum;
    const OVBackupAndRestoreOptions options = chosenOptions();
    for (BackupCategory category : kCategories) {
        if (chosen(options, category)) sum.value += sizeOf(*backup, category);
    }
    restoreSize_ = sum;
    if (isViewLoaded()) sizeTextField_->setText(BackupBrowserTexts::byteText(sum));
    emit restoreSizeChanged();
}

OVBackupAndRestoreOptions BackupRestoreViewController::chosenOptions() const {
    return OVBackupAndRestoreOptions{contacts_, calendars_, videos_, images_};
}

bool BackupRestoreViewController::fitsOnDisk(const ObjCBackupObject& backup, const OVBackupAndRestoreOptions& options) const {
    std::vector<RestoreSpace::Need> needs;
    for (BackupCategory category : kCategories) {
        if (chosen(options, category)) needs.push_back({sources_.folder(category), sizeOf(backup, category)});
    }
    return RestoreSpace::fits(needs, volumeReader_);
}

void BackupRestoreViewController::presentAsSheet(QWidget* window) {
    QPointer<BackupRestoreViewController> self(this);
    WindowSheet::begin(view(), window, [self] {
        if (!self || self->isDismissed_) return;
        self->isDismissed_ = true;
        emit self->dismissed();
    });
}

void BackupRestoreViewController::dismissController(QObject*) {
    if (isViewLoaded() && WindowSheet::sheetParent(view())) {
        WindowSheet::end(view());
        return;
    }
    if (isDismissed_) return;
    isDismissed_ = true;
    emit dismissed();
}

void BackupRestoreViewController::restore(QObject* sender) {
    const auto backup = selectedBackup();
    if (!backup) {
        dismissController(sender);
        return;
    }
    // Only one restore at a time, and none beside a backup: a second press while one starts,
    // or a press from a sheet that was opened before, does nothing.
    if (!canRestore()) return;
    const OVBackupAndRestoreOptions options = chosenOptions();
    if (!fitsOnDisk(*backup, options)) {
        showNotEnoughSpaceToRestoreAlert();
        dismissController(sender);
        return;
    }
    QPointer<BackupRestoreViewController> self(this);
    backupController_->restore(backup->representedObject(), options, [self, options](const std::optional<AppError>& error) {
        if (error) {
            presentRestoreFailure(*error);
            return;
        }
        if (self) self->showSuccessSheet(options);
    });
}

void BackupRestoreViewController::showSuccessSheet(const OVBackupAndRestoreOptions& restored) {
    if (soundPlayer_) soundPlayer_(QStringLiteral("Glass"));
    if (!successWindowController_) {
        successWindowController_ =
            Storyboard::instantiateAs<RestoreSuccessWindowController>(Storyboard::main(), RestoreSuccessWindowController::storyboardIdentifier);
        if (successWindowController_) successWindowController_->setParent(this);
    }
    if (!successWindowController_ || !isViewLoaded()) return;
    BackupRestoreSuccessViewController* content = successWindowController_->contentViewController();
    if (!content) return;
    // The categories this restore was started with, not what the boxes show now.
    content->setShouldRestoreImages(restored.images);
    content->setShouldRestoreVideos(restored.videos);
    content->setShouldRestoreContacts(restored.contacts);
    content->setShouldRestoreCalendars(restored.calendars);
    QPointer<BackupRestoreViewController> self(this);
    WindowSheet::begin(successWindowController_->window(), view()->window(), [self] {
        if (self) self->dismissController();
    });
}

void BackupRestoreViewController::cancel(QObject* sender) {
    if (backupController_ && backupController_->isRestoring()) backupController_->cancel();
    dismissController(sender);
}

void BackupRestoreViewController::openHelp(QObject*) { Workspace::openUrlText(LocalizationController().brButtonRestoreHelpURL()); }
