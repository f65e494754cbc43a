#include "app/common/LocalizationController.h"

#include "platform/foundation/Bundle.h"

#include <QHash>

QString LocalizationController::localizedString(const QString& key) const {
    // No default value: a missing entry comes back as the key, which keeps the gap visible.
    return Bundle::main().localizedString(key, QString(), QString());
}

std::optional<QString> LocalizationController::text(const QString& getterName) const {
    static const QHash<QString, Member> byName = [] {
        QHash<QString, Member> map;
        for (const Getter& g : getters()) map.insert(g.name, g.get);
        for (const Getter& g : errorGetters()) map.insert(g.name, g.get);
        return map;
    }();
    const auto it = byName.constFind(getterName);
    if (it == byName.constEnd()) return std::nullopt;
    return (this->*(*it))();
}

// App

QString LocalizationController::appPromptSendCrashReportsTitle() const {
    return localizedString(QStringLiteral("App.Prompt.SendCrashReports.Title"));
}

QString LocalizationController::appPromptSendCrashReportsInformative() const {
    return localizedString(QStringLiteral("App.Prompt.SendCrashReports.Informative"));
}

QString LocalizationController::appPromptSendCrashReportsYes() const {
    return localizedString(QStringLiteral("App.Prompt.SendCrashReports.Yes"));
}

QString LocalizationController::appPromptSendCrashReportsNo() const {
    return localizedString(QStringLiteral("App.Prompt.SendCrashReports.No"));
}

// MenuBar

QString LocalizationController::mbMenuItemSignedOut() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SignedOut"));
}

QString LocalizationController::mbMenuItemSignedIn() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SignedIn"));
}

QString LocalizationController::mbMenuItemSignIn() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SignIn"));
}

QString LocalizationController::mbMenuItemBackupPreferences() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.BackupPreferences"));
}

QString LocalizationController::mbMenuItemOpenFolder() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.OpenFolder"));
}

QString LocalizationController::mbMenuItemOpenWebsite() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.OpenWebsite"));
}

QString LocalizationController::mbMenuItemOpenWebsiteURL() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.OpenWebsiteURL"));
}

QString LocalizationController::mbMenuItemShowSharedItems() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.ShowSharedItems"));
}

QString LocalizationController::mbMenuItemStartSync() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.StartSync"));
}

QString LocalizationController::mbMenuItemPauseSync() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.PauseSync"));
}

QString LocalizationController::mbMenuItemBackUpNow() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.BackUpNow"));
}

QString LocalizationController::mbMenuItemSkipThisBackup() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SkipThisBackup"));
}

QString LocalizationController::mbMenuItemCheckForUpdates() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.CheckForUpdates"));
}

QString LocalizationController::mbMenuItemPreferences() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.Preferences"));
}

QString LocalizationController::mbMenuItemHelp() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.Help"));
}

QString LocalizationController::mbMenuItemConnectionDoctor() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.ConnectionDoctor"));
}

QString LocalizationController::mbMenuItemCreateErrorReport() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.CreateErrorReport"));
}

QString LocalizationController::mbMenuItemCreateErrorReportAlertTitle() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.CreateErrorReport.AlertTitle"));
}

QString LocalizationController::mbMenuItemCreateErrorReportAlertMessage() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.CreateErrorReport.AlertMessage"));
}

QString LocalizationController::mbMenuItemCreateErrorReportAlertCreateButton() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.CreateErrorReport.AlertCreateButton"));
}

QString LocalizationController::mbMenuItemCreateErrorReportAlertCancelButton() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.CreateErrorReport.AlertCancelButton"));
}

QString LocalizationController::mbMenuItemQuit() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.Quit"));
}

QString LocalizationController::mbMenuItemLatestBackup() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.LatestBackup"));
}

QString LocalizationController::mbMenuItemNextBackup() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.NextBackup"));
}

QString LocalizationController::mbMenuItemDownloadQueueCount() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.DownloadQueueCount"));
}

QString LocalizationController::mbMenuItemDownloadQueueCountDetailsNotAvailable() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.DownloadQueueCountDetailsNotAvailable"));
}

QString LocalizationController::mbMenuItemUploadQueueCount() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.UploadQueueCount"));
}

QString LocalizationController::mbMenuItemUploadQueueCountDetailsNotAvailable() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.UploadQueueCountDetailsNotAvailable"));
}

QString LocalizationController::mbMenuItemSyncStatusDisconnected() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SyncStatusDisconnected"));
}

QString LocalizationController::mbMenuItemSyncStatusConnecting() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SyncStatusConnecting"));
}

QString LocalizationController::mbMenuItemSyncStatusRetrying() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SyncStatusRetrying"));
}

QString LocalizationController::mbMenuItemSyncStatusConnected() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SyncStatusConnected"));
}

QString LocalizationController::mbMenuItemSyncStatusPaused() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SyncStatusPaused"));
}

QString LocalizationController::mbMenuItemSyncStatusUpToDate() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SyncStatusUpToDate"));
}

QString LocalizationController::mbMenuItemSyncStatusPreparing() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SyncStatusPreparing"));
}

QString LocalizationController::mbMenuItemSyncStatusSyncingGeneral() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SyncStatusSyncingGeneral"));
}

QString LocalizationController::mbMenuItemSyncStatusFinishing() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SyncStatusFinishing"));
}

QString LocalizationController::mbMenuItemSyncStatusSyncing() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SyncStatusSyncing"));
}

QString LocalizationController::mbMenuItemSyncStatusError() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.SyncStatusError"));
}

QString LocalizationController::mbMenuItemOneItemNotSynchronized() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.OneItemNotSynchronized"));
}

QString LocalizationController::mbMenuItemMultipleItemsNotSynchronized() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.MultipleItemsNotSynchronized"));
}

QString LocalizationController::mbMenuItemDebug() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.Debug"));
}

QString LocalizationController::mbMenuItemDebugQuitAndResetToFactorySettings() const {
    return localizedString(QStringLiteral("MenuBar.MenuItem.DebugQuitAndResetToFactorySettings"));
}

QString LocalizationController::mbAlertResetFactorySettingsMessage() const {
    return localizedString(QStringLiteral("MenuBar.Alert.ResetFactorySettingsMessage"));
}

QString LocalizationController::mbAlertResetFactorySettingsInformative() const {
    return localizedString(QStringLiteral("MenuBar.Alert.ResetFactorySettingsInformative"));
}

QString LocalizationController::mbAlertButtonResetFactorySettingsCancel() const {
    return localizedString(QStringLiteral("MenuBar.AlertButton.ResetFactorySettingsCancel"));
}

QString LocalizationController::mbAlertButtonResetFactorySettingsQuitAndDelete() const {
    return localizedString(QStringLiteral("MenuBar.AlertButton.ResetFactorySettingsQuitAndDelete"));
}

// UserNotification

QString LocalizationController::unBackupCancelledTitle() const {
    return localizedString(QStringLiteral("UserNotification.Backup.CancelledTitle"));
}

QString LocalizationController::unBackupCancelledInformative() const {
    return localizedString(QStringLiteral("UserNotification.Backup.CancelledInformative"));
}

QString LocalizationController::unBackupPreviewTitle() const {
    return localizedString(QStringLiteral("UserNotification.Backup.PreviewTitle"));
}

QString LocalizationController::unBackupPreviewInformative() const {
    return localizedString(QStringLiteral("UserNotification.Backup.PreviewInformative"));
}

QString LocalizationController::unBackupStartedTitle() const {
    return localizedString(QStringLiteral("UserNotification.Backup.StartedTitle"));
}

QString LocalizationController::unBackupStartedInformative() const {
    return localizedString(QStringLiteral("UserNotification.Backup.StartedInformative"));
}

QString LocalizationController::unBackupFinishedTitle() const {
    return localizedString(QStringLiteral("UserNotification.Backup.FinishedTitle"));
}

QString LocalizationController::unBackupFinishedInformative() const {
    return localizedString(QStringLiteral("UserNotification.Backup.FinishedInformative"));
}

QString LocalizationController::unBackupErrorTitle() const {
    return localizedString(QStringLiteral("UserNotification.Backup.ErrorTitle"));
}

QString LocalizationController::unSyncSyncedTitle() const {
    return localizedString(QStringLiteral("UserNotification.Sync.SyncedTitle"));
}

QString LocalizationController::unSyncSyncedInformative() const {
    return localizedString(QStringLiteral("UserNotification.Sync.SyncedInformative"));
}

QString LocalizationController::unSyncPreparingTitle() const {
    return localizedString(QStringLiteral("UserNotification.Sync.PreparingTitle"));
}

QString LocalizationController::unSyncPreparingInformative() const {
    return localizedString(QStringLiteral("UserNotification.Sync.PreparingInformative"));
}

QString LocalizationController::unSyncErrorTitle() const {
    return localizedString(QStringLiteral("UserNotification.Sync.ErrorTitle"));
}

QString LocalizationController::unSyncUpsellTitle() const {
    return localizedString(QStringLiteral("UserNotification.Sync.UpsellTitle"));
}

QString LocalizationController::unSyncUpsellInformative() const {
    return localizedString(QStringLiteral("UserNotification.Sync.UpsellInformative"));
}

QString LocalizationController::unSyncUpsellURL() const {
    return localizedString(QStringLiteral("UserNotification.Sync.UpsellURL"));
}

QString LocalizationController::unSyncEventSystemFolderMoveActionRevertTitle() const {
    return localizedString(QStringLiteral("UserNotification.SyncEvent.SystemFolder.MoveActionRevertedTitle"));
}

QString LocalizationController::unSyncEventSystemFolderMoveActionRevertInformative() const {
    return localizedString(QStringLiteral("UserNotification.SyncEvent.SystemFolder.MoveActionRevertedInformative"));
}

QString LocalizationController::unSyncEventRegularItemMoveActionRevertTitle() const {
    return localizedString(QStringLiteral("UserNotification.SyncEvent.RegularItem.MoveActionRevertedTitle"));
}

QString LocalizationController::unSyncEventRegularItemMoveActionRevertInformative() const {
    return localizedString(QStringLiteral("UserNotification.SyncEvent.RegularItem.MoveActionRevertedInformative"));
}

QString LocalizationController::unSyncEventTeamfolderAccessGrantedTitle() const {
    return localizedString(QStringLiteral("UserNotification.SyncEvent.Teamfolder.AccessGrantedTitle"));
}

QString LocalizationController::unSyncEventTeamfolderAccessGrantedInformative() const {
    return localizedString(QStringLiteral("UserNotification.SyncEvent.Teamfolder.AccessGrantedInformative"));
}

QString LocalizationController::unSyncEventTeamfolderAccessRemovedTitle() const {
    return localizedString(QStringLiteral("UserNotification.SyncEvent.Teamfolder.AccessRemovedTitle"));
}

QString LocalizationController::unSyncEventTeamfolderAccessRemovedInformative() const {
    return localizedString(QStringLiteral("UserNotification.SyncEvent.Teamfolder.AccessRemovedInformative"));
}

// Onboarding

QString LocalizationController::obWindowTitleWelcome() const {
    return localizedString(QStringLiteral("Onboarding.WindowTitle.Welcome"));
}

QString LocalizationController::obButtonContinue() const {
    return localizedString(QStringLiteral("Onboarding.Button.Continue"));
}

QString LocalizationController::obButtonGoBack() const {
    return localizedString(QStringLiteral("Onboarding.Button.GoBack"));
}

QString LocalizationController::obAlertSignInMessage() const {
    return localizedString(QStringLiteral("Onboarding.Alert.SignInMessage"));
}

QString LocalizationController::obAlertSignInInformative() const {
    return localizedString(QStringLiteral("Onboarding.Alert.SignInInformative"));
}

QString LocalizationController::obAlertButtonSignInCancel() const {
    return localizedString(QStringLiteral("Onboarding.AlertButton.SignInCancel"));
}

QString LocalizationController::obAlertButtonSignInAgain() const {
    return localizedString(QStringLiteral("Onboarding.AlertButton.SignInAgain"));
}

QString LocalizationController::obLabelWelcomeMessage() const {
    return localizedString(QStringLiteral("Onboarding.Label.WelcomeMessage"));
}

QString LocalizationController::obLabelWelcomeInformative() const {
    return localizedString(QStringLiteral("Onboarding.Label.WelcomeInformative"));
}

QString LocalizationController::obButtonSignIn() const {
    return localizedString(QStringLiteral("Onboarding.Button.SignIn"));
}

QString LocalizationController::obLabelTitle1() const {
    return localizedString(QStringLiteral("Onboarding.Label.Title.1"));
}

QString LocalizationController::obLabelSubtitle1() const {
    return localizedString(QStringLiteral("Onboarding.Label.Subtitle.1"));
}

QString LocalizationController::obLabelTitle2() const {
    return localizedString(QStringLiteral("Onboarding.Label.Title.2"));
}

QString LocalizationController::obLabelSubtitle2() const {
    return localizedString(QStringLiteral("Onboarding.Label.Subtitle.2"));
}

QString LocalizationController::obLabelTitle3() const {
    return localizedString(QStringLiteral("Onboarding.Label.Title.3"));
}

QString LocalizationController::obLabelSubtitle3() const {
    return localizedString(QStringLiteral("Onboarding.Label.Subtitle.3"));
}

QString LocalizationController::obLabelRootSyncSelectionTitle() const {
    return localizedString(QStringLiteral("Onboarding.Label.RootSyncSelectionTitle"));
}

QString LocalizationController::obLabelRootSyncSelectionSubtitle() const {
    return localizedString(QStringLiteral("Onboarding.Label.RootSyncSelectionSubtitle"));
}

QString LocalizationController::obLabelRootSyncSelectionFolderLocation() const {
    return localizedString(QStringLiteral("Onboarding.Label.RootSyncSelectionFolderLocation"));
}

QString LocalizationController::obAlertMoveSyncFolderMessage() const {
    return localizedString(QStringLiteral("Onboarding.Alert.MoveSyncFolderMessage"));
}

QString LocalizationController::obAlertMoveSyncFolderInformative() const {
    return localizedString(QStringLiteral("Onboarding.Alert.MoveSyncFolderInformative"));
}

QString LocalizationController::obAlertButtonMoveSyncFolderCancel() const {
    return localizedString(QStringLiteral("Onboarding.AlertButton.MoveSyncFolderCancel"));
}

QString LocalizationController::obAlertButtonMoveSyncFolderMove() const {
    return localizedString(QStringLiteral("Onboarding.AlertButton.MoveSyncFolderMove"));
}

QString LocalizationController::obLabelSelectiveSyncTitle() const {
    return localizedString(QStringLiteral("Onboarding.Label.SelectiveSyncTitle"));
}

QString LocalizationController::obLabelSelectiveSyncSubtitle() const {
    return localizedString(QStringLiteral("Onboarding.Label.SelectiveSyncSubtitle"));
}

QString LocalizationController::obMenuItemOtherFolder() const {
    return localizedString(QStringLiteral("Onboarding.MenuItem.OtherFolder"));
}

QString LocalizationController::obAlertMoveApplicationMessage() const {
    return localizedString(QStringLiteral("Onboarding.Alert.MoveApplicationMessage"));
}

QString LocalizationController::obAlertMoveApplicationInformative() const {
    return localizedString(QStringLiteral("Onboarding.Alert.MoveApplicationInformative"));
}

QString LocalizationController::obAlertButtonMoveApplicationDoNotMove() const {
    return localizedString(QStringLiteral("Onboarding.AlertButton.MoveApplicationDoNotMove"));
}

QString LocalizationController::obAlertButtonMoveApplicationMoveToApplicationsFolder() const {
    return localizedString(QStringLiteral("Onboarding.AlertButton.MoveApplicationMoveToApplicationsFolder"));
}

// Has no text in any language; callers treat the empty address as "nothing to open".
QString LocalizationController::obBvNoLongerAuthorizedURL() const { return QString(); }

// BackupRestore

QString LocalizationController::brLabelDescription() const {
    return localizedString(QStringLiteral("BackupRestore.Label.Description"));
}

QString LocalizationController::brCheckBoxBackUpAutomatically() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBox.BackUpAutomatically"));
}

QString LocalizationController::brButtonConfigureBackup() const {
    return localizedString(QStringLiteral("BackupRestore.Button.ConfigureBackup"));
}

QString LocalizationController::brLabelBackupItems() const {
    return localizedString(QStringLiteral("BackupRestore.Label.Items"));
}

QString LocalizationController::brLabelLatestBackup() const {
    return localizedString(QStringLiteral("BackupRestore.Label.LatestBackup"));
}

QString LocalizationController::brLabelLatestBackupFailed() const {
    return localizedString(QStringLiteral("BackupRestore.Label.LatestBackupFailed"));
}

QString LocalizationController::brLabelLatestBackupSkipped() const {
    return localizedString(QStringLiteral("BackupRestore.Label.LatestBackupSkipped"));
}

QString LocalizationController::brLabelNextBackup() const {
    return localizedString(QStringLiteral("BackupRestore.Label.NextBackup"));
}

QString LocalizationController::brLabelSkipping() const {
    return localizedString(QStringLiteral("BackupRestore.Label.Skipping"));
}

QString LocalizationController::brLabelBackupDateFailed() const {
    return localizedString(QStringLiteral("BackupRestore.Label.BackupDateFailed"));
}

QString LocalizationController::brLabelBackupDateSkipped() const {
    return localizedString(QStringLiteral("BackupRestore.Label.BackupDateSkipped"));
}

QString LocalizationController::brButtonRestoreBackup() const {
    return localizedString(QStringLiteral("BackupRestore.Button.RestoreBackup"));
}

QString LocalizationController::brButtonStartBackup() const {
    return localizedString(QStringLiteral("BackupRestore.Button.StartBackup"));
}

QString LocalizationController::brButtonCancelBackup() const {
    return localizedString(QStringLiteral("BackupRestore.Button.CancelBackup"));
}

QString LocalizationController::brButtonHelpURL() const {
    return localizedString(QStringLiteral("BackupRestore.Button.HelpURL"));
}

QString LocalizationController::brLabelBackupName() const {
    return localizedString(QStringLiteral("BackupRestore.Label.BackupName"));
}

QString LocalizationController::brTextFieldBackupNameSuffix() const {
    return localizedString(QStringLiteral("BackupRestore.TextField.BackupNameSuffix"));
}

QString LocalizationController::brLabelScheduleDailyAt() const {
    return localizedString(QStringLiteral("BackupRestore.Label.ScheduleDailyAt"));
}

QString LocalizationController::brLabelBackupAutomatically() const {
    return localizedString(QStringLiteral("BackupRestore.Label.BackupAutomatically"));
}

QString LocalizationController::brCheckBoxPhotos() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBox.Photos"));
}

QString LocalizationController::brCheckBoxToolTipPhotos() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBoxToolTip.Photos"));
}

QString LocalizationController::brCheckBoxVideos() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBox.Videos"));
}

QString LocalizationController::brCheckBoxCalendars() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBox.Calendars"));
}

QString LocalizationController::brCheckBoxToolTipVideos() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBoxToolTip.Videos"));
}

QString LocalizationController::brCheckBoxContacts() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBox.Contacts"));
}

QString LocalizationController::brCheckBoxToolTipContacts() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBoxToolTip.Contacts"));
}

QString LocalizationController::brCheckBoxToolTipCalendars() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBoxToolTip.Calendars"));
}

QString LocalizationController::brLabelOptions() const {
    return localizedString(QStringLiteral("BackupRestore.Label.Options"));
}

QString LocalizationController::brCheckBoxKeepDeletedItems() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBox.KeepDeletedItems"));
}

QString LocalizationController::brCheckBoxToolTipKeepDeletedItems() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBoxToolTip.KeepDeletedItems"));
}

QString LocalizationController::brCheckBoxShowBackupWarnings() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBox.ShowBackupWarnings"));
}

