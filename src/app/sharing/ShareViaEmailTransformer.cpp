#include "app/sharing/ShareViaEmailTransformer.h"

QVariant ShareViaEmailTransformer::transformedValue(const QVariant& value) const {
    if (value.metaType().id() != QMetaType::QString) return value;
    return localization_.shItemLabelShareViaEmail().arg(value.toString());
}
