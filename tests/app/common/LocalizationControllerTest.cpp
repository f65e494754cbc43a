#include <gtest/gtest.h>

#include <QHash>

#include <ostream>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <map>
#include <string>
#include <vector>

#include "app/common/LocalizationController.h"
#include "platform/foundation/Bundle.h"

// The strings table compiled into the test program (see TestMain).
QByteArray localizableStrings();

// Readable failure messages.
static void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

using Member = LocalizationController::Member;

QHash<QString, QString> shippedStrings() { return Bundle::parseStrings(localizableStrings()); }

// Every test leaves the main bundle with the shipped table, whatever it swapped in.
class LocalizationControllerTest : public ::testing::Test {
protected:
    void TearDown() override { Bundle::main().setStringsTable({}, shippedStrings()); }
};

const LocalizationController::Getter* findGetter(const QString& name) {
    for (const auto& g : LocalizationController::getters())
        if (g.name == name) return &g;
    return nullptr;
}

// Family (first key component), getter-name prefix and number of keys.
struct Family {
    const char* family;
    const char* prefix;
    int keys;
};

const std::vector<Family> kFamilies = {
    {"App", "app", 4},
    {"MenuBar", "mb", 47},
    {"UserNotification", "un", 25},
    {"Onboarding", "ob", 30},
    {"BackupRestore", "br", 100},
    {"Preferences", "pr", 6},
    {"General", "ge", 16},
    {"Share", "sh", 10},
    {"ShareItem", "shItem", 48},
    {"SharePassword", "shPassword", 8},
    {"Sync", "sy", 30},
    {"SelectiveSync", "ss", 11},
    {"AutoUpload", "au", 45},
    {"SoftwareUpdate", "su", 12},
    {"Crypto", "cr", 19},
    {"ConnectionDoctor", "cd", 15},
    {"Reachability", "ra", 3},
};

// Getters whose names do not follow from their keys.
const std::map<std::string, std::string> kIrregular = {
    {"unSyncEventSystemFolderMoveActionRevertTitle", "UserNotification.SyncEvent.SystemFolder.MoveActionRevertedTitle"},
    {"unSyncEventSystemFolderMoveActionRevertInformative", "UserNotification.SyncEvent.SystemFolder.MoveActionRevertedInformative"},
    {"unSyncEventRegularItemMoveActionRevertTitle", "UserNotification.SyncEvent.RegularItem.MoveActionRevertedTitle"},
    {"unSyncEventRegularItemMoveActionRevertInformative", "UserNotification.SyncEvent.RegularItem.MoveActionRevertedInformative"},
    {"brLabelBackupItems", "BackupRestore.Label.Items"},
    {"brLabelBackupPreviewProgress", "BackupRestore.Label.PreviewProgress"},
    {"brLabelBackupDate", "BackupRestore.Label.Date"},
    {"brButtonRestore", "BackupRestore.Button.RestoreRestore"},
    {"syAlertRestoreIncompleteMessage", "BackupRestore.Alert.RestoreIncompleteMessage"},
    {"syAlertRestoreIncompleteInformative", "BackupRestore.Alert.RestoreIncompleteInformative"},
    {"syAlertRestoreStillRunningMessage", "BackupRestore.Alert.RestoreStillRunningMessage"},
    {"syAlertRestoreStillRunningFromQuitInformative", "BackupRestore.Alert.RestoreStillRunningInformative"},
    {"syAlertRestoreStillRunningFromSignOutInformative", "BackupRestore.Alert.RestoreStillRunningFromSignOutInformative"},
    {"auMessageTitleInsufficientBackupStorage", "BackupRestore.Dialog.insufficientStorage.Title"},
    {"auMessageTextInsufficientBackupStorage", "BackupRestore.Dialog.insufficientStorage.Text"},
    {"shItemAlertUnableToShareNonSyncItemInformative", "ShareItem.Alert.UnableToShareNonSyncedItemInformative"},
    {"syAlertNotEnoughDiskSpaceToSyncButtonPauseSync", "Sync.AlertButton.PauseSync"},
    {"auIncludesVideoAnd", "AutoUpload.Import.IncludesVideoAnd.Text"},
    {"auIncludesVideoOr", "AutoUpload.Import.IncludesVideoOr.Text"},
    {"auPromptHeadlineText", "AutoUpload.Prompt.Headline"},
    {"auPromptNeverForThisDeviceButton", "AutoUpload.Button.NeverForThisDevice.Text"},
    {"auPromptStartImportButton", "AutoUpload.Button.StartImport.Text"},
    {"auMessageTitleImportComplete", "AutoUpload.Dialog.ImportCompleted.Title"},
    {"auMessageTitleNotEnoughStorage", "AutoUpload.Dialog.NotEnoughStorage.Title"},
    {"auMessageTitleLockedAppleDevice", "AutoUpload.Dialog.LockedDevice.Title"},
    {"auMessageTitleImportIncomplete", "AutoUpload.Dialog.ImportImcompleted.Title"},
    {"auMessageTitleFolderNotInSync", "AutoUpload.Dialog.folderNotInSync.Title"},
    {"auMessageTitleRootFolderFailure", "AutoUpload.Dialog.rootFolderFailure.Title"},
    {"auMessageTextImportComplete", "AutoUpload.Dialog.ImportCompleted.Text"},
    {"auMessageTextNotEnoughStorage", "AutoUpload.Dialog.NotEnoughStorage.Text"},
    {"auMessageTextLockedAppleDevice", "AutoUpload.Dialog.LockedDevice.Text"},
    {"auMessageTextImportIncomplete", "AutoUpload.Dialog.ImportImcompleted.Text"},
    {"auMessageTextFolderNotInSync", "AutoUpload.Dialog.folderNotInSync.Text"},
    {"auMessageTextRootFolderFailure", "AutoUpload.Dialog.rootFolderFailure.Text"},
    {"auNotificationTitleNoMediaFound", "AutoUpload.Notification.NoMediaFound.Title"},
    {"auNotificationTitleNoNewMediaFound", "AutoUpload.Notification.NoNewMediaFound.Title"},
    {"auNotificationTitleImportComplete", "AutoUpload.Notification.ImportCompleted.Title"},
    {"auNotificationTitleNotEnoughStorage", "AutoUpload.Notification.NotEnoughStorage.Title"},
    {"auNotificationTitleLockedAppleDevice", "AutoUpload.Notification.LockedAppleDevice.Title"},
    {"auNotificationTextNoMediaFound", "AutoUpload.Notification.NoMediaFound.Text"},
    {"auNotificationTextNoNewMediaFound", "AutoUpload.Notification.NoNewMediaFound.Text"},
    {"auNotificationTextImportComplete", "AutoUpload.Notification.ImportCompleted.Text"},
    {"auNotificationTextNotEnoughStorage", "AutoUpload.Notification.NotEnoughStorage.Text"},
    {"auNotificationTextLockedAppleDevice", "AutoUpload.Notification.LockedAppleDevice.Text"},
    {"auImportProgressFormatText", "AutoUpload.Import.Progress.Text"},
    {"suCheckBoxAutomaticallyCheckForUpdates", "SoftwareUpdate.CheckBox.CheckForUpdates"},
    {"suTestUpdateChannelEnableLabel", "SoftwareUpdate.Label.EnableTestUpdateChannel"},
    {"cdDebugMenuShowDatabaseButton", "ConnectionDoctor.DebugMenu.Button.ShowDatabase"},
    {"cdDebugMenuCrashButton", "ConnectionDoctor.DebugMenu.Button.TestCrash"},
};

