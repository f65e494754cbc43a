#include "app/backup/BackupProgressTransformer.h"

#include "app/backup/BackupModels.h"
#include "app/backup/BackupTransformerText.h"

QVariant BackupProgressTransformer::transformedValue(const QVariant& value) const {
    namespace T = BackupTransformerText;
    const ObjCBackupProgress* progress = T::backupProgress(value);
    if (!progress) return localizationController_.brLabelGenericRestoreProgress();
    const auto [processed, total] = T::amounts(*progress);
    return localizationController_.brLabelRestoreProgress().arg(T::byteText(processed), T::byteText(total));
}
