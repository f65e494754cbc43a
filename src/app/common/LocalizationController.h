#pragma once

#include <QString>

#include <optional>
#include <vector>

// The user-visible texts of all three executables, one getter per text. Each getter looks its fixed
// key up in the main bundle's "Localizable" strings table on every call; nothing is cached, so a
// table swapped at run time shows at once. A key missing from the table reads as the key itself.
// The class holds no state: creating one is free and its getters may be called on any thread.
// Forms and bindings reach a text by the getter's exact name through text() and getters().
class LocalizationController {
public:
    using Member = QString (LocalizationController::*)() const;

    struct Getter {
        QString name;
        QString key;  // empty for the getters without a key, which always answer empty
        Member get;
    };

    LocalizationController() = default;

    // Every getter of the texts shared by the three executables, in declaration order.
    static const std::vector<Getter>& getters();
    // The error texts of the main application ("Error.<Domain>.<Case>.<Field>"), in declaration
    // order; erAPIBvNotAuthorizedDescription has no key.
    static const std::vector<Getter>& errorGetters();
    // The text of the getter with exactly this name, in either table; nullopt when there is none.
    std::optional<QString> text(const QString& getterName) const;

    // The single lookup behind every getter.
    QString localizedString(const QString& key) const;

    // App
    QString appPromptSendCrashReportsTitle() const;
    QString appPromptSendCrashReportsInformative() const;
    QString appPromptSendCrashReportsYes() const;
    QString appPromptSendCrashReportsNo() const;

    // MenuBar
    QString mbMenuItemSignedOut() const;
    QString mbMenuItemSignedIn() const;
    QString mbMenuItemSignIn() const;
    QString mbMenuItemBackupPreferences() const;
    QString mbMenuItemOpenFolder() const;
    QString mbMenuItemOpenWebsite() const;
    QString mbMenuItemOpenWebsiteURL() const;
    QString mbMenuItemShowSharedItems() const;
    QString mbMenuItemStartSync() const;
    QString mbMenuItemPauseSync() const;
    QString mbMenuItemBackUpNow() const;
    QString mbMenuItemSkipThisBackup() const;
    QString mbMenuItemCheckForUpdates() const;
    QString mbMenuItemPreferences() const;
    QString mbMenuItemHelp() const;
    QString mbMenuItemConnectionDoctor() const;
    QString mbMenuItemCreateErrorReport() const;
    QString mbMenuItemCreateErrorReportAlertTitle() const;
    QString mbMenuItemCreateErrorReportAlertMessage() const;
    QString mbMenuItemCreateErrorReportAlertCreateButton() const;
    QString mbMenuItemCreateErrorReportAlertCancelButton() const;
    QString mbMenuItemQuit() const;
    QString mbMenuItemLatestBackup() const;
    QString mbMenuItemNextBackup() const;
    QString mbMenuItemDownloadQueueCount() const;
    QString mbMenuItemDownloadQueueCountDetailsNotAvailable() const;
    QString mbMenuItemUploadQueueCount() const;
    QString mbMenuItemUploadQueueCountDetailsNotAvailable() const;
    QString mbMenuItemSyncStatusDisconnected() const;
    QString mbMenuItemSyncStatusConnecting() const;
    QString mbMenuItemSyncStatusRetrying() const;
    QString mbMenuItemSyncStatusConnected() const;
    QString mbMenuItemSyncStatusPaused() const;
    QString mbMenuItemSyncStatusUpToDate() const;
    QString mbMenuItemSyncStatusPreparing() const;
    QString mbMenuItemSyncStatusSyncingGeneral() const;
    QString mbMenuItemSyncStatusFinishing() const;
    QString mbMenuItemSyncStatusSyncing() const;
    QString mbMenuItemSyncStatusError() const;
    QString mbMenuItemOneItemNotSynchronized() const;
    QString mbMenuItemMultipleItemsNotSynchronized() const;
    QString mbMenuItemDebug() const;
    QString mbMenuItemDebugQuitAndResetToFactorySettings() const;
    QString mbAlertResetFactorySettingsMessage() const;
    QString mbAlertResetFactorySettingsInformative() const;
    QString mbAlertButtonResetFactorySettingsCancel() const;
    QString mbAlertButtonResetFactorySettingsQuitAndDelete() const;

