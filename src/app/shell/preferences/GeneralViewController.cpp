#include "app/shell/preferences/GeneralViewController.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include <algorithm>

#include "app/backup/BackupController.h"
#include "app/common/AppActions.h"
#include "app/common/ConfigurationProvider.h"
#include "app/common/LaunchHelperLoginItem.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/QuotaController.h"
#include "app/core/QuotaOverviewTransformer.h"
#include "app/core/SettingsController.h"
#include "app/core/UserController.h"
#include "app/shell/archive/AcknowledgementsController.h"
#include "app/sync/SyncExtensionController.h"
#include "frameworks/api/ServerChoice.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ValueTransformer.h"
#include "platform/appkit/Workspace.h"
#include "platform/foundation/MainQueue.h"

namespace {

QFrame* makeSeparator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QPushButton* makeLinkButton(const QString& title, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { color: palette(link); text-decoration: underline; "
                                         "border: none; padding: 0px; }"));
    return button;
}

}  // namespace

GeneralViewController::Environment GeneralViewController::Environment::standard() {
    Environment environment;
    environment.setLoginItemEnabled = setLaunchHelperLoginItemEnabled;
    environment.updateExtensionState = [](bool enabled) {
        SyncExtensionController::shared().updateExtensionState(enabled);
    };
    environment.acknowledgementsURL = [] { return AcknowledgementsController().acknowledgementsFileURL(); };
    return environment;
}

GeneralViewController::GeneralViewController(QObject* parent)
    : GeneralViewController(Environment::standard(), parent) {}

GeneralViewController::GeneralViewController(Environment environment, QObject* parent)
    : PreferencesPane(parent),
      environment_(std::move(environment)),
      quotaController_(new QuotaController(this)),
      applicationVersion_(applicationVersionString()),
      reachability_(std::make_unique<ReachabilityController>()) {}

GeneralViewController::~GeneralViewController() {
    reachability_->setDelegate(nullptr);
}

void GeneralViewController::setUserController(UserController* controller) {
    if (userController_ == controller) return;
    userController_ = controller;
    QObject::disconnect(userDisplayObservation_);
    QObject::disconnect(logoutDisplayObservation_);
    if (controller) {
        userDisplayObservation_ =
            connect(controller, &UserController::userChanged, this, &GeneralViewController::refreshAccount);
        logoutDisplayObservation_ =
            connect(controller, &UserController::isLogoutInProgressChanged, this, &GeneralViewController::refreshAccount);
        connect(controller, &UserController::isLoggedInChanged, this, &GeneralViewController::refreshAccount,
                Qt::UniqueConnection);
    }
    refreshAccount();
    emit userControllerChanged();
}

QVariant GeneralViewController::quotaValue() const {
    return quota_ ? QVariant::fromValue(quota_) : QVariant();
}

void GeneralViewController::setQuota(std::shared_ptr<ObjCQuota> quota) {
    if (quota_ == quota) return;
    quota_ = std::move(quota);
    refreshQuota();
    emit quotaChanged();
}

void GeneralViewController::setIsLogoutInProgress(bool value) {
    if (isLogoutInProgress_ == value) return;
    isLogoutInProgress_ = value;
    refreshAccount();
    emit isLogoutInProgressChanged();
}