QString derivedName(const QString& key) {
    const QStringList parts = key.split(QLatin1Char('.'));
    for (const Family& f : kFamilies)
        if (parts.first() == QLatin1String(f.family))
            return QLatin1String(f.prefix) + parts.mid(1).join(QString());
    return {};
}

// Every member, named independently of the controller's own table.
#define MEMBER(name) std::pair<QString, Member>(QStringLiteral(#name), &LocalizationController::name)
const std::vector<std::pair<QString, Member>>& members() {
    static const std::vector<std::pair<QString, Member>> list = {
        MEMBER(appPromptSendCrashReportsTitle),
        MEMBER(appPromptSendCrashReportsInformative),
        MEMBER(appPromptSendCrashReportsYes),
        MEMBER(appPromptSendCrashReportsNo),
        MEMBER(mbMenuItemSignedOut),
        MEMBER(mbMenuItemSignedIn),
        MEMBER(mbMenuItemSignIn),
        MEMBER(mbMenuItemBackupPreferences),
        MEMBER(mbMenuItemOpenFolder),
        MEMBER(mbMenuItemOpenWebsite),
        MEMBER(mbMenuItemOpenWebsiteURL),
        MEMBER(mbMenuItemShowSharedItems),
        MEMBER(mbMenuItemStartSync),
        MEMBER(mbMenuItemPauseSync),
        MEMBER(mbMenuItemBackUpNow),
        MEMBER(mbMenuItemSkipThisBackup),
        MEMBER(mbMenuItemCheckForUpdates),
        MEMBER(mbMenuItemPreferences),
        MEMBER(mbMenuItemHelp),
        MEMBER(mbMenuItemConnectionDoctor),
        MEMBER(mbMenuItemCreateErrorReport),
        MEMBER(mbMenuItemCreateErrorReportAlertTitle),
        MEMBER(mbMenuItemCreateErrorReportAlertMessage),
        MEMBER(mbMenuItemCreateErrorReportAlertCreateButton),
        MEMBER(mbMenuItemCreateErrorReportAlertCancelButton),
        MEMBER(mbMenuItemQuit),
        MEMBER(mbMenuItemLatestBackup),
        MEMBER(mbMenuItemNextBackup),
        MEMBER(mbMenuItemDownloadQueueCount),
        MEMBER(mbMenuItemDownloadQueueCountDetailsNotAvailable),
        MEMBER(mbMenuItemUploadQueueCount),
        MEMBER(mbMenuItemUploadQueueCountDetailsNotAvailable),
        MEMBER(mbMenuItemSyncStatusDisconnected),
        MEMBER(mbMenuItemSyncStatusConnecting),
        MEMBER(mbMenuItemSyncStatusRetrying),
        MEMBER(mbMenuItemSyncStatusConnected),
        MEMBER(mbMenuItemSyncStatusPaused),
        MEMBER(mbMenuItemSyncStatusUpToDate),
        MEMBER(mbMenuItemSyncStatusPreparing),
        MEMBER(mbMenuItemSyncStatusSyncingGeneral),
        MEMBER(mbMenuItemSyncStatusFinishing),
        MEMBER(mbMenuItemSyncStatusSyncing),
        MEMBER(mbMenuItemSyncStatusError),
        MEMBER(mbMenuItemOneItemNotSynchronized),
        MEMBER(mbMenuItemMultipleItemsNotSynchronized),
        MEMBER(mbMenuItemDebug),
        MEMBER(mbMenuItemDebugQuitAndResetToFactorySettings),
        MEMBER(mbAlertResetFactorySettingsMessage),
        MEMBER(mbAlertResetFactorySettingsInformative),
        MEMBER(mbAlertButtonResetFactorySettingsCancel),
        MEMBER(mbAlertButtonResetFactorySettingsQuitAndDelete),
        MEMBER(unBackupCancelledTitle),
        MEMBER(unBackupCancelledInformative),
        MEMBER(unBackupPreviewTitle),
        MEMBER(unBackupPreviewInformative),
        MEMBER(unBackupStartedTitle),
        MEMBER(unBackupStartedInformative),
        MEMBER(unBackupFinishedTitle),
        MEMBER(unBackupFinishedInformative),
        MEMBER(unBackupErrorTitle),
        MEMBER(unSyncSyncedTitle),
        MEMBER(unSyncSyncedInformative),
        MEMBER(unSyncPreparingTitle),
        MEMBER(unSyncPreparingInformative),
        MEMBER(unSyncErrorTitle),
        MEMBER(unSyncUpsellTitle),
        MEMBER(unSyncUpsellInformative),
        MEMBER(unSyncUpsellURL),
        MEMBER(unSyncEventSystemFolderMoveActionRevertTitle),
        MEMBER(unSyncEventSystemFolderMoveActionRevertInformative),
        MEMBER(unSyncEventRegularItemMoveActionRevertTitle),
        MEMBER(unSyncEventRegularItemMoveActionRevertInformative),
        MEMBER(unSyncEventTeamfolderAccessGrantedTitle),
        MEMBER(unSyncEventTeamfolderAccessGrantedInformative),
        MEMBER(unSyncEventTeamfolderAccessRemovedTitle),
        MEMBER(unSyncEventTeamfolderAccessRemovedInformative),
        MEMBER(obWindowTitleWelcome),
        MEMBER(obButtonContinue),
        MEMBER(obButtonGoBack),
        MEMBER(obAlertSignInMessage),
        MEMBER(obAlertSignInInformative),
        MEMBER(obAlertButtonSignInCancel),
        MEMBER(obAlertButtonSignInAgain),
        MEMBER(obLabelWelcomeMessage),
        MEMBER(obLabelWelcomeInformative),
        MEMBER(obButtonSignIn),
        MEMBER(obLabelTitle1),
        MEMBER(obLabelSubtitle1),
        MEMBER(obLabelTitle2),
        MEMBER(obLabelSubtitle2),
        MEMBER(obLabelTitle3),
        MEMBER(obLabelSubtitle3),
        MEMBER(obLabelRootSyncSelectionTitle),
        MEMBER(obLabelRootSyncSelectionSubtitle),
        MEMBER(obLabelRootSyncSelectionFolderLocation),
        MEMBER(obAlertMoveSyncFolderMessage),
        MEMBER(obAlertMoveSyncFolderInformative),
        MEMBER(obAlertButtonMoveSyncFolderCancel),
        MEMBER(obAlertButtonMoveSyncFolderMove),
        MEMBER(obLabelSelectiveSyncTitle),
        MEMBER(obLabelSelectiveSyncSubtitle),
        MEMBER(obMenuItemOtherFolder),
        MEMBER(obAlertMoveApplicationMessage),
        MEMBER(obAlertMoveApplicationInformative),
        MEMBER(obAlertButtonMoveApplicationDoNotMove),
        MEMBER(obAlertButtonMoveApplicationMoveToApplicationsFolder),
        MEMBER(obBvNoLongerAuthorizedURL),
        MEMBER(brLabelDescription),
        MEMBER(brCheckBoxBackUpAutomatically),
        MEMBER(brButtonConfigureBackup),
        MEMBER(brLabelBackupItems),
        MEMBER(brLabelLatestBackup),
        MEMBER(brLabelLatestBackupFailed),
        MEMBER(brLabelLatestBackupSkipped),
        MEMBER(brLabelNextBackup),
        MEMBER(brLabelSkipping),
        MEMBER(brLabelBackupDateFailed),
        MEMBER(brLabelBackupDateSkipped),
        MEMBER(brButtonRestoreBackup),
        MEMBER(brButtonStartBackup),
        MEMBER(brButtonCancelBackup),
        MEMBER(brButtonHelpURL),
        MEMBER(brLabelBackupName),
        MEMBER(brTextFieldBackupNameSuffix),
        MEMBER(brLabelScheduleDailyAt),
        MEMBER(brLabelBackupAutomatically),
        MEMBER(brCheckBoxPhotos),
        MEMBER(brCheckBoxToolTipPhotos),
        MEMBER(brCheckBoxVideos),
        MEMBER(brCheckBoxCalendars),
        MEMBER(brCheckBoxToolTipVideos),
        MEMBER(brCheckBoxContacts),
        MEMBER(brCheckBoxToolTipContacts),
        MEMBER(brCheckBoxToolTipCalendars),
        MEMBER(brLabelOptions),
        MEMBER(brCheckBoxKeepDeletedItems),
        MEMBER(brCheckBoxToolTipKeepDeletedItems),
        MEMBER(brCheckBoxShowBackupWarnings),
        MEMBER(brCheckBoxImmediatelyStartBackup),
        MEMBER(brCheckBoxToolTipImmediatelyStartBackup),
        MEMBER(brButtonDone),
        MEMBER(brAlertWrongBackupNameMessage),
        MEMBER(brAlertWrongBackupNameInformative),
        MEMBER(brAlertWrongBackupNameOK),
        MEMBER(brAlertBackupContentRemovedMessage),
        MEMBER(brAlertBackupContentRemovedInformative),
        MEMBER(brAlertBackupContentRemovedOK),
        MEMBER(brAlertBackupContentRemovedCancel),
        MEMBER(brLabelBackingUp),
        MEMBER(brLabelBackupPreviewProgress),
        MEMBER(brLabelBackupProgress),
        MEMBER(brAlertSkipBackupMessage),
        MEMBER(brAlertSkipBackupInformative),
        MEMBER(brAlertButtonCancel),
        MEMBER(brAlertButtonSkipBackup),
        MEMBER(brAlertPreBackupCalendarsAccessDeniedInformative),
        MEMBER(brAlertPreBackupCalendarsAccessDeniedMessage),
        MEMBER(brAlertPreBackupContactsAccessDeniedInformative),
        MEMBER(brAlertPreBackupContactsAccessDeniedMessage),
        MEMBER(brAlertPreBackupPhotoLibraryAccessDeniedInformative),
        MEMBER(brAlertPreBackupPhotoLibraryAccessDeniedMessage),
        MEMBER(brAlertButtonPreBackupPermissionDeniedCancel),
        MEMBER(brAlertButtonPreBackupPermissionDeniedOpenSystemPreferences),
        MEMBER(brWindowTitleRestoreBackup),
        MEMBER(brToolbarItemTitleRefresh),
        MEMBER(brToolbarItemTitleOpenPhotos),
        MEMBER(brToolbarItemTitleOpenVideos),
        MEMBER(brToolbarItemTitleOpenContacts),
        MEMBER(brToolbarItemTitleOpenCalendars),
        MEMBER(brToolbarItemTitleRestoreBackup),
        MEMBER(brToolbarItemToolTipOpenPhotos),
        MEMBER(brToolbarItemToolTipOpenVideos),
        MEMBER(brToolbarItemToolTipOpenContacts),
        MEMBER(brToolbarItemToolTipOpenCalendars),
        MEMBER(brToolbarItemToolTipRestoreBackup),
        MEMBER(brLabelDevices),
        MEMBER(brLabelSize),
        MEMBER(brLabelBackupDate),
        MEMBER(brLabelRestoreDescription),
        MEMBER(brLabelGenericRestoreProgress),
        MEMBER(brLabelLoading),
        MEMBER(brLabelRestoreProgress),
        MEMBER(brLabelRestoring),
        MEMBER(brButtonCancel),
        MEMBER(brButtonRestore),
        MEMBER(brButtonRestoreHelpURL),
        MEMBER(brLabelSuccessfullyRestored),
        MEMBER(brButtonOpenPhotos),
        MEMBER(brButtonOpenVideos),
        MEMBER(brButtonOpenContacts),
        MEMBER(brButtonOpenCalendars),
        MEMBER(brAlertNotEnoughSpaceToBackupMessage),
        MEMBER(brAlertNotEnoughSpaceToBackupInformative),
        MEMBER(brAlertNotEnoughSpaceToRestoreMessage),
        MEMBER(brAlertNotEnoughSpaceToRestoreInformative),
        MEMBER(syAlertRestoreIncompleteMessage),
        MEMBER(syAlertRestoreIncompleteInformative),
        MEMBER(syAlertRestoreStillRunningMessage),
        MEMBER(syAlertRestoreStillRunningFromQuitInformative),
        MEMBER(syAlertRestoreStillRunningFromSignOutInformative),
        MEMBER(brLabelUpsellTitle),
        MEMBER(brLabelUpsellDescription),
        MEMBER(brButtonUpsellUpgradeNow),
        MEMBER(brButtonUpsellURL),
        MEMBER(brButtonUpsellHelpURL),
        MEMBER(auMessageTitleInsufficientBackupStorage),
        MEMBER(auMessageTextInsufficientBackupStorage),
        MEMBER(prToolbarItemTitleGeneral),
        MEMBER(prToolbarItemTitleSync),
        MEMBER(prToolbarItemTitleEncryption),
        MEMBER(prToolbarItemTitleBackup),
        MEMBER(prToolbarItemTitleImport),
        MEMBER(prToolbarItemTitleUpdates),
        MEMBER(geLabelUserName),
        MEMBER(geButtonSignIn),
        MEMBER(geButtonSignOut),
        MEMBER(geLabelStorageProvider),
        MEMBER(geLabelStorageDetailsNotAvailable),
        MEMBER(geLabelStorageUsed),
        MEMBER(geCheckBoxOpenAutomaticallyOnLogin),
        MEMBER(geCheckBoxShowBadgesInFinder),
        MEMBER(geCheckBoxShareProductAnalytics),
        MEMBER(geLabelPrivacyPolicy),
        MEMBER(geLabelPrivacyPolicyURL),
        MEMBER(geLabelLegal),
        MEMBER(geLabelLegalURL),
        MEMBER(geLabelAcknowledgments),
        MEMBER(geLabelVersion),
        MEMBER(geButtonHelpURL),
        MEMBER(shWindowTitleSharedItems),
        MEMBER(shToolbarItemTitleRefresh),
        MEMBER(shToolbarItemTitleDelete),
        MEMBER(shToolbarItemTitleOpenInBrowser),
        MEMBER(shToolbarItemTitleSendEmail),
        MEMBER(shToolbarItemTitleShareItem),
        MEMBER(shAlertDeleteShareMessage),
        MEMBER(shAlertDeleteShareInformative),
        MEMBER(shAlertDeleteShareCancel),
        MEMBER(shAlertDeleteShareDelete),
        MEMBER(shItemWindowTitleNewMessage),
        MEMBER(shItemLabelShareViaEmail),
        MEMBER(shItemLabelSize),
        MEMBER(shItemLabelModified),
        MEMBER(shItemLabelTo),
        MEMBER(shItemLabelNoSharedItemsTitle),
        MEMBER(shItemLabelNoSharedItemsDescription),
        MEMBER(shItemButtonCancel),
        MEMBER(shItemButtonSend),
        MEMBER(shItemLabelLink),
        MEMBER(shItemButtonCopy),
        MEMBER(shItemButtonShareAgain),
        MEMBER(shItemLabelShareAlreadyExpired),
        MEMBER(shItemButtonAdvancedOptions),
        MEMBER(shItemLabelDaysValid),
        MEMBER(shItemLabelMaximumDownloads),
        MEMBER(shItemMenuItemDaysValidUnlimited),
        MEMBER(shItemMenuItemMaximumDownloadsUnlimited),
        MEMBER(shItemCheckBoxWriteAccess),
        MEMBER(shItemLabelWriteAccessDescription),
        MEMBER(shItemButtonSetPassword),
        MEMBER(shItemButtonChangePassword),
        MEMBER(shItemServiceSubjectDirectory),
        MEMBER(shItemServiceMessageBodyDirectory),
        MEMBER(shItemServiceSubjectFile),
        MEMBER(shItemServiceMessageBodyFile),
        MEMBER(shItemAlertMultipleItemsMessage),
        MEMBER(shItemAlertMultipleItemsInformative),
        MEMBER(shItemAlertOutsideSyncRootMessage),
        MEMBER(shItemAlertOutsideSyncRootInformative),
        MEMBER(shItemAlertRetryShareMessage),
        MEMBER(shItemAlertRetryShareInformative),
        MEMBER(shItemButtonRetryShareCancel),
        MEMBER(shItemButtonRetryShareRetry),
        MEMBER(shItemButtonOpenFolder),
        MEMBER(shItemLabelLoading),
        MEMBER(shItemAlertNoInternetConnectionMessage),
        MEMBER(shItemAlertNoInternetConnectionInformative),
        MEMBER(shItemAlertForbiddenMessage),
        MEMBER(shItemAlertForbiddenInformative),
        MEMBER(shItemAlertUnableToShareNonSyncedItemMessage),
        MEMBER(shItemAlertUnableToShareNonSyncItemInformative),
        MEMBER(shItemAlertPathTooLongMessage),
        MEMBER(shItemAlertPathTooLongInformative),
        MEMBER(shItemAlertUnableToShareItemGenericMessage),
        MEMBER(shItemAlertUnableToShareItemGenericInformative),
        MEMBER(shItemLabelAccessSingle),
        MEMBER(shItemLabelAccessMultiple),
        MEMBER(shPasswordLabelDescription),
        MEMBER(shPasswordLabelPassword),
        MEMBER(shPasswordLabelVerify),
        MEMBER(shPasswordLabelPasswordsDoNotMatch),
        MEMBER(shPasswordLabelPasswordInvalid),
        MEMBER(shPasswordButtonRemovePassword),
        MEMBER(shPasswordButtonCancel),
        MEMBER(shPasswordButtonSetPassword),
        MEMBER(syAlertUnauthorizedMessage),
        MEMBER(syAlertUnauthorizedInformative),
        MEMBER(syAlertPreferencesGoneMessage),
        MEMBER(syAlertPreferencesGoneInformative),
        MEMBER(syAlertRootFolderMovedMessage),
        MEMBER(syAlertRootFolderMovedInformative),
        MEMBER(syAlertRootFolderOwnedByAnotherAccountMessage),
        MEMBER(syAlertRootFolderOwnedByAnotherAccountInformative),
        MEMBER(syAlertRootFolderIsChildOfAnotherRootFolderMessage),
        MEMBER(syAlertRootFolderIsChildOfAnotherRootFolderInformative),
        MEMBER(syAlertRootFolderNotWritableMessage),
        MEMBER(syAlertRootFolderNotWritableInformative),
        MEMBER(syAlertRootFolderVolumeIncompatibleMessage),
        MEMBER(syAlertRootFolderVolumeIncompatibleInformative),
        MEMBER(syAlertRootFolderVolumeNotLocalMessage),
        MEMBER(syAlertRootFolderVolumeNotLocalInformative),
        MEMBER(syAlertButtonQuit),
        MEMBER(syAlertButtonContinueSync),
        MEMBER(syAlertBackupQuotaViolationMessage),
        MEMBER(syAlertBackupQuotaViolationInformative),
        MEMBER(syAlertQuotaViolationMessage),
        MEMBER(syAlertQuotaViolationInformative),
        MEMBER(syAlertButtonOK),
        MEMBER(syAlertButtonUpgrade),
        MEMBER(syAlertUpgradeURL),
        MEMBER(syAlertSystemFolderDeletedMessage),
        MEMBER(syAlertSystemFolderDeletedInformative),
        MEMBER(syAlertNotEnoughDiskSpaceToSyncMessage),
        MEMBER(syAlertNotEnoughDiskSpaceToSyncInformative),
        MEMBER(syAlertNotEnoughDiskSpaceToSyncButtonPauseSync),
        MEMBER(ssLabelDescription),
        MEMBER(ssLabelLoading),
        MEMBER(ssLabelNoFoldersToSelect),
        MEMBER(ssButtonSelectFoldersToSync),
        MEMBER(ssLabelFolderSelectionDescription),
        MEMBER(ssCheckBoxSyncAllFolders),
        MEMBER(ssButtonCancel),
        MEMBER(ssButtonOK),
        MEMBER(ssFileSuffixConflict),
        MEMBER(ssAlertNotEnoughDiskSpaceMessage),
        MEMBER(ssAlertNotEnoughDiskSpaceInformativeText),
        MEMBER(auLabelDescription),
        MEMBER(auLabelContents),
        MEMBER(auPopUpPhotos),
        MEMBER(auPopUpPhotosAndVideos),
        MEMBER(auButtonClearDevices),
        MEMBER(auPromptLabelTitle),
        MEMBER(auPromptLabelDescription),
        MEMBER(auPromptLabelStoragePath),
        MEMBER(auPromptButtonNeverForThisDevice),
        MEMBER(auPromptButtonStartImport),
        MEMBER(auButtonHelpURL),
        MEMBER(auIncludesVideoAnd),
        MEMBER(auIncludesVideoOr),
        MEMBER(auPromptHeadlineText),
        MEMBER(auDialogWindowTitle),
        MEMBER(auPromptText),
        MEMBER(auPromptStoragePathText),
        MEMBER(auPromptNeverForThisDeviceButton),
        MEMBER(auProgressPromptStatusText),
        MEMBER(auButtonOK),
        MEMBER(auOKButton),
        MEMBER(auButtonCancel),
        MEMBER(auPromptStartImportButton),
        MEMBER(auMessageTitleImportComplete),
        MEMBER(auMessageTitleNotEnoughStorage),
        MEMBER(auMessageTitleLockedAppleDevice),
        MEMBER(auMessageTitleImportIncomplete),
        MEMBER(auMessageTitleFolderNotInSync),
        MEMBER(auMessageTitleRootFolderFailure),
        MEMBER(auMessageTextImportComplete),
        MEMBER(auMessageTextNotEnoughStorage),
        MEMBER(auMessageTextLockedAppleDevice),
        MEMBER(auMessageTextImportIncomplete),
        MEMBER(auMessageTextFolderNotInSync),
        MEMBER(auMessageTextRootFolderFailure),
        MEMBER(auNotificationTitleNoMediaFound),
        MEMBER(auNotificationTitleNoNewMediaFound),
        MEMBER(auNotificationTitleImportComplete),
        MEMBER(auNotificationTitleNotEnoughStorage),
        MEMBER(auNotificationTitleLockedAppleDevice),
        MEMBER(auNotificationTextNoMediaFound),
        MEMBER(auNotificationTextNoNewMediaFound),
        MEMBER(auNotificationTextImportComplete),
        MEMBER(auNotificationTextNotEnoughStorage),
        MEMBER(auNotificationTextLockedAppleDevice),
        MEMBER(auImportProgressFormatText),
        MEMBER(suLabelDescription),
        MEMBER(suCheckBoxAutomaticallyCheckForUpdates),
        MEMBER(suCheckBoxAutomaticallyDownloadUpdates),
        MEMBER(suLabelUpdateInterval),
        MEMBER(suPopUpUpdateIntervalHourly),
        MEMBER(suPopUpUpdateIntervalDaily),
        MEMBER(suPopUpUpdateIntervalWeekly),
        MEMBER(suPopUpUpdateIntervalMonthly),
        MEMBER(suLabelLastCheckForUpdates),
        MEMBER(suButtonCheckForUpdates),
        MEMBER(suButtonCheckNow),
        MEMBER(suTestUpdateChannelEnableLabel),
        MEMBER(crLabelUpsellTitle),
        MEMBER(crLabelUpsellDescription),
        MEMBER(crButtonUpsellUpgradeNow),
        MEMBER(crButtonUpsellURL),
        MEMBER(crButtonUpsellHelpURL),
        MEMBER(crLabelCreateKeyDescription),
        MEMBER(crLabelCreateKeyPassword),
        MEMBER(crLabelCreateKeyVerify),
        MEMBER(crLabelCreateKeySaveKeyCopyTo),
        MEMBER(crMenuItemOtherFolder),
        MEMBER(crLabelCreateKeyUserConsent),
        MEMBER(crButtonCreateKeyHelpURL),
        MEMBER(crButtonCreateKeyCancel),
        MEMBER(crButtonCreateKey),
        MEMBER(crAlertDebugKeySuccessMessage),
        MEMBER(crAlertDebugKeySuccessInformative),
        MEMBER(crAlertDebugKeyFailedMessage),
        MEMBER(crAlertDebugKeyFailedInformative),
        MEMBER(crAlertButtonDebugKeyOK),
        MEMBER(cdWindowTitleMainWindow),
        MEMBER(cdTabItemSyncErrors),
        MEMBER(cdTabItemSyncLogs),
        MEMBER(cdTabItemDebugMenu),
        MEMBER(cdTableViewColumnTitleSyncLogsMessages),
        MEMBER(cdTableViewColumnTitleSyncErrorsDate),
        MEMBER(cdTableViewColumnTitleSyncErrorsRelativePath),
        MEMBER(cdTableViewColumnTitleSyncErrorsError),
        MEMBER(cdButtonHelpURL),
        MEMBER(cdLabelContinuouslyUpdateErrorLogs),
        MEMBER(cdButtonClearLogs),
        MEMBER(cdButtonShowLogs),
        MEMBER(cdDebugMenuShowDatabaseButton),
        MEMBER(cdDebugMenuCrashButton),
        MEMBER(cdSyncNotificationMessageLocalItemRenamed),
        MEMBER(raAlertNoConnectionMessage),
        MEMBER(raAlertNoConnectionInformative),
        MEMBER(raAlertButtonNoConnectionOK),
    };
    return list;
}
#undef MEMBER

