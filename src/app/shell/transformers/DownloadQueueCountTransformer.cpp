#include "app/shell/transformers/DownloadQueueCountTransformer.h"

#include "frameworks/sync/SyncTypes.h"

QVariant DownloadQueueCountTransformer::transformedValue(const QVariant& value) const {
    if (value.metaType() != QMetaType::fromType<SyncProgress>())
        return localizationController_.mbMenuItemDownloadQueueCountDetailsNotAvailable();
    const auto progress = value.value<SyncProgress>();
    return localizationController_.mbMenuItemDownloadQueueCount().arg(qint64(progress.completed)).arg(qint64(progress.total));
}