    // UserNotification
    QString unBackupCancelledTitle() const;
    QString unBackupCancelledInformative() const;
    QString unBackupPreviewTitle() const;
    QString unBackupPreviewInformative() const;
    QString unBackupStartedTitle() const;
    QString unBackupStartedInformative() const;
    QString unBackupFinishedTitle() const;
    QString unBackupFinishedInformative() const;
    QString unBackupErrorTitle() const;
    QString unSyncSyncedTitle() const;
    QString unSyncSyncedInformative() const;
    QString unSyncPreparingTitle() const;
    QString unSyncPreparingInformative() const;
    QString unSyncErrorTitle() const;
    QString unSyncUpsellTitle() const;
    QString unSyncUpsellInformative() const;
    QString unSyncUpsellURL() const;
    QString unSyncEventSystemFolderMoveActionRevertTitle() const;
    QString unSyncEventSystemFolderMoveActionRevertInformative() const;
    QString unSyncEventRegularItemMoveActionRevertTitle() const;
    QString unSyncEventRegularItemMoveActionRevertInformative() const;
    QString unSyncEventTeamfolderAccessGrantedTitle() const;
    QString unSyncEventTeamfolderAccessGrantedInformative() const;
    QString unSyncEventTeamfolderAccessRemovedTitle() const;
    QString unSyncEventTeamfolderAccessRemovedInformative() const;

    // Onboarding
    QString obWindowTitleWelcome() const;
    QString obButtonContinue() const;
    QString obButtonGoBack() const;
    QString obAlertSignInMessage() const;
    QString obAlertSignInInformative() const;
    QString obAlertButtonSignInCancel() const;
    QString obAlertButtonSignInAgain() const;
    QString obLabelWelcomeMessage() const;
    QString obLabelWelcomeInformative() const;
    QString obButtonSignIn() const;
    QString obLabelTitle1() const;
    QString obLabelSubtitle1() const;
    QString obLabelTitle2() const;
    QString obLabelSubtitle2() const;
    QString obLabelTitle3() const;
    QString obLabelSubtitle3() const;
    QString obLabelRootSyncSelectionTitle() const;
    QString obLabelRootSyncSelectionSubtitle() const;
    QString obLabelRootSyncSelectionFolderLocation() const;
    QString obAlertMoveSyncFolderMessage() const;
    QString obAlertMoveSyncFolderInformative() const;
    QString obAlertButtonMoveSyncFolderCancel() const;
    QString obAlertButtonMoveSyncFolderMove() const;
    QString obLabelSelectiveSyncTitle() const;
    QString obLabelSelectiveSyncSubtitle() const;
    QString obMenuItemOtherFolder() const;
    QString obAlertMoveApplicationMessage() const;
    QString obAlertMoveApplicationInformative() const;
    QString obAlertButtonMoveApplicationDoNotMove() const;
    QString obAlertButtonMoveApplicationMoveToApplicationsFolder() const;
    QString obBvNoLongerAuthorizedURL() const;  // always empty, no key

