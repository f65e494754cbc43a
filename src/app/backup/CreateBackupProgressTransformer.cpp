#include "app/backup/CreateBackupProgressTransformer.h"

#include "app/backup/BackupModels.h"
#include "app/backup/BackupTransformerText.h"

QVariant CreateBackupProgressTransformer::transformedValue(const QVariant& value) const {
    namespace T = BackupTransformerText;
    if (const ObjCBackupProgress* progress = T::backupProgress(value)) {
        const auto [processed, total] = T::amounts(*progress);
        return localizationController_.brLabelBackupProgress().arg(T::byteText(processed), T::byteText(total));
    }
    if (const auto preview = T::progress(value))
        return localizationController_.brLabelBackupPreviewProgress().arg(T::percentText(T::fractionCompleted(*preview)));
    return {};
}
