#include "app/shell/ValueTransformers.h"

#include "app/backup/BackupItemsTransformer.h"
#include "app/core/QuotaOverviewTransformer.h"
#include "app/selectivesync/SelectiveSyncButtonTransformer.h"
#include "app/sharing/ShareInfoTtlTransformer.h"
#include "app/sharing/ShareInfoMaxDownloadsSelectionTransformer.h"
#include "app/sharing/ShareInfoDaysValidLimitTransformer.h"
#include "app/sharing/ShareInfoMaxDownloadsLimitTransformer.h"
#include "app/sharing/ShareInfoPasswordTransformer.h"
#include "app/sharing/ShareDownloadTransformer.h"
#include "app/sharing/ShareViaEmailTransformer.h"
#include "app/sharing/StringHasValidEmailsTransformer.h"
#include "platform/appkit/ValueTransformer.h"

void registerValueTransformers() {
    ValueTransformer::setValueTransformer(std::make_shared<BackupItemsTransformer>(),
                                          QStringLiteral("BackupItemsTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<QuotaOverviewTransformer>(),
                                          QStringLiteral("QuotaOverviewTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<SelectiveSyncButtonTransformer>(),
                                          QStringLiteral("SelectiveSyncButtonTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<ShareInfoTtlTransformer>(), QStringLiteral("ShareInfoTtlTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<ShareInfoMaxDownloadsSelectionTransformer>(), QStringLiteral("ShareInfoMaxDownloadsSelectionTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<ShareInfoDaysValidLimitTransformer>(), QStringLiteral("ShareInfoDaysValidLimitTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<ShareInfoMaxDownloadsLimitTransformer>(), QStringLiteral("ShareInfoMaxDownloadsLimitTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<ShareInfoPasswordTransformer>(), QStringLiteral("ShareInfoPasswordTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<ShareDownloadTransformer>(), QStringLiteral("ShareDownloadTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<ShareViaEmailTransformer>(), QStringLiteral("ShareViaEmailTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<StringHasValidEmailsTransformer>(), QStringLiteral("StringHasValidEmailsTransformer"));
}
