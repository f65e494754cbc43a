#include "app/shell/preferences/BackupViewController.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include <cmath>

#include "app/backup/BackupAlerts.h"
#include "app/backup/BackupTransformerText.h"
#include "app/common/AppActions.h"
#include "app/shell/preferences/BackupPreferencesViewController.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Storyboard.h"
#include "platform/appkit/ValueTransformer.h"
#include "platform/appkit/Workspace.h"

namespace {

QString transformed(const QString& transformer, const QVariant& value) {
    const auto named = ValueTransformer::forName(transformer);
    if (!named) return {};
    const QVariant result = named->transformedValue(value);
    return result.typeId() == QMetaType::QString ? result.toString() : QString();
}

}  // namespace

BackupViewController::BackupViewController(QObject* parent)
    : PreferencesPane(parent), reachability_(std::make_unique<ReachabilityController>()) {
    connect(reachability_.get(), &ReachabilityController::isConnectedChanged, this, &BackupViewController::refreshButtons);
}

BackupViewController::~BackupViewController() = default;

void BackupViewController::setBackupController(BackupController* controller) {
    if (backupController_ == controller) return;
    QObject::disconnect(backupProgressObservation_);
    QObject::disconnect(cancelObservation_);
    QObject::disconnect(stateObservation_);
    QObject::disconnect(latestStatusObservation_);
    QObject::disconnect(availabilityObservation_);
    QObject::disconnect(accountObservation_);
    backupProgressObservation_ = cancelObservation_ = stateObservation_ = latestStatusObservation_ = {};
    availabilityObservation_ = accountObservation_ = {};
    backupController_ = controller;
    emit backupControllerChanged();
    refreshDetails();
    refreshButtons();
}