QString LocalizationController::brCheckBoxImmediatelyStartBackup() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBox.ImmediatelyStartBackup"));
}

QString LocalizationController::brCheckBoxToolTipImmediatelyStartBackup() const {
    return localizedString(QStringLiteral("BackupRestore.CheckBoxToolTip.ImmediatelyStartBackup"));
}

QString LocalizationController::brButtonDone() const {
    return localizedString(QStringLiteral("BackupRestore.Button.Done"));
}

QString LocalizationController::brAlertWrongBackupNameMessage() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.WrongBackupNameMessage"));
}

QString LocalizationController::brAlertWrongBackupNameInformative() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.WrongBackupNameInformative"));
}

QString LocalizationController::brAlertWrongBackupNameOK() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.WrongBackupNameOK"));
}

QString LocalizationController::brAlertBackupContentRemovedMessage() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.BackupContentRemovedMessage"));
}

QString LocalizationController::brAlertBackupContentRemovedInformative() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.BackupContentRemovedInformative"));
}

QString LocalizationController::brAlertBackupContentRemovedOK() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.BackupContentRemovedOK"));
}

QString LocalizationController::brAlertBackupContentRemovedCancel() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.BackupContentRemovedCancel"));
}

QString LocalizationController::brLabelBackingUp() const {
    return localizedString(QStringLiteral("BackupRestore.Label.BackingUp"));
}

QString LocalizationController::brLabelBackupPreviewProgress() const {
    return localizedString(QStringLiteral("BackupRestore.Label.PreviewProgress"));
}

QString LocalizationController::brLabelBackupProgress() const {
    return localizedString(QStringLiteral("BackupRestore.Label.BackupProgress"));
}

QString LocalizationController::brAlertSkipBackupMessage() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.SkipBackupMessage"));
}

QString LocalizationController::brAlertSkipBackupInformative() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.SkipBackupInformative"));
}

QString LocalizationController::brAlertButtonCancel() const {
    return localizedString(QStringLiteral("BackupRestore.AlertButton.Cancel"));
}

QString LocalizationController::brAlertButtonSkipBackup() const {
    return localizedString(QStringLiteral("BackupRestore.AlertButton.SkipBackup"));
}

QString LocalizationController::brAlertPreBackupCalendarsAccessDeniedInformative() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.PreBackupCalendarsAccessDenied.Informative"));
}

QString LocalizationController::brAlertPreBackupCalendarsAccessDeniedMessage() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.PreBackupCalendarsAccessDenied.Message"));
}

QString LocalizationController::brAlertPreBackupContactsAccessDeniedInformative() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.PreBackupContactsAccessDenied.Informative"));
}

QString LocalizationController::brAlertPreBackupContactsAccessDeniedMessage() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.PreBackupContactsAccessDenied.Message"));
}

QString LocalizationController::brAlertPreBackupPhotoLibraryAccessDeniedInformative() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.PreBackupPhotoLibraryAccessDenied.Informative"));
}

QString LocalizationController::brAlertPreBackupPhotoLibraryAccessDeniedMessage() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.PreBackupPhotoLibraryAccessDenied.Message"));
}

QString LocalizationController::brAlertButtonPreBackupPermissionDeniedCancel() const {
    return localizedString(QStringLiteral("BackupRestore.AlertButton.PreBackupPermissionDenied.Cancel"));
}

QString LocalizationController::brAlertButtonPreBackupPermissionDeniedOpenSystemPreferences() const {
    return localizedString(QStringLiteral("BackupRestore.AlertButton.PreBackupPermissionDenied.OpenSystemPreferences"));
}

QString LocalizationController::brWindowTitleRestoreBackup() const {
    return localizedString(QStringLiteral("BackupRestore.WindowTitle.RestoreBackup"));
}

QString LocalizationController::brToolbarItemTitleRefresh() const {
    return localizedString(QStringLiteral("BackupRestore.ToolbarItemTitle.Refresh"));
}

QString LocalizationController::brToolbarItemTitleOpenPhotos() const {
    return localizedString(QStringLiteral("BackupRestore.ToolbarItemTitle.OpenPhotos"));
}

QString LocalizationController::brToolbarItemTitleOpenVideos() const {
    return localizedString(QStringLiteral("BackupRestore.ToolbarItemTitle.OpenVideos"));
}

QString LocalizationController::brToolbarItemTitleOpenContacts() const {
    return localizedString(QStringLiteral("BackupRestore.ToolbarItemTitle.OpenContacts"));
}

QString LocalizationController::brToolbarItemTitleOpenCalendars() const {
    return localizedString(QStringLiteral("BackupRestore.ToolbarItemTitle.OpenCalendars"));
}

QString LocalizationController::brToolbarItemTitleRestoreBackup() const {
    return localizedString(QStringLiteral("BackupRestore.ToolbarItemTitle.RestoreBackup"));
}

QString LocalizationController::brToolbarItemToolTipOpenPhotos() const {
    return localizedString(QStringLiteral("BackupRestore.ToolbarItemToolTip.OpenPhotos"));
}

QString LocalizationController::brToolbarItemToolTipOpenVideos() const {
    return localizedString(QStringLiteral("BackupRestore.ToolbarItemToolTip.OpenVideos"));
}

QString LocalizationController::brToolbarItemToolTipOpenContacts() const {
    return localizedString(QStringLiteral("BackupRestore.ToolbarItemToolTip.OpenContacts"));
}

QString LocalizationController::brToolbarItemToolTipOpenCalendars() const {
    return localizedString(QStringLiteral("BackupRestore.ToolbarItemToolTip.OpenCalendars"));
}

QString LocalizationController::brToolbarItemToolTipRestoreBackup() const {
    return localizedString(QStringLiteral("BackupRestore.ToolbarItemToolTip.RestoreBackup"));
}

QString LocalizationController::brLabelDevices() const {
    return localizedString(QStringLiteral("BackupRestore.Label.Devices"));
}

QString LocalizationController::brLabelSize() const {
    return localizedString(QStringLiteral("BackupRestore.Label.Size"));
}

QString LocalizationController::brLabelBackupDate() const {
    return localizedString(QStringLiteral("BackupRestore.Label.Date"));
}

QString LocalizationController::brLabelRestoreDescription() const {
    return localizedString(QStringLiteral("BackupRestore.Label.RestoreDescription"));
}

QString LocalizationController::brLabelGenericRestoreProgress() const {
    return localizedString(QStringLiteral("BackupRestore.Label.GenericRestoreProgress"));
}

QString LocalizationController::brLabelLoading() const {
    return localizedString(QStringLiteral("BackupRestore.Label.Loading"));
}

QString LocalizationController::brLabelRestoreProgress() const {
    return localizedString(QStringLiteral("BackupRestore.Label.RestoreProgress"));
}

QString LocalizationController::brLabelRestoring() const {
    return localizedString(QStringLiteral("BackupRestore.Label.Restoring"));
}

QString LocalizationController::brButtonCancel() const {
    return localizedString(QStringLiteral("BackupRestore.Button.Cancel"));
}

QString LocalizationController::brButtonRestore() const {
    return localizedString(QStringLiteral("BackupRestore.Button.RestoreRestore"));
}

QString LocalizationController::brButtonRestoreHelpURL() const {
    return localizedString(QStringLiteral("BackupRestore.Button.RestoreHelpURL"));
}

QString LocalizationController::brLabelSuccessfullyRestored() const {
    return localizedString(QStringLiteral("BackupRestore.Label.SuccessfullyRestored"));
}

QString LocalizationController::brButtonOpenPhotos() const {
    return localizedString(QStringLiteral("BackupRestore.Button.OpenPhotos"));
}

QString LocalizationController::brButtonOpenVideos() const {
    return localizedString(QStringLiteral("BackupRestore.Button.OpenVideos"));
}

QString LocalizationController::brButtonOpenContacts() const {
    return localizedString(QStringLiteral("BackupRestore.Button.OpenContacts"));
}

QString LocalizationController::brButtonOpenCalendars() const {
    return localizedString(QStringLiteral("BackupRestore.Button.OpenCalendars"));
}

QString LocalizationController::brAlertNotEnoughSpaceToBackupMessage() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.NotEnoughSpaceToBackupMessage"));
}

QString LocalizationController::brAlertNotEnoughSpaceToBackupInformative() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.NotEnoughSpaceToBackupInformative"));
}

QString LocalizationController::brAlertNotEnoughSpaceToRestoreMessage() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.NotEnoughSpaceToRestoreMessage"));
}

QString LocalizationController::brAlertNotEnoughSpaceToRestoreInformative() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.NotEnoughSpaceToRestoreInformative"));
}

QString LocalizationController::syAlertRestoreIncompleteMessage() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.RestoreIncompleteMessage"));
}

QString LocalizationController::syAlertRestoreIncompleteInformative() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.RestoreIncompleteInformative"));
}

QString LocalizationController::syAlertRestoreStillRunningMessage() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.RestoreStillRunningMessage"));
}

QString LocalizationController::syAlertRestoreStillRunningFromQuitInformative() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.RestoreStillRunningInformative"));
}

QString LocalizationController::syAlertRestoreStillRunningFromSignOutInformative() const {
    return localizedString(QStringLiteral("BackupRestore.Alert.RestoreStillRunningFromSignOutInformative"));
}

QString LocalizationController::brLabelUpsellTitle() const {
    return localizedString(QStringLiteral("BackupRestore.Label.UpsellTitle"));
}

QString LocalizationController::brLabelUpsellDescription() const {
    return localizedString(QStringLiteral("BackupRestore.Label.UpsellDescription"));
}

QString LocalizationController::brButtonUpsellUpgradeNow() const {
    return localizedString(QStringLiteral("BackupRestore.Button.UpsellUpgradeNow"));
}

QString LocalizationController::brButtonUpsellURL() const {
    return localizedString(QStringLiteral("BackupRestore.Button.UpsellURL"));
}

QString LocalizationController::brButtonUpsellHelpURL() const {
    return localizedString(QStringLiteral("BackupRestore.Button.UpsellHelpURL"));
}

QString LocalizationController::auMessageTitleInsufficientBackupStorage() const {
    return localizedString(QStringLiteral("BackupRestore.Dialog.insufficientStorage.Title"));
}

QString LocalizationController::auMessageTextInsufficientBackupStorage() const {
    return localizedString(QStringLiteral("BackupRestore.Dialog.insufficientStorage.Text"));
}

// Preferences

QString LocalizationController::prToolbarItemTitleGeneral() const {
    return localizedString(QStringLiteral("Preferences.ToolbarItemTitle.General"));
}

QString LocalizationController::prToolbarItemTitleSync() const {
    return localizedString(QStringLiteral("Preferences.ToolbarItemTitle.Sync"));
}

QString LocalizationController::prToolbarItemTitleEncryption() const {
    return localizedString(QStringLiteral("Preferences.ToolbarItemTitle.Encryption"));
}

QString LocalizationController::prToolbarItemTitleBackup() const {
    return localizedString(QStringLiteral("Preferences.ToolbarItemTitle.Backup"));
}

QString LocalizationController::prToolbarItemTitleImport() const {
    return localizedString(QStringLiteral("Preferences.ToolbarItemTitle.Import"));
}

QString LocalizationController::prToolbarItemTitleUpdates() const {
    return localizedString(QStringLiteral("Preferences.ToolbarItemTitle.Updates"));
}

// General

QString LocalizationController::geLabelUserName() const {
    return localizedString(QStringLiteral("General.Label.UserName"));
}

QString LocalizationController::geButtonSignIn() const {
    return localizedString(QStringLiteral("General.Button.SignIn"));
}

QString LocalizationController::geButtonSignOut() const {
    return localizedString(QStringLiteral("General.Button.SignOut"));
}

QString LocalizationController::geLabelStorageProvider() const {
    return localizedString(QStringLiteral("General.Label.StorageProvider"));
}

QString LocalizationController::geLabelStorageDetailsNotAvailable() const {
    return localizedString(QStringLiteral("General.Label.StorageDetailsNotAvailable"));
}

QString LocalizationController::geLabelStorageUsed() const {
    return localizedString(QStringLiteral("General.Label.StorageUsed"));
}

QString LocalizationController::geCheckBoxOpenAutomaticallyOnLogin() const {
    return localizedString(QStringLiteral("General.CheckBox.OpenAutomaticallyOnLogin"));
}

QString LocalizationController::geCheckBoxShowBadgesInFinder() const {
    return localizedString(QStringLiteral("General.CheckBox.ShowBadgesInFinder"));
}

QString LocalizationController::geCheckBoxShareProductAnalytics() const {
    return localizedString(QStringLiteral("General.CheckBox.ShareProductAnalytics"));
}

QString LocalizationController::geLabelPrivacyPolicy() const {
    return localizedString(QStringLiteral("General.Label.PrivacyPolicy"));
}

QString LocalizationController::geLabelPrivacyPolicyURL() const {
    return localizedString(QStringLiteral("General.Label.PrivacyPolicyURL"));
}

QString LocalizationController::geLabelLegal() const {
    return localizedString(QStringLiteral("General.Label.Legal"));
}

QString LocalizationController::geLabelLegalURL() const {
    return localizedString(QStringLiteral("General.Label.LegalURL"));
}

QString LocalizationController::geLabelAcknowledgments() const {
    return localizedString(QStringLiteral("General.Label.Acknowledgments"));
}

QString LocalizationController::geLabelVersion() const {
    return localizedString(QStringLiteral("General.Label.Version"));
}

QString LocalizationController::geButtonHelpURL() const {
    return localizedString(QStringLiteral("General.Button.HelpURL"));
}

// Share

QString LocalizationController::shWindowTitleSharedItems() const {
    return localizedString(QStringLiteral("Share.WindowTitle.SharedItems"));
}

QString LocalizationController::shToolbarItemTitleRefresh() const {
    return localizedString(QStringLiteral("Share.ToolbarItemTitle.Refresh"));
}

QString LocalizationController::shToolbarItemTitleDelete() const {
    return localizedString(QStringLiteral("Share.ToolbarItemTitle.Delete"));
}

QString LocalizationController::shToolbarItemTitleOpenInBrowser() const {
    return localizedString(QStringLiteral("Share.ToolbarItemTitle.OpenInBrowser"));
}

QString LocalizationController::shToolbarItemTitleSendEmail() const {
    return localizedString(QStringLiteral("Share.ToolbarItemTitle.SendEmail"));
}

QString LocalizationController::shToolbarItemTitleShareItem() const {
    return localizedString(QStringLiteral("Share.ToolbarItemTitle.ShareItem"));
}

QString LocalizationController::shAlertDeleteShareMessage() const {
    return localizedString(QStringLiteral("Share.Alert.DeleteShareMessage"));
}

QString LocalizationController::shAlertDeleteShareInformative() const {
    return localizedString(QStringLiteral("Share.Alert.DeleteShareInformative"));
}

QString LocalizationController::shAlertDeleteShareCancel() const {
    return localizedString(QStringLiteral("Share.Alert.DeleteShareCancel"));
}

QString LocalizationController::shAlertDeleteShareDelete() const {
    return localizedString(QStringLiteral("Share.Alert.DeleteShareDelete"));
}

// ShareItem

QString LocalizationController::shItemWindowTitleNewMessage() const {
    return localizedString(QStringLiteral("ShareItem.WindowTitle.NewMessage"));
}

QString LocalizationController::shItemLabelShareViaEmail() const {
    return localizedString(QStringLiteral("ShareItem.Label.ShareViaEmail"));
}

QString LocalizationController::shItemLabelSize() const {
    return localizedString(QStringLiteral("ShareItem.Label.Size"));
}

QString LocalizationController::shItemLabelModified() const {
    return localizedString(QStringLiteral("ShareItem.Label.Modified"));
}

QString LocalizationController::shItemLabelTo() const {
    return localizedString(QStringLiteral("ShareItem.Label.To"));
}

QString LocalizationController::shItemLabelNoSharedItemsTitle() const {
    return localizedString(QStringLiteral("ShareItem.Label.NoSharedItemsTitle"));
}

QString LocalizationController::shItemLabelNoSharedItemsDescription() const {
    return localizedString(QStringLiteral("ShareItem.Label.NoSharedItemsDescription"));
}

QString LocalizationController::shItemButtonCancel() const {
    return localizedString(QStringLiteral("ShareItem.Button.Cancel"));
}

QString LocalizationController::shItemButtonSend() const {
    return localizedString(QStringLiteral("ShareItem.Button.Send"));
}

QString LocalizationController::shItemLabelLink() const {
    return localizedString(QStringLiteral("ShareItem.Label.Link"));
}

QString LocalizationController::shItemButtonCopy() const {
    return localizedString(QStringLiteral("ShareItem.Button.Copy"));
}

QString LocalizationController::shItemButtonShareAgain() const {
    return localizedString(QStringLiteral("ShareItem.Button.ShareAgain"));
}

QString LocalizationController::shItemLabelShareAlreadyExpired() const {
    return localizedString(QStringLiteral("ShareItem.Label.ShareAlreadyExpired"));
}

QString LocalizationController::shItemButtonAdvancedOptions() const {
    return localizedString(QStringLiteral("ShareItem.Button.AdvancedOptions"));
}

QString LocalizationController::shItemLabelDaysValid() const {
    return localizedString(QStringLiteral("ShareItem.Label.DaysValid"));
}

QString LocalizationController::shItemLabelMaximumDownloads() const {
    return localizedString(QStringLiteral("ShareItem.Label.MaximumDownloads"));
}

QString LocalizationController::shItemMenuItemDaysValidUnlimited() const {
    return localizedString(QStringLiteral("ShareItem.MenuItem.DaysValidUnlimited"));
}

QString LocalizationController::shItemMenuItemMaximumDownloadsUnlimited() const {
    return localizedString(QStringLiteral("ShareItem.MenuItem.MaximumDownloadsUnlimited"));
}

QString LocalizationController::shItemCheckBoxWriteAccess() const {
    return localizedString(QStringLiteral("ShareItem.CheckBox.WriteAccess"));
}

QString LocalizationController::shItemLabelWriteAccessDescription() const {
    return localizedString(QStringLiteral("ShareItem.Label.WriteAccessDescription"));
}

QString LocalizationController::shItemButtonSetPassword() const {
    return localizedString(QStringLiteral("ShareItem.Button.SetPassword"));
}

QString LocalizationController::shItemButtonChangePassword() const {
    return localizedString(QStringLiteral("ShareItem.Button.ChangePassword"));
}

QString LocalizationController::shItemServiceSubjectDirectory() const {
    return localizedString(QStringLiteral("ShareItem.Service.SubjectDirectory"));
}

QString LocalizationController::shItemServiceMessageBodyDirectory() const {
    return localizedString(QStringLiteral("ShareItem.Service.MessageBodyDirectory"));
}

QString LocalizationController::shItemServiceSubjectFile() const {
    return localizedString(QStringLiteral("ShareItem.Service.SubjectFile"));
}

QString LocalizationController::shItemServiceMessageBodyFile() const {
    return localizedString(QStringLiteral("ShareItem.Service.MessageBodyFile"));
}

QString LocalizationController::shItemAlertMultipleItemsMessage() const {
    return localizedString(QStringLiteral("ShareItem.Alert.MultipleItemsMessage"));
}

QString LocalizationController::shItemAlertMultipleItemsInformative() const {
    return localizedString(QStringLiteral("ShareItem.Alert.MultipleItemsInformative"));
}

QString LocalizationController::shItemAlertOutsideSyncRootMessage() const {
    return localizedString(QStringLiteral("ShareItem.Alert.OutsideSyncRootMessage"));
}

QString LocalizationController::shItemAlertOutsideSyncRootInformative() const {
    return localizedString(QStringLiteral("ShareItem.Alert.OutsideSyncRootInformative"));
}

