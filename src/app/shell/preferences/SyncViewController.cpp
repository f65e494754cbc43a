#include "app/shell/preferences/SyncViewController.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include "app/core/UserController.h"
#include "app/sync/ObjCSyncError.h"
#include "app/selectivesync/SelectiveSyncViewController.h"
#include "app/sync/SyncController.h"
#include "platform/appkit/Storyboard.h"

SyncViewController::SyncViewController(QObject* parent)
    : PreferencesPane(parent), reachability_(new ReachabilityController(this)) {
    reachabilityObservation_ =
        connect(reachability_, &ReachabilityController::isConnectedChanged, this, &SyncViewController::refresh);
}

SyncViewController::~SyncViewController() {
    if (sheet_) sheet_->deleteLater();
}

void SyncViewController::setSyncController(SyncController* controller) {
    if (syncController_ == controller) return;
    syncController_ = controller;
    QObject::disconnect(statusObservation_);
    if (controller)
        statusObservation_ =
            connect(controller, &SyncController::syncStatusDescriptionChanged, this, &SyncViewController::refresh);
    refresh();
}

void SyncViewController::setUserController(UserController* controller) {
    if (userController_ == controller) return;
    userController_ = controller;
    QObject::disconnect(userObservation_);
    if (controller)
        userObservation_ = connect(controller, &UserController::isLoggedInChanged, this, &SyncViewController::refresh);
    refresh();
    emit userControllerChanged();
}

void SyncViewController::setReachability(ReachabilityController* controller) {
    if (!controller || controller == reachability_) return;
    QObject::disconnect(reachabilityObservation_);
    delete reachability_;
    reachability_ = controller;
    reachability_->setParent(this);
    reachabilityObservation_ =
        connect(reachability_, &ReachabilityController::isConnectedChanged, this, &SyncViewController::refresh);
    refresh();
    emit reachabilityChanged();
}

QWidget* SyncViewController::loadView() {
    auto* view = new QWidget;
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    auto* description = new QLabel(localizationController_.ssLabelDescription(), view);
    description->setWordWrap(true);
    layout->addWidget(description);
    statusLabel_ = new QLabel(view);
    statusLabel_->setWordWrap(true);
    layout->addWidget(statusLabel_);
    latestErrorLabel_ = new QLabel(view);
    latestErrorLabel_->setWordWrap(true);
    latestErrorLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(latestErrorLabel_);
    selectiveSyncButton_ = new QPushButton(localizationController_.ssButtonSelectFoldersToSync(), view);
    connect(selectiveSyncButton_, &QPushButton::clicked, this, [this] { showSelectiveSync(selectiveSyncButton_); });
    layout->addWidget(selectiveSyncButton_, 0, Qt::AlignLeft);
    layout->addStretch(1);
    return view;
}

void SyncViewController::viewDidLoad() {
    refresh();
}

void SyncViewController::prepareForSegue(const QString&, QObject* destination) {
    if (auto* sheet = qobject_cast<SelectiveSyncViewController*>(destination)) sheet->setSyncController(syncController_);
}

void SyncViewController::showSelectiveSync(QObject*) {
    if (sheet_) {
        // One sheet at a time; one closed some other way than its buttons is replaced.
        if (sheet_->view()->isVisible()) return;
        sheet_->deleteLater();
    }
    auto* sheet = Storyboard::instantiateAs<SelectiveSyncViewController>(Storyboard::main(),
                                                                         SelectiveSyncViewController::storyboardIdentifier);
    if (!sheet) return;
    sheet_ = sheet;
    prepareForSegue(selectiveSyncSegue, sheet);
    connect(sheet, &SelectiveSyncViewController::dismissed, sheet, &QObject::deleteLater);
    sheet->presentAsSheet(isViewLoaded() ? view()->window() : nullptr);
}

void SyncViewController::refresh() {
    if (!selectiveSyncButton_) return;
    const bool signedIn = userController_ && userController_->isLoggedIn();
    selectiveSyncButton_->setEnabled(signedIn && reachability_->isConnected());
    // The engine's last word outlives the session: signed out, nothing is "up to date".
    if (!signedIn) statusLabel_->setText(localizationController_.mbMenuItemSignedOut());
    else statusLabel_->setText(syncController_ ? syncController_->syncStatusDescription() : QString());
    statusLabel_->setVisible(!statusLabel_->text().isEmpty());
    const auto errors = signedIn && syncController_ ? syncController_->syncErrors() : std::nullopt;
    latestErrorLabel_->setText(errors ? latestErrorText(*errors, localizationController_) : QString());
    latestErrorLabel_->setVisible(!latestErrorLabel_->text().isEmpty());
}

QString SyncViewController::latestErrorText(const std::vector<std::shared_ptr<ObjCSyncError>>& errors,
                                            const LocalizationController& texts) {
    std::shared_ptr<ObjCSyncError> latest;
    for (const auto& error : errors) {
        if (error && (!latest || error->date() >= latest->date())) latest = error;
    }
    if (!latest) return {};
    QString what = latest->errorDescription().value_or(QString());
    if (const auto path = latest->rootRelativePath(); path && !path->isEmpty())
        what = what.isEmpty() ? *path : *path + QStringLiteral(": ") + what;
    return what.isEmpty() ? QString() : texts.ssLabelLatestError().arg(what);
}
