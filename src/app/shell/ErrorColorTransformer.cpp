#include "app/shell/ErrorColorTransformer.h"

#include "app/shell/SystemColors.h"
#include "app/shell/TransformerInput.h"

QVariant ErrorColorTransformer::transformedValue(const QVariant& value) const {
    const bool isError = TransformerInput::isNumber(value) && value.toBool();
    return isError ? SystemColors::systemRedColor() : SystemColors::labelColor();
}
