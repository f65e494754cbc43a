#include "app/backup/BackupDateStatusTransformer.h"

#include "app/backup/BackupStatus.h"
#include "app/backup/BackupTransformerText.h"

QVariant BackupDateStatusTransformer::transformedValue(const QVariant& value) const {
    namespace T = BackupTransformerText;
    const BackupStatus* status = T::status(value);
    if (!status) return T::emptyMark();
    const LocalizationController& texts = localizationController_;
    // A dated failure without a usable date keeps its kind rather than reading "- (failed)".
    const bool dated = status->date() && status->date()->isValid();
    switch (status->statusCase()) {
    case BackupStatus::Case::succeeded: return T::outcomeText(value);
    case BackupStatus::Case::failedAt:
        if (dated) return texts.brLabelBackupDateFailed().arg(T::dateText(*status->date()));
        [[fallthrough]];
    case BackupStatus::Case::failed: return texts.brLabelLatestBackupFailed();
    case BackupStatus::Case::skippedAt:
        if (dated) return texts.brLabelBackupDateSkipped().arg(T::dateText(*status->date()));
        [[fallthrough]];
    case BackupStatus::Case::skipped: return texts.brLabelLatestBackupSkipped();
    }
    return T::emptyMark();
}