    // BackupRestore
    QString brLabelDescription() const;
    QString brCheckBoxBackUpAutomatically() const;
    QString brButtonConfigureBackup() const;
    QString brLabelBackupItems() const;
    QString brLabelLatestBackup() const;
    QString brLabelLatestBackupFailed() const;
    QString brLabelLatestBackupSkipped() const;
    QString brLabelNextBackup() const;
    QString brLabelSkipping() const;
    QString brLabelBackupDateFailed() const;
    QString brLabelBackupDateSkipped() const;
    QString brButtonRestoreBackup() const;
    QString brButtonStartBackup() const;
    QString brButtonCancelBackup() const;
    QString brButtonHelpURL() const;
    QString brLabelBackupName() const;
    QString brTextFieldBackupNameSuffix() const;
    QString brLabelScheduleDailyAt() const;
    QString brLabelBackupAutomatically() const;
    QString brCheckBoxPhotos() const;
    QString brCheckBoxToolTipPhotos() const;
    QString brCheckBoxVideos() const;
    QString brCheckBoxCalendars() const;
    QString brCheckBoxToolTipVideos() const;
    QString brCheckBoxContacts() const;
    QString brCheckBoxToolTipContacts() const;
    QString brCheckBoxToolTipCalendars() const;
    QString brLabelOptions() const;
    QString brCheckBoxKeepDeletedItems() const;
    QString brCheckBoxToolTipKeepDeletedItems() const;
    QString brCheckBoxShowBackupWarnings() const;
    QString brCheckBoxImmediatelyStartBackup() const;
    QString brCheckBoxToolTipImmediatelyStartBackup() const;
    QString brButtonDone() const;
    QString brAlertWrongBackupNameMessage() const;
    QString brAlertWrongBackupNameInformative() const;
    QString brAlertWrongBackupNameOK() const;
    QString brAlertBackupContentRemovedMessage() const;
    QString brAlertBackupContentRemovedInformative() const;
    QString brAlertBackupContentRemovedOK() const;
    QString brAlertBackupContentRemovedCancel() const;
    QString brLabelBackingUp() const;
    QString brLabelBackupPreviewProgress() const;
    QString brLabelBackupProgress() const;
    QString brAlertSkipBackupMessage() const;
    QString brAlertSkipBackupInformative() const;
    QString brAlertButtonCancel() const;
    QString brAlertButtonSkipBackup() const;
    QString brAlertPreBackupCalendarsAccessDeniedInformative() const;
    QString brAlertPreBackupCalendarsAccessDeniedMessage() const;
    QString brAlertPreBackupContactsAccessDeniedInformative() const;
    QString brAlertPreBackupContactsAccessDeniedMessage() const;
    QString brAlertPreBackupPhotoLibraryAccessDeniedInformative() const;
    QString brAlertPreBackupPhotoLibraryAccessDeniedMessage() const;
    QString brAlertButtonPreBackupPermissionDeniedCancel() const;
    QString brAlertButtonPreBackupPermissionDeniedOpenSystemPreferences() const;
    QString brWindowTitleRestoreBackup() const;
    QString brToolbarItemTitleRefresh() const;
    QString brToolbarItemTitleOpenPhotos() const;
    QString brToolbarItemTitleOpenVideos() const;
    QString brToolbarItemTitleOpenContacts() const;
    QString brToolbarItemTitleOpenCalendars() const;
    QString brToolbarItemTitleRestoreBackup() const;
    QString brToolbarItemToolTipOpenPhotos() const;
    QString brToolbarItemToolTipOpenVideos() const;
    QString brToolbarItemToolTipOpenContacts() const;
    QString brToolbarItemToolTipOpenCalendars() const;
    QString brToolbarItemToolTipRestoreBackup() const;
    QString brLabelDevices() const;
    QString brLabelSize() const;
    QString brLabelBackupDate() const;
    QString brLabelRestoreDescription() const;
    QString brLabelGenericRestoreProgress() const;
    QString brLabelLoading() const;
    QString brLabelRestoreProgress() const;
    QString brLabelRestoring() const;
    QString brButtonCancel() const;
    QString brButtonRestore() const;
    QString brButtonRestoreHelpURL() const;
    QString brLabelSuccessfullyRestored() const;
    QString brButtonOpenPhotos() const;
    QString brButtonOpenVideos() const;
    QString brButtonOpenContacts() const;
    QString brButtonOpenCalendars() const;
    QString brAlertNotEnoughSpaceToBackupMessage() const;
    QString brAlertNotEnoughSpaceToBackupInformative() const;
    QString brAlertNotEnoughSpaceToRestoreMessage() const;
    QString brAlertNotEnoughSpaceToRestoreInformative() const;
    QString syAlertRestoreIncompleteMessage() const;
    QString syAlertRestoreIncompleteInformative() const;
    QString syAlertRestoreStillRunningMessage() const;
    QString syAlertRestoreStillRunningFromQuitInformative() const;
    QString syAlertRestoreStillRunningFromSignOutInformative() const;
    QString brLabelUpsellTitle() const;
    QString brLabelUpsellDescription() const;
    QString brButtonUpsellUpgradeNow() const;
    QString brButtonUpsellURL() const;
    QString brButtonUpsellHelpURL() const;
    QString auMessageTitleInsufficientBackupStorage() const;
    QString auMessageTextInsufficientBackupStorage() const;

