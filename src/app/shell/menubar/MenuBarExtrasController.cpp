#include "app/shell/menubar/MenuBarExtrasController.h"

#include <QAction>
#include <QDateTime>
#include <QMenu>

#include "app/backup/BackupController.h"
#include "app/common/AppActions.h"
#include "app/common/LocalizationController.h"
#include "app/common/LogChannels.h"
#include "app/core/AppError.h"
#include "app/core/FeaturesController.h"
#include "app/core/ObjCQuota.h"
#include "app/core/QuotaController.h"
#include "app/core/SettingsController.h"
#include "app/core/UserController.h"
#include "app/shell/menubar/DebugMenu.h"
#include "app/shell/transformers/DownloadQueueCountTransformer.h"
#include "app/shell/transformers/UploadQueueCountTransformer.h"
#include "app/shell/update/SUUpdaterWrapper.h"
#include "app/sync/ObjCSyncQueueCount.h"
#include "app/sync/SyncController.h"
#include "app/sync/SyncStatusImages.h"
#include "frameworks/api/APIError.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/StatusBarButton.h"
#include "platform/appkit/StatusItem.h"
#include "platform/appkit/StatusItemWindow.h"
#include "platform/appkit/Storyboard.h"
#include "platform/appkit/ValueTransformer.h"
#include "platform/foundation/MainQueue.h"

namespace {

// The transformer's text for `value`; none when the name is not registered or the result is no text.
std::optional<QString> transformedText(const ValueTransformer& transformer, const QVariant& value) {
    const QVariant result = transformer.transformedValue(value);
    if (result.metaType() != QMetaType::fromType<QString>()) return std::nullopt;
    return result.toString();
}

std::optional<QString> transformedText(const QString& transformerName, const QVariant& value) {
    const std::shared_ptr<ValueTransformer> transformer = ValueTransformer::forName(transformerName);
    if (!transformer) return std::nullopt;
    return transformedText(*transformer, value);
}

void setTitle(QAction* item, const std::optional<QString>& title) {
    if (item && title) item->setText(*title);
}

}  // namespace

MenuBarExtrasController::MenuBarExtrasController(QObject* parent)
    : QObject(parent),
      statusItem_(std::make_unique<StatusItem>()),
      reachability_(std::make_unique<ReachabilityController>()),
      quotaController_(std::make_unique<QuotaController>()),
      settings_(std::make_unique<SettingsController>()) {
    errorReader_.setMaxThreadCount(1);
}

MenuBarExtrasController::~MenuBarExtrasController() {
    // A read in flight reports to this object; it finishes before the object goes.
    errorReader_.waitForDone();
    if (reachability_) reachability_->setDelegate(nullptr);
    statusItem_.reset();
}

void MenuBarExtrasController::setQuotaController(std::unique_ptr<QuotaController> controller) {
    quotaController_ = std::move(controller);
}

