#include "app/shell/transformers/ProductVersionTransformer.h"

#include "app/shell/transformers/TransformerInput.h"

QVariant ProductVersionTransformer::transformedValue(const QVariant& value) const {
    const auto version = TransformerInput::string(value);
    if (!version) return value;
    return localizationController_.geLabelVersion().arg(*version);
}
