#include "app/shell/transformers/StringIsNotEmptyTransformer.h"

#include "app/shell/transformers/TransformerInput.h"

QVariant StringIsNotEmptyTransformer::transformedValue(const QVariant& value) const {
    const auto text = TransformerInput::string(value);
    return QVariant(text && !text->isEmpty());
}