void MenuBarExtrasController::loadView() {
    if (viewLoaded_) return;
    viewLoaded_ = true;
    buildMenus();

    // Without a tray the same menus are shown in a window; its refresh is the menu's.
    connect(statusItem_.get(), &StatusItem::menuWillShowInWindow, this, &MenuBarExtrasController::menuWillOpen);
    connect(statusItem_.get(), &StatusItem::trayAvailabilityChanged, this, [](bool available) {
        OVLOG_INFO(AppLog::gui(), available ? QStringLiteral("A system tray appeared: the status item moves there.")
                                            : QStringLiteral("The system tray went away: the status item's menu is "
                                                             "shown in a window."));
    });

    setMenu(menuOffline_.get());
    statusItem_->button()->setEnabled(true);
    if (syncController) {
        connect(syncController, &SyncController::syncStatusImageChanged, this,
                &MenuBarExtrasController::updateSyncStatusImage);
    }
    updateSyncStatusImage();

    reachability_->setDelegate(this);

    if (userController) {
        connect(userController, &UserController::isAvailableChanged, this, &MenuBarExtrasController::availabilityChanged);
        connect(userController, &UserController::isLoggedInChanged, this, &MenuBarExtrasController::userStateChanged);
        // A finished sign-out may leave isLoggedIn as it was (nobody was signed in to begin with);
        // looked at once the user has been read again.
        connect(
            userController, &UserController::isLogoutInProgressChanged, this,
            [this] {
                if (userController && !userController->isLogoutInProgress()) userStateChanged();
            },
            Qt::QueuedConnection);
        connect(userController, &UserController::userChanged, this, [this] { quotaController_->userDidChange(); });
    }
    // Onboarding finishing marks the launch as done; a user signed in again in this run gets the
    // signed-in menu then.
    connect(settings_->settings(), &OrvellaSettingsManager::isAlreadyLaunchedChanged, this,
            &MenuBarExtrasController::userStateChanged);

    if (backupController) {
        connect(backupController, &BackupController::isBackingUpChanged, this, [this] {
            updateBackupLines();
            updateRunningBackupLine();
            updateBackupCommands();
        });
        connect(backupController, &BackupController::progressChanged, this, [this] {
            updateBackupLines();
            updateRunningBackupLine();
            updateRestoreLine();
        });
        connect(backupController, &BackupController::isRestoringChanged, this, [this] {
            updateRestoreLine();
            updateBackupCommands();
        });
        connect(backupController, &BackupController::isStartBackupAvailableChanged, this,
                &MenuBarExtrasController::updateBackupCommands);
        // The lines tell the signed-in account's backups, never those of the account before.
        connect(backupController, &BackupController::accountChanged, this, &MenuBarExtrasController::updateBackupLines);
    }
    if (featuresController)
        connect(featuresController, &FeaturesController::featuresChanged, this,
                &MenuBarExtrasController::updateBackupCommands);

    if (syncController) {
        connect(syncController, &SyncController::syncStatusDescriptionChanged, this,
                &MenuBarExtrasController::updateTooltip);
        connect(syncController->queueCount(), &ObjCSyncQueueCount::downloadChanged, this,
                &MenuBarExtrasController::updateTooltip);
        connect(syncController->queueCount(), &ObjCSyncQueueCount::uploadChanged, this,
                &MenuBarExtrasController::updateTooltip);
        connect(syncController, &SyncController::isSyncEnabledChanged, this,
                &MenuBarExtrasController::updateSyncCommands);
    }
    updateSyncCommands();
    updateBackupCommands();
    updateTooltip();
    // A stored session may have connected before the menus were made: no later change would
    // take the signed-in user off the offline menu.
    if (userController && (userController->isAvailable() || userController->isLoggedIn())) userStateChanged();
    statusItem_->setVisible(true);
}

QAction* MenuBarExtrasController::addCommand(QMenu& menu, const QString& title, const QString& actionName) {
    QAction* item = menu.addAction(title);
    connect(item, &QAction::triggered, this, [item, actionName] { Application::shared().sendAction(actionName, item); });
    return item;
}

QAction* MenuBarExtrasController::addLine(QMenu& menu) {
    QAction* item = menu.addAction(QString());
    item->setEnabled(false);
    StatusItemWindow::markAsLine(item);
    return item;
}