QWidget* GeneralViewController::loadView() {
    auto* view = new QWidget;
    gridView_ = new QGridLayout(view);
    gridView_->setContentsMargins(20, 20, 20, 20);
    gridView_->setHorizontalSpacing(12);
    gridView_->setVerticalSpacing(10);
    gridView_->setColumnStretch(1, 1);
    const LocalizationController& texts = localizationController_;

    int row = 0;
    accountLabel_ = new QLabel(view);
    accountLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    accountButton_ = new QPushButton(view);
    connect(accountButton_, &QPushButton::clicked, this, [this] { toggleUserAccount(accountButton_); });
    gridView_->addWidget(accountLabel_, row, 0, 1, 2);
    gridView_->addWidget(accountButton_, row++, 2, Qt::AlignRight);

    accountSeparatorCell_ = makeSeparator(view);
    gridView_->addWidget(accountSeparatorCell_, row++, 0);

    gridView_->addWidget(new QLabel(texts.geLabelStorageProvider(), view), row, 0, Qt::AlignRight);
    quotaLabel_ = new QLabel(view);
    gridView_->addWidget(quotaLabel_, row++, 1, 1, 2);

    storageIndicator_ = new QProgressBar(view);
    storageIndicator_->setTextVisible(false);
    storageIndicator_->setMaximumHeight(8);
    storageIndicatorCell_ = storageIndicator_;
    gridView_->addWidget(storageIndicatorCell_, row++, 1);

    // Chosen on the sign-in page (or by the environment), so it is read at every refresh.
    gridView_->addWidget(new QLabel(texts.geLabelServer(), view), row, 0, Qt::AlignRight);
    serverLabel_ = new QLabel(view);
    serverLabel_->setObjectName(QStringLiteral("serverLabel"));
    serverLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    gridView_->addWidget(serverLabel_, row++, 1, 1, 2);

    storageSeparatorCell_ = makeSeparator(view);
    gridView_->addWidget(storageSeparatorCell_, row++, 0);

    startAtLoginCheckBox_ = new QCheckBox(texts.geCheckBoxOpenAutomaticallyOnLogin(), view);
    connect(startAtLoginCheckBox_, &QCheckBox::clicked, this,
            [this] { toggleOpenAutomaticallyOnLogin(startAtLoginCheckBox_); });
    startAutomaticallyAtLoginCell_ = startAtLoginCheckBox_;
    gridView_->addWidget(startAutomaticallyAtLoginCell_, row++, 1);

    badgesCheckBox_ = new QCheckBox(texts.geCheckBoxShowBadgesInFinder(), view);
    connect(badgesCheckBox_, &QCheckBox::clicked, this, [this] { toggleShowBadgesInFinder(badgesCheckBox_); });
    gridView_->addWidget(badgesCheckBox_, row++, 0, 1, 3);

    gridView_->addWidget(makeSeparator(view), row++, 0, 1, 3);

    auto* links = new QHBoxLayout;
    links->setSpacing(16);
    const std::pair<QString, void (GeneralViewController::*)(QObject*)> linkActions[] = {
        {texts.geLabelPrivacyPolicy(), &GeneralViewController::openPrivacy},
        {texts.geLabelLegal(), &GeneralViewController::openLegal},
        {texts.geLabelAcknowledgments(), &GeneralViewController::openAcknowledgments},
    };
    for (const auto& [title, action] : linkActions) {
        QPushButton* button = makeLinkButton(title, view);
        connect(button, &QPushButton::clicked, this, [this, button, action = action] { (this->*action)(button); });
        links->addWidget(button);
    }
    links->addStretch(1);
    auto* help = new QPushButton(QStringLiteral("?"), view);
    help->setFixedSize(24, 24);
    connect(help, &QPushButton::clicked, this, [this, help] { openHelp(help); });
    links->addWidget(help);
    gridView_->addLayout(links, row++, 0, 1, 3);

    versionLabel_ = new QLabel(texts.geLabelVersion().arg(applicationVersion_), view);
    versionLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette palette = versionLabel_->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    versionLabel_->setPalette(palette);
    gridView_->addWidget(versionLabel_, row++, 0, 1, 3);
    gridView_->setRowStretch(row, 1);

    OrvellaSettingsManager* settings = SettingsController().settings();
    connect(settings, &OrvellaSettingsManager::openAutomaticallyOnLoginChanged, this,
            &GeneralViewController::refreshSettings);
    connect(settings, &OrvellaSettingsManager::showBadgesInFinderChanged, this, &GeneralViewController::refreshSettings);
    return view;
}

void GeneralViewController::viewDidLoad() {
    reachability_->setDelegate(this);
    for (QWidget* cell :
         {accountSeparatorCell_, storageIndicatorCell_, storageSeparatorCell_, startAutomaticallyAtLoginCell_})
        mergeRowAcrossColumns(gridView_, cell);
    refreshAccount();
    refreshQuota();
    refreshSettings();
}

void GeneralViewController::viewWillAppear() {
    view();
    QObject::disconnect(observation_);
    observation_ = {};
    if (userController_) {
        observation_ = connect(userController_.data(), &UserController::isLoggedInChanged, this, [this] {
            if (reachability_->isConnected()) updateQuota();
            else setQuota(nullptr);
        });
    }
    updateQuota();
    applyFinderBadgeState();
}

void GeneralViewController::reachabilityChanged(ReachabilityController&, bool isConnected) {
    // Reported on the framework's thread.
    QPointer<GeneralViewController> self(this);
    MainQueue::runOrAsync([self, isConnected] {
        if (!self) return;
        if (isConnected) self->updateQuota();
        else self->setQuota(nullptr);
    });
}

void GeneralViewController::updateQuota() {
    QPointer<GeneralViewController> self(this);
    quotaController_->updateQuota(true, [self](const QuotaResult& result) {
        if (!self) return;
        if (const auto* quota = std::get_if<std::shared_ptr<ObjCQuota>>(&result)) self->setQuota(*quota);
        else self->setQuota(nullptr);
    });
}

void GeneralViewController::applyFinderBadgeState() {
    if (environment_.updateExtensionState)
        environment_.updateExtensionState(userController_ && userController_->isLoggedIn());
}

QWidget* GeneralViewController::alertWindow() const {
    auto* self = const_cast<GeneralViewController*>(this);
    if (!isViewLoaded()) return nullptr;
    QWidget* window = self->view()->window();
    return window && window->isVisible() ? window : nullptr;
}

void GeneralViewController::toggleUserAccount(QObject*) {
    if (!userController_ || !BusinessFacadeHolder::facade().currentUser()) {
        Application::shared().sendAction(AppAction::showOnboardingWindow, this);
        return;
    }
    if (!backupController_ || !backupController_->isRestoring()) {
        signOut();
        return;
    }
    const LocalizationController& texts = localizationController_;
    Alert alert = Alert::question(texts.syAlertRestoreStillRunningMessage(),
                                  texts.syAlertRestoreStillRunningFromSignOutInformative(), texts.geButtonSignOut(),
                                  texts.brButtonCancel());
    QPointer<GeneralViewController> self(this);
    const auto answer = [self](int response) {
        if (self && response == Alert::FirstButtonReturn) self->signOut();
    };
    if (QWidget* window = alertWindow()) alert.beginSheetModal(window, answer);
    else answer(alert.runModal());
}

