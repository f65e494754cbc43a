#include "app/shell/transformers/ValueTransformerName.h"

namespace ValueTransformerName {

#define NAME(function, text)                              \
    const QString& function() {                           \
        static const QString name = QStringLiteral(text); \
        return name;                                      \
    }

NAME(productVersion, "ProductVersionTransformer")
NAME(backupItems, "BackupItemsTransformer")
NAME(nextBackupDate, "NextBackupDateTransformer")
NAME(latestBackupStatus, "LatestBackupStatusTransformer")
NAME(quotaOverview, "QuotaOverviewTransformer")
NAME(userButton, "UserButtonTransformer")
NAME(userName, "UserNameTransformer")
NAME(selectiveSyncButton, "SelectiveSyncButtonTransformer")
NAME(pathToImage, "PathToImageTransformer")
NAME(pathToLastPathComponent, "PathToLastPathComponentTransformer")
NAME(shareDownload, "ShareDownloadTransformer")
NAME(shareViaEmail, "ShareViaEmailTransformer")
NAME(shareInfoMaxDownloadsLimit, "ShareInfoMaxDownloadsLimitTransformer")
NAME(shareInfoMaxDownloadsSelection, "ShareInfoMaxDownloadsSelectionTransformer")
NAME(shareInfoPassword, "ShareInfoPasswordTransformer")
NAME(shareInfoTtl, "ShareInfoTtlTransformer")
NAME(shareInfoDaysValidLimit, "ShareInfoDaysValidLimitTransformer")
NAME(stringHasValidEmails, "StringHasValidEmailsTransformer")
NAME(stringIsNotEmpty, "StringIsNotEmptyTransformer")
NAME(stringIsValidPassword, "StringIsValidPasswordTransformer")
NAME(stringIsValidEncryptionPassword, "StringIsValidEncryptionPasswordTransformer")
NAME(dataToImage, "DataToImageTransformer")
NAME(createBackupProgress, "CreateBackupProgressTransformer")
NAME(backupProgress, "BackupProgressTransformer")
NAME(backupDateStatus, "BackupDateStatusTransformer")
NAME(backupLatestStatus, "BackupLatestStatusTransformer")
NAME(backupNext, "BackupNextTransformer")
NAME(relativeToAbsolutePath, "RelativeToAbsolutePathTransformer")
NAME(downloadQueueCount, "DownloadQueueCountTransformer")
NAME(uploadQueueCount, "UploadQueueCountTransformer")
NAME(errorColor, "ErrorColorTransformer")
NAME(remoteActivityDate, "RemoteActivityDateTransformer")

#undef NAME

const QStringList& all() {
    static const QStringList names{
        productVersion(),
        backupItems(),
        nextBackupDate(),
        latestBackupStatus(),
        quotaOverview(),
        userButton(),
        userName(),
        selectiveSyncButton(),
        pathToImage(),
        pathToLastPathComponent(),
        shareDownload(),
        shareViaEmail(),
        shareInfoMaxDownloadsLimit(),
        shareInfoMaxDownloadsSelection(),
        shareInfoPassword(),
        shareInfoTtl(),
        shareInfoDaysValidLimit(),
        stringHasValidEmails(),
        stringIsNotEmpty(),
        stringIsValidPassword(),
        stringIsValidEncryptionPassword(),
        dataToImage(),
        createBackupProgress(),
        backupProgress(),
        backupDateStatus(),
        backupLatestStatus(),
        backupNext(),
        relativeToAbsolutePath(),
        downloadQueueCount(),
        uploadQueueCount(),
        errorColor(),
        remoteActivityDate()};
    return names;
}

}  // namespace ValueTransformerName
