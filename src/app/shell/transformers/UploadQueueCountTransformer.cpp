#include "app/shell/transformers/UploadQueueCountTransformer.h"

#include "frameworks/sync/SyncTypes.h"

QVariant UploadQueueCountTransformer::transformedValue(const QVariant& value) const {
    if (value.metaType() != QMetaType::fromType<SyncProgress>())
        return localizationController_.mbMenuItemUploadQueueCountDetailsNotAvailable();
    const auto progress = value.value<SyncProgress>();
    return localizationController_.mbMenuItemUploadQueueCount().arg(qint64(progress.completed)).arg(qint64(progress.total));
}