void MenuBarExtrasController::buildMenus() {
    const LocalizationController texts;
    namespace A = AppAction;
    const auto addQuit = [this, &texts](QMenu& menu) {
        QAction* quit = menu.addAction(texts.mbMenuItemQuit());
        connect(quit, &QAction::triggered, this, [quit] { Application::shared().terminate(quit); });
    };
    const auto addSupport = [this, &texts](QMenu& menu) {
        addCommand(menu, texts.mbMenuItemConnectionDoctor(), A::showConnectionDoctor);
        addCommand(menu, texts.mbMenuItemCreateErrorReport(), A::createErrorReport);
        addCommand(menu, texts.mbMenuItemHelp(), A::openHelp);
    };

    menuSignedIn_ = std::make_unique<QMenu>();
    QMenu& in = *menuSignedIn_;
    // One line tells the sign-in state in the signed-in and the signed-out menu alike.
    signedOutMenuItem_ = addLine(in);
    syncStatusMenuItem_ = addLine(in);
    quotaMenuItem_ = addLine(in);
    setQuota(nullptr);
    backupSeparator_ = in.addSeparator();
    backupStatusFirstMenuItem_ = addLine(in);
    backupStatusSecondMenuItem_ = addLine(in);
    backupStatusRunningMenuItem_ = addLine(in);
    restoreStatusMenuItem_ = addLine(in);
    syncErrorSeparatorMenuItem_ = in.addSeparator();
    // The line leads to the list of the items concerned.
    syncErrorInfo_ = addCommand(in, QString(), A::showConnectionDoctor);
    syncErrorSeparatorMenuItem_->setVisible(false);
    syncErrorInfo_->setVisible(false);
    in.addSeparator();
    addCommand(in, texts.mbMenuItemOpenFolder(), A::openFolder);
    addCommand(in, texts.mbMenuItemOpenWebsite(), A::openWebsite);
    addCommand(in, texts.mbMenuItemShowSharedItems(), A::showSharedItems);
    backupsMenuItem_ = addCommand(in, texts.brButtonRestoreBackup(), A::showBackups);
    backUpNowMenuItem_ = addCommand(in, texts.mbMenuItemBackUpNow(), A::startBackup);
    skipBackupMenuItem_ = addCommand(in, texts.mbMenuItemSkipThisBackup(), A::cancelBackup);
    in.addSeparator();
    toggleSyncMenuItem_ = addCommand(in, texts.mbMenuItemPauseSync(), A::toggleSync);
    in.addSeparator();
    addCommand(in, texts.mbMenuItemPreferences(), A::showPreferencesWindow);
    addCommand(in, texts.mbMenuItemBackupPreferences(), A::showBackupPreferencesWindow);
    addSupport(in);
    QAction* update = in.addAction(texts.mbMenuItemCheckForUpdates());
    connect(update, &QAction::triggered, this, [this, update] { checkForUpdates(update); });
    debugMenu_ = new DebugMenu(&in);
    debugMenu_->setTitle(texts.mbMenuItemDebug());
    addCommand(*debugMenu_, texts.mbMenuItemDebugQuitAndResetToFactorySettings(), A::resetToFactorySettings);
    in.addMenu(debugMenu_)->setVisible(!isDebugUIHidden());
    in.addSeparator();
    addQuit(in);

    // The sign-in state line and the one way into the onboarding, with what needs no account.
    const auto makeOnboardingMenu = [&](const QString& onboardingTitle) {
        auto menu = std::make_unique<QMenu>();
        menu->addAction(signedOutMenuItem_);
        menu->addSeparator();
        addCommand(*menu, onboardingTitle, A::showOnboardingWindow);
        menu->addSeparator();
        addCommand(*menu, texts.mbMenuItemPreferences(), A::showPreferencesWindow);
        addSupport(*menu);
        menu->addSeparator();
        addQuit(*menu);
        return menu;
    };
    menuSignedOut_ = makeOnboardingMenu(texts.mbMenuItemSignIn());
    // Signed in, onboarding not finished: nothing syncs yet, so nothing of the account's to offer
    // but the way back to the onboarding; and no sign-in, the user is signed in already.
    menuSettingUp_ = makeOnboardingMenu(texts.mbMenuItemContinueSetup());

    // Before the user state is known, only what needs no account.
    menuOffline_ = std::make_unique<QMenu>();
    QMenu& offline = *menuOffline_;
    addLine(offline)->setText(texts.mbMenuItemSyncStatusDisconnected());
    offline.addSeparator();
    addCommand(offline, texts.mbMenuItemPreferences(), A::showPreferencesWindow);
    addSupport(offline);
    offline.addSeparator();
    addQuit(offline);

    for (QMenu* menu : {menuSignedIn_.get(), menuSignedOut_.get(), menuOffline_.get(), menuSettingUp_.get(),
                        static_cast<QMenu*>(debugMenu_)})
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { menuWillOpen(menu); });
}