TEST_F(LocalizationControllerTest, CountsOfGettersKeysAndFamilies) {
    const auto& getters = LocalizationController::getters();
    EXPECT_EQ(getters.size(), 431u);
    QSet<QString> names, keys;
    for (const auto& g : getters) {
        names.insert(g.name);
        if (!g.key.isEmpty()) keys.insert(g.key);
    }
    EXPECT_EQ(names.size(), 431);
    EXPECT_EQ(keys.size(), 429);

    QHash<QString, int> perFamily;
    for (const QString& key : keys) {
        const QStringList parts = key.split(QLatin1Char('.'));
        EXPECT_TRUE(parts.size() == 3 || parts.size() == 4) << key.toStdString();
        ++perFamily[parts.first()];
    }
    EXPECT_EQ(perFamily.size(), static_cast<qsizetype>(kFamilies.size()));
    for (const Family& f : kFamilies) {
        SCOPED_TRACE(f.family);
        EXPECT_EQ(perFamily.value(QLatin1String(f.family)), f.keys);
    }
}

TEST_F(LocalizationControllerTest, IrregularNamesReadTheirKeys) {
    EXPECT_EQ(kIrregular.size(), 49u);
    for (const auto& [name, key] : kIrregular) {
        SCOPED_TRACE(name);
        const auto* g = findGetter(QString::fromStdString(name));
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->key, QString::fromStdString(key));
        EXPECT_NE(derivedName(g->key), g->name);
    }
}