QString LocalizationController::shItemAlertRetryShareMessage() const {
    return localizedString(QStringLiteral("ShareItem.Alert.RetryShareMessage"));
}

QString LocalizationController::shItemAlertRetryShareInformative() const {
    return localizedString(QStringLiteral("ShareItem.Alert.RetryShareInformative"));
}

QString LocalizationController::shItemButtonRetryShareCancel() const {
    return localizedString(QStringLiteral("ShareItem.Button.RetryShareCancel"));
}

QString LocalizationController::shItemButtonRetryShareRetry() const {
    return localizedString(QStringLiteral("ShareItem.Button.RetryShareRetry"));
}

QString LocalizationController::shItemButtonOpenFolder() const {
    return localizedString(QStringLiteral("ShareItem.Button.OpenFolder"));
}

QString LocalizationController::shItemLabelLoading() const {
    return localizedString(QStringLiteral("ShareItem.Label.Loading"));
}

QString LocalizationController::shItemAlertNoInternetConnectionMessage() const {
    return localizedString(QStringLiteral("ShareItem.Alert.NoInternetConnectionMessage"));
}

QString LocalizationController::shItemAlertNoInternetConnectionInformative() const {
    return localizedString(QStringLiteral("ShareItem.Alert.NoInternetConnectionInformative"));
}

QString LocalizationController::shItemAlertForbiddenMessage() const {
    return localizedString(QStringLiteral("ShareItem.Alert.ForbiddenMessage"));
}

QString LocalizationController::shItemAlertForbiddenInformative() const {
    return localizedString(QStringLiteral("ShareItem.Alert.ForbiddenInformative"));
}

QString LocalizationController::shItemAlertUnableToShareNonSyncedItemMessage() const {
    return localizedString(QStringLiteral("ShareItem.Alert.UnableToShareNonSyncedItemMessage"));
}

QString LocalizationController::shItemAlertUnableToShareNonSyncItemInformative() const {
    return localizedString(QStringLiteral("ShareItem.Alert.UnableToShareNonSyncedItemInformative"));
}

QString LocalizationController::shItemAlertPathTooLongMessage() const {
    return localizedString(QStringLiteral("ShareItem.Alert.PathTooLongMessage"));
}

QString LocalizationController::shItemAlertPathTooLongInformative() const {
    return localizedString(QStringLiteral("ShareItem.Alert.PathTooLongInformative"));
}

QString LocalizationController::shItemAlertUnableToShareItemGenericMessage() const {
    return localizedString(QStringLiteral("ShareItem.Alert.UnableToShareItemGenericMessage"));
}

QString LocalizationController::shItemAlertUnableToShareItemGenericInformative() const {
    return localizedString(QStringLiteral("ShareItem.Alert.UnableToShareItemGenericInformative"));
}

QString LocalizationController::shItemLabelAccessSingle() const {
    return localizedString(QStringLiteral("ShareItem.Label.AccessSingle"));
}

QString LocalizationController::shItemLabelAccessMultiple() const {
    return localizedString(QStringLiteral("ShareItem.Label.AccessMultiple"));
}

// SharePassword

QString LocalizationController::shPasswordLabelDescription() const {
    return localizedString(QStringLiteral("SharePassword.Label.Description"));
}

QString LocalizationController::shPasswordLabelPassword() const {
    return localizedString(QStringLiteral("SharePassword.Label.Password"));
}

QString LocalizationController::shPasswordLabelVerify() const {
    return localizedString(QStringLiteral("SharePassword.Label.Verify"));
}

QString LocalizationController::shPasswordLabelPasswordsDoNotMatch() const {
    return localizedString(QStringLiteral("SharePassword.Label.PasswordsDoNotMatch"));
}

QString LocalizationController::shPasswordLabelPasswordInvalid() const {
    return localizedString(QStringLiteral("SharePassword.Label.PasswordInvalid"));
}

QString LocalizationController::shPasswordButtonRemovePassword() const {
    return localizedString(QStringLiteral("SharePassword.Button.RemovePassword"));
}

QString LocalizationController::shPasswordButtonCancel() const {
    return localizedString(QStringLiteral("SharePassword.Button.Cancel"));
}

QString LocalizationController::shPasswordButtonSetPassword() const {
    return localizedString(QStringLiteral("SharePassword.Button.SetPassword"));
}

// Sync

QString LocalizationController::syAlertUnauthorizedMessage() const {
    return localizedString(QStringLiteral("Sync.Alert.UnauthorizedMessage"));
}

QString LocalizationController::syAlertUnauthorizedInformative() const {
    return localizedString(QStringLiteral("Sync.Alert.UnauthorizedInformative"));
}

QString LocalizationController::syAlertPreferencesGoneMessage() const {
    return localizedString(QStringLiteral("Sync.Alert.PreferencesGoneMessage"));
}

QString LocalizationController::syAlertPreferencesGoneInformative() const {
    return localizedString(QStringLiteral("Sync.Alert.PreferencesGoneInformative"));
}

QString LocalizationController::syAlertRootFolderMovedMessage() const {
    return localizedString(QStringLiteral("Sync.Alert.RootFolderMovedMessage"));
}

QString LocalizationController::syAlertRootFolderMovedInformative() const {
    return localizedString(QStringLiteral("Sync.Alert.RootFolderMovedInformative"));
}

QString LocalizationController::syAlertRootFolderOwnedByAnotherAccountMessage() const {
    return localizedString(QStringLiteral("Sync.Alert.RootFolderOwnedByAnotherAccountMessage"));
}

QString LocalizationController::syAlertRootFolderOwnedByAnotherAccountInformative() const {
    return localizedString(QStringLiteral("Sync.Alert.RootFolderOwnedByAnotherAccountInformative"));
}

QString LocalizationController::syAlertRootFolderIsChildOfAnotherRootFolderMessage() const {
    return localizedString(QStringLiteral("Sync.Alert.RootFolderIsChildOfAnotherRootFolderMessage"));
}

QString LocalizationController::syAlertRootFolderIsChildOfAnotherRootFolderInformative() const {
    return localizedString(QStringLiteral("Sync.Alert.RootFolderIsChildOfAnotherRootFolderInformative"));
}

QString LocalizationController::syAlertRootFolderNotWritableMessage() const {
    return localizedString(QStringLiteral("Sync.Alert.RootFolderNotWritableMessage"));
}

QString LocalizationController::syAlertRootFolderNotWritableInformative() const {
    return localizedString(QStringLiteral("Sync.Alert.RootFolderNotWritableInformative"));
}

QString LocalizationController::syAlertRootFolderVolumeIncompatibleMessage() const {
    return localizedString(QStringLiteral("Sync.Alert.RootFolderVolumeIncompatibleMessage"));
}

QString LocalizationController::syAlertRootFolderVolumeIncompatibleInformative() const {
    return localizedString(QStringLiteral("Sync.Alert.RootFolderVolumeIncompatibleInformative"));
}

QString LocalizationController::syAlertRootFolderVolumeNotLocalMessage() const {
    return localizedString(QStringLiteral("Sync.Alert.RootFolderVolumeNotLocalMessage"));
}

QString LocalizationController::syAlertRootFolderVolumeNotLocalInformative() const {
    return localizedString(QStringLiteral("Sync.Alert.RootFolderVolumeNotLocalInformative"));
}

QString LocalizationController::syAlertButtonQuit() const {
    return localizedString(QStringLiteral("Sync.AlertButton.Quit"));
}

QString LocalizationController::syAlertButtonContinueSync() const {
    return localizedString(QStringLiteral("Sync.AlertButton.ContinueSync"));
}

QString LocalizationController::syAlertBackupQuotaViolationMessage() const {
    return localizedString(QStringLiteral("Sync.Alert.BackupQuotaViolationMessage"));
}

QString LocalizationController::syAlertBackupQuotaViolationInformative() const {
    return localizedString(QStringLiteral("Sync.Alert.BackupQuotaViolationInformative"));
}

QString LocalizationController::syAlertQuotaViolationMessage() const {
    return localizedString(QStringLiteral("Sync.Alert.QuotaViolationMessage"));
}

QString LocalizationController::syAlertQuotaViolationInformative() const {
    return localizedString(QStringLiteral("Sync.Alert.QuotaViolationInformative"));
}

QString LocalizationController::syAlertButtonOK() const {
    return localizedString(QStringLiteral("Sync.AlertButton.OK"));
}

QString LocalizationController::syAlertButtonUpgrade() const {
    return localizedString(QStringLiteral("Sync.AlertButton.Upgrade"));
}

QString LocalizationController::syAlertUpgradeURL() const {
    return localizedString(QStringLiteral("Sync.Alert.UpgradeURL"));
}

QString LocalizationController::syAlertSystemFolderDeletedMessage() const {
    return localizedString(QStringLiteral("Sync.Alert.SystemFolderDeletedMessage"));
}

QString LocalizationController::syAlertSystemFolderDeletedInformative() const {
    return localizedString(QStringLiteral("Sync.Alert.SystemFolderDeletedInformative"));
}

QString LocalizationController::syAlertNotEnoughDiskSpaceToSyncMessage() const {
    return localizedString(QStringLiteral("Sync.Alert.NotEnoughDiskSpaceToSyncMessage"));
}

QString LocalizationController::syAlertNotEnoughDiskSpaceToSyncInformative() const {
    return localizedString(QStringLiteral("Sync.Alert.NotEnoughDiskSpaceToSyncInformative"));
}

QString LocalizationController::syAlertNotEnoughDiskSpaceToSyncButtonPauseSync() const {
    return localizedString(QStringLiteral("Sync.AlertButton.PauseSync"));
}

// SelectiveSync

QString LocalizationController::ssLabelDescription() const {
    return localizedString(QStringLiteral("SelectiveSync.Label.Description"));
}

QString LocalizationController::ssLabelLoading() const {
    return localizedString(QStringLiteral("SelectiveSync.Label.Loading"));
}

QString LocalizationController::ssLabelNoFoldersToSelect() const {
    return localizedString(QStringLiteral("SelectiveSync.Label.NoFoldersToSelect"));
}

QString LocalizationController::ssButtonSelectFoldersToSync() const {
    return localizedString(QStringLiteral("SelectiveSync.Button.SelectFoldersToSync"));
}

QString LocalizationController::ssLabelFolderSelectionDescription() const {
    return localizedString(QStringLiteral("SelectiveSync.Label.FolderSelectionDescription"));
}

QString LocalizationController::ssCheckBoxSyncAllFolders() const {
    return localizedString(QStringLiteral("SelectiveSync.CheckBox.SyncAllFolders"));
}

QString LocalizationController::ssButtonCancel() const {
    return localizedString(QStringLiteral("SelectiveSync.Button.Cancel"));
}

QString LocalizationController::ssButtonOK() const {
    return localizedString(QStringLiteral("SelectiveSync.Button.OK"));
}

QString LocalizationController::ssFileSuffixConflict() const {
    return localizedString(QStringLiteral("SelectiveSync.FileSuffix.Conflict"));
}

QString LocalizationController::ssAlertNotEnoughDiskSpaceMessage() const {
    return localizedString(QStringLiteral("SelectiveSync.Alert.NotEnoughDiskSpace.Message"));
}

QString LocalizationController::ssAlertNotEnoughDiskSpaceInformativeText() const {
    return localizedString(QStringLiteral("SelectiveSync.Alert.NotEnoughDiskSpace.InformativeText"));
}

// AutoUpload

QString LocalizationController::auLabelDescription() const {
    return localizedString(QStringLiteral("AutoUpload.Label.Description"));
}

QString LocalizationController::auLabelContents() const {
    return localizedString(QStringLiteral("AutoUpload.Label.Contents"));
}

QString LocalizationController::auPopUpPhotos() const {
    return localizedString(QStringLiteral("AutoUpload.PopUp.Photos"));
}

QString LocalizationController::auPopUpPhotosAndVideos() const {
    return localizedString(QStringLiteral("AutoUpload.PopUp.PhotosAndVideos"));
}

QString LocalizationController::auButtonClearDevices() const {
    return localizedString(QStringLiteral("AutoUpload.Button.ClearDevices"));
}

QString LocalizationController::auPromptLabelTitle() const {
    return localizedString(QStringLiteral("AutoUpload.Prompt.Label.Title"));
}

QString LocalizationController::auPromptLabelDescription() const {
    return localizedString(QStringLiteral("AutoUpload.Prompt.Label.Description"));
}

QString LocalizationController::auPromptLabelStoragePath() const {
    return localizedString(QStringLiteral("AutoUpload.Prompt.Label.StoragePath"));
}

QString LocalizationController::auPromptButtonNeverForThisDevice() const {
    return localizedString(QStringLiteral("AutoUpload.Prompt.Button.NeverForThisDevice"));
}

QString LocalizationController::auPromptButtonStartImport() const {
    return localizedString(QStringLiteral("AutoUpload.Prompt.Button.StartImport"));
}

QString LocalizationController::auButtonHelpURL() const {
    return localizedString(QStringLiteral("AutoUpload.Button.HelpURL"));
}

QString LocalizationController::auIncludesVideoAnd() const {
    return localizedString(QStringLiteral("AutoUpload.Import.IncludesVideoAnd.Text"));
}

QString LocalizationController::auIncludesVideoOr() const {
    return localizedString(QStringLiteral("AutoUpload.Import.IncludesVideoOr.Text"));
}

QString LocalizationController::auPromptHeadlineText() const {
    return localizedString(QStringLiteral("AutoUpload.Prompt.Headline"));
}

QString LocalizationController::auDialogWindowTitle() const {
    return localizedString(QStringLiteral("AutoUpload.Dialog.Window.Title"));
}

QString LocalizationController::auPromptText() const {
    return localizedString(QStringLiteral("AutoUpload.Prompt.Text"));
}

QString LocalizationController::auPromptStoragePathText() const {
    return localizedString(QStringLiteral("AutoUpload.Prompt.StoragePath.Text"));
}

QString LocalizationController::auPromptNeverForThisDeviceButton() const {
    return localizedString(QStringLiteral("AutoUpload.Button.NeverForThisDevice.Text"));
}

QString LocalizationController::auProgressPromptStatusText() const {
    return localizedString(QStringLiteral("AutoUpload.ProgressPrompt.Status.Text"));
}

QString LocalizationController::auButtonOK() const {
    return localizedString(QStringLiteral("AutoUpload.Button.OK"));
}

// Forms bind to either name of this button.
QString LocalizationController::auOKButton() const { return auButtonOK(); }

QString LocalizationController::auButtonCancel() const {
    return localizedString(QStringLiteral("AutoUpload.Button.Cancel"));
}

QString LocalizationController::auPromptStartImportButton() const {
    return localizedString(QStringLiteral("AutoUpload.Button.StartImport.Text"));
}

QString LocalizationController::auMessageTitleImportComplete() const {
    return localizedString(QStringLiteral("AutoUpload.Dialog.ImportCompleted.Title"));
}

QString LocalizationController::auMessageTitleNotEnoughStorage() const {
    return localizedString(QStringLiteral("AutoUpload.Dialog.NotEnoughStorage.Title"));
}

QString LocalizationController::auMessageTitleLockedAppleDevice() const {
    return localizedString(QStringLiteral("AutoUpload.Dialog.LockedDevice.Title"));
}

QString LocalizationController::auMessageTitleImportIncomplete() const {
    return localizedString(QStringLiteral("AutoUpload.Dialog.ImportImcompleted.Title"));
}

QString LocalizationController::auMessageTitleFolderNotInSync() const {
    return localizedString(QStringLiteral("AutoUpload.Dialog.folderNotInSync.Title"));
}

QString LocalizationController::auMessageTitleRootFolderFailure() const {
    return localizedString(QStringLiteral("AutoUpload.Dialog.rootFolderFailure.Title"));
}

QString LocalizationController::auMessageTextImportComplete() const {
    return localizedString(QStringLiteral("AutoUpload.Dialog.ImportCompleted.Text"));
}

QString LocalizationController::auMessageTextNotEnoughStorage() const {
    return localizedString(QStringLiteral("AutoUpload.Dialog.NotEnoughStorage.Text"));
}

QString LocalizationController::auMessageTextLockedAppleDevice() const {
    return localizedString(QStringLiteral("AutoUpload.Dialog.LockedDevice.Text"));
}

QString LocalizationController::auMessageTextImportIncomplete() const {
    return localizedString(QStringLiteral("AutoUpload.Dialog.ImportImcompleted.Text"));
}

QString LocalizationController::auMessageTextFolderNotInSync() const {
    return localizedString(QStringLiteral("AutoUpload.Dialog.folderNotInSync.Text"));
}

QString LocalizationController::auMessageTextRootFolderFailure() const {
    return localizedString(QStringLiteral("AutoUpload.Dialog.rootFolderFailure.Text"));
}

QString LocalizationController::auNotificationTitleNoMediaFound() const {
    return localizedString(QStringLiteral("AutoUpload.Notification.NoMediaFound.Title"));
}

QString LocalizationController::auNotificationTitleNoNewMediaFound() const {
    return localizedString(QStringLiteral("AutoUpload.Notification.NoNewMediaFound.Title"));
}

QString LocalizationController::auNotificationTitleImportComplete() const {
    return localizedString(QStringLiteral("AutoUpload.Notification.ImportCompleted.Title"));
}

QString LocalizationController::auNotificationTitleNotEnoughStorage() const {
    return localizedString(QStringLiteral("AutoUpload.Notification.NotEnoughStorage.Title"));
}

QString LocalizationController::auNotificationTitleLockedAppleDevice() const {
    return localizedString(QStringLiteral("AutoUpload.Notification.LockedAppleDevice.Title"));
}

QString LocalizationController::auNotificationTextNoMediaFound() const {
    return localizedString(QStringLiteral("AutoUpload.Notification.NoMediaFound.Text"));
}

QString LocalizationController::auNotificationTextNoNewMediaFound() const {
    return localizedString(QStringLiteral("AutoUpload.Notification.NoNewMediaFound.Text"));
}

QString LocalizationController::auNotificationTextImportComplete() const {
    return localizedString(QStringLiteral("AutoUpload.Notification.ImportCompleted.Text"));
}

QString LocalizationController::auNotificationTextNotEnoughStorage() const {
    return localizedString(QStringLiteral("AutoUpload.Notification.NotEnoughStorage.Text"));
}

QString LocalizationController::auNotificationTextLockedAppleDevice() const {
    return localizedString(QStringLiteral("AutoUpload.Notification.LockedAppleDevice.Text"));
}

QString LocalizationController::auImportProgressFormatText() const {
    return localizedString(QStringLiteral("AutoUpload.Import.Progress.Text"));
}

// SoftwareUpdate

QString LocalizationController::suLabelDescription() const {
    return localizedString(QStringLiteral("SoftwareUpdate.Label.Description"));
}

QString LocalizationController::suCheckBoxAutomaticallyCheckForUpdates() const {
    return localizedString(QStringLiteral("SoftwareUpdate.CheckBox.CheckForUpdates"));
}

QString LocalizationController::suCheckBoxAutomaticallyDownloadUpdates() const {
    return localizedString(QStringLiteral("SoftwareUpdate.CheckBox.AutomaticallyDownloadUpdates"));
}

QString LocalizationController::suLabelUpdateInterval() const {
    return localizedString(QStringLiteral("SoftwareUpdate.Label.UpdateInterval"));
}

QString LocalizationController::suPopUpUpdateIntervalHourly() const {
    return localizedString(QStringLiteral("SoftwareUpdate.PopUp.UpdateIntervalHourly"));
}

QString LocalizationController::suPopUpUpdateIntervalDaily() const {
    return localizedString(QStringLiteral("SoftwareUpdate.PopUp.UpdateIntervalDaily"));
}

QString LocalizationController::suPopUpUpdateIntervalWeekly() const {
    return localizedString(QStringLiteral("SoftwareUpdate.PopUp.UpdateIntervalWeekly"));
}

