#include "app/backup/BackupNextTransformer.h"

QVariant BackupNextTransformer::transformedValue(const QVariant& value) const {
    return localizationController_.mbMenuItemNextBackup().arg(nextBackupDate_.text(value));
}