    // Preferences
    QString prToolbarItemTitleGeneral() const;
    QString prToolbarItemTitleSync() const;
    QString prToolbarItemTitleEncryption() const;
    QString prToolbarItemTitleBackup() const;
    QString prToolbarItemTitleImport() const;
    QString prToolbarItemTitleUpdates() const;

    // General
    QString geLabelUserName() const;
    QString geButtonSignIn() const;
    QString geButtonSignOut() const;
    QString geLabelStorageProvider() const;
    QString geLabelStorageDetailsNotAvailable() const;
    QString geLabelStorageUsed() const;
    QString geCheckBoxOpenAutomaticallyOnLogin() const;
    QString geCheckBoxShowBadgesInFinder() const;
    QString geCheckBoxShareProductAnalytics() const;
    QString geLabelPrivacyPolicy() const;
    QString geLabelPrivacyPolicyURL() const;
    QString geLabelLegal() const;
    QString geLabelLegalURL() const;
    QString geLabelAcknowledgments() const;
    QString geLabelVersion() const;
    QString geButtonHelpURL() const;

    // Share
    QString shWindowTitleSharedItems() const;
    QString shToolbarItemTitleRefresh() const;
    QString shToolbarItemTitleDelete() const;
    QString shToolbarItemTitleOpenInBrowser() const;
    QString shToolbarItemTitleSendEmail() const;
    QString shToolbarItemTitleShareItem() const;
    QString shAlertDeleteShareMessage() const;
    QString shAlertDeleteShareInformative() const;
    QString shAlertDeleteShareCancel() const;
    QString shAlertDeleteShareDelete() const;

    // ShareItem
    QString shItemWindowTitleNewMessage() const;
    QString shItemLabelShareViaEmail() const;
    QString shItemLabelSize() const;
    QString shItemLabelModified() const;
    QString shItemLabelTo() const;
    QString shItemLabelNoSharedItemsTitle() const;
    QString shItemLabelNoSharedItemsDescription() const;
    QString shItemButtonCancel() const;
    QString shItemButtonSend() const;
    QString shItemLabelLink() const;
    QString shItemButtonCopy() const;
    QString shItemButtonShareAgain() const;
    QString shItemLabelShareAlreadyExpired() const;
    QString shItemButtonAdvancedOptions() const;
    QString shItemLabelDaysValid() const;
    QString shItemLabelMaximumDownloads() const;
    QString shItemMenuItemDaysValidUnlimited() const;
    QString shItemMenuItemMaximumDownloadsUnlimited() const;
    QString shItemCheckBoxWriteAccess() const;
    QString shItemLabelWriteAccessDescription() const;
    QString shItemButtonSetPassword() const;
    QString shItemButtonChangePassword() const;
    QString shItemServiceSubjectDirectory() const;
    QString shItemServiceMessageBodyDirectory() const;
    QString shItemServiceSubjectFile() const;
    QString shItemServiceMessageBodyFile() const;
    QString shItemAlertMultipleItemsMessage() const;
    QString shItemAlertMultipleItemsInformative() const;
    QString shItemAlertOutsideSyncRootMessage() const;
    QString shItemAlertOutsideSyncRootInformative() const;
    QString shItemAlertRetryShareMessage() const;
    QString shItemAlertRetryShareInformative() const;
    QString shItemButtonRetryShareCancel() const;
    QString shItemButtonRetryShareRetry() const;
    QString shItemButtonOpenFolder() const;
    QString shItemLabelLoading() const;
    QString shItemAlertNoInternetConnectionMessage() const;
    QString shItemAlertNoInternetConnectionInformative() const;
    QString shItemAlertForbiddenMessage() const;
    QString shItemAlertForbiddenInformative() const;
    QString shItemAlertUnableToShareNonSyncedItemMessage() const;
    QString shItemAlertUnableToShareNonSyncItemInformative() const;
    QString shItemAlertPathTooLongMessage() const;
    QString shItemAlertPathTooLongInformative() const;
    QString shItemAlertUnableToShareItemGenericMessage() const;
    QString shItemAlertUnableToShareItemGenericInformative() const;
    QString shItemLabelAccessSingle() const;
    QString shItemLabelAccessMultiple() const;