QString LocalizationController::suPopUpUpdateIntervalMonthly() const {
    return localizedString(QStringLiteral("SoftwareUpdate.PopUp.UpdateIntervalMonthly"));
}

QString LocalizationController::suLabelLastCheckForUpdates() const {
    return localizedString(QStringLiteral("SoftwareUpdate.Label.LastCheckForUpdates"));
}

QString LocalizationController::suButtonCheckForUpdates() const {
    return localizedString(QStringLiteral("SoftwareUpdate.Button.CheckForUpdates"));
}

QString LocalizationController::suButtonCheckNow() const {
    return localizedString(QStringLiteral("SoftwareUpdate.Button.CheckNow"));
}

QString LocalizationController::suTestUpdateChannelEnableLabel() const {
    return localizedString(QStringLiteral("SoftwareUpdate.Label.EnableTestUpdateChannel"));
}

// Crypto

QString LocalizationController::crLabelUpsellTitle() const {
    return localizedString(QStringLiteral("Crypto.Label.UpsellTitle"));
}

QString LocalizationController::crLabelUpsellDescription() const {
    return localizedString(QStringLiteral("Crypto.Label.UpsellDescription"));
}

QString LocalizationController::crButtonUpsellUpgradeNow() const {
    return localizedString(QStringLiteral("Crypto.Button.UpsellUpgradeNow"));
}

QString LocalizationController::crButtonUpsellURL() const {
    return localizedString(QStringLiteral("Crypto.Button.UpsellURL"));
}

QString LocalizationController::crButtonUpsellHelpURL() const {
    return localizedString(QStringLiteral("Crypto.Button.UpsellHelpURL"));
}

QString LocalizationController::crLabelCreateKeyDescription() const {
    return localizedString(QStringLiteral("Crypto.Label.CreateKeyDescription"));
}

QString LocalizationController::crLabelCreateKeyPassword() const {
    return localizedString(QStringLiteral("Crypto.Label.CreateKeyPassword"));
}

QString LocalizationController::crLabelCreateKeyVerify() const {
    return localizedString(QStringLiteral("Crypto.Label.CreateKeyVerify"));
}

QString LocalizationController::crLabelCreateKeySaveKeyCopyTo() const {
    return localizedString(QStringLiteral("Crypto.Label.CreateKeySaveKeyCopyTo"));
}

QString LocalizationController::crMenuItemOtherFolder() const {
    return localizedString(QStringLiteral("Crypto.MenuItem.OtherFolder"));
}

QString LocalizationController::crLabelCreateKeyUserConsent() const {
    return localizedString(QStringLiteral("Crypto.Label.CreateKeyUserConsent"));
}

QString LocalizationController::crButtonCreateKeyHelpURL() const {
    return localizedString(QStringLiteral("Crypto.Button.CreateKeyHelpURL"));
}

QString LocalizationController::crButtonCreateKeyCancel() const {
    return localizedString(QStringLiteral("Crypto.Button.CreateKeyCancel"));
}

QString LocalizationController::crButtonCreateKey() const {
    return localizedString(QStringLiteral("Crypto.Button.CreateKey"));
}

QString LocalizationController::crAlertDebugKeySuccessMessage() const {
    return localizedString(QStringLiteral("Crypto.Alert.DebugKeySuccessMessage"));
}

QString LocalizationController::crAlertDebugKeySuccessInformative() const {
    return localizedString(QStringLiteral("Crypto.Alert.DebugKeySuccessInformative"));
}

QString LocalizationController::crAlertDebugKeyFailedMessage() const {
    return localizedString(QStringLiteral("Crypto.Alert.DebugKeyFailedMessage"));
}

QString LocalizationController::crAlertDebugKeyFailedInformative() const {
    return localizedString(QStringLiteral("Crypto.Alert.DebugKeyFailedInformative"));
}

QString LocalizationController::crAlertButtonDebugKeyOK() const {
    return localizedString(QStringLiteral("Crypto.AlertButton.DebugKeyOK"));
}

// ConnectionDoctor

QString LocalizationController::cdWindowTitleMainWindow() const {
    return localizedString(QStringLiteral("ConnectionDoctor.WindowTitle.MainWindow"));
}

QString LocalizationController::cdTabItemSyncErrors() const {
    return localizedString(QStringLiteral("ConnectionDoctor.TabItem.SyncErrors"));
}

QString LocalizationController::cdTabItemSyncLogs() const {
    return localizedString(QStringLiteral("ConnectionDoctor.TabItem.SyncLogs"));
}

QString LocalizationController::cdTabItemDebugMenu() const {
    return localizedString(QStringLiteral("ConnectionDoctor.TabItem.DebugMenu"));
}

QString LocalizationController::cdTableViewColumnTitleSyncLogsMessages() const {
    return localizedString(QStringLiteral("ConnectionDoctor.TableViewColumnTitle.SyncLogsMessages"));
}

QString LocalizationController::cdTableViewColumnTitleSyncErrorsDate() const {
    return localizedString(QStringLiteral("ConnectionDoctor.TableViewColumnTitle.SyncErrorsDate"));
}

QString LocalizationController::cdTableViewColumnTitleSyncErrorsRelativePath() const {
    return localizedString(QStringLiteral("ConnectionDoctor.TableViewColumnTitle.SyncErrorsRelativePath"));
}

QString LocalizationController::cdTableViewColumnTitleSyncErrorsError() const {
    return localizedString(QStringLiteral("ConnectionDoctor.TableViewColumnTitle.SyncErrorsError"));
}

QString LocalizationController::cdButtonHelpURL() const {
    return localizedString(QStringLiteral("ConnectionDoctor.Button.HelpURL"));
}

QString LocalizationController::cdLabelContinuouslyUpdateErrorLogs() const {
    return localizedString(QStringLiteral("ConnectionDoctor.Label.ContinuouslyUpdateErrorLogs"));
}

QString LocalizationController::cdButtonClearLogs() const {
    return localizedString(QStringLiteral("ConnectionDoctor.Button.ClearLogs"));
}

QString LocalizationController::cdButtonShowLogs() const {
    return localizedString(QStringLiteral("ConnectionDoctor.Button.ShowLogs"));
}

QString LocalizationController::cdDebugMenuShowDatabaseButton() const {
    return localizedString(QStringLiteral("ConnectionDoctor.DebugMenu.Button.ShowDatabase"));
}

QString LocalizationController::cdDebugMenuCrashButton() const {
    return localizedString(QStringLiteral("ConnectionDoctor.DebugMenu.Button.TestCrash"));
}

QString LocalizationController::cdSyncNotificationMessageLocalItemRenamed() const {
    return localizedString(QStringLiteral("ConnectionDoctor.SyncNotification.Message.LocalItemRenamed"));
}

// Reachability

QString LocalizationController::raAlertNoConnectionMessage() const {
    return localizedString(QStringLiteral("Reachability.Alert.NoConnectionMessage"));
}

QString LocalizationController::raAlertNoConnectionInformative() const {
    return localizedString(QStringLiteral("Reachability.Alert.NoConnectionInformative"));
}

QString LocalizationController::raAlertButtonNoConnectionOK() const {
    return localizedString(QStringLiteral("Reachability.AlertButton.NoConnectionOK"));
}

// Errors

QString LocalizationController::erAPIGenericDescription() const {
    return localizedString(QStringLiteral("Error.API.Generic.Description"));
}

QString LocalizationController::erAPIGenericFailureReason() const {
    return localizedString(QStringLiteral("Error.API.Generic.FailureReason"));
}

QString LocalizationController::erAPIGenericRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.Generic.RecoverySuggestion"));
}

QString LocalizationController::erAPIBadRequestDescription() const {
    return localizedString(QStringLiteral("Error.API.BadRequest.Description"));
}

QString LocalizationController::erAPIBadRequestFailureReason() const {
    return localizedString(QStringLiteral("Error.API.BadRequest.FailureReason"));
}

QString LocalizationController::erAPIBadRequestRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.BadRequest.RecoverySuggestion"));
}

QString LocalizationController::erAPIForbiddenDescription() const {
    return localizedString(QStringLiteral("Error.API.Forbidden.Description"));
}

QString LocalizationController::erAPIForbiddenFailureReason() const {
    return localizedString(QStringLiteral("Error.API.Forbidden.FailureReason"));
}

QString LocalizationController::erAPIForbiddenRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.Forbidden.RecoverySuggestion"));
}

QString LocalizationController::erAPINotFoundDescription() const {
    return localizedString(QStringLiteral("Error.API.NotFound.Description"));
}

QString LocalizationController::erAPINotFoundFailureReason() const {
    return localizedString(QStringLiteral("Error.API.NotFound.FailureReason"));
}

QString LocalizationController::erAPINotFoundRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.NotFound.RecoverySuggestion"));
}

QString LocalizationController::erAPIConflictDescription() const {
    return localizedString(QStringLiteral("Error.API.Conflict.Description"));
}

QString LocalizationController::erAPIConflictFailureReason() const {
    return localizedString(QStringLiteral("Error.API.Conflict.FailureReason"));
}

QString LocalizationController::erAPIConflictRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.Conflict.RecoverySuggestion"));
}

QString LocalizationController::erAPIUnprocessableEntityDescription() const {
    return localizedString(QStringLiteral("Error.API.UnprocessableEntity.Description"));
}

QString LocalizationController::erAPIUnprocessableEntityFailureReason() const {
    return localizedString(QStringLiteral("Error.API.UnprocessableEntity.FailureReason"));
}

QString LocalizationController::erAPIUnprocessableEntityRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.UnprocessableEntity.RecoverySuggestion"));
}

QString LocalizationController::erAPIServerErrorDescription() const {
    return localizedString(QStringLiteral("Error.API.ServerError.Description"));
}

QString LocalizationController::erAPIServerErrorFailureReason() const {
    return localizedString(QStringLiteral("Error.API.ServerError.FailureReason"));
}

QString LocalizationController::erAPIServerErrorRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.ServerError.RecoverySuggestion"));
}

QString LocalizationController::erAPIUnsupportedMediaTypeDescription() const {
    return localizedString(QStringLiteral("Error.API.UnsupportedMediaType.Description"));
}

QString LocalizationController::erAPIUnsupportedMediaTypeFailureReason() const {
    return localizedString(QStringLiteral("Error.API.UnsupportedMediaType.FailureReason"));
}

QString LocalizationController::erAPIUnsupportedMediaTypeRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.UnsupportedMediaType.RecoverySuggestion"));
}

QString LocalizationController::erAPIRequestedRangeNotSatisfiableDescription() const {
    return localizedString(QStringLiteral("Error.API.RequestedRangeNotSatisfiable.Description"));
}

QString LocalizationController::erAPIRequestedRangeNotSatisfiableFailureReason() const {
    return localizedString(QStringLiteral("Error.API.RequestedRangeNotSatisfiable.FailureReason"));
}

QString LocalizationController::erAPIRequestedRangeNotSatisfiableRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.RequestedRangeNotSatisfiable.RecoverySuggestion"));
}

QString LocalizationController::erAPIGoneDescription() const {
    return localizedString(QStringLiteral("Error.API.Gone.Description"));
}

QString LocalizationController::erAPIGoneFailureReason() const {
    return localizedString(QStringLiteral("Error.API.Gone.FailureReason"));
}

QString LocalizationController::erAPIGoneRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.Gone.RecoverySuggestion"));
}

QString LocalizationController::erAPIRequestEntityTooLargeDescription() const {
    return localizedString(QStringLiteral("Error.API.RequestEntityTooLarge.Description"));
}

QString LocalizationController::erAPIRequestEntityTooLargeFailureReason() const {
    return localizedString(QStringLiteral("Error.API.RequestEntityTooLarge.FailureReason"));
}

QString LocalizationController::erAPIRequestEntityTooLargeRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.RequestEntityTooLarge.RecoverySuggestion"));
}

QString LocalizationController::erAPIBadGatewayDescription() const {
    return localizedString(QStringLiteral("Error.API.BadGateway.Description"));
}

QString LocalizationController::erAPIBadGatewayFailureReason() const {
    return localizedString(QStringLiteral("Error.API.BadGateway.FailureReason"));
}

QString LocalizationController::erAPIBadGatewayRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.BadGateway.RecoverySuggestion"));
}

QString LocalizationController::erAPIServiceUnavailableDescription() const {
    return localizedString(QStringLiteral("Error.API.ServiceUnavailable.Description"));
}

QString LocalizationController::erAPIServiceUnavailableFailureReason() const {
    return localizedString(QStringLiteral("Error.API.ServiceUnavailable.FailureReason"));
}

QString LocalizationController::erAPIServiceUnavailableRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.ServiceUnavailable.RecoverySuggestion"));
}

QString LocalizationController::erAPIGatewayTimeoutDescription() const {
    return localizedString(QStringLiteral("Error.API.GatewayTimeout.Description"));
}

QString LocalizationController::erAPIGatewayTimeoutFailureReason() const {
    return localizedString(QStringLiteral("Error.API.GatewayTimeout.FailureReason"));
}

QString LocalizationController::erAPIGatewayTimeoutRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.GatewayTimeout.RecoverySuggestion"));
}

QString LocalizationController::erAPIInsufficientStorageDescription() const {
    return localizedString(QStringLiteral("Error.API.InsufficientStorage.Description"));
}

QString LocalizationController::erAPIInsufficientStorageFailureReason() const {
    return localizedString(QStringLiteral("Error.API.InsufficientStorage.FailureReason"));
}

QString LocalizationController::erAPIInsufficientStorageRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.API.InsufficientStorage.RecoverySuggestion"));
}

QString LocalizationController::erAPIBvNotAuthorizedDescription() const { return QString(); }

QString LocalizationController::erBusGenericDescription() const {
    return localizedString(QStringLiteral("Error.Business.Generic.Description"));
}

QString LocalizationController::erBusGenericFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.Generic.FailureReason"));
}

QString LocalizationController::erBusGenericRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.Generic.RecoverySuggestion"));
}

QString LocalizationController::erBusDirectoryNameEmptyDescription() const {
    return localizedString(QStringLiteral("Error.Business.DirectoryNameEmpty.Description"));
}

QString LocalizationController::erBusDirectoryNameEmptyFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.DirectoryNameEmpty.FailureReason"));
}

QString LocalizationController::erBusDirectoryNameEmptyRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.DirectoryNameEmpty.RecoverySuggestion"));
}

QString LocalizationController::erBusInvalidDataDescription() const {
    return localizedString(QStringLiteral("Error.Business.InvalidData.Description"));
}

QString LocalizationController::erBusInvalidDataFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.InvalidData.FailureReason"));
}

QString LocalizationController::erBusInvalidDataRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.InvalidData.RecoverySuggestion"));
}

QString LocalizationController::erBusFormatErrorDescription() const {
    return localizedString(QStringLiteral("Error.Business.FormatError.Description"));
}

QString LocalizationController::erBusFormatErrorFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.FormatError.FailureReason"));
}

QString LocalizationController::erBusFormatErrorRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.FormatError.RecoverySuggestion"));
}

QString LocalizationController::erBusUnableToDownloadDescription() const {
    return localizedString(QStringLiteral("Error.Business.UnableToDownload.Description"));
}

QString LocalizationController::erBusUnableToDownloadFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.UnableToDownload.FailureReason"));
}

QString LocalizationController::erBusUnableToDownloadRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.UnableToDownload.RecoverySuggestion"));
}

QString LocalizationController::erBusNoConnectionDescription() const {
    return localizedString(QStringLiteral("Error.Business.NoConnection.Description"));
}

QString LocalizationController::erBusNoConnectionFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.NoConnection.FailureReason"));
}

QString LocalizationController::erBusNoConnectionRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.NoConnection.RecoverySuggestion"));
}

QString LocalizationController::erBusUnableToSaveDescription() const {
    return localizedString(QStringLiteral("Error.Business.UnableToSave.Description"));
}

QString LocalizationController::erBusUnableToSaveFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.UnableToSave.FailureReason"));
}

QString LocalizationController::erBusUnableToSaveRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.UnableToSave.RecoverySuggestion"));
}

QString LocalizationController::erBusDirectoryUnknownDescription() const {
    return localizedString(QStringLiteral("Error.Business.DirectoryUnknown.Description"));
}

QString LocalizationController::erBusDirectoryUnknownFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.DirectoryUnknown.FailureReason"));
}

QString LocalizationController::erBusDirectoryUnknownRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.DirectoryUnknown.RecoverySuggestion"));
}

QString LocalizationController::erBusSetupDescription() const {
    return localizedString(QStringLiteral("Error.Business.Setup.Description"));
}

QString LocalizationController::erBusSetupFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.Setup.FailureReason"));
}

QString LocalizationController::erBusSetupRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.Setup.RecoverySuggestion"));
}

QString LocalizationController::erBusUnavailableFeatureForEncryptedItemDescription() const {
    return localizedString(QStringLiteral("Error.Business.UnavailableFeatureForEncryptedItem.Description"));
}

QString LocalizationController::erBusUnavailableFeatureForEncryptedItemFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.UnavailableFeatureForEncryptedItem.FailureReason"));
}

QString LocalizationController::erBusUnavailableFeatureForEncryptedItemRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.UnavailableFeatureForEncryptedItem.RecoverySuggestion"));
}

QString LocalizationController::erBusCryptoErrorDescription() const {
    return localizedString(QStringLiteral("Error.Business.CryptoError.Description"));
}

QString LocalizationController::erBusCryptoErrorFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.CryptoError.FailureReason"));
}

QString LocalizationController::erBusCryptoErrorRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.CryptoError.RecoverySuggestion"));
}

QString LocalizationController::erBusPasswordNeededDescription() const {
    return localizedString(QStringLiteral("Error.Business.PasswordNeeded.Description"));
}

QString LocalizationController::erBusPasswordNeededFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.PasswordNeeded.FailureReason"));
}

QString LocalizationController::erBusPasswordNeededRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.PasswordNeeded.RecoverySuggestion"));
}

QString LocalizationController::erBusUnfulfilledRequirementDescription() const {
    return localizedString(QStringLiteral("Error.Business.UnfulfilledRequirement.Description"));
}

QString LocalizationController::erBusUnfulfilledRequirementFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.UnfulfilledRequirement.FailureReason"));
}

QString LocalizationController::erBusUnfulfilledRequirementRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.UnfulfilledRequirement.RecoverySuggestion"));
}

QString LocalizationController::erBusContactsAccessDeniedDescription() const {
    return localizedString(QStringLiteral("Error.Business.ContactsAccessDenied.Description"));
}

QString LocalizationController::erBusContactsAccessDeniedFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.ContactsAccessDenied.FailureReason"));
}

QString LocalizationController::erBusContactsAccessDeniedRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.ContactsAccessDenied.RecoverySuggestion"));
}

QString LocalizationController::erBusTimeoutDescription() const {
    return localizedString(QStringLiteral("Error.Business.Timeout.Description"));
}

QString LocalizationController::erBusTimeoutFailureReason() const {
    return localizedString(QStringLiteral("Error.Business.Timeout.FailureReason"));
}

QString LocalizationController::erBusTimeoutRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.Timeout.RecoverySuggestion"));
}

QString LocalizationController::erBusPhotosAccessDeniedDescription() const {
    return localizedString(QStringLiteral("Error.Business.PhotosAccessDenied.Description"));
}

QString LocalizationController::erBusPhotosAccessDeniedRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.PhotosAccessDenied.RecoverySuggestion"));
}

QString LocalizationController::erBusCalendarsAccessDeniedDescription() const {
    return localizedString(QStringLiteral("Error.Business.CalendarsAccessDenied.Description"));
}

QString LocalizationController::erBusCalendarsAccessDeniedRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Business.CalendarsAccessDenied.RecoverySuggestion"));
}