QWidget* BackupViewController::loadView() {
    const LocalizationController& texts = localizationController_;
    auto* view = new QWidget;
    gridView_ = new QGridLayout(view);
    gridView_->setContentsMargins(20, 20, 20, 20);
    gridView_->setHorizontalSpacing(12);
    gridView_->setVerticalSpacing(10);
    gridView_->setColumnStretch(1, 1);

    int row = 0;
    auto* description = new QLabel(texts.brLabelDescription(), view);
    description->setWordWrap(true);
    backupDescriptionCell_ = description;
    gridView_->addWidget(backupDescriptionCell_, row++, 0);

    const auto addDetail = [&](const QString& title) {
        gridView_->addWidget(new QLabel(title, view), row, 0, Qt::AlignRight);
        auto* value = new QLabel(view);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        gridView_->addWidget(value, row++, 1);
        return value;
    };
    itemsLabel_ = addDetail(texts.brLabelBackupItems());
    latestBackupLabel_ = addDetail(texts.brLabelLatestBackup());
    nextBackupLabel_ = addDetail(texts.brLabelNextBackup());

    backupProgressCell_ = new QWidget(view);
    auto* progressRow = new QHBoxLayout(backupProgressCell_);
    progressRow->setContentsMargins(0, 0, 0, 0);
    progressActivityIndicator_ = new QProgressBar(backupProgressCell_);
    progressActivityIndicator_->setTextVisible(false);
    progressActivityIndicator_->setFixedSize(80, 10);
    progressActivityIndicator_->setRange(0, 1);
    progressLabel_ = new QLabel(backupProgressCell_);
    progressRow->addWidget(progressActivityIndicator_);
    progressRow->addWidget(progressLabel_, 1);
    // Keeps its height while hidden, so the buttons below do not jump.
    backupProgressCell_->setMinimumHeight(progressLabel_->sizeHint().height());
    gridView_->addWidget(backupProgressCell_, row++, 0);

    gridView_->addWidget(makeSeparatorLine(view), row++, 0, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    configureButton_ = new QPushButton(texts.brButtonConfigureBackup(), view);
    startButton_ = new QPushButton(texts.brButtonStartBackup(), view);
    cancelButton_ = new QPushButton(texts.brButtonCancelBackup(), view);
    restoreButton_ = new QPushButton(texts.brButtonRestoreBackup(), view);
    auto* help = new QPushButton(QStringLiteral("?"), view);
    help->setFixedSize(24, 24);
    const std::pair<QPushButton*, void (BackupViewController::*)(QObject*)> actions[] = {
        {configureButton_, &BackupViewController::showBackupPreferences},
        {startButton_, &BackupViewController::startBackup},
        {cancelButton_, &BackupViewController::cancelBackup},
        {restoreButton_, &BackupViewController::showBackups},
        {help, &BackupViewController::openHelp},
    };
    for (const auto& [button, action] : actions)
        connect(button, &QPushButton::clicked, this, [this, button = button, action = action] { (this->*action)(button); });
    buttons->addWidget(configureButton_);
    buttons->addWidget(startButton_);
    buttons->addWidget(cancelButton_);
    buttons->addStretch(1);
    buttons->addWidget(restoreButton_);
    buttons->addWidget(help);
    gridView_->addLayout(buttons, row++, 0, 1, 2);
    gridView_->setRowStretch(row, 1);

    auto* settings = settingsController_.settings();
    for (const auto signal : {&OrvellaSettingsManager::backupImagesChanged, &OrvellaSettingsManager::backupVideosChanged,
                              &OrvellaSettingsManager::backupContactsChanged, &OrvellaSettingsManager::backupCalendarsChanged,
                              &OrvellaSettingsManager::nextBackupDateChanged,
                              &OrvellaSettingsManager::backupAutomaticallyChanged})
        connect(settings, signal, this, [this] {
            refreshDetails();
            refreshButtons();
        });
    return view;
}

void BackupViewController::viewDidLoad() {
    mergeRowAcrossColumns(gridView_, backupDescriptionCell_);
    mergeRowAcrossColumns(gridView_, backupProgressCell_);
    progressLabel_->hide();
    progressActivityIndicator_->hide();
    refreshDetails();
    refreshButtons();
}

void BackupViewController::viewWillAppear() {
    view();
    QPointer<BackupViewController> self(this);
    const auto update = [self] {
        if (self) self->updateProgress();
    };
    if (backupController_) {
        BackupController* controller = backupController_;
        if (!backupProgressObservation_) {
            backupProgressObservation_ = connect(controller, &BackupController::progressChanged, this, update);
            update();
        }
        if (!cancelObservation_) cancelObservation_ = connect(controller, &BackupController::isCancelingChanged, this, update);
        // The buttons follow the phases the progress does not show.
        if (!stateObservation_)
            stateObservation_ = connect(controller, &BackupController::isInProgressChanged, this, [self] {
                if (!self) return;
                self->updateProgress();
                self->refreshButtons();
            });
        if (!latestStatusObservation_)
            latestStatusObservation_ = connect(controller, &BackupController::latestBackupStatusChanged, this,
                                               &BackupViewController::refreshDetails);
        if (!availabilityObservation_)
            availabilityObservation_ = connect(controller, &BackupController::isStartBackupAvailableChanged, this,
                                               &BackupViewController::refreshButtons);
        // Another account sees none of this one's backup: its items, dates, progress and buttons.
        if (!accountObservation_)
            accountObservation_ = connect(controller, &BackupController::accountChanged, this, [self] {
                if (!self) return;
                self->refreshDetails();
                self->updateProgress();
                self->refreshButtons();
            });
        connect(controller, &BackupController::isRestoringChanged, this, &BackupViewController::refreshButtons,
                Qt::UniqueConnection);
    }
    if (!isAlreadyLaunchedObservation_)
        isAlreadyLaunchedObservation_ =
            connect(settingsController_.settings(), &OrvellaSettingsManager::isAlreadyLaunchedChanged, this, update);
    refreshDetails();
    refreshButtons();
}

bool BackupViewController::isIndicatorAnimating() const {
    return progressActivityIndicator_ && progressActivityIndicator_->maximum() == 0;
}

std::optional<double> BackupViewController::indicatorFraction() const {
    if (!progressActivityIndicator_ || progressActivityIndicator_->isHidden() || isIndicatorAnimating())
        return std::nullopt;
    const QProgressBar& bar = *progressActivityIndicator_;
    return double(bar.value() - bar.minimum()) / double(bar.maximum() - bar.minimum());
}

void BackupViewController::updateProgress() {
    if (!backupController_ || !progressLabel_) return;
    BackupController& controller = *backupController_;
    const bool visible = settingsController_.settings()->isAlreadyLaunched() && controller.accountId() &&
                         (controller.isInProgress() || controller.isCanceling());
    progressLabel_->setVisible(visible);
    progressActivityIndicator_->setVisible(visible);
    if (!visible) {
        progressActivityIndicator_->setRange(0, 1);
        progressShown_ = false;
        return;
    }
    // The bar tells how much is done whenever the total is known; skipping has no such share.
    const auto fraction =
        controller.isCanceling() ? std::nullopt : BackupTransformerText::shownFraction(controller.progress());
    if (fraction) {
        progressActivityIndicator_->setRange(0, indicatorSteps);
        progressActivityIndicator_->setValue(int(std::lround(*fraction * indicatorSteps)));
    } else {
        progressActivityIndicator_->setRange(0, 0);
    }
    // A run that has no progress text yet must not show the last words of the one before.
    if (!progressShown_) progressLabel_->setText(localizationController_.brLabelBackingUp());
    progressShown_ = true;
    QString text;
    if (controller.isCanceling()) text = localizationController_.brLabelSkipping();
    else if (controller.isInProgress()) text = transformed(QStringLiteral("CreateBackupProgressTransformer"), controller.progress());
    if (!text.isEmpty()) progressLabel_->setText(text);
}

void BackupViewController::refreshDetails() {
    if (!itemsLabel_) return;
    const QString empty = BackupTransformerText::emptyMark();
    // The settings hold the choices of whoever signed in last; signed out, nothing is anyone's.
    if (!backupController_ || !backupController_->accountId()) {
        for (QLabel* label : {itemsLabel_, latestBackupLabel_, nextBackupLabel_}) label->setText(empty);
        return;
    }
    itemsLabel_->setText(settingsController_.backupItems().value_or(empty));
    const auto status = backupController_->latestBackupStatus();
    const QString latest =
        transformed(QStringLiteral("LatestBackupStatusTransformer"), status ? QVariant::fromValue(status) : QVariant());
    latestBackupLabel_->setText(latest.isEmpty() ? QStringLiteral("-") : latest);
    const auto next = settingsController_.settings()->nextBackupDate();
    const QString nextText =
        transformed(QStringLiteral("NextBackupDateTransformer"), next ? QVariant(*next) : QVariant());
    nextBackupLabel_->setText(nextText.isEmpty() ? QStringLiteral("-") : nextText);
}

void BackupViewController::refreshButtons() {
    if (!startButton_) return;
    const bool running = backupController_ && backupController_->isInProgress();
    // Signed out there is no backup to set up, start or restore.
    const bool signedIn = backupController_ && backupController_->accountId();
    startButton_->setVisible(!running);
    startButton_->setEnabled(backupController_ && backupController_->isStartBackupAvailable());
    cancelButton_->setVisible(running);
    cancelButton_->setEnabled(running && !backupController_->isCanceling());
    restoreButton_->setEnabled(signedIn && reachability_->isConnected());
    configureButton_->setEnabled(signedIn);
}

QWidget* BackupViewController::alertWindow() {
    if (!isViewLoaded()) return nullptr;
    QWidget* window = view()->window();
    return window && window->isVisible() ? window : nullptr;
}

void BackupViewController::prepareForSegue(const QString&, QObject* destination) {
    if (auto* sheet = qobject_cast<BackupPreferencesViewController*>(destination)) {
        sheet->setBackupController(backupController_);
        return;
    }
    // Windows of other rooms take the controller through their own setter, when they have one.
    if (destination && destination->metaObject()->indexOfMethod("setBackupController(BackupController*)") >= 0)
        QMetaObject::invokeMethod(destination, "setBackupController", Q_ARG(BackupController*, backupController_.data()));
}

void BackupViewController::showBackupPreferences(QObject*) {
    if (sheet_) {
        // One sheet at a time; one closed some other way than its buttons is replaced.
        if (sheet_->view()->isVisible()) return;
        sheet_->deleteLater();
    }
    auto* sheet = Storyboard::instantiateAs<BackupPreferencesViewController>(
        Storyboard::main(), BackupPreferencesViewController::storyboardIdentifier);
    if (!sheet) return;
    sheet_ = sheet;
    prepareForSegue(backupPreferencesSegue, sheet);
    connect(sheet, &PreferencesPane::dismissed, sheet, &QObject::deleteLater);
    sheet->presentAsSheet(alertWindow());
}

void BackupViewController::startBackup(QObject*) {
    Application::shared().sendAction(AppAction::startBackup, this);
}

void BackupViewController::showBackups(QObject*) {
    Application::shared().sendAction(AppAction::showBackups, this);
}

void BackupViewController::cancelBackup(QObject*) {
    showSkipBackupAlert(backupController_, alertWindow());
}

void BackupViewController::openHelp(QObject*) {
    Workspace::openUrlText(localizationController_.brButtonHelpURL());
}
