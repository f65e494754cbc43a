// The actions that menu items and windows send to the application.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>

#include "app/backup/BackupAlerts.h"
#include "app/backup/BackupController.h"
#include "app/common/AppActions.h"
#include "app/common/LocalizationController.h"
#include "app/common/LogChannels.h"
#include "app/core/AppResetter.h"
#include "app/core/SyncFolderPaths.h"
#include "app/delegate/AppDelegate.h"
#include "app/delegate/SceneWindow.h"
#include "app/shell/archive/ErrorReportArchive.h"
#include "app/shell/archive/ZipArchiveMaker.h"
#include "app/shell/backup/BackupRestoreWindowController.h"
#include "app/shell/backup/BackupSplitViewController.h"
#include "app/shell/doctor/ConnectionDoctorViewController.h"
#include "app/shell/doctor/ConnectionDoctorWindowController.h"
#include "app/shell/onboarding/OnboardingWindowController.h"
#include "app/shell/preferences/PreferencesWindowController.h"
#include "app/shell/sharing/ShareWindowController.h"
#include "frameworks/business/BackupSources.h"
#include "app/selectivesync/StoreController.h"
#include "app/sync/SyncController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Storyboard.h"
#include "platform/appkit/Workspace.h"
#include "platform/foundation/MainQueue.h"

namespace {

// A folder opens with its contents shown when a file inside it is selected; the finder's
// ".DS_Store" is the one such file every folder may have.
void showFolderInFileManager(const QString& folder) {
    const QString marker = SyncFolderPaths::appendingPathComponent(folder, QStringLiteral(".DS_Store"));
    Workspace::activateFileViewerSelecting({QFileInfo::exists(marker) ? marker : folder});
}

// Contacts and calendars are plain vCard and iCalendar files here: their folder is where the
// user's programs keep them and where a restore puts them back. Made when missing, so the user
// sees where to put them rather than nothing at all.
void showBackupSourceFolder(const QString& folder) {
    if (folder.isEmpty()) return;
    if (!QDir().mkpath(folder)) {
        OVLOG_ERROR(AppLog::gui(), QStringLiteral("Cannot make the folder ") + folder);
        return;
    }
    showFolderInFileManager(folder);
}

// Packs the logs and the diagnostic files into the downloads folder after the user agrees, then
// shows the archive. Failures are only logged.
void createErrorReport(const std::optional<QString>& syncDataDirectory) {
    LocalizationController texts;
    if (Alert::runModal(texts.mbMenuItemCreateErrorReportAlertTitle(), texts.mbMenuItemCreateErrorReportAlertMessage(),
                        texts.mbMenuItemCreateErrorReportAlertCreateButton(),
                        texts.mbMenuItemCreateErrorReportAlertCancelButton()) != Alert::FirstButtonReturn)
        return;

    const QString archiveName = ErrorReportArchive::currentArchiveName(QDateTime::currentDateTime());
    const std::optional<QString> downloads = ErrorReportArchive::downloadsFolder();
    if (!downloads) {
        OVLOG_ERROR(AppLog::gui(), QStringLiteral("unable to retrieve download directory URL for error report export"));
        return;
    }
    const QString target = QDir(*downloads).filePath(archiveName);
    const ZipArchiveMaker maker(ErrorReportArchive::itemsToZip(ErrorReportArchive::currentSources(syncDataDirectory)));
    // Copying and compressing the logs takes a while: never on the main thread.
    maker.zipAsync(QUrl::fromLocalFile(target), [target](std::optional<ZipArchiveMaker::Error> error) {
        if (error) {
            OVLOG_ERROR(AppLog::gui(), QStringLiteral("error while exporting error report: ") + error->description());
            return;
        }
        Workspace::activateFileViewerSelecting({target});
    });
}

}  // namespace