QString LocalizationController::erUplGenericDescription() const {
    return localizedString(QStringLiteral("Error.Upload.Generic.Description"));
}

QString LocalizationController::erUplGenericFailureReason() const {
    return localizedString(QStringLiteral("Error.Upload.Generic.FailureReason"));
}

QString LocalizationController::erUplGenericRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Upload.Generic.RecoverySuggestion"));
}

QString LocalizationController::erUplAlreadyAddedDescription() const {
    return localizedString(QStringLiteral("Error.Upload.AlreadyAdded.Description"));
}

QString LocalizationController::erUplAlreadyAddedFailureReason() const {
    return localizedString(QStringLiteral("Error.Upload.AlreadyAdded.FailureReason"));
}

QString LocalizationController::erUplAlreadyAddedRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Upload.AlreadyAdded.RecoverySuggestion"));
}

QString LocalizationController::erUplNotFoundDescription() const {
    return localizedString(QStringLiteral("Error.Upload.NotFound.Description"));
}

QString LocalizationController::erUplNotFoundFailureReason() const {
    return localizedString(QStringLiteral("Error.Upload.NotFound.FailureReason"));
}

QString LocalizationController::erUplNotFoundRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Upload.NotFound.RecoverySuggestion"));
}

QString LocalizationController::erUplInvalidStatusDescription() const {
    return localizedString(QStringLiteral("Error.Upload.InvalidStatus.Description"));
}

QString LocalizationController::erUplInvalidStatusFailureReason() const {
    return localizedString(QStringLiteral("Error.Upload.InvalidStatus.FailureReason"));
}

QString LocalizationController::erUplInvalidStatusRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Upload.InvalidStatus.RecoverySuggestion"));
}

QString LocalizationController::erUplUnexpectedSituationDescription() const {
    return localizedString(QStringLiteral("Error.Upload.UnexpectedSituation.Description"));
}

QString LocalizationController::erUplUnexpectedSituationFailureReason() const {
    return localizedString(QStringLiteral("Error.Upload.UnexpectedSituation.FailureReason"));
}

QString LocalizationController::erUplUnexpectedSituationRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Upload.UnexpectedSituation.RecoverySuggestion"));
}

QString LocalizationController::erStoInvalidRootNodeDescription() const {
    return localizedString(QStringLiteral("Error.Store.InvalidRootNode.Description"));
}

QString LocalizationController::erStoInvalidRootNodeFailureReason() const {
    return localizedString(QStringLiteral("Error.Store.InvalidRootNode.FailureReason"));
}

QString LocalizationController::erStoInvalidRootNodeRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Store.InvalidRootNode.RecoverySuggestion"));
}

QString LocalizationController::erSynInsufficientLocalStorageDescription() const {
    return localizedString(QStringLiteral("Error.Sync.InsufficientLocalStorage.Description"));
}

QString LocalizationController::erSynInsufficientLocalStorageFailureReason() const {
    return localizedString(QStringLiteral("Error.Sync.InsufficientLocalStorage.FailureReason"));
}

QString LocalizationController::erSynInsufficientLocalStorageRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Sync.InsufficientLocalStorage.RecoverySuggestion"));
}

QString LocalizationController::erSynInsufficientRemoteStorageDescription() const {
    return localizedString(QStringLiteral("Error.Sync.InsufficientRemoteStorage.Description"));
}

QString LocalizationController::erSynInsufficientRemoteStorageFailureReason() const {
    return localizedString(QStringLiteral("Error.Sync.InsufficientRemoteStorage.FailureReason"));
}

QString LocalizationController::erSynInsufficientRemoteStorageRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Sync.InsufficientRemoteStorage.RecoverySuggestion"));
}

QString LocalizationController::erSynItemIsReadonlyOnLocalFSDescription() const {
    return localizedString(QStringLiteral("Error.Sync.ItemIsReadonlyOnLocalFS.Description"));
}

QString LocalizationController::erSynItemIsReadonlyOnLocalFSFailureReason() const {
    return localizedString(QStringLiteral("Error.Sync.ItemIsReadonlyOnLocalFS.FailureReason"));
}

QString LocalizationController::erSynItemIsReadonlyOnLocalFSRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Sync.ItemIsReadonlyOnLocalFS.RecoverySuggestion"));
}

QString LocalizationController::erSynItemIsReadonlyOnRemoteDescription() const {
    return localizedString(QStringLiteral("Error.Sync.ItemIsReadonlyOnRemote.Description"));
}

QString LocalizationController::erSynItemIsReadonlyOnRemoteFailureReason() const {
    return localizedString(QStringLiteral("Error.Sync.ItemIsReadonlyOnRemote.FailureReason"));
}

QString LocalizationController::erSynItemIsReadonlyOnRemoteRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Sync.ItemIsReadonlyOnRemote.RecoverySuggestion"));
}

QString LocalizationController::erSynItemIsInReadonlyDirectoryDescription() const {
    return localizedString(QStringLiteral("Error.Sync.ItemIsInReadonlyDirectory.Description"));
}

QString LocalizationController::erSynItemIsInReadonlyDirectoryFailureReason() const {
    return localizedString(QStringLiteral("Error.Sync.ItemIsInReadonlyDirectory.FailureReason"));
}

QString LocalizationController::erSynItemIsInReadonlyDirectoryRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Sync.ItemIsInReadonlyDirectory.RecoverySuggestion"));
}

QString LocalizationController::erSynRootDirectoryNotFoundDescription() const {
    return localizedString(QStringLiteral("Error.Sync.RootDirectoryNotFound.Description"));
}

QString LocalizationController::erSynRootDirectoryNotFoundFailureReason() const {
    return localizedString(QStringLiteral("Error.Sync.RootDirectoryNotFound.FailureReason"));
}

QString LocalizationController::erSynRootDirectoryNotFoundRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Sync.RootDirectoryNotFound.RecoverySuggestion"));
}

QString LocalizationController::erSynTooManyRepeatedUploadsDescription() const {
    return localizedString(QStringLiteral("Error.Sync.TooManyRepeatedUploads.Description"));
}

QString LocalizationController::erSynSetupFailureDescription() const {
    return localizedString(QStringLiteral("Error.Sync.SetupFailure.Description"));
}

QString LocalizationController::erSynSetupFailureFailureReason() const {
    return localizedString(QStringLiteral("Error.Sync.SetupFailure.FailureReason"));
}

QString LocalizationController::erSynSetupFailureRecoverySuggestion() const {
    return localizedString(QStringLiteral("Error.Sync.SetupFailure.RecoverySuggestion"));
}

