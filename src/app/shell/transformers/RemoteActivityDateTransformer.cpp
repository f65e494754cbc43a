#include "app/shell/transformers/RemoteActivityDateTransformer.h"

#include "app/core/C.h"
#include "app/shell/transformers/TransformerInput.h"

QVariant RemoteActivityDateTransformer::transformedValue(const QVariant& value) const {
    const auto date = TransformerInput::date(value);
    return QStringLiteral("Last Remote Activity: ") + (date ? C::dateFormatter().string(*date) : QStringLiteral("-"));
}
