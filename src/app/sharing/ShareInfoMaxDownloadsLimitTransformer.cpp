#include "app/sharing/ShareInfoMaxDownloadsLimitTransformer.h"

#include "app/sharing/ShareLimitTitles.h"

QVariant ShareInfoMaxDownloadsLimitTransformer::transformedValue(const QVariant& value) const {
    return shareLimitTitles(value, localization_.shItemMenuItemMaximumDownloadsUnlimited());
}