void AppDelegate::registerActions() {
    QPointer<AppDelegate> self(this);
    const auto add = [&](const QString& name, std::function<void(AppDelegate&)> action) {
        Application::shared().registerAction(name, [self, action](QObject*) {
            if (self) action(*self);
        });
    };
    namespace A = AppAction;
    add(A::resetUserSession, [](AppDelegate& d) { d.resetUserSession(); });
    add(A::showOnboardingWindow, [](AppDelegate& d) { d.showOnboardingWindow(); });
    add(A::closeOnboardingWindow, [](AppDelegate& d) { d.closeOnboardingWindow(); });
    add(A::toggleSync, [](AppDelegate& d) {
        if (d.syncController_) d.syncController_->toggleSync();
    });
    add(A::openFolder, [](AppDelegate&) {
        if (const auto folder = syncFolderPath()) showFolderInFileManager(*folder);
    });
    // Where a restore puts them.
    add(A::openPictures, [](AppDelegate&) { showBackupSourceFolder(BackupSources::fromEnvironment().images); });
    add(A::openMovies, [](AppDelegate&) { showBackupSourceFolder(BackupSources::fromEnvironment().videos); });
    add(A::openContacts, [](AppDelegate&) { showBackupSourceFolder(BackupSources::fromEnvironment().contacts); });
    add(A::openCalendars, [](AppDelegate&) { showBackupSourceFolder(BackupSources::fromEnvironment().calendars); });
    add(A::openWebsite, [](AppDelegate&) { Workspace::openUrlText(LocalizationController().mbMenuItemOpenWebsiteURL()); });
    add(A::openHelp, [](AppDelegate&) { Workspace::openUrlText(LocalizationController().geButtonHelpURL()); });
    add(A::resetToFactorySettings, [](AppDelegate& d) { d.resetToFactorySettings(); });
    add(A::startBackup, [](AppDelegate& d) {
        // Signed out, a start could only fail: a stale menu or shortcut starts nothing.
        if (!d.backupController_ || !d.backupController_->accountId()) return;
        d.backupController_->startBackup(BackupController::Completion([](const std::optional<AppError>& error) {
            if (error) presentBackupError(*error);
        }));
    });
    add(A::showConnectionDoctor, [](AppDelegate& d) { d.showConnectionDoctor(); });
    add(A::showPreferencesWindow, [](AppDelegate& d) { d.showPreferencesWindow(false); });
    add(A::showBackupPreferencesWindow, [](AppDelegate& d) { d.showPreferencesWindow(true); });
    add(A::showBackups, [](AppDelegate& d) { d.showBackups(); });
    add(A::closeBackupWindow, [](AppDelegate& d) { d.closeBackupWindow(); });
    add(A::showSharedItems, [](AppDelegate& d) { d.showSharedItems(); });
    add(A::closeShareWindow, [](AppDelegate& d) { d.closeShareWindow(); });
    add(A::cancelBackup, [](AppDelegate& d) {
        if (d.backupController_) showSkipBackupAlert(d.backupController_.get());
    });
    add(A::createErrorReport, [](AppDelegate& d) { createErrorReport(d.syncDataDirectoryURL()); });
    // A desktop without a file manager or a browser opens nothing: a click must not go unanswered.
    Workspace::setFailureHandler([](const QUrl& url) {
        LocalizationController texts;
        Alert alert;
        alert.setMessageText(texts.appAlertCannotOpenMessage().arg(url.isLocalFile() ? url.toLocalFile()
                                                                                     : url.toDisplayString()));
        alert.setInformativeText(url.isLocalFile() ? texts.appAlertCannotOpenFileInformative()
                                                   : texts.appAlertCannotOpenLinkInformative());
        alert.runModal();
    });
}

void AppDelegate::unregisterActions() {
    for (const QString& name : AppAction::all()) Application::shared().unregisterAction(name);
    Workspace::setFailureHandler(nullptr);
}

void AppDelegate::closeOnboardingWindow() {
    if (!onboardingWindowController_) return;
    // Sent before a sign-out: the window goes away without finishing onboarding, and the next
    // time it opens it starts again at the first page.
    onboardingWindowController_->showFirstPage();
    onboardingWindowController_->dismiss();
}

void AppDelegate::showBackups() {
    if (!makeSceneOnce(backupRestoreWindowController_, Storyboard::main(),
                       BackupRestoreWindowController::storyboardIdentifier))
        return;
    backupRestoreWindowController_->setBackupController(backupController_.get());
    backupRestoreWindowController_->contentViewController()->setBackupController(backupController_.get());
    backupRestoreWindowController_->showWindow();
}

void AppDelegate::closeBackupWindow() {
    if (backupRestoreWindowController_) backupRestoreWindowController_->close();
}

void AppDelegate::showSharedItems() {
    const bool made = shareWindowController_ != nullptr;
    if (!makeSceneOnce(shareWindowController_, ShareWindowController::storyboardName,
                       ShareWindowController::storyboardIdentifier))
        return;
    if (!made) shareWindowController_->setFeaturesController(featuresController_.get());
    // Activating raises the window that was active: this one goes on top of it afterwards.
    Application::shared().activate(true);
    shareWindowController_->showWindow();
}

void AppDelegate::closeShareWindow() {
    if (shareWindowController_) shareWindowController_->close();
}

void AppDelegate::showPreferencesWindow(bool selectBackupTab) {
    if (!preferencesWindowController_) {
        preferencesWindowController_.reset(Storyboard::instantiateAs<PreferencesWindowController>(
            Storyboard::main(), PreferencesWindowController::storyboardIdentifier));
        if (!preferencesWindowController_) return;
    }
    preferencesWindowController_->present(backupController_.get(), userController_.get(), featuresController_.get(),
                                          syncController_.get(), sparkleController_.get(), selectBackupTab);
}

void AppDelegate::showConnectionDoctor() {
    if (!makeSceneOnce(connectionDoctorWindowController_, ConnectionDoctorWindowController::storyboardName,
                       ConnectionDoctorWindowController::storyboardIdentifier))
        return;
    if (auto* manageable = dynamic_cast<ConnectionDoctorManageable*>(
            connectionDoctorWindowController_->contentViewController()))
        manageable->setSyncController(syncController_.get());
    connectionDoctorWindowController_->showWindow();
    Application::shared().activate(true);
}

void AppDelegate::resetToFactorySettings() {
    LocalizationController texts;
    if (Alert::runModal(texts.mbAlertResetFactorySettingsMessage(), texts.mbAlertResetFactorySettingsInformative(),
                        texts.mbAlertButtonResetFactorySettingsQuitAndDelete(),
                        texts.mbAlertButtonResetFactorySettingsCancel()) != Alert::FirstButtonReturn)
        return;
    if (!syncDataDirectoryURL_) return;
    OVLOG_WARNING(AppLog::frameworkSync(), QStringLiteral("Resetting app to factory settings"));
    SyncController* sync = syncController_.get();
    auto resetter = std::make_shared<AppResetter>(*syncDataDirectoryURL_, [sync] {
        if (sync) sync->pauseSync();
    });
    resetter->setStoreFiles(StoreController::shared().storeFiles());
    // The facade may complete on its own queue; quitting belongs to the main thread.
    resetter->reset([resetter]() mutable {
        MainQueue::async([] { Application::shared().terminate(); });
    });
}
