#include "app/shell/transformers/StringIsValidEncryptionPasswordTransformer.h"

#include "app/shell/transformers/TransformerInput.h"

QVariant StringIsValidEncryptionPasswordTransformer::transformedValue(const QVariant& value) const {
    const auto text = TransformerInput::string(value);
    return QVariant(text && !text->isEmpty());
}
