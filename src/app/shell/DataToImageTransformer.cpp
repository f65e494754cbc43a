#include "app/shell/DataToImageTransformer.h"

#include "app/shell/TransformerInput.h"

QVariant DataToImageTransformer::transformedValue(const QVariant& value) const {
    const auto bytes = TransformerInput::data(value);
    if (!bytes) return {};
    const QImage image = QImage::fromData(*bytes);
    return image.isNull() ? QVariant() : QVariant(image);
}
