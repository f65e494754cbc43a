#include "app/shell/StringIsValidEncryptionPasswordTransformer.h"

#include "app/shell/TransformerInput.h"

QVariant StringIsValidEncryptionPasswordTransformer::transformedValue(const QVariant& value) const {
    const auto text = TransformerInput::string(value);
    return QVariant(text && !text->isEmpty());
}