void MenuBarExtrasController::setMenu(QMenu* menu) { statusItem_->setMenu(menu); }

void MenuBarExtrasController::setIsEnabled(bool value) {
    const bool changed = isEnabled_ != value;
    isEnabled_ = value;
    statusItem_->button()->setEnabled(value);
    if (changed) emit isEnabledChanged();
}

void MenuBarExtrasController::setStatusImageName(const QString& name) {
    if (syncController) syncController->setSyncStatusImageName(name);
    else statusItem_->button()->setImage(SyncStatusImages::icon(name));
}

void MenuBarExtrasController::updateSyncStatusImage() {
    QIcon image = syncController ? syncController->syncStatusImage() : QIcon();
    // An empty slot in the tray reads as a crashed application.
    if (image.isNull()) image = SyncStatusImages::icon(SyncStatusImages::statusBarOffline);
    statusItem_->button()->setImage(image);
}

void MenuBarExtrasController::setTooltip(const QString& text) { statusItem_->button()->setToolTip(text); }

void MenuBarExtrasController::setQuota(std::shared_ptr<ObjCQuota> quota) {
    quota_ = std::move(quota);
    setTitle(quotaMenuItem_, transformedText(QStringLiteral("QuotaOverviewTransformer"), QVariant::fromValue(quota_)));
    quotaMenuItem_->setVisible(!quotaMenuItem_->text().isEmpty());
    emit quotaChanged();
}

void MenuBarExtrasController::userStateChanged() {
    if (!viewLoaded_) return;
    const bool loggedIn = userController && userController->isLoggedIn();
    const bool available = userController && userController->isAvailable();
    // Signed out comes first: whatever else is true, nobody signed in gets the signed-in menu.
    if (!loggedIn) {
        showSignedOut();
        return;
    }
    const LocalizationController texts;
    signedOutMenuItem_->setText(texts.mbMenuItemSignedIn());
    if (available && settings_->settings()->isAlreadyLaunched()) {
        setMenu(menuSignedIn_.get());
        updateTooltip();
        updateQuota(false);
        return;
    }
    // The sign-in state line reads "signed in" now; the menu under it must not offer a sign-in.
    if (!settings_->settings()->isAlreadyLaunched()) setMenu(menuSettingUp_.get());
    else if (statusItem_->menu() == menuSignedOut_.get()) setMenu(menuOffline_.get());
    setTooltip(texts.mbMenuItemSignedIn());
    setStatusImageName(SyncStatusImages::statusBarDefault);
}

void MenuBarExtrasController::availabilityChanged() {
    if (!viewLoaded_) return;
    statusItem_->button()->setEnabled(true);
    if (!userController || !userController->isLoggedIn()) {
        showSignedOut();
        return;
    }
    signedOutMenuItem_->setText(LocalizationController().mbMenuItemSignedIn());
    setMenu(settings_->settings()->isAlreadyLaunched() ? menuSignedIn_.get() : menuSettingUp_.get());
}

void MenuBarExtrasController::showSignedOut() {
    const LocalizationController texts;
    setMenu(menuSignedOut_.get());
    signedOutMenuItem_->setText(texts.mbMenuItemSignedOut());
    setTooltip(texts.mbMenuItemSignedOut());
    setStatusImageName(SyncStatusImages::statusBarOffline);
    // The next account must not see this one's quota while its own is on the way.
    if (quota_) setQuota(nullptr);
}