TEST_F(LocalizationControllerTest, RegularNamesFollowFromTheirKeys) {
    int regular = 0;
    for (const auto& g : LocalizationController::getters()) {
        SCOPED_TRACE(g.name.toStdString());
        if (g.name == QLatin1String("auOKButton") || g.name == QLatin1String("obBvNoLongerAuthorizedURL"))
            continue;
        if (kIrregular.count(g.name.toStdString())) continue;
        EXPECT_EQ(g.name, derivedName(g.key)) << g.key.toStdString();
        ++regular;
    }
    EXPECT_EQ(regular, 429 - 49);
}

TEST_F(LocalizationControllerTest, SpecialGetters) {
    const LocalizationController lc;
    const auto* alias = findGetter(QStringLiteral("auOKButton"));
    ASSERT_NE(alias, nullptr);
    EXPECT_EQ(alias->key, QStringLiteral("AutoUpload.Button.OK"));
    EXPECT_EQ(lc.auOKButton(), lc.auButtonOK());
    EXPECT_FALSE(lc.auOKButton().isEmpty());

    const auto* noKey = findGetter(QStringLiteral("obBvNoLongerAuthorizedURL"));
    ASSERT_NE(noKey, nullptr);
    EXPECT_TRUE(noKey->key.isEmpty());
    EXPECT_EQ(lc.obBvNoLongerAuthorizedURL(), QString());
    // Not even a table that answers every lookup gives it a text.
    QHash<QString, QString> everything = shippedStrings();
    everything.insert(QString(), QStringLiteral("filled"));
    everything.insert(QStringLiteral("obBvNoLongerAuthorizedURL"), QStringLiteral("filled"));
    Bundle::main().setStringsTable({}, everything);
    EXPECT_EQ(lc.obBvNoLongerAuthorizedURL(), QString());
    EXPECT_EQ(lc.text(QStringLiteral("obBvNoLongerAuthorizedURL")), QString());
}

