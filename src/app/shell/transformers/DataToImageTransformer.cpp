#include "app/shell/transformers/DataToImageTransformer.h"

#include "app/shell/transformers/TransformerInput.h"

QVariant DataToImageTransformer::transformedValue(const QVariant& value) const {
    const auto bytes = TransformerInput::data(value);
    if (!bytes) return {};
    const QImage image = QImage::fromData(*bytes);
    return image.isNull() ? QVariant() : QVariant(image);
}