void MenuBarExtrasController::reachabilityChanged(ReachabilityController&, bool isConnected) {
    if (!userController) return;
    const bool loggedIn = userController->isLoggedIn();
    if (loggedIn && !userController->isOnboarding()) return;
    setStatusImageName(isConnected && loggedIn ? SyncStatusImages::statusBarDefault
                                               : SyncStatusImages::statusBarOffline);
}

void MenuBarExtrasController::menuWillOpen(QMenu* menu) {
    if (auto* debug = qobject_cast<DebugMenu*>(menu)) {
        debug->lastRemoteActivityItem()->setVisible(false);
        debug->lastRemoteActivitySeparator()->setVisible(false);
        return;
    }
    if (!menu || menu != menuSignedIn_.get()) return;
    updateQuota(true);
    updateBackupLines();
    updateSyncErrors();
}

bool MenuBarExtrasController::isUnauthorized(const AppError& error) {
    const BusinessError* business = error.businessError();
    if (!business) return false;
    // The service marks an ended session either way; only the second has texts of its own.
    return business->kind == BusinessError::Kind::invalidSession ||
           (business->kind == BusinessError::Kind::api && business->apiError == APIError::unauthorized);
}

void MenuBarExtrasController::updateQuota(bool fromMenu) {
    QPointer<MenuBarExtrasController> self(this);
    // Answers come from the cache at once and from the service later, always on the main thread.
    (void)quotaController_->updateQuota(true, [self, fromMenu](const QuotaResult& result) {
        if (!self) return;
        if (const auto* quota = std::get_if<std::shared_ptr<ObjCQuota>>(&result)) {
            self->setQuota(*quota);
            return;
        }
        const AppError& error = std::get<AppError>(result);
        if (!fromMenu) {
            self->setQuota(nullptr);
        } else if (isUnauthorized(error)) {
            // Not inside the quota controller's answer: the alert runs a loop of its own.
            MainQueue::async([self] {
                if (self) self->handleUnauthorized();
            });
        }
    });
}

void MenuBarExtrasController::handleUnauthorized() {
    if (showingUnauthorizedAlert_) return;
    showingUnauthorizedAlert_ = true;
    const LocalizationController texts;
    Alert alert;
    alert.setMessageText(texts.syAlertUnauthorizedMessage());
    alert.setInformativeText(texts.syAlertUnauthorizedInformative());
    QPointer<MenuBarExtrasController> self(this);
    alert.runModal();
    if (!self) return;
    showingUnauthorizedAlert_ = false;
    Application::shared().sendAction(AppAction::resetUserSession, this);
    statusItem_->button()->setEnabled(true);
    setMenu(menuSignedOut_.get());
    setTooltip(texts.mbMenuItemSignedOut());
}

void MenuBarExtrasController::updateBackupLines() {
    const QVariant latest = backupController ? QVariant::fromValue(backupController->latestBackupStatus()) : QVariant();
    const std::optional<QDateTime> nextDate = settings_->settings()->nextBackupDate();
    const QVariant next = nextDate ? QVariant(*nextDate) : QVariant();
    const auto latestText = transformedText(QStringLiteral("BackupLatestStatusTransformer"), latest);
    const auto nextText = transformedText(QStringLiteral("BackupNextTransformer"), next);
    if (!latestText || !nextText) return;
    backupStatusFirstMenuItem_->setText(*latestText);
    backupStatusSecondMenuItem_->setText(*nextText);
    updateBackupCommands();
}

void MenuBarExtrasController::updateRunningBackupLine() {
    const QVariant progress = backupController ? backupController->progress() : QVariant();
    setTitle(backupStatusRunningMenuItem_, transformedText(QStringLiteral("CreateBackupProgressTransformer"), progress));
}

void MenuBarExtrasController::updateRestoreLine() {
    const QVariant progress = backupController ? backupController->progress() : QVariant();
    setTitle(restoreStatusMenuItem_, transformedText(QStringLiteral("BackupProgressTransformer"), progress));
}

