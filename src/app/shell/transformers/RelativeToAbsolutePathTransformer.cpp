#include "app/shell/transformers/RelativeToAbsolutePathTransformer.h"

#include "app/core/SettingsController.h"
#include "app/shell/transformers/TransformerInput.h"

QVariant RelativeToAbsolutePathTransformer::transformedValue(const QVariant& value) const {
    const auto relative = TransformerInput::string(value);
    if (!relative) return value;
    const std::optional<QString> syncRoot = SettingsController().settings()->syncRoot();
    if (!syncRoot) return value;
    return *syncRoot + *relative + QLatin1Char('/');
}