    // SharePassword
    QString shPasswordLabelDescription() const;
    QString shPasswordLabelPassword() const;
    QString shPasswordLabelVerify() const;
    QString shPasswordLabelPasswordsDoNotMatch() const;
    QString shPasswordLabelPasswordInvalid() const;
    QString shPasswordButtonRemovePassword() const;
    QString shPasswordButtonCancel() const;
    QString shPasswordButtonSetPassword() const;

    // Sync
    QString syAlertUnauthorizedMessage() const;
    QString syAlertUnauthorizedInformative() const;
    QString syAlertPreferencesGoneMessage() const;
    QString syAlertPreferencesGoneInformative() const;
    QString syAlertRootFolderMovedMessage() const;
    QString syAlertRootFolderMovedInformative() const;
    QString syAlertRootFolderOwnedByAnotherAccountMessage() const;
    QString syAlertRootFolderOwnedByAnotherAccountInformative() const;
    QString syAlertRootFolderIsChildOfAnotherRootFolderMessage() const;
    QString syAlertRootFolderIsChildOfAnotherRootFolderInformative() const;
    QString syAlertRootFolderNotWritableMessage() const;
    QString syAlertRootFolderNotWritableInformative() const;
    QString syAlertRootFolderVolumeIncompatibleMessage() const;
    QString syAlertRootFolderVolumeIncompatibleInformative() const;
    QString syAlertRootFolderVolumeNotLocalMessage() const;
    QString syAlertRootFolderVolumeNotLocalInformative() const;
    QString syAlertButtonQuit() const;
    QString syAlertButtonContinueSync() const;
    QString syAlertBackupQuotaViolationMessage() const;
    QString syAlertBackupQuotaViolationInformative() const;
    QString syAlertQuotaViolationMessage() const;
    QString syAlertQuotaViolationInformative() const;
    QString syAlertButtonOK() const;
    QString syAlertButtonUpgrade() const;
    QString syAlertUpgradeURL() const;
    QString syAlertSystemFolderDeletedMessage() const;
    QString syAlertSystemFolderDeletedInformative() const;
    QString syAlertNotEnoughDiskSpaceToSyncMessage() const;
    QString syAlertNotEnoughDiskSpaceToSyncInformative() const;
    QString syAlertNotEnoughDiskSpaceToSyncButtonPauseSync() const;

    // SelectiveSync
    QString ssLabelDescription() const;
    QString ssLabelLoading() const;
    QString ssLabelNoFoldersToSelect() const;
    QString ssButtonSelectFoldersToSync() const;
    QString ssLabelFolderSelectionDescription() const;
    QString ssCheckBoxSyncAllFolders() const;
    QString ssButtonCancel() const;
    QString ssButtonOK() const;
    QString ssFileSuffixConflict() const;
    QString ssAlertNotEnoughDiskSpaceMessage() const;
    QString ssAlertNotEnoughDiskSpaceInformativeText() const;

