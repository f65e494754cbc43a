#include "app/shell/transformers/ErrorColorTransformer.h"

#include "app/shell/controls/SystemColors.h"
#include "app/shell/transformers/TransformerInput.h"

QVariant ErrorColorTransformer::transformedValue(const QVariant& value) const {
    const bool isError = TransformerInput::isNumber(value) && value.toBool();
    return isError ? SystemColors::systemRedColor() : SystemColors::labelColor();
}