#define ORVELLA_TEXT(name, key) \
    Getter { QStringLiteral(#name), QStringLiteral(key), &LocalizationController::name }

const std::vector<LocalizationController::Getter>& LocalizationController::getters() {
    static const std::vector<Getter> table = {
        ORVELLA_TEXT(appPromptSendCrashReportsTitle, "App.Prompt.SendCrashReports.Title"),
        ORVELLA_TEXT(appPromptSendCrashReportsInformative, "App.Prompt.SendCrashReports.Informative"),
        ORVELLA_TEXT(appPromptSendCrashReportsYes, "App.Prompt.SendCrashReports.Yes"),
        ORVELLA_TEXT(appPromptSendCrashReportsNo, "App.Prompt.SendCrashReports.No"),
        ORVELLA_TEXT(mbMenuItemSignedOut, "MenuBar.MenuItem.SignedOut"),
        ORVELLA_TEXT(mbMenuItemSignedIn, "MenuBar.MenuItem.SignedIn"),
        ORVELLA_TEXT(mbMenuItemSignIn, "MenuBar.MenuItem.SignIn"),
        ORVELLA_TEXT(mbMenuItemBackupPreferences, "MenuBar.MenuItem.BackupPreferences"),
        ORVELLA_TEXT(mbMenuItemOpenFolder, "MenuBar.MenuItem.OpenFolder"),
        ORVELLA_TEXT(mbMenuItemOpenWebsite, "MenuBar.MenuItem.OpenWebsite"),
        ORVELLA_TEXT(mbMenuItemOpenWebsiteURL, "MenuBar.MenuItem.OpenWebsiteURL"),
        ORVELLA_TEXT(mbMenuItemShowSharedItems, "MenuBar.MenuItem.ShowSharedItems"),
        ORVELLA_TEXT(mbMenuItemStartSync, "MenuBar.MenuItem.StartSync"),
        ORVELLA_TEXT(mbMenuItemPauseSync, "MenuBar.MenuItem.PauseSync"),
        ORVELLA_TEXT(mbMenuItemBackUpNow, "MenuBar.MenuItem.BackUpNow"),
        ORVELLA_TEXT(mbMenuItemSkipThisBackup, "MenuBar.MenuItem.SkipThisBackup"),
        ORVELLA_TEXT(mbMenuItemCheckForUpdates, "MenuBar.MenuItem.CheckForUpdates"),
        ORVELLA_TEXT(mbMenuItemPreferences, "MenuBar.MenuItem.Preferences"),
        ORVELLA_TEXT(mbMenuItemHelp, "MenuBar.MenuItem.Help"),
        ORVELLA_TEXT(mbMenuItemConnectionDoctor, "MenuBar.MenuItem.ConnectionDoctor"),
        ORVELLA_TEXT(mbMenuItemCreateErrorReport, "MenuBar.MenuItem.CreateErrorReport"),
        ORVELLA_TEXT(mbMenuItemCreateErrorReportAlertTitle, "MenuBar.MenuItem.CreateErrorReport.AlertTitle"),
        ORVELLA_TEXT(mbMenuItemCreateErrorReportAlertMessage, "MenuBar.MenuItem.CreateErrorReport.AlertMessage"),
        ORVELLA_TEXT(mbMenuItemCreateErrorReportAlertCreateButton, "MenuBar.MenuItem.CreateErrorReport.AlertCreateButton"),
        ORVELLA_TEXT(mbMenuItemCreateErrorReportAlertCancelButton, "MenuBar.MenuItem.CreateErrorReport.AlertCancelButton"),
        ORVELLA_TEXT(mbMenuItemQuit, "MenuBar.MenuItem.Quit"),
        ORVELLA_TEXT(mbMenuItemLatestBackup, "MenuBar.MenuItem.LatestBackup"),
        ORVELLA_TEXT(mbMenuItemNextBackup, "MenuBar.MenuItem.NextBackup"),
        ORVELLA_TEXT(mbMenuItemDownloadQueueCount, "MenuBar.MenuItem.DownloadQueueCount"),
        ORVELLA_TEXT(mbMenuItemDownloadQueueCountDetailsNotAvailable, "MenuBar.MenuItem.DownloadQueueCountDetailsNotAvailable"),
        ORVELLA_TEXT(mbMenuItemUploadQueueCount, "MenuBar.MenuItem.UploadQueueCount"),
        ORVELLA_TEXT(mbMenuItemUploadQueueCountDetailsNotAvailable, "MenuBar.MenuItem.UploadQueueCountDetailsNotAvailable"),
        ORVELLA_TEXT(mbMenuItemSyncStatusDisconnected, "MenuBar.MenuItem.SyncStatusDisconnected"),
        ORVELLA_TEXT(mbMenuItemSyncStatusConnecting, "MenuBar.MenuItem.SyncStatusConnecting"),
        ORVELLA_TEXT(mbMenuItemSyncStatusRetrying, "MenuBar.MenuItem.SyncStatusRetrying"),
        ORVELLA_TEXT(mbMenuItemSyncStatusConnected, "MenuBar.MenuItem.SyncStatusConnected"),
        ORVELLA_TEXT(mbMenuItemSyncStatusPaused, "MenuBar.MenuItem.SyncStatusPaused"),
        ORVELLA_TEXT(mbMenuItemSyncStatusUpToDate, "MenuBar.MenuItem.SyncStatusUpToDate"),
        ORVELLA_TEXT(mbMenuItemSyncStatusPreparing, "MenuBar.MenuItem.SyncStatusPreparing"),
        ORVELLA_TEXT(mbMenuItemSyncStatusSyncingGeneral, "MenuBar.MenuItem.SyncStatusSyncingGeneral"),
        ORVELLA_TEXT(mbMenuItemSyncStatusFinishing, "MenuBar.MenuItem.SyncStatusFinishing"),
        ORVELLA_TEXT(mbMenuItemSyncStatusSyncing, "MenuBar.MenuItem.SyncStatusSyncing"),
        ORVELLA_TEXT(mbMenuItemSyncStatusError, "MenuBar.MenuItem.SyncStatusError"),
        ORVELLA_TEXT(mbMenuItemOneItemNotSynchronized, "MenuBar.MenuItem.OneItemNotSynchronized"),
        ORVELLA_TEXT(mbMenuItemMultipleItemsNotSynchronized, "MenuBar.MenuItem.MultipleItemsNotSynchronized"),
        ORVELLA_TEXT(mbMenuItemDebug, "MenuBar.MenuItem.Debug"),
        ORVELLA_TEXT(mbMenuItemDebugQuitAndResetToFactorySettings, "MenuBar.MenuItem.DebugQuitAndResetToFactorySettings"),
        ORVELLA_TEXT(mbAlertResetFactorySettingsMessage, "MenuBar.Alert.ResetFactorySettingsMessage"),
        ORVELLA_TEXT(mbAlertResetFactorySettingsInformative, "MenuBar.Alert.ResetFactorySettingsInformative"),
        ORVELLA_TEXT(mbAlertButtonResetFactorySettingsCancel, "MenuBar.AlertButton.ResetFactorySettingsCancel"),
        ORVELLA_TEXT(mbAlertButtonResetFactorySettingsQuitAndDelete, "MenuBar.AlertButton.ResetFactorySettingsQuitAndDelete"),
        ORVELLA_TEXT(unBackupCancelledTitle, "UserNotification.Backup.CancelledTitle"),
        ORVELLA_TEXT(unBackupCancelledInformative, "UserNotification.Backup.CancelledInformative"),
        ORVELLA_TEXT(unBackupPreviewTitle, "UserNotification.Backup.PreviewTitle"),
        ORVELLA_TEXT(unBackupPreviewInformative, "UserNotification.Backup.PreviewInformative"),
        ORVELLA_TEXT(unBackupStartedTitle, "UserNotification.Backup.StartedTitle"),
        ORVELLA_TEXT(unBackupStartedInformative, "UserNotification.Backup.StartedInformative"),
        ORVELLA_TEXT(unBackupFinishedTitle, "UserNotification.Backup.FinishedTitle"),
        ORVELLA_TEXT(unBackupFinishedInformative, "UserNotification.Backup.FinishedInformative"),
        ORVELLA_TEXT(unBackupErrorTitle, "UserNotification.Backup.ErrorTitle"),
        ORVELLA_TEXT(unSyncSyncedTitle, "UserNotification.Sync.SyncedTitle"),
        ORVELLA_TEXT(unSyncSyncedInformative, "UserNotification.Sync.SyncedInformative"),
        ORVELLA_TEXT(unSyncPreparingTitle, "UserNotification.Sync.PreparingTitle"),
        ORVELLA_TEXT(unSyncPreparingInformative, "UserNotification.Sync.PreparingInformative"),
        ORVELLA_TEXT(unSyncErrorTitle, "UserNotification.Sync.ErrorTitle"),
        ORVELLA_TEXT(unSyncUpsellTitle, "UserNotification.Sync.UpsellTitle"),
        ORVELLA_TEXT(unSyncUpsellInformative, "UserNotification.Sync.UpsellInformative"),
        ORVELLA_TEXT(unSyncUpsellURL, "UserNotification.Sync.UpsellURL"),
        ORVELLA_TEXT(unSyncEventSystemFolderMoveActionRevertTitle, "UserNotification.SyncEvent.SystemFolder.MoveActionRevertedTitle"),
        ORVELLA_TEXT(unSyncEventSystemFolderMoveActionRevertInformative, "UserNotification.SyncEvent.SystemFolder.MoveActionRevertedInformative"),
        ORVELLA_TEXT(unSyncEventRegularItemMoveActionRevertTitle, "UserNotification.SyncEvent.RegularItem.MoveActionRevertedTitle"),
        ORVELLA_TEXT(unSyncEventRegularItemMoveActionRevertInformative, "UserNotification.SyncEvent.RegularItem.MoveActionRevertedInformative"),
        ORVELLA_TEXT(unSyncEventTeamfolderAccessGrantedTitle, "UserNotification.SyncEvent.Teamfolder.AccessGrantedTitle"),
        ORVELLA_TEXT(unSyncEventTeamfolderAccessGrantedInformative, "UserNotification.SyncEvent.Teamfolder.AccessGrantedInformative"),
        ORVELLA_TEXT(unSyncEventTeamfolderAccessRemovedTitle, "UserNotification.SyncEvent.Teamfolder.AccessRemovedTitle"),
        ORVELLA_TEXT(unSyncEventTeamfolderAccessRemovedInformative, "UserNotification.SyncEvent.Teamfolder.AccessRemovedInformative"),
        ORVELLA_TEXT(obWindowTitleWelcome, "Onboarding.WindowTitle.Welcome"),
        ORVELLA_TEXT(obButtonContinue, "Onboarding.Button.Continue"),
        ORVELLA_TEXT(obButtonGoBack, "Onboarding.Button.GoBack"),
        ORVELLA_TEXT(obAlertSignInMessage, "Onboarding.Alert.SignInMessage"),
        ORVELLA_TEXT(obAlertSignInInformative, "Onboarding.Alert.SignInInformative"),
        ORVELLA_TEXT(obAlertButtonSignInCancel, "Onboarding.AlertButton.SignInCancel"),
        ORVELLA_TEXT(obAlertButtonSignInAgain, "Onboarding.AlertButton.SignInAgain"),
        ORVELLA_TEXT(obLabelWelcomeMessage, "Onboarding.Label.WelcomeMessage"),
        ORVELLA_TEXT(obLabelWelcomeInformative, "Onboarding.Label.WelcomeInformative"),
        ORVELLA_TEXT(obButtonSignIn, "Onboarding.Button.SignIn"),
        ORVELLA_TEXT(obLabelTitle1, "Onboarding.Label.Title.1"),
        ORVELLA_TEXT(obLabelSubtitle1, "Onboarding.Label.Subtitle.1"),
        ORVELLA_TEXT(obLabelTitle2, "Onboarding.Label.Title.2"),
        ORVELLA_TEXT(obLabelSubtitle2, "Onboarding.Label.Subtitle.2"),
        ORVELLA_TEXT(obLabelTitle3, "Onboarding.Label.Title.3"),
        ORVELLA_TEXT(obLabelSubtitle3, "Onboarding.Label.Subtitle.3"),
        ORVELLA_TEXT(obLabelRootSyncSelectionTitle, "Onboarding.Label.RootSyncSelectionTitle"),
        ORVELLA_TEXT(obLabelRootSyncSelectionSubtitle, "Onboarding.Label.RootSyncSelectionSubtitle"),
        ORVELLA_TEXT(obLabelRootSyncSelectionFolderLocation, "Onboarding.Label.RootSyncSelectionFolderLocation"),
        ORVELLA_TEXT(obAlertMoveSyncFolderMessage, "Onboarding.Alert.MoveSyncFolderMessage"),
        ORVELLA_TEXT(obAlertMoveSyncFolderInformative, "Onboarding.Alert.MoveSyncFolderInformative"),
        ORVELLA_TEXT(obAlertButtonMoveSyncFolderCancel, "Onboarding.AlertButton.MoveSyncFolderCancel"),
        ORVELLA_TEXT(obAlertButtonMoveSyncFolderMove, "Onboarding.AlertButton.MoveSyncFolderMove"),
        ORVELLA_TEXT(obLabelSelectiveSyncTitle, "Onboarding.Label.SelectiveSyncTitle"),
        ORVELLA_TEXT(obLabelSelectiveSyncSubtitle, "Onboarding.Label.SelectiveSyncSubtitle"),
        ORVELLA_TEXT(obMenuItemOtherFolder, "Onboarding.MenuItem.OtherFolder"),
        ORVELLA_TEXT(obAlertMoveApplicationMessage, "Onboarding.Alert.MoveApplicationMessage"),
        ORVELLA_TEXT(obAlertMoveApplicationInformative, "Onboarding.Alert.MoveApplicationInformative"),
        ORVELLA_TEXT(obAlertButtonMoveApplicationDoNotMove, "Onboarding.AlertButton.MoveApplicationDoNotMove"),
        ORVELLA_TEXT(obAlertButtonMoveApplicationMoveToApplicationsFolder, "Onboarding.AlertButton.MoveApplicationMoveToApplicationsFolder"),
        ORVELLA_TEXT(obBvNoLongerAuthorizedURL, ""),
        ORVELLA_TEXT(brLabelDescription, "BackupRestore.Label.Description"),
        ORVELLA_TEXT(brCheckBoxBackUpAutomatically, "BackupRestore.CheckBox.BackUpAutomatically"),
        ORVELLA_TEXT(brButtonConfigureBackup, "BackupRestore.Button.ConfigureBackup"),
        ORVELLA_TEXT(brLabelBackupItems, "BackupRestore.Label.Items"),
        ORVELLA_TEXT(brLabelLatestBackup, "BackupRestore.Label.LatestBackup"),
        ORVELLA_TEXT(brLabelLatestBackupFailed, "BackupRestore.Label.LatestBackupFailed"),
        ORVELLA_TEXT(brLabelLatestBackupSkipped, "BackupRestore.Label.LatestBackupSkipped"),
        ORVELLA_TEXT(brLabelNextBackup, "BackupRestore.Label.NextBackup"),
        ORVELLA_TEXT(brLabelSkipping, "BackupRestore.Label.Skipping"),
        ORVELLA_TEXT(brLabelBackupDateFailed, "BackupRestore.Label.BackupDateFailed"),
        ORVELLA_TEXT(brLabelBackupDateSkipped, "BackupRestore.Label.BackupDateSkipped"),
        ORVELLA_TEXT(brButtonRestoreBackup, "BackupRestore.Button.RestoreBackup"),
        ORVELLA_TEXT(brButtonStartBackup, "BackupRestore.Button.StartBackup"),
        ORVELLA_TEXT(brButtonCancelBackup, "BackupRestore.Button.CancelBackup"),
        ORVELLA_TEXT(brButtonHelpURL, "BackupRestore.Button.HelpURL"),
        ORVELLA_TEXT(brLabelBackupName, "BackupRestore.Label.BackupName"),
        ORVELLA_TEXT(brTextFieldBackupNameSuffix, "BackupRestore.TextField.BackupNameSuffix"),
        ORVELLA_TEXT(brLabelScheduleDailyAt, "BackupRestore.Label.ScheduleDailyAt"),
        ORVELLA_TEXT(brLabelBackupAutomatically, "BackupRestore.Label.BackupAutomatically"),
        ORVELLA_TEXT(brCheckBoxPhotos, "BackupRestore.CheckBox.Photos"),
        ORVELLA_TEXT(brCheckBoxToolTipPhotos, "BackupRestore.CheckBoxToolTip.Photos"),
        ORVELLA_TEXT(brCheckBoxVideos, "BackupRestore.CheckBox.Videos"),
        ORVELLA_TEXT(brCheckBoxCalendars, "BackupRestore.CheckBox.Calendars"),
        ORVELLA_TEXT(brCheckBoxToolTipVideos, "BackupRestore.CheckBoxToolTip.Videos"),
        ORVELLA_TEXT(brCheckBoxContacts, "BackupRestore.CheckBox.Contacts"),
        ORVELLA_TEXT(brCheckBoxToolTipContacts, "BackupRestore.CheckBoxToolTip.Contacts"),
        ORVELLA_TEXT(brCheckBoxToolTipCalendars, "BackupRestore.CheckBoxToolTip.Calendars"),
        ORVELLA_TEXT(brLabelOptions, "BackupRestore.Label.Options"),
        ORVELLA_TEXT(brCheckBoxKeepDeletedItems, "BackupRestore.CheckBox.KeepDeletedItems"),
        ORVELLA_TEXT(brCheckBoxToolTipKeepDeletedItems, "BackupRestore.CheckBoxToolTip.KeepDeletedItems"),
        ORVELLA_TEXT(brCheckBoxShowBackupWarnings, "BackupRestore.CheckBox.ShowBackupWarnings"),
        ORVELLA_TEXT(brCheckBoxImmediatelyStartBackup, "BackupRestore.CheckBox.ImmediatelyStartBackup"),
        ORVELLA_TEXT(brCheckBoxToolTipImmediatelyStartBackup, "BackupRestore.CheckBoxToolTip.ImmediatelyStartBackup"),
        ORVELLA_TEXT(brButtonDone, "BackupRestore.Button.Done"),
        ORVELLA_TEXT(brAlertWrongBackupNameMessage, "BackupRestore.Alert.WrongBackupNameMessage"),
        ORVELLA_TEXT(brAlertWrongBackupNameInformative, "BackupRestore.Alert.WrongBackupNameInformative"),
        ORVELLA_TEXT(brAlertWrongBackupNameOK, "BackupRestore.Alert.WrongBackupNameOK"),
        ORVELLA_TEXT(brAlertBackupContentRemovedMessage, "BackupRestore.Alert.BackupContentRemovedMessage"),
        ORVELLA_TEXT(brAlertBackupContentRemovedInformative, "BackupRestore.Alert.BackupContentRemovedInformative"),
        ORVELLA_TEXT(brAlertBackupContentRemovedOK, "BackupRestore.Alert.BackupContentRemovedOK"),
        ORVELLA_TEXT(brAlertBackupContentRemovedCancel, "BackupRestore.Alert.BackupContentRemovedCancel"),
        ORVELLA_TEXT(brLabelBackingUp, "BackupRestore.Label.BackingUp"),
        ORVELLA_TEXT(brLabelBackupPreviewProgress, "BackupRestore.Label.PreviewProgress"),
        ORVELLA_TEXT(brLabelBackupProgress, "BackupRestore.Label.BackupProgress"),
        ORVELLA_TEXT(brAlertSkipBackupMessage, "BackupRestore.Alert.SkipBackupMessage"),
        ORVELLA_TEXT(brAlertSkipBackupInformative, "BackupRestore.Alert.SkipBackupInformative"),
        ORVELLA_TEXT(brAlertButtonCancel, "BackupRestore.AlertButton.Cancel"),
        ORVELLA_TEXT(brAlertButtonSkipBackup, "BackupRestore.AlertButton.SkipBackup"),
        ORVELLA_TEXT(brAlertPreBackupCalendarsAccessDeniedInformative, "BackupRestore.Alert.PreBackupCalendarsAccessDenied.Informative"),
        ORVELLA_TEXT(brAlertPreBackupCalendarsAccessDeniedMessage, "BackupRestore.Alert.PreBackupCalendarsAccessDenied.Message"),
        ORVELLA_TEXT(brAlertPreBackupContactsAccessDeniedInformative, "BackupRestore.Alert.PreBackupContactsAccessDenied.Informative"),
        ORVELLA_TEXT(brAlertPreBackupContactsAccessDeniedMessage, "BackupRestore.Alert.PreBackupContactsAccessDenied.Message"),
        ORVELLA_TEXT(brAlertPreBackupPhotoLibraryAccessDeniedInformative, "BackupRestore.Alert.PreBackupPhotoLibraryAccessDenied.Informative"),
        ORVELLA_TEXT(brAlertPreBackupPhotoLibraryAccessDeniedMessage, "BackupRestore.Alert.PreBackupPhotoLibraryAccessDenied.Message"),
        ORVELLA_TEXT(brAlertButtonPreBackupPermissionDeniedCancel, "BackupRestore.AlertButton.PreBackupPermissionDenied.Cancel"),
        ORVELLA_TEXT(brAlertButtonPreBackupPermissionDeniedOpenSystemPreferences, "BackupRestore.AlertButton.PreBackupPermissionDenied.OpenSystemPreferences"),
        ORVELLA_TEXT(brWindowTitleRestoreBackup, "BackupRestore.WindowTitle.RestoreBackup"),
        ORVELLA_TEXT(brToolbarItemTitleRefresh, "BackupRestore.ToolbarItemTitle.Refresh"),
        ORVELLA_TEXT(brToolbarItemTitleOpenPhotos, "BackupRestore.ToolbarItemTitle.OpenPhotos"),
        ORVELLA_TEXT(brToolbarItemTitleOpenVideos, "BackupRestore.ToolbarItemTitle.OpenVideos"),
        ORVELLA_TEXT(brToolbarItemTitleOpenContacts, "BackupRestore.ToolbarItemTitle.OpenContacts"),
        ORVELLA_TEXT(brToolbarItemTitleOpenCalendars, "BackupRestore.ToolbarItemTitle.OpenCalendars"),
        ORVELLA_TEXT(brToolbarItemTitleRestoreBackup, "BackupRestore.ToolbarItemTitle.RestoreBackup"),
        ORVELLA_TEXT(brToolbarItemToolTipOpenPhotos, "BackupRestore.ToolbarItemToolTip.OpenPhotos"),
        ORVELLA_TEXT(brToolbarItemToolTipOpenVideos, "BackupRestore.ToolbarItemToolTip.OpenVideos"),
        ORVELLA_TEXT(brToolbarItemToolTipOpenContacts, "BackupRestore.ToolbarItemToolTip.OpenContacts"),
        ORVELLA_TEXT(brToolbarItemToolTipOpenCalendars, "BackupRestore.ToolbarItemToolTip.OpenCalendars"),
        ORVELLA_TEXT(brToolbarItemToolTipRestoreBackup, "BackupRestore.ToolbarItemToolTip.RestoreBackup"),
        ORVELLA_TEXT(brLabelDevices, "BackupRestore.Label.Devices"),
        ORVELLA_TEXT(brLabelSize, "BackupRestore.Label.Size"),
        ORVELLA_TEXT(brLabelBackupDate, "BackupRestore.Label.Date"),
        ORVELLA_TEXT(brLabelRestoreDescription, "BackupRestore.Label.RestoreDescription"),
        ORVELLA_TEXT(brLabelGenericRestoreProgress, "BackupRestore.Label.GenericRestoreProgress"),
        ORVELLA_TEXT(brLabelLoading, "BackupRestore.Label.Loading"),
        ORVELLA_TEXT(brLabelRestoreProgress, "BackupRestore.Label.RestoreProgress"),
        ORVELLA_TEXT(brLabelRestoring, "BackupRestore.Label.Restoring"),
        ORVELLA_TEXT(brButtonCancel, "BackupRestore.Button.Cancel"),
        ORVELLA_TEXT(brButtonRestore, "BackupRestore.Button.RestoreRestore"),
        ORVELLA_TEXT(brButtonRestoreHelpURL, "BackupRestore.Button.RestoreHelpURL"),
        ORVELLA_TEXT(brLabelSuccessfullyRestored, "BackupRestore.Label.SuccessfullyRestored"),
        ORVELLA_TEXT(brButtonOpenPhotos, "BackupRestore.Button.OpenPhotos"),
        ORVELLA_TEXT(brButtonOpenVideos, "BackupRestore.Button.OpenVideos"),
        ORVELLA_TEXT(brButtonOpenContacts, "BackupRestore.Button.OpenContacts"),
        ORVELLA_TEXT(brButtonOpenCalendars, "BackupRestore.Button.OpenCalendars"),
        ORVELLA_TEXT(brAlertNotEnoughSpaceToBackupMessage, "BackupRestore.Alert.NotEnoughSpaceToBackupMessage"),
        ORVELLA_TEXT(brAlertNotEnoughSpaceToBackupInformative, "BackupRestore.Alert.NotEnoughSpaceToBackupInformative"),
        ORVELLA_TEXT(brAlertNotEnoughSpaceToRestoreMessage, "BackupRestore.Alert.NotEnoughSpaceToRestoreMessage"),
        ORVELLA_TEXT(brAlertNotEnoughSpaceToRestoreInformative, "BackupRestore.Alert.NotEnoughSpaceToRestoreInformative"),
        ORVELLA_TEXT(syAlertRestoreIncompleteMessage, "BackupRestore.Alert.RestoreIncompleteMessage"),
        ORVELLA_TEXT(syAlertRestoreIncompleteInformative, "BackupRestore.Alert.RestoreIncompleteInformative"),
        ORVELLA_TEXT(syAlertRestoreStillRunningMessage, "BackupRestore.Alert.RestoreStillRunningMessage"),
        ORVELLA_TEXT(syAlertRestoreStillRunningFromQuitInformative, "BackupRestore.Alert.RestoreStillRunningInformative"),
        ORVELLA_TEXT(syAlertRestoreStillRunningFromSignOutInformative, "BackupRestore.Alert.RestoreStillRunningFromSignOutInformative"),
        ORVELLA_TEXT(brLabelUpsellTitle, "BackupRestore.Label.UpsellTitle"),
        ORVELLA_TEXT(brLabelUpsellDescription, "BackupRestore.Label.UpsellDescription"),
        ORVELLA_TEXT(brButtonUpsellUpgradeNow, "BackupRestore.Button.UpsellUpgradeNow"),
        ORVELLA_TEXT(brButtonUpsellURL, "BackupRestore.Button.UpsellURL"),
        ORVELLA_TEXT(brButtonUpsellHelpURL, "BackupRestore.Button.UpsellHelpURL"),
        ORVELLA_TEXT(auMessageTitleInsufficientBackupStorage, "BackupRestore.Dialog.insufficientStorage.Title"),
        ORVELLA_TEXT(auMessageTextInsufficientBackupStorage, "BackupRestore.Dialog.insufficientStorage.Text"),
        ORVELLA_TEXT(prToolbarItemTitleGeneral, "Preferences.ToolbarItemTitle.General"),
        ORVELLA_TEXT(prToolbarItemTitleSync, "Preferences.ToolbarItemTitle.Sync"),
        ORVELLA_TEXT(prToolbarItemTitleEncryption, "Preferences.ToolbarItemTitle.Encryption"),
        ORVELLA_TEXT(prToolbarItemTitleBackup, "Preferences.ToolbarItemTitle.Backup"),
        ORVELLA_TEXT(prToolbarItemTitleImport, "Preferences.ToolbarItemTitle.Import"),
        ORVELLA_TEXT(prToolbarItemTitleUpdates, "Preferences.ToolbarItemTitle.Updates"),
        ORVELLA_TEXT(geLabelUserName, "General.Label.UserName"),
        ORVELLA_TEXT(geButtonSignIn, "General.Button.SignIn"),
        ORVELLA_TEXT(geButtonSignOut, "General.Button.SignOut"),
        ORVELLA_TEXT(geLabelStorageProvider, "General.Label.StorageProvider"),
        ORVELLA_TEXT(geLabelStorageDetailsNotAvailable, "General.Label.StorageDetailsNotAvailable"),
        ORVELLA_TEXT(geLabelStorageUsed, "General.Label.StorageUsed"),
        ORVELLA_TEXT(geCheckBoxOpenAutomaticallyOnLogin, "General.CheckBox.OpenAutomaticallyOnLogin"),
        ORVELLA_TEXT(geCheckBoxShowBadgesInFinder, "General.CheckBox.ShowBadgesInFinder"),
        ORVELLA_TEXT(geCheckBoxShareProductAnalytics, "General.CheckBox.ShareProductAnalytics"),
        ORVELLA_TEXT(geLabelPrivacyPolicy, "General.Label.PrivacyPolicy"),
        ORVELLA_TEXT(geLabelPrivacyPolicyURL, "General.Label.PrivacyPolicyURL"),
        ORVELLA_TEXT(geLabelLegal, "General.Label.Legal"),
        ORVELLA_TEXT(geLabelLegalURL, "General.Label.LegalURL"),
        ORVELLA_TEXT(geLabelAcknowledgments, "General.Label.Acknowledgments"),
        ORVELLA_TEXT(geLabelVersion, "General.Label.Version"),
        ORVELLA_TEXT(geButtonHelpURL, "General.Button.HelpURL"),
        ORVELLA_TEXT(shWindowTitleSharedItems, "Share.WindowTitle.SharedItems"),
        ORVELLA_TEXT(shToolbarItemTitleRefresh, "Share.ToolbarItemTitle.Refresh"),
        ORVELLA_TEXT(shToolbarItemTitleDelete, "Share.ToolbarItemTitle.Delete"),
        ORVELLA_TEXT(shToolbarItemTitleOpenInBrowser, "Share.ToolbarItemTitle.OpenInBrowser"),
        ORVELLA_TEXT(shToolbarItemTitleSendEmail, "Share.ToolbarItemTitle.SendEmail"),
        ORVELLA_TEXT(shToolbarItemTitleShareItem, "Share.ToolbarItemTitle.ShareItem"),
        ORVELLA_TEXT(shAlertDeleteShareMessage, "Share.Alert.DeleteShareMessage"),
        ORVELLA_TEXT(shAlertDeleteShareInformative, "Share.Alert.DeleteShareInformative"),
        ORVELLA_TEXT(shAlertDeleteShareCancel, "Share.Alert.DeleteShareCancel"),
        ORVELLA_TEXT(shAlertDeleteShareDelete, "Share.Alert.DeleteShareDelete"),
        ORVELLA_TEXT(shItemWindowTitleNewMessage, "ShareItem.WindowTitle.NewMessage"),
        ORVELLA_TEXT(shItemLabelShareViaEmail, "ShareItem.Label.ShareViaEmail"),
        ORVELLA_TEXT(shItemLabelSize, "ShareItem.Label.Size"),
        ORVELLA_TEXT(shItemLabelModified, "ShareItem.Label.Modified"),
        ORVELLA_TEXT(shItemLabelTo, "ShareItem.Label.To"),
        ORVELLA_TEXT(shItemLabelNoSharedItemsTitle, "ShareItem.Label.NoSharedItemsTitle"),
        ORVELLA_TEXT(shItemLabelNoSharedItemsDescription, "ShareItem.Label.NoSharedItemsDescription"),
        ORVELLA_TEXT(shItemButtonCancel, "ShareItem.Button.Cancel"),
        ORVELLA_TEXT(shItemButtonSend, "ShareItem.Button.Send"),
        ORVELLA_TEXT(shItemLabelLink, "ShareItem.Label.Link"),
        ORVELLA_TEXT(shItemButtonCopy, "ShareItem.Button.Copy"),
        ORVELLA_TEXT(shItemButtonShareAgain, "ShareItem.Button.ShareAgain"),
        ORVELLA_TEXT(shItemLabelShareAlreadyExpired, "ShareItem.Label.ShareAlreadyExpired"),
        ORVELLA_TEXT(shItemButtonAdvancedOptions, "ShareItem.Button.AdvancedOptions"),
        ORVELLA_TEXT(shItemLabelDaysValid, "ShareItem.Label.DaysValid"),
        ORVELLA_TEXT(shItemLabelMaximumDownloads, "ShareItem.Label.MaximumDownloads"),
        ORVELLA_TEXT(shItemMenuItemDaysValidUnlimited, "ShareItem.MenuItem.DaysValidUnlimited"),
        ORVELLA_TEXT(shItemMenuItemMaximumDownloadsUnlimited, "ShareItem.MenuItem.MaximumDownloadsUnlimited"),
        ORVELLA_TEXT(shItemCheckBoxWriteAccess, "ShareItem.CheckBox.WriteAccess"),
        ORVELLA_TEXT(shItemLabelWriteAccessDescription, "ShareItem.Label.WriteAccessDescription"),
        ORVELLA_TEXT(shItemButtonSetPassword, "ShareItem.Button.SetPassword"),
        ORVELLA_TEXT(shItemButtonChangePassword, "ShareItem.Button.ChangePassword"),
        ORVELLA_TEXT(shItemServiceSubjectDirectory, "ShareItem.Service.SubjectDirectory"),
        ORVELLA_TEXT(shItemServiceMessageBodyDirectory, "ShareItem.Service.MessageBodyDirectory"),
        ORVELLA_TEXT(shItemServiceSubjectFile, "ShareItem.Service.SubjectFile"),
        ORVELLA_TEXT(shItemServiceMessageBodyFile, "ShareItem.Service.MessageBodyFile"),
        ORVELLA_TEXT(shItemAlertMultipleItemsMessage, "ShareItem.Alert.MultipleItemsMessage"),
        ORVELLA_TEXT(shItemAlertMultipleItemsInformative, "ShareItem.Alert.MultipleItemsInformative"),
        ORVELLA_TEXT(shItemAlertOutsideSyncRootMessage, "ShareItem.Alert.OutsideSyncRootMessage"),
        ORVELLA_TEXT(shItemAlertOutsideSyncRootInformative, "ShareItem.Alert.OutsideSyncRootInformative"),
        ORVELLA_TEXT(shItemAlertRetryShareMessage, "ShareItem.Alert.RetryShareMessage"),
        ORVELLA_TEXT(shItemAlertRetryShareInformative, "ShareItem.Alert.RetryShareInformative"),
        ORVELLA_TEXT(shItemButtonRetryShareCancel, "ShareItem.Button.RetryShareCancel"),
        ORVELLA_TEXT(shItemButtonRetryShareRetry, "ShareItem.Button.RetryShareRetry"),
        ORVELLA_TEXT(shItemButtonOpenFolder, "ShareItem.Button.OpenFolder"),
        ORVELLA_TEXT(shItemLabelLoading, "ShareItem.Label.Loading"),
        ORVELLA_TEXT(shItemAlertNoInternetConnectionMessage, "ShareItem.Alert.NoInternetConnectionMessage"),
        ORVELLA_TEXT(shItemAlertNoInternetConnectionInformative, "ShareItem.Alert.NoInternetConnectionInformative"),
        ORVELLA_TEXT(shItemAlertForbiddenMessage, "ShareItem.Alert.ForbiddenMessage"),
        ORVELLA_TEXT(shItemAlertForbiddenInformative, "ShareItem.Alert.ForbiddenInformative"),
        ORVELLA_TEXT(shItemAlertUnableToShareNonSyncedItemMessage, "ShareItem.Alert.UnableToShareNonSyncedItemMessage"),
        ORVELLA_TEXT(shItemAlertUnableToShareNonSyncItemInformative, "ShareItem.Alert.UnableToShareNonSyncedItemInformative"),
        ORVELLA_TEXT(shItemAlertPathTooLongMessage, "ShareItem.Alert.PathTooLongMessage"),
        ORVELLA_TEXT(shItemAlertPathTooLongInformative, "ShareItem.Alert.PathTooLongInformative"),
        ORVELLA_TEXT(shItemAlertUnableToShareItemGenericMessage, "ShareItem.Alert.UnableToShareItemGenericMessage"),
        ORVELLA_TEXT(shItemAlertUnableToShareItemGenericInformative, "ShareItem.Alert.UnableToShareItemGenericInformative"),
        ORVELLA_TEXT(shItemLabelAccessSingle, "ShareItem.Label.AccessSingle"),
        ORVELLA_TEXT(shItemLabelAccessMultiple, "ShareItem.Label.AccessMultiple"),
        ORVELLA_TEXT(shPasswordLabelDescription, "SharePassword.Label.Description"),
        ORVELLA_TEXT(shPasswordLabelPassword, "SharePassword.Label.Password"),
        ORVELLA_TEXT(shPasswordLabelVerify, "SharePassword.Label.Verify"),
        ORVELLA_TEXT(shPasswordLabelPasswordsDoNotMatch, "SharePassword.Label.PasswordsDoNotMatch"),
        ORVELLA_TEXT(shPasswordLabelPasswordInvalid, "SharePassword.Label.PasswordInvalid"),
        ORVELLA_TEXT(shPasswordButtonRemovePassword, "SharePassword.Button.RemovePassword"),
        ORVELLA_TEXT(shPasswordButtonCancel, "SharePassword.Button.Cancel"),
        ORVELLA_TEXT(shPasswordButtonSetPassword, "SharePassword.Button.SetPassword"),
        ORVELLA_TEXT(syAlertUnauthorizedMessage, "Sync.Alert.UnauthorizedMessage"),
        ORVELLA_TEXT(syAlertUnauthorizedInformative, "Sync.Alert.UnauthorizedInformative"),
        ORVELLA_TEXT(syAlertPreferencesGoneMessage, "Sync.Alert.PreferencesGoneMessage"),
        ORVELLA_TEXT(syAlertPreferencesGoneInformative, "Sync.Alert.PreferencesGoneInformative"),
        ORVELLA_TEXT(syAlertRootFolderMovedMessage, "Sync.Alert.RootFolderMovedMessage"),
        ORVELLA_TEXT(syAlertRootFolderMovedInformative, "Sync.Alert.RootFolderMovedInformative"),
        ORVELLA_TEXT(syAlertRootFolderOwnedByAnotherAccountMessage, "Sync.Alert.RootFolderOwnedByAnotherAccountMessage"),
        ORVELLA_TEXT(syAlertRootFolderOwnedByAnotherAccountInformative, "Sync.Alert.RootFolderOwnedByAnotherAccountInformative"),
        ORVELLA_TEXT(syAlertRootFolderIsChildOfAnotherRootFolderMessage, "Sync.Alert.RootFolderIsChildOfAnotherRootFolderMessage"),
        ORVELLA_TEXT(syAlertRootFolderIsChildOfAnotherRootFolderInformative, "Sync.Alert.RootFolderIsChildOfAnotherRootFolderInformative"),
        ORVELLA_TEXT(syAlertRootFolderNotWritableMessage, "Sync.Alert.RootFolderNotWritableMessage"),
        ORVELLA_TEXT(syAlertRootFolderNotWritableInformative, "Sync.Alert.RootFolderNotWritableInformative"),
        ORVELLA_TEXT(syAlertRootFolderVolumeIncompatibleMessage, "Sync.Alert.RootFolderVolumeIncompatibleMessage"),
        ORVELLA_TEXT(syAlertRootFolderVolumeIncompatibleInformative, "Sync.Alert.RootFolderVolumeIncompatibleInformative"),
        ORVELLA_TEXT(syAlertRootFolderVolumeNotLocalMessage, "Sync.Alert.RootFolderVolumeNotLocalMessage"),
        ORVELLA_TEXT(syAlertRootFolderVolumeNotLocalInformative, "Sync.Alert.RootFolderVolumeNotLocalInformative"),
        ORVELLA_TEXT(syAlertButtonQuit, "Sync.AlertButton.Quit"),
        ORVELLA_TEXT(syAlertButtonContinueSync, "Sync.AlertButton.ContinueSync"),
        ORVELLA_TEXT(syAlertBackupQuotaViolationMessage, "Sync.Alert.BackupQuotaViolationMessage"),
        ORVELLA_TEXT(syAlertBackupQuotaViolationInformative, "Sync.Alert.BackupQuotaViolationInformative"),
        ORVELLA_TEXT(syAlertQuotaViolationMessage, "Sync.Alert.QuotaViolationMessage"),
        ORVELLA_TEXT(syAlertQuotaViolationInformative, "Sync.Alert.QuotaViolationInformative"),
        ORVELLA_TEXT(syAlertButtonOK, "Sync.AlertButton.OK"),
        ORVELLA_TEXT(syAlertButtonUpgrade, "Sync.AlertButton.Upgrade"),
        ORVELLA_TEXT(syAlertUpgradeURL, "Sync.Alert.UpgradeURL"),
        ORVELLA_TEXT(syAlertSystemFolderDeletedMessage, "Sync.Alert.SystemFolderDeletedMessage"),
        ORVELLA_TEXT(syAlertSystemFolderDeletedInformative, "Sync.Alert.SystemFolderDeletedInformative"),
        ORVELLA_TEXT(syAlertNotEnoughDiskSpaceToSyncMessage, "Sync.Alert.NotEnoughDiskSpaceToSyncMessage"),
        ORVELLA_TEXT(syAlertNotEnoughDiskSpaceToSyncInformative, "Sync.Alert.NotEnoughDiskSpaceToSyncInformative"),
        ORVELLA_TEXT(syAlertNotEnoughDiskSpaceToSyncButtonPauseSync, "Sync.AlertButton.PauseSync"),
        ORVELLA_TEXT(ssLabelDescription, "SelectiveSync.Label.Description"),
        ORVELLA_TEXT(ssLabelLoading, "SelectiveSync.Label.Loading"),
        ORVELLA_TEXT(ssLabelNoFoldersToSelect, "SelectiveSync.Label.NoFoldersToSelect"),
        ORVELLA_TEXT(ssButtonSelectFoldersToSync, "SelectiveSync.Button.SelectFoldersToSync"),
        ORVELLA_TEXT(ssLabelFolderSelectionDescription, "SelectiveSync.Label.FolderSelectionDescription"),
        ORVELLA_TEXT(ssCheckBoxSyncAllFolders, "SelectiveSync.CheckBox.SyncAllFolders"),
        ORVELLA_TEXT(ssButtonCancel, "SelectiveSync.Button.Cancel"),
        ORVELLA_TEXT(ssButtonOK, "SelectiveSync.Button.OK"),
        ORVELLA_TEXT(ssFileSuffixConflict, "SelectiveSync.FileSuffix.Conflict"),
        ORVELLA_TEXT(ssAlertNotEnoughDiskSpaceMessage, "SelectiveSync.Alert.NotEnoughDiskSpace.Message"),
        ORVELLA_TEXT(ssAlertNotEnoughDiskSpaceInformativeText, "SelectiveSync.Alert.NotEnoughDiskSpace.InformativeText"),
        ORVELLA_TEXT(auLabelDescription, "AutoUpload.Label.Description"),
        ORVELLA_TEXT(auLabelContents, "AutoUpload.Label.Contents"),
        ORVELLA_TEXT(auPopUpPhotos, "AutoUpload.PopUp.Photos"),
        ORVELLA_TEXT(auPopUpPhotosAndVideos, "AutoUpload.PopUp.PhotosAndVideos"),
        ORVELLA_TEXT(auButtonClearDevices, "AutoUpload.Button.ClearDevices"),
        ORVELLA_TEXT(auPromptLabelTitle, "AutoUpload.Prompt.Label.Title"),
        ORVELLA_TEXT(auPromptLabelDescription, "AutoUpload.Prompt.Label.Description"),
        ORVELLA_TEXT(auPromptLabelStoragePath, "AutoUpload.Prompt.Label.StoragePath"),
        ORVELLA_TEXT(auPromptButtonNeverForThisDevice, "AutoUpload.Prompt.Button.NeverForThisDevice"),
        ORVELLA_TEXT(auPromptButtonStartImport, "AutoUpload.Prompt.Button.StartImport"),
        ORVELLA_TEXT(auButtonHelpURL, "AutoUpload.Button.HelpURL"),
        ORVELLA_TEXT(auIncludesVideoAnd, "AutoUpload.Import.IncludesVideoAnd.Text"),
        ORVELLA_TEXT(auIncludesVideoOr, "AutoUpload.Import.IncludesVideoOr.Text"),
        ORVELLA_TEXT(auPromptHeadlineText, "AutoUpload.Prompt.Headline"),
        ORVELLA_TEXT(auDialogWindowTitle, "AutoUpload.Dialog.Window.Title"),
        ORVELLA_TEXT(auPromptText, "AutoUpload.Prompt.Text"),
        ORVELLA_TEXT(auPromptStoragePathText, "AutoUpload.Prompt.StoragePath.Text"),
        ORVELLA_TEXT(auPromptNeverForThisDeviceButton, "AutoUpload.Button.NeverForThisDevice.Text"),
        ORVELLA_TEXT(auProgressPromptStatusText, "AutoUpload.ProgressPrompt.Status.Text"),
        ORVELLA_TEXT(auButtonOK, "AutoUpload.Button.OK"),
        ORVELLA_TEXT(auOKButton, "AutoUpload.Button.OK"),
        ORVELLA_TEXT(auButtonCancel, "AutoUpload.Button.Cancel"),
        ORVELLA_TEXT(auPromptStartImportButton, "AutoUpload.Button.StartImport.Text"),
        ORVELLA_TEXT(auMessageTitleImportComplete, "AutoUpload.Dialog.ImportCompleted.Title"),
        ORVELLA_TEXT(auMessageTitleNotEnoughStorage, "AutoUpload.Dialog.NotEnoughStorage.Title"),
        ORVELLA_TEXT(auMessageTitleLockedAppleDevice, "AutoUpload.Dialog.LockedDevice.Title"),
        ORVELLA_TEXT(auMessageTitleImportIncomplete, "AutoUpload.Dialog.ImportImcompleted.Title"),
        ORVELLA_TEXT(auMessageTitleFolderNotInSync, "AutoUpload.Dialog.folderNotInSync.Title"),
        ORVELLA_TEXT(auMessageTitleRootFolderFailure, "AutoUpload.Dialog.rootFolderFailure.Title"),
        ORVELLA_TEXT(auMessageTextImportComplete, "AutoUpload.Dialog.ImportCompleted.Text"),
        ORVELLA_TEXT(auMessageTextNotEnoughStorage, "AutoUpload.Dialog.NotEnoughStorage.Text"),
        ORVELLA_TEXT(auMessageTextLockedAppleDevice, "AutoUpload.Dialog.LockedDevice.Text"),
        ORVELLA_TEXT(auMessageTextImportIncomplete, "AutoUpload.Dialog.ImportImcompleted.Text"),
        ORVELLA_TEXT(auMessageTextFolderNotInSync, "AutoUpload.Dialog.folderNotInSync.Text"),
        ORVELLA_TEXT(auMessageTextRootFolderFailure, "AutoUpload.Dialog.rootFolderFailure.Text"),
        ORVELLA_TEXT(auNotificationTitleNoMediaFound, "AutoUpload.Notification.NoMediaFound.Title"),
        ORVELLA_TEXT(auNotificationTitleNoNewMediaFound, "AutoUpload.Notification.NoNewMediaFound.Title"),
        ORVELLA_TEXT(auNotificationTitleImportComplete, "AutoUpload.Notification.ImportCompleted.Title"),
        ORVELLA_TEXT(auNotificationTitleNotEnoughStorage, "AutoUpload.Notification.NotEnoughStorage.Title"),
        ORVELLA_TEXT(auNotificationTitleLockedAppleDevice, "AutoUpload.Notification.LockedAppleDevice.Title"),
        ORVELLA_TEXT(auNotificationTextNoMediaFound, "AutoUpload.Notification.NoMediaFound.Text"),
        ORVELLA_TEXT(auNotificationTextNoNewMediaFound, "AutoUpload.Notification.NoNewMediaFound.Text"),
        ORVELLA_TEXT(auNotificationTextImportComplete, "AutoUpload.Notification.ImportCompleted.Text"),
        ORVELLA_TEXT(auNotificationTextNotEnoughStorage, "AutoUpload.Notification.NotEnoughStorage.Text"),
        ORVELLA_TEXT(auNotificationTextLockedAppleDevice, "AutoUpload.Notification.LockedAppleDevice.Text"),
        ORVELLA_TEXT(auImportProgressFormatText, "AutoUpload.Import.Progress.Text"),
        ORVELLA_TEXT(suLabelDescription, "SoftwareUpdate.Label.Description"),
        ORVELLA_TEXT(suCheckBoxAutomaticallyCheckForUpdates, "SoftwareUpdate.CheckBox.CheckForUpdates"),
        ORVELLA_TEXT(suCheckBoxAutomaticallyDownloadUpdates, "SoftwareUpdate.CheckBox.AutomaticallyDownloadUpdates"),
        ORVELLA_TEXT(suLabelUpdateInterval, "SoftwareUpdate.Label.UpdateInterval"),
        ORVELLA_TEXT(suPopUpUpdateIntervalHourly, "SoftwareUpdate.PopUp.UpdateIntervalHourly"),
        ORVELLA_TEXT(suPopUpUpdateIntervalDaily, "SoftwareUpdate.PopUp.UpdateIntervalDaily"),
        ORVELLA_TEXT(suPopUpUpdateIntervalWeekly, "SoftwareUpdate.PopUp.UpdateIntervalWeekly"),
        ORVELLA_TEXT(suPopUpUpdateIntervalMonthly, "SoftwareUpdate.PopUp.UpdateIntervalMonthly"),
        ORVELLA_TEXT(suLabelLastCheckForUpdates, "SoftwareUpdate.Label.LastCheckForUpdates"),
        ORVELLA_TEXT(suButtonCheckForUpdates, "SoftwareUpdate.Button.CheckForUpdates"),
        ORVELLA_TEXT(suButtonCheckNow, "SoftwareUpdate.Button.CheckNow"),
        ORVELLA_TEXT(suTestUpdateChannelEnableLabel, "SoftwareUpdate.Label.EnableTestUpdateChannel"),
        ORVELLA_TEXT(crLabelUpsellTitle, "Crypto.Label.UpsellTitle"),
        ORVELLA_TEXT(crLabelUpsellDescription, "Crypto.Label.UpsellDescription"),
        ORVELLA_TEXT(crButtonUpsellUpgradeNow, "Crypto.Button.UpsellUpgradeNow"),
        ORVELLA_TEXT(crButtonUpsellURL, "Crypto.Button.UpsellURL"),
        ORVELLA_TEXT(crButtonUpsellHelpURL, "Crypto.Button.UpsellHelpURL"),
        ORVELLA_TEXT(crLabelCreateKeyDescription, "Crypto.Label.CreateKeyDescription"),
        ORVELLA_TEXT(crLabelCreateKeyPassword, "Crypto.Label.CreateKeyPassword"),
        ORVELLA_TEXT(crLabelCreateKeyVerify, "Crypto.Label.CreateKeyVerify"),
        ORVELLA_TEXT(crLabelCreateKeySaveKeyCopyTo, "Crypto.Label.CreateKeySaveKeyCopyTo"),
        ORVELLA_TEXT(crMenuItemOtherFolder, "Crypto.MenuItem.OtherFolder"),
        ORVELLA_TEXT(crLabelCreateKeyUserConsent, "Crypto.Label.CreateKeyUserConsent"),
        ORVELLA_TEXT(crButtonCreateKeyHelpURL, "Crypto.Button.CreateKeyHelpURL"),
        ORVELLA_TEXT(crButtonCreateKeyCancel, "Crypto.Button.CreateKeyCancel"),
        ORVELLA_TEXT(crButtonCreateKey, "Crypto.Button.CreateKey"),
        ORVELLA_TEXT(crAlertDebugKeySuccessMessage, "Crypto.Alert.DebugKeySuccessMessage"),
        ORVELLA_TEXT(crAlertDebugKeySuccessInformative, "Crypto.Alert.DebugKeySuccessInformative"),
        ORVELLA_TEXT(crAlertDebugKeyFailedMessage, "Crypto.Alert.DebugKeyFailedMessage"),
        ORVELLA_TEXT(crAlertDebugKeyFailedInformative, "Crypto.Alert.DebugKeyFailedInformative"),
        ORVELLA_TEXT(crAlertButtonDebugKeyOK, "Crypto.AlertButton.DebugKeyOK"),
        ORVELLA_TEXT(cdWindowTitleMainWindow, "ConnectionDoctor.WindowTitle.MainWindow"),
        ORVELLA_TEXT(cdTabItemSyncErrors, "ConnectionDoctor.TabItem.SyncErrors"),
        ORVELLA_TEXT(cdTabItemSyncLogs, "ConnectionDoctor.TabItem.SyncLogs"),
        ORVELLA_TEXT(cdTabItemDebugMenu, "ConnectionDoctor.TabItem.DebugMenu"),
        ORVELLA_TEXT(cdTableViewColumnTitleSyncLogsMessages, "ConnectionDoctor.TableViewColumnTitle.SyncLogsMessages"),
        ORVELLA_TEXT(cdTableViewColumnTitleSyncErrorsDate, "ConnectionDoctor.TableViewColumnTitle.SyncErrorsDate"),
        ORVELLA_TEXT(cdTableViewColumnTitleSyncErrorsRelativePath, "ConnectionDoctor.TableViewColumnTitle.SyncErrorsRelativePath"),
        ORVELLA_TEXT(cdTableViewColumnTitleSyncErrorsError, "ConnectionDoctor.TableViewColumnTitle.SyncErrorsError"),
        ORVELLA_TEXT(cdButtonHelpURL, "ConnectionDoctor.Button.HelpURL"),
        ORVELLA_TEXT(cdLabelContinuouslyUpdateErrorLogs, "ConnectionDoctor.Label.ContinuouslyUpdateErrorLogs"),
        ORVELLA_TEXT(cdButtonClearLogs, "ConnectionDoctor.Button.ClearLogs"),
        ORVELLA_TEXT(cdButtonShowLogs, "ConnectionDoctor.Button.ShowLogs"),
        ORVELLA_TEXT(cdDebugMenuShowDatabaseButton, "ConnectionDoctor.DebugMenu.Button.ShowDatabase"),
        ORVELLA_TEXT(cdDebugMenuCrashButton, "ConnectionDoctor.DebugMenu.Button.TestCrash"),
        ORVELLA_TEXT(cdSyncNotificationMessageLocalItemRenamed, "ConnectionDoctor.SyncNotification.Message.LocalItemRenamed"),
        ORVELLA_TEXT(raAlertNoConnectionMessage, "Reachability.Alert.NoConnectionMessage"),
        ORVELLA_TEXT(raAlertNoConnectionInformative, "Reachability.Alert.NoConnectionInformative"),
        ORVELLA_TEXT(raAlertButtonNoConnectionOK, "Reachability.AlertButton.NoConnectionOK"),
    };
    return table;
}

const std::vector<LocalizationController::Getter>& LocalizationController::errorGetters() {
    static const std::vector<Getter> table = {
        ORVELLA_TEXT(erAPIGenericDescription, "Error.API.Generic.Description"),
        ORVELLA_TEXT(erAPIGenericFailureReason, "Error.API.Generic.FailureReason"),
        ORVELLA_TEXT(erAPIGenericRecoverySuggestion, "Error.API.Generic.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIBadRequestDescription, "Error.API.BadRequest.Description"),
        ORVELLA_TEXT(erAPIBadRequestFailureReason, "Error.API.BadRequest.FailureReason"),
        ORVELLA_TEXT(erAPIBadRequestRecoverySuggestion, "Error.API.BadRequest.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIForbiddenDescription, "Error.API.Forbidden.Description"),
        ORVELLA_TEXT(erAPIForbiddenFailureReason, "Error.API.Forbidden.FailureReason"),
        ORVELLA_TEXT(erAPIForbiddenRecoverySuggestion, "Error.API.Forbidden.RecoverySuggestion"),
        ORVELLA_TEXT(erAPINotFoundDescription, "Error.API.NotFound.Description"),
        ORVELLA_TEXT(erAPINotFoundFailureReason, "Error.API.NotFound.FailureReason"),
        ORVELLA_TEXT(erAPINotFoundRecoverySuggestion, "Error.API.NotFound.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIConflictDescription, "Error.API.Conflict.Description"),
        ORVELLA_TEXT(erAPIConflictFailureReason, "Error.API.Conflict.FailureReason"),
        ORVELLA_TEXT(erAPIConflictRecoverySuggestion, "Error.API.Conflict.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIUnprocessableEntityDescription, "Error.API.UnprocessableEntity.Description"),
        ORVELLA_TEXT(erAPIUnprocessableEntityFailureReason, "Error.API.UnprocessableEntity.FailureReason"),
        ORVELLA_TEXT(erAPIUnprocessableEntityRecoverySuggestion, "Error.API.UnprocessableEntity.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIServerErrorDescription, "Error.API.ServerError.Description"),
        ORVELLA_TEXT(erAPIServerErrorFailureReason, "Error.API.ServerError.FailureReason"),
        ORVELLA_TEXT(erAPIServerErrorRecoverySuggestion, "Error.API.ServerError.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIUnsupportedMediaTypeDescription, "Error.API.UnsupportedMediaType.Description"),
        ORVELLA_TEXT(erAPIUnsupportedMediaTypeFailureReason, "Error.API.UnsupportedMediaType.FailureReason"),
        ORVELLA_TEXT(erAPIUnsupportedMediaTypeRecoverySuggestion, "Error.API.UnsupportedMediaType.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIRequestedRangeNotSatisfiableDescription, "Error.API.RequestedRangeNotSatisfiable.Description"),
        ORVELLA_TEXT(erAPIRequestedRangeNotSatisfiableFailureReason, "Error.API.RequestedRangeNotSatisfiable.FailureReason"),
        ORVELLA_TEXT(erAPIRequestedRangeNotSatisfiableRecoverySuggestion, "Error.API.RequestedRangeNotSatisfiable.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIGoneDescription, "Error.API.Gone.Description"),
        ORVELLA_TEXT(erAPIGoneFailureReason, "Error.API.Gone.FailureReason"),
        ORVELLA_TEXT(erAPIGoneRecoverySuggestion, "Error.API.Gone.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIRequestEntityTooLargeDescription, "Error.API.RequestEntityTooLarge.Description"),
        ORVELLA_TEXT(erAPIRequestEntityTooLargeFailureReason, "Error.API.RequestEntityTooLarge.FailureReason"),
        ORVELLA_TEXT(erAPIRequestEntityTooLargeRecoverySuggestion, "Error.API.RequestEntityTooLarge.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIBadGatewayDescription, "Error.API.BadGateway.Description"),
        ORVELLA_TEXT(erAPIBadGatewayFailureReason, "Error.API.BadGateway.FailureReason"),
        ORVELLA_TEXT(erAPIBadGatewayRecoverySuggestion, "Error.API.BadGateway.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIServiceUnavailableDescription, "Error.API.ServiceUnavailable.Description"),
        ORVELLA_TEXT(erAPIServiceUnavailableFailureReason, "Error.API.ServiceUnavailable.FailureReason"),
        ORVELLA_TEXT(erAPIServiceUnavailableRecoverySuggestion, "Error.API.ServiceUnavailable.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIGatewayTimeoutDescription, "Error.API.GatewayTimeout.Description"),
        ORVELLA_TEXT(erAPIGatewayTimeoutFailureReason, "Error.API.GatewayTimeout.FailureReason"),
        ORVELLA_TEXT(erAPIGatewayTimeoutRecoverySuggestion, "Error.API.GatewayTimeout.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIInsufficientStorageDescription, "Error.API.InsufficientStorage.Description"),
        ORVELLA_TEXT(erAPIInsufficientStorageFailureReason, "Error.API.InsufficientStorage.FailureReason"),
        ORVELLA_TEXT(erAPIInsufficientStorageRecoverySuggestion, "Error.API.InsufficientStorage.RecoverySuggestion"),
        ORVELLA_TEXT(erAPIBvNotAuthorizedDescription, ""),
        ORVELLA_TEXT(erBusGenericDescription, "Error.Business.Generic.Description"),
        ORVELLA_TEXT(erBusGenericFailureReason, "Error.Business.Generic.FailureReason"),
        ORVELLA_TEXT(erBusGenericRecoverySuggestion, "Error.Business.Generic.RecoverySuggestion"),
        ORVELLA_TEXT(erBusDirectoryNameEmptyDescription, "Error.Business.DirectoryNameEmpty.Description"),
        ORVELLA_TEXT(erBusDirectoryNameEmptyFailureReason, "Error.Business.DirectoryNameEmpty.FailureReason"),
        ORVELLA_TEXT(erBusDirectoryNameEmptyRecoverySuggestion, "Error.Business.DirectoryNameEmpty.RecoverySuggestion"),
        ORVELLA_TEXT(erBusInvalidDataDescription, "Error.Business.InvalidData.Description"),
        ORVELLA_TEXT(erBusInvalidDataFailureReason, "Error.Business.InvalidData.FailureReason"),
        ORVELLA_TEXT(erBusInvalidDataRecoverySuggestion, "Error.Business.InvalidData.RecoverySuggestion"),
        ORVELLA_TEXT(erBusFormatErrorDescription, "Error.Business.FormatError.Description"),
        ORVELLA_TEXT(erBusFormatErrorFailureReason, "Error.Business.FormatError.FailureReason"),
        ORVELLA_TEXT(erBusFormatErrorRecoverySuggestion, "Error.Business.FormatError.RecoverySuggestion"),
        ORVELLA_TEXT(erBusUnableToDownloadDescription, "Error.Business.UnableToDownload.Description"),
        ORVELLA_TEXT(erBusUnableToDownloadFailureReason, "Error.Business.UnableToDownload.FailureReason"),
        ORVELLA_TEXT(erBusUnableToDownloadRecoverySuggestion, "Error.Business.UnableToDownload.RecoverySuggestion"),
        ORVELLA_TEXT(erBusNoConnectionDescription, "Error.Business.NoConnection.Description"),
        ORVELLA_TEXT(erBusNoConnectionFailureReason, "Error.Business.NoConnection.FailureReason"),
        ORVELLA_TEXT(erBusNoConnectionRecoverySuggestion, "Error.Business.NoConnection.RecoverySuggestion"),
        ORVELLA_TEXT(erBusUnableToSaveDescription, "Error.Business.UnableToSave.Description"),
        ORVELLA_TEXT(erBusUnableToSaveFailureReason, "Error.Business.UnableToSave.FailureReason"),
        ORVELLA_TEXT(erBusUnableToSaveRecoverySuggestion, "Error.Business.UnableToSave.RecoverySuggestion"),
        ORVELLA_TEXT(erBusDirectoryUnknownDescription, "Error.Business.DirectoryUnknown.Description"),
        ORVELLA_TEXT(erBusDirectoryUnknownFailureReason, "Error.Business.DirectoryUnknown.FailureReason"),
        ORVELLA_TEXT(erBusDirectoryUnknownRecoverySuggestion, "Error.Business.DirectoryUnknown.RecoverySuggestion"),
        ORVELLA_TEXT(erBusSetupDescription, "Error.Business.Setup.Description"),
        ORVELLA_TEXT(erBusSetupFailureReason, "Error.Business.Setup.FailureReason"),
        ORVELLA_TEXT(erBusSetupRecoverySuggestion, "Error.Business.Setup.RecoverySuggestion"),
        ORVELLA_TEXT(erBusUnavailableFeatureForEncryptedItemDescription, "Error.Business.UnavailableFeatureForEncryptedItem.Description"),
        ORVELLA_TEXT(erBusUnavailableFeatureForEncryptedItemFailureReason, "Error.Business.UnavailableFeatureForEncryptedItem.FailureReason"),
        ORVELLA_TEXT(erBusUnavailableFeatureForEncryptedItemRecoverySuggestion, "Error.Business.UnavailableFeatureForEncryptedItem.RecoverySuggestion"),
        ORVELLA_TEXT(erBusCryptoErrorDescription, "Error.Business.CryptoError.Description"),
        ORVELLA_TEXT(erBusCryptoErrorFailureReason, "Error.Business.CryptoError.FailureReason"),
        ORVELLA_TEXT(erBusCryptoErrorRecoverySuggestion, "Error.Business.CryptoError.RecoverySuggestion"),
        ORVELLA_TEXT(erBusPasswordNeededDescription, "Error.Business.PasswordNeeded.Description"),
        ORVELLA_TEXT(erBusPasswordNeededFailureReason, "Error.Business.PasswordNeeded.FailureReason"),
        ORVELLA_TEXT(erBusPasswordNeededRecoverySuggestion, "Error.Business.PasswordNeeded.RecoverySuggestion"),
        ORVELLA_TEXT(erBusUnfulfilledRequirementDescription, "Error.Business.UnfulfilledRequirement.Description"),
        ORVELLA_TEXT(erBusUnfulfilledRequirementFailureReason, "Error.Business.UnfulfilledRequirement.FailureReason"),
        ORVELLA_TEXT(erBusUnfulfilledRequirementRecoverySuggestion, "Error.Business.UnfulfilledRequirement.RecoverySuggestion"),
        ORVELLA_TEXT(erBusContactsAccessDeniedDescription, "Error.Business.ContactsAccessDenied.Description"),
        ORVELLA_TEXT(erBusContactsAccessDeniedFailureReason, "Error.Business.ContactsAccessDenied.FailureReason"),
        ORVELLA_TEXT(erBusContactsAccessDeniedRecoverySuggestion, "Error.Business.ContactsAccessDenied.RecoverySuggestion"),
        ORVELLA_TEXT(erBusTimeoutDescription, "Error.Business.Timeout.Description"),
        ORVELLA_TEXT(erBusTimeoutFailureReason, "Error.Business.Timeout.FailureReason"),
        ORVELLA_TEXT(erBusTimeoutRecoverySuggestion, "Error.Business.Timeout.RecoverySuggestion"),
        ORVELLA_TEXT(erBusPhotosAccessDeniedDescription, "Error.Business.PhotosAccessDenied.Description"),
        ORVELLA_TEXT(erBusPhotosAccessDeniedRecoverySuggestion, "Error.Business.PhotosAccessDenied.RecoverySuggestion"),
        ORVELLA_TEXT(erBusCalendarsAccessDeniedDescription, "Error.Business.CalendarsAccessDenied.Description"),
        ORVELLA_TEXT(erBusCalendarsAccessDeniedRecoverySuggestion, "Error.Business.CalendarsAccessDenied.RecoverySuggestion"),
        ORVELLA_TEXT(erUplGenericDescription, "Error.Upload.Generic.Description"),
        ORVELLA_TEXT(erUplGenericFailureReason, "Error.Upload.Generic.FailureReason"),
        ORVELLA_TEXT(erUplGenericRecoverySuggestion, "Error.Upload.Generic.RecoverySuggestion"),
        ORVELLA_TEXT(erUplAlreadyAddedDescription, "Error.Upload.AlreadyAdded.Description"),
        ORVELLA_TEXT(erUplAlreadyAddedFailureReason, "Error.Upload.AlreadyAdded.FailureReason"),
        ORVELLA_TEXT(erUplAlreadyAddedRecoverySuggestion, "Error.Upload.AlreadyAdded.RecoverySuggestion"),
        ORVELLA_TEXT(erUplNotFoundDescription, "Error.Upload.NotFound.Description"),
        ORVELLA_TEXT(erUplNotFoundFailureReason, "Error.Upload.NotFound.FailureReason"),
        ORVELLA_TEXT(erUplNotFoundRecoverySuggestion, "Error.Upload.NotFound.RecoverySuggestion"),
        ORVELLA_TEXT(erUplInvalidStatusDescription, "Error.Upload.InvalidStatus.Description"),
        ORVELLA_TEXT(erUplInvalidStatusFailureReason, "Error.Upload.InvalidStatus.FailureReason"),
        ORVELLA_TEXT(erUplInvalidStatusRecoverySuggestion, "Error.Upload.InvalidStatus.RecoverySuggestion"),
        ORVELLA_TEXT(erUplUnexpectedSituationDescription, "Error.Upload.UnexpectedSituation.Description"),
        ORVELLA_TEXT(erUplUnexpectedSituationFailureReason, "Error.Upload.UnexpectedSituation.FailureReason"),
        ORVELLA_TEXT(erUplUnexpectedSituationRecoverySuggestion, "Error.Upload.UnexpectedSituation.RecoverySuggestion"),
        ORVELLA_TEXT(erStoInvalidRootNodeDescription, "Error.Store.InvalidRootNode.Description"),
        ORVELLA_TEXT(erStoInvalidRootNodeFailureReason, "Error.Store.InvalidRootNode.FailureReason"),
        ORVELLA_TEXT(erStoInvalidRootNodeRecoverySuggestion, "Error.Store.InvalidRootNode.RecoverySuggestion"),
        ORVELLA_TEXT(erSynInsufficientLocalStorageDescription, "Error.Sync.InsufficientLocalStorage.Description"),
        ORVELLA_TEXT(erSynInsufficientLocalStorageFailureReason, "Error.Sync.InsufficientLocalStorage.FailureReason"),
        ORVELLA_TEXT(erSynInsufficientLocalStorageRecoverySuggestion, "Error.Sync.InsufficientLocalStorage.RecoverySuggestion"),
        ORVELLA_TEXT(erSynInsufficientRemoteStorageDescription, "Error.Sync.InsufficientRemoteStorage.Description"),
        ORVELLA_TEXT(erSynInsufficientRemoteStorageFailureReason, "Error.Sync.InsufficientRemoteStorage.FailureReason"),
        ORVELLA_TEXT(erSynInsufficientRemoteStorageRecoverySuggestion, "Error.Sync.InsufficientRemoteStorage.RecoverySuggestion"),
        ORVELLA_TEXT(erSynItemIsReadonlyOnLocalFSDescription, "Error.Sync.ItemIsReadonlyOnLocalFS.Description"),
        ORVELLA_TEXT(erSynItemIsReadonlyOnLocalFSFailureReason, "Error.Sync.ItemIsReadonlyOnLocalFS.FailureReason"),
        ORVELLA_TEXT(erSynItemIsReadonlyOnLocalFSRecoverySuggestion, "Error.Sync.ItemIsReadonlyOnLocalFS.RecoverySuggestion"),
        ORVELLA_TEXT(erSynItemIsReadonlyOnRemoteDescription, "Error.Sync.ItemIsReadonlyOnRemote.Description"),
        ORVELLA_TEXT(erSynItemIsReadonlyOnRemoteFailureReason, "Error.Sync.ItemIsReadonlyOnRemote.FailureReason"),
        ORVELLA_TEXT(erSynItemIsReadonlyOnRemoteRecoverySuggestion, "Error.Sync.ItemIsReadonlyOnRemote.RecoverySuggestion"),
        ORVELLA_TEXT(erSynItemIsInReadonlyDirectoryDescription, "Error.Sync.ItemIsInReadonlyDirectory.Description"),
        ORVELLA_TEXT(erSynItemIsInReadonlyDirectoryFailureReason, "Error.Sync.ItemIsInReadonlyDirectory.FailureReason"),
        ORVELLA_TEXT(erSynItemIsInReadonlyDirectoryRecoverySuggestion, "Error.Sync.ItemIsInReadonlyDirectory.RecoverySuggestion"),
        ORVELLA_TEXT(erSynRootDirectoryNotFoundDescription, "Error.Sync.RootDirectoryNotFound.Description"),
        ORVELLA_TEXT(erSynRootDirectoryNotFoundFailureReason, "Error.Sync.RootDirectoryNotFound.FailureReason"),
        ORVELLA_TEXT(erSynRootDirectoryNotFoundRecoverySuggestion, "Error.Sync.RootDirectoryNotFound.RecoverySuggestion"),
        ORVELLA_TEXT(erSynTooManyRepeatedUploadsDescription, "Error.Sync.TooManyRepeatedUploads.Description"),
        ORVELLA_TEXT(erSynSetupFailureDescription, "Error.Sync.SetupFailure.Description"),
        ORVELLA_TEXT(erSynSetupFailureFailureReason, "Error.Sync.SetupFailure.FailureReason"),
        ORVELLA_TEXT(erSynSetupFailureRecoverySuggestion, "Error.Sync.SetupFailure.RecoverySuggestion"),
    };
    return table;
}

#undef ORVELLA_TEXT