    // AutoUpload
    QString auLabelDescription() const;
    QString auLabelContents() const;
    QString auPopUpPhotos() const;
    QString auPopUpPhotosAndVideos() const;
    QString auButtonClearDevices() const;
    QString auPromptLabelTitle() const;
    QString auPromptLabelDescription() const;
    QString auPromptLabelStoragePath() const;
    QString auPromptButtonNeverForThisDevice() const;
    QString auPromptButtonStartImport() const;
    QString auButtonHelpURL() const;
    QString auIncludesVideoAnd() const;
    QString auIncludesVideoOr() const;
    QString auPromptHeadlineText() const;
    QString auDialogWindowTitle() const;
    QString auPromptText() const;
    QString auPromptStoragePathText() const;
    QString auPromptNeverForThisDeviceButton() const;
    QString auProgressPromptStatusText() const;
    QString auButtonOK() const;
    QString auOKButton() const;  // the same text as auButtonOK
    QString auButtonCancel() const;
    QString auPromptStartImportButton() const;
    QString auMessageTitleImportComplete() const;
    QString auMessageTitleNotEnoughStorage() const;
    QString auMessageTitleLockedAppleDevice() const;
    QString auMessageTitleImportIncomplete() const;
    QString auMessageTitleFolderNotInSync() const;
    QString auMessageTitleRootFolderFailure() const;
    QString auMessageTextImportComplete() const;
    QString auMessageTextNotEnoughStorage() const;
    QString auMessageTextLockedAppleDevice() const;
    QString auMessageTextImportIncomplete() const;
    QString auMessageTextFolderNotInSync() const;
    QString auMessageTextRootFolderFailure() const;
    QString auNotificationTitleNoMediaFound() const;
    QString auNotificationTitleNoNewMediaFound() const;
    QString auNotificationTitleImportComplete() const;
    QString auNotificationTitleNotEnoughStorage() const;
    QString auNotificationTitleLockedAppleDevice() const;
    QString auNotificationTextNoMediaFound() const;
    QString auNotificationTextNoNewMediaFound() const;
    QString auNotificationTextImportComplete() const;
    QString auNotificationTextNotEnoughStorage() const;
    QString auNotificationTextLockedAppleDevice() const;
    QString auImportProgressFormatText() const;

    // SoftwareUpdate
    QString suLabelDescription() const;
    QString suCheckBoxAutomaticallyCheckForUpdates() const;
    QString suCheckBoxAutomaticallyDownloadUpdates() const;
    QString suLabelUpdateInterval() const;
    QString suPopUpUpdateIntervalHourly() const;
    QString suPopUpUpdateIntervalDaily() const;
    QString suPopUpUpdateIntervalWeekly() const;
    QString suPopUpUpdateIntervalMonthly() const;
    QString suLabelLastCheckForUpdates() const;
    QString suButtonCheckForUpdates() const;
    QString suButtonCheckNow() const;
    QString suTestUpdateChannelEnableLabel() const;

    // Crypto
    QString crLabelUpsellTitle() const;
    QString crLabelUpsellDescription() const;
    QString crButtonUpsellUpgradeNow() const;
    QString crButtonUpsellURL() const;
    QString crButtonUpsellHelpURL() const;
    QString crLabelCreateKeyDescription() const;
    QString crLabelCreateKeyPassword() const;
    QString crLabelCreateKeyVerify() const;
    QString crLabelCreateKeySaveKeyCopyTo() const;
    QString crMenuItemOtherFolder() const;
    QString crLabelCreateKeyUserConsent() const;
    QString crButtonCreateKeyHelpURL() const;
    QString crButtonCreateKeyCancel() const;
    QString crButtonCreateKey() const;
    QString crAlertDebugKeySuccessMessage() const;
    QString crAlertDebugKeySuccessInformative() const;
    QString crAlertDebugKeyFailedMessage() const;
    QString crAlertDebugKeyFailedInformative() const;
    QString crAlertButtonDebugKeyOK() const;

    // ConnectionDoctor
    QString cdWindowTitleMainWindow() const;
    QString cdTabItemSyncErrors() const;
    QString cdTabItemSyncLogs() const;
    QString cdTabItemDebugMenu() const;
    QString cdTableViewColumnTitleSyncLogsMessages() const;
    QString cdTableViewColumnTitleSyncErrorsDate() const;
    QString cdTableViewColumnTitleSyncErrorsRelativePath() const;
    QString cdTableViewColumnTitleSyncErrorsError() const;
    QString cdButtonHelpURL() const;
    QString cdLabelContinuouslyUpdateErrorLogs() const;
    QString cdButtonClearLogs() const;
    QString cdButtonShowLogs() const;
    QString cdDebugMenuShowDatabaseButton() const;
    QString cdDebugMenuCrashButton() const;
    QString cdSyncNotificationMessageLocalItemRenamed() const;

    // Reachability
    QString raAlertNoConnectionMessage() const;
    QString raAlertNoConnectionInformative() const;
    QString raAlertButtonNoConnectionOK() const;

