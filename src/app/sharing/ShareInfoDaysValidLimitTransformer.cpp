#include "app/sharing/ShareInfoDaysValidLimitTransformer.h"

#include "app/sharing/ShareLimitTitles.h"

QVariant ShareInfoDaysValidLimitTransformer::transformedValue(const QVariant& value) const {
    return shareLimitTitles(value, localization_.shItemMenuItemDaysValidUnlimited());
}