TEST_F(LocalizationControllerTest, MissingKeyReadsAsTheKeyAndTablesAreNotCached) {
    const LocalizationController lc;
    EXPECT_EQ(lc.mbMenuItemQuit(), QStringLiteral("Quit Orvella"));

    QHash<QString, QString> table = shippedStrings();
    table.remove(QStringLiteral("MenuBar.MenuItem.Quit"));
    table.insert(QStringLiteral("MenuBar.MenuItem.Help"), QStringLiteral("Assistance"));
    Bundle::main().setStringsTable({}, table);
    EXPECT_EQ(lc.mbMenuItemQuit(), QStringLiteral("MenuBar.MenuItem.Quit"));
    EXPECT_EQ(lc.mbMenuItemHelp(), QStringLiteral("Assistance"));
    EXPECT_EQ(lc.localizedString(QStringLiteral("No.Such.Key")), QStringLiteral("No.Such.Key"));
}

// With an empty table every getter answers its own key, so a member that reads the wrong key, or a
// table row that names the wrong member, shows up as a mismatch.
TEST_F(LocalizationControllerTest, EveryMemberIsReachableByItsNameAndReadsItsKey) {
    const LocalizationController lc;
    ASSERT_EQ(members().size(), LocalizationController::getters().size());
    Bundle::main().setStringsTable({}, {});
    for (const auto& [name, member] : members()) {
        SCOPED_TRACE(name.toStdString());
        const auto* g = findGetter(name);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->get, member);
        EXPECT_EQ((lc.*member)(), g->key);
        EXPECT_EQ(lc.text(name), (lc.*member)());
    }
    Bundle::main().setStringsTable({}, shippedStrings());
    for (const auto& [name, member] : members()) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(lc.text(name), (lc.*member)());
    }
}

