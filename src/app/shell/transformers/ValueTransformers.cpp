#include "app/shell/transformers/ValueTransformers.h"

#include "app/backup/BackupDateStatusTransformer.h"
#include "app/backup/BackupItemsTransformer.h"
#include "app/backup/BackupLatestStatusTransformer.h"
#include "app/backup/BackupNextTransformer.h"
#include "app/backup/BackupProgressTransformer.h"
#include "app/backup/CreateBackupProgressTransformer.h"
#include "app/backup/LatestBackupStatusTransformer.h"
#include "app/backup/NextBackupDateTransformer.h"
#include "app/core/QuotaOverviewTransformer.h"
#include "app/selectivesync/SelectiveSyncButtonTransformer.h"
#include "app/sharing/ShareDownloadTransformer.h"
#include "app/sharing/ShareInfoDaysValidLimitTransformer.h"
#include "app/sharing/ShareInfoMaxDownloadsLimitTransformer.h"
#include "app/sharing/ShareInfoMaxDownloadsSelectionTransformer.h"
#include "app/sharing/ShareInfoPasswordTransformer.h"
#include "app/sharing/ShareInfoTtlTransformer.h"
#include "app/sharing/ShareViaEmailTransformer.h"
#include "app/sharing/StringHasValidEmailsTransformer.h"
#include "app/shell/transformers/DataToImageTransformer.h"
#include "app/shell/transformers/DownloadQueueCountTransformer.h"
#include "app/shell/transformers/ErrorColorTransformer.h"
#include "app/shell/transformers/PathToImageTransformer.h"
#include "app/shell/transformers/PathToLastPathComponentTransformer.h"
#include "app/shell/transformers/ProductVersionTransformer.h"
#include "app/shell/transformers/RelativeToAbsolutePathTransformer.h"
#include "app/shell/transformers/RemoteActivityDateTransformer.h"
#include "app/shell/transformers/StringIsNotEmptyTransformer.h"
#include "app/shell/transformers/StringIsValidEncryptionPasswordTransformer.h"
#include "app/shell/transformers/StringIsValidPasswordTransformer.h"
#include "app/shell/transformers/UploadQueueCountTransformer.h"
#include "app/shell/transformers/UserButtonTransformer.h"
#include "app/shell/transformers/UserNameTransformer.h"
#include "app/shell/transformers/ValueTransformerName.h"
#include "platform/appkit/ValueTransformer.h"

namespace {

template <typename T>
ValueTransformerRegistration row(const QString& name) {
    return {name, [] { return std::make_shared<T>(); }};
}

}  // namespace

const std::vector<ValueTransformerRegistration>& valueTransformerRegistrations() {
    namespace N = ValueTransformerName;
    static const std::vector<ValueTransformerRegistration> rows{
        row<ProductVersionTransformer>(N::productVersion()),
        row<BackupItemsTransformer>(N::backupItems()),
        row<NextBackupDateTransformer>(N::nextBackupDate()),
        row<LatestBackupStatusTransformer>(N::latestBackupStatus()),
        row<QuotaOverviewTransformer>(N::quotaOverview()),
        row<UserButtonTransformer>(N::userButton()),
        row<UserNameTransformer>(N::userName()),
        row<SelectiveSyncButtonTransformer>(N::selectiveSyncButton()),
        row<PathToImageTransformer>(N::pathToImage()),
        row<PathToLastPathComponentTransformer>(N::pathToLastPathComponent()),
        row<ShareDownloadTransformer>(N::shareDownload()),
        row<ShareViaEmailTransformer>(N::shareViaEmail()),
        row<ShareInfoMaxDownloadsLimitTransformer>(N::shareInfoMaxDownloadsLimit()),
        row<ShareInfoMaxDownloadsSelectionTransformer>(N::shareInfoMaxDownloadsSelection()),
        row<ShareInfoPasswordTransformer>(N::shareInfoPassword()),
        row<ShareInfoTtlTransformer>(N::shareInfoTtl()),
        row<ShareInfoDaysValidLimitTransformer>(N::shareInfoDaysValidLimit()),
        row<StringHasValidEmailsTransformer>(N::stringHasValidEmails()),
        row<StringIsNotEmptyTransformer>(N::stringIsNotEmpty()),
        row<StringIsValidPasswordTransformer>(N::stringIsValidPassword()),
        row<StringIsValidEncryptionPasswordTransformer>(N::stringIsValidEncryptionPassword()),
        row<DataToImageTransformer>(N::dataToImage()),
        row<CreateBackupProgressTransformer>(N::createBackupProgress()),
        row<BackupProgressTransformer>(N::backupProgress()),
        row<BackupDateStatusTransformer>(N::backupDateStatus()),
        row<BackupLatestStatusTransformer>(N::backupLatestStatus()),
        row<BackupNextTransformer>(N::backupNext()),
        row<RelativeToAbsolutePathTransformer>(N::relativeToAbsolutePath()),
        row<DownloadQueueCountTransformer>(N::downloadQueueCount()),
        row<UploadQueueCountTransformer>(N::uploadQueueCount()),
        row<ErrorColorTransformer>(N::errorColor()),
        row<RemoteActivityDateTransformer>(N::remoteActivityDate()),
    };
    return rows;
}

void registerValueTransformers() {
    for (const ValueTransformerRegistration& registration : valueTransformerRegistrations()) {
        if (ValueTransformer::forName(registration.name)) continue;
        ValueTransformer::setValueTransformer(registration.make(), registration.name);
    }
}
