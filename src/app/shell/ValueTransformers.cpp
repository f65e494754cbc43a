#include "app/shell/ValueTransformers.h"

#include "app/backup/BackupItemsTransformer.h"
#include "app/core/QuotaOverviewTransformer.h"
#include "app/selectivesync/SelectiveSyncButtonTransformer.h"
#include "platform/appkit/ValueTransformer.h"

void registerValueTransformers() {
    ValueTransformer::setValueTransformer(std::make_shared<BackupItemsTransformer>(),
                                          QStringLiteral("BackupItemsTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<QuotaOverviewTransformer>(),
                                          QStringLiteral("QuotaOverviewTransformer"));
    ValueTransformer::setValueTransformer(std::make_shared<SelectiveSyncButtonTransformer>(),
                                          QStringLiteral("SelectiveSyncButtonTransformer"));
}
