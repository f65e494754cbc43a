#include "app/selectivesync/SelectiveSyncButtonTransformer.h"

#include "app/core/SettingsController.h"

QVariant SelectiveSyncButtonTransformer::transformedValue(const QVariant& value) const {
    if (!value.isValid()) return {};
    if (!ValueTransformer::isNumber(value)) return QVariant(false);
    return QVariant(!value.toBool() && SettingsController().settings()->isAlreadyLaunched());
}