void GeneralViewController::signOut() {
    Application& application = Application::shared();
    application.sendAction(AppAction::closeOnboardingWindow, this);
    application.sendAction(AppAction::closeShareWindow, this);
    application.sendAction(AppAction::closeBackupWindow, this);
    setIsLogoutInProgress(true);
    if (!userController_) {
        // Nothing will finish this sign-out, so the button must not stay disabled.
        setIsLogoutInProgress(false);
        return;
    }
    userController_->setIsLogoutInProgress(true);
    QPointer<GeneralViewController> self(this);
    QPointer<UserController> user(userController_);
    BusinessFacadeHolder::facade().logout(false, [self, user](VoidResult result) {
        UserController::finishLogout(user, result, [self](bool) {
            MainQueue::runOrAsync([self] {
                SettingsController().settings()->setIsAlreadyLaunched(false);
                if (self) self->setIsLogoutInProgress(false);
            });
        });
    });
}

void GeneralViewController::toggleOpenAutomaticallyOnLogin(QObject* sender) {
    auto* button = qobject_cast<QAbstractButton*>(sender);
    const bool enabled = !(button && !button->isChecked());
    const QString identifier = infoPlistString(QStringLiteral("LaunchHelperBundleIdentifier"));
    if (environment_.setLoginItemEnabled) environment_.setLoginItemEnabled(identifier, enabled);
    // Every start registers the login item again from the setting, so the choice must be stored
    // there too or the next start would undo it.
    SettingsController().settings()->setOpenAutomaticallyOnLogin(enabled);
}

void GeneralViewController::toggleShowBadgesInFinder(QObject* sender) {
    auto* button = qobject_cast<QAbstractButton*>(sender);
    if (!button) return;
    SettingsController().settings()->setShowBadgesInFinder(button->isChecked());
    applyFinderBadgeState();
}

void GeneralViewController::openPrivacy(QObject*) {
    Workspace::openUrlText(localizationController_.geLabelPrivacyPolicyURL());
}

void GeneralViewController::openLegal(QObject*) {
    Workspace::openUrlText(localizationController_.geLabelLegalURL());
}

void GeneralViewController::openHelp(QObject*) {
    Workspace::openUrlText(localizationController_.geButtonHelpURL());
}

void GeneralViewController::openAcknowledgments(QObject*) {
    if (!environment_.acknowledgementsURL) return;
    if (const std::optional<QUrl> url = environment_.acknowledgementsURL(); url && url->isValid())
        Workspace::openUrl(*url);
}

void GeneralViewController::refreshAccount() {
    if (!accountButton_) return;
    const std::shared_ptr<ObjCUser> user = userController_ ? userController_->user() : nullptr;
    const QVariant userValue = user ? QVariant::fromValue(user.get()) : QVariant();

    QString title;
    if (auto transformer = ValueTransformer::forName(QStringLiteral("UserButtonTransformer")))
        title = transformer->transformedValue(userValue).toString();
    if (title.isEmpty()) title = user ? localizationController_.geButtonSignOut() : localizationController_.geButtonSignIn();
    accountButton_->setText(title);

    QString name;
    if (user) {
        if (auto transformer = ValueTransformer::forName(QStringLiteral("UserNameTransformer"))) {
            const QVariant value = transformer->transformedValue(userValue);
            if (value.typeId() == QMetaType::QString) name = value.toString();
        }
        if (name.isEmpty()) name = localizationController_.geLabelUserName().arg(user->name());
    } else {
        // A blank line reads as "still loading"; nobody is signed in.
        name = localizationController_.mbMenuItemSignedOut();
    }
    accountLabel_->setText(name);
    if (serverLabel_) serverLabel_->setText(ServerChoice::describe(ServerChoice::chosen()));

    const bool loggingOut = isLogoutInProgress_ || (userController_ && userController_->isLogoutInProgress());
    accountButton_->setEnabled(!loggingOut);
}

void GeneralViewController::refreshQuota() {
    if (!quotaLabel_) return;
    quotaLabel_->setText(QuotaOverviewTransformer().transformedValue(quotaValue()).toString());
    const bool known = quota_ && quota_->overall() > 0;
    storageIndicator_->setEnabled(known);
    storageIndicator_->setRange(0, 1000);
    storageIndicator_->setValue(known ? static_cast<int>(std::clamp<qint64>(quota_->used(), 0, quota_->overall()) *
                                                         1000 / quota_->overall())
                                      : 0);
}

void GeneralViewController::refreshSettings() {
    if (!startAtLoginCheckBox_) return;
    OrvellaSettingsManager* settings = SettingsController().settings();
    startAtLoginCheckBox_->setChecked(settings->openAutomaticallyOnLogin());
    badgesCheckBox_->setChecked(settings->showBadgesInFinder());
}
