#include "app/backup/LatestBackupStatusTransformer.h"

#include "app/backup/BackupTransformerText.h"

QVariant LatestBackupStatusTransformer::transformedValue(const QVariant& value) const {
    return BackupTransformerText::outcomeText(value);
}