TEST_F(LocalizationControllerTest, UnknownNamesHaveNoText) {
    const LocalizationController lc;
    for (const char* name : {"", "mbmenuitemquit", "MbMenuItemQuit", "mbMenuItemQuit ", "localizedString",
                             "text", "getters", "MenuBar.MenuItem.Quit", "auOkButton"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(lc.text(QString::fromUtf8(name)), std::nullopt);
    }
}

TEST_F(LocalizationControllerTest, ShippedTableHasTextForEveryKeyAndNothingElse) {
    const QHash<QString, QString> table = shippedStrings();
    QSet<QString> keys;
    std::vector<LocalizationController::Getter> all = LocalizationController::getters();
    all.insert(all.end(), LocalizationController::errorGetters().begin(), LocalizationController::errorGetters().end());
    for (const auto& g : all) {
        if (g.key.isEmpty()) continue;
        keys.insert(g.key);
        SCOPED_TRACE(g.key.toStdString());
        ASSERT_TRUE(table.contains(g.key));
        EXPECT_FALSE(table.value(g.key).trimmed().isEmpty());
    }
    // A misspelt key in the table would leave its getter showing the bare key.
    for (auto it = table.cbegin(); it != table.cend(); ++it) EXPECT_TRUE(keys.contains(it.key())) << it.key().toStdString();
}

TEST_F(LocalizationControllerTest, AddressesAreHttpsOnTheProductHost) {
    const LocalizationController lc;
    int addresses = 0;
    for (const auto& g : LocalizationController::getters()) {
        if (!g.key.endsWith(QLatin1String("URL"))) continue;
        SCOPED_TRACE(g.name.toStdString());
        ++addresses;
        const QUrl url((lc.*g.get)(), QUrl::StrictMode);
        EXPECT_TRUE(url.isValid());
        EXPECT_EQ(url.scheme(), QStringLiteral("https"));
        EXPECT_TRUE(url.host().endsWith(QLatin1String(".example"))) << url.host().toStdString();
    }
    EXPECT_EQ(addresses, 15);
}

// Callers fill these texts with QString::arg in the given order; every other text is shown as is.
struct FormatCase {
    const char* getter;
    int arguments;
};

const std::vector<FormatCase> kFormats = {
    {"mbMenuItemLatestBackup", 1},
    {"mbMenuItemNextBackup", 1},
    {"mbMenuItemDownloadQueueCount", 2},
    {"mbMenuItemUploadQueueCount", 2},
    {"mbMenuItemOneItemNotSynchronized", 1},
    {"mbMenuItemMultipleItemsNotSynchronized", 1},
    {"unSyncEventTeamfolderAccessGrantedInformative", 1},
    {"unSyncEventTeamfolderAccessRemovedInformative", 1},
    {"obAlertMoveSyncFolderInformative", 1},
    {"brLabelBackupDateFailed", 1},
    {"brLabelBackupDateSkipped", 1},
    {"brLabelBackupPreviewProgress", 1},
    {"brLabelBackupProgress", 2},
    {"brLabelRestoreProgress", 2},
    {"geLabelUserName", 1},
    {"geLabelVersion", 1},
    {"geLabelStorageUsed", 2},
    {"shAlertDeleteShareMessage", 1},
    {"shItemLabelShareViaEmail", 1},
    {"shItemServiceSubjectDirectory", 1},
    {"shItemServiceMessageBodyDirectory", 1},
    {"shItemServiceSubjectFile", 1},
    {"shItemServiceMessageBodyFile", 1},
    {"shItemLabelAccessSingle", 1},
    {"shItemLabelAccessMultiple", 1},
    {"auImportProgressFormatText", 2},
    {"cdSyncNotificationMessageLocalItemRenamed", 2},
};

TEST_F(LocalizationControllerTest, PlaceholdersMatchWhatCallersFillIn) {
    const LocalizationController lc;
    std::map<QString, int> expected;
    for (const FormatCase& f : kFormats) expected[QString::fromUtf8(f.getter)] = f.arguments;
    for (const auto& g : LocalizationController::getters()) {
        SCOPED_TRACE(g.name.toStdString());
        const QString text = (lc.*g.get)();
        const auto it = expected.find(g.name);
        const int arguments = it == expected.end() ? 0 : it->second;
        if (it != expected.end()) expected.erase(it);
        EXPECT_EQ(text.count(QLatin1Char('%')), arguments) << text.toStdString();
        QString filled = text;
        for (int i = 1; i <= arguments; ++i) {
            EXPECT_TRUE(text.contains(QStringLiteral("%%1").arg(i))) << text.toStdString();
            filled = filled.arg(QStringLiteral("<arg%1>").arg(i));
        }
        for (int i = 1; i <= arguments; ++i) EXPECT_TRUE(filled.contains(QStringLiteral("<arg%1>").arg(i)));
    }
    for (const auto& [name, arguments] : expected) ADD_FAILURE() << "no getter named " << name.toStdString();
}

// Texts that other code feeds into rules of its own.
TEST_F(LocalizationControllerTest, TextsUsedAsDataFitTheirRules) {
    const LocalizationController lc;
    // The default backup name is "<host> <suffix>" and must pass the backup-name check.
    const QString suffix = lc.brTextFieldBackupNameSuffix();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[\\p{L}\\p{N}]+( [\\p{L}\\p{N}]+)*$")).match(suffix).hasMatch())
        << suffix.toStdString();
    // The conflict suffix becomes part of file names.
    const QString conflict = lc.ssFileSuffixConflict();
    EXPECT_FALSE(conflict.trimmed().isEmpty());
    EXPECT_FALSE(conflict.contains(QLatin1Char('/')));
    EXPECT_EQ(conflict, conflict.trimmed());
}

// The error texts: "Error.<Domain>.<Case>.<Field>", read by "er" + short domain + case + field.
struct ErrorDomain {
    const char* domain;
    const char* shortForm;
    std::vector<const char*> allFields;    // cases with all three fields
    std::vector<const char*> someFields;  // cases with fewer
    std::vector<const char*> fields;       // the fields of those
};

const std::vector<ErrorDomain> kErrorDomains = {
    {"API", "API",
     {"Generic", "BadRequest", "Forbidden", "NotFound", "Conflict", "UnprocessableEntity", "ServerError",
      "UnsupportedMediaType", "RequestedRangeNotSatisfiable", "Gone", "RequestEntityTooLarge", "BadGateway",
      "ServiceUnavailable", "GatewayTimeout", "InsufficientStorage"},
     {},
     {}},
    {"Business", "Bus",
     {"Generic", "DirectoryNameEmpty", "InvalidData", "FormatError", "UnableToDownload", "NoConnection",
      "UnableToSave", "DirectoryUnknown", "Setup", "UnavailableFeatureForEncryptedItem", "CryptoError",
      "PasswordNeeded", "UnfulfilledRequirement", "ContactsAccessDenied", "Timeout"},
     {"PhotosAccessDenied", "CalendarsAccessDenied"},
     {"Description", "RecoverySuggestion"}},
    {"Upload", "Upl", {"Generic", "AlreadyAdded", "NotFound", "InvalidStatus", "UnexpectedSituation"}, {}, {}},
    {"Store", "Sto", {"InvalidRootNode"}, {}, {}},
    {"Sync", "Syn",
     {"InsufficientLocalStorage", "InsufficientRemoteStorage", "ItemIsReadonlyOnLocalFS", "ItemIsReadonlyOnRemote",
      "ItemIsInReadonlyDirectory", "RootDirectoryNotFound", "SetupFailure"},
     {"TooManyRepeatedUploads"},
     {"Description"}},
};

QSet<QString> expectedErrorKeys() {
    QSet<QString> keys;
    for (const ErrorDomain& d : kErrorDomains) {
        for (const char* c : d.allFields)
            for (const char* f : {"Description", "FailureReason", "RecoverySuggestion"})
                keys.insert(QStringLiteral("Error.%1.%2.%3").arg(QLatin1String(d.domain), QLatin1String(c), QLatin1String(f)));
        for (const char* c : d.someFields)
            for (const char* f : d.fields)
                keys.insert(QStringLiteral("Error.%1.%2.%3").arg(QLatin1String(d.domain), QLatin1String(c), QLatin1String(f)));
    }
    return keys;
}

QString derivedErrorName(const QString& key) {
    const QStringList parts = key.split(QLatin1Char('.'));
    if (parts.size() != 4 || parts[0] != QLatin1String("Error")) return {};
    for (const ErrorDomain& d : kErrorDomains)
        if (parts[1] == QLatin1String(d.domain)) return QLatin1String("er") + QLatin1String(d.shortForm) + parts[2] + parts[3];
    return {};
}

TEST_F(LocalizationControllerTest, ErrorGettersAreExactlyTheKeyTableAndOneWithoutKey) {
    const auto& errors = LocalizationController::errorGetters();
    EXPECT_EQ(errors.size(), 135u);
    QSet<QString> keys, names;
    for (const auto& g : errors) {
        names.insert(g.name);
        if (!g.key.isEmpty()) keys.insert(g.key);
    }
    EXPECT_EQ(names.size(), 135);
    EXPECT_EQ(keys.size(), 134);
    EXPECT_EQ(keys, expectedErrorKeys());
    // The two tables stay apart: no name or key of one shows up in the other.
    for (const auto& g : LocalizationController::getters()) {
        EXPECT_FALSE(names.contains(g.name)) << g.name.toStdString();
        EXPECT_FALSE(keys.contains(g.key)) << g.key.toStdString();
    }
}

TEST_F(LocalizationControllerTest, ErrorGetterNamesFollowFromTheirKeys) {
    const auto& errors = LocalizationController::errorGetters();
    for (const auto& g : errors) {
        SCOPED_TRACE(g.name.toStdString());
        if (g.key.isEmpty()) {
            EXPECT_EQ(g.name, QStringLiteral("erAPIBvNotAuthorizedDescription"));
            continue;
        }
        EXPECT_EQ(g.name, derivedErrorName(g.key)) << g.key.toStdString();
    }
}

// With an empty table each getter answers its key, so a member that reads another key shows.
TEST_F(LocalizationControllerTest, ErrorGettersReadTheirKeysAndAreReachableByName) {
    const LocalizationController lc;
    Bundle::main().setStringsTable({}, {});
    for (const auto& g : LocalizationController::errorGetters()) {
        SCOPED_TRACE(g.name.toStdString());
        EXPECT_EQ((lc.*g.get)(), g.key);
        EXPECT_EQ(lc.text(g.name), g.key);
    }
    EXPECT_EQ(lc.erBusNoConnectionRecoverySuggestion(), QStringLiteral("Error.Business.NoConnection.RecoverySuggestion"));
    EXPECT_EQ(lc.erAPIGatewayTimeoutDescription(), QStringLiteral("Error.API.GatewayTimeout.Description"));
    EXPECT_EQ(lc.erSynTooManyRepeatedUploadsDescription(), QStringLiteral("Error.Sync.TooManyRepeatedUploads.Description"));

    Bundle::main().setStringsTable({}, shippedStrings());
    for (const auto& g : LocalizationController::errorGetters()) {
        SCOPED_TRACE(g.name.toStdString());
        const QString text = (lc.*g.get)();
        EXPECT_EQ(lc.text(g.name), text);
        // Shown as they are: nothing for a caller to fill in, and never the bare key.
        EXPECT_FALSE(text.contains(QLatin1Char('%'))) << text.toStdString();
        if (!g.key.isEmpty()) {
            EXPECT_NE(text, g.key);
        }
    }
}

TEST_F(LocalizationControllerTest, NotAuthorizedDescriptionIsAlwaysEmpty) {
    const LocalizationController lc;
    QHash<QString, QString> everything = shippedStrings();
    everything.insert(QString(), QStringLiteral("filled"));
    everything.insert(QStringLiteral("erAPIBvNotAuthorizedDescription"), QStringLiteral("filled"));
    everything.insert(QStringLiteral("Error.API.NotAuthorized.Description"), QStringLiteral("filled"));
    Bundle::main().setStringsTable({}, everything);
    EXPECT_EQ(lc.erAPIBvNotAuthorizedDescription(), QString());
    EXPECT_EQ(lc.text(QStringLiteral("erAPIBvNotAuthorizedDescription")), QString());
}

}  // namespace