void MenuBarExtrasController::updateBackupCommands() {
    if (!viewLoaded_) return;
    // Accounts without backups see none of its items; preferences offer the feature instead.
    const bool backupOffered = backupController && (!featuresController || featuresController->isBackupEnabled());
    const bool backingUp = backupController && backupController->isBackingUp();
    const bool restoring = backupController && backupController->isRestoring();
    backupSeparator_->setVisible(backupOffered || restoring);
    backupStatusFirstMenuItem_->setVisible(backupOffered && !backupStatusFirstMenuItem_->text().isEmpty());
    backupStatusSecondMenuItem_->setVisible(backupOffered && !backupStatusSecondMenuItem_->text().isEmpty());
    backupStatusRunningMenuItem_->setVisible(backingUp && !backupStatusRunningMenuItem_->text().isEmpty());
    restoreStatusMenuItem_->setVisible(restoring && !restoreStatusMenuItem_->text().isEmpty());
    backupsMenuItem_->setVisible(backupOffered);
    backUpNowMenuItem_->setVisible(backupOffered && !backingUp);
    backUpNowMenuItem_->setEnabled(backupController && backupController->isStartBackupAvailable());
    skipBackupMenuItem_->setVisible(backupOffered && backingUp);
}

void MenuBarExtrasController::updateTooltip() {
    if (!viewLoaded_) return;
    QString description = syncController ? syncController->syncStatusDescription() : QString();
    syncStatusMenuItem_->setText(description);
    syncStatusMenuItem_->setVisible(!description.isEmpty());
    if (syncController && description == LocalizationController().mbMenuItemSyncStatusSyncingGeneral()) {
        ObjCSyncQueueCount* counts = syncController->queueCount();
        const auto download = transformedText(DownloadQueueCountTransformer(), QVariant::fromValue(counts->download()));
        const auto upload = transformedText(UploadQueueCountTransformer(), QVariant::fromValue(counts->upload()));
        if (download && upload) description += u'\n' + *upload + u'\n' + *download;
    }
    setTooltip(description);
}

void MenuBarExtrasController::updateSyncCommands() {
    if (!viewLoaded_) return;
    const LocalizationController texts;
    const bool syncing = syncController && syncController->isSyncEnabled();
    toggleSyncMenuItem_->setText(syncing ? texts.mbMenuItemPauseSync() : texts.mbMenuItemStartSync());
    toggleSyncMenuItem_->setEnabled(syncController != nullptr);
}

void MenuBarExtrasController::updateSyncErrors() {
    if (!syncController) return;
    SyncController* sync = syncController;
    QPointer<MenuBarExtrasController> self(this);
    errorReader_.start([self, sync] {
        const auto errors = sync->syncErrors();
        if (!errors) return;
        const int count = int(errors->size());
        MainQueue::async([self, count] {
            if (self) self->applySyncErrorCount(count);
        });
    });
}

void MenuBarExtrasController::applySyncErrorCount(int count) {
    const bool hasErrors = count > 0;
    if (hasSyncErrors_ != hasErrors) {
        hasSyncErrors_ = hasErrors;
        emit hasSyncErrorsChanged();
    }
    const LocalizationController texts;
    if (count == 1) syncErrorInfo_->setText(texts.mbMenuItemOneItemNotSynchronized().arg(QString::number(count)));
    else if (count >= 2) syncErrorInfo_->setText(texts.mbMenuItemMultipleItemsNotSynchronized().arg(QString::number(count)));
    syncErrorSeparatorMenuItem_->setVisible(hasErrors);
    syncErrorInfo_->setVisible(hasErrors);
}

void MenuBarExtrasController::checkForUpdates(QObject* sender) { SUUpdaterWrapper().checkForUpdates(sender); }

void registerMenuBarExtrasScene() {
    Storyboard::registerScene(Storyboard::main(), QStringLiteral("MenuBarExtrasController"),
                              [] { return new MenuBarExtrasController; });
}
