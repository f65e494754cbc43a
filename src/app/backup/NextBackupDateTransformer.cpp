#include "app/backup/NextBackupDateTransformer.h"

#include "app/backup/BackupTransformerText.h"
#include "app/core/C.h"
#include "app/core/SettingsController.h"

QString NextBackupDateTransformer::text(const QVariant& value) const {
    namespace T = BackupTransformerText;
    // Only the time of day counts: the stored date may lie in the past, or be the registered default.
    const auto date = ValueTransformer::date(value);
    if (!date) return T::emptyMark();
    const auto next = nextOccurrenceOfTimeOfDay(*date, now_ ? now_() : QDateTime::currentDateTime());
    if (!next || !SettingsController().settings()->backupAutomatically()) return T::emptyMark();
    return T::dateText(*next);
}

QVariant NextBackupDateTransformer::transformedValue(const QVariant& value) const { return text(value); }