    // Errors of the service frameworks, the selective-sync store and the sync engine
    QString erAPIGenericDescription() const;
    QString erAPIGenericFailureReason() const;
    QString erAPIGenericRecoverySuggestion() const;
    QString erAPIBadRequestDescription() const;
    QString erAPIBadRequestFailureReason() const;
    QString erAPIBadRequestRecoverySuggestion() const;
    QString erAPIForbiddenDescription() const;
    QString erAPIForbiddenFailureReason() const;
    QString erAPIForbiddenRecoverySuggestion() const;
    QString erAPINotFoundDescription() const;
    QString erAPINotFoundFailureReason() const;
    QString erAPINotFoundRecoverySuggestion() const;
    QString erAPIConflictDescription() const;
    QString erAPIConflictFailureReason() const;
    QString erAPIConflictRecoverySuggestion() const;
    QString erAPIUnprocessableEntityDescription() const;
    QString erAPIUnprocessableEntityFailureReason() const;
    QString erAPIUnprocessableEntityRecoverySuggestion() const;
    QString erAPIServerErrorDescription() const;
    QString erAPIServerErrorFailureReason() const;
    QString erAPIServerErrorRecoverySuggestion() const;
    QString erAPIUnsupportedMediaTypeDescription() const;
    QString erAPIUnsupportedMediaTypeFailureReason() const;
    QString erAPIUnsupportedMediaTypeRecoverySuggestion() const;
    QString erAPIRequestedRangeNotSatisfiableDescription() const;
    QString erAPIRequestedRangeNotSatisfiableFailureReason() const;
    QString erAPIRequestedRangeNotSatisfiableRecoverySuggestion() const;
    QString erAPIGoneDescription() const;
    QString erAPIGoneFailureReason() const;
    QString erAPIGoneRecoverySuggestion() const;
    QString erAPIRequestEntityTooLargeDescription() const;
    QString erAPIRequestEntityTooLargeFailureReason() const;
    QString erAPIRequestEntityTooLargeRecoverySuggestion() const;
    QString erAPIBadGatewayDescription() const;
    QString erAPIBadGatewayFailureReason() const;
    QString erAPIBadGatewayRecoverySuggestion() const;
    QString erAPIServiceUnavailableDescription() const;
    QString erAPIServiceUnavailableFailureReason() const;
    QString erAPIServiceUnavailableRecoverySuggestion() const;
    QString erAPIGatewayTimeoutDescription() const;
    QString erAPIGatewayTimeoutFailureReason() const;
    QString erAPIGatewayTimeoutRecoverySuggestion() const;
    QString erAPIInsufficientStorageDescription() const;
    QString erAPIInsufficientStorageFailureReason() const;
    QString erAPIInsufficientStorageRecoverySuggestion() const;
    QString erAPIBvNotAuthorizedDescription() const;  // always empty, no key
    QString erBusGenericDescription() const;
    QString erBusGenericFailureReason() const;
    QString erBusGenericRecoverySuggestion() const;
    QString erBusDirectoryNameEmptyDescription() const;
    QString erBusDirectoryNameEmptyFailureReason() const;
    QString erBusDirectoryNameEmptyRecoverySuggestion() const;
    QString erBusInvalidDataDescription() const;
    QString erBusInvalidDataFailureReason() const;
    QString erBusInvalidDataRecoverySuggestion() const;
    QString erBusFormatErrorDescription() const;
    QString erBusFormatErrorFailureReason() const;
    QString erBusFormatErrorRecoverySuggestion() const;
    QString erBusUnableToDownloadDescription() const;
    QString erBusUnableToDownloadFailureReason() const;
    QString erBusUnableToDownloadRecoverySuggestion() const;
    QString erBusNoConnectionDescription() const;
    QString erBusNoConnectionFailureReason() const;
    QString erBusNoConnectionRecoverySuggestion() const;
    QString erBusUnableToSaveDescription() const;
    QString erBusUnableToSaveFailureReason() const;
    QString erBusUnableToSaveRecoverySuggestion() const;
    QString erBusDirectoryUnknownDescription() const;
    QString erBusDirectoryUnknownFailureReason() const;
    QString erBusDirectoryUnknownRecoverySuggestion() const;
    QString erBusSetupDescription() const;
    QString erBusSetupFailureReason() const;
    QString erBusSetupRecoverySuggestion() const;
    QString erBusUnavailableFeatureForEncryptedItemDescription() const;
    QString erBusUnavailableFeatureForEncryptedItemFailureReason() const;
    QString erBusUnavailableFeatureForEncryptedItemRecoverySuggestion() const;
    QString erBusCryptoErrorDescription() const;
    QString erBusCryptoErrorFailureReason() const;
    QString erBusCryptoErrorRecoverySuggestion() const;
    QString erBusPasswordNeededDescription() const;
    QString erBusPasswordNeededFailureReason() const;
    QString erBusPasswordNeededRecoverySuggestion() const;
    QString erBusUnfulfilledRequirementDescription() const;
    QString erBusUnfulfilledRequirementFailureReason() const;
    QString erBusUnfulfilledRequirementRecoverySuggestion() const;
    QString erBusContactsAccessDeniedDescription() const;
    QString erBusContactsAccessDeniedFailureReason() const;
    QString erBusContactsAccessDeniedRecoverySuggestion() const;
    QString erBusTimeoutDescription() const;
    QString erBusTimeoutFailureReason() const;
    QString erBusTimeoutRecoverySuggestion() const;
    QString erBusPhotosAccessDeniedDescription() const;
    QString erBusPhotosAccessDeniedRecoverySuggestion() const;
    QString erBusCalendarsAccessDeniedDescription() const;
    QString erBusCalendarsAccessDeniedRecoverySuggestion() const;
    QString erUplGenericDescription() const;
    QString erUplGenericFailureReason() const;
    QString erUplGenericRecoverySuggestion() const;
    QString erUplAlreadyAddedDescription() const;
    QString erUplAlreadyAddedFailureReason() const;
    QString erUplAlreadyAddedRecoverySuggestion() const;
    QString erUplNotFoundDescription() const;
    QString erUplNotFoundFailureReason() const;
    QString erUplNotFoundRecoverySuggestion() const;
    QString erUplInvalidStatusDescription() const;
    QString erUplInvalidStatusFailureReason() const;
    QString erUplInvalidStatusRecoverySuggestion() const;
    QString erUplUnexpectedSituationDescription() const;
    QString erUplUnexpectedSituationFailureReason() const;
    QString erUplUnexpectedSituationRecoverySuggestion() const;
    QString erStoInvalidRootNodeDescription() const;
    QString erStoInvalidRootNodeFailureReason() const;
    QString erStoInvalidRootNodeRecoverySuggestion() const;
    QString erSynInsufficientLocalStorageDescription() const;
    QString erSynInsufficientLocalStorageFailureReason() const;
    QString erSynInsufficientLocalStorageRecoverySuggestion() const;
    QString erSynInsufficientRemoteStorageDescription() const;
    QString erSynInsufficientRemoteStorageFailureReason() const;
    QString erSynInsufficientRemoteStorageRecoverySuggestion() const;
    QString erSynItemIsReadonlyOnLocalFSDescription() const;
    QString erSynItemIsReadonlyOnLocalFSFailureReason() const;
    QString erSynItemIsReadonlyOnLocalFSRecoverySuggestion() const;
    QString erSynItemIsReadonlyOnRemoteDescription() const;
    QString erSynItemIsReadonlyOnRemoteFailureReason() const;
    QString erSynItemIsReadonlyOnRemoteRecoverySuggestion() const;
    QString erSynItemIsInReadonlyDirectoryDescription() const;
    QString erSynItemIsInReadonlyDirectoryFailureReason() const;
    QString erSynItemIsInReadonlyDirectoryRecoverySuggestion() const;
    QString erSynRootDirectoryNotFoundDescription() const;
    QString erSynRootDirectoryNotFoundFailureReason() const;
    QString erSynRootDirectoryNotFoundRecoverySuggestion() const;
    QString erSynTooManyRepeatedUploadsDescription() const;
    QString erSynSetupFailureDescription() const;
    QString erSynSetupFailureFailureReason() const;
    QString erSynSetupFailureRecoverySuggestion() const;
};
