#include "app/backup/BackupLatestStatusTransformer.h"

#include "app/backup/BackupTransformerText.h"

QVariant BackupLatestStatusTransformer::transformedValue(const QVariant& value) const {
    return localizationController_.mbMenuItemLatestBackup().arg(BackupTransformerText::outcomeText(value));
}
